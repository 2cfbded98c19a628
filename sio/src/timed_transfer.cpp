// Reads and writes that wait for their bytes up to a time-out, and end early
// on a wake or a close from another thread. The device's own time-outs bound
// each request, so nothing polls: a call waits on its request's event and the
// port's wake event at once. Reads go through the port's own buffer, as the
// plain reads do, so a request the driver does not give up in time writes
// into nothing of the caller's. The time-outs a call sets stay in force for
// the next timed call of the same kind, which then sets nothing.
#include "timed_transfer.h"

#include <string.h>

#include "overlapped.h"
#include "sio_state.h"
#include "sys_table.h"

namespace sio {
namespace {

// The time a call has, on the system's millisecond clock.
class Deadline {
public:
    explicit Deadline(int timeoutMs)
        : forever_(timeoutMs < 0),
          at_(sys.GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs)) {}
    DWORD Left() const {
        if (forever_) return INFINITE;
        ULONGLONG now = sys.GetTickCount64();
        return now >= at_ ? 0 : static_cast<DWORD>(at_ - now);
    }

private:
    bool forever_;
    ULONGLONG at_;
};

bool SameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) { return memcmp(&a, &b, sizeof a) == 0; }

const COMMTIMEOUTS& TimeoutsInForce(const PortIo& io) {
    return io.timedTimeouts ? io.timeoutsInForce : openTimeouts;
}

bool SetTimeouts(PortIo& io, const COMMTIMEOUTS& wanted) {
    if (SameTimeouts(TimeoutsInForce(io), wanted)) return true;
    COMMTIMEOUTS copy = wanted;  // the system takes a non-const block
    if (!sys.SetCommTimeouts(io.handle, &copy)) return false;
    io.timeoutsInForce = wanted;
    io.timedTimeouts = !SameTimeouts(wanted, openTimeouts);
    return true;
}

// A read that ends once it has all its bytes or after ms (0: no limit).
bool SetReadTimeouts(PortIo& io, DWORD ms) {
    COMMTIMEOUTS wanted = TimeoutsInForce(io);
    wanted.ReadIntervalTimeout = 0;
    wanted.ReadTotalTimeoutMultiplier = 0;
    wanted.ReadTotalTimeoutConstant = ms;
    return SetTimeouts(io, wanted);
}

// A write that ends once its bytes have left or after ms (0: no limit).
bool SetWriteTimeouts(PortIo& io, DWORD ms) {
    COMMTIMEOUTS wanted = TimeoutsInForce(io);
    wanted.WriteTotalTimeoutMultiplier = 0;
    wanted.WriteTotalTimeoutConstant = ms;
    return SetTimeouts(io, wanted);
}

// Waits until the request's event is set, the time is up or the port is
// woken: true for a wake. The wake event may hold a wake from before this
// call began (it stays set until someone waits); only the port's wake count
// tells, and such a wake is waited past for the time left.
bool AwaitRequestOrWake(int port, HANDLE request, DWORD firstWait, const Deadline& deadline, unsigned wakes) {
    HANDLE both[2] = {request, ioTable[port].transferWake};
    for (DWORD wait = firstWait;; wait = deadline.Left()) {
        if (portTable[port].wakeCount.load() != wakes) return true;
        DWORD ended = sys.WaitForMultipleObjects(2, both, FALSE, wait);
        // A failed wait ends the request as a time-out would.
        if (ended != WAIT_OBJECT_0 + 1) return portTable[port].wakeCount.load() != wakes;
    }
}

// The receive queue's count; the query clears the device's pending line
// errors, as every read does.
DWORD QueuedBytes(const PortIo& io) {
    DWORD errors = 0;
    COMSTAT status;
    return QueryCommStatus(io.handle, &errors, status) ? status.cbInQue : 0;
}

int TakeKept(PortIo& io, BYTE* out, int room) {
    DWORD count = io.readKept < static_cast<DWORD>(room) ? io.readKept : static_cast<DWORD>(room);
    memcpy(out, io.readBuffer + io.readFrom, count);
    io.readFrom += count;
    io.readKept -= count;
    return static_cast<int>(count);
}

// Ends the port's read (cancels it if it still runs) and keeps its bytes in
// the port's buffer: their count, 0 when it goes on past the bound.
int KeepRead(PortIo& io, int port) {
    if (AwaitArrivedRead(port) != SIO_DONE) return 0;
    io.readKept = io.bytesRead;
    io.readFrom = 0;
    return static_cast<int>(io.bytesRead);
}

// One read request of want bytes into the port's buffer, waited for up to
// firstWait ms or a wake: the count it brought, or SIO_IO_FAILED.
int ReadRequest(int port, DWORD want, DWORD firstWait, const Deadline& deadline, unsigned wakes,
                bool& woken) {
    PortIo& io = ioTable[port];
    int started = StartRead(port, io.readBuffer, want);
    if (started == SIO_IO_FAILED) return SIO_IO_FAILED;
    if (started == SIO_NO_DATA) return 0;  // an earlier read still runs there
    if (started == SIO_PENDING)
        woken = AwaitRequestOrWake(port, io.readOv.hEvent, firstWait, deadline, wakes);
    return KeepRead(io, port);
}

