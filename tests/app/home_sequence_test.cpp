// The home sequences against a recording port: the exact order of lines,
// writes and pauses for both options, and what a failing frame or a port
// that is not open leaves on the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "error_text.h"
#include "home_sequence.h"
#include "param_names.h"
#include "sio.h"
#include "text_screen.h"
#include "vantoro_version.h"

namespace {

// Everything the sequence did, in order: "line <text>", "sleep <ms>" and
// "write <port> <frame name>", plus the bytes written.
struct Recorder {
    static inline std::vector<std::string> trace;
    static inline std::string bytes;

    static std::string FrameName(const char* data) {
        const char* name = HomeFrameName(reinterpret_cast<const uint8_t*>(data));
        return name ? name : "?";
    }
    // Starts an empty record; every write goes out whole.
    static HomeSequenceIo Io() {
        trace.clear();
        bytes.clear();
        return {[](const char* text) { trace.push_back(std::string("line ") + text); },
                [](unsigned ms) { trace.push_back("sleep " + std::to_string(ms)); },
                [](int port, const char* data, int count) {
                    trace.push_back("write " + std::to_string(port) + " " + FrameName(data));
                    bytes.append(data, static_cast<size_t>(count));
                    return count;
                }};
    }
};

std::vector<std::string> Blanks(int count) { return std::vector<std::string>(count, "line  "); }

std::vector<std::string> ExpectedTrace(int option) {
    std::vector<std::string> trace = {"line \nSending commnad...", "line  "};
    const char* first = option == 1 ? "F1a" : "F1b";
    for (const char* frame : {first, "F2", "F3", "F4", "F5"}) {
        trace.push_back(std::string("write 2 ") + frame);
        trace.push_back("sleep 100");
    }
    trace.push_back("write 2 F6");
    auto append = [&trace](const std::vector<std::string>& more) {
        trace.insert(trace.end(), more.begin(), more.end());
    };
    append(Blanks(option == 1 ? 13 : 14));
    trace.push_back(std::string("line ") + VANTORO_VERSION_TAG);
    append(Blanks(option == 1 ? 2 : 1));
    append({"line ========================================================",
            option == 1 ? "line   ->> \"Home Option 1 (default)\" configuration command was sent"
                        : "line   ->> \"Home Option 2\" configuration command was sent",
            "line  ", "line STOP, wait until it says 'Done' before continuing", "line  ",
            "line Waiting 2.5 seconds", "line  ", "sleep 2500",
            option == 1 ? "line DONE, command reply (if any) follows: "
                        : "line DONE, command reply (if any) follows:",
            "line  "});
    return trace;
}

class HomeSequenceRun : public ::testing::TestWithParam<int> {};

TEST_P(HomeSequenceRun, LinesWritesAndPausesInOrder) {
    EXPECT_EQ(RunHomeSequence(GetParam(), 2, Recorder::Io()), 0);
    EXPECT_EQ(Recorder::trace, ExpectedTrace(GetParam()));
    std::string expected(GetParam() == 1 ? F1a : F1b, kFrameSize);
    for (const char* frame : {F2, F3, F4, F5, F6}) expected.append(frame, kFrameSize);
    EXPECT_EQ(Recorder::bytes, expected);  // 54 bytes
}

INSTANTIATE_TEST_SUITE_P(Options, HomeSequenceRun, ::testing::Values(1, 2));

std::vector<std::string> EntriesStartingWith(const std::string& prefix) {
    std::vector<std::string> entries;
    for (const std::string& entry : Recorder::trace)
        if (entry.rfind(prefix, 0) == 0) entries.push_back(entry.substr(prefix.size()));
    return entries;
}

struct FailedFrameCase {
    const char* name;
    std::vector<int> results;  // of the six writes, in order
    int reported;              // the code whose text replaces the banner
};

void PrintTo(const FailedFrameCase& c, std::ostream* os) { *os << c.name; }

class HomeSequenceFailure : public ::testing::TestWithParam<FailedFrameCase> {};

// Any frame that did not go out whole means the controller did not get the
// sequence: all six are still tried with their pauses, then only the error
// text of the first failure is written.
TEST_P(HomeSequenceFailure, WritesOnlyTheErrorTextAfterAllSixFrames) {
    static std::vector<int> results;
    static size_t next;
    results = GetParam().results;
    next = 0;
    HomeSequenceIo io = Recorder::Io();
    io.writeBlock = [](int, const char* data, int count) {
        Recorder::bytes.append(data, static_cast<size_t>(count));
        return results[next++];
    };
    EXPECT_EQ(RunHomeSequence(2, 2, io), GetParam().reported);
    EXPECT_EQ(EntriesStartingWith("line "),
              (std::vector<std::string>{"\nSending commnad...", " ", ErrorText(GetParam().reported)}));
    EXPECT_EQ(EntriesStartingWith("sleep "), std::vector<std::string>(5, "100"));
    EXPECT_EQ(Recorder::bytes.size(), 54u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HomeSequenceFailure,
    ::testing::Values(FailedFrameCase{"ThirdFails", {9, 9, SIO_IO_FAILED, 9, 9, 9}, SIO_IO_FAILED},
                      FailedFrameCase{"ThirdShort", {9, 9, 4, 9, 9, 9}, SIO_IO_FAILED},
                      FailedFrameCase{"SixthWritesNothing", {9, 9, 9, 9, 9, 0}, SIO_IO_FAILED},
                      FailedFrameCase{"FirstNegativeWins", {9, 3, IE_NOPEN, SIO_NO_DATA, 9, 9}, IE_NOPEN},
                      FailedFrameCase{"OffLine", std::vector<int>(6, IE_NOPEN), IE_NOPEN}),
    ParamName<FailedFrameCase>);

TEST(HomeSequence, OtherOptionsDoNothing) {
    HomeSequenceIo io = Recorder::Io();
    for (int option : {0, 3, -1}) RunHomeSequence(option, 2, io);
    EXPECT_TRUE(Recorder::trace.empty());
}

}  // namespace
