// Pause points for interleaving tests: one entry of the system-call table,
// wrapped so that the first call of it on a given handle (a port's device or
// one of its events) holds the calling thread until the test lets it go. The
// test then acts from another thread at exactly that point of the library's
// work. Apart from the driver's own logic, so it holds over any driver.
#pragma once

#include <windows.h>

#include <atomic>

#include "sys_table.h"

template <auto Entry>
class PauseAt;

template <typename R, typename First, typename... Rest, R (WINAPI* sio::SysTable::*Entry)(First, Rest...)>
class PauseAt<Entry> {
public:
    // Arms the point for the next call whose first argument is handle. The
    // test lets the held thread go and joins it before the point goes.
    explicit PauseAt(HANDLE handle) {
        target_ = handle;
        arrived_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        release_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        next_ = sio::sys.*Entry;
        sio::sys.*Entry = Call;
        armed_ = true;
    }
    ~PauseAt() {
        armed_ = false;
        Release();
        if (sio::sys.*Entry == Call) sio::sys.*Entry = next_;
        ::CloseHandle(arrived_);
        ::CloseHandle(release_);
    }
    PauseAt(const PauseAt&) = delete;
    PauseAt& operator=(const PauseAt&) = delete;

    // True once a thread is held at the point.
    bool Reached(DWORD timeoutMs) const {
        return ::WaitForSingleObject(arrived_, timeoutMs) == WAIT_OBJECT_0;
    }
    // Lets the held thread (and any later one) go on.
    void Release() { ::SetEvent(release_); }

private:
    // A held thread goes on by itself after this, so a failing test ends.
    static constexpr DWORD kHoldLimitMs = 10000;

    static R WINAPI Call(First first, Rest... rest) {
        if (reinterpret_cast<HANDLE>(first) == target_ && armed_.exchange(false)) {
            ::SetEvent(arrived_);
            ::WaitForSingleObject(release_, kHoldLimitMs);
        }
        return next_(first, rest...);
    }

    static inline R(WINAPI* next_)(First, Rest...) = nullptr;
    static inline HANDLE target_ = nullptr;
    static inline HANDLE arrived_ = nullptr;
    static inline HANDLE release_ = nullptr;
    static inline std::atomic<bool> armed_{false};
};
