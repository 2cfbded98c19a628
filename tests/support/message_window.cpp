#include "message_window.h"

namespace {

const char kClassName[] = "SioTestMessageWindow";

void RegisterOnce() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassA(&windowClass);
    registered = true;
}

bool TakePost(HWND hwnd, MessageWindow::Post* post) {
    MSG msg;
    while (::PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE)) {
        if (msg.message >= WM_USER) {
            *post = {msg.message, msg.wParam, msg.lParam};
            return true;
        }
        ::DispatchMessageA(&msg);
    }
    return false;
}

}  // namespace

MessageWindow::MessageWindow() {
    RegisterOnce();
    hwnd_ = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              ::GetModuleHandleA(nullptr), nullptr);
}

MessageWindow::~MessageWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

bool MessageWindow::NextPost(Post* post, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (TakePost(hwnd_, post)) return true;
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    }
}

bool MessageWindow::QueueEmpty() {
    MSG msg;
    return !::PeekMessageA(&msg, hwnd_, WM_USER, 0xFFFF, PM_NOREMOVE);
}
