// Opening a port for the console programs.
#include "line_setup.h"

#include "controller_line.h"
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
    return "cannot open " + PortName(port) + ": " + ErrorLine(code) + PortHint(port);
}

}  // namespace

std::string GoOnline(int port) {
    int result = OpenControllerLine(port);
    if (result == IE_BAUDRATE) return PortName(port) + " does not take 9600 baud";
    if (result < 0) return OpenFailure(port, result);
    return "";
}

}  // namespace tools
