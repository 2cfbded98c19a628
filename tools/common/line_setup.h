// Going on-line for the console programs, the way the configuration tool
// does (OpenControllerLine), with a one-line reason when it fails.
#pragma once

#include <string>

namespace tools {

// Empty on success; otherwise a one-line reason ("cannot open COM9: ...",
// "COM3 is busy ...") and the port is left closed.
std::string GoOnline(int port);

}  // namespace tools
