// The main window: its class, its creation and its window procedure, which
// only dispatches each message to one handler. WinMain and the in-process
// tests create the window the same way.
#pragma once

#include <windows.h>

namespace MainWindow {

constexpr int kWidth = 600;
constexpr int kHeight = 360;

// Loads the title and class name and registers the window class; keeps the
// instance handle. Returns the class atom, 0 when registration failed.
ATOM Register(HINSTANCE instance);
// Creates the window (not yet shown); nullptr when creation failed.
HWND Create(HINSTANCE instance);

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace MainWindow
