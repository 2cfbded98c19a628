// Title and menu marks of the main window. The title is formatted into the
// shared text buffer, which is free again as soon as the title is set.
#include "menu_view.h"

#include <stdio.h>

#include "app_state.h"
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

}  // namespace

void ShowStartMarks() {
    Check(IDM_OFFLINE, true);
    Check(IDM_COM1 + app.selectedPort, true);
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
