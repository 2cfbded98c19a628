// The read-back of --status and the window against a simulated controller
// behind a fake link:
// the values each home sequence leaves are read back and named, and every
// way an answer can fail gives false with its reason.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "controller.h"
#include "home_readback.h"
#include "home_sequence.h"
#include "param_names.h"
#include "status_query.h"
#include "tmcl_frame.h"

namespace {

// What the far end does with a request.
enum class Answer { kController, kSilent, kRefused, kBadChecksum, kShort, kWriteFails };

struct FakeEnd {
    tmcl::SimulatedController controller;
    Answer answer = Answer::kController;
    std::deque<char> incoming;
    unsigned long nowMs = 0;
};
FakeEnd* farEnd = nullptr;

int FakeWrite(int, const char* data, int count) {
    if (farEnd->answer == Answer::kWriteFails) return -13;
    tmcl::Handling handling = farEnd->controller.Handle(reinterpret_cast<const uint8_t*>(data));
    uint8_t* reply = handling.reply;
    int length = tmcl::kFrameSize;
    switch (farEnd->answer) {
        case Answer::kSilent: length = 0; break;
        case Answer::kRefused:
            reply[2] = tmcl::kStatusWrongType;
            reply[8] = tmcl::Checksum(reply);
            break;
        case Answer::kBadChecksum: reply[8] ^= 0xFF; break;
        case Answer::kShort: length = 4; break;
        default: break;
    }
    farEnd->incoming.insert(farEnd->incoming.end(), reply, reply + length);
    return count;
}

int FakeRead(int, char* buffer, int size) {
    int count = 0;
    // One byte at a time, so the reader has to collect a reply in pieces.
    if (count < size && !farEnd->incoming.empty()) {
        buffer[count++] = farEnd->incoming.front();
        farEnd->incoming.pop_front();
    }
    return count;
}

void FakeSleep(unsigned milliseconds) { farEnd->nowMs += milliseconds; }
unsigned long FakeNow() { return farEnd->nowMs; }

std::string FakeDescribe(int code) { return "code " + std::to_string(code); }

const home::ControllerLink kLink = {FakeWrite, FakeRead, FakeSleep, FakeNow, FakeDescribe};

class StatusQuery : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { farEnd = &fake; }
    void TearDown() override { farEnd = nullptr; }
    void RunSequence(const HomeSequence& sequence) {
        for (const char* frame : sequence.frames)
            fake.controller.Handle(reinterpret_cast<const uint8_t*>(frame));
    }
    FakeEnd fake;
};

TEST_P(StatusQuery, ReadsBackTheOptionASequenceLeft) {
    const int option = GetParam();
    RunSequence(option == 1 ? kHomeOption1 : kHomeOption2);
    int32_t values[home::kHomeParameterCount] = {-1, -1, -1};
    std::string failure;
    ASSERT_TRUE(home::ReadHomeValues(2, kLink, 1000, values, failure)) << failure;
    EXPECT_EQ(values[0], option - 1);
    EXPECT_EQ(values[1], 0);
    EXPECT_EQ(values[2], 1);
    EXPECT_EQ(home::HomeOptionOf(values), option);
    std::string expected =
        option == 1 ? "COM3: Home Option 1 (default) is set\n" : "COM3: Home Option 2 is set\n";
    expected += "  bank 2, parameter 3 = " + std::to_string(option - 1) +
                "\n  bank 2, parameter 10 = 0\n  bank 0, parameter 77 = 1\n";
    EXPECT_EQ(home::StatusReport(2, values), expected);
}

INSTANTIATE_TEST_SUITE_P(Options, StatusQuery, ::testing::Values(1, 2));

TEST(StatusQueryValues, AFreshControllerMatchesNeitherOption) {
    const int32_t fresh[home::kHomeParameterCount] = {0, 0, 0};
    EXPECT_EQ(home::HomeOptionOf(fresh), 0);
    EXPECT_EQ(home::StatusReport(0, fresh).rfind("COM1: neither home option is set", 0), 0u);
}

struct FailureCase {
    const char* name;
    Answer answer;
    const char* reason;  // the start of the one-line reason
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class StatusQueryFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(StatusQueryFailure, GivesItsReason) {
    FakeEnd fake;
    farEnd = &fake;
    fake.answer = GetParam().answer;
    int32_t values[home::kHomeParameterCount] = {};
    std::string failure;
    EXPECT_FALSE(home::ReadHomeValues(2, kLink, 1000, values, failure));
    EXPECT_EQ(failure.rfind(GetParam().reason, 0), 0u) << failure;
    EXPECT_EQ(failure.find('\n'), std::string::npos);
    if (GetParam().answer == Answer::kSilent) {
        EXPECT_GE(fake.nowMs, 1000u);  // it waited the whole time-out
    }
    farEnd = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatusQueryFailure,
    ::testing::Values(FailureCase{"Silent", Answer::kSilent,
                                  "no answer from the controller on COM3 to the request for parameter 3 of "
                                  "bank 2 within 1000 ms"},
                      FailureCase{"ErrorStatus", Answer::kRefused,
                                  "the controller refused the request for parameter 3 of bank 2: status 3 "
                                  "(wrong type)"},
                      FailureCase{"BadChecksum", Answer::kBadChecksum,
                                  "the answer to the request for parameter 3 of bank 2 is not a reply to it"},
                      FailureCase{"ShortAnswer", Answer::kShort,
                                  "the answer to the request for parameter 3 of bank 2 is not a reply to it: "
                                  "02 01 64 0A"},
                      FailureCase{"NotSent", Answer::kWriteFails,
                                  "the request for parameter 3 of bank 2 was not sent: code -13"}),
    ParamName<FailureCase>);

}  // namespace
