// The About box: product name and version, the serial library's version and
// a hint where to start.
#pragma once

#include <windows.h>

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
