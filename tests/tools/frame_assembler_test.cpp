// The simulator's frame assembler: cutting a byte stream into frames, with
// resynchronisation on silence.
#include <gtest/gtest.h>

#include <vector>

#include "frame_assembler.h"

using namespace tmcl;

class FrameAssemblerTest : public ::testing::Test {
protected:
    void Feed(std::vector<uint8_t> bytes, double atMs) {
        assembler.Feed(bytes.data(), static_cast<int>(bytes.size()), atMs, events);
    }
    FrameAssembler assembler{50.0};
    std::vector<StreamEvent> events;
};

TEST_F(FrameAssemblerTest, FramesSplitAcrossReadsAndBackToBack) {
    Feed({1, 9, 3, 2}, 10);
    Feed({0, 0, 0, 0, 15, 1, 11, 3}, 30);  // within the gap: one frame, the next begun
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, StreamEvent::kFrame);
    EXPECT_EQ(events[0].firstByteMs, 10);
    EXPECT_EQ(events[0].bytes[8], 15);
    Feed({2, 0, 0, 0, 0, 17}, 60);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].firstByteMs, 30);
    EXPECT_EQ(events[1].bytes[1], 11);
    EXPECT_EQ(assembler.pending(), 0);
}

TEST_F(FrameAssemblerTest, PauseDropsUnfinishedFrameAndResynchronises) {
    Feed({0xAA, 1, 9}, 0);
    Feed({1, 9, 3, 2, 0, 0, 0, 0, 15}, 51);  // more than 50 ms of silence
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, StreamEvent::kDiscarded);
    EXPECT_EQ(events[0].count, 3);
    EXPECT_EQ(events[0].bytes[0], 0xAA);
    EXPECT_EQ(events[1].kind, StreamEvent::kFrame);
    EXPECT_EQ(events[1].bytes[8], 15);
}

TEST_F(FrameAssemblerTest, TickDropsOnlyAfterTheGap) {
    Feed({1, 9}, 100);
    assembler.Tick(150, events);  // exactly the gap: still waiting
    EXPECT_TRUE(events.empty());
    assembler.Tick(150.5, events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].count, 2);
    assembler.Tick(500, events);  // nothing left to drop
    EXPECT_EQ(events.size(), 1u);
}
