// --status: on-line, the read-back, the report.
#include "status_query.h"

#include <cstdio>

#include "error_line.h"
#include "home_run.h"
#include "line_setup.h"
#include "port_name.h"
#include "sio.h"

namespace home {

std::string StatusReport(int port, const int32_t values[kHomeParameterCount]) {
    std::string report = tools::PortName(port) + ": " + HomeSettingLine(values) + "\n";
    for (int i = 0; i < kHomeParameterCount; ++i)
        report += "  bank " + std::to_string(kHomeParameters[i].bank) + ", parameter " +
                  std::to_string(kHomeParameters[i].type) + " = " + std::to_string(values[i]) + "\n";
    return report;
}

int RunStatus(const Options& options) {
    std::string failure = tools::GoOnline(options.port);
    if (!failure.empty()) {
        PrintError(failure);
        return kExitPortError;
    }
    int32_t values[kHomeParameterCount] = {};
    bool read =
        ReadHomeValues(options.port, LibraryLink(tools::ErrorLine), kReadbackReplyTimeoutMs, values, failure);
    SioClosePort(options.port);
    if (!read) {
        PrintError(failure);
        return kExitNoStatus;
    }
    std::fputs(StatusReport(options.port, values).c_str(), stdout);
    return kExitOk;
}

}  // namespace home
