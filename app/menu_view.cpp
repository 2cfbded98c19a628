// Title and menu marks of the main window. The title is formatted into the
// shared text buffer, which is free again as soon as the title is set.
#include "menu_view.h"

#include <stdio.h>

#include "app_state.h"
#include "port_map.h"
#include "resource.h"
#include "text_buffer.h"

namespace {

void Check(int id, bool checked) {
    CheckMenuItem(app.menu, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// Ids without an item (23, 25..28, 30..33) are refused by the system and
// change nothing.
void EnablePortAndBaudItems(UINT state) {
    for (int id = IDM_COM1; id <= IDM_COM12; ++id)
        EnableMenuItem(app.menu, static_cast<UINT>(id), MF_BYCOMMAND | state);
    for (int id = IDM_BAUD_BASE; id <= IDM_BAUD_LAST; ++id)
        EnableMenuItem(app.menu, static_cast<UINT>(id), MF_BYCOMMAND | state);
}

constexpr int kFixedPortItems = 12;   // COM1..COM12
constexpr int kPortMenuPosition = 1;  // Line, Port, Baud, ...

void AppendPortItem(HMENU portMenu, int port) {
    char name[8];
    snprintf(name, sizeof name, "COM%d", port + 1);
    UINT state =
        (port == app.selectedPort ? MF_CHECKED : MF_UNCHECKED) | (app.online ? MF_GRAYED : MF_ENABLED);
    AppendMenuA(portMenu, MF_STRING | state, static_cast<UINT_PTR>(PortCommandId(port)), name);
}

}  // namespace

int PortCommandId(int port) { return port < kFixedPortItems ? IDM_COM1 + port : IDM_PORT_BASE + port; }

void PrepareMenu(HMENU popup) {
    HMENU portMenu = GetSubMenu(app.menu, kPortMenuPosition);
    if (popup == nullptr || popup != portMenu) return;
    while (GetMenuItemCount(portMenu) > kFixedPortItems) DeleteMenu(portMenu, kFixedPortItems, MF_BYPOSITION);
    static int present[kPortMapSize];
    bool listed[kPortMapSize] = {};
    for (int i = 0, count = ReadPortMap(present); i < count; ++i) listed[present[i]] = true;
    listed[app.selectedPort] = true;  // a selected port that has gone keeps its check mark in view
    bool separated = false;
    for (int port = kFixedPortItems; port < kPortMapSize; ++port) {
        if (!listed[port]) continue;
        if (!separated) AppendMenuA(portMenu, MF_SEPARATOR, 0, nullptr);
        separated = true;
        AppendPortItem(portMenu, port);
    }
}

void ShowStartMarks() {
    Check(IDM_OFFLINE, true);
    Check(PortCommandId(app.selectedPort), true);
    Check(IDM_BAUD_BASE + app.selectedBaud, true);
}

void MoveCheckMark(int oldId, int newId) {
    Check(oldId, false);
    Check(newId, true);
}

void ShowOnline() {
    snprintf(textBuffer, kTextBufferSize, "Vantoro(TM) \"home\" Configuration Tool: COM%d online at %ld baud",
             app.selectedPort + 1, static_cast<long>(AppBaudTable[app.selectedBaud]));
    SetWindowTextA(app.mainWindow, textBuffer);
    MoveCheckMark(IDM_OFFLINE, IDM_ONLINE);
    EnablePortAndBaudItems(MF_GRAYED);
}

void ShowOffline() {
    SetWindowTextA(app.mainWindow, "Vantoro(TM) \"home\" Configuration Tool: Offline");
    MoveCheckMark(IDM_ONLINE, IDM_OFFLINE);
    EnablePortAndBaudItems(MF_ENABLED);
}
