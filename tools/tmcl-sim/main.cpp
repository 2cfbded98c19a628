// tmcl-sim: a simulated motor controller on a COM port (see --help).
#include <cstdio>
#include <string>

#include "sim_options.h"
#include "simulator.h"

int main(int argc, char** argv) {
    sim::Options options;
    std::string error;
    if (!sim::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tmcl-sim: %s (tmcl-sim --help explains the arguments)\n", error.c_str());
        return sim::kExitUsage;
    }
    if (options.help) {
        std::fputs(sim::UsageText(), stdout);
        return sim::kExitOk;
    }
    return sim::RunSimulator(options);
}
