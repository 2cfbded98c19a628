// Window notification: the thread that SioNotify starts, the message it
// posts to a message-only window, how a stop or a close ends it, and that
// long runs of notify and close leave no thread, handle or stale use behind.
// The port is on the virtual Windows driver, so events come exactly when a
// test causes them (a byte from the far end).
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <thread>

#include "box_log.h"
#include "fault_layer.h"
#include "message_window.h"
#include "notify.h"
#include "released_handles.h"
#include "sio.h"
#include "sio_state.h"
#include "stopwatch.h"
#include "sys_override.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

constexpr int kPort = 2;        // COM3 on the virtual driver
constexpr int kPeer = 3;        // the far end of its cable
constexpr DWORD kLong = 10000;  // deadline for things that happen at once

// Records the threads the library creates and keeps a duplicate handle of
// the latest, so a test can wait for that thread's end on its own.
struct ThreadLog {
    static inline decltype(sys.CreateThread) next = nullptr;
    static inline int created = 0;
    static inline HANDLE thread = nullptr;
    static inline HANDLE watch = nullptr;

    static HANDLE WINAPI Create(LPSECURITY_ATTRIBUTES sa, SIZE_T size, LPTHREAD_START_ROUTINE start,
                                LPVOID param, DWORD flags, LPDWORD id) {
        HANDLE createdThread = next(sa, size, start, param, flags, id);
        ++created;
        thread = createdThread;
        if (watch) ::CloseHandle(watch);
        HANDLE self = ::GetCurrentProcess();
        ::DuplicateHandle(self, createdThread, self, &watch, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return createdThread;
    }
    static void Install() {
        created = 0;
        thread = nullptr;
        next = sys.CreateThread;
        sys.CreateThread = Create;
    }
    static bool Ended(DWORD timeoutMs) { return ::WaitForSingleObject(watch, timeoutMs) == WAIT_OBJECT_0; }
    static void Release() {
        if (watch) ::CloseHandle(watch);
        watch = nullptr;
    }
};

class Notify : public ::testing::Test {
protected:
    void SetUp() override {
        FaultLayer::Install(0);
        ThreadLog::Install();
        ASSERT_NE(window_.hwnd(), nullptr);
        ASSERT_EQ(SioOpenPort(kPeer, 1024, 1024), 0);
        peerHandles_ = FaultLayer::LiveHandles();  // the far end's, held until the test ends
        ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    }
    void TearDown() override {
        SioClosePort(kPort);
        SioClosePort(kPeer);
        ThreadLog::Release();
    }
    // Starts a notification thread and waits until its event wait pends.
    void StartWaitingThread(int message, int mask) {
        long waits = VirtualSerialDriver::WaitsStarted(kPort);
        ASSERT_EQ(SioNotify(kPort, window_.hwnd(), message, mask), 0);
        ASSERT_TRUE(VirtualSerialDriver::WaitUntilPending(kPort, waits, kLong));
    }
    // The one message the ended thread posted: it arrived and no other did.
    void ExpectOnePost(UINT message) {
        MessageWindow::Post post{};
        ASSERT_TRUE(window_.NextPost(&post, kLong));
        EXPECT_EQ(post.message, message);
        EXPECT_EQ(post.wParam, static_cast<WPARAM>(kPort));
        EXPECT_EQ(post.lParam, 0);
        ASSERT_TRUE(ThreadLog::Ended(kLong));
        EXPECT_TRUE(window_.QueueEmpty());
    }

    SysOverride guard_;
    VirtualSerialDriver driver_;
    MessageWindow window_;
    int peerHandles_ = 0;
};

}  // namespace

