// The two console programs against each other over the virtual line COM3 <->
// COM4: vantoro-home sends a home sequence, tmcl-sim answers and keeps the
// settings in its EEPROM file. Also what each program does with bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"
#include "controller.h"
#include "eeprom_file.h"
#include "home_frames.h"
#include "param_names.h"
#include "tmcl_frame.h"
#include "vantoro_version.h"
#include "virtual_line.h"

namespace {

constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kRunTimeoutMs = 30000;

const std::string kSimExe = HostPathToWindows(TMCL_SIM_EXE);
const std::string kHomeExe = HostPathToWindows(VANTORO_HOME_EXE);

std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(WithoutCarriageReturns(text));
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

struct LoggedFrame {
    double atMs;
    std::string hex;
    std::string homeFrame;  // the name the simulator gives a home sequence's frame
};

std::vector<LoggedFrame> FramesInLog(const std::string& log) {
    static const std::regex frameLine(
        R"(^frame \d+ at ([0-9.]+) ms: ((?:[0-9A-F]{2} ){8}[0-9A-F]{2}) \|.*?(?:\| home frame (\w+))?$)");
    std::vector<LoggedFrame> frames;
    std::smatch match;
    for (const std::string& line : Lines(log))
        if (std::regex_search(line, match, frameLine))
            frames.push_back({std::stod(match[1]), match[2], match[3]});
    return frames;
}

std::string TempFile(const char* name) {
    char directory[MAX_PATH];
    ::GetTempPathA(sizeof directory, directory);
    return std::string(directory) + name + std::to_string(::GetCurrentProcessId()) + ".txt";
}

// The simulator on COM4, ready once it says it listens.
void StartSimulator(ChildProcess& sim, const std::string& eeprom, int frames, const std::string& more = "") {
    std::remove(eeprom.c_str());
    ASSERT_TRUE(sim.Start(kSimExe, "--port COM4 --eeprom \"" + eeprom + "\" --frames " +
                                       std::to_string(frames) + " --seconds 60 --dump" + more));
    ASSERT_TRUE(sim.WaitForOutput("listening on COM4", kStartTimeoutMs)) << sim.Output();
}

class LineHomeTools : public ::testing::TestWithParam<int> {};

TEST_P(LineHomeTools, SequenceReachesTheSimulatorAndIsStored) {
    const int option = GetParam();
    const HomeSequence& sequence = option == 1 ? kHomeOption1 : kHomeOption2;
    const std::string eeprom = TempFile("home-eeprom-");
    ChildProcess sim;
    ASSERT_NO_FATAL_FAILURE(StartSimulator(sim, eeprom, kFramesPerSequence));

    ChildProcess home;
    ASSERT_TRUE(home.Start(kHomeExe, "--port COM3 --option " + std::to_string(option) + " --verify"));
    EXPECT_EQ(home.Wait(kRunTimeoutMs), 0) << home.Output();
    EXPECT_EQ(sim.Wait(kRunTimeoutMs), 0) << sim.Output();

    // The 54 bytes in order, about 100 ms apart.
    std::vector<LoggedFrame> frames = FramesInLog(sim.Output());
    ASSERT_EQ(frames.size(), 6u) << sim.Output();
    for (int i = 0; i < kFramesPerSequence; ++i) {
        EXPECT_EQ(frames[i].hex,
                  tmcl::HexBytes(reinterpret_cast<const uint8_t*>(sequence.frames[i]), kFrameSize));
        EXPECT_EQ(frames[i].homeFrame, HomeFrameName(reinterpret_cast<const uint8_t*>(sequence.frames[i])));
        if (i == 0) continue;
        double gap = frames[i].atMs - frames[i - 1].atMs;
        std::printf("option %d: gap before frame %d: %.1f ms\n", option, i + 1, gap);
        EXPECT_GE(gap, 80.0);
        EXPECT_LE(gap, 400.0);
    }

    // The tool's lines, then six decoded success replies.
    std::string output = WithoutCarriageReturns(home.Output());
    std::vector<std::string> lines = Lines(output);
    ASSERT_GE(lines.size(), 20u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Sending commnad...");
    EXPECT_EQ(lines[option == 1 ? 16 : 17], VANTORO_VERSION_TAG);  // after " " and 13 or 14 blank lines
    EXPECT_NE(output.find(option == 1 ? "DONE, command reply (if any) follows: \n"
                                      : "DONE, command reply (if any) follows:\n"),
              std::string::npos);
    std::regex success(R"(^reply \d: 02 01 64 .* \| .*status 100 \(success\).*checksum ok$)");
    int successes = 0;
    for (const std::string& line : lines) successes += std::regex_match(line, success) ? 1 : 0;
    EXPECT_EQ(successes, 6) << output;
    EXPECT_EQ(lines.back(), "Result: the controller confirmed all six commands.");

    // The EEPROM file holds the home settings.
    tmcl::SimulatedController stored;
    std::string error;
    ASSERT_EQ(tmcl::LoadEepromFile(eeprom, stored, error), tmcl::LoadResult::kLoaded) << error;
    std::string expected = "0 77 1\n2 3 " + std::to_string(option - 1) + "\n2 10 0\n";
    EXPECT_EQ(tmcl::EepromListing(stored), expected);
    EXPECT_NE(WithoutCarriageReturns(sim.Output()).find("EEPROM (bank parameter value):\n" + expected),
              std::string::npos);
    std::remove(eeprom.c_str());
}

INSTANTIATE_TEST_SUITE_P(LineOptions, LineHomeTools, ::testing::Values(1, 2));

// Without a controller, and with one that refuses the second command: the
// last line says so and --verify fails.
TEST(LineHomeToolsVerdict, NoReplyAndARefusedCommand) {
    Peer(kPeerPort).Purge();
    ChildProcess alone;
    ASSERT_TRUE(alone.Start(kHomeExe, "--port COM3 --option 1 --verify"));
    EXPECT_EQ(alone.Wait(kRunTimeoutMs), 4);
    EXPECT_EQ(Lines(alone.Output()).back(),
              "Result: no reply from the controller; the setting is not confirmed.");

    const std::string eeprom = TempFile("refuse-eeprom-");
    ChildProcess sim;
    ASSERT_NO_FATAL_FAILURE(StartSimulator(sim, eeprom, kFramesPerSequence, " --refuse 2:5"));
    ChildProcess home;
    ASSERT_TRUE(home.Start(kHomeExe, "--port COM3 --option 2 --verify"));
    EXPECT_EQ(home.Wait(kRunTimeoutMs), 4);
    EXPECT_EQ(sim.Wait(kRunTimeoutMs), 0) << sim.Output();
    EXPECT_EQ(Lines(home.Output()).back(),
              "Result: command 2 (store global parameter) refused: EEPROM locked (5)");
    std::remove(eeprom.c_str());
}

std::vector<uint8_t> Frame(uint8_t command, uint8_t type, uint8_t bank, int32_t value) {
    std::vector<uint8_t> frame(kFrameSize);
    tmcl::EncodeCommand({tmcl::kModuleAddress, command, type, bank, value, 0}, frame.data());
    return frame;
}

// Each rejection's status is proven in process; over the line: the program
// answers a rejected frame and writes no EEPROM file without a store.
TEST(LineTmclSim, RejectedFramesChangeNothing) {
    const std::string eeprom = TempFile("reject-eeprom-");
    ChildProcess sim;
    ASSERT_NO_FATAL_FAILURE(StartSimulator(sim, eeprom, 2));
    Peer host(kLinePort);
    ASSERT_TRUE(host.ok());

    std::vector<uint8_t> badStore = Frame(tmcl::kStoreGlobalParameter, 3, 2, 0);
    badStore[8] = 0;
    const std::pair<std::vector<uint8_t>, uint8_t> steps[] = {
        {badStore, tmcl::kStatusWrongChecksum},
        {Frame(tmcl::kGetGlobalParameter, 3, 2, 0), tmcl::kStatusSuccess},  // still 0
    };
    for (const auto& [frame, status] : steps) {
        ASSERT_TRUE(host.Write(frame.data(), kFrameSize));
        std::string reply = host.Read(kFrameSize, 5000);
        ASSERT_EQ(reply.size(), 9u) << sim.Output();
        tmcl::ReplyFrame fields = tmcl::DecodeReply(reinterpret_cast<const uint8_t*>(reply.data()));
        EXPECT_EQ(fields.status, status);
        EXPECT_EQ(fields.command, frame[1]);
        EXPECT_EQ(fields.value, 0);
    }
    EXPECT_EQ(sim.Wait(kRunTimeoutMs), 0);
    tmcl::SimulatedController stored;
    std::string error;
    EXPECT_EQ(tmcl::LoadEepromFile(eeprom, stored, error),
              tmcl::LoadResult::kMissing);  // never written
    EXPECT_NE(WithoutCarriageReturns(sim.Output()).find("EEPROM (bank parameter value):\nEEPROM end"),
              std::string::npos);
}

TEST(LineHomeToolsList, ListShowsTheVirtualLines) {
    ChildProcess home;
    ASSERT_TRUE(home.Start(kHomeExe, "--list"));
    EXPECT_EQ(home.Wait(kRunTimeoutMs), 0);
    std::string output = home.Output();
    for (const char* port : {"COM3 ", "COM4 ", "COM5 ", "COM6 "})
        EXPECT_NE(output.find(port), std::string::npos) << output;
    EXPECT_EQ(output.find("COM9 "), std::string::npos) << output;
}

struct BadRunCase {
    const char* name;
    const char* arguments;
    int exitCode;
    const char* message;  // the start of the one line the program prints
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadRunCase& c, std::ostream* os) { *os << c.name; }

class HomeToolBadInput : public ::testing::TestWithParam<BadRunCase> {};

TEST_P(HomeToolBadInput, OneLineAndItsExitCode) {
    ChildProcess home;
    ASSERT_TRUE(home.Start(kHomeExe, GetParam().arguments));
    EXPECT_EQ(home.Wait(kRunTimeoutMs), GetParam().exitCode);
    std::vector<std::string> lines = Lines(home.Output());
    ASSERT_EQ(lines.size(), 1u) << home.Output();
    EXPECT_EQ(lines[0].rfind(GetParam().message, 0), 0u) << lines[0];
}

INSTANTIATE_TEST_SUITE_P(Cases, HomeToolBadInput,
                         ::testing::Values(BadRunCase{"MissingPort", "--port COM9 --option 1", 3,
                                                      "vantoro-home: cannot open COM9: "},
                                           BadRunCase{"Option3", "--port COM3 --option 3", 2,
                                                      "vantoro-home: bad option \"3\" (expected 1 or 2)"}),
                         ParamName<BadRunCase>);

TEST(HomeToolBadInput, SimulatorOnAMissingPort) {
    ChildProcess sim;
    ASSERT_TRUE(sim.Start(kSimExe, "--port COM9 --seconds 1"));
    EXPECT_EQ(sim.Wait(kRunTimeoutMs), 3);
    EXPECT_EQ(sim.Output().rfind("tmcl-sim: cannot open COM9: ", 0), 0u) << sim.Output();
}

}  // namespace
