// The driver keeps every device in static storage (no heap, so the heap
// count of the library can run over it) behind one critical section. Data
// moves write request -> transmit queue -> peer's receive queue -> read
// request in one pump that runs after every call that can unblock something.
#include "virtual_serial_driver.h"

#include <string.h>

#include <initializer_list>

namespace {

constexpr ULONG_PTR kStatusSuccess = 0;
constexpr ULONG_PTR kStatusPending = 0x103;
constexpr ULONG_PTR kStatusCancelled = 0xC0000120;
constexpr DWORD kRingSize = 65536;
constexpr DWORD kDefaultQueue = 4096;
constexpr DWORD kLargestQueue = 1u << 20;  // SetupComm refuses more, as a driver out of memory would
constexpr int kMaxHeld = 16;

struct Ring {
    BYTE data[kRingSize];
    DWORD head, count, capacity;
    DWORD Free() const { return capacity > count ? capacity - count : 0; }
    void Clear() { head = count = 0; }
    void Push(BYTE b) {
        data[(head + count) % kRingSize] = b;
        ++count;
    }
    BYTE Pop() {
        BYTE b = data[head];
        head = (head + 1) % kRingSize;
        --count;
        return b;
    }
};

// One outstanding read, write or event wait.
struct Request {
    bool active;
    bool internal;  // the driver's own OVERLAPPED for a synchronous handle: never held
    OVERLAPPED* ov;
    BYTE* in;
    const BYTE* out;
    DWORD size, done;
    DWORD* maskOut;
};

struct Held {
    OVERLAPPED* ov;
    ULONG_PTR status;
    DWORD count;
    DWORD* maskOut;
    DWORD mask;
};

struct Device {
    HANDLE handle;
    bool open, overlapped;
    int peer;
    DCB dcb;
    COMMTIMEOUTS timeouts;
    DWORD rxSize, txSize;
    Ring rx, tx;
    DWORD errors, mask, occurred;
    bool dtr, rts, breakOn, ring;
    Request read, write, wait;
    long waitsStarted;
    bool hold;
    Held held[kMaxHeld];
    int heldCount;
};

Device devices[VirtualSerialDriver::kPorts];
CRITICAL_SECTION lock;
bool lockReady = false;
sio::SysTable saved;

struct Locked {
    Locked() { ::EnterCriticalSection(&lock); }
    ~Locked() { ::LeaveCriticalSection(&lock); }
};

Device* Find(HANDLE h) {
    for (Device& d : devices)
        if (d.open && d.handle == h) return &d;
    return nullptr;
}

Device& Peer(const Device& d) { return devices[d.peer]; }

BOOL Fail(DWORD error) {
    ::SetLastError(error);
    return FALSE;
}

// The driver's own start values, different from every value the library's
// open writes, so a field the open should leave alone shows when touched.
DCB StartDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 1200;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fOutxDsrFlow = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 1;
    dcb.fErrorChar = 1;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = 0x7E;
    return dcb;
}

void Deliver(OVERLAPPED* ov, ULONG_PTR status, DWORD count, DWORD* maskOut, DWORD mask) {
    if (maskOut) *maskOut = mask;
    ov->InternalHigh = count;
    ov->Internal = status;  // last: Internal is what says the system is done
    if (ov->hEvent) ::SetEvent(ov->hEvent);
}

void Complete(Device& d, Request& r, ULONG_PTR status, DWORD mask = 0) {
    r.active = false;
    if (d.hold && !r.internal && d.heldCount < kMaxHeld) {
        d.held[d.heldCount++] = Held{r.ov, status, r.done, r.maskOut, mask};
        return;
    }
    Deliver(r.ov, status, r.done, r.maskOut, mask);
}

void Fire(Device& d, DWORD events) {
    DWORD wanted = events & d.mask;
    if (!d.open || !wanted) return;
    if (d.wait.active) {
        Complete(d, d.wait, kStatusSuccess, wanted);
    } else {
        d.occurred |= wanted;
    }
}

