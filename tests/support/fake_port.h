// Everything a unit test needs to open a port with no line behind it and
// drive its event wait by hand: handle counting, the fake device and the
// fake event wait, installed in the order in which they wrap each other.
#pragma once

#include <windows.h>

#include <chrono>
#include <thread>

#include "fake_comm_event.h"
#include "fake_device.h"
#include "sys_override.h"

inline void InstallFakePort() {
    HandleCounter::Install();
    FakeDevice::Install();
    FakeCommEvent::Install();
}

// Fires events, from another thread as a driver would, once the next event
// wait that starts after this call pends.
inline std::thread FireWhenNextWaitPends(DWORD events) {
    long before = FakeCommEvent::WaitsStarted();
    return std::thread([events, before] {
        if (FakeCommEvent::WaitUntilPending(10000, before)) FakeCommEvent::Fire(events);
    });
}

class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double Milliseconds() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
            .count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};
