// Splitting received bytes into replies and unframed runs.
#include "reply_scanner.h"

#include "tmcl_frame.h"

namespace tmcl {
namespace {

bool LooksLikeReply(const uint8_t* bytes) {
    return bytes[0] == kReplyAddress && (bytes[1] == kModuleAddress || ChecksumHolds(bytes));
}

void FlushUnframed(std::vector<uint8_t>& run, std::vector<ScannedItem>& items) {
    if (run.empty()) return;
    items.push_back({ScannedItem::kUnframed, run});
    run.clear();
}

}  // namespace

std::vector<ScannedItem> ScanReplies(const uint8_t* data, int count) {
    std::vector<ScannedItem> items;
    std::vector<uint8_t> unframed;
    int i = 0;
    while (i < count) {
        if (count - i >= kFrameSize && LooksLikeReply(data + i)) {
            FlushUnframed(unframed, items);
            items.push_back({ScannedItem::kReply, std::vector<uint8_t>(data + i, data + i + kFrameSize)});
            i += kFrameSize;
        } else {
            unframed.push_back(data[i++]);
        }
    }
    FlushUnframed(unframed, items);
    return items;
}

}  // namespace tmcl
