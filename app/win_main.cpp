// The tool's process entry: register and create the main window, show it and
// run the message loop until the window is destroyed. The command line is
// not used.
#include <windows.h>

#include "main_window.h"
#include "message_loop.h"
#include "resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    MainWindow::Register(instance);
    HWND window = MainWindow::Create(instance);
    if (!window) return 0;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    // No accelerator table is defined; the handle is null and translates nothing.
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_ACCELERATORS));
    return RunMessageLoop(accelerators);
}
