// The ports of the console programs on Linux: COM names reach a device only
// through the library's port map (SIO_PORT_MAP), and a device path given on
// the command line is added to that map under a free COM name.
#include <stdlib.h>

#include <set>
#include <sstream>

#include "port_name.h"

namespace tools {
namespace {

constexpr char kPortMapVariable[] = "SIO_PORT_MAP";

// The map's entries in order: the COM index and the path of each.
std::vector<SystemPort> MapEntries() {
    std::vector<SystemPort> entries;
    const char* map = getenv(kPortMapVariable);
    std::istringstream in(map ? map : "");
    std::string entry;
    while (std::getline(in, entry, ',')) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) continue;
        const int index = ParsePortName(entry.substr(0, equals));
        if (index >= 0) entries.push_back({index, entry.substr(equals + 1)});
    }
    return entries;
}

}  // namespace

std::vector<SystemPort> ListSystemPorts() { return MapEntries(); }

std::string PortHint(int port) {
    for (const SystemPort& mapped : MapEntries())
        if (mapped.index == port) return "";
    return " (SIO_PORT_MAP names no device for " + PortName(port) + ")";
}

int BindDevicePath(const std::string& path) {
    if (path.empty() || path[0] != '/' || path.find(',') != std::string::npos) return -1;
    std::set<int> taken;
    for (const SystemPort& port : MapEntries()) {
        if (port.device == path) return port.index;
        taken.insert(port.index);
    }
    // From the top down, far from the names a map usually gives.
    for (int index = kHighestComNumber - 1; index >= 0; --index) {
        if (taken.count(index)) continue;
        const char* map = getenv(kPortMapVariable);
        std::string updated = map && *map ? std::string(map) + "," : std::string();
        updated += PortName(index) + "=" + path;
        return setenv(kPortMapVariable, updated.c_str(), 1) == 0 ? index : -1;
    }
    return -1;
}

}  // namespace tools