DWORD Inputs(const Device& d) {
    const Device& p = Peer(d);
    DWORD status = 0;
    if (p.open && p.rts) status |= MS_CTS_ON;
    if (p.open && p.dtr) status |= MS_DSR_ON | MS_RLSD_ON;
    if (d.ring) status |= MS_RING_ON;
    return status;
}

void Pump();

// Changes this end's outputs and tells the far end what its inputs did.
void SetOutputs(Device& d, bool dtr, bool rts) {
    Device& p = Peer(d);
    DWORD before = Inputs(p);
    d.dtr = dtr;
    d.rts = rts;
    DWORD changed = before ^ Inputs(p);
    DWORD events = 0;
    if (changed & MS_CTS_ON) events |= EV_CTS;
    if (changed & MS_DSR_ON) events |= EV_DSR;
    if (changed & MS_RLSD_ON) events |= EV_RLSD;
    Fire(p, events);
    Pump();
}

void ApplyControlModes(Device& d) {
    bool dtr = d.dcb.fDtrControl != DTR_CONTROL_DISABLE;
    bool rts = d.dcb.fRtsControl == RTS_CONTROL_ENABLE || d.dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
    SetOutputs(d, dtr, rts);
}

bool MayTransmit(const Device& d) {
    if (d.breakOn) return false;
    return !(d.dcb.fOutxCtsFlow && !(Inputs(d) & MS_CTS_ON));
}

// Moves bytes one step along every cable; true when anything moved.
bool PumpOnce(Device& d) {
    bool moved = false;
    Request& w = d.write;
    while (w.active && w.done < w.size && d.tx.Free() > 0) {
        d.tx.Push(w.out[w.done++]);
        moved = true;
    }
    if (w.active && w.done == w.size) Complete(d, w, kStatusSuccess);

    Device& p = Peer(d);
    if (d.tx.count > 0 && MayTransmit(d)) {
        DWORD events = 0;
        while (d.tx.count > 0 && (!p.open || p.rx.Free() > 0)) {
            BYTE b = d.tx.Pop();
            moved = true;
            if (!p.open) continue;  // nobody at the far end: the byte is gone
            p.rx.Push(b);
            events |= EV_RXCHAR;
            if (b == static_cast<BYTE>(p.dcb.EvtChar)) events |= EV_RXFLAG;
        }
        Fire(p, events);
        if (d.tx.count == 0) Fire(d, EV_TXEMPTY);
    }

    Request& r = d.read;
    while (r.active && r.done < r.size && d.rx.count > 0) {
        r.in[r.done++] = d.rx.Pop();
        moved = true;
    }
    if (r.active && r.done == r.size) Complete(d, r, kStatusSuccess);
    return moved;
}

void Pump() {
    bool moved = true;
    while (moved) {
        moved = false;
        for (Device& d : devices)
            if (d.open && PumpOnce(d)) moved = true;
    }
}

void Cancel(Device& d, Request& r) {
    if (r.active) Complete(d, r, kStatusCancelled);
}

void CancelAll(Device& d) {
    Cancel(d, d.read);
    Cancel(d, d.write);
    Cancel(d, d.wait);
}

