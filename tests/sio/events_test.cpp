// Event waits and the event character: proven against the fake event wait
// (a driver that pends until the test fires an event), plus what a real
// virtual line under Wine does.
#include <gtest/gtest.h>

#include <stdio.h>

#include <thread>

#include "fake_port.h"
#include "sio.h"
#include "sio_state.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

constexpr int kPort = 6;  // COM7, a fake device: no line behind it

class EventWait : public ::testing::Test {
protected:
    void SetUp() override {
        InstallFakePort();
        ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    }
    void TearDown() override { SioClosePort(kPort); }

    SysOverride guard_;
};

}  // namespace

TEST(EventWaitPrologue, BadIndexAndClosedPort) {
    for (int bad : {-1, 256}) {
        EXPECT_EQ(SioWaitEvent(bad, EV_RXCHAR, 0), IE_BADID);
        EXPECT_EQ(SioWaitChar(bad, 0x0D, 0), IE_BADID);
    }
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, 0), IE_NOPEN);
    // SioWaitChar has no not-open rule: the system refuses the closed handle.
    EXPECT_EQ(SioWaitChar(kPort, 0x0D, 0), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(EventWait, TimesOutWithoutEventThenEndsSoonAfterOne) {
    Stopwatch quiet;
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, 100), SIO_PENDING);
    double waited = quiet.Milliseconds();
    EXPECT_GE(waited, 90.0);
    EXPECT_LT(waited, 2000.0);
    EXPECT_EQ(FakeCommEvent::LastMask(), static_cast<DWORD>(EV_RXCHAR));

    Stopwatch woken;
    std::thread driver = FireWhenNextWaitPends(EV_RXCHAR);
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, 10000), SIO_DONE);
    double latency = woken.Milliseconds();
    driver.join();
    EXPECT_LT(latency, 5000.0);
    EXPECT_EQ(ioTable[kPort].eventMask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(portTable[kPort].notifyMask, static_cast<DWORD>(EV_RXCHAR));
    printf("figure: 100 ms time-out took %.1f ms; fired wait returned after %.2f ms\n", waited,
           latency);
}

TEST_F(EventWait, TimedOutWaitCompletesLaterIntoThePortsOwnStorage) {
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR | EV_ERR, 10), SIO_PENDING);
    ASSERT_TRUE(FakeCommEvent::Pending());
    // The system keeps this address after the call returned: it must be the
    // port's record, not the stack of a call that has gone.
    EXPECT_EQ(FakeCommEvent::LastStorage(), &ioTable[kPort].eventMask);
    ASSERT_TRUE(FakeCommEvent::Fire(EV_ERR | EV_BREAK));
    EXPECT_EQ(ioTable[kPort].eventMask, static_cast<DWORD>(EV_ERR));

    // One still outstanding when the port closes ends there, into the same place.
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, 10), SIO_PENDING);
    EXPECT_NE(SioClosePort(kPort), 0);
    EXPECT_FALSE(FakeCommEvent::Pending());
    EXPECT_EQ(ioTable[kPort].eventMask, 0u);
}

TEST_F(EventWait, WakeFromAnotherThreadEndsTheWait) {
    std::thread waker([] {
        if (FakeCommEvent::WaitUntilPending(10000)) SioPortControl(kPort, 'S', 0);
    });
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, -1), SIO_DONE);
    waker.join();
}

TEST_F(EventWait, FailedStartReturnsAtOnceWithoutWaiting) {
    sys.SetCommMask = [](HANDLE, DWORD) -> BOOL { return FALSE; };
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, -1), SIO_IO_FAILED);
    EXPECT_EQ(FakeCommEvent::WaitsStarted(), 0);
}

