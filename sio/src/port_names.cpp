// Ports by name: the index of a COM name, the ports the system has now (its
// device name table, which opens nothing: probing by opening would change the
// settings of a port another program uses), and what each port's device is
// (the device-setup calls). None of them needs the port open or touches the
// port tables.
#include <stdio.h>
#include <string.h>

#include "sio_state.h"
#include "sys_table.h"

namespace sio {
namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr int kMostDigits = 3;  // COM1..COM256
// The setup class of serial and parallel ports.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// Room for any text the calls hand back; the results are cut to it.
constexpr DWORD kTextRoom = 256;

char UpperAscii(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

// "COMn" of an index, the name the system's device table knows.
void FormatComName(int port, char (&name)[8]) { snprintf(name, sizeof name, "COM%d", port + 1); }

// What the system maps the port's name to, into target (kTextRoom bytes);
// false when it has no such port.
bool DeviceTarget(int port, char* target) {
    char name[8];
    FormatComName(port, name);
    target[0] = '\0';
    if (sys.QueryDosDeviceA(name, target, kTextRoom) != 0) return true;
    // A target too long for the buffer is still a port.
    return sys.GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

bool StringProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, char* text) {
    DWORD type = 0;
    text[0] = '\0';
    // One byte short of the room, so that a text the system leaves
    // unterminated still ends inside it.
    if (!sys.SetupDiGetDeviceRegistryPropertyA(set, &device, property, &type, reinterpret_cast<BYTE*>(text),
                                               kTextRoom - 1, nullptr))
        return false;
    text[kTextRoom - 1] = '\0';
    // A hardware id is a list of strings; its first is the most specific.
    return type == REG_SZ || type == REG_MULTI_SZ;
}

// The port a device serves, from its "PortName" value; -1 when none.
int PortOfDevice(HDEVINFO set, SP_DEVINFO_DATA& device) {
    // SetupDiOpenDevRegKey reports failure with INVALID_HANDLE_VALUE, not null.
    HKEY key = sys.SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return -1;
    char name[16] = "";
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    // The registry calls return an error code, not a BOOL.
    LONG result = sys.RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    sys.RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return -1;
    name[size < sizeof name ? size : sizeof name - 1] = '\0';
    return SioPortIndex(name);
}

// The 4 hex digits after tag ("VID_0403" -> 0x0403); -1 when absent.
int HexAfter(const char* hardwareId, const char* tag) {
    const char* at = strstr(hardwareId, tag);
    if (!at) return -1;
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        char ch = UpperAscii(at[4 + i]);
        if (ch >= '0' && ch <= '9')
            value = value * 16 + (ch - '0');
        else if (ch >= 'A' && ch <= 'F')
            value = value * 16 + (ch - 'A' + 10);
        else
            return -1;
    }
    return value;
}

// Finds the device of the ports class that serves port and writes its
// friendly name ('N') or its USB ids ('U') into text; empty when the system
// knows no such device or the device has no such property.
void DeviceText(int port, int letter, char* text) {
    text[0] = '\0';
    HDEVINFO set = sys.SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;  // no list, not null, on failure
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; sys.SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        if (PortOfDevice(set, device) != port) continue;
        if (letter == 'N') {
            StringProperty(set, device, SPDRP_FRIENDLYNAME, text);
        } else if (StringProperty(set, device, SPDRP_HARDWAREID, text)) {
            int vendor = HexAfter(text, "VID_");
            int product = HexAfter(text, "PID_");
            if (vendor >= 0 && product >= 0)
                snprintf(text, kTextRoom, "%04X:%04X", vendor, product);
            else
                text[0] = '\0';
        }
        break;
    }
    sys.SetupDiDestroyDeviceInfoList(set);
}

int CopyOut(const char* text, char* buffer, int size) {
    int length = static_cast<int>(strlen(text));
    if (length > size - 1) length = size - 1;
    memcpy(buffer, text, static_cast<size_t>(length));
    buffer[length] = '\0';
    return length;
}

}  // namespace
}  // namespace sio

using namespace sio;

extern "C" int SioPortIndex(const char* name) {
    if (name == nullptr) return IE_BADID;
    if (strncmp(name, kDevicePrefix, sizeof kDevicePrefix - 1) == 0) name += sizeof kDevicePrefix - 1;
    for (int i = 0; i < 3; ++i)
        if (UpperAscii(name[i]) != "COM"[i]) return IE_BADID;
    const char* digits = name + 3;
    int number = 0;
    int count = 0;
    for (; digits[count] >= '0' && digits[count] <= '9'; ++count) {
        if (count == kMostDigits) return IE_BADID;
        number = number * 10 + (digits[count] - '0');
    }
    if (count == 0 || digits[count] != '\0' || number < 1 || number > kPortCount) return IE_BADID;
    return number - 1;
}

extern "C" int SioNextPort(int after) {
    if (after < -1 || after >= kPortCount) return IE_BADID;
    char target[kTextRoom];
    for (int port = after + 1; port < kPortCount; ++port)
        if (DeviceTarget(port, target)) return port;
    return SIO_NO_DATA;
}

extern "C" int SioPortInfo(int port, int letter, char* buffer, int size) {
    if (CheckPort(port) != 0) return IE_BADID;
    if (letter != 'N' && letter != 'U' && letter != 'P') return SIO_RANGE;
    if (buffer == nullptr || size < 1) return SIO_RANGE;
    char text[kTextRoom];
    if (!DeviceTarget(port, text)) return SIO_NO_DATA;
    if (letter != 'P') DeviceText(port, letter, text);
    return CopyOut(text, buffer, size);
}
