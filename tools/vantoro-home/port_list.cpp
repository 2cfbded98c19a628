// The port list: the system's device name table says which ports exist, the
// device-setup calls add what each device is. A device the setup calls do
// not know keeps the plain line.
#include "port_list.h"

#include <cstdio>
#include <cstdlib>

#include "home_options.h"

namespace home {

DeviceSetupCalls deviceSetup;

namespace {

// The setup class of serial and parallel ports.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string StringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    char text[256] = "";
    DWORD type = 0;
    if (!deviceSetup.GetDeviceRegistryPropertyA(set, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                                sizeof text - 1, nullptr))
        return "";
    // SPDRP_HARDWAREID is a list of strings; its first is the most specific.
    return type == REG_SZ || type == REG_MULTI_SZ ? std::string(text) : "";
}

// The 4 hex digits after tag ("VID_0403" -> 0x0403); -1 when absent.
int HexAfter(const std::string& hardwareId, const char* tag) {
    size_t at = hardwareId.find(tag);
    if (at == std::string::npos) return -1;
    std::string digits = hardwareId.substr(at + 4, 4);
    char* end = nullptr;
    long value = std::strtol(digits.c_str(), &end, 16);
    return digits.size() == 4 && *end == '\0' ? static_cast<int>(value) : -1;
}

// The COM port a device serves, from its "PortName" value; -1 when none.
int PortOfDevice(HDEVINFO set, SP_DEVINFO_DATA& device) {
    // SetupDiOpenDevRegKey reports failure with INVALID_HANDLE_VALUE, not null.
    HKEY key = deviceSetup.OpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return -1;
    char name[16] = "";
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    // The registry calls return an error code, not a BOOL.
    LONG result =
        deviceSetup.RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    deviceSetup.RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return -1;
    name[size] = '\0';
    return tools::ParsePortName(name);
}

}  // namespace

std::vector<PortDevice> ListPortDevices() {
    std::vector<PortDevice> devices;
    HDEVINFO set = deviceSetup.GetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return devices;  // no list, not null, on failure
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; deviceSetup.EnumDeviceInfo(set, index, &device); ++index) {
        PortDevice found;
        found.index = PortOfDevice(set, device);
        if (found.index < 0) continue;
        found.friendlyName = StringProperty(set, device, SPDRP_FRIENDLYNAME);
        std::string hardwareId = StringProperty(set, device, SPDRP_HARDWAREID);
        found.vendorId = HexAfter(hardwareId, "VID_");
        found.productId = HexAfter(hardwareId, "PID_");
        if (found.vendorId < 0 || found.productId < 0) found.vendorId = found.productId = -1;
        devices.push_back(found);
    }
    deviceSetup.DestroyDeviceInfoList(set);
    return devices;
}

std::string PortListLine(const tools::SystemPort& port, const std::vector<PortDevice>& devices) {
    char line[512];
    for (const PortDevice& device : devices) {
        if (device.index != port.index || device.friendlyName.empty()) continue;
        int length = std::snprintf(line, sizeof line, "%-7s %s", tools::PortName(port.index).c_str(),
                                   device.friendlyName.c_str());
        if (device.vendorId >= 0 && length > 0 && static_cast<size_t>(length) < sizeof line)
            std::snprintf(line + length, sizeof line - static_cast<size_t>(length), "  USB VID:PID=%04X:%04X",
                          device.vendorId, device.productId);
        return line;
    }
    std::snprintf(line, sizeof line, "%-7s %s", tools::PortName(port.index).c_str(), port.device.c_str());
    return line;
}

int ListPorts() {
    std::vector<tools::SystemPort> ports = tools::ListSystemPorts();
    if (ports.empty()) std::printf("no COM ports found\n");
    std::vector<PortDevice> devices = ListPortDevices();
    for (const tools::SystemPort& port : ports) std::printf("%s\n", PortListLine(port, devices).c_str());
    return kExitOk;
}

}  // namespace home
