// vantoro-home's run: on-line as the configuration tool goes on-line, the
// tool's own home sequence with its lines on stdout, then the replies.
#pragma once

#include <string>

#include "home_options.h"

namespace home {

// Returns the process exit code.
int RunHome(const Options& options);
// One "vantoro-home: ..." line on stderr, after all that stdout holds so far.
void PrintError(const std::string& text);

}  // namespace home
