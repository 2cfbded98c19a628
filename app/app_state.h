// The tool's state in one place: the port and baud entry chosen from the
// menus, whether the port is on-line, the strings loaded at start-up and the
// handles kept for later calls. Only the GUI thread reads or writes it.
#pragma once

#include <windows.h>

constexpr int kBaudEntries = 10;
extern const int AppBaudTable[kBaudEntries];

constexpr int kResourceStringSize = 100;

struct AppState {
    int selectedPort = 0;            // port index (0 = COM1) used by every library call
    int selectedBaud = 5;            // index into AppBaudTable, shown in the title (9600)
    int online = 0;                  // set by a successful On Line, cleared by Off Line
    bool screenConstructed = false;  // the text screen is built by the first message
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HMENU menu = nullptr;
    char title[kResourceStringSize] = "";        // IDS_APP_TITLE
    char windowClass[kResourceStringSize] = "";  // IDS_WINDOW_CLASS
};

extern AppState app;
