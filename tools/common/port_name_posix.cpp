// The console programs' port hint on Linux: a COM name reaches a device only
// when a path was bound to it or the library's port map names it.
#include "port_name.h"
#include "sio.h"

namespace tools {

std::string PortHint(int port) {
    char path[8];
    if (SioPortInfo(port, 'P', path, sizeof path) != SIO_NO_DATA) return "";
    return " (no device is bound to " + PortName(port) + " and SIO_PORT_MAP names none)";
}

}  // namespace tools
