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
// Wakes a thread waiting for a comm event on the port (overlapped mode).
void SignalEventWait(int port);
// Closes the port's three events (overlapped mode).
void CloseEvents(int port);
// Waits (bounded) for the notification thread to end; terminates it if it
// still runs in old-Windows mode or after that wait.
void StopNotifyThread(HANDLE thread);
// Wakes a waiting event wait of the port and ends its notification thread,
// closing the thread's handle unless the thread already has: afterwards
// nothing of the thread uses the port's event or device.
void EndNotification(int port);

}  // namespace sio
