#include "sys_override.h"

namespace {

HANDLE WINAPI CountingCreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL manual, BOOL initial, LPCSTR name) {
    HANDLE event = ::CreateEventA(sa, manual, initial, name);
    if (event) ++HandleCounter::eventsCreated;
    return event;
}

HANDLE WINAPI CountingCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                  DWORD disposition, DWORD flags, HANDLE templ) {
    HANDLE file = ::CreateFileA(name, access, share, sa, disposition, flags, templ);
    if (file != INVALID_HANDLE_VALUE) ++HandleCounter::filesOpened;
    return file;
}

HANDLE WINAPI CountingCreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                   LPVOID parameter, DWORD flags, LPDWORD id) {
    HANDLE thread = ::CreateThread(sa, stack, start, parameter, flags, id);
    if (thread) ++HandleCounter::threadsCreated;
    return thread;
}

BOOL WINAPI CountingCloseHandle(HANDLE handle) {
    BOOL closed = ::CloseHandle(handle);
    if (closed) ++HandleCounter::handlesClosed;
    return closed;
}

}  // namespace

void HandleCounter::Install() {
    eventsCreated = filesOpened = handlesClosed = threadsCreated = 0;
    sio::sys.CreateEventA = CountingCreateEventA;
    sio::sys.CreateFileA = CountingCreateFileA;
    sio::sys.CreateThread = CountingCreateThread;
    sio::sys.CloseHandle = CountingCloseHandle;
}

HANDLE ProbeHandleValue() {
    HANDLE probe = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::CloseHandle(probe);
    return probe;
}

std::vector<HANDLE> FreeHandleValues(int count) {
    std::vector<HANDLE> values;
    for (int i = 0; i < count; ++i) values.push_back(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    for (HANDLE value : values) ::CloseHandle(value);
    return values;
}
