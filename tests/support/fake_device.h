// A COM device with no line behind it, installed in the system-call table, so
// unit tests can open ports without touching the shared virtual lines.
// CreateFileA hands out a fresh event handle (a real handle: closing it and
// counting it work as for a device); the state, time-out, queue and status
// calls succeed on it, and the state reads back what was last set.
#pragma once

#include <windows.h>

struct FakeDevice {
    // Install after HandleCounter: the opens count in HandleCounter::filesOpened.
    static void Install();

    static inline DCB state{};           // what GetCommState reports
    static inline long stateSets = 0;    // SetCommState calls
    static inline DCB lastSetState{};    // the DCB handed to the latest SetCommState
};
