// The fault walk over every public call of the library: open and close in
// both modes, the transfers, the settings, event waits, notification, options
// and queries. Every system call a public call depends on fails in turn, and
// that call must report it, except for the failures the library takes on
// purpose, listed with their reasons beside the engine in fault_walk.cpp.
#include <gtest/gtest.h>

#include <string.h>

#include <thread>

#include "fault_walk.h"
#include "message_window.h"
#include "param_names.h"
#include "sio.h"
#include "sio_state.h"
#include "virtual_serial_driver.h"

using namespace sio;
using namespace walk;

namespace {

const Results kByteFailed = Are({SIO_NO_DATA, SIO_IO_FAILED, IE_NOPEN});
const Results kNotOpen = Are({IE_NOPEN});
const Results kWaitFailed = Are({SIO_IO_FAILED, SIO_BUSY, IE_NOPEN});

void OpenBoth() {
    OpenChecked(kEnd);
    OpenChecked(kFar);
}

void CloseBoth() {
    CloseChecked(kEnd);
    CloseChecked(kFar);
}

void OpenCloseOverlapped() {
    OpenBoth();
    CloseBoth();
}

void OpenCloseSynchronous() {
    Expect("SioPortControl", SioPortControl(kEnd, 'O', 0), Are({0}), Are({}));
    OpenBoth();
    Expect("SioWriteBlock", SioWriteBlock(kEnd, "sync", 4), Are({4}), Are({0, SIO_IO_FAILED, IE_NOPEN}));
    char buffer[8];
    Expect("SioReadBlock", SioReadBlock(kFar, buffer, sizeof buffer), Are({4}),
           Are({0, SIO_IO_FAILED, IE_NOPEN}));
    CloseBoth();
}

void Transfers() {
    OpenBoth();
    Expect("SioPutByte", SioPutByte(kEnd, 'a'), Are({1}), kByteFailed);
    Expect("SioWriteBlock", SioWriteBlock(kEnd, "bcd", 3), Are({3}),
           Are({0, SIO_NO_DATA, SIO_IO_FAILED, IE_NOPEN}));
    Expect("SioRxCount", SioRxCount(kFar), Are({4}), Are({0, IE_NOPEN}));
    Expect("SioGetByte", SioGetByte(kFar), Are({'a'}), kByteFailed);
    char buffer[8];
    Expect("SioReadBlock", SioReadBlock(kFar, buffer, sizeof buffer), Are({3}),
           Are({0, SIO_IO_FAILED, IE_NOPEN}));
    Expect("SioUngetByte", SioUngetByte(kFar, 'z'), Are({0}), kNotOpen);
    Expect("SioGetByte", SioGetByte(kFar), Are({'z'}), kByteFailed);
    Expect("SioWriteTimed", SioWriteTimed(kEnd, "gh", 2, 1000), Are({2}), Are({0, SIO_IO_FAILED, IE_NOPEN}));
    Expect("SioReadTimed", SioReadTimed(kFar, buffer, 2, 1000), Are({2}),
           Are({0, 1, SIO_IO_FAILED, IE_NOPEN}));
    Expect("SioReadSome", SioReadSome(kFar, buffer, 2, 20), Are({0}), Are({0, SIO_IO_FAILED, IE_NOPEN}));
    Expect("SioPortControl", SioPortControl(kEnd, 'W', 1), Are({1}), Are({}));
    Expect("SioWriteBlock", SioWriteBlock(kEnd, "ef", 2), Are({1}), kByteFailed);
    Expect("SioTxCount", SioTxCount(kEnd), Are({2}), Are({0, IE_NOPEN}));
    Expect("SioFlushTx", SioFlushTx(kEnd), Are({0}), kNotOpen);
    Expect("SioFlushRx", SioFlushRx(kFar), Are({0}), kNotOpen);
    VirtualSerialDriver::InjectErrors(kFar, CE_FRAME);  // not through the table: the count stays
    Expect("SioLineErrors", SioLineErrors(kFar, -1), Are({CE_FRAME}), Are({-1, IE_NOPEN}));
    CloseBoth();
}

// The lines are set so that every query has an input that is on: a failed
// query that read as off would show.
void Settings() {
    OpenBoth();
    VirtualSerialDriver::SetRing(kFar, true);
    const Results refused = Are({0, IE_NOPEN});
    Expect("SioSetBaud", SioSetBaud(kEnd, 5), Are({1}), refused);
    const Results kRefused = Are({SIO_WIN_ERROR, IE_NOPEN});
    Expect("SioSetParams", SioSetParams(kEnd, EVENPARITY, ONESTOPBIT, 7), Are({0}), kRefused);
    Expect("SioLineDTR", SioLineDTR(kEnd, 'S'), Are({1}), refused);
    Expect("SioLineRTS", SioLineRTS(kEnd, 'S'), Are({1}), refused);
    Expect("SioSetFlow", SioSetFlow(kEnd, 'H'), Are({1}), kRefused);
    Expect("SioSetFlow", SioSetFlow(kEnd, 'N'), Are({1}), kRefused);
    Expect("SioLineDTR", SioLineDTR(kEnd, 'R'), Are({1}), kNotOpen);
    Expect("SioModemDSR", SioModemDSR(kFar), Are({MS_DSR_ON}), refused);
    Expect("SioModemCTS", SioModemCTS(kFar), Are({MS_CTS_ON}), refused);
    Expect("SioModemDCD", SioModemDCD(kFar), Are({MS_RLSD_ON}), refused);
    Expect("SioModemRI", SioModemRI(kFar), Are({MS_RING_ON}), refused);
    Expect("SioLineRTS", SioLineRTS(kEnd, 'C'), Are({1}), refused);
    Expect("SioBreakControl", SioBreakControl(kEnd, 'A'), Are({1}), refused);
    Expect("SioBreakControl", SioBreakControl(kEnd, 'C'), Are({1}), refused);
    Expect("SioBreakControl", SioBreakControl(kFar, 'D'), Are({CE_BREAK}), refused);
    // Wine refuses direct port input, so the guard's answer is the usual one.
    Expect("SioReadUart", SioReadUart(kEnd, 5), From(0, 255, {SIO_NO_PORT_IO}),
           Are({SIO_NO_PORT_IO, IE_NOPEN}));
    CloseBoth();
}

// Raises a line error at kEnd once a wait started after this call pends. The
// error comes from the driver, not through the table, so the count of the
// scenario's calls stays the same from run to run.
std::thread ErrorWhenNextWaitPends() {
    long before = VirtualSerialDriver::WaitsStarted(kEnd);
    return std::thread([before] {
        if (VirtualSerialDriver::WaitUntilPending(kEnd, before, 100))
            VirtualSerialDriver::InjectErrors(kEnd, CE_FRAME);
    });
}

void EventWaits() {
    OpenBoth();
    Expect("SioWaitEvent", SioWaitEvent(kEnd, EV_RXCHAR, 0), Are({SIO_PENDING}), kWaitFailed);
    std::thread error = ErrorWhenNextWaitPends();
    Expect("SioWaitEvent", SioWaitEvent(kEnd, EV_ERR, 1000), Are({SIO_DONE}), kWaitFailed);
    error.join();
    Expect("SioWaitChar", SioWaitChar(kEnd, '\r', 5), Are({SIO_PENDING}),
           Are({SIO_IO_FAILED, SIO_WIN_ERROR, SIO_BUSY}));
    Expect("SioPortControl", SioPortControl(kEnd, 'S', 0), Are({2}), Are({}));
    CloseBoth();
}

// Waits (bounded) until every notification thread has ended, so that the
// handle check sees what the run left behind, not a thread on its way out.
void AwaitThreads() {
    DWORD start = ::GetTickCount();
    while (threadsEnded < threadsStarted && ::GetTickCount() - start < 3000) ::Sleep(1);
}

void Notification() {
    MessageWindow window;
    OpenBoth();
    // 1: the port's event wait is still taken (an earlier wait's request has not been collected).
    const Results notStarted = Are({SIO_THREAD, IE_NOPEN, 1});
    std::thread error = ErrorWhenNextWaitPends();
    Expect("SioNotify", SioNotify(kEnd, window.hwnd(), WM_APP, EV_ERR), Are({0}), notStarted);
    error.join();
    MessageWindow::Post post{};
    window.NextPost(&post, 200);  // it may never come when posting fails
    Expect("SioNotify", SioNotify(kEnd, window.hwnd(), WM_APP, EV_ERR), Are({0}), notStarted);
    Expect("SioNotify", SioNotify(kEnd, nullptr, WM_APP, EV_ERR), Are({1}), kNotOpen);
    CloseBoth();
    AwaitThreads();
}

// A notification thread whose wait does not wake: the stand-in below the
// layer keeps it in its wait until the run lets it go, and lets the close's
// bounded wait for it pass at once, so the close finds it still running.
struct Wedge {
    static inline HANDLE released = nullptr;  // set: the thread may go on
    static inline HANDLE waiting = nullptr;   // set once the thread sits in its wait
    static inline HANDLE thread = nullptr;
    static inline decltype(sys.CreateThread) create = nullptr;

