// Window notification: the thread that SioNotify starts, the message it
// posts to a message-only window, how a stop or a close ends it, and that the
// close gives a running thread its time before it ends it. The port is on the
// virtual Windows driver, so events come exactly when a test causes them (a
// byte from the far end). Failed system calls are the fault walk's, late
// completions and racing callers the interleaving tests'.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "box_log.h"
#include "fault_layer.h"
#include "message_window.h"
#include "param_names.h"
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

// Stands between the library and the threads it starts and ends: counts them
// and keeps a duplicate handle of the latest, so a test can wait for its end
// on its own. On demand it holds new threads at their first instruction until
// the gate opens, fails the close's wait for the thread, and refuses or only
// counts terminations.
struct ThreadLog {
    enum class OnTerminate { kEnd, kRefuse, kOnlyCount };
    static inline decltype(sys.CreateThread) create = nullptr;
    static inline decltype(sys.WaitForSingleObject) wait = nullptr;
    static inline int created = 0;
    static inline HANDLE thread = nullptr;
    static inline HANDLE watch = nullptr;
    static inline LPTHREAD_START_ROUTINE routine = nullptr;
    static inline HANDLE gate = nullptr;  // set: held threads go on
    static inline bool failWaitForThread = false;
    static inline int terminations = 0;
    static inline HANDLE terminated = nullptr;
    static inline OnTerminate onTerminate = OnTerminate::kEnd;

    static DWORD WINAPI Gated(LPVOID parameter) {
        ::WaitForSingleObject(gate, INFINITE);
        return routine(parameter);
    }
    static HANDLE WINAPI Create(LPSECURITY_ATTRIBUTES sa, SIZE_T size, LPTHREAD_START_ROUTINE start,
                                LPVOID param, DWORD flags, LPDWORD id) {
        routine = start;
        HANDLE createdThread = create(sa, size, gate ? Gated : start, param, flags, id);
        ++created;
        thread = createdThread;
        if (watch) ::CloseHandle(watch);
        watch = nullptr;
        HANDLE self = ::GetCurrentProcess();
        ::DuplicateHandle(self, createdThread, self, &watch, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return createdThread;
    }
    static DWORD WINAPI Wait(HANDLE handle, DWORD timeout) {
        if (failWaitForThread && handle == thread) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        return wait(handle, timeout);
    }
    static BOOL WINAPI Terminate(HANDLE victim, DWORD code) {
        ++terminations;
        terminated = victim;
        if (onTerminate == OnTerminate::kRefuse) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        // Counted only: 32-bit Wine at times brings the whole process down
        // when it ends a thread that never ran, which then ends with the process.
        if (onTerminate == OnTerminate::kOnlyCount) return TRUE;
        return ::TerminateThread(victim, code);
    }
    static void Install() {
        created = terminations = 0;
        thread = terminated = nullptr;
        failWaitForThread = false;
        onTerminate = OnTerminate::kEnd;
        create = sys.CreateThread;
        wait = sys.WaitForSingleObject;
        sys.CreateThread = Create;
        sys.WaitForSingleObject = Wait;
        sys.TerminateThread = Terminate;
    }
    static void CloseGate() { gate = ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    static void LetGo() {
        if (gate) ::SetEvent(gate);
    }
    static bool Ended(DWORD timeoutMs) { return ::WaitForSingleObject(watch, timeoutMs) == WAIT_OBJECT_0; }
    static void Release() {
        for (HANDLE* held : {&watch, &gate}) {
            if (*held) ::CloseHandle(*held);
            *held = nullptr;
        }
    }
};

class Notify : public ::testing::Test {
protected:
    void SetUp() override {
        FaultLayer::Install(0);
        ThreadLog::Install();
        ReleasedHandles::Install();
        ASSERT_NE(window_.hwnd(), nullptr);
        ASSERT_EQ(SioOpenPort(kPeer, 1024, 1024), 0);
        peerHandles_ = FaultLayer::LiveHandles();  // the far end's, held until the test ends
        ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    }
    void TearDown() override {
        ThreadLog::LetGo();
        SioClosePort(kPort);
        SioClosePort(kPeer);
        ThreadLog::Release();
    }
    // Opens the port again in old-Windows (synchronous) mode.
    static void ReopenSynchronous() {
        ASSERT_NE(SioClosePort(kPort), 0);
        SioPortControl(0, 'O', 0);
        ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    }
    // Starts a notification thread and waits until its event wait pends.
    void StartWaitingThread(int message) {
        long waits = VirtualSerialDriver::WaitsStarted(kPort);
        ASSERT_EQ(SioNotify(kPort, window_.hwnd(), message, EV_RXCHAR), 0);
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
    // After the port's close: every handle of it released once, none used after.
    void ExpectAllReleased() {
        EXPECT_EQ(closeFailures, 0);
        EXPECT_EQ(FaultLayer::LiveHandles(), peerHandles_);
        EXPECT_EQ(ReleasedHandles::Misuses(), 0);
    }

    SysOverride guard_;
    VirtualSerialDriver driver_;
    MessageWindow window_;
    int peerHandles_ = 0;
};

}  // namespace

TEST_F(Notify, StartsOneThreadThatPostsOnceOnTheEvent) {
    // Message numbers are 16-bit: only the low 16 bits of this one are posted.
    StartWaitingThread(0x30000 | (WM_APP + 1));
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
    EXPECT_EQ(threadsEnded, 1);

    // Called again when the message has come, the port is free for the next thread.
    EXPECT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 2, EV_RXCHAR), 0);
    EXPECT_EQ(ThreadLog::created, 2);
}

