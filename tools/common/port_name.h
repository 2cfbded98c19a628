// COM port names on the command line of the console tools, and the list of
// the ports the system has. Port indices are the library's: 0 = COM1.
#pragma once

#include <string>
#include <vector>

#include "com_port_name.h"

namespace tools {

using comport::kHighestComNumber;
using comport::ParsePortName;
using comport::PortName;

struct SystemPort {
    int index;
    std::string device;  // what the system maps the name to
};

// Asks the system's device name table, which opens nothing: probing by
// opening would change the line settings of a port another program uses.
std::vector<SystemPort> ListSystemPorts();

// A device path given for a port (on Linux, "/dev/ttyUSB0"): bound to a free
// COM name through the library's port map, and that name's index returned;
// -1 where the system takes COM names only (Windows), or none is free.
int BindDevicePath(const std::string& path);

// What an operator needs to know about a port that did not open beyond the
// system's error: on Linux, that the port map names no device for it. Empty
// when there is nothing to add (always on Windows).
std::string PortHint(int port);

}  // namespace tools
