// Test seam helpers: SysOverride keeps a copy of the library's system-call
// table and puts it back when the test scope ends, so a test can replace any
// entry (fail a call, record what the library handed over) without leaking
// the change into anything that runs after it.
#pragma once

#include <windows.h>

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
struct HandleCounter {
    static inline long eventsCreated = 0;
    static inline long filesOpened = 0;
    static inline long handlesClosed = 0;
    static inline long threadsCreated = 0;

    static void Install();  // wraps CreateEventA, CreateFileA, CreateThread, CloseHandle
    static long Outstanding() { return eventsCreated + filesOpened + threadsCreated - handlesClosed; }
};

// A handle value probe: Wine hands out the lowest free handle value, so the
// value of a fresh event is the same before and after a run exactly when the
// run leaked no handle.
HANDLE ProbeHandleValue();
