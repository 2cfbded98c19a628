// vantoro-home --status: reads the controller's home setting back (the
// protocol library's read-back, the same as the window's) and prints the
// option with the values.
#pragma once

#include <cstdint>
#include <string>

#include "home_options.h"
#include "home_readback.h"

namespace home {

// The lines --status prints for the values read from port.
std::string StatusReport(int port, const int32_t values[kHomeParameterCount]);

// --status on the library's port; returns the process exit code.
int RunStatus(const Options& options);

}  // namespace home
