// The library's state: one PortEntry, one PortIo and one DCB per port index,
// and the library-wide defaults, switches and counters. Everything is static
// storage; nothing is allocated. Only the notification thread runs beside the
// caller's thread; the fields it shares say who writes them.
#pragma once

#include <windows.h>

#include <atomic>

#include "sio.h"

namespace sio {

constexpr int kPortCount = 256;
// The most that one read call takes from the port.
constexpr DWORD kReadBufferSize = 4096;
// Who drives a port's event wait (PortEntry::eventWaiter).
enum : int { kNoWaiter = 0, kCallerWaits = 1, kThreadWaits = 2 };

// How the caller's thread and a port's notification thread share the notify
// fields (no lock; each field is atomic):
//  - notifyThread holds the thread's handle, 0 = none. SioNotify creates the
//    thread suspended, sets its priority and stores the handle before it
//    resumes it, so a thread that runs finds its own handle there (unless a
//    close took it already) and can take it out again before it ends.
//    SioNotify makes its start as a call inside the port (callsInside), and a
//    close takes the handle only once such calls have left: SioNotify uses
//    the handle only while no one else can own it.
//  - Whoever swaps the handle out of notifyThread owns it and closes it, so it
//    is closed exactly once: the thread (compare-exchange against the value it
//    found at its start) once its event wait is over, or SioClosePort
//    (exchange). The thread swaps before it leaves the port (threadInside),
//    and the port cannot open again before that, so its compare never meets
//    the handle of a later thread that has the same value.
//
// How a wake reaches a wait that has not begun to wait yet: every wake raises
// wakeCount before it sets the event. A wait notes the count when its call
// begins (the notification thread: when SioNotify starts it) and looks again
// once its start has reset the event; a wake in between ends it as the event
// would have.
//
// How a close keeps its handles from the calls that other threads make on the
// port (the event waits, the wakes, SioNotify's start) and from the thread:
// such a call raises callsInside, then looks at handle; the thread is inside
// from SioNotify's start until it has done with the port (threadInside).
// SioClosePort first takes handle (exchange: of two closes at once only one
// finds it open), then wakes, then waits until callsInside is 0, ends the
// thread, and releases the device and events only while no one is inside and
// every request of the opening has been collected. When it gives up (a call
// or the thread hangs in the system, or the driver keeps a request) it marks
// the port leftOver instead: the last call or thread to leave releases it,
// or else the next open does; until then SioOpenPort finds the port busy.
// The close marks leftOver before it looks at the counts, and a call lowers
// its count before it looks at leftOver, so at least one of them sees the
// other; of two that both do, the compare-exchange to kReleasing picks one.
// A call that comes after the close finds the port closed and touches none
// of its handles, so the release does not wait for it.
struct PortEntry {
    // Open device, INVALID_HANDLE_VALUE while closed. Set by SioOpenPort on
    // the caller's thread once the device is set up; taken by SioClosePort
    // (exchange, any thread); read by the calls of other threads.
    std::atomic<HANDLE> handle;
    // Stored by SioNotify (caller) before the thread runs, cleared by the
    // thread or by SioClosePort, whichever takes the handle first.
    std::atomic<HANDLE> notifyThread;
    BYTE lineBits;               // bit 0 DTR, bit 1 RTS, as last commanded
    BYTE pushback;               // byte pushed back by SioUngetByte, 0 = none
    DCB* dcb;                    // the slot's entry of dcbTable
    COMMTIMEOUTS savedTimeouts;  // the device's time-outs found at open; read by whoever releases the port
    // Written by SioNotify on the caller's thread (notifyMask also by every
    // event wait, the thread's own included); atomic so that a read on another
    // thread never sees half a value. A notification thread works from
    // threadOrder, not from these.
    std::atomic<HWND> notifyWindow;
    std::atomic<DWORD> notifyMask;
    // The slot's own index, stored at every open (caller's thread). A
    // notification thread reads it through its parameter; SioNotify creates
    // the thread after the open, on the caller's thread, so it is in place.
    int portNumber;
    std::atomic<WORD> notifyMessage;
    BYTE dataMask;  // (1 << data bits) - 1, applied by SioGetByte
    BYTE noWait;    // nonzero: block writes do not wait for completion
    // Raised by every wake of the port's event wait (any thread).
    std::atomic<unsigned> wakeCount;
    // Calls of other threads inside the port (event waits, wakes, SioNotify).
    std::atomic<int> callsInside;
    // Who drives the port's one event wait: kNoWaiter, kCallerWaits (a
    // SioWaitEvent or SioWaitChar call, for its length) or kThreadWaits (from
    // SioNotify's start of the thread until the thread has left the port).
    // Taken by compare-exchange from kNoWaiter only.
    std::atomic<int> eventWaiter;
    // The notification thread still uses the port: set by SioNotify before it
    // creates the thread, cleared by the thread as the last thing it does
    // with the port, or by a close that saw the thread end (a terminated
    // thread cannot clear it).
    std::atomic<bool> threadInside;
    // kNothingLeft, kLeftOpen (a close gave up: the device and events are
    // held until no one is inside and every request is collected) or
    // kReleasing (one thread is releasing them now). See above.
    std::atomic<int> leftOver;
    // What the next notification thread works with: written by SioNotify
    // while the thread is still suspended (so a stop that follows at once
    // cannot clear it first), read only by that thread.
    struct NotifyOrder {
        HWND window;
        DWORD mask;
        WORD message;
        unsigned wakes;  // wakeCount when SioNotify started the thread
        HMODULE module;  // the library's module, held loaded for the thread's life
    } threadOrder;
};
// PortEntry::leftOver.
enum : int { kNothingLeft = 0, kLeftOpen = 1, kReleasing = 2 };

// A port's transfer record. Written by the open before the port is marked
// open and by the release after no one is inside any more, so those writes
// meet no other thread. In between, the read, the write and their statuses
// belong to the caller's thread; the event-wait fields to whichever thread
// holds PortEntry::eventWaiter (the hand-over is that compare-exchange).
struct PortIo {
    HANDLE handle;  // copy of the device handle for the transfer layer
    // Set at each open: the port was opened for synchronous I/O (old-Windows
    // mode at that moment). Every step of the transfer layer follows it.
    // Read by the wakes of other threads only while they are inside an open
    // port, so never while the open or the release writes it.
    int synchronous;
    OVERLAPPED readOv;
    OVERLAPPED writeOv;
    // Its hEvent is also set by the wakes of other threads, from inside an
    // open port (see PortIo above): it is created before the port is marked
    // open and closed only after every call has left.
    OVERLAPPED eventOv;
    int readStatus;  // IoStatus: 0, SIO_PENDING, SIO_DONE or SIO_IO_FAILED
    int writeStatus;
    int volatile eventStatus;  // written by whichever thread drives the wait
    // The last WaitCommEvent pended and has not been seen to end; written by
    // whichever thread drives the wait, and by the release.
    bool volatile eventOutstanding;
    DWORD bytesRead;
    DWORD bytesWritten;
    // Storage the system may still write into (or read from) after the call
    // that started an operation has returned: it lives as long as the port,
    // and a new opening uses it only after every request of the last one was
    // collected.
    BYTE byteOut;     // the byte of SioPutByte
    DWORD eventMask;  // the events that occurred, written by the system when a wait ends
    // Every read goes into this buffer, never into the caller's: a read that
    // the driver will not give up in time is left running here and handed
    // over by a later read call. readKept bytes from readFrom on are waiting.
    BYTE readBuffer[kReadBufferSize];
    DWORD readKept;
    DWORD readFrom;
    // Set by every wake of the port (auto-reset), so the timed transfers can
    // wait for their operation and a wake at once.
    HANDLE transferWake;
    // The device's time-outs as the timed transfers last set them; false
    // while the open's time-outs are in force.
    bool timedTimeouts;
    COMMTIMEOUTS timeoutsInForce;
};

extern PortEntry portTable[kPortCount];
extern PortIo ioTable[kPortCount];
extern DCB dcbTable[kPortCount];

// Library-wide state.
// LibraryInit's progress: kInitNone, kInitRunning (one thread fills the
// tables, the others wait) or kInitDone.
enum : int { kInitNone = 0, kInitRunning = 1, kInitDone = 2 };
extern std::atomic<int> initDone;
extern const int SioBaudTable[10];
extern int defaultBaud;
extern BYTE defaultParity;
extern BYTE defaultStopBits;
extern BYTE defaultDataBits;
extern BYTE dtrAtOpen;
extern BYTE rtsAtOpen;
extern BYTE resetDeviceAtOpen;
extern BYTE tolerateSetupFailure;
extern int messageBoxes;
extern int oldWindows;
// 1 once any port was opened for synchronous I/O; never cleared. Each port
// follows its own PortIo::synchronous, not this. Opens on several threads may
// set it at once.
extern std::atomic<int> syncMode;
// The system error of the calling thread's last failing call, kept in a
// thread-local slot of the system's (no heap): assigning keeps it for the
// calling thread, reading gives the calling thread's.
class ThreadWinError {
public:
    ThreadWinError& operator=(DWORD code);
    operator DWORD() const;
};
extern ThreadWinError lastWinError;
// Raised by notification threads (of any port, at once) and by failed closes
// on either thread, so the increments are atomic.
extern std::atomic<int> threadsStarted;
extern std::atomic<int> threadsEnded;
extern std::atomic<int> closeFailures;
extern int spareCounter1;
extern int spareCounter2;
extern const unsigned short uartBase[4];
// Start value only: each open formats its device name in its own buffer.
extern char deviceName[12];
// The last status any port read (ClearCommError); each call reads into its
// own COMSTAT and publishes a copy here.
extern COMSTAT commStat;
extern const COMMTIMEOUTS openTimeouts;
// Nonzero in the DLL build: a notification thread holds the library's module
// until it ends. The static build's tests switch it on to walk those calls.
extern int holdModuleForThread;

// One-time initialisation of the tables; later calls do nothing.
void LibraryInit();
// 1 for Windows 95 / NT 4.0 (version 4.0), else 0.
int IsOldWindows();
// 0 for an index in 0..255, else IE_BADID.
int CheckPort(int port);
// The prologue of every per-port call: CheckPort, LibraryInit, then IE_NOPEN
// for a closed slot. 0 when the call may go on.
int CheckOpenPort(int port);
// ClearCommError into status (the caller's own), then published as
// commStat; the system's result.
BOOL QueryCommStatus(HANDLE device, DWORD* errors, COMSTAT& status);
// A call of another thread inside a port (an event wait or a wake) counts
// itself for its whole length, so a close does not release the port's
// handles under it (no destructor does it: the library is built so that it
// needs no unwinding support). EnterPort returns the port's wakeCount as the
// call found it, taken before the call looks whether the port is open.
inline unsigned EnterPort(int port) {
    ++portTable[port].callsInside;
    return portTable[port].wakeCount.load();
}
// Releases a port that a close left open (leftOver) once no one is inside
// and every request of its opening is collected: the device's close result
// (nonzero closed), or kStillHeld when the port stays held.
constexpr int kStillHeld = -1;
int ReleaseLeftPort(int port);
inline void LeavePort(int port) {
    if (--portTable[port].callsInside == 0 && portTable[port].leftOver.load() == kLeftOpen)
        ReleaseLeftPort(port);
}
inline bool PortOpen(int port) { return portTable[port].handle.load() != INVALID_HANDLE_VALUE; }

// CloseHandle that counts its failures in closeFailures.
BOOL CloseCounted(HANDLE handle);
int LibMessageBox(const char* text);
void LibErrorBox(const char* text, int code);

}  // namespace sio
