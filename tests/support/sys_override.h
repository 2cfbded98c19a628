// Test seam helpers: SysOverride keeps a copy of the library's system-call
// table and puts it back when the test scope ends, so a test can replace any
// entry (fail a call, record what the library handed over) without leaking
// the change into anything that runs after it.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "sys_table.h"

class SysOverride {
public:
    SysOverride() : saved_(sio::sys) {}
    ~SysOverride() { sio::sys = saved_; }
    SysOverride(const SysOverride&) = delete;
    SysOverride& operator=(const SysOverride&) = delete;

private:
    sio::SysTable saved_;
};

// Counts what the library creates and closes through the table, so a test can
// prove that every handle it acquired was released.
// Atomic: the library may create and close from several threads at once.
struct HandleCounter {
    static inline std::atomic<long> eventsCreated{0};
    static inline std::atomic<long> filesOpened{0};
    static inline std::atomic<long> handlesClosed{0};
    static inline std::atomic<long> threadsCreated{0};

    static void Install();  // wraps CreateEventA, CreateFileA, CreateThread, CloseHandle
    static long Outstanding() { return eventsCreated + filesOpened + threadsCreated - handlesClosed; }
};

// A handle value probe: Wine hands out the lowest free handle value, so the
// value of a fresh event is the same before and after a run exactly when the
// run leaked no handle.
HANDLE ProbeHandleValue();
// The first count handle values that the system would hand out next: a leak
// of any handle, not only of the lowest free value, changes them.
std::vector<HANDLE> FreeHandleValues(int count);
