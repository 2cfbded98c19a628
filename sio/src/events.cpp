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

// Takes the port's event wait for a SioWaitEvent or SioWaitChar call; false
// when the notification thread or another call has it.
bool TakeEventWait(int port) {
    int free = kNoWaiter;
    return portTable[port].eventWaiter.compare_exchange_strong(free, kCallerWaits);
}

void GiveEventWaitBack(int port) { portTable[port].eventWaiter = kNoWaiter; }

int WaitInside(int port, DWORD mask, DWORD timeout, unsigned wakes) {
    if (!PortOpen(port)) return IE_NOPEN;
    if (!TakeEventWait(port)) return SIO_BUSY;
    int result = WaitPortEvent(port, mask, timeout, wakes);
    GiveEventWaitBack(port);
    return result;
}

// Fills dcb from the device, makes character its event character and hands
// it back: 0, or SIO_WIN_ERROR with the system's error kept.
int SetEventCharacter(HANDLE device, DCB& dcb, int character) {
    dcb.DCBlength = sizeof(DCB);
    if (!sys.GetCommState(device, &dcb)) return FailWithSystemError();
    dcb.EvtChar = static_cast<char>(character & 0xFF);
    if (!sys.SetCommState(device, &dcb)) return FailWithSystemError();
    return 0;
}

// No not-open rule: on a closed port the state query fails and the caller
// learns the system's error through SioWinError.
int WaitCharInside(int port, int character, DWORD timeout, unsigned wakes) {
    PortEntry& entry = portTable[port];
    const HANDLE device = entry.handle;  // read once: a close may mark it closed meanwhile
    const bool open = device != INVALID_HANDLE_VALUE;
    if (open && !TakeEventWait(port)) return SIO_BUSY;
    int result = SetEventCharacter(device, *entry.dcb, character);
    if (result == 0) result = WaitPortEvent(port, EV_RXFLAG, timeout, wakes);
    if (open) GiveEventWaitBack(port);
    return result;
}

}  // namespace

extern "C" int SioWaitEvent(int port, int mask, int timeout) {
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();
    const unsigned wakes = EnterPort(port);
    int result = WaitInside(port, static_cast<DWORD>(mask), static_cast<DWORD>(timeout), wakes);
    LeavePort(port);
    return result;
}

extern "C" int SioWaitChar(int port, int character, int timeout) {
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();
    const unsigned wakes = EnterPort(port);
    int result = WaitCharInside(port, character, static_cast<DWORD>(timeout), wakes);
    LeavePort(port);
    return result;
}
