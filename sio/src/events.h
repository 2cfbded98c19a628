// The event wait shared by SioWaitEvent and the notification thread. The
// thread needs one thing more than the public call: a stop that was asked for
// before its wait began must still end that wait.
#pragma once

#include <windows.h>

#include <atomic>

namespace sio {

// Stores mask as the port's notifyMask, starts the event wait on the port's
// own mask storage and waits up to timeout ms: SIO_DONE, SIO_PENDING or
// SIO_IO_FAILED. A stop flag that is set once the wait has started ends it at
// once, as a wake would (SIO_DONE). The port must be open.
int WaitPortEvent(int port, DWORD mask, DWORD timeout, const std::atomic<bool>* stop);

}  // namespace sio
