// The communication calls of the POSIX seam over a terminal device. Each open
// device has one I/O thread that owns its poll loop: it moves arriving bytes
// into the device's receive queue (so that comm events see every byte, as a
// Windows port's driver does), feeds the pending write, runs the read and
// write time-outs and completes requests the Windows way: InternalHigh, then
// Internal, then the event. Settings go to termios2, so any rate is taken.
// Everything here is Linux; a port to another system replaces this unit.
#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <initializer_list>

#include "posix_calls.h"
#include "posix_objects.h"
#include "posix_ports.h"

namespace sio {
namespace posix {
namespace {

constexpr int kDeviceCount = 264;
constexpr DWORD kRxQueueSize = 4096;
// How often the loop looks at what the device cannot announce: the transmit
// queue running empty, and modem-line and error counts.
constexpr int kStatusTickMs = 2;
// After the far end hung up, how long the loop rests before it reads again.
constexpr int kHangUpRestMs = 20;
constexpr ULONG_PTR kStatusSuccess = 0;
constexpr ULONG_PTR kStatusIoDeviceError = 0xC0000185u;
constexpr DWORD kStatusEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK | EV_ERR;

struct Request {
    bool active;
    OVERLAPPED* ov;
    OVERLAPPED own;  // synchronous requests complete here
    BYTE* in;
    const BYTE* out;
    DWORD size;
    DWORD done;
    long long deadline;  // monotonic ms, 0 = none
    long long lastByte;
    DWORD interval;  // read: the longest gap between bytes, 0 = none
    bool anyByteEnds;
    DWORD* maskOut;
};

// Written by the caller's calls and by the I/O thread, always under lock;
// stop only by CloseDevice.
struct Device {
    bool used;  // under the object table's allocation, see OpenDevice
    int fd;
    int wake[2];
    pthread_t thread;
    pthread_mutex_t lock;
    pthread_cond_t changed;  // any request completed
    bool stop;
    DCB dcb;
    COMMTIMEOUTS timeouts;
    DWORD mask;
    DWORD occurred;
    DWORD errors;
    BYTE rx[kRxQueueSize];
    DWORD rxHead;
    DWORD rxCount;
    Request read;
    Request write;
    Request wait;
    bool txEmptyDue;  // a write completed: EV_TXEMPTY once the kernel's queue is empty
    long long restUntil;
    bool hasCounts;
    serial_icounter_struct counts;
    bool hasLines;
    int lines;
};

Device devices[kDeviceCount];
pthread_mutex_t devicesLock = PTHREAD_MUTEX_INITIALIZER;
pthread_once_t devicesOnce = PTHREAD_ONCE_INIT;

void InitDevices() {
    for (Device& d : devices) {
        pthread_mutex_init(&d.lock, nullptr);
        InitMonotonicCond(d.changed);
    }
}

int Ioctl(const Device& d, unsigned long request, void* argument) {
    return os.ioctl(d.fd, request, argument);
}
int IoctlValue(const Device& d, unsigned long request, long value) {
    return os.ioctl(d.fd, request, reinterpret_cast<void*>(value));
}

void Wake(Device& d) {
    const BYTE one = 1;
    if (::write(d.wake[1], &one, 1) < 0) {
        // A full pipe already wakes the loop.
    }
}

void Complete(Device& d, Request& r, ULONG_PTR status) {
    r.active = false;
    OVERLAPPED* ov = r.ov;
    ov->InternalHigh = r.done;
    __atomic_store_n(&ov->Internal, status, __ATOMIC_RELEASE);  // last: it says the request is over
    if (ov->hEvent) SetEvent(ov->hEvent);
    pthread_cond_broadcast(&d.changed);
}

void Fire(Device& d, DWORD events) {
    const DWORD wanted = events & d.mask;
    if (!wanted) return;
    if (d.wait.active) {
        *d.wait.maskOut = wanted;
        Complete(d, d.wait, kStatusSuccess);
    } else {
        d.occurred |= wanted;
    }
}

// Takes what the kernel holds into the receive queue while it has room.
void PullInput(Device& d) {
    while (d.rxCount < kRxQueueSize) {
        const DWORD tail = (d.rxHead + d.rxCount) % kRxQueueSize;
        const DWORD room = tail >= d.rxHead ? kRxQueueSize - tail : d.rxHead - tail;
        const ssize_t got = os.read(d.fd, d.rx + tail, room);
        if (got <= 0) {
            // EIO: the far end of a pseudo-terminal closed; rest instead of spinning.
            if (got < 0 && errno != EAGAIN && errno != EINTR) d.restUntil = NowMs() + kHangUpRestMs;
            return;
        }
        d.rxCount += static_cast<DWORD>(got);
        DWORD events = EV_RXCHAR;
        if (memchr(d.rx + tail, static_cast<BYTE>(d.dcb.EvtChar), static_cast<size_t>(got)))
            events |= EV_RXFLAG;
        Fire(d, events);
    }
}

DWORD TakeInput(Device& d, BYTE* out, DWORD size) {
    DWORD taken = 0;
    const bool wasFull = d.rxCount == kRxQueueSize;
    while (taken < size && d.rxCount > 0) {
        out[taken++] = d.rx[d.rxHead];
        d.rxHead = (d.rxHead + 1) % kRxQueueSize;
        --d.rxCount;
    }
    if (wasFull && taken > 0) Wake(d);  // the loop stopped reading while the queue was full
    return taken;
}

void ServeRead(Device& d, long long now) {
    Request& r = d.read;
    if (!r.active) return;
    const DWORD got = TakeInput(d, r.in + r.done, r.size - r.done);
    if (got > 0) {
        r.done += got;
        r.lastByte = NowMsUp();
    }
    if (r.done == r.size || (got > 0 && r.anyByteEnds)) {
        Complete(d, r, kStatusSuccess);
    } else if ((r.deadline && now >= r.deadline) ||
               (r.interval && r.done > 0 && now - r.lastByte > r.interval)) {
        Complete(d, r, STATUS_TIMEOUT);
    }
}

// Hands the kernel what it takes of the pending write; false on a failure.
bool PushOutput(Device& d) {
    Request& w = d.write;
    while (w.done < w.size) {
        const ssize_t put = os.write(d.fd, w.out + w.done, w.size - w.done);
        if (put > 0) {
            w.done += static_cast<DWORD>(put);
            continue;
        }
        return put < 0 && (errno == EAGAIN || errno == EINTR);
    }
    return true;
}

void ServeWrite(Device& d, long long now) {
    Request& w = d.write;
    if (!w.active) return;
    if (!PushOutput(d)) {
        Complete(d, w, kStatusIoDeviceError);
    } else if (w.done == w.size) {
        d.txEmptyDue = true;
        Complete(d, w, kStatusSuccess);
    } else if (w.deadline && now >= w.deadline) {
        Complete(d, w, STATUS_TIMEOUT);  // what the kernel did not take is not sent
    }
}

// Counts of modem-line changes, breaks and line errors since the last look,
// where the device keeps them; else the modem lines themselves.
void UpdateStatus(Device& d) {
    DWORD events = 0;
    if (d.hasCounts) {
        serial_icounter_struct now;
        if (Ioctl(d, TIOCGICOUNT, &now) != 0) return;
        const serial_icounter_struct& was = d.counts;
        if (now.cts != was.cts) events |= EV_CTS;
        if (now.dsr != was.dsr) events |= EV_DSR;
        if (now.dcd != was.dcd) events |= EV_RLSD;
        if (now.rng != was.rng) events |= EV_RING;
        if (now.brk != was.brk) events |= EV_BREAK, d.errors |= CE_BREAK;
        if (now.frame != was.frame) events |= EV_ERR, d.errors |= CE_FRAME;
        if (now.parity != was.parity) events |= EV_ERR, d.errors |= CE_RXPARITY;
        if (now.overrun != was.overrun) events |= EV_ERR, d.errors |= CE_OVERRUN;
        if (now.buf_overrun != was.buf_overrun) d.errors |= CE_RXOVER;
        d.counts = now;
    } else if (d.hasLines) {
        int lines = 0;
        if (Ioctl(d, TIOCMGET, &lines) != 0) return;
        const int changed = lines ^ d.lines;
        if (changed & TIOCM_CTS) events |= EV_CTS;
        if (changed & TIOCM_DSR) events |= EV_DSR;
        if (changed & TIOCM_CD) events |= EV_RLSD;
        if (changed & d.lines & TIOCM_RI) events |= EV_RING;  // the ring's trailing edge
        d.lines = lines;
    }
    Fire(d, events);
}

// Arriving bytes are taken at once only while a read or an event wants them;
// otherwise they wait in the kernel, and the next call takes them.
bool WatchesInput(const Device& d) { return d.read.active || (d.mask & (EV_RXCHAR | EV_RXFLAG)); }

bool WatchesStatus(const Device& d) { return (d.mask & kStatusEvents) && (d.hasCounts || d.hasLines); }

void ServeTxEmpty(Device& d) {
    if (!d.txEmptyDue || d.write.active) return;
    int queued = 0;
    if (Ioctl(d, TIOCOUTQ, &queued) == 0 && queued > 0) return;
    d.txEmptyDue = false;
    Fire(d, EV_TXEMPTY);
}

void Serve(Device& d) {
    const long long now = NowMs();
    ServeRead(d, now);
    ServeWrite(d, now);
    if (WatchesStatus(d)) UpdateStatus(d);
    ServeTxEmpty(d);
}

long long Earliest(long long a, long long b) { return a == 0 ? b : (b == 0 || b > a ? a : b); }

int PollTimeout(const Device& d, long long now) {
    long long until = 0;
    const Request& r = d.read;
    if (r.active) {
        until = Earliest(until, r.deadline);
        if (r.interval && r.done > 0) until = Earliest(until, r.lastByte + r.interval + 1);
    }
    if (d.write.active) until = Earliest(until, d.write.deadline);
    if (d.txEmptyDue || WatchesStatus(d)) until = Earliest(until, now + kStatusTickMs);
    if (d.restUntil > now) until = Earliest(until, d.restUntil);
    if (until == 0) return -1;
    return until > now ? static_cast<int>(until - now) : 0;
}

void* IoThreadMain(void* argument) {
    Device& d = *static_cast<Device*>(argument);
    pthread_mutex_lock(&d.lock);
    while (!d.stop) {
        Serve(d);
        const long long now = NowMs();
        short interest = 0;
        if (WatchesInput(d) && d.rxCount < kRxQueueSize && d.restUntil <= now) interest |= POLLIN;
        if (d.write.active) interest |= POLLOUT;
        pollfd fds[2] = {{d.wake[0], POLLIN, 0}, {interest ? d.fd : -1, interest, 0}};
        const int timeout = PollTimeout(d, now);
        pthread_mutex_unlock(&d.lock);
        const int ready = os.poll(fds, 2, timeout);
        pthread_mutex_lock(&d.lock);
        if (ready < 0 && errno != EINTR) d.restUntil = NowMs() + kHangUpRestMs;
        if (fds[0].revents & POLLIN) {
            BYTE drain[64];
            while (::read(d.wake[0], drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) PullInput(d);
        if (fds[1].revents & POLLHUP) d.restUntil = NowMs() + kHangUpRestMs;
    }
    pthread_mutex_unlock(&d.lock);
    return nullptr;
}

Device* Lock(HANDLE handle) {
    const int index = DeviceOf(handle);
    if (index < 0) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    Device& d = devices[index];
    pthread_mutex_lock(&d.lock);
    return &d;
}

struct Held {
    explicit Held(HANDLE handle) : d(Lock(handle)) {}
    ~Held() {
        if (d) pthread_mutex_unlock(&d->lock);
    }
    Device* d;
};

// Starts r: done at once (TRUE, with the event set as Windows sets it),
// pending (FALSE, ERROR_IO_PENDING) or, without ov, waited for here.
BOOL Begin(Device& d, Request& r, OVERLAPPED* ov, bool doneAtOnce, LPDWORD moved) {
    r.ov = ov ? ov : &r.own;
    r.own.hEvent = nullptr;
    if (ov && ov->hEvent) ResetEvent(ov->hEvent);
    r.ov->Internal = STATUS_PENDING;
    r.ov->InternalHigh = 0;
    r.active = true;
    if (doneAtOnce) {
        Complete(d, r, kStatusSuccess);
        if (moved) *moved = r.done;
        return TRUE;
    }
    Wake(d);
    if (ov) {
        if (moved) *moved = 0;
        return Fail(ERROR_IO_PENDING);
    }
    while (__atomic_load_n(&r.own.Internal, __ATOMIC_ACQUIRE) == STATUS_PENDING)
        pthread_cond_wait(&d.changed, &d.lock);
    if (moved) *moved = static_cast<DWORD>(r.own.InternalHigh);
    return r.own.Internal == kStatusSuccess || r.own.Internal == STATUS_TIMEOUT ? TRUE
                                                                                : Fail(ERROR_IO_DEVICE);
}

long long TotalDeadline(DWORD multiplier, DWORD constant, DWORD size) {
    const long long total = static_cast<long long>(multiplier) * size + constant;
    return total != 0 ? NowMsUp() + total : 0;
}

// The device a name stands for: a path as it is, a COM name only through a
// binding or the map, never by guessing.
bool ResolveName(const char* name, char* path) {
    if (strncmp(name, "\\\\.\\", 4) == 0) name += 4;
    if (name[0] == '/') {
        if (strlen(name) >= kPathSize) return false;
        strcpy(path, name);
        return true;
    }
    if (strncasecmp(name, "COM", 3) != 0 || name[3] < '1' || name[3] > '9') return false;
    char* rest = nullptr;
    const unsigned long number = strtoul(name + 3, &rest, 10);
    return *rest == '\0' && number <= static_cast<unsigned long>(kBindablePorts) &&
           PortPath(static_cast<int>(number) - 1, path);
}

void FillDcb(DCB& dcb, const termios2& t) {
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = t.c_ospeed;
    dcb.fBinary = 1;
    const tcflag_t size = t.c_cflag & CSIZE;
    dcb.ByteSize = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    dcb.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    if (!(t.c_cflag & PARENB)) {
        dcb.Parity = NOPARITY;
    } else if (t.c_cflag & CMSPAR) {
        dcb.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    }
    dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    dcb.fRtsControl = (t.c_cflag & CRTSCTS) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fOutX = (t.c_iflag & IXON) != 0;
    dcb.fInX = (t.c_iflag & IXOFF) != 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
}

// What a Windows port refuses, and what termios cannot do (flow control on
// DSR or DTR, RTS toggled around each write).
DWORD CheckDcb(const DCB& dcb) {
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS)
        return ERROR_INVALID_PARAMETER;
    // 1.5 stop bits only with 5 data bits, 2 never with 5.
    if ((dcb.StopBits == ONE5STOPBITS) != (dcb.ByteSize == 5) && dcb.StopBits != ONESTOPBIT)
        return ERROR_INVALID_PARAMETER;
    if (dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fDtrControl == DTR_CONTROL_HANDSHAKE ||
        dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        return ERROR_NOT_SUPPORTED;
    return ERROR_SUCCESS;
}

// Within 3 %: what a UART's divisor leaves of a rate it can make.
bool RateClose(speed_t taken, DWORD asked) {
    const double ratio = static_cast<double>(taken) / static_cast<double>(asked);
    return ratio > 0.97 && ratio < 1.03;
}

void ToTermios(const DCB& dcb, termios2& t) {
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_iflag = IGNBRK | (dcb.fOutX ? IXON : 0) | (dcb.fInX ? IXOFF : 0);
    t.c_oflag = 0;
    t.c_lflag = 0;
    tcflag_t c = CREAD | CLOCAL | BOTHER | kSizes[dcb.ByteSize - 5];
    if (dcb.StopBits != ONESTOPBIT) c |= CSTOPB;  // 1.5 with 5 data bits
    if (dcb.Parity != NOPARITY) c |= PARENB;
    if (dcb.Parity == ODDPARITY || dcb.Parity == MARKPARITY) c |= PARODD;
    if (dcb.Parity == MARKPARITY || dcb.Parity == SPACEPARITY) c |= CMSPAR;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) c |= CRTSCTS;
    t.c_cflag = c;
    t.c_ispeed = t.c_ospeed = dcb.BaudRate;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

// A line the device has no control of (a pseudo-terminal has none) is left.
void ApplyControlLines(const Device& d) {
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    Ioctl(d, d.dcb.fDtrControl == DTR_CONTROL_DISABLE ? TIOCMBIC : TIOCMBIS, &dtr);
    if (d.dcb.fRtsControl != RTS_CONTROL_HANDSHAKE)
        Ioctl(d, d.dcb.fRtsControl == RTS_CONTROL_DISABLE ? TIOCMBIC : TIOCMBIS, &rts);
}

void CancelAll(Device& d) {
    for (Request* r : {&d.read, &d.write, &d.wait})
        if (r->active) Complete(d, *r, STATUS_CANCELLED);
}

void ReleaseDevice(Device& d) {
    if (d.wake[0] >= 0) os.close(d.wake[0]);
    if (d.wake[1] >= 0) os.close(d.wake[1]);
    if (d.fd >= 0) {
        Ioctl(d, TIOCNXCL, nullptr);
        os.close(d.fd);
    }
    pthread_mutex_lock(&devicesLock);
    d.used = false;
    pthread_mutex_unlock(&devicesLock);
}

// Opens path into d, up to a running I/O thread: 0, or the errno of the step
// that failed (everything acquired released).
int OpenDevice(Device& d, const char* path) {
    d.fd = os.open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (d.fd < 0) return errno;
    termios2 t;
    // Windows holds a port for one handle; flock keeps other processes out
    // (TIOCEXCL does not stop root), and the library refuses a second open
    // of its own.
    if (Ioctl(d, TCGETS2, &t) != 0) return errno;
    if (os.flock(d.fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EACCES : errno;
    Ioctl(d, TIOCEXCL, nullptr);
    if (os.pipe(d.wake) != 0) return errno;
    FillDcb(d.dcb, t);
    ToTermios(d.dcb, t);  // raw from the start: no echo, no line editing, no translation
    if (Ioctl(d, TCSETS2, &t) != 0) return errno;
    memset(&d.timeouts, 0, sizeof d.timeouts);
    d.mask = d.occurred = d.errors = 0;
    d.rxHead = d.rxCount = 0;
    d.read.active = d.write.active = d.wait.active = false;
    d.txEmptyDue = false;
    d.restUntil = 0;
    d.stop = false;
    d.hasCounts = Ioctl(d, TIOCGICOUNT, &d.counts) == 0;
    d.hasLines = Ioctl(d, TIOCMGET, &d.lines) == 0;
    return os.threadCreate(&d.thread, nullptr, IoThreadMain, &d);
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    pthread_once(&devicesOnce, InitDevices);
    char path[kPathSize];
    if (!name || !ResolveName(name, path)) {
        Fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int index = -1;
    pthread_mutex_lock(&devicesLock);
    for (int i = 0; i < kDeviceCount && index < 0; ++i)
        if (!devices[i].used) index = i;
    if (index >= 0) devices[index].used = true;
    pthread_mutex_unlock(&devicesLock);
    if (index < 0) {
        Fail(4);  // too many open files
        return INVALID_HANDLE_VALUE;
    }
    Device& d = devices[index];
    d.fd = d.wake[0] = d.wake[1] = -1;
    const int error = OpenDevice(d, path);
    if (error != 0) {
        ReleaseDevice(d);
        FailErrno(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = NewObject(Kind::kDevice, index);
    if (!handle) {
        CloseDevice(index);
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

void CloseDevice(int index) {
    Device& d = devices[index];
    pthread_mutex_lock(&d.lock);
    d.stop = true;
    CancelAll(d);  // a closed handle ends its requests
    Wake(d);
    pthread_mutex_unlock(&d.lock);
    pthread_join(d.thread, nullptr);
    ReleaseDevice(d);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED ov) {
    Held held(file);
    if (!held.d) return FALSE;
    Device& d = *held.d;
    Request& r = d.read;
    if (r.active) return Fail(ERROR_INVALID_PARAMETER);
    PullInput(d);
    r.in = static_cast<BYTE*>(buffer);
    r.size = size;
    r.done = TakeInput(d, r.in, size);
    r.lastByte = NowMsUp();
    r.deadline = 0;
    r.interval = 0;
    r.anyByteEnds = false;
    const COMMTIMEOUTS& t = d.timeouts;
    bool atOnce = r.done == size;
    if (t.ReadIntervalTimeout == MAXDWORD) {
        if (t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) atOnce = true;
        // Both MAXDWORD and a constant: what is there, else the first byte to come.
        r.anyByteEnds = t.ReadTotalTimeoutMultiplier == MAXDWORD && t.ReadTotalTimeoutConstant != MAXDWORD;
        if (r.anyByteEnds && r.done > 0) atOnce = true;
    } else {
        r.interval = t.ReadIntervalTimeout;
    }
    if (!atOnce)
        r.deadline =
            TotalDeadline(r.anyByteEnds ? 0 : t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, size);
    return Begin(d, r, ov, atOnce, read);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED ov) {
    Held held(file);
    if (!held.d) return FALSE;
    Device& d = *held.d;
    Request& w = d.write;
    if (w.active) return Fail(ERROR_INVALID_PARAMETER);
    w.out = static_cast<const BYTE*>(buffer);
    w.size = count;
    w.done = 0;
    if (!PushOutput(d)) return FailErrno(errno);
    const bool atOnce = w.done == count;
    if (atOnce) d.txEmptyDue = true;
    w.deadline = atOnce ? 0
                        : TotalDeadline(d.timeouts.WriteTotalTimeoutMultiplier,
                                        d.timeouts.WriteTotalTimeoutConstant, count);
    const BOOL started = Begin(d, w, ov, atOnce, written);
    if (atOnce) {
        ServeTxEmpty(d);  // after the write's completion; an empty queue needs no look of the loop's
        if (d.txEmptyDue) Wake(d);
    }
    return started;
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait) {
    Held held(file);
    if (!held.d) return FALSE;
    while (__atomic_load_n(&ov->Internal, __ATOMIC_ACQUIRE) == STATUS_PENDING) {
        if (!wait) return Fail(996);  // ERROR_IO_INCOMPLETE
        pthread_cond_wait(&held.d->changed, &held.d->lock);
    }
    *transferred = static_cast<DWORD>(ov->InternalHigh);
    if (ov->Internal == kStatusSuccess || ov->Internal == STATUS_TIMEOUT) return TRUE;
    return Fail(ov->Internal == STATUS_CANCELLED ? ERROR_OPERATION_ABORTED : ERROR_IO_DEVICE);
}

// A cancelled request reports the bytes it moved: they have left the
// receive queue (or gone to the kernel) and would otherwise be lost.
// cppcheck-suppress constParameter ; the system's signature
BOOL CancelIoEx(HANDLE file, LPOVERLAPPED ov) {
    Held held(file);
    if (!held.d) return FALSE;
    bool found = false;
    for (Request* r : {&held.d->read, &held.d->write, &held.d->wait}) {
        if (!r->active || (ov && r->ov != ov)) continue;
        Complete(*held.d, *r, STATUS_CANCELLED);
        found = true;
    }
    return found ? TRUE : Fail(ERROR_NOT_FOUND);
}

BOOL CancelIo(HANDLE file) {
    Held held(file);
    if (!held.d) return FALSE;
    CancelAll(*held.d);
    return TRUE;
}

BOOL GetCommState(HANDLE file, LPDCB dcb) {
    Held held(file);
    if (!held.d) return FALSE;
    *dcb = held.d->dcb;
    return TRUE;
}

BOOL SetCommState(HANDLE file, LPDCB dcb) {
    Held held(file);
    if (!held.d) return FALSE;
    Device& d = *held.d;
    const DWORD refused = CheckDcb(*dcb);
    if (refused != ERROR_SUCCESS) return Fail(refused);
    termios2 before;
    if (Ioctl(d, TCGETS2, &before) != 0) return FailErrno(errno);
    termios2 t = before;
    ToTermios(*dcb, t);
    if (Ioctl(d, TCSETS2, &t) != 0) return FailErrno(errno);
    // A driver takes the nearest rate its clock makes; one too far from the
    // rate asked for is refused, as a Windows port refuses it.
    termios2 taken;
    if (Ioctl(d, TCGETS2, &taken) == 0 && !RateClose(taken.c_ospeed, dcb->BaudRate)) {
        Ioctl(d, TCSETS2, &before);
        return Fail(ERROR_INVALID_PARAMETER);
    }
    d.dcb = *dcb;
    ApplyControlLines(d);
    return TRUE;
}

BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    Held held(file);
    if (!held.d) return FALSE;
    *timeouts = held.d->timeouts;
    return TRUE;
}

// cppcheck-suppress constParameter ; the system's signature
BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    Held held(file);
    if (!held.d) return FALSE;
    held.d->timeouts = *timeouts;
    return TRUE;
}

// The receive queue has a fixed size; the kernel's buffer lies behind it.
BOOL SetupComm(HANDLE file, DWORD, DWORD) {
    Held held(file);
    return held.d ? TRUE : FALSE;
}

BOOL PurgeComm(HANDLE file, DWORD flags) {
    Held held(file);
    if (!held.d) return FALSE;
    Device& d = *held.d;
    if ((flags & PURGE_RXABORT) && d.read.active) Complete(d, d.read, STATUS_CANCELLED);
    if ((flags & PURGE_TXABORT) && d.write.active) Complete(d, d.write, STATUS_CANCELLED);
    if (flags & PURGE_RXCLEAR) {
        d.rxCount = 0;
        if (IoctlValue(d, TCFLSH, TCIFLUSH) != 0) return FailErrno(errno);
        Wake(d);
    }
    if ((flags & PURGE_TXCLEAR) && IoctlValue(d, TCFLSH, TCOFLUSH) != 0) return FailErrno(errno);
    return TRUE;
}

BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT status) {
    Held held(file);
    if (!held.d) return FALSE;
    Device& d = *held.d;
    PullInput(d);
    if (d.hasCounts) UpdateStatus(d);
    if (errors) *errors = d.errors;
    d.errors = 0;
    if (status) {
        memset(status, 0, sizeof *status);
        int kernelIn = 0;
        int kernelOut = 0;
        Ioctl(d, FIONREAD, &kernelIn);
        Ioctl(d, TIOCOUTQ, &kernelOut);
        status->cbInQue = d.rxCount + static_cast<DWORD>(kernelIn > 0 ? kernelIn : 0);
        status->cbOutQue = (d.write.active ? d.write.size - d.write.done : 0) +
                           static_cast<DWORD>(kernelOut > 0 ? kernelOut : 0);
    }
    return TRUE;
}

BOOL EscapeCommFunction(HANDLE file, DWORD function) {
    Held held(file);
    if (!held.d) return FALSE;
    const Device& d = *held.d;
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    int result = 0;
    switch (function) {
        case SETDTR: result = Ioctl(d, TIOCMBIS, &dtr); break;
        case CLRDTR: result = Ioctl(d, TIOCMBIC, &dtr); break;
        case SETRTS: result = Ioctl(d, TIOCMBIS, &rts); break;
        case CLRRTS: result = Ioctl(d, TIOCMBIC, &rts); break;
        case SETBREAK: result = Ioctl(d, TIOCSBRK, nullptr); break;
        case CLRBREAK: result = Ioctl(d, TIOCCBRK, nullptr); break;
        case SETXOFF: result = IoctlValue(d, TCXONC, TCOOFF); break;
        case SETXON: result = IoctlValue(d, TCXONC, TCOON); break;
        case RESETDEV: return TRUE;  // no device here has a reset of its own
        default: return Fail(ERROR_INVALID_PARAMETER);
    }
    return result == 0 ? TRUE : FailErrno(errno);
}

BOOL GetCommModemStatus(HANDLE file, LPDWORD status) {
    Held held(file);
    if (!held.d) return FALSE;
    int lines = 0;
    if (Ioctl(*held.d, TIOCMGET, &lines) != 0) return FailErrno(errno);
    DWORD modem = 0;
    if (lines & TIOCM_CTS) modem |= MS_CTS_ON;
    if (lines & TIOCM_DSR) modem |= MS_DSR_ON;
    if (lines & TIOCM_RI) modem |= MS_RING_ON;
    if (lines & TIOCM_CD) modem |= MS_RLSD_ON;
    *status = modem;
    return TRUE;
}

BOOL SetCommBreak(HANDLE file) { return EscapeCommFunction(file, SETBREAK); }

BOOL ClearCommBreak(HANDLE file) { return EscapeCommFunction(file, CLRBREAK); }

BOOL SetCommMask(HANDLE file, DWORD mask) {
    Held held(file);
    if (!held.d) return FALSE;
    Device& d = *held.d;
    if (d.wait.active) {
        *d.wait.maskOut = 0;  // a new mask ends the wait with no event
        Complete(d, d.wait, kStatusSuccess);
    }
    // What came before the new mask is no event of it: taken under the old one.
    PullInput(d);
    if ((mask & kStatusEvents) && !(d.mask & kStatusEvents) && d.hasCounts) UpdateStatus(d);
    d.mask = mask;
    d.occurred &= mask;  // what came before and the new mask still asks for is kept
    Wake(d);
    return TRUE;
}

BOOL WaitCommEvent(HANDLE file, LPDWORD mask, LPOVERLAPPED ov) {
    Held held(file);
    if (!held.d) return FALSE;
    Device& d = *held.d;
    Request& w = d.wait;
    if (w.active || d.mask == 0) return Fail(ERROR_INVALID_PARAMETER);
    PullInput(d);
    w.maskOut = mask;
    w.done = 0;
    const DWORD occurred = d.occurred & d.mask;
    if (occurred) {
        *mask = occurred;
        d.occurred = 0;
    }
    return Begin(d, w, ov, occurred != 0, nullptr);
}

}  // namespace posix
}  // namespace sio
