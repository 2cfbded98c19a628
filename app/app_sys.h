// The window's own seam to the system: the calls whose failure or box a test
// must control (the poll timer and the message queue cannot be made to fail
// on demand, a real message box would stop an unattended test, and the
// serial-port map holds only the ports of the test machine). Everything else
// is called directly.
#pragma once

#include <windows.h>

struct AppSysTable {
    decltype(&::SetTimer) SetTimer = ::SetTimer;
    decltype(&::MessageBoxA) MessageBoxA = ::MessageBoxA;
    decltype(&::GetMessageA) GetMessageA = ::GetMessageA;
    decltype(&::RegOpenKeyExA) RegOpenKeyExA = ::RegOpenKeyExA;
    decltype(&::RegEnumValueA) RegEnumValueA = ::RegEnumValueA;
    decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;
};

extern AppSysTable appSys;