TEST_F(Notify, StartsOneThreadThatPostsOnceOnTheEvent) {
    // Message numbers are 16-bit: only the low 16 bits of this one are posted.
    StartWaitingThread(0x30000 | (WM_APP + 1), EV_RXCHAR);
    EXPECT_EQ(ThreadLog::created, 1);
    EXPECT_EQ(threadsStarted, 1);
    // Only an event of its mask ends its wait.
    VirtualSerialDriver::SetRing(kPort, true);
    MessageWindow::Post early{};
    EXPECT_FALSE(window_.NextPost(&early, 50));

    // A second call while the thread waits starts none; the thread keeps what it took.
    EXPECT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 9, EV_TXEMPTY), 1);
    EXPECT_EQ(ThreadLog::created, 1);

    ASSERT_EQ(SioPutByte(kPeer, 'x'), 1);
    ExpectOnePost(WM_APP + 1);
    EXPECT_EQ(threadsStarted, 1);
    EXPECT_EQ(threadsEnded, 1);
    EXPECT_EQ(portTable[kPort].notifyThread.load(), nullptr);

    // Called again when the message has come, the port is free for the next thread.
    EXPECT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 2, EV_RXCHAR), 0);
    EXPECT_EQ(ThreadLog::created, 2);
}

TEST_F(Notify, StopWithoutWindowStillPostsToTheThreadsWindow) {
    StartWaitingThread(WM_APP + 3, EV_RXCHAR);
    EXPECT_EQ(SioNotify(kPort, nullptr, WM_APP + 4, EV_RXCHAR), 1);
    ExpectOnePost(WM_APP + 3);
    EXPECT_EQ(ThreadLog::created, 1);
    EXPECT_EQ(threadsEnded, 1);
}

TEST_F(Notify, StopWithNoThreadDoesNotEndTheNextOne) {
    EXPECT_EQ(SioNotify(kPort, nullptr, WM_APP, EV_RXCHAR), 1);
    StartWaitingThread(WM_APP + 5, EV_RXCHAR);
    EXPECT_FALSE(ThreadLog::Ended(200));  // it waits for its event
    ASSERT_EQ(SioPutByte(kPeer, 'x'), 1);
    ExpectOnePost(WM_APP + 5);
}

TEST_F(Notify, CloseWakesTheWaitingThreadAndReleasesEverything) {
    ReleasedHandles::Install();
    StartWaitingThread(WM_APP + 6, EV_RXCHAR);
    EXPECT_NE(SioClosePort(kPort), 0);
    ExpectOnePost(WM_APP + 6);
    EXPECT_EQ(threadsStarted, 1);
    EXPECT_EQ(threadsEnded, 1);
    EXPECT_EQ(portTable[kPort].notifyThread.load(), nullptr);
    EXPECT_EQ(closeFailures, 0);
    EXPECT_EQ(FaultLayer::LiveHandles(), peerHandles_);
    EXPECT_EQ(ReleasedHandles::Misuses(), 0);
}

// A failed wait for the woken thread is no sign that it is stuck: a thread
// ended then could be holding a lock that the rest of the process needs.
TEST_F(Notify, CloseWhoseWaitForTheThreadFailsStillLetsItEndByItself) {
    static int terminations;
    terminations = 0;
    StartWaitingThread(WM_APP + 7, EV_RXCHAR);
    sys.WaitForSingleObject = [](HANDLE handle, DWORD timeout) WINAPI -> DWORD {
        if (handle != ThreadLog::thread) return ::WaitForSingleObject(handle, timeout);
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    };
    sys.TerminateThread = [](HANDLE thread, DWORD code) WINAPI -> BOOL {
        ++terminations;
        return ::TerminateThread(thread, code);
    };
    // Woken, the thread takes a while to end, so the close finds it running.
    sys.PostMessageA = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) WINAPI -> BOOL {
        ::Sleep(100);
        return ::PostMessageA(window, message, wParam, lParam);
    };
    EXPECT_NE(SioClosePort(kPort), 0);
    ExpectOnePost(WM_APP + 7);
    EXPECT_EQ(terminations, 0);
    EXPECT_EQ(threadsEnded, 1);
    EXPECT_EQ(FaultLayer::LiveHandles(), peerHandles_);
}