// Starts an operation on the caller's OVERLAPPED, or for a synchronous
// handle on the driver's own one, which the caller then waits for.
BOOL StartPending(Request& r, OVERLAPPED* ov, OVERLAPPED* own) {
    r.active = true;
    r.internal = ov == nullptr;
    r.ov = ov ? ov : own;
    r.ov->Internal = kStatusPending;
    if (ov) ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

// Completes an operation at once, the Windows way for an overlapped handle.
BOOL CompleteAtOnce(OVERLAPPED* ov, DWORD count, LPDWORD reported) {
    if (reported) *reported = count;
    if (ov) Deliver(ov, kStatusSuccess, count, nullptr, 0);
    return TRUE;
}

// Waits, outside the lock, for an operation of a synchronous handle.
BOOL FinishSynchronous(OVERLAPPED& own, LPDWORD reported) {
    ::WaitForSingleObject(own.hEvent, INFINITE);
    ::CloseHandle(own.hEvent);
    if (reported) *reported = static_cast<DWORD>(own.InternalHigh);
    return own.Internal == kStatusSuccess ? TRUE : Fail(ERROR_OPERATION_ABORTED);
}

int PortOfName(LPCSTR name) {
    if (!name) return -1;
    if (strncmp(name, "\\\\.\\", 4) == 0) name += 4;
    if (strncmp(name, "COM", 3) != 0) return -1;
    int number = 0;
    for (const char* c = name + 3; *c; ++c) {
        if (*c < '0' || *c > '9' || number > 1000) return -1;
        number = number * 10 + (*c - '0');
    }
    return number >= 1 && number <= VirtualSerialDriver::kPorts ? number - 1 : -1;
}

// ---- The system calls -------------------------------------------------

HANDLE WINAPI DriverCreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE) {
    Locked hold;
    int port = PortOfName(name);
    if (port < 0) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    Device& d = devices[port];
    if (d.open) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // A real handle stands for the device, so closing it works exactly once.
    HANDLE h = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!h) return INVALID_HANDLE_VALUE;
    d.handle = h;
    d.open = true;
    d.overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    d.rx.Clear();
    d.tx.Clear();
    d.errors = d.mask = d.occurred = 0;
    d.breakOn = false;
    ApplyControlModes(d);
    return h;
}

BOOL WINAPI DriverCloseHandle(HANDLE h) {
    {
        Locked hold;
        Device* d = Find(h);
        if (d) {
            CancelAll(*d);
            d->mask = 0;
            SetOutputs(*d, false, false);
            d->open = false;
            d->breakOn = false;
            d->rx.Clear();
            d->tx.Clear();
        }
    }
    return saved.CloseHandle(h);
}

BOOL WINAPI DriverReadFile(HANDLE h, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED ov) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if ((d->overlapped && !ov) || d->read.active) return Fail(ERROR_INVALID_PARAMETER);
    if (ov && ov->hEvent) ::ResetEvent(ov->hEvent);
    Request& r = d->read;
    r = Request{};
    r.in = static_cast<BYTE*>(buffer);
    r.size = size;
    while (r.done < size && d->rx.count > 0) r.in[r.done++] = d->rx.Pop();
    const COMMTIMEOUTS& t = d->timeouts;
    bool atOnce = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                  t.ReadTotalTimeoutConstant == 0;
    // A synchronous read never blocks here: it has no time-out timer to end it.
    if (r.done == size || atOnce || !ov) {
        DWORD count = r.done;
        Pump();  // room in the receive queue lets the far end send on
        return CompleteAtOnce(ov, count, got);
    }
    if (got) *got = 0;
    Pump();
    return StartPending(r, ov, nullptr);
}

BOOL WINAPI DriverWriteFile(HANDLE h, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED ov) {
    OVERLAPPED own{};
    {
        Locked hold;
        Device* d = Find(h);
        if (!d) return Fail(ERROR_INVALID_HANDLE);
        if ((d->overlapped && !ov) || d->write.active) return Fail(ERROR_INVALID_PARAMETER);
        if (ov && ov->hEvent) ::ResetEvent(ov->hEvent);
        Request& w = d->write;
        w = Request{};
        w.out = static_cast<const BYTE*>(buffer);
        w.size = size;
        w.active = true;
        w.internal = true;  // a write that completes inside this pump is reported at once
        w.ov = &own;
        Pump();
        if (!w.active) return CompleteAtOnce(ov, size, written);
        if (written) *written = 0;
        if (ov) return StartPending(w, ov, nullptr);
        own.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        StartPending(w, nullptr, &own);
    }
    return FinishSynchronous(own, written);
}

BOOL WINAPI DriverGetOverlappedResult(HANDLE h, LPOVERLAPPED ov, LPDWORD count, BOOL wait) {
    if (ov->Internal == kStatusPending) {
        if (!wait) return Fail(ERROR_IO_INCOMPLETE);
        ::WaitForSingleObject(ov->hEvent ? ov->hEvent : h, INFINITE);
        if (ov->Internal == kStatusPending) return Fail(ERROR_IO_INCOMPLETE);  // the event was set by someone else
    }
    *count = static_cast<DWORD>(ov->InternalHigh);
    if (ov->Internal == kStatusSuccess) return TRUE;
    return Fail(ov->Internal == kStatusCancelled ? ERROR_OPERATION_ABORTED : ERROR_GEN_FAILURE);
}

