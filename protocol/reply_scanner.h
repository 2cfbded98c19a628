// Finds the controller's 9-byte replies in whatever bytes came back. A reply
// starts with the reply address and is recognised by the module address or
// a holding checksum, so a reply with a damaged checksum is still shown as a
// reply (and flagged); bytes that fit no reply are kept as unframed runs.
#pragma once

#include <cstdint>
#include <vector>

namespace tmcl {

struct ScannedItem {
    enum Kind { kReply, kUnframed } kind;
    std::vector<uint8_t> bytes;  // 9 for a reply
};

std::vector<ScannedItem> ScanReplies(const uint8_t* data, int count);

}  // namespace tmcl