TEST(NotifySync, PostsAlmostAtOnceAndClosesCleanly) {
    SysOverride guard;
    VirtualSerialDriver driver;
    FaultLayer::Install(0);
    MessageWindow window;
    sys.GetVersion = []() WINAPI -> DWORD { return 4; };  // version 4.0: synchronous mode
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    EXPECT_EQ(SioNotify(kPort, window.hwnd(), WM_APP + 7, EV_RXCHAR), 0);
    MessageWindow::Post post{};
    ASSERT_TRUE(window.NextPost(&post, kLong));
    EXPECT_EQ(post.message, static_cast<UINT>(WM_APP + 7));
    EXPECT_NE(SioClosePort(kPort), 0);
    EXPECT_EQ(threadsStarted, threadsEnded);
    EXPECT_EQ(FaultLayer::LiveHandles(), 0);
}

struct StartFailure {
    const char* name;
    bool failCreate;  // else the resume fails
    int boxes;
};

void PrintTo(const StartFailure& row, std::ostream* out) { *out << row.name; }

class NotifyStartFailure : public Notify, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(NotifyStartFailure, GivesThreadErrorAndHoldsNoThread) {
    static int moduleRefs;
    moduleRefs = 0;
    sys.GetModuleHandleExA = [](DWORD flags, LPCSTR address, HMODULE* module) WINAPI -> BOOL {
        ++moduleRefs;
        return ::GetModuleHandleExA(flags, address, module);
    };
    sys.FreeLibrary = [](HMODULE module) WINAPI -> BOOL {
        --moduleRefs;
        return ::FreeLibrary(module);
    };
    BoxLog::Install();
    messageBoxes = GetParam().boxes;
    if (GetParam().failCreate)
        sys.CreateThread = [](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD)
                               WINAPI -> HANDLE {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        };
    static int terminated;
    terminated = 0;
    if (!GetParam().failCreate) {
        sys.ResumeThread = [](HANDLE) WINAPI -> DWORD { return static_cast<DWORD>(-1); };
        // Counted, not done: 32-bit Wine at times brings the whole process
        // down when it ends a thread that never ran. The suspended thread
        // ends with the process.
        sys.TerminateThread = [](HANDLE, DWORD) WINAPI -> BOOL { return ++terminated, TRUE; };
    }

    EXPECT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 8, EV_RXFLAG), SIO_THREAD);
    EXPECT_EQ(portTable[kPort].notifyThread.load(), nullptr);
    EXPECT_EQ(portTable[kPort].notifyWindow.load(), window_.hwnd());
    EXPECT_EQ(portTable[kPort].notifyMask.load(), static_cast<DWORD>(EV_RXFLAG));
    EXPECT_EQ(portTable[kPort].notifyMessage.load(), WM_APP + 8);
    EXPECT_EQ(BoxLog::shown, GetParam().boxes);
    if (BoxLog::shown) {
        EXPECT_EQ(BoxLog::text, "Cannot create message thread");
        EXPECT_EQ(BoxLog::caption, "Info");
        EXPECT_EQ(BoxLog::style, static_cast<UINT>(MB_TASKMODAL | MB_ICONWARNING));
    }
    EXPECT_NE(SioClosePort(kPort), 0);
    EXPECT_EQ(threadsStarted, 0);
    EXPECT_EQ(terminated, GetParam().failCreate ? 0 : 1);
    EXPECT_EQ(FaultLayer::LiveHandles(), peerHandles_);
    EXPECT_EQ(moduleRefs, 0) << "the module reference was not given back";
}

INSTANTIATE_TEST_SUITE_P(Calls, NotifyStartFailure,
                         ::testing::Values(StartFailure{"CreateThreadWithBox", true, 1},
                                           StartFailure{"CreateThreadWithoutBox", true, 0},
                                           StartFailure{"ResumeThread", false, 1}),
                         [](const auto& row) { return std::string(row.param.name); });

