// The simulated controller: what each command does to the parameters and the
// EEPROM, what a rejected command leaves alone, the EEPROM file, and the
// simulator's command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "controller.h"
#include "eeprom_file.h"
#include "param_names.h"
#include "sim_options.h"

using namespace tmcl;

namespace {

std::vector<uint8_t> Command(uint8_t command, uint8_t type, uint8_t bank, int32_t value,
                             uint8_t module = kModuleAddress) {
    std::vector<uint8_t> frame(kFrameSize);
    EncodeCommand({module, command, type, bank, value, 0}, frame.data());
    return frame;
}

ReplyFrame Send(SimulatedController& controller, std::vector<uint8_t> frame) {
    Handling handling = controller.Handle(frame.data());
    EXPECT_TRUE(handling.answered);
    EXPECT_TRUE(ChecksumHolds(handling.reply));
    return DecodeReply(handling.reply);
}

std::string TempPath(const char* name) {
    char directory[MAX_PATH];
    ::GetTempPathA(sizeof directory, directory);
    return std::string(directory) + name + std::to_string(::GetCurrentProcessId());
}

}  // namespace

TEST(TmclController, SetGetStoreOnAParameter) {
    SimulatedController controller;
    ReplyFrame set = Send(controller, Command(kSetGlobalParameter, 3, 2, 1));
    EXPECT_EQ(set.replyAddress, kReplyAddress);
    EXPECT_EQ(set.module, kModuleAddress);
    EXPECT_EQ(set.status, kStatusSuccess);
    EXPECT_EQ(set.command, kSetGlobalParameter);
    EXPECT_EQ(set.value, 1);
    EXPECT_FALSE(controller.Eeprom(2, 3).stored);  // set alone does not store

    EXPECT_EQ(Send(controller, Command(kGetGlobalParameter, 3, 2, 0)).value, 1);
    ReplyFrame store = Send(controller, Command(kStoreGlobalParameter, 3, 2, 0));
    EXPECT_EQ(store.status, kStatusSuccess);
    EXPECT_TRUE(controller.Eeprom(2, 3).stored);
    EXPECT_EQ(controller.Eeprom(2, 3).value, 1);
    EXPECT_FALSE(controller.Eeprom(3, 2).stored);  // banks and parameters are not mixed up
}

struct RejectCase {
    const char* name;
    std::vector<uint8_t> frame;
    uint8_t status;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.name; }

class TmclControllerReject : public ::testing::TestWithParam<RejectCase> {};

TEST_P(TmclControllerReject, ChangesNothingAndRepliesWithTheStatus) {
    SimulatedController controller;
    controller.LoadEeprom(2, 3, 5);
    std::vector<uint8_t> frame = GetParam().frame;
    ReplyFrame reply = Send(controller, frame);
    EXPECT_EQ(reply.status, GetParam().status);
    EXPECT_EQ(reply.command, frame[1]);
    EXPECT_EQ(reply.value, 0);
    EXPECT_EQ(controller.Parameter(2, 3), 5);
    EXPECT_EQ(controller.Eeprom(2, 3).value, 5);
    EXPECT_EQ(controller.Eeprom(2, 3).stored, true);
    EXPECT_EQ(EepromListing(controller), "2 3 5\n");
}

std::vector<uint8_t> WithChecksumOff(std::vector<uint8_t> frame) {
    frame[8] = static_cast<uint8_t>(frame[8] + 1);
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TmclControllerReject,
    ::testing::Values(
        RejectCase{"WrongChecksumSet", WithChecksumOff(Command(kSetGlobalParameter, 3, 2, 7)), 1},
        RejectCase{"WrongChecksumStore", WithChecksumOff(Command(kStoreGlobalParameter, 3, 2, 0)), 1},
        RejectCase{"UnknownCommand", Command(12, 3, 2, 7), 2},
        RejectCase{"TypeAbove127", Command(kSetGlobalParameter, 128, 2, 7), 3},
        RejectCase{"BankAbove3", Command(kSetGlobalParameter, 3, 4, 7), 4},
        RejectCase{"StoreInBankAbove3", Command(kStoreGlobalParameter, 3, 255, 0), 4}),
    ParamName<RejectCase>);

TEST(TmclController, OtherModuleGetsNoReplyAndChangesNothing) {
    SimulatedController controller;
    std::vector<uint8_t> frame = Command(kSetGlobalParameter, 3, 2, 7, /*module=*/2);
    EXPECT_FALSE(controller.Handle(frame.data()).answered);
    EXPECT_EQ(controller.Parameter(2, 3), 0);
}

