// Event waits and the event character on the virtual Windows driver, whose
// waits pend until an event of the mask happens (Wine's end by themselves
// after about 2 ms on a pty, so they prove nothing here).
#include <gtest/gtest.h>

#include <thread>

#include "driver_cable.h"
#include "sio.h"
#include "sio_state.h"
#include "stopwatch.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

class DriverEventWait : public DriverCable {
protected:
    // Runs action on another thread once the next event wait of kEnd pends.
    static std::thread WhenNextWaitPends(void (*action)()) {
        long before = VirtualSerialDriver::WaitsStarted(kEnd);
        return std::thread([action, before] {
            if (VirtualSerialDriver::WaitUntilPending(kEnd, before, 10000)) action();
        });
    }
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

TEST_F(DriverEventWait, TimedOutWaitEndsLaterIntoThePortsOwnStorage) {
    EXPECT_EQ(SioWaitEvent(kEnd, EV_RXCHAR | EV_ERR, 10), SIO_PENDING);
    // The system still holds the address given at the start: the port's record.
    VirtualSerialDriver::InjectErrors(kEnd, CE_FRAME);
    EXPECT_EQ(ioTable[kEnd].eventMask, static_cast<DWORD>(EV_ERR));
}

TEST_F(DriverEventWait, WakeFromAnotherThreadEndsAWaitWithoutLimit) {
    std::thread waker = WhenNextWaitPends([] { SioPortControl(kEnd, 'S', 0); });
    EXPECT_EQ(SioWaitEvent(kEnd, EV_RXCHAR, -1), SIO_DONE);
    waker.join();
}

TEST_F(DriverEventWait, RefusedEventCharacterGivesWinErrorAndStartsNoWait) {
    long waits = VirtualSerialDriver::WaitsStarted(kEnd);
    EXPECT_EQ(SioSetParams(kEnd, NOPARITY, ONESTOPBIT, 8), 0);
    static decltype(sys.SetCommState) realSet;
    realSet = sys.SetCommState;
    sys.SetCommState = [](HANDLE h, LPDCB dcb) WINAPI -> BOOL {
        return dcb->EvtChar == 0x0D ? (SetLastError(ERROR_INVALID_PARAMETER), FALSE) : realSet(h, dcb);
    };
    EXPECT_EQ(SioWaitChar(kEnd, 0x0D, 0), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(VirtualSerialDriver::WaitsStarted(kEnd), waits);
    sys.SetCommState = realSet;
}

// Windows 4.0, found when the library starts, opens ports synchronously.
TEST(DriverEventWaitSync, ReturnsDoneAtOnceWithoutSystemWait) {
    constexpr int kPort = 2;  // COM3 on the virtual driver
    VirtualSerialDriver driver;
    sys.GetVersion = []() WINAPI -> DWORD { return 4; };
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, 10000), SIO_DONE);
    EXPECT_EQ(VirtualSerialDriver::WaitsStarted(kPort), 0);
    SioClosePort(kPort);
}