TEST_F(EventWait, WaitCharSetsTheEventCharacterAndEndsOnItsEvent) {
    int setsBefore = FakeDevice::setCommStateCalls;
    dcbTable[kPort].DCBlength = 0;
    std::thread driver = FireWhenNextWaitPends(EV_RXFLAG);
    EXPECT_EQ(SioWaitChar(kPort, 0x100 | 0x0D, 10000), SIO_DONE);
    driver.join();

    EXPECT_EQ(FakeDevice::setCommStateCalls, setsBefore + 1);
    const DCB& handed = FakeDevice::lastDcb;
    EXPECT_EQ(handed.DCBlength, 28u);
    EXPECT_EQ(handed.EvtChar, 0x0D);
    EXPECT_EQ(handed.EofChar, 0x1A);  // the rest as the device reported it
    EXPECT_EQ(dcbTable[kPort].EvtChar, 0x0D);
    EXPECT_EQ(FakeCommEvent::LastMask(), static_cast<DWORD>(EV_RXFLAG));
    EXPECT_EQ(portTable[kPort].notifyMask, static_cast<DWORD>(EV_RXFLAG));
}

struct StateFailure {
    const char* name;
    FakeCall call;
    DWORD error;
};

void PrintTo(const StateFailure& row, std::ostream* out) { *out << row.name; }

class EventWaitCharFailure : public EventWait, public ::testing::WithParamInterface<StateFailure> {};

TEST_P(EventWaitCharFailure, GivesWinErrorAndStartsNoWait) {
    FakeDevice::Fail(GetParam().call, GetParam().error);
    dcbTable[kPort].EvtChar = 0;

    EXPECT_EQ(SioWaitChar(kPort, 0x0D, 0), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, GetParam().error);
    EXPECT_EQ(FakeCommEvent::WaitsStarted(), 0);
    // A refused SetCommState leaves the new character in the stored DCB.
    if (GetParam().call == FakeCall::SetCommState) {
        EXPECT_EQ(dcbTable[kPort].EvtChar, 0x0D);
    }
}

INSTANTIATE_TEST_SUITE_P(StateCalls, EventWaitCharFailure,
                         ::testing::Values(StateFailure{"GetCommState", FakeCall::GetCommState,
                                                        ERROR_GEN_FAILURE},
                                           StateFailure{"SetCommState", FakeCall::SetCommState,
                                                        ERROR_INVALID_PARAMETER}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(EventWaitSync, ReturnsDoneAtOnceWithoutSystemWait) {
    SysOverride guard;
    InstallFakePort();
    sys.GetVersion = []() -> DWORD { return 4; };  // version 4.0: synchronous mode
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    ASSERT_EQ(syncMode, 1);
    Stopwatch call;
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, 10000), SIO_DONE);
    EXPECT_LT(call.Milliseconds(), 5000.0);
    EXPECT_EQ(FakeCommEvent::WaitsStarted(), 0);
    EXPECT_EQ(portTable[kPort].notifyMask, static_cast<DWORD>(EV_RXCHAR));
    SioClosePort(kPort);
}

// The real virtual line: Wine's event wait on a pty is level-triggered and
// does not block (see the platform note in sio.h).
class LineEventWait : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.ok());
        ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0);
        PurgeComm(portTable[kLinePort].handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }
    void TearDown() override { SioClosePort(kLinePort); }

    Peer peer_{kPeerPort};
};

TEST_F(LineEventWait, QueuedDataEndsTheWaitAtOnce) {
    ASSERT_TRUE(peer_.Write("x", 1));
    ASSERT_TRUE(WaitForQueued(portTable[kLinePort].handle, 1, 2000));
    Stopwatch call;
    EXPECT_EQ(SioWaitEvent(kLinePort, EV_RXCHAR, 5000), SIO_DONE);
    double took = call.Milliseconds();
    EXPECT_LT(took, 1000.0);
    EXPECT_EQ(ioTable[kLinePort].eventMask, static_cast<DWORD>(EV_RXCHAR));
    printf("figure: wait with a byte queued returned after %.2f ms\n", took);
}

TEST_F(LineEventWait, SilentLineWaitEndsEarlyWithoutEvent) {
    Stopwatch call;
    EXPECT_EQ(SioWaitEvent(kLinePort, EV_RXCHAR, 3000), SIO_DONE);
    double took = call.Milliseconds();
    EXPECT_LT(took, 1000.0);
    EXPECT_EQ(ioTable[kLinePort].eventMask, 0u);
    printf("figure: wait on a silent line ended by itself after %.2f ms\n", took);
}

