// The port list: SioNextPort says which ports exist, SioPortInfo what each
// device is. A device the system does not name keeps the plain line.
#include "port_list.h"

#include <cstdio>

#include "home_options.h"
#include "port_name.h"
#include "sio.h"

namespace home {

std::string PortListLine(int port) {
    char text[256] = "";
    char line[600];
    const std::string name = tools::PortName(port);
    if (SioPortInfo(port, 'N', text, sizeof text) > 0) {
        char usb[256] = "";
        int length = std::snprintf(line, sizeof line, "%-7s %s", name.c_str(), text);
        if (SioPortInfo(port, 'U', usb, sizeof usb) > 0 && length > 0 &&
            static_cast<size_t>(length) < sizeof line)
            std::snprintf(line + length, sizeof line - static_cast<size_t>(length), "  USB VID:PID=%s", usb);
        return line;
    }
    SioPortInfo(port, 'P', text, sizeof text);
    std::snprintf(line, sizeof line, "%-7s %s", name.c_str(), text);
    return line;
}

int ListPorts() {
    int port = SioNextPort(-1);
    if (port < 0) std::printf("no COM ports found\n");
    for (; port >= 0; port = SioNextPort(port)) std::printf("%s\n", PortListLine(port).c_str());
    return kExitOk;
}

}  // namespace home
