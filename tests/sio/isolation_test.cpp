// The test environment's promise: the machine's own serial devices cannot be
// reached from the Windows side, and the only COM ports are the virtual lines.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

DWORD OpenError(const char* name) {
    HANDLE h = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return 0;
    }
    return ::GetLastError();
}

}  // namespace

TEST(LineIsolation, MachineSerialDevicesAreUnreachable) {
    for (const char* name : {"\\\\.\\COM1", "\\\\.\\COM2", "Z:\\dev\\ttyS0", "Z:\\dev\\ttyS1",
                             "\\\\.\\GLOBALROOT\\Device\\Serial0"}) {
        EXPECT_NE(OpenError(name), 0u) << name << " must not open";
    }
}

TEST(LineIsolation, OnlyTheVirtualLinesExist) {
    std::string present;
    for (int n = 1; n <= 256; ++n) {
        std::string name = "COM" + std::to_string(n);
        char target[512];
        if (::QueryDosDeviceA(name.c_str(), target, sizeof target) != 0) present += name + " ";
    }
    EXPECT_EQ(present, "COM3 COM4 COM5 COM6 ");
}
