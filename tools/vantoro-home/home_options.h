// Command line of vantoro-home, the console driver of the home sequences.
#pragma once

#include <string>

namespace home {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 2,
    kExitPortError = 3,     // the port cannot be opened or set up, or a frame was not sent
    kExitVerifyFailed = 4,  // --verify: not six success replies to the six frames
    kExitNoStatus = 5,      // --status: no answer, or an answer with an error status
};

constexpr long kDefaultWaitMs = 1000;

struct Options {
    int port = -1;   // library index, 0 = COM1
    int option = 0;  // 1 or 2
    long waitMs = kDefaultWaitMs;
    bool verify = false;
    bool status = false;  // read the home option back instead of sending one
    bool list = false;
    bool help = false;
};

// false with error set for a usage error.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
const char* UsageText();

}  // namespace home
