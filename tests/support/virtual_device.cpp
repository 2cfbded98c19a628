// Devices in static storage (no heap, so the library's heap count can run
// over them). Data moves write request -> transmit queue -> the far end's
// receive queue -> read request in one pump that runs after every call that
// can unblock something.
#include "virtual_device.h"

namespace vsd {

Device devices[VirtualSerialDriver::kPorts];
CRITICAL_SECTION lock;
bool lockReady = false;
sio::SysTable saved;

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

namespace {

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

}  // namespace

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

void ResetDevice(int port) {
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

}  // namespace vsd
