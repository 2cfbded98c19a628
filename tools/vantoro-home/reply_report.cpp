// Decoding the controller's replies.
#include "reply_report.h"

#include "reply_scanner.h"
#include "tmcl_frame.h"

namespace home {

std::vector<std::string> ReportLines(const std::vector<uint8_t>& received) {
    std::vector<std::string> lines;
    if (received.empty()) {
        lines.emplace_back("no reply received");
        return lines;
    }
    lines.push_back("received " + std::to_string(received.size()) + " byte(s):");
    int replies = 0;
    for (const tmcl::ScannedItem& item :
         tmcl::ScanReplies(received.data(), static_cast<int>(received.size()))) {
        const uint8_t* bytes = item.bytes.data();
        int count = static_cast<int>(item.bytes.size());
        if (item.kind == tmcl::ScannedItem::kReply)
            lines.push_back("reply " + std::to_string(++replies) + ": " + tmcl::HexBytes(bytes, count) +
                            " | " + tmcl::DescribeReply(bytes));
        else
            lines.push_back("unframed bytes: " + tmcl::HexBytes(bytes, count));
    }
    return lines;
}

}  // namespace home
