// The system's port list.
#include "port_name.h"

#include <windows.h>

namespace tools {

std::vector<SystemPort> ListSystemPorts() {
    std::vector<SystemPort> ports;
    char target[512];
    for (int index = 0; index < kHighestComNumber; ++index) {
        // QueryDosDeviceA gives a list of targets; the first is the current one.
        if (::QueryDosDeviceA(PortName(index).c_str(), target, sizeof target) != 0)
            ports.push_back({index, target});
    }
    return ports;
}

int BindDevicePath(const std::string&) { return -1; }

std::string PortHint(int) { return ""; }

}  // namespace tools
