// Opening and closing ports: the open gives the device the library's line
// defaults, queue sizes and return-at-once read time-outs and prepares the
// port's transfer record; every failure after the device was opened releases
// all that the open acquired, so a failed open holds nothing.
#include <stdio.h>

#include <initializer_list>

#include "open_close.h"
#include "overlapped.h"
#include "sio_state.h"
#include "sys_table.h"

namespace sio {
namespace {

// The line of the event check that the assertion report names.
constexpr int kEventAssertLine = 319;
// How long a close gives the notification thread to end, on the clock. A
// woken thread only posts its message, so this passes only when the thread is
// stuck.
constexpr DWORD kThreadEndTimeoutMs = 2000;
constexpr DWORD kThreadPollMs = 10;
// How long a close gives the calls of other threads inside the port to
// leave, on the clock. A woken wait leaves at once (its own waits are bounded
// far below this), so this passes only when a system call hangs.
constexpr DWORD kCallsLeaveBoundMs = 1000;
constexpr DWORD kCallsPollMs = 1;

bool NoOneInside(int port, bool thread) {
    return portTable[port].callsInside.load() == 0 && !(thread && portTable[port].threadInside.load());
}

void FillOpenDcb(DCB& dcb, int rxQueue) {
    dcb.BaudRate = static_cast<DWORD>(defaultBaud);
    dcb.ByteSize = defaultDataBits;
    dcb.Parity = defaultParity;
    dcb.StopBits = defaultStopBits;
    dcb.fBinary = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = dtrAtOpen ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = rtsAtOpen ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = 0;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    WORD limit = static_cast<WORD>(rxQueue > 512 ? 128 : rxQueue / 4);
    dcb.XonLim = limit;
    dcb.XoffLim = limit;
}

// Releases what a failed open acquired; the caller has already taken the
// system error.
int FailOpen(int port, HANDLE device, int code) {
    CloseEvents(port);
    CloseCounted(device);
    portTable[port].handle = INVALID_HANDLE_VALUE;
    return code;
}

int FailOpenWithSystemError(int port, HANDLE device) {
    lastWinError = sys.GetLastError();
    return FailOpen(port, device, SIO_WIN_ERROR);
}

// Steps after the device is open; each failure leaves through FailOpen.
int ConfigureDevice(int port, HANDLE device, int rxQueue, int txQueue) {
    PortEntry& entry = portTable[port];
    if (!sys.GetCommTimeouts(device, &entry.savedTimeouts)) return FailOpenWithSystemError(port, device);

    DCB& dcb = *entry.dcb;
    dcb.DCBlength = sizeof(DCB);
    if (!sys.GetCommState(device, &dcb)) return FailOpenWithSystemError(port, device);
    FillOpenDcb(dcb, rxQueue);
    if (!sys.SetCommState(device, &dcb)) return FailOpenWithSystemError(port, device);

    if (!sys.SetupComm(device, static_cast<DWORD>(rxQueue), static_cast<DWORD>(txQueue)) &&
        !tolerateSetupFailure)
        return FailOpen(port, device, SIO_BUFFERS);

    if (resetDeviceAtOpen && !sys.EscapeCommFunction(device, RESETDEV))
        return FailOpenWithSystemError(port, device);

    DWORD errors = 0;
    COMSTAT status;
    QueryCommStatus(device, &errors, status);  // clears what the line held before the open

    COMMTIMEOUTS timeouts = openTimeouts;  // the system takes a non-const block
    if (!sys.SetCommTimeouts(device, &timeouts)) return FailOpenWithSystemError(port, device);
    return 0;
}

}  // namespace

HANDLE InitOverlapped(OVERLAPPED& ov) {
    ov.hEvent = sys.CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ov.Internal = 0;
    ov.InternalHigh = 0;
    ov.Offset = 0;
    ov.OffsetHigh = 0;
    if (ov.hEvent == nullptr) {
        // The report writes to stderr; the open still reports the event's error.
        DWORD error = sys.GetLastError();
        sys.AssertReport("oioPtr->hEvent", __FILE__, kEventAssertLine);
        sys.SetLastError(error);
    }
    return ov.hEvent;
}

int PortIoSetup(int port, HANDLE device, int synchronous) {
    PortIo& io = ioTable[port];
    io.bytesRead = 0;
    io.bytesWritten = 0;
    io.handle = device;
    io.synchronous = synchronous;
    io.eventOutstanding = false;
    io.readKept = 0;
    io.timedTimeouts = false;
    if (synchronous) {
        syncMode = 1;  // kept for the record; the port follows io.synchronous
        return SIO_DONE;
    }
    if (!InitOverlapped(io.readOv)) return SIO_IO_FAILED;
    if (!InitOverlapped(io.writeOv)) return SIO_IO_FAILED;
    if (!InitOverlapped(io.eventOv)) return SIO_IO_FAILED;
    io.transferWake = sys.CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!io.transferWake) return SIO_IO_FAILED;
    io.readStatus = 0;
    io.writeStatus = 0;
    io.eventStatus = 0;
    return SIO_DONE;
}

