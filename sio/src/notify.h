// The notification thread's routine, started by SioNotify; declared here so
// the tests can recognise it among the threads the library creates.
#pragma once

#include <windows.h>

namespace sio {

// parameter: the address of the port's PortEntry::portNumber.
DWORD WINAPI NotifyThreadProc(LPVOID parameter);

}  // namespace sio
