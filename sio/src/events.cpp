// Waiting for comm events of an open port, and for one chosen character (the
// device's event character, reported as EV_RXFLAG). The system writes the
// events that occurred into the port's own storage, never the caller's stack,
// because a wait that ended by time-out is still outstanding in the driver.
// These calls may run while another thread wakes or closes the port, so each
// counts itself inside the port for its whole length.
#include "events.h"

#include "overlapped.h"
#include "sio_state.h"
#include "sys_table.h"

namespace sio {

int WaitPortEvent(int port, DWORD mask, DWORD timeout, unsigned wakesSeen) {
    portTable[port].notifyMask = mask;
    // Left with the driver, it would complete the new wait with no event.
    if (!EndOutstandingEventWait(port)) return SIO_BUSY;
    if (StartEventWait(port, mask) == SIO_IO_FAILED) return SIO_IO_FAILED;
    // Checked after the start, whose ResetEvent would have undone an earlier wake.
    if (portTable[port].wakeCount.load() != wakesSeen) return SIO_DONE;
    return AwaitEventWait(port, timeout);
}

}  // namespace sio

using namespace sio;

namespace {

int FailWithSystemError() {
    lastWinError = sys.GetLastError();
    return SIO_WIN_ERROR;
}

// The port's event wait, held by a SioWaitEvent or SioWaitChar call for its
// length; not held when the notification thread or another call has it.
class CallerWait {
public:
    explicit CallerWait(int port) : entry_(portTable[port]) {
        int free = kNoWaiter;
        held_ = entry_.eventWaiter.compare_exchange_strong(free, kCallerWaits);
    }
    ~CallerWait() {
        if (held_) entry_.eventWaiter = kNoWaiter;
    }
    CallerWait(const CallerWait&) = delete;
    CallerWait& operator=(const CallerWait&) = delete;
    bool Held() const { return held_; }

private:
    PortEntry& entry_;
    bool held_;
};

}  // namespace

extern "C" int SioWaitEvent(int port, int mask, int timeout) {
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();
    PortVisit visit(port);
    const unsigned wakes = portTable[port].wakeCount;  // before the open check: see PortEntry
    if (!visit.Open()) return IE_NOPEN;
    CallerWait wait(port);
    if (!wait.Held()) return SIO_BUSY;
    return WaitPortEvent(port, static_cast<DWORD>(mask), static_cast<DWORD>(timeout), wakes);
}

extern "C" int SioWaitChar(int port, int character, int timeout) {
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();
    PortVisit visit(port);
    const unsigned wakes = portTable[port].wakeCount;
    // No not-open rule: on a closed port the state query below fails and the
    // caller learns the system's error through SioWinError.
    PortEntry& entry = portTable[port];
    const HANDLE device = entry.handle;  // read once: the close may mark it closed meanwhile
    CallerWait wait(port);
    if (device != INVALID_HANDLE_VALUE && !wait.Held()) return SIO_BUSY;
    DCB& dcb = *entry.dcb;
    dcb.DCBlength = sizeof(DCB);
    if (!sys.GetCommState(device, &dcb)) return FailWithSystemError();
    dcb.EvtChar = static_cast<char>(character & 0xFF);
    if (!sys.SetCommState(device, &dcb)) return FailWithSystemError();
    return WaitPortEvent(port, EV_RXFLAG, static_cast<DWORD>(timeout), wakes);
}
