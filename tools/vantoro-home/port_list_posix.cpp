// vantoro-home --list on Linux: the COM names the port map gives, then the
// system's serial devices from the kernel's device tree, with their driver
// and, for USB adapters, the vendor and product ids and the product's name.
// Only files under /sys are read; no device is opened.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "home_options.h"
#include "port_list.h"

namespace home {
namespace {

constexpr char kTtyClass[] = "/sys/class/tty";

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// "driver  USB VID:PID=0403:6001 product" for the tty's device, or "" when
// the tty has no device (a virtual terminal, a pseudo-terminal).
std::string DeviceText(const std::string& tty) {
    char device[PATH_MAX];
    if (!realpath((std::string(kTtyClass) + "/" + tty + "/device").c_str(), device)) return "";
    std::string text = "unknown driver";
    // The serial core's own layers ("port", "ctrl") sit between the tty and
    // the device's driver: the first other driver up the tree names it.
    for (std::string up = device; up.size() > 1; up.resize(up.rfind('/'))) {
        char driver[PATH_MAX];
        if (!realpath((up + "/driver").c_str(), driver)) continue;
        const std::string name = std::strrchr(driver, '/') + 1;
        if (name == "port" || name == "ctrl") continue;
        text = name;
        break;
    }
    for (std::string up = device; up.size() > 1; up.resize(up.rfind('/'))) {
        const std::string vendor = FirstLine(up + "/idVendor");
        if (vendor.empty()) continue;
        text += "  USB VID:PID=" + vendor + ":" + FirstLine(up + "/idProduct");
        const std::string product = FirstLine(up + "/product");
        if (!product.empty()) text += " " + product;
        break;
    }
    return text;
}

}  // namespace

int ListPorts() {
    const std::vector<tools::SystemPort> ports = tools::ListSystemPorts();
    if (ports.empty()) std::printf("no COM ports mapped (SIO_PORT_MAP names none)\n");
    for (const tools::SystemPort& port : ports)
        std::printf("%-7s %s\n", tools::PortName(port.index).c_str(), port.device.c_str());
    DIR* folder = opendir(kTtyClass);
    if (!folder) return kExitOk;
    std::printf("serial devices:\n");
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        const std::string text = DeviceText(entry->d_name);
        // Legacy UARTs that the platform driver lists without hardware.
        if (text.empty() || text == "serial8250") continue;
        std::printf("/dev/%-12s %s\n", entry->d_name, text.c_str());
    }
    closedir(folder);
    return kExitOk;
}

}  // namespace home
