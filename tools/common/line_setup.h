// Going on-line the way the configuration tool does: DTR and RTS on at open,
// 1024-byte queues, 9600 baud, receive queue flushed. Both console programs
// use it, so both ends of a test line are set up alike.
#pragma once

#include <string>

namespace tools {

constexpr int kLineBaud = 9600;
constexpr int kQueueSize = 1024;

// Empty on success; otherwise a one-line reason ("cannot open COM9: ...",
// "COM3 is busy ...") and the port is left closed.
std::string GoOnline(int port);

}  // namespace tools
