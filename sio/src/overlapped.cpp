// Start, wait and finish steps of the three operations of a port. Storage
// handed to the system must outlive the operation: callers pass their own
// buffer only when they wait for completion, else the port's PortIo storage.
#include "overlapped.h"

#include "sio_state.h"
#include "sys_table.h"

namespace sio {
namespace {

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
    io.writeStatus =
        StatusAfterStart(sys.WriteFile(io.handle, buffer, count, &io.bytesWritten, ov));
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

DWORD FinishRead(int port) {
    PortIo& io = ioTable[port];
    return FinishTransfer(port, io.readStatus, io.readOv, io.bytesRead);
}

DWORD FinishWrite(int port) {
    PortIo& io = ioTable[port];
    return FinishTransfer(port, io.writeStatus, io.writeOv, io.bytesWritten);
}

int GetWriteStatus(int port) { return ioTable[port].writeStatus; }

int StartEventWait(int port, DWORD* maskStorage) {
    if (syncMode) return SIO_DONE;
    PortIo& io = ioTable[port];
    if (!sys.SetCommMask(io.handle, *maskStorage)) {
        io.eventStatus = SIO_IO_FAILED;
        return SIO_IO_FAILED;
    }
    sys.ResetEvent(io.eventOv.hEvent);
    io.eventStatus = StatusAfterStart(sys.WaitCommEvent(io.handle, maskStorage, &io.eventOv));
    return io.eventStatus;
}

int AwaitEventWait(int port, DWORD timeout) {
    if (syncMode) return SIO_DONE;
    PortIo& io = ioTable[port];
    io.eventStatus = MapWaitResult(sys.WaitForSingleObject(io.eventOv.hEvent, timeout));
    return io.eventStatus;
}

}  // namespace sio