    static void Prepare() {
        released = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        waiting = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread = nullptr;
        create = sys.CreateThread;
        sys.CreateThread = [](LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                              LPVOID parameter, DWORD flags, LPDWORD id) WINAPI -> HANDLE {
            thread = create(sa, stack, start, parameter, flags, id);
            return thread;
        };
        sys.WaitForSingleObject = [](HANDLE handle, DWORD timeout) WINAPI -> DWORD {
            if (handle == ioTable[kEnd].eventOv.hEvent && ::GetCurrentThreadId() != mainThread) {
                ::SetEvent(waiting);
                return ::WaitForSingleObject(released, INFINITE);
            }
            if (handle == thread && timeout != 0 && ::WaitForSingleObject(waiting, 0) == WAIT_OBJECT_0 &&
                ::WaitForSingleObject(handle, 0) == WAIT_TIMEOUT)
                return WAIT_TIMEOUT;  // the bound passed with the thread still in its wait
            return ::WaitForSingleObject(handle, timeout);
        };
    }
    static void Release() {
        ::SetEvent(released);
        ::CloseHandle(released);
        ::CloseHandle(waiting);
    }
    static inline DWORD mainThread = 0;
};

void CloseFindsTheThreadRunning() {
    MessageWindow window;
    Wedge::mainThread = ::GetCurrentThreadId();
    OpenBoth();
    Expect("SioNotify", SioNotify(kEnd, window.hwnd(), WM_APP, EV_RXCHAR), Are({0}),
           Are({SIO_THREAD, IE_NOPEN}));
    ::WaitForSingleObject(Wedge::waiting, 200);  // not through the table: the count stays
    CloseBoth();
    Wedge::Release();  // a thread that was not ended goes on now; the walk waits for its end
}

// The DLL build's notification thread holds the library's module; the static
// build takes the same calls when switched to it.
void PrepareModuleHold() { holdModuleForThread = 1; }

void OptionsAndQueries() {
    Expect("SioOption", SioOption('m'), Are({0}), Are({}));
    Expect("SioOption", SioOption('m'), Are({1}), Are({}));
    Expect("SioOption", SioOption('R'), Are({'R'}), Are({}));
    OpenBoth();
    Expect("SioQueryInfo", SioQueryInfo('V'), Are({0x425}), Are({}));
    Expect("SioOpenPort", SioOpenPort(VirtualSerialDriver::kMissing, 1024, 1024), Are({SIO_WIN_ERROR}),
           Are({SIO_WIN_ERROR}));
    char text[128];
    memset(text, 'g', sizeof text);
    Expect("SioWinError", SioWinError(text, sizeof text), Are({ERROR_FILE_NOT_FOUND}), Are({}));
    Expect("SioWinError terminated", memchr(text, 0, sizeof text) != nullptr, Are({1}), Are({}));
    Expect("SioWinError", SioWinError(text, 0), Are({ERROR_FILE_NOT_FOUND}), Are({}));
    Expect("SioPortControl", SioPortControl(kEnd, 'X', 1), Are({1}), Are({}));
    Expect("SioNextPort", SioNextPort(1), Are({2}), From(3, 255, {SIO_NO_DATA}));
    Expect("SioPortInfo", SioPortInfo(kEnd, 'P', text, sizeof text), Are({22}), Are({SIO_NO_DATA}));
    Expect("SioPortInfo", SioPortInfo(kEnd, 'N', text, sizeof text), Are({0}), Are({SIO_NO_DATA}));
    CloseBoth();
}

class FaultWalk : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultWalk, EveryFailureIsReportedOrListed) { EXPECT_GT(Walk(GetParam()), 0); }

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FaultWalk,
    ::testing::Values(Scenario{"OpenCloseOverlapped", OpenCloseOverlapped},
                      Scenario{"OpenCloseSynchronous", OpenCloseSynchronous},
                      Scenario{"Transfers", Transfers}, Scenario{"Settings", Settings},
                      Scenario{"EventWaits", EventWaits}, Scenario{"Notification", Notification},
                      Scenario{"NotificationHoldingTheModule", Notification, PrepareModuleHold},
                      Scenario{"CloseFindsTheThreadRunning", CloseFindsTheThreadRunning, Wedge::Prepare},
                      Scenario{"OptionsAndQueries", OptionsAndQueries}),
    ParamName<Scenario>);

}  // namespace
