// COM port names on the command line of the console tools. Port indices are
// the library's: 0 = COM1.
#pragma once

#include <string>

#include "com_port_name.h"

namespace tools {

using comport::kHighestComNumber;
using comport::ParsePortName;
using comport::PortName;

// What an operator needs to know about a port that did not open beyond the
// system's error: on Linux, that no device is bound or mapped to it. Empty
// where there is nothing to add (always on Windows).
#ifdef _WIN32
inline std::string PortHint(int) { return ""; }
#else
std::string PortHint(int port);
#endif

}  // namespace tools
