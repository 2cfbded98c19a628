// vantoro-home's command line and the decoded reply lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "home_frames.h"
#include "home_options.h"
#include "param_names.h"
#include "reply_report.h"
#include "tmcl_frame.h"

namespace {

struct HomeArgsCase {
    const char* name;
    std::vector<const char*> args;
    bool ok;
    const char* error;  // start of the message for a usage error
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const HomeArgsCase& c, std::ostream* os) { *os << c.name; }

class HomeOptions : public ::testing::TestWithParam<HomeArgsCase> {};

TEST_P(HomeOptions, Parse) {
    std::vector<char*> argv = {const_cast<char*>("vantoro-home")};
    for (const char* arg : GetParam().args) argv.push_back(const_cast<char*>(arg));
    home::Options options;
    std::string error;
    EXPECT_EQ(home::ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error), GetParam().ok);
    EXPECT_EQ(error.rfind(GetParam().error, 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HomeOptions,
    ::testing::Values(
        HomeArgsCase{
            "EverySetting", {"--option", "2", "--port", "COM256", "--wait", "0", "--verify"}, true, ""},
        HomeArgsCase{"ListAlone", {"--list"}, true, ""},
        HomeArgsCase{"Status", {"--port", "COM3", "--status"}, true, ""},
        HomeArgsCase{"StatusWithOption",
                     {"--port", "COM3", "--status", "--option", "1"},
                     false,
                     "--status and --option exclude each other"},
        HomeArgsCase{"Option3", {"--port", "COM3", "--option", "3"}, false, "bad option \"3\""},
        HomeArgsCase{"NoOption", {"--port", "COM3"}, false, "--option is required"},
        HomeArgsCase{"PortWithoutCom", {"--port", "3", "--option", "1"}, false, "bad port"},
        HomeArgsCase{"NegativeWait", {"--port", "COM3", "--option", "1", "--wait", "-1"}, false, "bad wait"}),
    ParamName<HomeArgsCase>);

TEST(HomeOptions, ValuesAndDefaultWait) {
    const char* args[] = {"vantoro-home", "--port", "COM3", "--option", "2"};
    home::Options options;
    std::string error;
    ASSERT_TRUE(home::ParseOptions(5, const_cast<char**>(args), options, error));
    EXPECT_EQ(options.port, 2);
    EXPECT_EQ(options.option, 2);
    EXPECT_EQ(options.waitMs, home::kDefaultWaitMs);
    EXPECT_FALSE(options.verify);
}

// The replies a controller gives to the six frames of a sequence.
std::vector<uint8_t> RepliesTo(const HomeSequence& sequence) {
    std::vector<uint8_t> bytes;
    for (const char* frame : sequence.frames) {
        uint8_t reply[tmcl::kFrameSize];
        tmcl::EncodeReply({tmcl::kReplyAddress, tmcl::kModuleAddress, tmcl::kStatusSuccess,
                           static_cast<uint8_t>(frame[1]), frame[7], 0},
                          reply);
        bytes.insert(bytes.end(), reply, reply + tmcl::kFrameSize);
    }
    return bytes;
}

TEST(HomeReplies, ReportDecodesRepliesAndShowsOtherBytesInHex) {
    std::vector<uint8_t> bytes = RepliesTo(kHomeOption1);
    bytes.resize(2 * tmcl::kFrameSize);
    bytes.push_back(0x7E);
    std::vector<std::string> lines = home::ReportLines(bytes);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "received 19 byte(s):");
    EXPECT_EQ(lines[1],
              "reply 1: 02 01 64 09 00 00 00 00 70 | reply address 2, module 1, status 100 (success), "
              "command 9 (set global parameter), value 0, checksum ok");
    EXPECT_EQ(lines[2].rfind("reply 2: 02 01 64 0B", 0), 0u);
    EXPECT_EQ(lines[3], "unframed bytes: 7E");
    EXPECT_EQ(home::ReportLines({}), std::vector<std::string>{"no reply received"});
}

}  // namespace
