// Command line of tmcl-sim, the simulated motor controller.
#pragma once

#include <string>

namespace sim {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 2,
    kExitPortError = 3,    // the port cannot be opened, set up or read
    kExitEepromError = 4,  // the EEPROM file exists but cannot be read or parsed
};

struct Options {
    int port = -1;           // library index, 0 = COM1
    std::string eepromPath;  // empty: the EEPROM lives in memory only
    long frameLimit = 0;     // 0: no limit
    long secondsLimit = 0;   // 0: no limit
    long refuseFrame = 0;    // 0: answer every frame as the controller would
    long refuseStatus = 0;
    bool dump = false;
    bool help = false;
};

// false with error set for a usage error.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
const char* UsageText();

}  // namespace sim
