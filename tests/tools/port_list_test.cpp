// vantoro-home --list with devices that Wine does not have, stood in for
// through the library's system-call table: a USB adapter shows its name and
// ids, a device without USB ids its name, a port the setup calls do not know
// (or do not name) the device path its name maps to, and the list is
// released.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "port_list.h"
#include "sio.h"
#include "sys_override.h"
#include "sys_table.h"

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
    sio::sys.SetupDiGetClassDevsA = [](const GUID*, PCSTR, HWND, DWORD) WINAPI { return kSet; };
    sio::sys.SetupDiEnumDeviceInfo = [](HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) WINAPI -> BOOL {
        if (set != kSet || index >= kDeviceCount) {
            SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        data->DevInst = index;
        return TRUE;
    };
    sio::sys.SetupDiGetDeviceRegistryPropertyA =
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
    sio::sys.SetupDiOpenDevRegKey = [](HDEVINFO, PSP_DEVINFO_DATA data, DWORD, DWORD, DWORD, REGSAM) WINAPI {
        ++keysOpen;
        return reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x100 + data->DevInst));
    };
    sio::sys.RegQueryValueExA = [](HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
                                    WINAPI -> LONG {
        const char* port = kDevices[reinterpret_cast<uintptr_t>(key) - 0x100].portName;
        if (lstrcmpA(name, "PortName") != 0) return ERROR_FILE_NOT_FOUND;
        *type = REG_SZ;
        lstrcpyA(reinterpret_cast<char*>(data), port);
        *size = static_cast<DWORD>(lstrlenA(port) + 1);
        return ERROR_SUCCESS;
    };
    sio::sys.RegCloseKey = [](HKEY) WINAPI -> LONG {
        --keysOpen;
        return ERROR_SUCCESS;
    };
    // The system's device names: COM3, COM5, COM6 and COM14.
    sio::sys.QueryDosDeviceA = [](LPCSTR name, LPSTR target, DWORD) WINAPI -> DWORD {
        const char* known[][2] = {{"COM3", "\\Device\\Serial2"},
                                  {"COM5", "\\Device\\Serial4"},
                                  {"COM6", "\\Device\\Serial5"},
                                  {"COM14", "\\Device\\VCP0"}};
        for (const auto& entry : known) {
            if (lstrcmpA(name, entry[0]) != 0) continue;
            lstrcpyA(target, entry[1]);
            target[lstrlenA(entry[1]) + 1] = '\0';
            return static_cast<DWORD>(lstrlenA(entry[1]) + 2);
        }
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    };
    sio::sys.SetupDiDestroyDeviceInfoList = [](HDEVINFO set) WINAPI -> BOOL {
        listsReleased += set == kSet ? 1 : 0;
        return TRUE;
    };
}

TEST(PortList, NamesAndUsbIdsFromTheDeviceSetupCalls) {
    SysOverride guard;
    InstallFakes();
    listsReleased = keysOpen = 0;
    EXPECT_EQ(home::PortListLine(13), "COM14   USB Serial Port (COM14)  USB VID:PID=0403:6001");
    EXPECT_EQ(home::PortListLine(2), "COM3    Communications Port (COM3)");
    EXPECT_EQ(home::PortListLine(4), "COM5    \\Device\\Serial4");  // no friendly name
    EXPECT_EQ(home::PortListLine(5), "COM6    \\Device\\Serial5");  // no device
    char text[8];
    EXPECT_EQ(SioPortInfo(4, 'U', text, sizeof text), 7);  // cut to the buffer
    EXPECT_STREQ(text, "1A86:75");
    EXPECT_EQ(SioPortInfo(2, 'U', text, sizeof text), 0);  // not USB
    EXPECT_EQ(SioPortInfo(8, 'N', text, sizeof text), SIO_NO_DATA);
    EXPECT_EQ(keysOpen, 0);
    EXPECT_GE(listsReleased, 1);
    int listed[8];
    int count = 0;
    for (int port = SioNextPort(-1); port >= 0 && count < 8; port = SioNextPort(port)) listed[count++] = port;
    EXPECT_EQ(std::vector<int>(listed, listed + count), (std::vector<int>{2, 4, 5, 13}));
}

}  // namespace
