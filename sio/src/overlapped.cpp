// Start, wait and finish steps of the three operations of a port. Storage
// handed to the system must outlive the operation: callers pass their own
// buffer only when the operation has ended before they return (or the caller
// has agreed to keep it, as in no-wait writes), else the port's PortIo storage.
#include "overlapped.h"

#include "sio_state.h"
#include "sys_table.h"

namespace sio {
namespace {

// Only Internal says that the system has finished with an OVERLAPPED: an
// event set by anyone else makes the wait (and Wine's GetOverlappedResult,
// which then reports success with no bytes) look complete.
bool StillRunning(const OVERLAPPED& ov) { return ov.Internal == STATUS_PENDING; }

int MapWaitResult(DWORD result) {
    if (result == WAIT_OBJECT_0) return SIO_DONE;
    if (result == WAIT_TIMEOUT) return SIO_PENDING;
    return SIO_IO_FAILED;
}

int StatusAfterStart(BOOL succeeded) {
    if (succeeded) return SIO_DONE;
    // ERROR_IO_PENDING is the normal answer of an overlapped start.
    return sys.GetLastError() == ERROR_IO_PENDING ? SIO_PENDING : SIO_IO_FAILED;
}

int AwaitTransfer(const PortIo& io, int& status, const OVERLAPPED& ov, DWORD timeout) {
    if (io.synchronous) return SIO_DONE;
    if (status == SIO_DONE) return SIO_DONE;
    status = MapWaitResult(sys.WaitForSingleObject(ov.hEvent, timeout));
    if (status == SIO_DONE && StillRunning(ov)) status = SIO_PENDING;
    return status;
}

DWORD FinishTransfer(const PortIo& io, int status, OVERLAPPED& ov, DWORD& count) {
    if (io.synchronous) return count;
    if (status == SIO_DONE && count != 0) return count;
    DWORD transferred = 0;
    if (!sys.GetOverlappedResult(io.handle, &ov, &transferred, TRUE)) return 0;
    if (transferred == 0) return 0;
    count = transferred;
    return count;
}

// How long a call waits for the system to finish with a request it has
// cancelled, on the clock. A cancel completes at once on a working driver;
// past this the request is left outstanding (in storage of the port's own),
// so no call waits for it without a bound.
constexpr DWORD kCollectBoundMs = 100;
constexpr DWORD kCollectPollMs = 10;

// Cancels this one request of the port and no other: a write or an event
// wait of the same port, which CancelIo would abort as well, goes on (a write
// aborted that way would later pass for done, its rest lost). False when the
// system says it holds no such request (it has ended: ERROR_NOT_FOUND).
bool CancelOwnRequest(const PortIo& io, OVERLAPPED& ov) {
    return sys.CancelIoEx(io.handle, &ov) || sys.GetLastError() != ERROR_NOT_FOUND;
}

// The bytes an ended request moved (a cancelled request reports them with a
// failure, so the count is taken whatever the result says).
DWORD Collect(const PortIo& io, OVERLAPPED& ov) {
    DWORD moved = 0;
    sys.GetOverlappedResult(io.handle, &ov, &moved, FALSE);
    return moved;
}

// Waits, at most kCollectBoundMs, until the system has finished with a
// cancelled or ended request, and gives the bytes it moved. False while it
// still runs. The event may have been set by a wake, not by the end, hence
// the polls of Internal. A request the system no longer holds is over even
// while Internal still reads pending (Wine can leave a finished request so).
bool CollectEnded(const PortIo& io, OVERLAPPED& ov, bool systemHoldsIt, DWORD& moved) {
    if (StillRunning(ov)) {
        const ULONGLONG start = sys.GetTickCount64();
        sys.WaitForSingleObject(ov.hEvent, kCollectBoundMs / 2);
        while (StillRunning(ov) && sys.GetTickCount64() - start < kCollectBoundMs) sys.Sleep(kCollectPollMs);
    }
    if (StillRunning(ov)) {
        if (systemHoldsIt) return false;
        moved = static_cast<DWORD>(ov.InternalHigh);
        return true;
    }
    moved = Collect(io, ov);
    return true;
}

// Cancels a request that still runs and collects it: true once it is over.
bool EndRequest(const PortIo& io, OVERLAPPED& ov, DWORD& moved) {
    if (!StillRunning(ov)) {
        moved = Collect(io, ov);
        return true;
    }
    return CollectEnded(io, ov, CancelOwnRequest(io, ov), moved);
}

// Ends a request whose status says it may still run; true once it is over.
bool EndIfPending(const PortIo& io, OVERLAPPED& ov, int& status) {
    if (status != SIO_PENDING) return true;
    DWORD moved = 0;
    if (!EndRequest(io, ov, moved)) return false;
    status = SIO_IO_FAILED;  // ended by the close, not done
    return true;
}

}  // namespace

int StartRead(int port, void* buffer, DWORD size) {
    PortIo& io = ioTable[port];
    OVERLAPPED* ov = nullptr;
    if (!io.synchronous) {
        if (io.readStatus == SIO_PENDING) return SIO_NO_DATA;
        ov = &io.readOv;
    }
    static_cast<BYTE*>(buffer)[0] = 0;
    io.bytesRead = 0;
    io.readStatus = StatusAfterStart(sys.ReadFile(io.handle, buffer, size, &io.bytesRead, ov));
    return io.readStatus;
}

int StartWrite(int port, const void* buffer, DWORD count) {
    PortIo& io = ioTable[port];
    OVERLAPPED* ov = nullptr;
    if (!io.synchronous) {
        if (io.writeStatus == SIO_PENDING) return SIO_NO_DATA;
        ov = &io.writeOv;
    }
    io.bytesWritten = 0;
    io.writeStatus = StatusAfterStart(sys.WriteFile(io.handle, buffer, count, &io.bytesWritten, ov));
    return io.writeStatus;
}

int AwaitRead(int port, DWORD timeout) {
    PortIo& io = ioTable[port];
    return AwaitTransfer(io, io.readStatus, io.readOv, timeout);
}

int AwaitWrite(int port, DWORD timeout) {
    PortIo& io = ioTable[port];
    return AwaitTransfer(io, io.writeStatus, io.writeOv, timeout);
}

int AwaitArrivedRead(int port) {
    PortIo& io = ioTable[port];
    if (io.synchronous || io.readStatus != SIO_PENDING) return AwaitRead(port, 0);
    DWORD moved = 0;
    if (!EndRequest(io, io.readOv, moved)) return SIO_PENDING;
    io.bytesRead = moved;
    io.readStatus = SIO_DONE;
    return SIO_DONE;
}

int AwaitEndedWrite(int port) {
    PortIo& io = ioTable[port];
    if (io.synchronous || io.writeStatus != SIO_PENDING) return AwaitWrite(port, 0);
    DWORD moved = 0;
    if (!EndRequest(io, io.writeOv, moved)) return SIO_PENDING;
    io.bytesWritten = moved;
    io.writeStatus = SIO_DONE;
    return SIO_DONE;
}

DWORD FinishRead(int port) {
    PortIo& io = ioTable[port];
    return FinishTransfer(io, io.readStatus, io.readOv, io.bytesRead);
}

DWORD FinishWrite(int port) {
    PortIo& io = ioTable[port];
    return FinishTransfer(io, io.writeStatus, io.writeOv, io.bytesWritten);
}

int GetWriteStatus(int port) { return ioTable[port].writeStatus; }

int StartEventWait(int port, DWORD mask) {
    PortIo& io = ioTable[port];
    if (io.synchronous) return SIO_DONE;
    if (!sys.SetCommMask(io.handle, mask)) {
        io.eventStatus = SIO_IO_FAILED;
        return SIO_IO_FAILED;
    }
    // An event left set by the last wait would end this one at once, as if
    // an event had come.
    if (!sys.ResetEvent(io.eventOv.hEvent)) {
        io.eventStatus = SIO_IO_FAILED;
        return SIO_IO_FAILED;
    }
    io.eventStatus = StatusAfterStart(sys.WaitCommEvent(io.handle, &io.eventMask, &io.eventOv));
    io.eventOutstanding = io.eventStatus == SIO_PENDING;
    return io.eventStatus;
}

// No Internal check here: SignalEventWait sets this event on purpose to end a
// wait whose WaitCommEvent is still outstanding.
int AwaitEventWait(int port, DWORD timeout) {
    PortIo& io = ioTable[port];
    if (io.synchronous) return SIO_DONE;
    io.eventStatus = MapWaitResult(sys.WaitForSingleObject(io.eventOv.hEvent, timeout));
    return io.eventStatus;
}

bool EndOutstandingEventWait(int port) {
    PortIo& io = ioTable[port];
    if (io.synchronous || !io.eventOutstanding) return true;
    DWORD moved = 0;
    if (!EndRequest(io, io.eventOv, moved)) return false;
    io.eventOutstanding = false;
    return true;
}

bool EndOpeningRequests(int port) {
    PortIo& io = ioTable[port];
    if (io.synchronous) return true;
    bool ended = EndIfPending(io, io.readOv, io.readStatus);
    ended = EndIfPending(io, io.writeOv, io.writeStatus) && ended;
    ended = EndOutstandingEventWait(port) && ended;
    if (ended) io.readKept = 0;
    return ended;
}

namespace {

// Over once Internal says so and the event that the system sets after it is
// set too (so no one sets it once it has been closed).
bool OverAfterClose(OVERLAPPED& ov, bool pending, ULONGLONG start) {
    if (!pending) return true;
    while (StillRunning(ov)) {
        if (sys.GetTickCount64() - start >= kCollectBoundMs) return false;
        sys.Sleep(kCollectPollMs);
    }
    const ULONGLONG spent = sys.GetTickCount64() - start;
    const DWORD left = spent < kCollectBoundMs ? static_cast<DWORD>(kCollectBoundMs - spent) : 0;
    return sys.WaitForSingleObject(ov.hEvent, left) == WAIT_OBJECT_0;
}

}  // namespace

bool OpeningRequestsOver(int port) {
    PortIo& io = ioTable[port];
    if (io.synchronous) return true;
    const ULONGLONG start = sys.GetTickCount64();
    if (!OverAfterClose(io.readOv, io.readStatus == SIO_PENDING, start)) return false;
    if (!OverAfterClose(io.writeOv, io.writeStatus == SIO_PENDING, start)) return false;
    if (!OverAfterClose(io.eventOv, io.eventOutstanding, start)) return false;
    io.readStatus = io.readStatus == SIO_PENDING ? SIO_IO_FAILED : io.readStatus;
    io.writeStatus = io.writeStatus == SIO_PENDING ? SIO_IO_FAILED : io.writeStatus;
    io.eventOutstanding = false;
    io.readKept = 0;
    return true;
}

}  // namespace sio
