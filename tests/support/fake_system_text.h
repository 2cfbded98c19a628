// A stand-in for the system's message texts: installed into the library's
// system-call table (inside a SysOverride scope), it answers FormatMessageA
// with a text of the test's choosing, fails the way the system does when the
// text does not fit, and records what it was asked.
#pragma once

#include <windows.h>

#include <string>

struct FakeSystemText {
    static inline std::string text;  // what the system has for any code
    static inline bool noText = false;
    static inline int calls = 0;
    static inline DWORD flags = 0, messageId = 0, language = 0, size = 0;
    static inline char* buffer = nullptr;

    static void Install(const std::string& systemText);
};
