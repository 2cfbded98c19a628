// The simulator's run: the port on the library, the EEPROM file, and the
// poll loop that feeds received bytes to the frame assembler and answers
// each frame. Reads return at once, so the loop polls with a short sleep.
#pragma once

#include "sim_options.h"

namespace sim {

// Returns the process exit code.
int RunSimulator(const Options& options);

}  // namespace sim
