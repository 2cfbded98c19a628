// Judging the replies in sending order: the first faulty reply among the
// six is named, since it tells the operator which command to look at; then
// missing replies (a cut-off reply counts as missing), then stray bytes.
#include "home_verdict.h"

#include <vector>

#include "reply_scanner.h"

namespace home {
namespace {

// The fault of the reply to frame `sent`, or kConfirmed when it confirms it.
VerdictKind FaultOf(const uint8_t* reply, const char* sent, int& status) {
    tmcl::ReplyFrame fields = tmcl::DecodeReply(reply);
    status = fields.status;
    if (!tmcl::ChecksumHolds(reply)) return VerdictKind::kBadChecksum;
    if (fields.module != tmcl::kModuleAddress) return VerdictKind::kWrongReply;
    if (fields.status != tmcl::kStatusSuccess) return VerdictKind::kRefused;
    if (fields.command != static_cast<uint8_t>(sent[1])) return VerdictKind::kWrongReply;
    return VerdictKind::kConfirmed;
}

std::string CommandText(const Verdict& verdict, const HomeSequence& sent) {
    int number = static_cast<uint8_t>(sent.frames[verdict.command - 1][1]);
    return "command " + std::to_string(verdict.command) + " (" + tmcl::CommandName(number) + ")";
}

}  // namespace

Verdict JudgeReplies(const uint8_t* data, int count, const HomeSequence& sent) {
    Verdict verdict{VerdictKind::kConfirmed, 0, 0, 0};
    bool otherBytes = false;
    for (const tmcl::ScannedItem& item : tmcl::ScanReplies(data, count)) {
        if (item.kind == tmcl::ScannedItem::kUnframed) {
            otherBytes = true;
            continue;
        }
        int index = verdict.replies++;
        if (index >= kFramesPerSequence || verdict.kind != VerdictKind::kConfirmed) continue;
        verdict.kind = FaultOf(item.bytes.data(), sent.frames[index], verdict.status);
        if (verdict.kind != VerdictKind::kConfirmed) verdict.command = index + 1;
    }
    if (verdict.kind != VerdictKind::kConfirmed) return verdict;
    if (count == 0)
        verdict.kind = VerdictKind::kNoReply;
    else if (verdict.replies < kFramesPerSequence)
        verdict.kind = VerdictKind::kTooFew;
    else if (otherBytes || verdict.replies > kFramesPerSequence)
        verdict.kind = VerdictKind::kOtherBytes;
    return verdict;
}

std::string VerdictLine(const Verdict& verdict, const HomeSequence& sent) {
    const std::string notConfirmed = "; the setting is not confirmed";
    switch (verdict.kind) {
        case VerdictKind::kConfirmed: return "Result: the controller confirmed all six commands.";
        case VerdictKind::kNoReply: return "Result: no reply from the controller" + notConfirmed + ".";
        case VerdictKind::kTooFew:
            return "Result: only " + std::to_string(verdict.replies) + " of 6 replies came" + notConfirmed +
                   ".";
        case VerdictKind::kRefused:
            return "Result: " + CommandText(verdict, sent) +
                   " refused: " + tmcl::StatusMeaning(verdict.status) + " (" +
                   std::to_string(verdict.status) + ")";
        case VerdictKind::kBadChecksum:
            return "Result: the reply to " + CommandText(verdict, sent) + " has a bad checksum";
        case VerdictKind::kWrongReply:
            return "Result: the reply to " + CommandText(verdict, sent) + " answers something else";
        case VerdictKind::kOtherBytes: return "Result: bytes that are no reply came" + notConfirmed + ".";
    }
    return "";
}

}  // namespace home
