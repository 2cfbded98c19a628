// The byte, block and queue calls. Reads and writes run through the transfer
// layer; a read hands back only what has already arrived and never returns
// while the system may still write into the caller's buffer. The one byte of
// SioPutByte and SioGetByte lives in the port's record, not on the stack.
#include "overlapped.h"
#include "sio_state.h"
#include "sys_table.h"

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

// Reads what has arrived into storage: the byte count, or a negative code
// when the read could not start. A read still running from elsewhere gives 0
// without touching storage.
int ReadArrived(int port, void* storage, DWORD size) {
    DWORD errors = 0;
    COMSTAT status;
    QueryComm(port, &errors, status);  // the result does not matter; the call clears line errors
    int started = StartRead(port, storage, size);
    if (started == SIO_IO_FAILED) return SIO_IO_FAILED;
    if (started == SIO_NO_DATA) return 0;
    AwaitArrivedRead(port);
    return static_cast<int>(FinishRead(port));
}

}  // namespace
}  // namespace sio

using namespace sio;

extern "C" int SioPutByte(int port, int byte) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    if (PreviousWriteRunning(port)) return SIO_NO_DATA;
    PortIo& io = ioTable[port];
    io.byteOut = static_cast<BYTE>(byte & 0xFF);
    if (StartWrite(port, &io.byteOut, 1) == SIO_IO_FAILED) return SIO_IO_FAILED;
    return AwaitWrite(port, INFINITE) == SIO_DONE ? 1 : SIO_NO_DATA;
}

extern "C" int SioWriteBlock(int port, const char* buffer, int count) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
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
    if (buffer == nullptr || size < 1) return SIO_RANGE;
    BYTE pushed = 0;
    if (TakePushback(port, &pushed)) {
        buffer[0] = static_cast<char>(pushed);
        return 1;
    }
    return ReadArrived(port, buffer, static_cast<DWORD>(size));
}

extern "C" int SioGetByte(int port) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    BYTE pushed = 0;
    if (TakePushback(port, &pushed)) return pushed;  // handed back as it was pushed, unmasked
    PortIo& io = ioTable[port];
    int got = ReadArrived(port, &io.byteIn, 1);
    if (got == SIO_IO_FAILED) return SIO_IO_FAILED;
    if (got <= 0) return SIO_NO_DATA;
    return io.byteIn & portTable[port].dataMask;
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
