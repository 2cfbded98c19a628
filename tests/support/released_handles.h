// Catches the library using a handle after it released it: the table's
// CloseHandle records every value it closed, the creators take a value that
// is handed out again off the list, and every call that takes an event,
// device or thread handle counts a use of a listed value (a double close is
// one too). Wine hands out the lowest free value, so a stale handle would
// otherwise reach some other object silently.
#pragma once

struct ReleasedHandles {
    // Install last: it wraps whatever the table holds at that moment.
    static void Install();
    static long Misuses();
};
