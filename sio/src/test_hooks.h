// Hooks for the library's own tests only; never part of sio.h. The library's
// state is process-wide, so a test program that runs many tests in one
// process puts it back to its start values before each test: the values it
// held when the program started, taken once, never values written here.
#pragma once

#include <windows.h>

#include "sio_state.h"

namespace sio {

// One port's PortEntry as plain values.
struct PortStart {
    HANDLE handle;
    HANDLE notifyThread;
    BYTE lineBits;
    BYTE pushback;
    DCB* dcb;
    COMMTIMEOUTS savedTimeouts;
    HWND notifyWindow;
    DWORD notifyMask;
    int portNumber;
    WORD notifyMessage;
    BYTE dataMask;
    BYTE noWait;
    unsigned wakeCount;
    int callsInside;
    int eventWaiter;
    bool threadInside;
    int leftOver;
    PortEntry::NotifyOrder threadOrder;
};

// Every variable of the library's state, as the program found it.
struct StartValues {
    PortStart ports[kPortCount];
    PortIo io[kPortCount];
    DCB dcbs[kPortCount];
    int initDone;
    int defaultBaud;
    BYTE defaultParity;
    BYTE defaultStopBits;
    BYTE defaultDataBits;
    BYTE dtrAtOpen;
    BYTE rtsAtOpen;
    BYTE resetDeviceAtOpen;
    BYTE tolerateSetupFailure;
    int messageBoxes;
    int oldWindows;
    int syncMode;
    DWORD lastWinError;
    int threadsStarted;
    int threadsEnded;
    int closeFailures;
    int spareCounter1;
    int spareCounter2;
    char deviceName[sizeof deviceName];
    COMSTAT commStat;
    int holdModuleForThread;
};

// Takes the snapshot; the test main calls it first, before any library call.
void TakeStartValues();
const StartValues& StartValuesTaken();

// Puts every variable, every port's records and the system-call table back to
// the snapshot. Handles still held are not closed: the caller ends what it
// opened first.
void ResetForTests();

}  // namespace sio