// A stop (no window) wakes the thread, which posts its own message to its own
// window, whether it sat in its wait or had not run yet, and leaves no request
// of its wait with the driver.
class NotifyStop : public Notify, public ::testing::WithParamInterface<bool> {};

TEST_P(NotifyStop, StillPostsTheThreadsOneMessage) {
    const bool beforeItRuns = GetParam();
    if (beforeItRuns) {
        ThreadLog::CloseGate();
        ASSERT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 3, EV_RXCHAR), 0);
    } else {
        StartWaitingThread(WM_APP + 3);
    }
    EXPECT_EQ(SioNotify(kPort, nullptr, WM_APP + 4, EV_RXCHAR), 1);
    ThreadLog::LetGo();
    ExpectOnePost(WM_APP + 3);
    EXPECT_EQ(ThreadLog::created, 1);
    EXPECT_EQ(threadsEnded, 1);
    EXPECT_FALSE(VirtualSerialDriver::WaitPending(kPort))
        << "the woken wait's request was left with the driver";
}

INSTANTIATE_TEST_SUITE_P(Moments, NotifyStop, ::testing::Bool(),
                         [](const auto& row) { return row.param ? "BeforeItRuns" : "WhileItWaits"; });

TEST_F(Notify, StopWithNoThreadDoesNotEndTheNextOne) {
    EXPECT_EQ(SioNotify(kPort, nullptr, WM_APP, EV_RXCHAR), 1);
    StartWaitingThread(WM_APP + 5);
    EXPECT_FALSE(ThreadLog::Ended(200));  // it waits for its event
    ASSERT_EQ(SioPutByte(kPeer, 'x'), 1);
    ExpectOnePost(WM_APP + 5);
}

// In old-Windows mode the event wait ends at once, so the thread posts without an event.
TEST_F(Notify, SynchronousThreadPostsAtOnce) {
    ReopenSynchronous();
    ASSERT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 6, EV_RXCHAR), 0);
    ExpectOnePost(WM_APP + 6);
}

TEST_F(Notify, CloseWakesTheWaitingThreadAndReleasesEverything) {
    StartWaitingThread(WM_APP + 11);
    EXPECT_NE(SioClosePort(kPort), 0);
    ExpectOnePost(WM_APP + 11);
    EXPECT_EQ(threadsEnded, 1);
    EXPECT_EQ(ThreadLog::terminations, 0);
    ExpectAllReleased();
}

