// The seven frames of the home sequences against their table of bytes (each
// checksum included), and the names the simulator's log gives them.
#include <gtest/gtest.h>

#include <vector>

#include "home_frames.h"
#include "param_names.h"

namespace {

struct FrameCase {
    const char* name;
    const char* frame;
    std::vector<int> bytes;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class HomeFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(HomeFrames, BytesAndName) {
    const char* frame = GetParam().frame;
    std::vector<int> bytes(frame, frame + kFrameSize);
    EXPECT_EQ(bytes, GetParam().bytes);
    EXPECT_STREQ(HomeFrameName(reinterpret_cast<const uint8_t*>(frame)), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Table, HomeFrames,
                         ::testing::Values(FrameCase{"F1a", F1a, {1, 9, 3, 2, 0, 0, 0, 0, 15}},
                                           FrameCase{"F1b", F1b, {1, 9, 3, 2, 0, 0, 0, 1, 16}},
                                           FrameCase{"F2", F2, {1, 11, 3, 2, 0, 0, 0, 0, 17}},
                                           FrameCase{"F3", F3, {1, 9, 10, 2, 0, 0, 0, 0, 22}},
                                           FrameCase{"F4", F4, {1, 11, 10, 2, 0, 0, 0, 0, 24}},
                                           FrameCase{"F5", F5, {1, 9, 77, 0, 0, 0, 0, 1, 88}},
                                           FrameCase{"F6", F6, {1, 11, 77, 0, 0, 0, 0, 0, 89}}),
                         ParamName<FrameCase>);

TEST(HomeFrames, OtherBytesHaveNoName) {
    uint8_t frame[kFrameSize] = {1, 9, 3, 2, 0, 0, 0, 2, 17};
    EXPECT_EQ(HomeFrameName(frame), nullptr);
}

}  // namespace