// Holds every thread the library starts at its first instruction until the
// test opens the gate, so a test can act before the thread runs.
struct GatedStart {
    static inline HANDLE gate = nullptr;
    static inline LPTHREAD_START_ROUTINE routine = nullptr;
    static inline int terminations = 0;

    static DWORD WINAPI Run(LPVOID parameter) {
        ::WaitForSingleObject(gate, INFINITE);
        return routine(parameter);
    }
    // After ThreadLog::Install, which it wraps.
    static void Install() {
        gate = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        terminations = 0;
        sys.CreateThread = [](LPSECURITY_ATTRIBUTES sa, SIZE_T size, LPTHREAD_START_ROUTINE start,
                              LPVOID param, DWORD flags, LPDWORD id) WINAPI -> HANDLE {
            routine = start;
            return ThreadLog::Create(sa, size, Run, param, flags, id);
        };
        sys.TerminateThread = [](HANDLE thread, DWORD code) WINAPI -> BOOL {
            ++terminations;
            return ::TerminateThread(thread, code);
        };
    }
    static void Open() { ::SetEvent(gate); }
};

// The stop comes before the new thread has run: the thread still posts its
// one message to the window it was started for.
TEST_F(Notify, StopRightAfterTheStartStillPostsTheOneMessage) {
    GatedStart::Install();
    ASSERT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 13, EV_RXCHAR), 0);
    EXPECT_EQ(SioNotify(kPort, nullptr, WM_APP + 14, EV_RXCHAR), 1);
    GatedStart::Open();
    ExpectOnePost(WM_APP + 13);
    EXPECT_EQ(threadsEnded, 1);
    EXPECT_FALSE(VirtualSerialDriver::WaitPending(kPort))
        << "the woken wait's request was left with the driver";
}

// The thread's module stays loaded until the call that ends the thread gives
// it back, after the post: a program may unload the library on the message.
struct ModuleLog {
    static inline std::string trace;
    static inline HMODULE taken = nullptr;
};

// The DLL build's thread takes a reference on the library's module before it
// starts and gives it back in FreeLibraryAndExitThread, after its post.
TEST_F(Notify, ThreadHoldingTheModuleGivesItBackOnlyAfterItsPost) {
    ModuleLog::trace.clear();
    holdModuleForThread = 1;
    sys.GetModuleHandleExA = [](DWORD flags, LPCSTR address, HMODULE* module) WINAPI -> BOOL {
        BOOL ok = ::GetModuleHandleExA(flags, address, module);
        ModuleLog::taken = *module;
        ModuleLog::trace += (flags == GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS &&
                             address == reinterpret_cast<LPCSTR>(&NotifyThreadProc))
                                ? "take "
                                : "take-wrong ";
        return ok;
    };
    sys.PostMessageA = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) WINAPI -> BOOL {
        ModuleLog::trace += "post ";
        return ::PostMessageA(window, message, wParam, lParam);
    };
    sys.FreeLibraryAndExitThread = [](HMODULE module, DWORD code) WINAPI {
        ModuleLog::trace += module == ModuleLog::taken ? "release-and-end" : "release-wrong";
        ::FreeLibraryAndExitThread(module, code);
    };
    StartWaitingThread(WM_APP + 15, EV_RXCHAR);
    ASSERT_EQ(SioPutByte(kPeer, 'x'), 1);
    ExpectOnePost(WM_APP + 15);
    ASSERT_TRUE(ThreadLog::Ended(kLong));
    EXPECT_EQ(ModuleLog::trace, "take post release-and-end");
}

