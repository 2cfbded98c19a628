// What vantoro-home makes of the bytes the controller sent back: one decoded
// line per reply and hex for bytes that form none. The verdict on them is the
// protocol library's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace home {

std::vector<std::string> ReportLines(const std::vector<uint8_t>& received);

}  // namespace home
