// The library's message boxes, caught instead of shown.
#pragma once

#include <windows.h>

#include <string>

#include "sys_table.h"

struct BoxLog {
    static inline int shown = 0;
    static inline HWND owner = nullptr;
    static inline std::string text, caption;
    static inline UINT style = 0;

    static void Install() {
        shown = 0;
        owner = nullptr;
        text.clear();
        caption.clear();
        style = 0;
        sio::sys.MessageBoxA = [](HWND boxOwner, LPCSTR boxText, LPCSTR boxCaption, UINT boxStyle)
                                   WINAPI -> int {
            ++shown;
            owner = boxOwner;
            text = boxText;
            caption = boxCaption;
            style = boxStyle;
            return IDOK;
        };
    }
};