// In old-Windows (synchronous) mode a close that finds the thread still
// running gives it the same bounded time to end as overlapped mode does:
// terminating it at once could leave a system lock taken for ever.
TEST(NotifySync, CloseLetsARunningThreadEndInsteadOfTerminatingIt) {
    SysOverride guard;
    VirtualSerialDriver driver;
    FaultLayer::Install(0);
    MessageWindow window;
    ThreadLog::Install();
    GatedStart::Install();
    sys.GetVersion = []() WINAPI -> DWORD { return 4; };  // version 4.0: synchronous mode
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    ASSERT_EQ(SioNotify(kPort, window.hwnd(), WM_APP + 16, EV_RXCHAR), 0);
    std::thread opener([] {
        ::Sleep(100);
        GatedStart::Open();
    });
    EXPECT_NE(SioClosePort(kPort), 0);
    opener.join();
    EXPECT_EQ(GatedStart::terminations, 0);
    EXPECT_EQ(threadsEnded, 1);
    MessageWindow::Post post{};
    EXPECT_TRUE(window.NextPost(&post, kLong));
    EXPECT_TRUE(ThreadLog::Ended(kLong));
    EXPECT_EQ(FaultLayer::LiveHandles(), 0);
    ThreadLog::Release();
}

// A thread whose event wait does not wake: SioClosePort must not release the
// port's event and device while it still runs.
struct StuckThread {
    const char* name;
    int oldSystem;        // old-Windows mode at the close
    bool refuseEnd;       // TerminateThread fails
    bool failThreadWait;  // the close's wait for the thread fails
};

void PrintTo(const StuckThread& row, std::ostream* out) { *out << row.name; }

class NotifyStuckThread : public Notify, public ::testing::WithParamInterface<StuckThread> {
protected:
    static inline HANDLE wedge = nullptr;
    static inline HANDLE wedged = nullptr;  // set once the thread sits in its wait
    static inline int terminations = 0;
    static inline HANDLE terminated = nullptr;
    static inline bool refuse = false;
    static inline bool failThreadWait = false;

    void WedgeTheEventWait() {
        wedge = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        wedged = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        refuse = GetParam().refuseEnd;
        failThreadWait = GetParam().failThreadWait;
        terminations = 0;
        terminated = nullptr;
        sys.WaitForSingleObject = [](HANDLE handle, DWORD timeout) WINAPI -> DWORD {
            if (handle == ioTable[kPort].eventOv.hEvent) {  // deaf to the wake
                ::SetEvent(wedged);
                handle = wedge;
            }
            if (failThreadWait && handle == ThreadLog::thread) {
                SetLastError(ERROR_INVALID_HANDLE);
                return WAIT_FAILED;
            }
            return ::WaitForSingleObject(handle, timeout);
        };
        sys.TerminateThread = [](HANDLE thread, DWORD code) WINAPI -> BOOL {
            ++terminations;
            terminated = thread;
            if (refuse) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            return ::TerminateThread(thread, code);
        };
    }
    void TearDown() override {
        ::SetEvent(wedge);  // a thread that was not terminated may end now
        ThreadLog::Ended(kLong);
        Notify::TearDown();
        ::CloseHandle(wedge);
        ::CloseHandle(wedged);
    }
};

TEST_P(NotifyStuckThread, CloseEndsItBeforeReleasingThePort) {
    BoxLog::Install();
    WedgeTheEventWait();
    StartWaitingThread(WM_APP + 10, EV_RXCHAR);
    ASSERT_EQ(::WaitForSingleObject(wedged, kLong), WAIT_OBJECT_0);
    HANDLE thread = ThreadLog::thread;
    oldWindows = GetParam().oldSystem;

    Stopwatch close;
    EXPECT_NE(SioClosePort(kPort), 0);
    double took = close.Milliseconds();

    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(terminated, thread);
    if (GetParam().refuseEnd) {
        EXPECT_EQ(BoxLog::text, "Cannot terminate thread " +
                                    std::to_string(static_cast<int>(reinterpret_cast<INT_PTR>(thread))));
        ::SetEvent(wedge);
        ExpectOnePost(WM_APP + 10);  // it goes on and ends by itself, without its handle
    } else {
        ASSERT_TRUE(ThreadLog::Ended(kLong));
        EXPECT_TRUE(window_.QueueEmpty());
        EXPECT_EQ(threadsEnded, 0);
        EXPECT_EQ(BoxLog::shown, 0);
    }
    EXPECT_GE(took, 1500.0);  // it was given its time first, old-Windows mode too
    EXPECT_EQ(closeFailures, 0);
    EXPECT_EQ(FaultLayer::LiveHandles(), peerHandles_);
}

