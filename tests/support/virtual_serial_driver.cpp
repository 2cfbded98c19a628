// The test's side of the virtual driver: installing it, and what a test sees
// of a device and does to it.
#include "virtual_serial_driver.h"

#include "virtual_device.h"

using namespace vsd;

namespace {

Device& At(int port) { return *OfPort(port); }

}  // namespace

VirtualSerialDriver::VirtualSerialDriver() {
    if (!lockReady) {
        ::InitializeCriticalSection(&lock);
        for (Device& d : devices) ::InitializeCriticalSection(&d.gate);
        lockReady = true;
    }
    saved = sio::sys;
    for (int slot = 0; slot < kDevices; ++slot) ResetDevice(slot);
    InstallSystemCalls(sio::sys);
    stopping_ = false;
    // The clock's own start (the runtime's and the system's set-up of a new
    // thread) is over before the test goes on, so none of it lands in a test's
    // count of what the library does.
    HANDLE ticking = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    clock_ = ::CreateThread(nullptr, 0, Clock, ticking, 0, nullptr);
    ::WaitForSingleObject(ticking, 5000);
    ::CloseHandle(ticking);
}

DWORD WINAPI VirtualSerialDriver::Clock(LPVOID ticking) {
    ::Sleep(1);
    ::SetEvent(ticking);
    while (!stopping_) {
        ::Sleep(1);
        Locked hold;
        Pump();
        ExpireReads();
    }
    return 0;
}

VirtualSerialDriver::~VirtualSerialDriver() {
    stopping_ = true;
    ::WaitForSingleObject(clock_, INFINITE);
    ::CloseHandle(clock_);
    sio::sys = saved;
    Locked hold;
    // Devices a test left open go with the driver; what was held back is dropped.
    for (Device& d : devices) {
        if (d.open) ::CloseHandle(d.handle);
        d.open = false;
        d.heldCount = 0;
    }
}

bool VirtualSerialDriver::IsOpen(int port) {
    Locked hold;
    return At(port).open;
}

DCB VirtualSerialDriver::Dcb(int port) {
    Locked hold;
    return At(port).dcb;
}

void VirtualSerialDriver::SetDcb(int port, const DCB& dcb) {
    Locked hold;
    At(port).dcb = dcb;
}

COMMTIMEOUTS VirtualSerialDriver::Timeouts(int port) {
    Locked hold;
    return At(port).timeouts;
}

DWORD VirtualSerialDriver::RxQueueSize(int port) {
    Locked hold;
    return At(port).rxSize;
}

DWORD VirtualSerialDriver::TxQueueSize(int port) {
    Locked hold;
    return At(port).txSize;
}

DWORD VirtualSerialDriver::Queued(int port) {
    Locked hold;
    return At(port).rx.count;
}

DWORD VirtualSerialDriver::ModemStatus(int port) {
    Locked hold;
    return Inputs(At(port));
}

void VirtualSerialDriver::SetRing(int port, bool on) {
    Locked hold;
    Device& d = At(port);
    bool raised = on && !d.ring;
    d.ring = on;
    if (raised) Fire(d, EV_RING);
}

void VirtualSerialDriver::InjectErrors(int port, DWORD ce) {
    Locked hold;
    InjectLineError(At(port), ce);
}

void VirtualSerialDriver::Hold(int port, bool on) {
    Locked hold;
    At(port).hold = on;
}

int VirtualSerialDriver::ReleaseHeld(int port) {
    Locked hold;
    Device& d = At(port);
    int count = d.heldCount;
    for (int i = 0; i < count; ++i) {
        const Held& h = d.held[i];
        Deliver(h.ov, h.status, h.count, h.maskOut, h.mask);
    }
    d.heldCount = 0;
    return count;
}

int VirtualSerialDriver::HeldCount(int port) {
    Locked hold;
    return At(port).heldCount;
}

bool VirtualSerialDriver::WaitPending(int port) {
    Locked hold;
    return At(port).wait.active;
}

long VirtualSerialDriver::WaitsStarted(int port) {
    Locked hold;
    return At(port).waitsStarted;
}

bool VirtualSerialDriver::WaitUntilPending(int port, long after, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        {
            Locked hold;
            const Device& d = At(port);
            if (d.wait.active && d.waitsStarted > after) return true;
        }
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(1);
    }
}

DWORD VirtualSerialDriver::Mask(int port) {
    Locked hold;
    return At(port).mask;
}
