// Drives the running tool from another process, the way an operator would:
// finds its window by class name, sends menu command ids, and checks the
// title after each step. Menus cannot be read across processes under Wine,
// so menu states are left to the in-process tests.
//
//   drive_tool STEP...   steps run in order; the first failure ends with 1
//     find            wait for the window (10 s)
//     cmd:ID          post WM_COMMAND ID, then wait until the tool answers
//     title:TEXT      the title must read TEXT (within 2 s)
//     about           open About, check its texts, press OK
//     settle:MS       keep the tool answering for MS ms (lets its poll run)
//     ping:N          N round trips of a message; prints median and maximum
//     flood:N:BYTES   start writing BYTES random bytes to COM<N> (in the background)
//     pingfor:MS      a round trip every 5 ms for MS ms; prints median and maximum
//     rect            prints the client area as "client WxH+X+Y" (screen pixels)
//     gone            wait until the window is destroyed (5 s)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "vantoro_version.h"

namespace {

const char kClassName[] = "Vantoro(TM)";
constexpr DWORD kFindTimeoutMs = 10000;
constexpr DWORD kAnswerTimeoutMs = 15000;  // a home sequence blocks the tool for about 3 s
constexpr DWORD kTitleTimeoutMs = 2000;
constexpr DWORD kGoneTimeoutMs = 5000;
constexpr DWORD kPollMs = 10;

HWND tool = nullptr;

bool Fail(const char* step, const char* why) {
    printf("FAIL %s: %s\n", step, why);
    fflush(stdout);
    return false;
}

// True when the tool handled a message within the time-out.
bool Answers(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

std::string TitleOf(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool Find() {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kFindTimeoutMs) {
        tool = FindWindowA(kClassName, nullptr);
        if (tool && Answers(tool, kAnswerTimeoutMs)) return true;
        Sleep(kPollMs);
    }
    return Fail("find", "no window of class Vantoro(TM)");
}

bool Command(const char* step, int id) {
    if (!PostMessageA(tool, WM_COMMAND, static_cast<WPARAM>(id), 0)) return Fail(step, "post failed");
    // Exit destroys the window, which then answers nothing: that is no failure.
    if (!Answers(tool, kAnswerTimeoutMs) && IsWindow(tool)) return Fail(step, "the tool stopped answering");
    return true;
}

bool Title(const char* step, const std::string& expected) {
    DWORD start = GetTickCount();
    std::string seen;
    do {
        seen = TitleOf(tool);
        if (seen == expected) return true;
        Sleep(kPollMs);
    } while (GetTickCount() - start < kTitleTimeoutMs);
    printf("  title is \"%s\"\n", seen.c_str());
    return Fail(step, "title differs");
}

struct DialogSearch {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK FindAboutBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    char cls[32] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && GetWindowThreadProcessId(window, nullptr) == search->thread &&
        TitleOf(window) == "About") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Static texts of the dialog, in child order.
std::vector<std::string> StaticTexts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        bool icon = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        if (_stricmp(cls, "Static") == 0 && !icon) texts.push_back(TitleOf(child));
    }
    return texts;
}

bool About() {
    if (!PostMessageA(tool, WM_COMMAND, 1, 0)) return Fail("about", "post failed");
    DialogSearch search{GetWindowThreadProcessId(tool, nullptr), nullptr};
    DWORD start = GetTickCount();
    while (!search.found && GetTickCount() - start < kFindTimeoutMs) {
        EnumWindows(FindAboutBox, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(kPollMs);
    }
    if (!search.found) return Fail("about", "no About box appeared");
    std::vector<std::string> texts = StaticTexts(search.found);
    const char* const expected[] = {"Vantoro(TM)", VANTORO_ABOUT_PRODUCT_LINE};
    for (const char* text : expected) {
        if (std::find(texts.begin(), texts.end(), text) == texts.end()) {
            printf("  missing \"%s\"\n", text);
            return Fail("about", "text missing");
        }
    }
    for (const std::string& text : texts) printf("  about: \"%s\"\n", text.c_str());
    PostMessageA(search.found, WM_COMMAND, IDOK, 0);
    start = GetTickCount();
    while (IsWindow(search.found) && GetTickCount() - start < kGoneTimeoutMs) Sleep(kPollMs);
    if (IsWindow(search.found)) return Fail("about", "OK did not close the box");
    return Answers(tool, kAnswerTimeoutMs) || Fail("about", "the tool stopped answering");
}

bool Settle(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (!Answers(tool, kAnswerTimeoutMs)) return Fail("settle", "the tool stopped answering");
        Sleep(kPollMs);
    }
    return true;
}

