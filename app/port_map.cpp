// Reading the serial-port map: each value of the key names one port, its
// data is the port's name ("COM14"). Names that are no COM name are skipped.
#include "port_map.h"

#include <windows.h>

#include "app_sys.h"
#include "com_port_name.h"

namespace {

constexpr char kSerialPortMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

}  // namespace

int ReadPortMap(int ports[kPortMapSize]) {
    HKEY key = nullptr;
    // The registry calls return an error code, not a BOOL.
    if (appSys.RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialPortMap, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    bool present[kPortMapSize] = {};
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD nameSize = sizeof valueName;
        char data[32] = "";
        DWORD dataSize = sizeof data - 1;  // room for a terminator the registry may not write
        DWORD type = 0;
        LONG result = appSys.RegEnumValueA(key, index, valueName, &nameSize, nullptr, &type,
                                           reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;  // a name too long for the buffer, say
        data[dataSize] = '\0';
        int port = comport::ParsePortName(data);
        if (port >= 0) present[port] = true;
    }
    appSys.RegCloseKey(key);
    int count = 0;
    for (int port = 0; port < kPortMapSize; ++port)
        if (present[port]) ports[count++] = port;
    return count;
}
