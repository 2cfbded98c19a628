// The main window's class, creation and procedure with one handler per
// message: creation sets the menu marks and starts the 100 ms receive poll,
// the poll shows what the port received, and WM_COMMAND hands each menu
// command to its own function.
#include "main_window.h"

#include "app_state.h"
#include "app_sys.h"
#include "commands.h"
#include "menu_view.h"
#include "resource.h"
#include "text_screen.h"

namespace MainWindow {
namespace {

constexpr UINT kPollPeriodMs = 100;
constexpr int kCom13Command = IDM_PORT_BASE + (IDM_COM12 - IDM_COM1 + 1);  // the first port the map adds

LRESULT OnCreate(HWND window) {
    app.mainWindow = window;
    app.menu = GetMenu(window);
    ShowStartMarks();
    if (appSys.SetTimer(window, IDT_POLL, kPollPeriodMs, nullptr) == 0) {
        // The window stays and works, but replies are never shown.
        appSys.MessageBoxA(nullptr, "No timers remaining !", "Info", MB_TASKMODAL | MB_ICONWARNING);
    }
    return 0;
}

LRESULT OnDestroy() {
    PostQuitMessage(0);
    return 0;
}

LRESULT OnPaint(HWND window) {
    HideCaret(window);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetMapMode(dc, MM_ANISOTROPIC);  // default extents: one logical unit per pixel
    TextScreen::SelectFont(dc);
    TextScreen::Paint(dc, paint.rcPaint);
    EndPaint(window, &paint);
    // The window never creates a caret, so these two have no visible effect.
    SetCaretPos(TextScreen::CursorCol() * TextScreen::CharWidth(),
                TextScreen::CursorRow() * TextScreen::CharHeight());
    ShowCaret(window);
    return 0;
}

LRESULT OnTimer() {
    PollPort();
    return 0;
}

// Returns false for an id that is no command of this window.
bool OnCommand(int id) {
    if (id >= IDM_COM1 && id <= IDM_COM12) {
        SelectPort(id - IDM_COM1);
        return true;
    }
    if (id >= kCom13Command && id <= IDM_PORT_LAST) {
        SelectPort(id - IDM_PORT_BASE);
        return true;
    }
    if (id >= IDM_BAUD_BASE && id <= IDM_BAUD_LAST && id != IDM_BAUD_BASE + 1) {
        SelectBaud(id - IDM_BAUD_BASE);
        return true;
    }
    switch (id) {
        case IDM_ABOUT: ShowAboutBox(); return true;
        case IDM_EXIT: ExitTool(); return true;
        case IDM_ONLINE: GoOnLine(); return true;
        case IDM_OFFLINE: GoOffLine(); return true;
        case IDM_HELP: ShowHelp(); return true;
        case IDM_HOME_OPTION1: RunHomeOption(1); return true;
        case IDM_HOME_OPTION2: RunHomeOption(2); return true;
        case IDM_READ_HOME: ReadHomeSetting(); return true;
        default: return false;
    }
}

}  // namespace

ATOM Register(HINSTANCE instance) {
    app.instance = instance;
    LoadStringA(instance, IDS_APP_TITLE, app.title, kResourceStringSize);
    LoadStringA(instance, IDS_WINDOW_CLASS, app.windowClass, kResourceStringSize);

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_MAINMENU);
    windowClass.lpszClassName = app.windowClass;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    return RegisterClassExA(&windowClass);
}

HWND Create(HINSTANCE instance) {
    return CreateWindowExA(0, app.windowClass, app.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, kWidth,
                           kHeight, nullptr, nullptr, instance, nullptr);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!app.screenConstructed) {  // the first message of all, before WM_CREATE
        app.screenConstructed = true;
        TextScreen::Construct(window);
    }
    switch (message) {
        case WM_CREATE: return OnCreate(window);
        case WM_DESTROY: return OnDestroy();
        case WM_PAINT: return OnPaint(window);
        case WM_TIMER: return OnTimer();
        case WM_INITMENUPOPUP:  // the default procedure still sees it
            PrepareMenu(reinterpret_cast<HMENU>(wParam));
            break;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam))) return 0;
            break;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace MainWindow
