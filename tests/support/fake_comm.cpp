#include "fake_comm.h"

#include <string.h>

#include "sio.h"
#include "sys_table.h"

namespace {

// The device's own state before the first SetCommState: a byte pattern, so
// that a field the library should leave alone shows when it is touched.
void FillUnsetDcb(DCB* dcb) {
    DWORD length = dcb->DCBlength;
    memset(dcb, 0x5A, sizeof *dcb);
    dcb->DCBlength = length;
}

BOOL WINAPI FakeGetCommState(HANDLE, LPDCB dcb) {
    if (FakeComm::dcbsSet.empty())
        FillUnsetDcb(dcb);
    else
        *dcb = FakeComm::dcbsSet.back();
    return TRUE;
}

BOOL WINAPI FakeClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT stat) {
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

HANDLE FakeComm::Handle() { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5E10)); }

void FakeComm::ForgetCalls() {
    dcbsSet.clear();
    escapes.clear();
    breaksSet = breaksCleared = errorReads = 0;
}

void FakeComm::Install() {
    setCommStateResult = escapeResult = breakResult = modemStatusResult = clearErrorResult = TRUE;
    modemStatus = pendingErrors = queuedBytes = 0;
    ForgetCalls();
    using sio::sys;
    sys.CreateFileA = [](LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
        return Handle();
    };
    sys.CloseHandle = [](HANDLE h) -> BOOL { return h == Handle() ? TRUE : ::CloseHandle(h); };
    sys.GetCommTimeouts = [](HANDLE, LPCOMMTIMEOUTS timeouts) -> BOOL {
        *timeouts = COMMTIMEOUTS{};
        return TRUE;
    };
    sys.SetCommTimeouts = [](HANDLE, LPCOMMTIMEOUTS) -> BOOL { return TRUE; };
    sys.SetupComm = [](HANDLE, DWORD, DWORD) -> BOOL { return TRUE; };
    sys.GetCommState = FakeGetCommState;
    sys.SetCommState = [](HANDLE, LPDCB dcb) {
        dcbsSet.push_back(*dcb);
        return setCommStateResult;
    };
    sys.EscapeCommFunction = [](HANDLE, DWORD code) {
        escapes.push_back(code);
        return escapeResult;
    };
    sys.SetCommBreak = [](HANDLE) {
        ++breaksSet;
        return breakResult;
    };
    sys.ClearCommBreak = [](HANDLE) {
        ++breaksCleared;
        return breakResult;
    };
    sys.GetCommModemStatus = [](HANDLE, LPDWORD status) {
        *status = modemStatus;  // written also on failure: the library must not trust it
        return modemStatusResult;
    };
    sys.ClearCommError = FakeClearCommError;
}

int FakeComm::OpenPort(int port) {
    int result = SioOpenPort(port, 1024, 1024);
    ForgetCalls();
    return result;
}
