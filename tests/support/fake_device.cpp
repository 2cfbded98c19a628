#include "fake_device.h"

#include "sys_table.h"

namespace {

decltype(sio::sys.CreateEventA) createHandle;

bool Failing(FakeCall call) {
    if (FakeDevice::failing != call) return false;
    ::SetLastError(FakeDevice::failError);
    return true;
}

HANDLE WINAPI FakeCreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags, HANDLE) {
    FakeDevice::lastName = name;
    FakeDevice::lastFlags = flags;
    if (Failing(FakeCall::CreateFileA)) return INVALID_HANDLE_VALUE;
    // Any real handle serves as the device: closing it must work exactly once.
    return createHandle(nullptr, TRUE, FALSE, nullptr);
}

BOOL WINAPI FakeGetCommTimeouts(HANDLE, LPCOMMTIMEOUTS timeouts) {
    if (Failing(FakeCall::GetCommTimeouts)) return FALSE;
    *timeouts = FakeDevice::deviceTimeouts;
    return TRUE;
}

BOOL WINAPI FakeGetCommState(HANDLE, LPDCB dcb) {
    if (Failing(FakeCall::GetCommState)) return FALSE;
    DWORD length = dcb->DCBlength;
    *dcb = DCB{};
    dcb->DCBlength = length;
    dcb->EvtChar = 0x7E;  // a field the open must leave alone
    dcb->EofChar = 0x1A;
    return TRUE;
}

BOOL WINAPI FakeSetCommState(HANDLE, LPDCB dcb) {
    ++FakeDevice::setCommStateCalls;
    FakeDevice::lastDcb = *dcb;
    return !Failing(FakeCall::SetCommState);
}

BOOL WINAPI FakeSetupComm(HANDLE, DWORD rx, DWORD tx) {
    FakeDevice::lastRxQueue = rx;
    FakeDevice::lastTxQueue = tx;
    return !Failing(FakeCall::SetupComm);
}

BOOL WINAPI FakeEscapeCommFunction(HANDLE, DWORD function) {
    FakeDevice::lastEscape = function;
    return !Failing(FakeCall::EscapeCommFunction);
}

BOOL WINAPI FakeClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT stat) {
    if (errors) *errors = 0;
    if (stat) *stat = COMSTAT{};
    return TRUE;
}

BOOL WINAPI FakeSetCommTimeouts(HANDLE, LPCOMMTIMEOUTS timeouts) {
    ++FakeDevice::setCommTimeoutsCalls;
    FakeDevice::lastTimeouts = *timeouts;
    return !Failing(FakeCall::SetCommTimeouts);
}

}  // namespace

void FakeDevice::Install() {
    failing = FakeCall::None;
    createHandle = sio::sys.CreateEventA;
    sio::sys.CreateFileA = FakeCreateFileA;
    sio::sys.GetCommTimeouts = FakeGetCommTimeouts;
    sio::sys.GetCommState = FakeGetCommState;
    sio::sys.SetCommState = FakeSetCommState;
    sio::sys.SetupComm = FakeSetupComm;
    sio::sys.EscapeCommFunction = FakeEscapeCommFunction;
    sio::sys.ClearCommError = FakeClearCommError;
    sio::sys.SetCommTimeouts = FakeSetCommTimeouts;
}
