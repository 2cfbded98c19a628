#include "fake_device.h"

#include "sys_override.h"

namespace {

bool Invalid(HANDLE device) {
    if (device != INVALID_HANDLE_VALUE && device != nullptr) return false;
    ::SetLastError(ERROR_INVALID_HANDLE);
    return true;
}

HANDLE WINAPI FakeCreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    HANDLE device = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ++HandleCounter::filesOpened;
    return device;
}

BOOL WINAPI FakeGetCommState(HANDLE device, DCB* dcb) {
    if (Invalid(device)) return FALSE;
    DWORD length = dcb->DCBlength;  // kept, so a test sees what the caller set
    *dcb = FakeDevice::state;
    dcb->DCBlength = length;
    return TRUE;
}

BOOL WINAPI FakeSetCommState(HANDLE device, DCB* dcb) {
    if (Invalid(device)) return FALSE;
    ++FakeDevice::stateSets;
    FakeDevice::lastSetState = *dcb;
    FakeDevice::state = *dcb;
    return TRUE;
}

BOOL WINAPI FakeGetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) {
    if (Invalid(device)) return FALSE;
    *timeouts = COMMTIMEOUTS{};
    return TRUE;
}

BOOL WINAPI FakeSetCommTimeouts(HANDLE device, COMMTIMEOUTS*) { return !Invalid(device); }
BOOL WINAPI FakeSetupComm(HANDLE device, DWORD, DWORD) { return !Invalid(device); }
BOOL WINAPI FakeEscapeCommFunction(HANDLE device, DWORD) { return !Invalid(device); }
BOOL WINAPI FakePurgeComm(HANDLE device, DWORD) { return !Invalid(device); }

BOOL WINAPI FakeClearCommError(HANDLE device, DWORD* errors, COMSTAT* stat) {
    if (Invalid(device)) return FALSE;
    if (errors) *errors = 0;
    if (stat) *stat = COMSTAT{};
    return TRUE;
}

}  // namespace

void FakeDevice::Install() {
    state = DCB{};
    state.BaudRate = CBR_9600;
    state.ByteSize = 8;
    stateSets = 0;
    sio::sys.CreateFileA = FakeCreateFileA;
    sio::sys.GetCommState = FakeGetCommState;
    sio::sys.SetCommState = FakeSetCommState;
    sio::sys.GetCommTimeouts = FakeGetCommTimeouts;
    sio::sys.SetCommTimeouts = FakeSetCommTimeouts;
    sio::sys.SetupComm = FakeSetupComm;
    sio::sys.EscapeCommFunction = FakeEscapeCommFunction;
    sio::sys.PurgeComm = FakePurgeComm;
    sio::sys.ClearCommError = FakeClearCommError;
}
