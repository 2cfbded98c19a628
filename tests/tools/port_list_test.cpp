// vantoro-home --list with devices that Wine does not have, stood in for
// through the device-setup table: a USB adapter shows its name and ids, a
// device without USB ids its name, a port the setup calls do not know its
// plain line, and the list is released.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "port_list.h"

namespace {

struct FakeDevice {
    const char* portName;
    const char* friendlyName;  // nullptr: the property is missing
    const char* hardwareId;
};

const FakeDevice kDevices[] = {
    {"COM14", "USB Serial Port (COM14)", "USB\\VID_0403&PID_6001&REV_0600"},
    {"COM3", "Communications Port (COM3)", "ACPI\\PNP0501"},
    {"LPT1", "Printer Port (LPT1)", "ACPI\\PNP0401"},
    {"COM5", nullptr, "USB\\VID_1A86&PID_7523"},
};
constexpr int kDeviceCount = 4;
HDEVINFO const kSet = reinterpret_cast<HDEVINFO>(0x5e7);
int listsReleased = 0;
int keysOpen = 0;

const FakeDevice& DeviceOf(PSP_DEVINFO_DATA data) { return kDevices[data->DevInst]; }

void InstallFakes() {
    home::deviceSetup.GetClassDevsA = [](const GUID*, PCSTR, HWND, DWORD) WINAPI { return kSet; };
    home::deviceSetup.EnumDeviceInfo = [](HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) WINAPI -> BOOL {
        if (set != kSet || index >= kDeviceCount) {
            SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        data->DevInst = index;
        return TRUE;
    };
    home::deviceSetup.GetDeviceRegistryPropertyA =
        [](HDEVINFO, PSP_DEVINFO_DATA data, DWORD property, PDWORD type, PBYTE buffer, DWORD size, PDWORD)
            WINAPI -> BOOL {
        const char* text =
            property == SPDRP_FRIENDLYNAME ? DeviceOf(data).friendlyName : DeviceOf(data).hardwareId;
        if (text == nullptr || static_cast<DWORD>(lstrlenA(text)) + 2 > size) return FALSE;
        *type = property == SPDRP_HARDWAREID ? REG_MULTI_SZ : REG_SZ;
        lstrcpyA(reinterpret_cast<char*>(buffer), text);
        buffer[lstrlenA(text) + 1] = 0;
        return TRUE;
    };
    home::deviceSetup.OpenDevRegKey = [](HDEVINFO, PSP_DEVINFO_DATA data, DWORD, DWORD, DWORD,
                                         REGSAM) WINAPI {
        ++keysOpen;
        return reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x100 + data->DevInst));
    };
    home::deviceSetup.RegQueryValueExA = [](HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                                            LPDWORD size) WINAPI -> LONG {
        const char* port = kDevices[reinterpret_cast<uintptr_t>(key) - 0x100].portName;
        if (lstrcmpA(name, "PortName") != 0) return ERROR_FILE_NOT_FOUND;
        *type = REG_SZ;
        lstrcpyA(reinterpret_cast<char*>(data), port);
        *size = static_cast<DWORD>(lstrlenA(port) + 1);
        return ERROR_SUCCESS;
    };
    home::deviceSetup.RegCloseKey = [](HKEY) WINAPI -> LONG {
        --keysOpen;
        return ERROR_SUCCESS;
    };
    home::deviceSetup.DestroyDeviceInfoList = [](HDEVINFO set) WINAPI -> BOOL {
        listsReleased += set == kSet ? 1 : 0;
        return TRUE;
    };
}

TEST(PortList, NamesAndUsbIdsFromTheDeviceSetupCalls) {
    home::DeviceSetupCalls saved = home::deviceSetup;
    InstallFakes();
    std::vector<home::PortDevice> devices = home::ListPortDevices();
    home::deviceSetup = saved;
    EXPECT_EQ(listsReleased, 1);
    EXPECT_EQ(keysOpen, 0);
    ASSERT_EQ(devices.size(), 3u);  // LPT1 names no COM port

    EXPECT_EQ(home::PortListLine({13, "\\Device\\VCP0"}, devices),
              "COM14   USB Serial Port (COM14)  USB VID:PID=0403:6001");
    EXPECT_EQ(home::PortListLine({2, "\\Device\\Serial2"}, devices), "COM3    Communications Port (COM3)");
    EXPECT_EQ(home::PortListLine({4, "\\Device\\Serial4"}, devices), "COM5    \\Device\\Serial4");
    EXPECT_EQ(home::PortListLine({5, "\\Device\\Serial5"}, devices), "COM6    \\Device\\Serial5");
}

}  // namespace
