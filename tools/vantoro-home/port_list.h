// vantoro-home --list: the COM ports the system has, each with the name its
// device gives itself and, for USB adapters, the vendor and product ids, so
// that an operator can tell which port is the slider's adapter. The library
// finds the ports and tells what their devices are.
#pragma once

#include <string>

namespace home {

// The --list line of one port: its name and, when the system names the
// device, that name and the USB ids; otherwise what the port maps to.
std::string PortListLine(int port);

// --list; returns the process exit code.
int ListPorts();

}  // namespace home
