// Decoding and checking the controller's replies.
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

bool VerifyReplies(const std::vector<uint8_t>& received, const HomeSequence& sent, std::string& failure) {
    for (const tmcl::ScannedItem& item :
         tmcl::ScanReplies(received.data(), static_cast<int>(received.size()))) {
        if (item.kind == tmcl::ScannedItem::kUnframed) {
            failure = "unframed bytes in the replies";
            return false;
        }
    }
    if (received.size() != static_cast<size_t>(kFramesPerSequence) * tmcl::kFrameSize) {
        failure = "expected " + std::to_string(kFramesPerSequence) + " replies (" +
                  std::to_string(kFramesPerSequence * tmcl::kFrameSize) + " bytes), got " +
                  std::to_string(received.size()) + " bytes";
        return false;
    }
    for (int i = 0; i < kFramesPerSequence; ++i) {
        const uint8_t* reply = received.data() + static_cast<size_t>(i) * tmcl::kFrameSize;
        tmcl::ReplyFrame fields = tmcl::DecodeReply(reply);
        std::string which = "reply " + std::to_string(i + 1);
        std::string fault;
        if (!tmcl::ChecksumHolds(reply))
            fault = " has a wrong checksum";
        else if (fields.status != tmcl::kStatusSuccess)
            fault = " has status " + std::to_string(fields.status) + " (" +
                    tmcl::StatusMeaning(fields.status) + ")";
        else if (fields.command != static_cast<uint8_t>(sent.frames[i][1]))
            fault = " answers command " + std::to_string(fields.command) + ", not " +
                    std::to_string(sent.frames[i][1]);
        if (!fault.empty()) {
            failure = which + fault;
            return false;
        }
    }
    return true;
}

}  // namespace home