INSTANTIATE_TEST_SUITE_P(Modes, NotifyStuckThread,
                         ::testing::Values(StuckThread{"OldWindowsTerminatedAfterTheBound", 1, false, false},
                                           StuckThread{"OldWindowsTerminateRefused", 1, true, false},
                                           StuckThread{"TerminatedAfterTheBound", 0, false, false},
                                           StuckThread{"WaitFailsTerminatedAfterTheBound", 0, false, true}),
                         [](const auto& row) { return std::string(row.param.name); });

// Long runs: every thread ends, every handle is released once, and nothing
// uses a handle after its release.
class NotifyCycles : public ::testing::Test {
protected:
    void SetUp() override {
        FaultLayer::Install(0);
        ReleasedHandles::Install();
        ASSERT_EQ(SioOpenPort(kPeer, 1024, 1024), 0);
        peerHandles_ = FaultLayer::LiveHandles();
    }
    void TearDown() override { SioClosePort(kPeer); }
    // One thread whose event fires: its message comes before the close.
    void EventCycle() {
        ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
        long waits = VirtualSerialDriver::WaitsStarted(kPort);
        ASSERT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP, EV_RXCHAR), 0);
        ASSERT_TRUE(VirtualSerialDriver::WaitUntilPending(kPort, waits, kLong));
        ASSERT_EQ(SioPutByte(kPeer, 'x'), 1);
        MessageWindow::Post post{};
        ASSERT_TRUE(window_.NextPost(&post, kLong));
        ASSERT_NE(SioClosePort(kPort), 0);
    }
    // A close right after the notify: the thread may not have reached its wait yet.
    void CloseCycle() {
        ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
        ASSERT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP, EV_RXCHAR), 0);
        ASSERT_NE(SioClosePort(kPort), 0);
    }
    int CollectPosts(int expected) {
        int posts = 0;
        MessageWindow::Post post{};
        while (posts < expected && window_.NextPost(&post, kLong)) ++posts;
        return posts;
    }
    void ExpectNothingLeft(HANDLE probeBefore) {
        EXPECT_EQ(threadsStarted, threadsEnded);
        EXPECT_EQ(closeFailures, 0);
        EXPECT_EQ(FaultLayer::LiveHandles(), peerHandles_);
        EXPECT_EQ(ReleasedHandles::Misuses(), 0);
        EXPECT_EQ(ProbeHandleValue(), probeBefore);
    }

    static constexpr int kCycles = 1000;
    SysOverride guard_;
    VirtualSerialDriver driver_;
    MessageWindow window_;
    int peerHandles_ = 0;
};

TEST_F(NotifyCycles, NotifyEventCloseAndReopen) {
    EventCycle();  // the first run creates what the process keeps (locks, queues)
    HANDLE probe = ProbeHandleValue();
    Stopwatch run;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        EventCycle();
        if (HasFatalFailure()) FAIL() << "cycle " << cycle;
    }
    printf("figure: %d notify-event-close cycles in %.0f ms\n", kCycles, run.Milliseconds());
    EXPECT_EQ(threadsEnded, kCycles + 1);
    ExpectNothingLeft(probe);
}

