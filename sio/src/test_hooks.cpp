// The snapshot of the library's state at program start, and its restore for
// tests. A new variable of the state needs a line in both directions here.
#include "test_hooks.h"

#include <string.h>

#include "sys_table.h"

namespace sio {
namespace {

StartValues start;

void TakePort(int port) {
    const PortEntry& entry = portTable[port];
    PortStart& taken = start.ports[port];
    taken.handle = entry.handle;
    taken.notifyThread = entry.notifyThread;
    taken.lineBits = entry.lineBits;
    taken.pushback = entry.pushback;
    taken.dcb = entry.dcb;
    taken.savedTimeouts = entry.savedTimeouts;
    taken.notifyWindow = entry.notifyWindow;
    taken.notifyMask = entry.notifyMask;
    taken.portNumber = entry.portNumber;
    taken.notifyMessage = entry.notifyMessage;
    taken.dataMask = entry.dataMask;
    taken.noWait = entry.noWait;
    taken.wakeCount = entry.wakeCount;
    taken.callsInside = entry.callsInside;
    taken.eventWaiter = entry.eventWaiter;
    taken.threadInside = entry.threadInside;
    taken.leftOver = entry.leftOver;
    taken.threadOrder = entry.threadOrder;
    start.io[port] = ioTable[port];
    start.dcbs[port] = dcbTable[port];
}

void RestorePort(int port) {
    PortEntry& entry = portTable[port];
    const PortStart& taken = start.ports[port];
    entry.handle = taken.handle;
    entry.notifyThread = taken.notifyThread;
    entry.lineBits = taken.lineBits;
    entry.pushback = taken.pushback;
    entry.dcb = taken.dcb;
    entry.savedTimeouts = taken.savedTimeouts;
    entry.notifyWindow = taken.notifyWindow;
    entry.notifyMask = taken.notifyMask;
    entry.portNumber = taken.portNumber;
    entry.notifyMessage = taken.notifyMessage;
    entry.dataMask = taken.dataMask;
    entry.noWait = taken.noWait;
    entry.wakeCount = taken.wakeCount;
    entry.callsInside = taken.callsInside;
    entry.eventWaiter = taken.eventWaiter;
    entry.threadInside = taken.threadInside;
    entry.leftOver = taken.leftOver;
    entry.threadOrder = taken.threadOrder;
    ioTable[port] = start.io[port];
    dcbTable[port] = start.dcbs[port];
}

}  // namespace

void TakeStartValues() {
    for (int port = 0; port < kPortCount; ++port) TakePort(port);
    start.initDone = initDone;
    start.defaultBaud = defaultBaud;
    start.defaultParity = defaultParity;
    start.defaultStopBits = defaultStopBits;
    start.defaultDataBits = defaultDataBits;
    start.dtrAtOpen = dtrAtOpen;
    start.rtsAtOpen = rtsAtOpen;
    start.resetDeviceAtOpen = resetDeviceAtOpen;
    start.tolerateSetupFailure = tolerateSetupFailure;
    start.messageBoxes = messageBoxes;
    start.oldWindows = oldWindows;
    start.syncMode = syncMode;
    start.lastWinError = lastWinError;
    start.threadsStarted = threadsStarted;
    start.threadsEnded = threadsEnded;
    start.closeFailures = closeFailures;
    start.spareCounter1 = spareCounter1;
    start.spareCounter2 = spareCounter2;
    memcpy(start.deviceName, deviceName, sizeof deviceName);
    start.commStat = commStat;
    start.holdModuleForThread = holdModuleForThread;
}

const StartValues& StartValuesTaken() { return start; }

void ResetForTests() {
    sys = SysTable{};
    for (int port = 0; port < kPortCount; ++port) RestorePort(port);
    initDone = start.initDone;
    defaultBaud = start.defaultBaud;
    defaultParity = start.defaultParity;
    defaultStopBits = start.defaultStopBits;
    defaultDataBits = start.defaultDataBits;
    dtrAtOpen = start.dtrAtOpen;
    rtsAtOpen = start.rtsAtOpen;
    resetDeviceAtOpen = start.resetDeviceAtOpen;
    tolerateSetupFailure = start.tolerateSetupFailure;
    messageBoxes = start.messageBoxes;
    oldWindows = start.oldWindows;
    syncMode = start.syncMode;
    lastWinError = start.lastWinError;
    threadsStarted = start.threadsStarted;
    threadsEnded = start.threadsEnded;
    closeFailures = start.closeFailures;
    spareCounter1 = start.spareCounter1;
    spareCounter2 = start.spareCounter2;
    memcpy(deviceName, start.deviceName, sizeof deviceName);
    commStat = start.commStat;
    holdModuleForThread = start.holdModuleForThread;
}

}  // namespace sio
