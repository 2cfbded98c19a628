// Menu commands: port and baud choice, going on-line and off-line, help, the
// About box, the home sequences and exit. On Line and Off Line turn into the
// library calls in the order the controller's line needs them; the window's
// title and menus change only once the port is really open or closed.
#include "commands.h"

#include "about_dialog.h"
#include "app_state.h"
#include "controller_line.h"
#include "error_text.h"
#include "help_text.h"
#include "home_sequence.h"
#include "menu_view.h"
#include "resource.h"
#include "sio.h"
#include "text_screen.h"

void ShowAboutBox() {
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_ABOUTBOX), app.mainWindow, AboutDialogProc, 0);
}

// The Port and Baud items are greyed while on-line; a command that arrives
// all the same (posted by another program) is ignored, or Off Line would
// close a port other than the open one and leave that one open.
void SelectPort(int port) {
    if (app.online) return;
    MoveCheckMark(IDM_COM1 + app.selectedPort, IDM_COM1 + port);
    app.selectedPort = port;
}

void SelectBaud(int baudEntry) {
    if (app.online) return;
    MoveCheckMark(IDM_BAUD_BASE + app.selectedBaud, IDM_BAUD_BASE + baudEntry);
    app.selectedBaud = baudEntry;
}

// The port is not closed first: the system closes it when the process ends.
void ExitTool() { DestroyWindow(app.mainWindow); }

// A second On Line while on-line fails at the open and only shows why; the
// connection that is open stays as it is.
void GoOnLine() {
    int result = OpenControllerLine(app.selectedPort);
    if (result < 0) {
        TextScreen::WriteLine(ErrorText(result));
        return;
    }
    ShowOnline();
    app.online = 1;
}

// Closing a port that is not open is harmless, so Off Line always succeeds.
void GoOffLine() {
    SioClosePort(app.selectedPort);
    ShowOffline();
    app.online = 0;
}

void ShowHelp() { WriteHelpText(); }

void RunHomeOption(int option) { RunHomeSequence(option, app.selectedPort, ProductHomeIo()); }
