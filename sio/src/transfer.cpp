// The byte, block and queue calls. Reads and writes run through the transfer
// layer. A read hands back only what has already arrived, within a short
// bound, and reads into the port's own buffer: a read that the driver does not
// give up in time goes on there, never in the caller's memory, and a later
// read hands over what it brought. The byte of SioPutByte lives in the port's
// record too, not on the stack.
#include <string.h>

#include "overlapped.h"
#include "sio_state.h"
#include "sys_table.h"
#include "timed_transfer.h"

namespace sio {
namespace {

// A write that an earlier call left running: a poll that does not wait.
bool PreviousWriteRunning(int port) {
    return GetWriteStatus(port) == SIO_PENDING && AwaitWrite(port, 0) == SIO_PENDING;
}

// Reads the port's status into status and clears the device's error state;
// false when it fails.
bool QueryComm(int port, DWORD* errors, COMSTAT& status) {
    return QueryCommStatus(portTable[port].handle, errors, status) != FALSE;
}

bool TakePushback(int port, BYTE* byte) {
    PortEntry& entry = portTable[port];
    if (!entry.pushback) return false;
    *byte = entry.pushback;
    entry.pushback = 0;
    return true;
}

// Copies what the port's buffer holds, up to size bytes, to out.
int HandOver(PortIo& io, BYTE* out, DWORD size) {
    DWORD count = io.readKept < size ? io.readKept : size;
    memcpy(out, io.readBuffer + io.readFrom, count);
    io.readFrom += count;
    io.readKept -= count;
    return static_cast<int>(count);
}

// Ends the port's read and keeps what it brought; false while it still runs.
bool CollectRead(int port) {
    if (AwaitArrivedRead(port) != SIO_DONE) return false;
    PortIo& io = ioTable[port];
    io.readKept = io.bytesRead;
    io.readFrom = 0;
    return true;
}

// Reads what has arrived, up to size bytes, into out: the byte count, or
// SIO_IO_FAILED when the read could not start. Bytes a late read brought come
// first; while such a read still runs, nothing has arrived yet. A queue that
// the status shows empty is not read at all: the read would only pend and
// have to be cancelled.
int ReadArrived(int port, BYTE* out, DWORD size) {
    PortIo& io = ioTable[port];
    DWORD errors = 0;
    COMSTAT status;
    const bool known = QueryComm(port, &errors, status);  // the call also clears line errors
    const bool leftRunning = !io.synchronous && io.readStatus == SIO_PENDING;
    if (io.readKept == 0 && leftRunning && !CollectRead(port)) return 0;
    if (io.readKept == 0) {
        if (known && status.cbInQue == 0) return 0;
        DWORD want = size < kReadBufferSize ? size : kReadBufferSize;
        if (StartRead(port, io.readBuffer, want) == SIO_IO_FAILED) return SIO_IO_FAILED;
        if (!CollectRead(port)) return 0;
    }
    return HandOver(io, out, size);
}

}  // namespace
}  // namespace sio

using namespace sio;

extern "C" int SioPutByte(int port, int byte) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    RestoreOpenTimeouts(port);
    if (PreviousWriteRunning(port)) return SIO_NO_DATA;
    PortIo& io = ioTable[port];
    io.byteOut = static_cast<BYTE>(byte & 0xFF);
    if (StartWrite(port, &io.byteOut, 1) == SIO_IO_FAILED) return SIO_IO_FAILED;
    return AwaitWrite(port, INFINITE) == SIO_DONE ? 1 : SIO_NO_DATA;
}

extern "C" int SioWriteBlock(int port, const char* buffer, int count) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    RestoreOpenTimeouts(port);
    if (buffer == nullptr || count < 1) return SIO_RANGE;
    if (PreviousWriteRunning(port)) return SIO_NO_DATA;
    if (StartWrite(port, buffer, static_cast<DWORD>(count)) == SIO_IO_FAILED) return SIO_IO_FAILED;
    if (portTable[port].noWait) return 1;  // the caller keeps the buffer until the write ends
    if (AwaitWrite(port, INFINITE) != SIO_DONE) return 0;
    return static_cast<int>(FinishWrite(port));
}

extern "C" int SioReadBlock(int port, char* buffer, int size) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    RestoreOpenTimeouts(port);
    if (buffer == nullptr || size < 1) return SIO_RANGE;
    BYTE pushed = 0;
    if (TakePushback(port, &pushed)) {
        buffer[0] = static_cast<char>(pushed);
        return 1;
    }
    buffer[0] = 0;  // what a read that finds nothing leaves there
    return ReadArrived(port, reinterpret_cast<BYTE*>(buffer), static_cast<DWORD>(size));
}

extern "C" int SioGetByte(int port) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    RestoreOpenTimeouts(port);
    BYTE pushed = 0;
    if (TakePushback(port, &pushed)) return pushed;  // handed back as it was pushed, unmasked
    BYTE byte = 0;
    int got = ReadArrived(port, &byte, 1);
    if (got == SIO_IO_FAILED) return SIO_IO_FAILED;
    if (got <= 0) return SIO_NO_DATA;
    return byte & portTable[port].dataMask;
}

extern "C" int SioUngetByte(int port, int byte) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    portTable[port].pushback = static_cast<BYTE>(byte & 0xFF);
    return 0;
}

extern "C" int SioFlushTx(int port) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    sys.PurgeComm(portTable[port].handle, PURGE_TXCLEAR);  // a running write goes on
    return 0;
}

extern "C" int SioFlushRx(int port) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    sys.PurgeComm(portTable[port].handle, PURGE_RXCLEAR);
    portTable[port].pushback = 0;
    ioTable[port].readKept = 0;  // received too, only already taken from the device
    return 0;
}

extern "C" int SioTxCount(int port) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    DWORD errors = 0;
    COMSTAT status;
    int queued = QueryComm(port, &errors, status) ? static_cast<int>(status.cbOutQue) : 0;
    if (queued < 0) queued = 0;
    // In no-wait mode the last write counts as still on its way.
    if (portTable[port].noWait) return static_cast<int>(ioTable[port].bytesWritten) + queued;
    return queued;
}

extern "C" int SioRxCount(int port) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    DWORD errors = 0;
    COMSTAT status;
    return QueryComm(port, &errors, status) ? static_cast<int>(status.cbInQue) : 0;
}

extern "C" int SioLineErrors(int port, int mask) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    DWORD errors = 0;
    COMSTAT status;
    if (!QueryComm(port, &errors, status)) return -1;
    return static_cast<int>(errors) & mask;
}
