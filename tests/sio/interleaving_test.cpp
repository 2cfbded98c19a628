// Calls of several threads on one port, each interleaving forced by a pause
// point (a thread held inside a system call) or by a completion the virtual
// driver holds back, and run a thousand times: a wake is never lost, a close
// never releases a handle under a call, a wait is never completed by a
// request it did not start, and no wait outlasts its bound.
#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <thread>

#include "driver_cable.h"
#include "message_window.h"
#include "pause_point.h"
#include "sio.h"
#include "sio_state.h"
#include "stopwatch.h"
#include "sys_override.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

constexpr int kRounds = 1000;
constexpr int kOther = 4;       // COM5, on another cable
constexpr DWORD kLong = 10000;  // deadline for what happens at once
constexpr int kWaitMs = 3000;   // a wait's own time-out, when it must not matter

class Interleaving : public DriverCable {
protected:
    void TearDown() override {
        VirtualSerialDriver::Hold(kEnd, false);
        VirtualSerialDriver::ReleaseHeld(kEnd);
        DriverCable::TearDown();
    }
    static HANDLE Device(int port) { return ioTable[port].handle; }
    // Polls until the next event wait of kEnd pends, delivering what the
    // driver holds back meanwhile; false after the deadline.
    static bool PendsWhileReleasing(long after) {
        for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kLong;) {
            VirtualSerialDriver::ReleaseHeld(kEnd);
            if (VirtualSerialDriver::WaitUntilPending(kEnd, after, 1)) return true;
        }
        return false;
    }
    // The next message, with held completions delivered meanwhile.
    bool NextMessage(MessageWindow::Post* post) {
        for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kLong;) {
            VirtualSerialDriver::ReleaseHeld(kEnd);
            if (window_.NextPost(post, 1)) return true;
        }
        return false;
    }

    SysOverride guard_;
    MessageWindow window_;
};

}  // namespace

// The waiter is held before its start resets the event; the wake lands then.
TEST_F(Interleaving, WakeBeforeTheWaitsResetEndsTheWait) {
    for (int round = 0; round < kRounds; ++round) {
        int result = 0;
        PauseAt<&SysTable::SetCommMask> beforeReset(Device(kEnd));
        std::thread waiter([&result] { result = SioWaitEvent(kEnd, EV_RXCHAR, kWaitMs); });
        bool held = beforeReset.Reached(kLong);
        EXPECT_EQ(SioPortControl(kEnd, 'S', 0), 2);
        beforeReset.Release();
        waiter.join();
        ASSERT_TRUE(held) << "round " << round;
        ASSERT_EQ(result, SIO_DONE) << "round " << round << ": the wake was lost";
    }
}

// Another thread closes the port while a waiter is past its open check, and
// opens another port at once: the waiter must never reach that port's handle
// (Wine hands the lowest free handle value out again).
TEST_F(Interleaving, CloseWaitsForTheWaiterInsideThePort) {
    for (int round = 0; round < kRounds; ++round) {
        int result = 0;
        HANDLE closed = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        PauseAt<&SysTable::SetCommMask> insidePort(Device(kEnd));
        std::thread waiter([&result] { result = SioWaitEvent(kEnd, EV_RXCHAR, -1); });
        bool held = insidePort.Reached(kLong);
        std::thread closer([closed] {
            SioClosePort(kEnd);
            SioOpenPort(kOther, 1024, 1024);
            ::SetEvent(closed);
        });
        // The close may not finish while the waiter is held; give it the chance.
        bool closedUnderTheWaiter = ::WaitForSingleObject(closed, 10) == WAIT_OBJECT_0;
        insidePort.Release();
        waiter.join();
        closer.join();
        ::CloseHandle(closed);
        ASSERT_TRUE(held) << "round " << round;
        EXPECT_FALSE(closedUnderTheWaiter) << "round " << round;
        EXPECT_EQ(result, SIO_DONE) << "round " << round;
        EXPECT_EQ(VirtualSerialDriver::Mask(kOther), 0u) << "round " << round;
        EXPECT_EQ(VirtualSerialDriver::WaitsStarted(kOther), 0) << "round " << round;
        ASSERT_NE(SioClosePort(kOther), 0);
        ASSERT_EQ(SioOpenPort(kEnd, 1024, 1024), 0);
        if (HasFailure()) FAIL() << "round " << round;
    }
}

