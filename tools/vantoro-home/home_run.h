// vantoro-home's run: on-line as the configuration tool goes on-line, the
// tool's own home sequence with its lines on stdout, then the replies.
#pragma once

#include "home_options.h"

namespace home {

// Returns the process exit code.
int RunHome(const Options& options);
int ListPorts();

}  // namespace home
