// A counting and failing layer over the library's system-call table, for the
// fault walk: it counts every call the library makes and makes the N-th one
// fail the way the system would (the call's failure value and a plausible
// last error), and it keeps the handles created through the table that have
// not been closed through it yet.
#pragma once

#include <windows.h>

struct FaultLayer {
    // Wraps every entry the table holds now (install the driver first).
    // failAt 0 fails nothing; the layer counts from the install.
    static void Install(long failAt);
    // Stops failing (counting goes on), so the checks after a run see the system as it is.
    static void Disarm();
    static long Calls();
    static bool Failed();              // the N-th call was reached and failed
    static const char* FailedEntry();  // the table entry that failed, null before
    // The failure came on the thread that installed the layer (the caller's),
    // not on a thread the library started.
    static bool FailedOnCaller();
    // Handles created and not yet closed through the table.
    static int LiveHandles();
    // Waits until every thread started through the table since the install
    // has ended (a thread that never ran is not waited for): a thread still
    // ending when the process exits can hold up its exit under Wine.
    static void AwaitThreads(DWORD timeoutMs);
};