// A thousand notifies, each closed at once, with the thread anywhere from not
// yet run to in its wait: the close has waited for it (or it was past its wait
// and counted), each posts once, and nothing stays behind.
TEST_F(Notify, CloseRightAfterTheStartAThousandTimes) {
    constexpr int kCycles = 1000;
    ASSERT_NE(SioClosePort(kPort), 0);
    std::vector<HANDLE> free;
    MessageWindow::Post post{};
    for (int cycle = 0; cycle <= kCycles; ++cycle) {
        ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0) << "cycle " << cycle;
        ASSERT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP, EV_RXCHAR), 0) << "cycle " << cycle;
        ASSERT_NE(SioClosePort(kPort), 0) << "cycle " << cycle;
        ASSERT_EQ(threadsEnded, cycle + 1) << "cycle " << cycle;
        if (cycle == 0) {  // the first run creates what the process keeps (locks, queues)
            ASSERT_TRUE(window_.NextPost(&post, kLong));
            // Only the lowest: the layer keeps a copy of every thread's handle.
            free = FreeHandleValues(1);
        }
    }
    int posts = 0;
    while (posts < kCycles && window_.NextPost(&post, kLong)) ++posts;
    EXPECT_EQ(posts, kCycles);
    EXPECT_TRUE(FreeHandleValues(1) == free);
    ExpectAllReleased();
}

// A thread still running at the close: the close gives it its time, as ended
// at once it could leave a system lock it holds taken for ever, and ends it
// only when it still runs after that; a refused end is shown in a box and the
// thread goes on by itself, keeping the port held (the close gives 0) until it
// leaves. In either mode, and also when the close's wait for the thread fails
// (its exit code is watched then).
struct AtClose {
    const char* name;
    bool synchronous;
    bool failThreadWait;
    bool stuck;  // else it goes on 100 ms into the close
    bool refuseEnd;
};

void PrintTo(const AtClose& row, std::ostream* out) { *out << row.name; }

class NotifyAtClose : public Notify, public ::testing::WithParamInterface<AtClose> {};

TEST_P(NotifyAtClose, ThreadGetsItsTimeBeforeItIsEnded) {
    const AtClose& row = GetParam();
    BoxLog::Install();
    if (row.synchronous) ReopenSynchronous();
    ThreadLog::failWaitForThread = row.failThreadWait;
    if (row.refuseEnd) ThreadLog::onTerminate = ThreadLog::OnTerminate::kRefuse;
    ThreadLog::CloseGate();
    ASSERT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 7, EV_RXCHAR), 0);
    HANDLE thread = ThreadLog::thread;
    std::thread opener([stuck = row.stuck] {
        if (stuck) return;
        ::Sleep(100);
        ThreadLog::LetGo();
    });
    const bool held = row.stuck && row.refuseEnd;
    Stopwatch close;
    EXPECT_EQ(SioClosePort(kPort) != 0, !held);
    const double took = close.Milliseconds();
    opener.join();

    EXPECT_EQ(ThreadLog::terminations, row.stuck ? 1 : 0);
    if (row.stuck) {
        EXPECT_GE(took, 1500.0);
        EXPECT_EQ(ThreadLog::terminated, thread);
    }
    const std::string refusal =
        "Cannot terminate thread " + std::to_string(static_cast<int>(reinterpret_cast<INT_PTR>(thread)));
    EXPECT_EQ(BoxLog::text, row.refuseEnd ? refusal : "");
    if (row.stuck && !row.refuseEnd) {
        ASSERT_TRUE(ThreadLog::Ended(kLong));
        EXPECT_TRUE(window_.QueueEmpty());
    } else {
        ThreadLog::LetGo();
        ExpectOnePost(WM_APP + 7);
        EXPECT_EQ(threadsEnded, 1);
    }
    closeFailures -= held ? 1 : 0;
    ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotifyAtClose,
    ::testing::Values(AtClose{"EndsInTime", false, false, false, false},
                      AtClose{"EndsInTimeSynchronous", true, false, false, false},
                      AtClose{"EndsInTimeThoughTheWaitForItFails", false, true, false, false},
                      AtClose{"StuckIsEnded", false, false, true, false},
                      AtClose{"StuckIsEndedThoughTheWaitForItFails", false, true, true, false},
                      AtClose{"StuckAndItsEndRefused", false, false, true, true}),
    ParamName<AtClose>);

