// Command execution of the simulated controller.
#include "controller.h"

namespace tmcl {

SimulatedController::SimulatedController() : working_{}, eeprom_{} {}

bool SimulatedController::ValidCell(int bank, int parameter) {
    return bank >= 0 && bank < kBankCount && parameter >= 0 && parameter < kParametersPerBank;
}

void SimulatedController::LoadEeprom(int bank, int parameter, int32_t value) {
    if (!ValidCell(bank, parameter)) return;
    eeprom_[bank][parameter] = {value, true};
    working_[bank][parameter] = value;
}

Handling SimulatedController::Handle(const uint8_t* frame) {
    Handling handling{false, {}};
    if (frame[0] != kModuleAddress) return handling;
    handling.answered = true;

    CommandFrame command = DecodeCommand(frame);
    int32_t value = 0;
    uint8_t status = kStatusWrongChecksum;
    if (++framesAnswered_ == refuseFrame_)
        status = refuseStatus_;
    else if (ChecksumHolds(frame))
        status = Execute(command, value);
    EncodeReply({kReplyAddress, kModuleAddress, status, command.command, value, 0}, handling.reply);
    return handling;
}

// The type is checked before the bank, so a frame wrong in both reports the
// type. value receives what the reply carries (0 for a rejected command).
uint8_t SimulatedController::Execute(const CommandFrame& command, int32_t& value) {
    if (command.command != kSetGlobalParameter && command.command != kGetGlobalParameter &&
        command.command != kStoreGlobalParameter)
        return kStatusInvalidCommand;
    if (command.type >= kParametersPerBank) return kStatusWrongType;
    if (command.bank >= kBankCount) return kStatusInvalidValue;

    int32_t& parameter = working_[command.bank][command.type];
    switch (command.command) {
        case kSetGlobalParameter:
            parameter = command.value;
            value = parameter;
            return kStatusSuccess;
        case kGetGlobalParameter: value = parameter; return kStatusSuccess;
        default: return Store(command.bank, command.type, value);
    }
}

// A failed persist leaves the EEPROM as it was, so memory and file agree.
uint8_t SimulatedController::Store(int bank, int parameter, int32_t& value) {
    EepromCell before = eeprom_[bank][parameter];
    eeprom_[bank][parameter] = {working_[bank][parameter], true};
    if (persist_ && !persist_(*this)) {
        eeprom_[bank][parameter] = before;
        return kStatusEepromLocked;
    }
    value = working_[bank][parameter];
    return kStatusSuccess;
}

}  // namespace tmcl
