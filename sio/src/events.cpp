// Waiting for comm events of an open port, and for one chosen character (the
// device's event character, reported as EV_RXFLAG). The system writes the
// events that occurred into the port's own storage, never the caller's stack,
// because a wait that ended by time-out is still outstanding in the driver.
#include "events.h"

#include "overlapped.h"
#include "sio_state.h"
#include "sys_table.h"

namespace sio {

int WaitPortEvent(int port, DWORD mask, DWORD timeout, const std::atomic<bool>* stop) {
    portTable[port].notifyMask = mask;
    if (StartEventWait(port, mask) == SIO_IO_FAILED) return SIO_IO_FAILED;
    // Checked after the start, whose ResetEvent would have undone an earlier wake.
    if (stop && stop->load()) return SIO_DONE;
    return AwaitEventWait(port, timeout);
}

}  // namespace sio

using namespace sio;

namespace {

int FailWithSystemError() {
    lastWinError = sys.GetLastError();
    return SIO_WIN_ERROR;
}

}  // namespace

extern "C" int SioWaitEvent(int port, int mask, int timeout) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    return WaitPortEvent(port, static_cast<DWORD>(mask), static_cast<DWORD>(timeout), nullptr);
}

extern "C" int SioWaitChar(int port, int character, int timeout) {
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();
    // No not-open rule: on a closed port the state query below fails and the
    // caller learns the system's error through SioWinError.
    PortEntry& entry = portTable[port];
    DCB& dcb = *entry.dcb;
    dcb.DCBlength = sizeof(DCB);
    if (!sys.GetCommState(entry.handle, &dcb)) return FailWithSystemError();
    dcb.EvtChar = static_cast<char>(character & 0xFF);
    if (!sys.SetCommState(entry.handle, &dcb)) return FailWithSystemError();
    return SioWaitEvent(port, EV_RXFLAG, timeout);
}
