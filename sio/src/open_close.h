// Internal operations of opening and closing that other units use too.
#pragma once

#include <windows.h>

namespace sio {

// Creates the manual-reset event of ov and clears its offsets; reports the
// failed assertion and returns null when no event can be created.
HANDLE InitOverlapped(OVERLAPPED& ov);
// Prepares the port's transfer record for a newly opened device: SIO_DONE,
// or SIO_IO_FAILED when an event cannot be created (later ones are not).
int PortIoSetup(int port, HANDLE device, int synchronous);
// Wakes a wait for a comm event on the port: raises the port's wakeCount and
// (overlapped mode) sets the wait's event. Only for the port's own caller.
void SignalEventWait(int port);
// The same for a call that another thread may make while the port closes:
// it signals only a port that is still open, and counts as inside it.
void WakeFromOutside(int port);
// Waits (1 s on the clock) until no call of another thread is inside the
// port, and with thread no notification thread either; false when one still
// is after the bound.
bool AwaitCallsLeft(int port, bool thread);
// Closes the port's three events (overlapped mode).
void CloseEvents(int port);
// Waits (2 s on the clock) for the notification thread to end; terminates it
// if it still runs after that wait. True once its end has been seen.
bool StopNotifyThread(HANDLE thread);
// Ends the port's notification thread (already woken), closing the thread's
// handle unless the thread already has. A thread whose end is seen no longer
// counts as inside the port; one that still runs keeps it held (false).
bool EndNotification(int port);

}  // namespace sio