int ReadInside(int port, BYTE* out, int size, int timeoutMs, bool some, unsigned wakes) {
    PortIo& io = ioTable[port];
    const Deadline deadline(timeoutMs);
    int got = 0;
    PortEntry& entry = portTable[port];
    if (entry.pushback) {
        out[got++] = entry.pushback;
        entry.pushback = 0;
    }
    DWORD queued = QueuedBytes(io);
    if (io.readKept == 0 && !io.synchronous && io.readStatus == SIO_PENDING) KeepRead(io, port);
    got += TakeKept(io, out + got, size - got);
    bool waited = false;
    bool woken = false;
    while (got < size && !woken) {
        DWORD room = static_cast<DWORD>(size - got);
        if (room > kReadBufferSize) room = kReadBufferSize;
        DWORD want = room;
        DWORD wait = 0;
        if (queued > 0) {
            // What has arrived needs no time-out: any in force hands it over at once.
            if (want > queued) want = queued;
        } else {
            if (some && got > 0) break;
            wait = waited ? deadline.Left() : (timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
            if (wait == 0 || entry.wakeCount.load() != wakes) break;
            if (!SetReadTimeouts(io, wait == INFINITE ? 0 : wait)) return got > 0 ? got : SIO_IO_FAILED;
            if (some) want = 1;  // the first byte; the rest then follows from the queue
            waited = true;
        }
        int brought = ReadRequest(port, want, wait, deadline, wakes, woken);
        if (brought == SIO_IO_FAILED) return got > 0 ? got : SIO_IO_FAILED;
        got += TakeKept(io, out + got, size - got);
        if (brought == 0) break;  // the time is up, or the driver holds the read: never a loop without bytes
        DWORD taken = static_cast<DWORD>(brought);
        queued = queued > taken ? queued - taken : 0;
        if (some && queued == 0) queued = QueuedBytes(io);
    }
    return got;
}

int WriteInside(int port, const char* buffer, int size, int timeoutMs, unsigned wakes) {
    PortIo& io = ioTable[port];
    const Deadline deadline(timeoutMs);
    // A no-wait write of an earlier call still on its way.
    if (io.writeStatus == SIO_PENDING && AwaitWrite(port, 0) == SIO_PENDING) return SIO_NO_DATA;
    // Time-out 0 sends what can go at once: the device gets a bound of 1 ms
    // (0 would mean none), the wait below none.
    DWORD deviceBound = timeoutMs < 0 ? 0 : (timeoutMs == 0 ? 1 : static_cast<DWORD>(timeoutMs));
    if (!SetWriteTimeouts(io, deviceBound)) return SIO_IO_FAILED;
    int started = StartWrite(port, buffer, static_cast<DWORD>(size));
    if (started == SIO_IO_FAILED) return SIO_IO_FAILED;
    if (started == SIO_PENDING) {
        DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
        AwaitRequestOrWake(port, io.writeOv.hEvent, wait, deadline, wakes);
    }
    // A write the driver does not give up goes on, as a no-wait write does.
    if (AwaitEndedWrite(port) != SIO_DONE) return 0;
    return static_cast<int>(io.bytesWritten);
}

// The checks of the timed calls, then the call itself counted inside the
// port, so that a close from another thread wakes it and waits for it.
template <typename Inside>
int TimedCall(int port, const void* buffer, int size, int timeoutMs, Inside inside) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    if (buffer == nullptr || size < 1 || timeoutMs < -1) return SIO_RANGE;
    const unsigned wakes = EnterPort(port);
    int result = PortOpen(port) ? inside(wakes) : IE_NOPEN;
    LeavePort(port);
    return result;
}

}  // namespace

void RestoreOpenTimeouts(int port) {
    PortIo& io = ioTable[port];
    if (!io.timedTimeouts) return;
    COMMTIMEOUTS open = openTimeouts;
    if (sys.SetCommTimeouts(io.handle, &open)) io.timedTimeouts = false;
}

}  // namespace sio

using namespace sio;

extern "C" int SioReadTimed(int port, char* buffer, int size, int timeoutMs) {
    return TimedCall(port, buffer, size, timeoutMs, [&](unsigned wakes) {
        return ReadInside(port, reinterpret_cast<BYTE*>(buffer), size, timeoutMs, false, wakes);
    });
}

extern "C" int SioReadSome(int port, char* buffer, int size, int timeoutMs) {
    return TimedCall(port, buffer, size, timeoutMs, [&](unsigned wakes) {
        return ReadInside(port, reinterpret_cast<BYTE*>(buffer), size, timeoutMs, true, wakes);
    });
}

extern "C" int SioWriteTimed(int port, const char* buffer, int size, int timeoutMs) {
    return TimedCall(port, buffer, size, timeoutMs,
                     [&](unsigned wakes) { return WriteInside(port, buffer, size, timeoutMs, wakes); });
}
