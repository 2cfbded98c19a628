// A message-only window owned by the calling thread, so a test can receive
// what the library's notification thread posts without a visible window.
#pragma once

#include <windows.h>

class MessageWindow {
public:
    struct Post {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    MessageWindow();
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Takes the next message of WM_USER or above posted to the window,
    // pumping the thread's queue until one comes or timeoutMs passed.
    bool NextPost(Post* post, DWORD timeoutMs);
    // True when no such message is queued now (does not wait).
    bool QueueEmpty();

private:
    HWND hwnd_;
};
