// Opening a port for the console programs.
#include "line_setup.h"

#include "error_line.h"
#include "port_name.h"
#include "sio.h"

namespace tools {
namespace {

constexpr int kAccessDenied = 5;

std::string OpenFailure(int port, int code) {
    if (code == SIO_WIN_ERROR) {
        char unused[1] = {0};
        // A negative size only returns the kept system error: no text, no box.
        if (SioWinError(unused, -1) == kAccessDenied)
            return PortName(port) + " is busy (another program has it open): " + ErrorLine(code);
    }
    return "cannot open " + PortName(port) + ": " + ErrorLine(code);
}

}  // namespace

std::string GoOnline(int port) {
    SioOpenPort(-1, 1, 1);
    int result = SioOpenPort(port, kQueueSize, kQueueSize);
    if (result < 0) return OpenFailure(port, result);
    // SioSetBaud hands back the system's result: 0 means refused.
    if (SioSetBaud(port, kLineBaud) == 0) {
        SioClosePort(port);
        return PortName(port) + " does not take 9600 baud";
    }
    SioFlushRx(port);
    return "";
}

}  // namespace tools
