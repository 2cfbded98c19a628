// The start values of the library's state, restored for tests. Kept next to
// the definitions in port_table.cpp: a new global needs a line in both.
#include "test_hooks.h"

#include <string.h>

#include "sio_state.h"
#include "sys_table.h"

namespace sio {
namespace {

void ResetPort(int port) {
    PortEntry& entry = portTable[port];
    entry.handle = nullptr;  // zero until LibraryInit marks the slot closed
    entry.notifyThread = nullptr;
    entry.lineBits = 0;
    entry.pushback = 0;
    entry.dcb = nullptr;
    entry.savedTimeouts = COMMTIMEOUTS{};
    entry.notifyWindow = nullptr;
    entry.notifyMask = 0;
    entry.portNumber = 0;
    entry.notifyMessage = 0;
    entry.dataMask = 0;
    entry.noWait = 0;
    entry.wakeCount = 0;
    entry.callsInside = 0;
    entry.eventWaiter = kNoWaiter;
    entry.threadOrder = PortEntry::NotifyOrder{};
    ioTable[port] = PortIo{};
    dcbTable[port] = DCB{};
}

}  // namespace

void ResetForTests() {
    sys = SysTable{};
    for (int port = 0; port < kPortCount; ++port) ResetPort(port);
    initDone = kInitNone;
    defaultBaud = 19200;
    defaultParity = NOPARITY;
    defaultStopBits = ONESTOPBIT;
    defaultDataBits = 8;
    dtrAtOpen = 0;
    rtsAtOpen = 0;
    resetDeviceAtOpen = 0;
    tolerateSetupFailure = 1;
    messageBoxes = 1;
    oldWindows = 0;
    syncMode = 0;
    lastWinError = 0;
    threadsStarted = 0;
    threadsEnded = 0;
    closeFailures = 0;
    spareCounter1 = 0;
    spareCounter2 = 0;
    strcpy(deviceName, "\\\\.\\COM1");
    commStat = COMSTAT{};
}

}  // namespace sio
