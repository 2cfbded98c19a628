// Devices in static storage (no heap, so the library's heap count can run
// over them). Data moves write request -> transmit queue -> the far end's
// receive queue -> read request in one pump that runs after every call that
// can unblock something and on every tick of the driver's clock. The line
// takes its time: a character leaves the transmit queue only once the time
// its bits take at the device's baud rate has passed.
#include "virtual_device.h"

namespace vsd {

Device devices[VirtualSerialDriver::kDevices];
CRITICAL_SECTION lock;
bool lockReady = false;
sio::SysTable saved;

Device* Find(HANDLE h) {
    for (Device& d : devices)
        if (d.open && d.handle == h) return &d;
    return nullptr;
}

SyncGate::SyncGate(HANDLE h) {
    {
        Locked hold;
        Device* d = Find(h);
        if (d && !d->overlapped) entered = &d->gate;
    }
    if (entered) ::EnterCriticalSection(entered);
}

SyncGate::~SyncGate() {
    if (entered) ::LeaveCriticalSection(entered);
}

Device* OfPort(int port) {
    for (Device& d : devices)
        if (d.port == port) return &d;
    return nullptr;
}

Device& Peer(const Device& d) { return devices[d.peer]; }

BOOL Fail(DWORD error) {
    ::SetLastError(error);
    return FALSE;
}

// The driver's own start values, different from every value the library's
// open writes, so a field the open should leave alone shows when touched, and
// every flag the open must clear is set, so one left set changes the line.
DCB StartDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 1200;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fOutxCtsFlow = 1;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.fNull = 1;
    dcb.fAbortOnError = 1;
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

void Complete(Device& d, Request& r, ULONG_PTR status, DWORD mask) {
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

namespace {

// The handshake outputs follow the receive queue; the others what was set.
void ApplyOutputs(Device& d, bool dtr, bool rts) {
    if (d.dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) dtr = !d.inputHeld;
    if (d.dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) rts = !d.inputHeld;
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
}

void Receive(Device& d, BYTE b);

// Input flow control: past XoffLim free bytes the handshake lines drop and,
// with fInX, XOFF goes out; once the queue is down to XonLim they rise again
// and XON goes out.
void UpdateInputFlow(Device& d) {
    bool held = d.inputHeld;
    if (!held && d.rx.capacity - d.rx.count < d.dcb.XoffLim) held = true;
    if (held && d.rx.count <= d.dcb.XonLim) held = false;
    if (held == d.inputHeld) return;
    d.inputHeld = held;
    ApplyOutputs(d, d.dtr, d.rts);
    Device& p = Peer(d);
    if (d.dcb.fInX && p.open) Receive(p, static_cast<BYTE>(held ? d.dcb.XoffChar : d.dcb.XonChar));
}

void LineError(Device& d, DWORD ce) {
    d.errors |= ce;
    // fAbortOnError: every read and write ends until the error is cleared.
    if (d.dcb.fAbortOnError) {
        Cancel(d, d.read);
        Cancel(d, d.write);
    }
}

// One byte arriving at d from the line.
void Receive(Device& d, BYTE b) {
    if (d.dcb.fNull && b == 0) return;
    if (d.dcb.fOutX && (b == static_cast<BYTE>(d.dcb.XoffChar) || b == static_cast<BYTE>(d.dcb.XonChar))) {
        d.xoffReceived = b == static_cast<BYTE>(d.dcb.XoffChar);
        return;
    }
    if (d.rx.Free() == 0) {
        LineError(d, CE_RXOVER);  // no flow control held the sender: the byte is lost
        return;
    }
    d.rx.Push(b);
    DWORD events = EV_RXCHAR;
    if (b == static_cast<BYTE>(d.dcb.EvtChar)) events |= EV_RXFLAG;
    Fire(d, events);
    UpdateInputFlow(d);
}

}  // namespace

// Changes this end's outputs and tells the far end what its inputs did.
void SetOutputs(Device& d, bool dtr, bool rts) {
    ApplyOutputs(d, dtr, rts);
    Pump();
}

void ApplyControlModes(Device& d) {
    bool dtr = d.dcb.fDtrControl != DTR_CONTROL_DISABLE;
    bool rts = d.dcb.fRtsControl == RTS_CONTROL_ENABLE || d.dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
    if (!d.dcb.fOutX) d.xoffReceived = false;
    UpdateInputFlow(d);
    SetOutputs(d, dtr, rts);
}

void InjectLineError(Device& d, DWORD ce) {
    LineError(d, ce);
    if (ce & (CE_FRAME | CE_RXPARITY | CE_OVERRUN)) Fire(d, EV_ERR);
}

namespace {

LONGLONG Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// A start bit, the data bits, the parity bit and the stop bits, in counter
// ticks at the device's baud rate.
LONGLONG CharacterTime(const DCB& dcb) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    const int halfStopBits = dcb.StopBits == ONESTOPBIT ? 2 : dcb.StopBits == ONE5STOPBITS ? 3 : 4;
    const int halfBits = 2 * (1 + dcb.ByteSize + (dcb.Parity != NOPARITY ? 1 : 0)) + halfStopBits;
    const LONGLONG baud = dcb.BaudRate > 0 ? dcb.BaudRate : 1;
    return frequency * halfBits / (2 * baud);
}

bool MayTransmit(const Device& d) {
    if (d.breakOn || d.xoffReceived) return false;
    if (d.dcb.fOutxCtsFlow && !(Inputs(d) & MS_CTS_ON)) return false;
    return !(d.dcb.fOutxDsrFlow && !(Inputs(d) & MS_DSR_ON));
}

// Sends every character whose time on the line has passed; true when one went.
bool Transmit(Device& d, LONGLONG now) {
    Device& p = Peer(d);
    bool sent = false;
    while (d.tx.count > 0 && MayTransmit(d)) {
        if (d.onWireSince == 0) d.onWireSince = now;  // an idle line starts the next character now
        const LONGLONG ends = d.onWireSince + CharacterTime(d.dcb);
        if (ends > now) return sent;
        d.onWireSince = ends;  // the next character follows at once
        BYTE b = d.tx.Pop();
        sent = true;
        if (p.open) Receive(p, b);  // nobody at the far end: the byte is gone
    }
    d.onWireSince = 0;  // nothing to send, or held: the line is idle
    return sent;
}

// Moves bytes one step along every cable; true when anything moved. A write
// ends only once its last byte has left for the line, and EV_TXEMPTY comes
// after that.
bool PumpOnce(Device& d, LONGLONG now) {
    bool moved = false;
    Request& w = d.write;
    while (w.active && w.done < w.size && d.tx.Free() > 0) {
        d.tx.Push(w.out[w.done++]);
        moved = true;
    }
    const bool sent = Transmit(d, now);
    moved = moved || sent;
    if (w.active && w.done == w.size && d.tx.count == 0) Complete(d, w, kStatusSuccess);
    if (sent && d.tx.count == 0 && !w.active) Fire(d, EV_TXEMPTY);

    Request& r = d.read;
    bool arrived = false;
    while (r.active && r.done < r.size && d.rx.count > 0) {
        r.in[r.done++] = d.rx.Pop();
        moved = arrived = true;
    }
    if (arrived) r.lastByte = ::GetTickCount();
    UpdateInputFlow(d);  // a read elsewhere may have made room
    if (r.active && (r.done == r.size || (arrived && r.anyByteEnds))) Complete(d, r, kStatusSuccess);
    return moved;
}

}  // namespace

void Pump() {
    const LONGLONG now = Now();
    bool moved = true;
    while (moved) {
        moved = false;
        for (Device& d : devices)
            if (d.open && PumpOnce(d, now)) moved = true;
    }
}

// A cancelled request reports no bytes, whatever it had moved, as the
// serial driver does.
bool StartRead(Device& d, BYTE* buffer, DWORD size) {
    Request& r = d.read;
    r = Request{};
    r.in = buffer;
    r.size = size;
    while (r.done < size && d.rx.count > 0) r.in[r.done++] = d.rx.Pop();
    const COMMTIMEOUTS& t = d.timeouts;
    const DWORD now = ::GetTickCount();
    if (r.done > 0) r.lastByte = now;
    if (t.ReadIntervalTimeout == MAXDWORD) {
        if (t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) return true;  // at once
        // Both MAXDWORD and a constant: what is there, else the first byte to come.
        r.anyByteEnds = t.ReadTotalTimeoutMultiplier == MAXDWORD && t.ReadTotalTimeoutConstant != MAXDWORD;
        if (r.anyByteEnds && r.done > 0) return true;
    } else {
        r.interval = t.ReadIntervalTimeout;
    }
    if (r.done == size) return true;
    const DWORD multiplier = r.anyByteEnds ? 0 : t.ReadTotalTimeoutMultiplier;
    const DWORD total = multiplier * size + t.ReadTotalTimeoutConstant;
    if (total != 0) r.deadline = now + total;
    return false;
}

void ExpireReads() {
    const DWORD now = ::GetTickCount();
    for (Device& d : devices) {
        Request& r = d.read;
        if (!d.open || !r.active) continue;
        const bool total = r.deadline != 0 && static_cast<LONG>(now - r.deadline) >= 0;
        const bool gap = r.interval != 0 && r.done > 0 && now - r.lastByte > r.interval;
        if (total || gap) Complete(d, r, kStatusSuccess);  // a time-out ends a read with what it has
    }
}

void Cancel(Device& d, Request& r) {
    if (!r.active) return;
    r.done = 0;
    Complete(d, r, kStatusCancelled);
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

// Only the device form opens: "COM3" alone names a DOS device, which a
// Windows port also answers to, but only up to COM9, so a library that used it
// would fail from COM10 on.
int PortOfName(LPCSTR name) {
    if (!name || strncmp(name, "\\\\.\\COM", 7) != 0) return -1;
    int number = 0;
    for (const char* c = name + 7; *c; ++c) {
        if (*c < '0' || *c > '9' || number > 1000) return -1;
        number = number * 10 + (*c - '0');
    }
    if (name[7] == '0' || !OfPort(number - 1)) return -1;
    return number - 1;
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

void ResetDevice(int slot) {
    // Pairs of slots are the two ends of one cable.
    static const int kPortOfSlot[VirtualSerialDriver::kDevices] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 254, 255};
    Device& d = devices[slot];
    d.port = kPortOfSlot[slot];
    d.peer = slot ^ 1;
    d.handle = nullptr;
    d.open = d.overlapped = false;
    d.dcb = StartDcb();
    d.timeouts = COMMTIMEOUTS{};
    d.rxSize = d.txSize = 0;
    d.rx.Clear();
    d.tx.Clear();
    d.rx.capacity = d.tx.capacity = kDefaultQueue;
    d.errors = d.mask = d.occurred = 0;
    d.dtr = d.rts = d.breakOn = d.ring = false;
    d.onWireSince = 0;
    d.xoffReceived = d.inputHeld = false;
    d.read = d.write = d.wait = Request{};
    d.waitsStarted = 0;
    d.hold = false;
    d.heldCount = 0;
}

}  // namespace vsd
