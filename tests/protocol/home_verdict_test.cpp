// The verdict on the replies to a home sequence: each way the replies can
// fall short gives its own line, naming the command and status where one
// was refused, and every line fits the 80 columns of the text screen.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "home_verdict.h"
#include "param_names.h"

namespace {

// The replies a controller gives to the six frames of option 2.
std::vector<uint8_t> Replies() {
    std::vector<uint8_t> bytes;
    for (const char* frame : kHomeOption2.frames) {
        uint8_t reply[kFrameSize];
        tmcl::EncodeReply({tmcl::kReplyAddress, tmcl::kModuleAddress, tmcl::kStatusSuccess,
                           static_cast<uint8_t>(frame[1]), frame[7], 0},
                          reply);
        bytes.insert(bytes.end(), reply, reply + kFrameSize);
    }
    return bytes;
}

void SetStatus(std::vector<uint8_t>& bytes, int reply, uint8_t status) {
    uint8_t* frame = &bytes[static_cast<size_t>(reply) * kFrameSize];
    frame[2] = status;
    frame[8] = tmcl::Checksum(frame);
}

struct VerdictCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> change;
    const char* line;
};

void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }

class HomeVerdict : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(HomeVerdict, Line) {
    std::vector<uint8_t> bytes = Replies();
    GetParam().change(bytes);
    home::Verdict verdict = home::JudgeReplies(bytes.data(), static_cast<int>(bytes.size()), kHomeOption2);
    std::string line = home::VerdictLine(verdict, kHomeOption2);
    EXPECT_EQ(line, GetParam().line);
    EXPECT_LE(line.size(), 80u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HomeVerdict,
    ::testing::Values(
        VerdictCase{"AllSix", [](std::vector<uint8_t>&) {},
                    "Result: the controller confirmed all six commands."},
        VerdictCase{"NoReply", [](std::vector<uint8_t>& b) { b.clear(); },
                    "Result: no reply from the controller; the setting is not confirmed."},
        VerdictCase{"FourReplies", [](std::vector<uint8_t>& b) { b.resize(4 * kFrameSize + 3); },
                    "Result: only 4 of 6 replies came; the setting is not confirmed."},
        VerdictCase{"StoreRefused",
                    [](std::vector<uint8_t>& b) { SetStatus(b, 1, tmcl::kStatusEepromLocked); },
                    "Result: command 2 (store global parameter) refused: EEPROM locked (5)"},
        // The first faulty reply is named, even when later ones are missing.
        VerdictCase{"FirstRefusalWins",
                    [](std::vector<uint8_t>& b) {
                        SetStatus(b, 5, tmcl::kStatusNotAvailable);
                        SetStatus(b, 2, 200);
                        b.resize(5 * kFrameSize);
                    },
                    "Result: command 3 (set global parameter) refused: unknown status (200)"},
        VerdictCase{"LongestStatusName",
                    [](std::vector<uint8_t>& b) { SetStatus(b, 5, tmcl::kStatusNotAvailable); },
                    "Result: command 6 (store global parameter) refused: command not available (6)"},
        VerdictCase{"DamagedReply", [](std::vector<uint8_t>& b) { b[3 * kFrameSize + 8] ^= 1; },
                    "Result: the reply to command 4 (store global parameter) has a bad checksum"},
        VerdictCase{"RepliesSwapped",
                    [](std::vector<uint8_t>& b) {
                        std::swap_ranges(b.begin(), b.begin() + kFrameSize, b.begin() + kFrameSize);
                    },
                    "Result: the reply to command 1 (set global parameter) answers something else"},
        VerdictCase{"ExtraByte", [](std::vector<uint8_t>& b) { b.push_back(0x41); },
                    "Result: bytes that are no reply came; the setting is not confirmed."}),
    ParamName<VerdictCase>);

}  // namespace
