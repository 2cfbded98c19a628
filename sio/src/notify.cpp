// Window notification: SioNotify starts one thread per port that waits for
// the port's events, posts one message to a window and ends. The thread and
// the caller share the port's notify fields without a lock; the protocol that
// makes that safe is written down at PortEntry.
#include "notify.h"

#include "events.h"
#include "open_close.h"
#include "overlapped.h"
#include "sio_state.h"
#include "sys_table.h"

namespace sio {

#ifdef SIO_BUILD_DLL
int holdModuleForThread = 1;
#else
int holdModuleForThread = 0;
#endif

namespace {

constexpr SIZE_T kNotifyStackSize = 1024;
// One below THREAD_PRIORITY_TIME_CRITICAL; a system that refuses it is ignored.
constexpr int kNotifyPriority = 14;

int ThreadFailure() {
    if (messageBoxes) LibMessageBox("Cannot create message thread");
    return SIO_THREAD;
}

// Takes a reference on the library's DLL that keeps it loaded until the
// thread gives it back in FreeLibraryAndExitThread; false if it is refused.
// Linked into the program itself the library cannot be unloaded, so no
// reference is taken and the thread ends plainly.
bool ReferenceOwnModule(HMODULE& module) {
    module = nullptr;
    if (!holdModuleForThread) return true;
    const DWORD byAddress = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    return sys.GetModuleHandleExA(byAddress, reinterpret_cast<LPCSTR>(&NotifyThreadProc), &module) != FALSE;
}

// The thread is created suspended so that notifyThread holds its handle
// before it can run, and so before it can end, and so that its order is in
// place before a stop that follows at once can clear the notify fields. The
// caller is inside the port, so no close takes the handle before this returns.
int StartNotifyThread(int port, HWND window, DWORD mask, WORD message, unsigned wakes) {
    PortEntry& entry = portTable[port];
    HMODULE module = nullptr;
    if (!ReferenceOwnModule(module)) return ThreadFailure();
    entry.threadInside = true;  // before the thread can run, and so leave
    HANDLE thread = sys.CreateThread(nullptr, kNotifyStackSize, NotifyThreadProc, &entry.portNumber,
                                     CREATE_SUSPENDED, nullptr);
    if (!thread) {
        entry.threadInside = false;
        if (module) sys.FreeLibrary(module);
        return ThreadFailure();
    }
    entry.threadOrder = {window, mask, message, wakes, module};
    sys.SetThreadPriority(thread, kNotifyPriority);
    entry.notifyThread = thread;
    // ResumeThread reports failure as (DWORD)-1, not as 0.
    if (sys.ResumeThread(thread) == static_cast<DWORD>(-1)) {
        entry.notifyThread = nullptr;
        sys.TerminateThread(thread, 0);  // it never ran, so it leaves nothing half done
        CloseCounted(thread);
        if (module) sys.FreeLibrary(module);
        entry.threadInside = false;
        return ThreadFailure();
    }
    return 0;
}

// Takes the thread's own handle out of notifyThread and closes it, unless
// SioClosePort has taken it first (it closes it then).
void ReleaseOwnHandle(PortEntry& entry, HANDLE own) {
    if (own && entry.notifyThread.compare_exchange_strong(own, nullptr)) CloseCounted(own);
}

}  // namespace

// Leaves the port, and releases it when a close left it held for the thread.
void ThreadLeaves(int port) {
    portTable[port].threadInside = false;
    if (portTable[port].leftOver.load() == kLeftOpen) ReleaseLeftPort(port);
}

DWORD WINAPI NotifyThreadProc(LPVOID parameter) {
    const int port = *static_cast<const int*>(parameter);
    PortEntry& entry = portTable[port];
    const HANDLE own = entry.notifyThread;  // 0 when a close has taken it already
    const PortEntry::NotifyOrder order = entry.threadOrder;
    ++threadsStarted;

    // A port closed before the thread ran is a stop.
    bool post = true;
    if (PortOpen(port)) {
        // SioNotify has ended any earlier request, so the wait starts clean;
        // a wait that could not start is neither an event nor a stop.
        post = WaitPortEvent(port, order.mask, INFINITE, order.wakes) != SIO_BUSY;
        // Woken from outside, the wait's request is still with the driver;
        // ended here, the port is clean for whatever waits next.
        EndOutstandingEventWait(port);
    }
    int threadWaits = kThreadWaits;
    entry.eventWaiter.compare_exchange_strong(threadWaits, kNoWaiter);

    // Done with the port's event and device. The end is counted and the port
    // freed before the message goes out, so a window that calls SioNotify
    // again when the message arrives can start the next thread. The handle
    // goes before the port: a port that is released may open again, and its
    // next thread may get the same handle value.
    ++threadsEnded;
    ReleaseOwnHandle(entry, own);
    ThreadLeaves(port);
    if (post && order.window)
        sys.PostMessageA(order.window, order.message, static_cast<WPARAM>(port & 0xFFFF), 0);
    // The program may unload the library as soon as the message arrives: the
    // module reference is given back by the call that also ends the thread.
    if (order.module) sys.FreeLibraryAndExitThread(order.module, 0);
    sys.ExitThread(0);
    return 0;
}

}  // namespace sio

using namespace sio;

namespace {

// SioNotify's start of a thread, counted inside the port so that a close
// does not take the thread's handle meanwhile.
int StartInside(int port, HWND window, WORD message, DWORD mask, unsigned wakes) {
    PortEntry& entry = portTable[port];
    if (!PortOpen(port)) return IE_NOPEN;
    // The running thread keeps the order it was started with.
    if (entry.notifyThread || entry.threadInside) return 1;
    // A wait of another thread has the port's event wait: neither ends the other.
    int free = kNoWaiter;
    if (!entry.eventWaiter.compare_exchange_strong(free, kThreadWaits)) return 1;
    // Left with the driver, an earlier wait's request would end the thread's
    // wait with no event; one that does not end keeps the thread from starting.
    int started = EndOutstandingEventWait(port) ? StartNotifyThread(port, window, mask, message, wakes) : 1;
    if (started != 0) entry.eventWaiter = kNoWaiter;
    return started;
}

}  // namespace

extern "C" int SioNotify(int port, void* window, int message, int mask) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    PortEntry& entry = portTable[port];
    sys.Sleep(0);  // lets a thread that is just ending give the port up
    entry.notifyWindow = static_cast<HWND>(window);
    entry.notifyMask = static_cast<DWORD>(mask);
    entry.notifyMessage = static_cast<WORD>(message & 0xFFFF);
    if (!window) {
        WakeFromOutside(port);
        return 1;
    }
    sys.Sleep(0);
    const unsigned wakes = EnterPort(port);  // a wake from now on stops the thread
    int result = StartInside(port, static_cast<HWND>(window), static_cast<WORD>(message & 0xFFFF),
                             static_cast<DWORD>(mask), wakes);
    LeavePort(port);
    return result;
}
