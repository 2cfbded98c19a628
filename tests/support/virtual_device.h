// The virtual driver's devices: their state, the data path between the two
// ends of a cable and the completion of operations. One critical section
// guards all of it; every function here expects it held (Locked).
#pragma once

#include <windows.h>

#include "sys_table.h"
#include "virtual_serial_driver.h"

namespace vsd {

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
    // Read time-outs, in GetTickCount milliseconds; 0 = none.
    DWORD deadline;    // the total time-out ends the read here
    DWORD interval;    // the longest gap allowed between two bytes, once one came
    DWORD lastByte;    // when the last byte came
    bool anyByteEnds;  // interval and multiplier MAXDWORD: the first byte ends the read
};

struct Held {
    OVERLAPPED* ov;
    ULONG_PTR status;
    DWORD count;
    DWORD* maskOut;
    DWORD mask;
};

struct Device {
    int port;  // the port index (COMn is n - 1)
    // Windows runs one call at a time on a handle opened without
    // FILE_FLAG_OVERLAPPED: a blocked read holds up every other call on it.
    CRITICAL_SECTION gate;
    HANDLE handle;
    bool open, overlapped;
    int peer;
    DCB dcb;
    COMMTIMEOUTS timeouts;
    DWORD rxSize, txSize;
    Ring rx, tx;
    DWORD errors, mask, occurred;
    bool dtr, rts, breakOn, ring;
    LONGLONG onWireSince;  // when the character now on the line started (counter ticks); 0: idle
    bool xoffReceived;     // fOutX: the far end sent XOFF; this end holds its transmission
    bool inputHeld;        // the receive queue crossed XoffLim: the handshake asks the far end to stop
    Request read, write, wait;
    long waitsStarted;
    bool hold;
    Held held[kMaxHeld];
    int heldCount;
};

extern Device devices[VirtualSerialDriver::kDevices];
extern CRITICAL_SECTION lock;
extern bool lockReady;
extern sio::SysTable saved;  // the table as it was before the driver: where closes go on

// Enters the device's gate for the length of a call on a synchronous handle.
struct SyncGate {
    explicit SyncGate(HANDLE h);
    ~SyncGate();
    SyncGate(const SyncGate&) = delete;
    SyncGate& operator=(const SyncGate&) = delete;
    CRITICAL_SECTION* entered = nullptr;
};

struct Locked {
    Locked() { ::EnterCriticalSection(&lock); }
    ~Locked() { ::LeaveCriticalSection(&lock); }
};

Device* Find(HANDLE h);
Device* OfPort(int port);  // null for a port the driver does not have
Device& Peer(const Device& d);
BOOL Fail(DWORD error);  // sets the last error and returns FALSE
DCB StartDcb();
void ResetDevice(int port);
void Deliver(OVERLAPPED* ov, ULONG_PTR status, DWORD count, DWORD* maskOut, DWORD mask);
// Ends a request: reported now, or kept back while the device holds completions.
void Complete(Device& d, Request& r, ULONG_PTR status, DWORD mask = 0);
void Fire(Device& d, DWORD events);
void InjectLineError(Device& d, DWORD ce);  // with EV_ERR for the line-status errors
DWORD Inputs(const Device& d);
void SetOutputs(Device& d, bool dtr, bool rts);
void ApplyControlModes(Device& d);
// Moves what may move now: written bytes into the transmit queue, one
// character per character time onto the line at the device's baud rate and
// format, received bytes into reads. The driver's clock runs it too.
void Pump();
// Ends the reads whose time-outs have passed; the driver's clock calls it.
void ExpireReads();
// Starts a read: takes what has arrived and sets its time-outs from the
// device's; true when it has already ended.
bool StartRead(Device& d, BYTE* buffer, DWORD size);
void Cancel(Device& d, Request& r);
void CancelAll(Device& d);
BOOL StartPending(Request& r, OVERLAPPED* ov, OVERLAPPED* own);
BOOL CompleteAtOnce(OVERLAPPED* ov, DWORD count, LPDWORD reported);
BOOL FinishSynchronous(OVERLAPPED& own, LPDWORD reported);
int PortOfName(LPCSTR name);
BOOL SetBreak(Device& d, bool on);
// Puts the driver's entries into the table.
void InstallSystemCalls(sio::SysTable& table);

}  // namespace vsd
