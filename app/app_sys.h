// The window's own seam to the system: the calls whose failure or box a test
// must control (the poll timer and the message queue cannot be made to fail
// on demand, and a real message box would stop an unattended test).
// Everything else is called directly.
#pragma once

#include <windows.h>

struct AppSysTable {
    decltype(&::SetTimer) SetTimer = ::SetTimer;
    decltype(&::MessageBoxA) MessageBoxA = ::MessageBoxA;
    decltype(&::GetMessageA) GetMessageA = ::GetMessageA;
};

extern AppSysTable appSys;