TEST(TmclController, FailedPersistLeavesTheEepromAsItWas) {
    SimulatedController controller;
    controller.LoadEeprom(0, 77, 4);
    int persists = 0;
    controller.SetPersist([&persists](const SimulatedController& c) {
        ++persists;
        EXPECT_EQ(c.Eeprom(0, 77).value, 1);  // sees the new contents while saving
        return false;
    });
    Send(controller, Command(kSetGlobalParameter, 77, 0, 1));
    ReplyFrame store = Send(controller, Command(kStoreGlobalParameter, 77, 0, 0));
    EXPECT_EQ(store.status, kStatusEepromLocked);
    EXPECT_EQ(persists, 1);
    EXPECT_EQ(controller.Eeprom(0, 77).value, 4);
    EXPECT_EQ(controller.Parameter(0, 77), 1);
}

TEST(TmclEepromFile, SaveThenLoadKeepsStoredCellsOnly) {
    std::string path = TempPath("tmcl-eeprom-");
    std::remove(path.c_str());
    SimulatedController first;
    first.LoadEeprom(3, 127, -5);
    first.LoadEeprom(0, 77, 1);
    ASSERT_TRUE(SaveEepromFile(path, first));

    SimulatedController second;
    std::string error;
    ASSERT_EQ(LoadEepromFile(path, second, error), LoadResult::kLoaded) << error;
    EXPECT_EQ(EepromListing(second), "0 77 1\n3 127 -5\n");
    EXPECT_EQ(second.Parameter(3, 127), -5);  // working parameters start from the EEPROM
    std::remove(path.c_str());
    EXPECT_EQ(LoadEepromFile(path, second, error), LoadResult::kMissing);
}

TEST(TmclEepromFile, ParseAcceptsCommentsAndRejectsBadLines) {
    SimulatedController controller;
    std::string error;
    EXPECT_TRUE(ParseEeprom("# comment\n\n  2 3 1\r\n0 77 -2147483648\n", controller, error));
    EXPECT_EQ(controller.Eeprom(0, 77).value, INT32_MIN);
    for (const char* bad : {"2 3\n", "2 3 1 x\n", "4 3 1\n", "0 128 1\n", "0 1 2147483648\n", "a b c\n"}) {
        error.clear();
        EXPECT_FALSE(ParseEeprom(std::string("1 1 1\n") + bad, controller, error)) << bad;
        EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
    }
}

struct SimArgsCase {
    const char* name;
    std::vector<const char*> args;
    bool ok;
    const char* error;  // start of the message for a usage error
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const SimArgsCase& c, std::ostream* os) { *os << c.name; }

class TmclSimOptions : public ::testing::TestWithParam<SimArgsCase> {};

TEST_P(TmclSimOptions, Parse) {
    std::vector<char*> argv = {const_cast<char*>("tmcl-sim")};
    for (const char* arg : GetParam().args) argv.push_back(const_cast<char*>(arg));
    sim::Options options;
    std::string error;
    EXPECT_EQ(sim::ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error), GetParam().ok);
    EXPECT_EQ(error.rfind(GetParam().error, 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TmclSimOptions,
    ::testing::Values(
        SimArgsCase{"Everything",
                    {"--port", "com4", "--eeprom", "e.txt", "--frames", "6", "--seconds", "9", "--dump"},
                    true,
                    ""},
        SimArgsCase{"NoPort", {}, false, "--port is required"},
        SimArgsCase{"Com257", {"--port", "COM257"}, false, "bad port"},
        SimArgsCase{"ZeroFrames", {"--port", "COM4", "--frames", "0"}, false, "bad frame count"},
        SimArgsCase{"UnknownArgument", {"--port", "COM4", "--verbose"}, false, "unknown argument"}),
    ParamName<SimArgsCase>);

TEST(TmclSimOptions, Values) {
    const char* args[] = {"tmcl-sim", "--port", "COM4", "--eeprom", "e.txt", "--frames", "6", "--dump"};
    sim::Options options;
    std::string error;
    ASSERT_TRUE(sim::ParseOptions(8, const_cast<char**>(args), options, error));
    EXPECT_EQ(options.port, 3);
    EXPECT_EQ(options.eepromPath, "e.txt");
    EXPECT_EQ(options.frameLimit, 6);
    EXPECT_EQ(options.secondsLimit, 0);
    EXPECT_TRUE(options.dump);
}
