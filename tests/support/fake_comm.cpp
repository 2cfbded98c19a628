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
    using sio::sys;
    sys.GetCommState = PatternGetCommState;
    sys.ClearCommError = PendingClearCommError;
    sys.SetCommState = [](HANDLE, LPDCB dcb) WINAPI { return dcbsSet.push_back(*dcb), setCommStateResult; };
    sys.EscapeCommFunction = [](HANDLE, DWORD code) WINAPI { return escapes.push_back(code), escapeResult; };
    sys.SetCommBreak = [](HANDLE) WINAPI { return ++breaksSet, breakResult; };
    sys.ClearCommBreak = [](HANDLE) WINAPI { return ++breaksCleared, breakResult; };
    // The word is written also on failure: the library must not trust it then.
    sys.GetCommModemStatus = [](HANDLE, LPDWORD status) WINAPI { return *status = modemStatus, modemStatusResult; };
}

int FakeComm::OpenPort(int port) {
    int result = SioOpenPort(port, 1024, 1024);
    ForgetCalls();
    return result;
}