TEST_F(NotifyCycles, NotifyAndCloseWithoutEvent) {
    CloseCycle();
    ASSERT_EQ(CollectPosts(1), 1);
    HANDLE probe = ProbeHandleValue();
    Stopwatch run;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        CloseCycle();
        if (HasFatalFailure()) FAIL() << "cycle " << cycle;
        // The close has waited for the thread, or the thread was past its wait and counted.
        ASSERT_EQ(threadsEnded, cycle + 2) << "cycle " << cycle;
    }
    printf("figure: %d notify-close cycles in %.0f ms\n", kCycles, run.Milliseconds());
    EXPECT_EQ(CollectPosts(kCycles), kCycles);  // each woken thread still posts once
    ExpectNothingLeft(probe);
}

// ---- On the virtual Windows driver ----------------------------------------

namespace {

constexpr int kEnd = 2;  // COM3 on the virtual driver
constexpr int kFar = 3;  // the other end of its cable

class DriverNotify : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window_.hwnd(), nullptr);
        ASSERT_EQ(SioOpenPort(kEnd, 1024, 1024), 0);
        ASSERT_EQ(SioOpenPort(kFar, 1024, 1024), 0);
    }
    void TearDown() override {
        VirtualSerialDriver::Hold(kEnd, false);
        VirtualSerialDriver::ReleaseHeld(kEnd);
        SioClosePort(kEnd);
        SioClosePort(kFar);
    }
    // Arms a thread and waits until its wait pends in the driver.
    void Arm(int message) {
        long waits = VirtualSerialDriver::WaitsStarted(kEnd);
        ASSERT_EQ(SioNotify(kEnd, window_.hwnd(), message, EV_RXCHAR), 0);
        ASSERT_TRUE(VirtualSerialDriver::WaitUntilPending(kEnd, waits, kLong));
    }
    // The next message; completions held back are delivered meanwhile.
    bool NextMessage(MessageWindow::Post* post) {
        DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < kLong) {
            VirtualSerialDriver::ReleaseHeld(kEnd);
            if (window_.NextPost(post, 1)) return true;
        }
        return false;
    }

    VirtualSerialDriver driver_;
    MessageWindow window_;
};

}  // namespace

TEST_F(DriverNotify, OneMessagePerEventAndNoneWithoutOne) {
    Arm(WM_APP + 20);
    MessageWindow::Post post{};
    EXPECT_FALSE(window_.NextPost(&post, 100));  // a silent line brings nothing
    ASSERT_EQ(SioPutByte(kFar, 'x'), 1);
    ASSERT_TRUE(NextMessage(&post));
    EXPECT_EQ(post.message, static_cast<UINT>(WM_APP + 20));
    EXPECT_EQ(post.wParam, static_cast<WPARAM>(kEnd));
    EXPECT_FALSE(window_.NextPost(&post, 50));
}

// Re-armed from each message, with every completion delivered late: a wake
// from outside leaves the thread's request outstanding unless the thread ends
// it, and the new thread's mask change would then complete that old request
// into the new wait, a message without an event.
TEST_F(DriverNotify, ReArmedAThousandTimesGivesOneMessagePerEventOrWake) {
    VirtualSerialDriver::Hold(kEnd, true);
    Arm(WM_APP + 21);
    int spurious = 0;
    for (int round = 0; round < 1000; ++round) {
        if (round % 2) {
            ASSERT_EQ(SioPutByte(kFar, 'x'), 1) << round;
        } else {
            SioPortControl(kEnd, 'S', 0);
        }
        MessageWindow::Post post{};
        ASSERT_TRUE(NextMessage(&post)) << "round " << round;
        SioFlushRx(kEnd);
        Arm(WM_APP + 21);
        if (HasFatalFailure()) FAIL() << "round " << round;
        VirtualSerialDriver::ReleaseHeld(kEnd);  // an old request ending now must reach nobody
        if (window_.NextPost(&post, 2)) ++spurious;
        if (spurious) break;
    }
    EXPECT_EQ(spurious, 0);
    EXPECT_EQ(threadsStarted, threadsEnded + 1);  // the last one still waits
}