TEST_F(LineEventWait, ModemLineEventIsRefused) {
    EXPECT_EQ(SioWaitEvent(kLinePort, EV_RXCHAR | EV_CTS, 3000), SIO_IO_FAILED);
}

// ---- On the virtual Windows driver: waits that really wait ----------------

namespace {

constexpr int kEnd = 2;  // COM3 on the virtual driver
constexpr int kFar = 3;  // COM4, the other end of its cable

class DriverEventWait : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SioOpenPort(kEnd, 1024, 1024), 0);
        ASSERT_EQ(SioOpenPort(kFar, 1024, 1024), 0);
    }
    void TearDown() override {
        SioClosePort(kEnd);
        SioClosePort(kFar);
    }
    // Runs action on another thread once the next event wait of kEnd pends.
    static std::thread WhenNextWaitPends(void (*action)()) {
        long before = VirtualSerialDriver::WaitsStarted(kEnd);
        return std::thread([action, before] {
            if (VirtualSerialDriver::WaitUntilPending(kEnd, before, 10000)) action();
        });
    }

    VirtualSerialDriver driver_;
};

}  // namespace

TEST_F(DriverEventWait, PendsOnASilentLineAndCompletesOnAByte) {
    Stopwatch quiet;
    EXPECT_EQ(SioWaitEvent(kEnd, EV_RXCHAR, 100), SIO_PENDING);
    EXPECT_GE(quiet.Milliseconds(), 90.0);

    std::thread farEnd = WhenNextWaitPends([] { SioPutByte(kFar, 'x'); });
    EXPECT_EQ(SioWaitEvent(kEnd, EV_RXCHAR, 10000), SIO_DONE);
    farEnd.join();
    EXPECT_EQ(ioTable[kEnd].eventMask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(SioGetByte(kEnd), 'x');
}

TEST_F(DriverEventWait, WaitCharCompletesOnTheCharacterOnlyAndKeepsIt) {
    std::thread farEnd = WhenNextWaitPends([] { SioWriteBlock(kFar, "ab", 2); });
    EXPECT_EQ(SioWaitChar(kEnd, 0x0D, 300), SIO_PENDING);  // other bytes do not end it
    farEnd.join();
    EXPECT_EQ(SioRxCount(kEnd), 2);

    farEnd = WhenNextWaitPends([] { SioWriteBlock(kFar, "c\r", 2); });
    EXPECT_EQ(SioWaitChar(kEnd, 0x0D, 10000), SIO_DONE);
    farEnd.join();
    EXPECT_EQ(ioTable[kEnd].eventMask, static_cast<DWORD>(EV_RXFLAG));
    EXPECT_NE(SioSetBaud(kEnd, 5), 0);  // a later setting call keeps the character
    EXPECT_EQ(VirtualSerialDriver::Dcb(kEnd).EvtChar, 0x0D);
}

TEST_F(DriverEventWait, EveryEventKindEndsAWaitForIt) {
    const struct {
        DWORD event;
        void (*cause)();
    } kinds[] = {
        {EV_CTS, [] { SioLineRTS(kFar, 'S'); }},
        {EV_DSR, [] { SioLineDTR(kFar, 'S'); }},
        {EV_RLSD, [] { SioLineDTR(kFar, 'C'); }},
        {EV_RING, [] { VirtualSerialDriver::SetRing(kEnd, true); }},
        {EV_BREAK, [] { SioBreakControl(kFar, 'A'); }},
        {EV_ERR, [] { VirtualSerialDriver::InjectErrors(kEnd, CE_RXPARITY); }},
        {EV_TXEMPTY, [] { SioPutByte(kEnd, 'y'); }},
    };
    for (const auto& kind : kinds) {
        std::thread cause = WhenNextWaitPends(kind.cause);
        EXPECT_EQ(SioWaitEvent(kEnd, static_cast<int>(kind.event), 10000), SIO_DONE) << kind.event;
        cause.join();
        EXPECT_EQ(ioTable[kEnd].eventMask, kind.event);
    }
}
