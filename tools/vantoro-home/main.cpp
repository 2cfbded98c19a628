// vantoro-home: the home configuration sequences from a console (see --help).
#include <cstdio>
#include <string>

#include "home_options.h"
#include "home_run.h"
#include "port_list.h"
#include "status_query.h"

int main(int argc, char** argv) {
    home::Options options;
    std::string error;
    if (!home::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "vantoro-home: %s (vantoro-home --help explains the arguments)\n",
                     error.c_str());
        return home::kExitUsage;
    }
    if (options.help) {
        std::fputs(home::UsageText(), stdout);
        return home::kExitOk;
    }
    if (options.list) return home::ListPorts();
    if (options.status) return home::RunStatus(options);
    return home::RunHome(options);
}
