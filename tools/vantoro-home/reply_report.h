// What vantoro-home makes of the bytes the controller sent back: one decoded
// line per reply, hex for bytes that form none, and the --verify verdict.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "home_sequence.h"

namespace home {

std::vector<std::string> ReportLines(const std::vector<uint8_t>& received);

// true when exactly one reply per frame came back, each with status success,
// a right checksum and the command number of its frame; otherwise false with
// the first reason in failure.
bool VerifyReplies(const std::vector<uint8_t>& received, const HomeSequence& sent, std::string& failure);

}  // namespace home
