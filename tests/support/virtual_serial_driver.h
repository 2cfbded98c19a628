// A virtual Windows serial port driver with null-modem cables, installed in
// the library's system-call table: it behaves as Windows does where Wine on a
// pty cannot (exclusive opens, events that wait, modem lines, breaks, line
// errors, the event character), and lets a test hold completions back. Its
// lines take real time: a character takes its bits' time at the sender's baud
// rate, and a write ends once its last character has left.
#pragma once

#include <windows.h>

#include "sys_table.h"

// COM1..COM8 exist, cabled in pairs COM1-COM2 .. COM7-COM8, and two pairs
// with longer names, COM10-COM11 and COM255-COM256; COM9 and every other name
// are missing, and only the device form "\\.\COMn" opens. Installing saves
// the table; the destructor puts it back. Every call is safe from any thread
// (one lock for the whole driver).
class VirtualSerialDriver {
public:
    VirtualSerialDriver();
    ~VirtualSerialDriver();
    VirtualSerialDriver(const VirtualSerialDriver&) = delete;
    VirtualSerialDriver& operator=(const VirtualSerialDriver&) = delete;

    static constexpr int kDevices = 12;
    static constexpr int kMissing = 8;  // COM9

    // ---- What the test sees of a device ---------------------------------
    static bool IsOpen(int port);
    static DCB Dcb(int port);                      // stored whole, as last written
    static void SetDcb(int port, const DCB& dcb);  // the device's state before an open
    static COMMTIMEOUTS Timeouts(int port);
    static DWORD RxQueueSize(int port);  // from SetupComm
    static DWORD TxQueueSize(int port);
    static DWORD Queued(int port);       // bytes in the receive queue
    static DWORD ModemStatus(int port);  // MS_ bits as the port's own inputs see them

    // ---- What the test does to a device ---------------------------------
    static void SetRing(int port, bool on);        // the ring input (EV_RING on raise)
    static void InjectErrors(int port, DWORD ce);  // CE_FRAME, CE_RXPARITY, CE_OVERRUN (EV_ERR)
    // While held, operations that end are not reported (Internal, InternalHigh,
    // the event and the event mask stay as they were) until ReleaseHeld.
    static void Hold(int port, bool on);
    static int ReleaseHeld(int port);  // delivers what was held back, oldest first; how many
    static int HeldCount(int port);

    // ---- Event waits ------------------------------------------------------
    static bool WaitPending(int port);
    static long WaitsStarted(int port);  // WaitCommEvent calls accepted
    // True once a wait started after the first `after` waits pends (polls).
    static bool WaitUntilPending(int port, long after, DWORD timeoutMs);
    static DWORD Mask(int port);  // as last set by SetCommMask

private:
    // Every millisecond: moves the characters whose time on the line has
    // passed and ends the reads whose time-outs have.
    static DWORD WINAPI Clock(LPVOID ticking);
    HANDLE clock_ = nullptr;
    static inline volatile bool stopping_ = false;
};
