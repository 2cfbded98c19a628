// A stand-in for the driver's comm event wait, installed in the system-call
// table. On the virtual lines the system's WaitCommEvent ends by itself after
// about 2 ms and never wakes for data, so the library's event logic is proven
// against this one, which behaves as a real driver does: a wait pends until
// the test fires an event of the mask, a new SetCommMask ends it with mask 0,
// and closing the device ends it too. Safe to drive from several threads.
#pragma once

#include <windows.h>

class FakeCommEvent {
public:
    // Replaces SetCommMask and WaitCommEvent, and wraps the CloseHandle and
    // CancelIoEx that the table holds now (install after HandleCounter to
    // keep counting).
    static void Install();

    // Completes the pending wait with the fired events that are in its mask;
    // false (nothing changes) when no wait pends or none of them is in it.
    static bool Fire(DWORD events);
    // Blocks until a wait started after the first `afterWaits` WaitCommEvent
    // calls pends, or timeoutMs passed; true when one pends.
    static bool WaitUntilPending(DWORD timeoutMs, long afterWaits = 0);
    static bool Pending();

    // The mask storage the latest WaitCommEvent was given (where the events
    // are written when it completes, even long after the call returned).
    static DWORD* LastStorage();
    static DWORD LastMask();     // as last set with SetCommMask
    static long WaitsStarted();  // WaitCommEvent calls
};
