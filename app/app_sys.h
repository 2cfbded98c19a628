// The window's own seam to the system: the two calls whose failure or box a
// test must control (the poll timer cannot be made to fail on demand, and a
// real message box would stop an unattended test). Everything else is called
// directly.
#pragma once

#include <windows.h>

struct AppSysTable {
    decltype(&::SetTimer) SetTimer = ::SetTimer;
    decltype(&::MessageBoxA) MessageBoxA = ::MessageBoxA;
};

extern AppSysTable appSys;
