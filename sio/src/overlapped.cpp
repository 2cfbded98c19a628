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

int AwaitTransfer(int& status, const OVERLAPPED& ov, DWORD timeout) {
    if (syncMode) return SIO_DONE;
    if (status == SIO_DONE) return SIO_DONE;
    status = MapWaitResult(sys.WaitForSingleObject(ov.hEvent, timeout));
    if (status == SIO_DONE && StillRunning(ov)) status = SIO_PENDING;
    return status;
}

DWORD FinishTransfer(int port, int status, OVERLAPPED& ov, DWORD& count) {
    if (syncMode) return count;
    if (status == SIO_DONE && count != 0) return count;
    DWORD transferred = 0;
    if (!sys.GetOverlappedResult(ioTable[port].handle, &ov, &transferred, TRUE)) return 0;
    if (transferred == 0) return 0;
    count = transferred;
    return count;
}

// Cancels this read only: a write or an event wait of the same port, which a
// plain CancelIo would abort as well, goes on. ERROR_NOT_FOUND means that the
// read ended by itself meanwhile.
void CancelRead(PortIo& io) {
    if (sys.CancelIoEx(io.handle, &io.readOv)) return;
    if (sys.GetLastError() != ERROR_NOT_FOUND) sys.CancelIo(io.handle);
}

// Waits until the system has finished with the read and returns the bytes it
// moved. A cancelled read reports them with a failure (operation aborted), so
// the count is taken whatever the result says.
DWORD CollectEndedRead(PortIo& io) {
    DWORD moved = 0;
    sys.GetOverlappedResult(io.handle, &io.readOv, &moved, TRUE);
    while (StillRunning(io.readOv)) {
        sys.Sleep(1);  // the event was set early; the cancel completes shortly
        sys.GetOverlappedResult(io.handle, &io.readOv, &moved, TRUE);
    }
    return moved;
}

}  // namespace

int StartRead(int port, void* buffer, DWORD size) {
    PortIo& io = ioTable[port];
    OVERLAPPED* ov = nullptr;
    if (!syncMode) {
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
    if (!syncMode) {
        if (io.writeStatus == SIO_PENDING) return SIO_NO_DATA;
        ov = &io.writeOv;
    }
    io.bytesWritten = 0;
    io.writeStatus = StatusAfterStart(sys.WriteFile(io.handle, buffer, count, &io.bytesWritten, ov));
    return io.writeStatus;
}

int AwaitRead(int port, DWORD timeout) {
    PortIo& io = ioTable[port];
    return AwaitTransfer(io.readStatus, io.readOv, timeout);
}

int AwaitWrite(int port, DWORD timeout) {
    PortIo& io = ioTable[port];
    return AwaitTransfer(io.writeStatus, io.writeOv, timeout);
}

int AwaitArrivedRead(int port) {
    PortIo& io = ioTable[port];
    if (syncMode || io.readStatus != SIO_PENDING) return AwaitRead(port, INFINITE);
    CancelRead(io);
    io.bytesRead = CollectEndedRead(io);
    io.readStatus = SIO_DONE;
    return SIO_DONE;
}

DWORD FinishRead(int port) {
    PortIo& io = ioTable[port];
    return FinishTransfer(port, io.readStatus, io.readOv, io.bytesRead);
}

DWORD FinishWrite(int port) {
    PortIo& io = ioTable[port];
    return FinishTransfer(port, io.writeStatus, io.writeOv, io.bytesWritten);
}

int GetWriteStatus(int port) { return ioTable[port].writeStatus; }

int StartEventWait(int port, DWORD mask) {
    if (syncMode) return SIO_DONE;
    PortIo& io = ioTable[port];
    if (!sys.SetCommMask(io.handle, mask)) {
        io.eventStatus = SIO_IO_FAILED;
        return SIO_IO_FAILED;
    }
    sys.ResetEvent(io.eventOv.hEvent);
    io.eventStatus = StatusAfterStart(sys.WaitCommEvent(io.handle, &io.eventMask, &io.eventOv));
    return io.eventStatus;
}

// No Internal check here: SignalEventWait sets this event on purpose to end a
// wait whose WaitCommEvent is still outstanding.
int AwaitEventWait(int port, DWORD timeout) {
    if (syncMode) return SIO_DONE;
    PortIo& io = ioTable[port];
    io.eventStatus = MapWaitResult(sys.WaitForSingleObject(io.eventOv.hEvent, timeout));
    return io.eventStatus;
}

}  // namespace sio
