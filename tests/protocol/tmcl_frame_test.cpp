// The controller's frames: layout and checksum, and finding replies among
// the bytes that came back.
#include <gtest/gtest.h>

#include <vector>

#include "reply_scanner.h"
#include "tmcl_frame.h"

using namespace tmcl;

namespace {

std::vector<uint8_t> Reply(uint8_t status, uint8_t command, int32_t value) {
    std::vector<uint8_t> bytes(kFrameSize);
    EncodeReply({kReplyAddress, kModuleAddress, status, command, value, 0}, bytes.data());
    return bytes;
}

}  // namespace

TEST(TmclFrame, ReplyLayoutIsAddressModuleStatusCommandValueMsbFirstChecksum) {
    std::vector<uint8_t> bytes = Reply(kStatusSuccess, kSetGlobalParameter, 0x01020304);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{2, 1, 100, 9, 1, 2, 3, 4, 122}));
    ReplyFrame back = DecodeReply(bytes.data());
    EXPECT_EQ(back.value, 0x01020304);
    EXPECT_TRUE(ChecksumHolds(bytes.data()));
}

TEST(TmclFrame, NegativeValuesAndChecksumWrapAround) {
    uint8_t frame[kFrameSize];
    EncodeCommand({kModuleAddress, kSetGlobalParameter, 127, 3, -2, 0}, frame);
    EXPECT_EQ(HexBytes(frame, kFrameSize), "01 09 7F 03 FF FF FF FE 87");  // 1159 mod 256
    EXPECT_EQ(DecodeCommand(frame).value, -2);
    frame[8] ^= 1;
    EXPECT_FALSE(ChecksumHolds(frame));
    EXPECT_NE(DescribeCommand(frame).find("checksum WRONG (134, should be 135)"), std::string::npos);
}

TEST(ReplyScanner, RepliesAmongOtherBytes) {
    std::vector<uint8_t> stream = {0x41, 0x42};
    std::vector<uint8_t> ok = Reply(kStatusSuccess, 9, 0);
    std::vector<uint8_t> damaged = Reply(kStatusWrongChecksum, 11, 0);
    damaged[8] ^= 0xFF;  // still recognised by its addresses, flagged as wrong
    stream.insert(stream.end(), ok.begin(), ok.end());
    stream.insert(stream.end(), damaged.begin(), damaged.end());
    stream.insert(stream.end(), {2, 1, 100});  // an unfinished reply at the end

    std::vector<ScannedItem> items = ScanReplies(stream.data(), static_cast<int>(stream.size()));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].kind, ScannedItem::kUnframed);
    EXPECT_EQ(items[0].bytes, (std::vector<uint8_t>{0x41, 0x42}));
    EXPECT_EQ(items[1].kind, ScannedItem::kReply);
    EXPECT_EQ(items[1].bytes, ok);
    EXPECT_EQ(items[2].kind, ScannedItem::kReply);
    EXPECT_NE(DescribeReply(items[2].bytes.data()).find("checksum WRONG"), std::string::npos);
    EXPECT_EQ(items[3].kind, ScannedItem::kUnframed);
    EXPECT_EQ(items[3].bytes.size(), 3u);
}

TEST(ReplyScanner, NineZeroBytesAreNoReply) {
    std::vector<uint8_t> zeros(kFrameSize, 0);  // checksum 0 holds, but no reply address
    std::vector<ScannedItem> items = ScanReplies(zeros.data(), kFrameSize);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, ScannedItem::kUnframed);
}
