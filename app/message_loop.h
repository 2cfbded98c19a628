// The tool's message loop, apart from WinMain so that a test can run it
// against a message queue that fails.
#pragma once

#include <windows.h>

// Dispatches messages until WM_QUIT and returns its exit code (the wParam of
// PostQuitMessage); -1 when the queue cannot be read, since the MSG then
// holds nothing that could pass for an exit code.
int RunMessageLoop(HACCEL accelerators);