// A thread that cannot be started: SIO_THREAD (with its box while boxes are
// on), and the port's event wait, the module reference and the thread handle
// are all given back.
struct StartFailure {
    const char* name;
    bool failCreate;  // else the resume fails
    int boxes;
};

void PrintTo(const StartFailure& row, std::ostream* out) { *out << row.name; }

class NotifyStartFailure : public Notify, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(NotifyStartFailure, GivesThreadErrorAndHoldsNothing) {
    static int moduleRefs;
    moduleRefs = 0;
    holdModuleForThread = 1;  // as the DLL build does
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
    if (GetParam().failCreate) {
        sys.CreateThread = [](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD)
                               WINAPI -> HANDLE {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        };
    } else {
        sys.ResumeThread = [](HANDLE) WINAPI -> DWORD { return static_cast<DWORD>(-1); };
        ThreadLog::onTerminate = ThreadLog::OnTerminate::kOnlyCount;
    }

    EXPECT_EQ(SioNotify(kPort, window_.hwnd(), WM_APP + 8, EV_RXFLAG), SIO_THREAD);
    EXPECT_EQ(BoxLog::shown, GetParam().boxes);
    if (BoxLog::shown) {
        EXPECT_EQ(BoxLog::text, "Cannot create message thread");
    }
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, 0), SIO_PENDING) << "the port's event wait is still taken";
    EXPECT_NE(SioClosePort(kPort), 0);
    EXPECT_EQ(threadsStarted, 0);
    EXPECT_EQ(ThreadLog::terminations, GetParam().failCreate ? 0 : 1);
    EXPECT_EQ(moduleRefs, 0) << "the module reference was not given back";
    ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(Calls, NotifyStartFailure,
                         ::testing::Values(StartFailure{"CreateThreadWithBox", true, 1},
                                           StartFailure{"CreateThreadWithoutBox", true, 0},
                                           StartFailure{"ResumeThread", false, 1}),
                         ParamName<StartFailure>);

// The DLL build's thread takes a reference on the library's module before it
// starts and gives it back in the call that ends the thread, after its post:
// a program may unload the library as soon as the message arrives.
TEST_F(Notify, ThreadHoldingTheModuleGivesItBackOnlyAfterItsPost) {
    static std::string trace;
    static HMODULE taken;
    trace.clear();
    holdModuleForThread = 1;
    sys.GetModuleHandleExA = [](DWORD flags, LPCSTR address, HMODULE* module) WINAPI -> BOOL {
        BOOL ok = ::GetModuleHandleExA(flags, address, module);
        taken = *module;
        // A reference on the module the library is linked into (here the program).
        bool counted =
            flags == GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS && taken == ::GetModuleHandleA(nullptr);
        trace += counted ? "take " : "take-wrong ";
        return ok;
    };
    sys.PostMessageA = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) WINAPI -> BOOL {
        trace += "post ";
        return ::PostMessageA(window, message, wParam, lParam);
    };
    sys.FreeLibraryAndExitThread = [](HMODULE module, DWORD code) WINAPI {
        trace += module == taken ? "release-and-end" : "release-wrong";
        ::FreeLibraryAndExitThread(module, code);
    };
    StartWaitingThread(WM_APP + 15);
    ASSERT_EQ(SioPutByte(kPeer, 'x'), 1);
    ExpectOnePost(WM_APP + 15);
    EXPECT_EQ(trace, "take post release-and-end");
}