BOOL WINAPI DriverCancelIoEx(HANDLE h, LPOVERLAPPED ov) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    bool found = false;
    for (Request* r : {&d->read, &d->write, &d->wait}) {
        if (r->active && !r->internal && (!ov || r->ov == ov)) {
            Cancel(*d, *r);
            found = true;
        }
    }
    return found ? TRUE : Fail(ERROR_NOT_FOUND);
}

BOOL WINAPI DriverCancelIo(HANDLE h) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    CancelAll(*d);
    return TRUE;
}

bool ValidDcb(const DCB& dcb) {
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8) return false;
    if (dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS) return false;
    if (dcb.ByteSize == 5 && dcb.StopBits == TWOSTOPBITS) return false;
    if (dcb.ByteSize > 5 && dcb.StopBits == ONE5STOPBITS) return false;
    if (dcb.fDtrControl > DTR_CONTROL_HANDSHAKE) return false;
    return !((dcb.fInX || dcb.fOutX) && dcb.XonChar == dcb.XoffChar);
}

BOOL WINAPI DriverGetCommState(HANDLE h, LPDCB dcb) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if (!dcb) return Fail(ERROR_INVALID_PARAMETER);
    *dcb = d->dcb;
    return TRUE;
}

BOOL WINAPI DriverSetCommState(HANDLE h, LPDCB dcb) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if (!dcb || !ValidDcb(*dcb)) return Fail(ERROR_INVALID_PARAMETER);
    d->dcb = *dcb;
    ApplyControlModes(*d);
    return TRUE;
}

BOOL WINAPI DriverGetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if (!t) return Fail(ERROR_INVALID_PARAMETER);
    *t = d->timeouts;
    return TRUE;
}

BOOL WINAPI DriverSetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if (!t) return Fail(ERROR_INVALID_PARAMETER);
    d->timeouts = *t;
    return TRUE;
}

DWORD QueueCapacity(DWORD size) {
    if (size < 16) return 16;
    return size > kRingSize ? kRingSize : size;
}

BOOL WINAPI DriverSetupComm(HANDLE h, DWORD rxSize, DWORD txSize) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if (rxSize > kLargestQueue || txSize > kLargestQueue) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    d->rxSize = rxSize;
    d->txSize = txSize;
    d->rx.capacity = QueueCapacity(rxSize);
    d->tx.capacity = QueueCapacity(txSize);
    return TRUE;
}

BOOL WINAPI DriverPurgeComm(HANDLE h, DWORD flags) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if (flags & ~static_cast<DWORD>(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return Fail(ERROR_INVALID_PARAMETER);
    if (flags & PURGE_TXABORT) Cancel(*d, d->write);
    if (flags & PURGE_RXABORT) Cancel(*d, d->read);
    if (flags & PURGE_TXCLEAR) d->tx.Clear();
    if (flags & PURGE_RXCLEAR) d->rx.Clear();
    Pump();
    return TRUE;
}

BOOL WINAPI DriverClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if (errors) *errors = d->errors;
    d->errors = 0;
    if (stat) {
        *stat = COMSTAT{};
        stat->cbInQue = d->rx.count;
        stat->cbOutQue = d->tx.count + (d->write.active ? d->write.size - d->write.done : 0);
        stat->fCtsHold = d->dcb.fOutxCtsFlow && !(Inputs(*d) & MS_CTS_ON);
    }
    return TRUE;
}

BOOL SetBreak(Device& d, bool on) {
    if (on && !d.breakOn) {
        Device& p = Peer(d);
        if (p.open) {
            p.errors |= CE_BREAK;
            Fire(p, EV_BREAK);
        }
    }
    d.breakOn = on;
    Pump();
    return TRUE;
}

