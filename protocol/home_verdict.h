// What the controller's replies to a home sequence say, as one line an
// operator can act on: all six commands confirmed, or what went wrong (no
// reply, too few, a command refused with its status, a damaged reply, bytes
// that are no reply). The window and vantoro-home judge with the same code.
#pragma once

#include <cstdint>
#include <string>

#include "home_frames.h"

namespace home {

// How long the line may stay quiet after the done line (or after the last
// byte) before the replies are judged as they are.
constexpr unsigned kVerdictQuietMs = 1000;
constexpr int kAllRepliesBytes = kFramesPerSequence * kFrameSize;

enum class VerdictKind { kConfirmed, kNoReply, kTooFew, kRefused, kBadChecksum, kWrongReply, kOtherBytes };

struct Verdict {
    VerdictKind kind;
    int replies;  // replies found among the bytes
    int command;  // 1..6: the command a faulty reply belongs to
    int status;   // kRefused: the status the controller gave
};

// Judges the bytes that came back after the frames of sent were written.
Verdict JudgeReplies(const uint8_t* data, int count, const HomeSequence& sent);

// The verdict in words, one line of at most 80 characters.
std::string VerdictLine(const Verdict& verdict, const HomeSequence& sent);

}  // namespace home
