// The serial-port map: the environment's own lines as the system lists
// them, and the names in a map that are no COM port skipped.
#include "port_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app_sys.h"

namespace {

std::vector<int> PortMap() {
    int ports[kPortMapSize];
    int count = ReadPortMap(ports);
    return std::vector<int>(ports, ports + count);
}

TEST(LinePortMap, ListsTheVirtualLinesInOrder) {
    std::vector<int> ports = PortMap();
    for (int line : {2, 3, 4, 5}) EXPECT_NE(std::find(ports.begin(), ports.end(), line), ports.end()) << line;
    EXPECT_EQ(std::find(ports.begin(), ports.end(), 8), ports.end());  // COM9 does not exist
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
}

struct MapEntry {
    DWORD type;
    const char* data;
};
const MapEntry kEntries[] = {{REG_SZ, "COM20"},   {REG_SZ, "LPT1"}, {REG_SZ, "COM0"},  {REG_SZ, "COM257"},
                             {REG_DWORD, "COM5"}, {REG_SZ, "com7"}, {REG_SZ, "COM20"}, {REG_SZ, "COM"}};

TEST(PortMap, KeepsCom1ToCom256OnceAndSkipsOtherNames) {
    AppSysTable saved = appSys;
    appSys.RegOpenKeyExA = [](HKEY, LPCSTR, DWORD, REGSAM, PHKEY key) WINAPI -> LONG {
        *key = reinterpret_cast<HKEY>(0x4d);
        return ERROR_SUCCESS;
    };
    appSys.RegEnumValueA = [](HKEY, DWORD index, LPSTR name, LPDWORD, LPDWORD, LPDWORD type, LPBYTE data,
                              LPDWORD size) WINAPI -> LONG {
        if (index >= sizeof kEntries / sizeof kEntries[0]) return ERROR_NO_MORE_ITEMS;
        lstrcpyA(name, "\\Device\\Fake");
        *type = kEntries[index].type;
        lstrcpyA(reinterpret_cast<char*>(data), kEntries[index].data);
        *size = static_cast<DWORD>(lstrlenA(kEntries[index].data) + 1);
        return ERROR_SUCCESS;
    };
    static int closed;
    closed = 0;
    appSys.RegCloseKey = [](HKEY) WINAPI -> LONG {
        ++closed;
        return ERROR_SUCCESS;
    };
    std::vector<int> ports = PortMap();
    appSys = saved;
    EXPECT_EQ(ports, (std::vector<int>{6, 19}));
    EXPECT_EQ(closed, 1);
}

}  // namespace
