#include "fake_comm.h"

#include <string.h>

#include "fake_device.h"
#include "sio.h"
#include "sys_table.h"

namespace {

// Before the first SetCommState the device reports a byte pattern, so that a
// field the library should leave alone shows when it is touched; afterwards
// it reports what it was given.
BOOL WINAPI PatternGetCommState(HANDLE, LPDCB dcb) {
    if (!FakeComm::dcbsSet.empty()) {
        *dcb = FakeComm::dcbsSet.back();
        return TRUE;
    }
    DWORD length = dcb->DCBlength;
    memset(dcb, 0x5A, sizeof *dcb);
    dcb->DCBlength = length;
    return TRUE;
}

BOOL WINAPI RecordingSetCommState(HANDLE, LPDCB dcb) {
    FakeComm::dcbsSet.push_back(*dcb);
    return FakeComm::setCommStateResult;
}

BOOL WINAPI RecordingEscapeCommFunction(HANDLE, DWORD code) {
    FakeComm::escapes.push_back(code);
    return FakeComm::escapeResult;
}

BOOL WINAPI CountingSetCommBreak(HANDLE) {
    ++FakeComm::breaksSet;
    return FakeComm::breakResult;
}

BOOL WINAPI CountingClearCommBreak(HANDLE) {
    ++FakeComm::breaksCleared;
    return FakeComm::breakResult;
}

BOOL WINAPI ChosenModemStatus(HANDLE, LPDWORD status) {
    *status = FakeComm::modemStatus;  // written also on failure: the library must not trust it
    return FakeComm::modemStatusResult;
}

BOOL WINAPI PendingClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT stat) {
    ++FakeComm::errorReads;
    if (!FakeComm::clearErrorResult) return FALSE;
    if (errors) *errors = FakeComm::pendingErrors;
    FakeComm::pendingErrors = 0;
    if (stat) {
        *stat = COMSTAT{};
        stat->cbInQue = FakeComm::queuedBytes;
    }
    return TRUE;
}

}  // namespace

void FakeComm::ForgetCalls() {
    dcbsSet.clear();
    escapes.clear();
    breaksSet = breaksCleared = errorReads = 0;
}

void FakeComm::Install() {
    setCommStateResult = escapeResult = breakResult = modemStatusResult = clearErrorResult = TRUE;
    modemStatus = pendingErrors = queuedBytes = 0;
    ForgetCalls();
    FakeDevice::Install();
    sio::sys.GetCommState = PatternGetCommState;
    sio::sys.SetCommState = RecordingSetCommState;
    sio::sys.EscapeCommFunction = RecordingEscapeCommFunction;
    sio::sys.SetCommBreak = CountingSetCommBreak;
    sio::sys.ClearCommBreak = CountingClearCommBreak;
    sio::sys.GetCommModemStatus = ChosenModemStatus;
    sio::sys.ClearCommError = PendingClearCommError;
}

int FakeComm::OpenPort(int port) {
    int result = SioOpenPort(port, 1024, 1024);
    ForgetCalls();
    return result;
}
