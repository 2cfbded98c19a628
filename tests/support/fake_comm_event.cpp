#include "fake_comm_event.h"

#include <condition_variable>
#include <mutex>

#include "sys_table.h"

namespace {

// The system's own status words of a completed or cancelled operation.
constexpr ULONG_PTR kStatusSuccess = 0;
constexpr ULONG_PTR kStatusPending = 0x103;
constexpr ULONG_PTR kStatusCancelled = 0xC0000120;

struct WaitState {
    std::mutex lock;
    std::condition_variable changed;
    bool pending = false;
    HANDLE device = nullptr;
    DWORD* storage = nullptr;
    OVERLAPPED* overlapped = nullptr;
    // The driver keeps its own reference to the wait's event, as the system
    // does, so completing after the library closed its handle stays safe.
    HANDLE event = nullptr;
    DWORD mask = 0;
    DWORD* lastStorage = nullptr;
    long waitsStarted = 0;
    decltype(sio::sys.CloseHandle) nextCloseHandle = nullptr;
    decltype(sio::sys.CancelIoEx) nextCancelIoEx = nullptr;
};

WaitState& State() {
    static WaitState state;
    return state;
}

// Caller holds the lock.
void Complete(WaitState& s, DWORD events, ULONG_PTR status) {
    *s.storage = events;
    s.overlapped->InternalHigh = 0;
    s.overlapped->Internal = status;
    ::SetEvent(s.event);
    ::CloseHandle(s.event);
    s.pending = false;
    s.event = nullptr;
    s.changed.notify_all();
}

BOOL WINAPI FakeSetCommMask(HANDLE, DWORD mask) {
    WaitState& s = State();
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.pending) Complete(s, 0, kStatusSuccess);  // a new mask ends the wait with no event
    s.mask = mask;
    return TRUE;
}

BOOL WINAPI FakeWaitCommEvent(HANDLE device, DWORD* storage, OVERLAPPED* overlapped) {
    WaitState& s = State();
    std::lock_guard<std::mutex> hold(s.lock);
    ++s.waitsStarted;
    s.lastStorage = storage;
    if (!overlapped) {  // a synchronous handle would block; nothing here can wake it
        *storage = 0;
        return TRUE;
    }
    if (s.pending) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HANDLE self = ::GetCurrentProcess();
    ::DuplicateHandle(self, overlapped->hEvent, self, &s.event, 0, FALSE, DUPLICATE_SAME_ACCESS);
    s.pending = true;
    s.device = device;
    s.storage = storage;
    s.overlapped = overlapped;
    overlapped->Internal = kStatusPending;
    s.changed.notify_all();
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
    WaitState& s = State();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.pending && s.device == handle) Complete(s, 0, kStatusCancelled);
    }
    return s.nextCloseHandle(handle);
}

// Cancels the pending wait when it is the request named; others go on to the
// system.
BOOL WINAPI FakeCancelIoEx(HANDLE handle, LPOVERLAPPED overlapped) {
    WaitState& s = State();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.pending && s.device == handle && s.overlapped == overlapped) {
            Complete(s, 0, kStatusCancelled);
            return TRUE;
        }
    }
    return s.nextCancelIoEx(handle, overlapped);
}

}  // namespace

void FakeCommEvent::Install() {
    WaitState& s = State();
    s.nextCloseHandle = sio::sys.CloseHandle;
    s.nextCancelIoEx = sio::sys.CancelIoEx;
    sio::sys.CancelIoEx = FakeCancelIoEx;
    sio::sys.SetCommMask = FakeSetCommMask;
    sio::sys.WaitCommEvent = FakeWaitCommEvent;
    sio::sys.CloseHandle = FakeCloseHandle;
}

bool FakeCommEvent::Fire(DWORD events) {
    WaitState& s = State();
    std::lock_guard<std::mutex> hold(s.lock);
    if (!s.pending || (events & s.mask) == 0) return false;
    Complete(s, events & s.mask, kStatusSuccess);
    return true;
}

bool FakeCommEvent::WaitUntilPending(DWORD timeoutMs, long afterWaits) {
    WaitState& s = State();
    std::unique_lock<std::mutex> hold(s.lock);
    return s.changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                              [&] { return s.pending && s.waitsStarted > afterWaits; });
}

bool FakeCommEvent::Pending() {
    WaitState& s = State();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.pending;
}

DWORD* FakeCommEvent::LastStorage() {
    WaitState& s = State();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.lastStorage;
}

DWORD FakeCommEvent::LastMask() {
    WaitState& s = State();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.mask;
}

long FakeCommEvent::WaitsStarted() {
    WaitState& s = State();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.waitsStarted;
}
