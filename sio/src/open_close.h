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
// Old-Windows mode: terminates the notification thread if it still runs.
void StopNotifyThread(HANDLE thread);

}  // namespace sio