void SignalEventWait(int port) {
    ++portTable[port].wakeCount;  // first: a wait that resets the event after this still sees it
    if (ioTable[port].synchronous) return;
    HANDLE event = ioTable[port].eventOv.hEvent;
    if (event) sys.SetEvent(event);
    if (ioTable[port].transferWake) sys.SetEvent(ioTable[port].transferWake);
}

void WakeFromOutside(int port) {
    EnterPort(port);
    if (PortOpen(port)) SignalEventWait(port);
    LeavePort(port);
}

bool AwaitCallsLeft(int port, bool thread) {
    const ULONGLONG start = sys.GetTickCount64();
    while (!NoOneInside(port, thread)) {
        if (sys.GetTickCount64() - start >= kCallsLeaveBoundMs) return false;
        sys.Sleep(kCallsPollMs);
    }
    return true;
}

int ReleaseLeftPort(int port) {
    PortEntry& entry = portTable[port];
    if (!NoOneInside(port, true)) return kStillHeld;
    int left = kLeftOpen;
    if (!entry.leftOver.compare_exchange_strong(left, kReleasing)) return kStillHeld;
    PortIo& io = ioTable[port];
    BOOL closed = TRUE;  // a device closed by an earlier try
    if (io.handle != INVALID_HANDLE_VALUE) {
        // The close of the device ends whatever the cancels could not.
        EndOpeningRequests(port);
        sys.SetCommTimeouts(io.handle, &entry.savedTimeouts);
        closed = CloseCounted(io.handle);
        io.handle = INVALID_HANDLE_VALUE;
    }
    // A request the system still reports running would complete into the
    // next opening's OVERLAPPEDs and events: the port stays held for it.
    if (!OpeningRequestsOver(port)) {
        entry.leftOver = kLeftOpen;
        return kStillHeld;
    }
    CloseEvents(port);
    entry.leftOver = kNothingLeft;
    return closed;
}

void CloseEvents(int port) {
    PortIo& io = ioTable[port];
    if (io.synchronous) return;
    for (OVERLAPPED* ov : {&io.readOv, &io.writeOv, &io.eventOv}) {
        if (ov->hEvent) sys.CloseHandle(ov->hEvent);  // not counted: only device and thread closes are
        ov->hEvent = nullptr;
    }
    if (io.transferWake) sys.CloseHandle(io.transferWake);
    io.transferWake = nullptr;
}

namespace {

// True once the thread has ended, false while it still runs (or cannot be
// told from running) after the bound. A wait that fails says nothing about the
// thread, so its exit code is watched for the rest of the time instead.
bool AwaitThreadEnd(HANDLE thread) {
    const ULONGLONG start = sys.GetTickCount64();
    const DWORD waited = sys.WaitForSingleObject(thread, kThreadEndTimeoutMs);
    if (waited == WAIT_OBJECT_0) return true;
    for (;;) {
        // An exit code that cannot be read says nothing either: the thread
        // counts as running, and is ended after the bound.
        DWORD exitCode = STILL_ACTIVE;
        if (sys.GetExitCodeThread(thread, &exitCode) && exitCode != STILL_ACTIVE) return true;
        if (waited == WAIT_TIMEOUT || sys.GetTickCount64() - start >= kThreadEndTimeoutMs) return false;
        sys.Sleep(kThreadPollMs);
    }
}

}  // namespace

