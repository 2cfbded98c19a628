// The event wait shared by SioWaitEvent, SioWaitChar and the notification
// thread: one waiter per port at a time, a clean start, and no lost wake.
#pragma once

#include <windows.h>

namespace sio {

// Stores mask as the port's notifyMask, ends a request that an earlier wait
// left outstanding, starts the event wait on the port's own mask storage and
// waits up to timeout ms: SIO_DONE, SIO_PENDING or SIO_IO_FAILED, or SIO_BUSY
// when the earlier request did not end. A wake after the port's wakeCount was
// wakesSeen ends the wait at once, also one that came before the start
// reset the event. The caller holds the port's event wait and the port is open.
int WaitPortEvent(int port, DWORD mask, DWORD timeout, unsigned wakesSeen);

}  // namespace sio
