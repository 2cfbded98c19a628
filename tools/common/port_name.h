// COM port names on the command line of the console tools. Port indices are
// the library's: 0 = COM1.
#pragma once

#include "com_port_name.h"

namespace tools {

using comport::kHighestComNumber;
using comport::ParsePortName;
using comport::PortName;

}  // namespace tools
