// The Win32 calls of the virtual driver, as the library's table holds them:
// each finds its device by handle and answers as a Windows serial driver does.
#include <string.h>

#include <initializer_list>

#include "virtual_device.h"

namespace vsd {
namespace {

HANDLE WINAPI DriverCreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags,
                                HANDLE) {
    Locked hold;
    int port = PortOfName(name);
    if (port < 0) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    Device& d = *OfPort(port);
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
    d.breakOn = d.xoffReceived = d.inputHeld = false;
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

// Reads end by their time-outs (the driver's clock) or when full, writes by
// theirs or once the line has carried them; a call on a synchronous handle
// blocks until then, as Windows does.
BOOL WINAPI DriverReadFile(HANDLE h, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED ov) {
    SyncGate gate(h);
    OVERLAPPED own{};
    {
        Locked hold;
        Device* d = Find(h);
        if (!d) return Fail(ERROR_INVALID_HANDLE);
        if ((d->overlapped && !ov) || d->read.active) return Fail(ERROR_INVALID_PARAMETER);
        if (d->dcb.fAbortOnError && d->errors) return Fail(ERROR_OPERATION_ABORTED);
        if (ov && ov->hEvent) ::ResetEvent(ov->hEvent);
        if (StartRead(*d, static_cast<BYTE*>(buffer), size)) {
            DWORD count = d->read.done;
            Pump();  // room in the receive queue lets the far end send on
            return CompleteAtOnce(ov, count, got);
        }
        if (got) *got = 0;
        Pump();
        if (ov) return StartPending(d->read, ov, nullptr);
        own.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        StartPending(d->read, nullptr, &own);
    }
    return FinishSynchronous(own, got);
}

BOOL WINAPI DriverWriteFile(HANDLE h, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED ov) {
    SyncGate gate(h);
    OVERLAPPED own{};
    {
        Locked hold;
        Device* d = Find(h);
        if (!d) return Fail(ERROR_INVALID_HANDLE);
        if ((d->overlapped && !ov) || d->write.active) return Fail(ERROR_INVALID_PARAMETER);
        if (d->dcb.fAbortOnError && d->errors) return Fail(ERROR_OPERATION_ABORTED);
        if (ov && ov->hEvent) ::ResetEvent(ov->hEvent);
        Request& w = d->write;
        w = Request{};
        w.out = static_cast<const BYTE*>(buffer);
        w.size = size;
        w.deadline = TotalDeadline(d->timeouts.WriteTotalTimeoutMultiplier,
                                   d->timeouts.WriteTotalTimeoutConstant, size);
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
        if (ov->Internal == kStatusPending)
            return Fail(ERROR_IO_INCOMPLETE);  // the event was set by someone else
    }
    *count = static_cast<DWORD>(ov->InternalHigh);
    return Outcome(ov->Internal);
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

// Runs a call on the device of h: one call at a time on a synchronous
// handle, under the driver's lock.
template <typename Call>
BOOL OnDevice(HANDLE h, Call call) {
    SyncGate gate(h);
    Locked hold;
    Device* d = Find(h);
    return d ? call(*d) : Fail(ERROR_INVALID_HANDLE);
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
    return OnDevice(h, [&](Device& d) {
        if (!dcb) return Fail(ERROR_INVALID_PARAMETER);
        *dcb = d.dcb;
        return TRUE;
    });
}

BOOL WINAPI DriverSetCommState(HANDLE h, LPDCB dcb) {
    return OnDevice(h, [&](Device& d) {
        if (!dcb || !ValidDcb(*dcb)) return Fail(ERROR_INVALID_PARAMETER);
        d.dcb = *dcb;
        ApplyControlModes(d);
        return TRUE;
    });
}

BOOL WINAPI DriverGetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    return OnDevice(h, [&](Device& d) {
        if (!t) return Fail(ERROR_INVALID_PARAMETER);
        *t = d.timeouts;
        return TRUE;
    });
}

BOOL WINAPI DriverSetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS t) {
    return OnDevice(h, [&](Device& d) {
        if (!t) return Fail(ERROR_INVALID_PARAMETER);
        d.timeouts = *t;
        return TRUE;
    });
}

DWORD QueueCapacity(DWORD size) {
    if (size < 16) return 16;
    return size > kRingSize ? kRingSize : size;
}

BOOL WINAPI DriverSetupComm(HANDLE h, DWORD rxSize, DWORD txSize) {
    return OnDevice(h, [&](Device& d) {
        if (rxSize > kLargestQueue || txSize > kLargestQueue) return Fail(ERROR_NOT_ENOUGH_MEMORY);
        d.rxSize = rxSize;
        d.txSize = txSize;
        d.rx.capacity = QueueCapacity(rxSize);
        d.tx.capacity = QueueCapacity(txSize);
        return TRUE;
    });
}

BOOL WINAPI DriverPurgeComm(HANDLE h, DWORD flags) {
    return OnDevice(h, [&](Device& d) {
        if (flags & ~static_cast<DWORD>(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
            return Fail(ERROR_INVALID_PARAMETER);
        if (flags & PURGE_TXABORT) Cancel(d, d.write);
        if (flags & PURGE_RXABORT) Cancel(d, d.read);
        if (flags & PURGE_TXCLEAR) d.tx.Clear();
        if (flags & PURGE_RXCLEAR) d.rx.Clear();
        Pump();
        return TRUE;
    });
}

BOOL WINAPI DriverClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat) {
    return OnDevice(h, [&](Device& d) {
        if (errors) *errors = d.errors;
        d.errors = 0;
        if (stat) {
            *stat = COMSTAT{};
            stat->cbInQue = d.rx.count;
            stat->cbOutQue = d.tx.count + (d.write.active ? d.write.size - d.write.done : 0);
            stat->fCtsHold = d.dcb.fOutxCtsFlow && !(Inputs(d) & MS_CTS_ON);
        }
        return TRUE;
    });
}

BOOL WINAPI DriverEscapeCommFunction(HANDLE h, DWORD function) {
    return OnDevice(h, [&](Device& d) {
        bool dtrHandshake = d.dcb.fDtrControl == DTR_CONTROL_HANDSHAKE;
        bool rtsAutomatic =
            d.dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || d.dcb.fRtsControl == RTS_CONTROL_TOGGLE;
        switch (function) {
            case SETDTR:
            case CLRDTR:
                if (dtrHandshake) return Fail(ERROR_INVALID_PARAMETER);
                SetOutputs(d, function == SETDTR, d.rts);
                return TRUE;
            case SETRTS:
            case CLRRTS:
                if (rtsAutomatic) return Fail(ERROR_INVALID_PARAMETER);
                SetOutputs(d, d.dtr, function == SETRTS);
                return TRUE;
            case SETBREAK:
            case CLRBREAK: return SetBreak(d, function == SETBREAK);
            case SETXOFF:
            case SETXON:
            case RESETDEV: return TRUE;
            default: return Fail(ERROR_INVALID_PARAMETER);
        }
    });
}

BOOL WINAPI DriverGetCommModemStatus(HANDLE h, LPDWORD status) {
    return OnDevice(h, [&](Device& d) {
        *status = Inputs(d);
        return TRUE;
    });
}

BOOL WINAPI DriverSetCommBreak(HANDLE h) {
    return OnDevice(h, [](Device& d) { return SetBreak(d, true); });
}

BOOL WINAPI DriverClearCommBreak(HANDLE h) {
    return OnDevice(h, [](Device& d) { return SetBreak(d, false); });
}

BOOL WINAPI DriverSetCommMask(HANDLE h, DWORD mask) {
    return OnDevice(h, [&](Device& d) {
        if (d.wait.active) Complete(d, d.wait, kStatusSuccess, 0);  // a new mask ends the wait with no event
        d.mask = mask;
        d.occurred &= mask;  // what came before and the new mask still asks for is kept
        return TRUE;
    });
}

BOOL WINAPI DriverWaitCommEvent(HANDLE h, LPDWORD maskOut, LPOVERLAPPED ov) {
    SyncGate gate(h);
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

// The system's device-name table knows the driver's ports by their plain
// names ("COM3"), as the device form opens them.
DWORD WINAPI DriverQueryDosDeviceA(LPCSTR name, LPSTR target, DWORD size) {
    char device[32] = "\\\\.\\";
    if (!name || strlen(name) > 16) return Fail(ERROR_FILE_NOT_FOUND);
    strcat(device, name);
    int port = PortOfName(device);
    if (port < 0) return Fail(ERROR_FILE_NOT_FOUND);
    char text[40];
    int length = wsprintfA(text, "\\Device\\VirtualSerial%d", port);
    if (static_cast<DWORD>(length) + 2 > size) return Fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(target, text, static_cast<size_t>(length) + 1);
    target[length + 1] = '\0';  // a list of targets ends with an empty one
    return static_cast<DWORD>(length) + 2;
}

}  // namespace

void InstallSystemCalls(sio::SysTable& t) {
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
    t.QueryDosDeviceA = DriverQueryDosDeviceA;
}

}  // namespace vsd