bool StopNotifyThread(HANDLE thread) {
    // The woken (or, in synchronous mode, never blocked) thread ends by
    // itself. Terminating one that is still running can leave a system lock
    // it holds taken for ever, so that is done only to a thread stuck past
    // the bound.
    if (AwaitThreadEnd(thread)) return true;
    // Termination completes later; only an end that is seen counts.
    if (sys.TerminateThread(thread, 0)) return AwaitThreadEnd(thread);
    if (messageBoxes) {
        char text[64];
        snprintf(text, sizeof text, "Cannot terminate thread %d",
                 static_cast<int>(reinterpret_cast<INT_PTR>(thread)));
        LibMessageBox(text);
    }
    return false;
}

bool EndNotification(int port) {
    PortEntry& entry = portTable[port];
    // Taking the handle makes this close its owner: the thread will not close it.
    HANDLE thread = entry.notifyThread.exchange(nullptr);
    if (!thread) return true;  // no thread, or one that is past its wait
    const bool ended = StopNotifyThread(thread);
    if (ended) {
        // An ended thread no longer uses the port; one that was terminated
        // could not say so itself, nor give the port's event wait back.
        entry.threadInside = false;
        int threadWaits = kThreadWaits;
        entry.eventWaiter.compare_exchange_strong(threadWaits, kNoWaiter);
    }
    // A thread that still runs keeps the port held (threadInside) and
    // releases it on its way out; its handle is closed here all the same.
    CloseCounted(thread);
    return ended;
}

}  // namespace sio

using namespace sio;

extern "C" int SioOpenPort(int port, int rxQueue, int txQueue) {
    if (port == -1) {
        dtrAtOpen = static_cast<BYTE>(rxQueue & 1);
        rtsAtOpen = static_cast<BYTE>(txQueue & 1);
        return 0;
    }
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();

    char name[sizeof deviceName];  // its own buffer: another thread may be opening another port
    snprintf(name, sizeof name, "\\\\.\\COM%d", port + 1);
    // Windows holds a COM device exclusively and refuses a second open with
    // access denied; some drivers do not, and a second handle would replace
    // the slot's first one. Refuse it here the way Windows does.
    if (portTable[port].handle != INVALID_HANDLE_VALUE) {
        lastWinError = ERROR_ACCESS_DENIED;
        return SIO_WIN_ERROR;
    }
    // A close that gave up left the device, events and requests to whoever
    // sees the port free first; an open may be that one.
    if (portTable[port].leftOver.load() != kNothingLeft && ReleaseLeftPort(port) == kStillHeld) {
        lastWinError = ERROR_BUSY;
        return SIO_WIN_ERROR;
    }

    const int synchronous = oldWindows;  // the port keeps this mode until it is closed
    DWORD flags = synchronous ? FILE_FLAG_NO_BUFFERING : FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING;
    HANDLE device =
        sys.CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        lastWinError = sys.GetLastError();
        return SIO_WIN_ERROR;
    }

    if (PortIoSetup(port, device, synchronous) != SIO_DONE) {
        // No event means no overlapped transfer can ever complete: give up.
        return FailOpenWithSystemError(port, device);
    }
    int result = ConfigureDevice(port, device, rxQueue, txQueue);
    if (result != 0) return result;

    PortEntry& entry = portTable[port];
    entry.portNumber = port;
    entry.handle = device;
    entry.dataMask = static_cast<BYTE>((1u << defaultDataBits) - 1u);
    return 0;
}

extern "C" int SioClosePort(int port) {
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();
    PortEntry& entry = portTable[port];
    // Calls of other threads that come from now on leave at once; of two
    // closes at once, only the one that takes the handle goes on.
    if (entry.handle.exchange(INVALID_HANDLE_VALUE) == INVALID_HANDLE_VALUE) return IE_NOPEN;
    SignalEventWait(port);  // wakes the calls already inside, and the thread
    // The thread's handle is taken only after SioNotify's start has left.
    // A thread that gave its handle up is about to leave.
    if (AwaitCallsLeft(port, false) && EndNotification(port)) AwaitCallsLeft(port, true);
    entry.leftOver = kLeftOpen;  // before the counts are read again: see PortEntry
    const int released = ReleaseLeftPort(port);
    if (released != kStillHeld) return released;
    // A call, the thread or a request hangs in the system: the port stays
    // held for it and is released when it has left.
    ++closeFailures;
    return 0;
}
