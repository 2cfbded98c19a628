// Menu commands: port and baud choice, going on-line and off-line, help, the
// About box, the home sequences and exit. On Line and Off Line turn into the
// library calls in the order the controller's line needs them; the window's
// title and menus change only once the port is really open or closed. The
// home commands, the read-back and the poll share the receive queue, so each
// command first settles the verdict of the sequence before it.
#include "commands.h"

#include "about_dialog.h"
#include "app_state.h"
#include "controller_line.h"
#include "error_text.h"
#include "help_text.h"
#include "home_readback.h"
#include "home_sequence.h"
#include "menu_view.h"
#include "resource.h"
#include "sio.h"
#include "text_buffer.h"
#include "text_screen.h"
#include "verdict_watch.h"

void ShowAboutBox() {
    DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_ABOUTBOX), app.mainWindow, AboutDialogProc, 0);
}

// The Port and Baud items are greyed while on-line; a command that arrives
// all the same (posted by another program) is ignored, or Off Line would
// close a port other than the open one and leave that one open.
void SelectPort(int port) {
    if (app.online) return;
    MoveCheckMark(PortCommandId(app.selectedPort), PortCommandId(port));
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

namespace {

constexpr int kPollReadSize = kTextBufferSize - 1;

// A verdict still due is written on what is queued now, before the next
// command's lines. Without one the queue is left alone: bytes that came
// since the last poll show after the next done line, as they always did.
void SettleVerdict() {
    if (!VerdictWatch::Pending()) return;
    PollPort();
    VerdictWatch::Conclude();
}

}  // namespace

void RunHomeOption(int option) {
    SettleVerdict();
    if (RunHomeSequence(option, app.selectedPort, ProductHomeIo()) == 0)
        VerdictWatch::Start(option, GetTickCount());
}

// Off line the port is not open, and the read-back says so with the text the
// home commands show off line. Bytes still queued are shown first, so that
// they are not taken for an answer.
void ReadHomeSetting() {
    SettleVerdict();
    PollPort();
    if (!app.online) {
        TextScreen::WriteLine(ErrorText(IE_NOPEN));
        return;
    }
    int32_t values[home::kHomeParameterCount] = {};
    std::string failure;
    std::string line;
    if (home::ReadHomeValues(app.selectedPort, home::LibraryLink(ErrorLine), home::kReadbackReplyTimeoutMs,
                             values, failure))
        line = "Home setting: " + home::HomeSettingLine(values);
    else
        line = "Cannot read the home setting: " + failure;
    TextScreen::WriteLine(line.c_str());
}

// Read errors (a line that has gone away, for one) are ignored: the next
// tick simply tries again.
void PollPort() {
    if (app.online) {
        int count = SioReadBlock(app.selectedPort, textBuffer, kPollReadSize);
        if (count > 0) {
            TextScreen::WriteChars(textBuffer, count);
            VerdictWatch::Received(textBuffer, count, GetTickCount());
        }
    }
    VerdictWatch::Tick(GetTickCount());
}
