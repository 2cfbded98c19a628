// The simulated motor controller: global parameters in banks 0..3, a
// configuration EEPROM that "store" copies a parameter into, and the rules
// that turn one command frame into one reply. A rejected command changes
// nothing; frames for another module address get no reply (on a shared bus
// only the addressed module may answer).
#pragma once

#include <cstdint>
#include <functional>

#include "tmcl_frame.h"

namespace tmcl {

constexpr int kBankCount = 4;            // banks 0..3
constexpr int kParametersPerBank = 128;  // types 0..127; higher types are wrong types

struct EepromCell {
    int32_t value;
    bool stored;  // written by a store (or loaded from the EEPROM file)
};

struct Handling {
    bool answered;  // false: not addressed to this module, no reply
    uint8_t reply[kFrameSize];
};

class SimulatedController {
public:
    // Makes a store persistent (e.g. writes the EEPROM file); false when that
    // failed, which the store reports as kStatusEepromLocked.
    using PersistFn = std::function<bool(const SimulatedController&)>;

    SimulatedController();
    void SetPersist(PersistFn persist) { persist_ = std::move(persist); }

    Handling Handle(const uint8_t* frame);

    // A test's fault: the n-th frame addressed to this module (counted from
    // 1) is answered with status and changes nothing. 0 refuses none.
    void RefuseFrame(long n, uint8_t status) {
        refuseFrame_ = n;
        refuseStatus_ = status;
    }

    // The EEPROM as found at power-on: the working parameters start from it.
    void LoadEeprom(int bank, int parameter, int32_t value);

    static bool ValidCell(int bank, int parameter);
    int32_t Parameter(int bank, int parameter) const { return working_[bank][parameter]; }
    const EepromCell& Eeprom(int bank, int parameter) const { return eeprom_[bank][parameter]; }

private:
    uint8_t Execute(const CommandFrame& command, int32_t& value);
    uint8_t Store(int bank, int parameter, int32_t& value);

    int32_t working_[kBankCount][kParametersPerBank];
    EepromCell eeprom_[kBankCount][kParametersPerBank];
    PersistFn persist_;
    long framesAnswered_ = 0;
    long refuseFrame_ = 0;
    uint8_t refuseStatus_ = 0;
};

}  // namespace tmcl