BOOL WINAPI DriverEscapeCommFunction(HANDLE h, DWORD function) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    bool dtrHandshake = d->dcb.fDtrControl == DTR_CONTROL_HANDSHAKE;
    bool rtsAutomatic = d->dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || d->dcb.fRtsControl == RTS_CONTROL_TOGGLE;
    switch (function) {
        case SETDTR:
        case CLRDTR:
            if (dtrHandshake) return Fail(ERROR_INVALID_PARAMETER);
            SetOutputs(*d, function == SETDTR, d->rts);
            return TRUE;
        case SETRTS:
        case CLRRTS:
            if (rtsAutomatic) return Fail(ERROR_INVALID_PARAMETER);
            SetOutputs(*d, d->dtr, function == SETRTS);
            return TRUE;
        case SETBREAK:
        case CLRBREAK:
            return SetBreak(*d, function == SETBREAK);
        case SETXOFF:
        case SETXON:
        case RESETDEV:
            return TRUE;
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL WINAPI DriverGetCommModemStatus(HANDLE h, LPDWORD status) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    *status = Inputs(*d);
    return TRUE;
}

BOOL WINAPI DriverSetCommBreak(HANDLE h) {
    Locked hold;
    Device* d = Find(h);
    return d ? SetBreak(*d, true) : Fail(ERROR_INVALID_HANDLE);
}

BOOL WINAPI DriverClearCommBreak(HANDLE h) {
    Locked hold;
    Device* d = Find(h);
    return d ? SetBreak(*d, false) : Fail(ERROR_INVALID_HANDLE);
}

BOOL WINAPI DriverSetCommMask(HANDLE h, DWORD mask) {
    Locked hold;
    Device* d = Find(h);
    if (!d) return Fail(ERROR_INVALID_HANDLE);
    if (d->wait.active) Complete(*d, d->wait, kStatusSuccess, 0);  // a new mask ends the wait with no event
    d->mask = mask;
    d->occurred = 0;
    return TRUE;
}

BOOL WINAPI DriverWaitCommEvent(HANDLE h, LPDWORD maskOut, LPOVERLAPPED ov) {
    OVERLAPPED own{};
    {
        Locked hold;
        Device* d = Find(h);
        if (!d) return Fail(ERROR_INVALID_HANDLE);
        if ((d->overlapped && !ov) || d->wait.active || d->mask == 0) return Fail(ERROR_INVALID_PARAMETER);
        if (ov && ov->hEvent) ::ResetEvent(ov->hEvent);
        ++d->waitsStarted;
        if (d->occurred & d->mask) {
            *maskOut = d->occurred & d->mask;
            d->occurred = 0;
            return CompleteAtOnce(ov, 0, nullptr);
        }
        Request& w = d->wait;
        w = Request{};
        w.maskOut = maskOut;
        if (ov) return StartPending(w, ov, nullptr);
        own.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        StartPending(w, nullptr, &own);
    }
    return FinishSynchronous(own, nullptr);
}

Device& At(int port) { return devices[port]; }

}  // namespace