// A wait that timed out leaves its request with the driver, whose cancel
// the driver reports late (at once, a little later, or not within the bound):
// SioNotify starts a thread only once that request is collected, and no
// thread posts for it. Every twentieth round it is never reported in time.
TEST_F(Interleaving, NotificationAfterATimedOutWaitPostsOnlyForAnEvent) {
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_EQ(SioWaitEvent(kEnd, EV_RXCHAR, 0), SIO_PENDING) << "round " << round;
        VirtualSerialDriver::Hold(kEnd, true);
        const bool late = round % 20 == 19;
        std::thread driver([late, delay = static_cast<DWORD>(round % 3)] {
            if (late) return;
            ::Sleep(delay);
            VirtualSerialDriver::ReleaseHeld(kEnd);
        });
        const int started = threadsStarted;
        long waits = VirtualSerialDriver::WaitsStarted(kEnd);
        int result = SioNotify(kEnd, window_.hwnd(), WM_APP, EV_RXCHAR);
        driver.join();
        MessageWindow::Post post{};
        if (result == 1) {
            EXPECT_EQ(threadsStarted, started) << "round " << round;
        } else {
            ASSERT_EQ(result, 0) << "round " << round;
            ASSERT_FALSE(late) << "round " << round << ": a thread started beside an uncollected request";
            ASSERT_TRUE(PendsWhileReleasing(waits)) << "round " << round;
        }
        VirtualSerialDriver::ReleaseHeld(kEnd);  // an old request ending now must reach nobody
        ASSERT_FALSE(window_.NextPost(&post, 2)) << "round " << round << ": a message without an event";
        VirtualSerialDriver::Hold(kEnd, false);
        if (result == 0) {
            SioNotify(kEnd, nullptr, WM_APP, EV_RXCHAR);
            ASSERT_TRUE(NextMessage(&post)) << "round " << round;
        }
    }
    EXPECT_EQ(threadsEnded, threadsStarted);
}

// A Sleep that takes whole ticks of Windows' default timer (15.6 ms), as
// Sleep(1) does there.
void WINAPI TickSleep(DWORD ms) {
    constexpr double kTickMs = 15.625;
    if (ms != 0) ::Sleep(static_cast<DWORD>((static_cast<int>(ms / kTickMs) + 1) * kTickMs));
}

// A waiter hangs in the system through a close: the close gives up after 1 s
// on the clock (however long its sleeps take) and the port stays busy while
// the waiter is there; once it has left, the port opens again.
TEST_F(Interleaving, PortHeldByAHangingCallOpensAgainOnceItLeft) {
    sys.Sleep = TickSleep;
    for (int round = 0; round < 5; ++round) {
        int result = 0;
        PauseAt<&SysTable::SetCommMask> hanging(Device(kEnd));
        std::thread waiter([&result] { result = SioWaitEvent(kEnd, EV_RXCHAR, -1); });
        ASSERT_TRUE(hanging.Reached(kLong)) << "round " << round;
        Stopwatch close;
        EXPECT_EQ(SioClosePort(kEnd), 0) << "round " << round;
        EXPECT_LT(close.Milliseconds(), 1300.0) << "round " << round;
        EXPECT_EQ(SioOpenPort(kEnd, 1024, 1024), SIO_WIN_ERROR) << "round " << round;
        EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_BUSY)) << "round " << round;
        hanging.Release();
        waiter.join();
        EXPECT_EQ(result, SIO_DONE) << "round " << round;
        ASSERT_EQ(SioOpenPort(kEnd, 1024, 1024), 0) << "round " << round << ": the port was never released";
        if (HasFailure()) FAIL() << "round " << round;
    }
}

// A timed-out wait's request outlives the close of its port, its cancel
// reported late by the driver (soon, or past the close's bound every
// thirtieth round); 600 rounds keep it within the test time limit. The next opening's wait never ends by it: the port opens
// again only once the request is collected.
TEST_F(Interleaving, RequestOfOneOpeningNeverEndsAWaitOfTheNext) {
    for (int round = 0; round < 600; ++round) {
        ASSERT_EQ(SioWaitEvent(kEnd, EV_RXCHAR, 0), SIO_PENDING) << "round " << round;
        VirtualSerialDriver::Hold(kEnd, true);
        const bool late = round % 30 == 29;
        std::atomic<bool> closed{false};
        std::thread driver([&closed, late, delay = static_cast<DWORD>(round % 3)] {
            if (late) return;
            ::Sleep(delay);
            while (!closed) VirtualSerialDriver::ReleaseHeld(kEnd);
        });
        const int result = SioClosePort(kEnd);
        closed = true;
        driver.join();
        VirtualSerialDriver::Hold(kEnd, false);
        if (SioOpenPort(kEnd, 1024, 1024) != 0) {
            EXPECT_EQ(result, 0) << "round " << round;
            EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_BUSY)) << "round " << round;
            VirtualSerialDriver::ReleaseHeld(kEnd);
            ASSERT_EQ(SioOpenPort(kEnd, 1024, 1024), 0) << "round " << round;
        }
        int waited = 0;
        long waits = VirtualSerialDriver::WaitsStarted(kEnd);
        std::thread waiter([&waited] { waited = SioWaitEvent(kEnd, EV_RXCHAR, 10); });
        VirtualSerialDriver::WaitUntilPending(kEnd, waits, kLong);
        VirtualSerialDriver::ReleaseHeld(kEnd);  // an old request ending now must reach nobody
        waiter.join();
        ASSERT_EQ(waited, SIO_PENDING) << "round " << round << ": a wait ended by another opening's request";
    }
}

