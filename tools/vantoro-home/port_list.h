// vantoro-home --list: the COM ports the system has, each with the name its
// device gives itself and, for USB adapters, the vendor and product ids, so
// that an operator can tell which port is the slider's adapter. The names
// come from the system's device-setup calls, made through a table so that
// tests can stand in for devices the test machine does not have.
#pragma once

#include <string>
#include <vector>

#include "port_name.h"

#ifdef _WIN32
#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>
#endif

namespace home {

#ifdef _WIN32

struct DeviceSetupCalls {
    decltype(&::SetupDiGetClassDevsA) GetClassDevsA = ::SetupDiGetClassDevsA;
    decltype(&::SetupDiEnumDeviceInfo) EnumDeviceInfo = ::SetupDiEnumDeviceInfo;
    decltype(&::SetupDiGetDeviceRegistryPropertyA) GetDeviceRegistryPropertyA =
        ::SetupDiGetDeviceRegistryPropertyA;
    decltype(&::SetupDiOpenDevRegKey) OpenDevRegKey = ::SetupDiOpenDevRegKey;
    decltype(&::RegQueryValueExA) RegQueryValueExA = ::RegQueryValueExA;
    decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;
    decltype(&::SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList = ::SetupDiDestroyDeviceInfoList;
};
extern DeviceSetupCalls deviceSetup;

// What the device-setup calls tell about one port's device.
struct PortDevice {
    int index = -1;            // the port's library index (0 = COM1)
    std::string friendlyName;  // "USB Serial Port (COM7)"; empty when the system gives none
    int vendorId = -1;         // USB ids; -1 when the device is no USB device
    int productId = -1;
};

// Every present device of the ports class that names its COM port.
std::vector<PortDevice> ListPortDevices();

// The --list line of one port: its name and, when the system names the
// device, that name and the USB ids; otherwise what the port maps to.
std::string PortListLine(const tools::SystemPort& port, const std::vector<PortDevice>& devices);
#endif

// --list; returns the process exit code.
int ListPorts();

}  // namespace home