VirtualSerialDriver::VirtualSerialDriver() {
    if (!lockReady) {
        ::InitializeCriticalSection(&lock);
        lockReady = true;
    }
    saved = sio::sys;
    for (int port = 0; port < kPorts; ++port) {
        Device& d = devices[port];
        d.handle = nullptr;
        d.open = d.overlapped = false;
        d.peer = port ^ 1;
        d.dcb = StartDcb();
        d.timeouts = COMMTIMEOUTS{};
        d.rxSize = d.txSize = 0;
        d.rx.Clear();
        d.tx.Clear();
        d.rx.capacity = d.tx.capacity = kDefaultQueue;
        d.errors = d.mask = d.occurred = 0;
        d.dtr = d.rts = d.breakOn = d.ring = false;
        d.read = d.write = d.wait = Request{};
        d.waitsStarted = 0;
        d.hold = false;
        d.heldCount = 0;
    }
    sio::SysTable& t = sio::sys;
    t.CreateFileA = DriverCreateFileA;
    t.CloseHandle = DriverCloseHandle;
    t.ReadFile = DriverReadFile;
    t.WriteFile = DriverWriteFile;
    t.GetOverlappedResult = DriverGetOverlappedResult;
    t.CancelIo = DriverCancelIo;
    t.CancelIoEx = DriverCancelIoEx;
    t.GetCommState = DriverGetCommState;
    t.SetCommState = DriverSetCommState;
    t.GetCommTimeouts = DriverGetCommTimeouts;
    t.SetCommTimeouts = DriverSetCommTimeouts;
    t.SetupComm = DriverSetupComm;
    t.PurgeComm = DriverPurgeComm;
    t.ClearCommError = DriverClearCommError;
    t.EscapeCommFunction = DriverEscapeCommFunction;
    t.GetCommModemStatus = DriverGetCommModemStatus;
    t.SetCommBreak = DriverSetCommBreak;
    t.ClearCommBreak = DriverClearCommBreak;
    t.SetCommMask = DriverSetCommMask;
    t.WaitCommEvent = DriverWaitCommEvent;
}

VirtualSerialDriver::~VirtualSerialDriver() {
    sio::sys = saved;
    Locked hold;
    // Devices a test left open go with the driver; what was held back is dropped.
    for (Device& d : devices) {
        if (d.open) ::CloseHandle(d.handle);
        d.open = false;
        d.heldCount = 0;
    }
}

bool VirtualSerialDriver::IsOpen(int port) {
    Locked hold;
    return At(port).open;
}

DCB VirtualSerialDriver::Dcb(int port) {
    Locked hold;
    return At(port).dcb;
}

void VirtualSerialDriver::SetDcb(int port, const DCB& dcb) {
    Locked hold;
    At(port).dcb = dcb;
}

COMMTIMEOUTS VirtualSerialDriver::Timeouts(int port) {
    Locked hold;
    return At(port).timeouts;
}

DWORD VirtualSerialDriver::RxQueueSize(int port) {
    Locked hold;
    return At(port).rxSize;
}

DWORD VirtualSerialDriver::TxQueueSize(int port) {
    Locked hold;
    return At(port).txSize;
}

DWORD VirtualSerialDriver::Queued(int port) {
    Locked hold;
    return At(port).rx.count;
}

DWORD VirtualSerialDriver::ModemStatus(int port) {
    Locked hold;
    return Inputs(At(port));
}

void VirtualSerialDriver::SetRing(int port, bool on) {
    Locked hold;
    Device& d = At(port);
    bool raised = on && !d.ring;
    d.ring = on;
    if (raised) Fire(d, EV_RING);
}

void VirtualSerialDriver::InjectErrors(int port, DWORD ce) {
    Locked hold;
    Device& d = At(port);
    d.errors |= ce;
    if (ce & (CE_FRAME | CE_RXPARITY | CE_OVERRUN)) Fire(d, EV_ERR);
}

void VirtualSerialDriver::Hold(int port, bool on) {
    Locked hold;
    At(port).hold = on;
}

int VirtualSerialDriver::ReleaseHeld(int port) {
    Locked hold;
    Device& d = At(port);
    int count = d.heldCount;
    for (int i = 0; i < count; ++i) {
        const Held& h = d.held[i];
        Deliver(h.ov, h.status, h.count, h.maskOut, h.mask);
    }
    d.heldCount = 0;
    return count;
}

int VirtualSerialDriver::HeldCount(int port) {
    Locked hold;
    return At(port).heldCount;
}

bool VirtualSerialDriver::WaitPending(int port) {
    Locked hold;
    return At(port).wait.active;
}

long VirtualSerialDriver::WaitsStarted(int port) {
    Locked hold;
    return At(port).waitsStarted;
}

bool VirtualSerialDriver::WaitUntilPending(int port, long after, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        {
            Locked hold;
            const Device& d = At(port);
            if (d.wait.active && d.waitsStarted > after) return true;
        }
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(1);
    }
}

DWORD VirtualSerialDriver::Mask(int port) {
    Locked hold;
    return At(port).mask;
}
