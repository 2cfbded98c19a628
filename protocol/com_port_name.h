// COM port names and the library's port indices (0 = COM1), for everything
// that shows a port's name or reads one: the window's port map, the console
// programs' command lines and messages, the read-back's failure text.
#pragma once

#include <string>

namespace comport {

constexpr int kHighestComNumber = 256;

// "COM3", "com3" or \\.\COM3 -> 2; -1 for anything that is not COM1..COM256
// (the library's reading of port names).
int ParsePortName(const std::string& text);
std::string PortName(int portIndex);  // 2 -> "COM3"

}  // namespace comport