// Two closes of one port at once: the one that comes second while the first
// is still closing finds the port closed and closes nothing.
TEST_F(Interleaving, SecondCloseAtTheSameTimeClosesNothing) {
    for (int round = 0; round < kRounds; ++round) {
        int first = 0;
        PauseAt<&SysTable::SetCommTimeouts> closing(Device(kEnd));
        std::thread closer([&first] { first = SioClosePort(kEnd); });
        bool held = closing.Reached(kLong);
        EXPECT_EQ(SioClosePort(kEnd), IE_NOPEN) << "round " << round;
        closing.Release();
        closer.join();
        ASSERT_TRUE(held) << "round " << round;
        EXPECT_NE(first, 0) << "round " << round;
        ASSERT_EQ(closeFailures, 0) << "round " << round;
        ASSERT_EQ(SioOpenPort(kEnd, 1024, 1024), 0) << "round " << round;
    }
}

// While the notification thread has the port's event wait, an event call
// gets SIO_BUSY and leaves the thread's wait alone.
TEST_F(Interleaving, EventCallsBesideARunningThreadAreRefused) {
    long waits = VirtualSerialDriver::WaitsStarted(kEnd);
    ASSERT_EQ(SioNotify(kEnd, window_.hwnd(), WM_APP, EV_RXCHAR), 0);
    ASSERT_TRUE(VirtualSerialDriver::WaitUntilPending(kEnd, waits, kLong));
    EXPECT_EQ(SioWaitEvent(kEnd, EV_TXEMPTY, 0), SIO_BUSY);
    EXPECT_EQ(SioWaitChar(kEnd, '\r', 0), SIO_BUSY);
    EXPECT_EQ(VirtualSerialDriver::Mask(kEnd), static_cast<DWORD>(EV_RXCHAR));
    MessageWindow::Post post{};
    EXPECT_FALSE(window_.NextPost(&post, 20));
    ASSERT_EQ(SioPutByte(kFar, 'x'), 1);
    EXPECT_TRUE(window_.NextPost(&post, kLong));
}

// A stopped thread whose cancelled wait the driver never reports complete
// still ends within its bound, and the port serves the next thread.
TEST_F(Interleaving, StoppedThreadWhoseWaitNeverCompletesStillEnds) {
    long waits = VirtualSerialDriver::WaitsStarted(kEnd);
    ASSERT_EQ(SioNotify(kEnd, window_.hwnd(), WM_APP, EV_RXCHAR), 0);
    ASSERT_TRUE(VirtualSerialDriver::WaitUntilPending(kEnd, waits, kLong));
    VirtualSerialDriver::Hold(kEnd, true);
    EXPECT_EQ(SioNotify(kEnd, nullptr, WM_APP, EV_RXCHAR), 1);
    MessageWindow::Post post{};
    ASSERT_TRUE(window_.NextPost(&post, kLong)) << "the thread did not end";
    VirtualSerialDriver::Hold(kEnd, false);
    VirtualSerialDriver::ReleaseHeld(kEnd);
    waits = VirtualSerialDriver::WaitsStarted(kEnd);
    ASSERT_EQ(SioNotify(kEnd, window_.hwnd(), WM_APP, EV_RXCHAR), 0);
    ASSERT_TRUE(VirtualSerialDriver::WaitUntilPending(kEnd, waits, kLong));
    EXPECT_FALSE(window_.NextPost(&post, 20));
}

// A read the driver leaves pending and will not cancel: the call returns
// with nothing instead of waiting for the rest, the bytes that come later
// never reach the caller's buffer, and the next read hands them over.
TEST_F(Interleaving, UncancellableReadReturnsBeforeDataAndLosesNothing) {
    COMMTIMEOUTS untilFull = {};  // a read pends until its buffer is full
    ASSERT_TRUE(sys.SetCommTimeouts(Device(kEnd), &untilFull));
    sys.CancelIoEx = [](HANDLE, LPOVERLAPPED) WINAPI -> BOOL {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    };
    ASSERT_EQ(SioWriteBlock(kFar, "ab", 2), 2);  // queued, so the read starts
    for (DWORD start = ::GetTickCount(); VirtualSerialDriver::Queued(kEnd) < 2;)
        ASSERT_LT(::GetTickCount() - start, kLong);
    char buffer[8];
    memset(buffer, 0x55, sizeof buffer);
    int result = -1;
    HANDLE returned = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread reader([&] {
        result = SioReadBlock(kEnd, buffer, 4);
        ::SetEvent(returned);
    });
    bool beforeData = ::WaitForSingleObject(returned, kLong) == WAIT_OBJECT_0;
    ASSERT_EQ(SioWriteBlock(kFar, "cdefgh", 6), 6);  // ends a read that still waits
    reader.join();
    ::CloseHandle(returned);
    EXPECT_TRUE(beforeData) << "the read waited for data";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(buffer[0], 0);
    for (int i = 1; i < 8; ++i) EXPECT_EQ(buffer[i], 0x55) << "the system wrote into the caller's buffer";
    char next[8] = {};
    EXPECT_EQ(SioReadBlock(kEnd, next, 2), 2);
    EXPECT_EQ(SioGetByte(kEnd), 'c');
    EXPECT_EQ(SioReadBlock(kEnd, next + 2, 6), 1);
    EXPECT_STREQ(next, "abd");
}