// One round trip in milliseconds, or a negative value when the tool did not answer.
double RoundTripMs() {
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    if (!Answers(tool, kAnswerTimeoutMs)) return -1.0;
    QueryPerformanceCounter(&after);
    return 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

bool ReportRoundTrips(const char* step, std::vector<double>& ms) {
    if (ms.empty()) return Fail(step, "no round trip");
    std::sort(ms.begin(), ms.end());
    printf("round trip: %zu messages, median %.3f ms, 99th %.3f ms, max %.3f ms\n", ms.size(),
           ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back());
    return true;
}

bool Ping(int count) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        double trip = RoundTripMs();
        if (trip < 0) return Fail("ping", "the tool stopped answering");
        ms.push_back(trip);
    }
    return ReportRoundTrips("ping", ms);
}

bool PingFor(DWORD durationMs) {
    std::vector<double> ms;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < durationMs) {
        double trip = RoundTripMs();
        if (trip < 0) return Fail("pingfor", "the tool stopped answering");
        ms.push_back(trip);
        Sleep(5);
    }
    return ReportRoundTrips("pingfor", ms);
}

struct Flood {
    HANDLE port;
    DWORD bytes;
};
Flood flood{INVALID_HANDLE_VALUE, 0};
DWORD volatile floodWritten = 0;  // written by the flood thread, read at exit

DWORD WINAPI FloodThread(void*) {
    char chunk[4096];
    unsigned seed = 12345;
    while (floodWritten < flood.bytes) {
        for (char& c : chunk) {
            seed = seed * 1103515245u + 12345u;
            c = static_cast<char>(seed >> 16);
        }
        DWORD want = std::min<DWORD>(sizeof chunk, flood.bytes - floodWritten), done = 0;
        if (!WriteFile(flood.port, chunk, want, &done, nullptr)) break;
        floodWritten = floodWritten + done;
    }
    return 0;
}

bool StartFlood(const char* step, int comNumber, DWORD bytes) {
    char name[32];
    snprintf(name, sizeof name, "\\\\.\\COM%d", comNumber);
    flood.port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (flood.port == INVALID_HANDLE_VALUE) return Fail(step, "cannot open the flood port");
    flood.bytes = bytes;
    HANDLE thread = CreateThread(nullptr, 0, FloodThread, nullptr, 0, nullptr);
    if (!thread) return Fail(step, "cannot start the flood");
    CloseHandle(thread);
    return true;
}

bool Rect() {
    RECT client;
    if (!GetClientRect(tool, &client)) return Fail("rect", "no client area");
    POINT origin{0, 0};
    ClientToScreen(tool, &origin);
    printf("client %ldx%ld+%ld+%ld\n", client.right, client.bottom, origin.x, origin.y);
    return true;
}

bool Gone() {
    DWORD start = GetTickCount();
    while (IsWindow(tool) && GetTickCount() - start < kGoneTimeoutMs) Sleep(kPollMs);
    return !IsWindow(tool) || Fail("gone", "the window is still there");
}

bool RunStep(const char* step) {
    if (strcmp(step, "find") == 0) return Find();
    if (!tool && !Find()) return false;
    if (strncmp(step, "cmd:", 4) == 0) return Command(step, atoi(step + 4));
    if (strncmp(step, "title:", 6) == 0) return Title(step, step + 6);
    if (strcmp(step, "about") == 0) return About();
    if (strncmp(step, "settle:", 7) == 0) return Settle(static_cast<DWORD>(atoi(step + 7)));
    if (strncmp(step, "ping:", 5) == 0) return Ping(std::max(1, atoi(step + 5)));
    if (strncmp(step, "pingfor:", 8) == 0) return PingFor(static_cast<DWORD>(atoi(step + 8)));
    if (strncmp(step, "flood:", 6) == 0) {
        const char* bytes = strchr(step + 6, ':');
        return bytes ? StartFlood(step, atoi(step + 6), static_cast<DWORD>(atol(bytes + 1)))
                     : Fail(step, "flood:N:BYTES");
    }
    if (strcmp(step, "rect") == 0) return Rect();
    if (strcmp(step, "gone") == 0) return Gone();
    return Fail(step, "unknown step");
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!RunStep(argv[i])) return 1;
        printf("ok %s\n", argv[i]);
        fflush(stdout);
    }
    if (flood.bytes) printf("flood: %lu of %lu bytes written\n", floodWritten, flood.bytes);
    return 0;
}
