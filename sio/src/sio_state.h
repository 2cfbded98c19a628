// The library's state: one PortEntry, one PortIo and one DCB per port index,
// and the library-wide defaults, switches and counters. Everything is static
// storage; nothing is allocated. Only the notification thread runs beside the
// caller's thread; the fields it shares say who writes them.
#pragma once

#include <windows.h>

#include "sio.h"

namespace sio {

constexpr int kPortCount = 256;

struct PortEntry {
    HANDLE handle;  // open device, INVALID_HANDLE_VALUE while closed
    // Notification thread of the port, 0 = none. Written by SioNotify (caller
    // thread) when the thread is created, by the thread itself when it has
    // closed its own handle, and by SioClosePort.
    HANDLE volatile notifyThread;
    BYTE lineBits;  // bit 0 DTR, bit 1 RTS, as last commanded
    BYTE pushback;  // byte pushed back by SioUngetByte, 0 = none
    DCB* dcb;       // the slot's entry of dcbTable
    COMMTIMEOUTS savedTimeouts;  // the device's time-outs found at open
    // Read by the notification thread at its start; written by SioNotify and
    // SioWaitEvent on the caller's thread.
    HWND volatile notifyWindow;
    DWORD volatile notifyMask;
    int portNumber;  // the slot's own index, stored at every open
    WORD volatile notifyMessage;
    BYTE dataMask;  // (1 << data bits) - 1, applied by SioGetByte
    BYTE noWait;    // nonzero: block writes do not wait for completion
};

struct PortIo {
    HANDLE handle;  // copy of the device handle for the transfer layer
    OVERLAPPED readOv;
    OVERLAPPED writeOv;
    OVERLAPPED eventOv;
    int readStatus;  // IoStatus: 0, SIO_PENDING, SIO_DONE or SIO_IO_FAILED
    int writeStatus;
    int volatile eventStatus;  // written by whichever thread drives the wait
    DWORD bytesRead;
    DWORD bytesWritten;
    // Storage the system may still write into (or read from) after the call
    // that started an operation has returned: it lives as long as the port.
    BYTE byteOut;      // the byte of SioPutByte
    BYTE byteIn;       // the byte of SioGetByte
    DWORD eventMask;   // events to wait for, then the events that occurred
};

extern PortEntry portTable[kPortCount];
extern PortIo ioTable[kPortCount];
extern DCB dcbTable[kPortCount];

// Library-wide state.
extern int initDone;
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
extern int syncMode;
extern DWORD lastWinError;
// Raised by notification threads and by failed closes, with plain increments.
extern int volatile threadsStarted;
extern int volatile threadsEnded;
extern int volatile closeFailures;
extern int spareCounter1;
extern int spareCounter2;
extern const unsigned short uartBase[4];
extern char deviceName[12];
extern COMSTAT commStat;
extern COMMTIMEOUTS openTimeouts;

// One-time initialisation of the tables; later calls do nothing.
void LibraryInit();
// 1 for Windows 95 / NT 4.0 (version 4.0), else 0.
int IsOldWindows();
// 0 for an index in 0..255, else IE_BADID.
int CheckPort(int port);
// The prologue of every per-port call: CheckPort, LibraryInit, then IE_NOPEN
// for a closed slot. 0 when the call may go on.
int CheckOpenPort(int port);
// CloseHandle that counts its failures in closeFailures.
BOOL CloseCounted(HANDLE handle);
int LibMessageBox(const char* text);
void LibErrorBox(const char* text, int code);

}  // namespace sio
