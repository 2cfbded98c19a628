// The reads and writes with a time-out on the virtual Windows driver: each
// call ends by its count, by its time-out, by a wake and by a close from
// another thread, with what it has; and the plain transfers get the open's
// time-outs back after them.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "driver_cable.h"
#include "sio.h"
#include "sio_state.h"
#include "stopwatch.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

enum class Call { ReadTimed, ReadSome, WriteTimed };
enum class End { Count, TimeOut, Wake, Close };

struct Case {
    const char* name;
    Call call;
    End end;
    const char* before;  // sent by the far end, and arrived, before the call
    const char* during;  // sent by the far end once the call is inside
    int size;
    int timeoutMs;
    int least, most;  // the call's result
};

// Writes wait under 'H' flow control while the far end holds CTS low.
const Case kCases[] = {
    {"ReadTimedByCount", Call::ReadTimed, End::Count, "", "abc", 3, -1, 3, 3},
    {"ReadTimedByTimeOut", Call::ReadTimed, End::TimeOut, "ab", "", 10, 100, 2, 2},
    {"ReadTimedByWake", Call::ReadTimed, End::Wake, "ab", "", 10, -1, 2, 2},
    {"ReadTimedByClose", Call::ReadTimed, End::Close, "ab", "", 10, -1, 2, 2},
    {"ReadSomeByCount", Call::ReadSome, End::Count, "", "abc", 10, -1, 1, 3},
    {"ReadSomeByTimeOut", Call::ReadSome, End::TimeOut, "", "", 10, 100, 0, 0},
    {"ReadSomeByWake", Call::ReadSome, End::Wake, "", "", 10, -1, 0, 0},
    {"ReadSomeByClose", Call::ReadSome, End::Close, "", "", 10, -1, 0, 0},
    {"WriteTimedByCount", Call::WriteTimed, End::Count, "", "", 9, -1, 9, 9},
    {"WriteTimedByTimeOut", Call::WriteTimed, End::TimeOut, "", "", 9, 100, 0, 0},
    {"WriteTimedByWake", Call::WriteTimed, End::Wake, "", "", 9, -1, 0, 0},
    {"WriteTimedByClose", Call::WriteTimed, End::Close, "", "", 9, -1, 0, 0},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// Polls cond for up to 5 s on the clock.
template <typename Cond>
bool Within5s(Cond cond) {
    Stopwatch clock;
    while (!cond()) {
        if (clock.Milliseconds() > 5000) return false;
        ::Sleep(1);
    }
    return true;
}

class TimedTransfer : public DriverCable, public ::testing::WithParamInterface<Case> {
protected:
    void Send(const char* bytes) {
        int count = static_cast<int>(strlen(bytes));
        if (count > 0) {
            ASSERT_EQ(SioWriteBlock(kFar, bytes, count), count);
        }
    }
};

TEST_P(TimedTransfer, EndsWithWhatItHas) {
    const Case& c = GetParam();
    char buffer[16] = "123456789";
    Send(c.before);
    const int arrived = static_cast<int>(strlen(c.before));
    ASSERT_TRUE(Within5s([&] { return SioRxCount(kEnd) == arrived; }));
    if (c.call == Call::WriteTimed && c.end != End::Count) {
        ASSERT_EQ(SioSetFlow(kEnd, 'H'), 1);
    }

    int result = INT_MIN;
    std::thread caller([&] {
        switch (c.call) {
            case Call::ReadTimed: result = SioReadTimed(kEnd, buffer, c.size, c.timeoutMs); break;
            case Call::ReadSome: result = SioReadSome(kEnd, buffer, c.size, c.timeoutMs); break;
            case Call::WriteTimed: result = SioWriteTimed(kEnd, buffer, c.size, c.timeoutMs); break;
        }
    });
    ASSERT_TRUE(Within5s([&] { return portTable[kEnd].callsInside.load() > 0 || result != INT_MIN; }));
    if (c.end == End::Count) Send(c.during);
    if (c.end == End::Wake) {
        EXPECT_EQ(SioPortControl(kEnd, 'S', 0), 2);
    } else if (c.end == End::Close) {
        EXPECT_NE(SioClosePort(kEnd), 0);
    }
    caller.join();
    EXPECT_GE(result, c.least);
    EXPECT_LE(result, c.most);
    if (c.call != Call::WriteTimed && result > 0) {
        EXPECT_EQ(buffer[0], 'a');
    }
    if (c.call == Call::WriteTimed && c.end == End::Count) {
        char got[9];
        EXPECT_TRUE(Within5s([&] { return SioRxCount(kFar) == 9; }));
        EXPECT_EQ(SioReadBlock(kFar, got, 9), 9);
    }
}

INSTANTIATE_TEST_SUITE_P(Driver, TimedTransfer, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             return std::string(param.param.name);
                         });

class TimedTransferChecks : public DriverCable {};

TEST_F(TimedTransferChecks, ArgumentsPortAndTheOpenTimeoutsAfterwards) {
    char buffer[4];
    EXPECT_EQ(SioReadTimed(kEnd, nullptr, 4, 0), SIO_RANGE);
    EXPECT_EQ(SioReadSome(kEnd, buffer, 0, 0), SIO_RANGE);
    EXPECT_EQ(SioWriteTimed(kEnd, buffer, 4, -2), SIO_RANGE);
    EXPECT_EQ(SioReadTimed(256, buffer, 4, 0), IE_BADID);
    EXPECT_EQ(SioWriteTimed(5, buffer, 4, 0), IE_NOPEN);
    // A pushed-back byte comes first; what has arrived follows at once.
    ASSERT_EQ(SioWriteBlock(kFar, "yz", 2), 2);
    ASSERT_TRUE(Within5s([&] { return SioRxCount(kEnd) == 2; }));
    SioUngetByte(kEnd, 'x');
    EXPECT_EQ(SioReadSome(kEnd, buffer, 4, 0), 3);
    EXPECT_EQ(std::string(buffer, 3), "xyz");

    const COMMTIMEOUTS open = VirtualSerialDriver::Timeouts(kEnd);
    EXPECT_EQ(SioReadTimed(kEnd, buffer, 4, 30), 0);
    EXPECT_EQ(SioWriteTimed(kEnd, "w", 1, 30), 1);
    EXPECT_EQ(SioReadBlock(kEnd, buffer, 4), 0);
    const COMMTIMEOUTS after = VirtualSerialDriver::Timeouts(kEnd);
    EXPECT_EQ(memcmp(&open, &after, sizeof open), 0);
}

// Synchronous mode: the device's time-outs bound the blocking calls.
TEST(TimedTransferSync, EndByCountAndByTimeOut) {
    VirtualSerialDriver driver;
    SioPortControl(2, 'O', 0);
    ASSERT_EQ(SioOpenPort(2, 1024, 1024), 0);
    ASSERT_EQ(SioOpenPort(3, 1024, 1024), 0);
    char buffer[8];
    EXPECT_EQ(SioWriteTimed(3, "abc", 3, 1000), 3);
    EXPECT_EQ(SioReadTimed(2, buffer, 3, 1000), 3);
    EXPECT_EQ(SioReadTimed(2, buffer, 4, 50), 0);
    EXPECT_EQ(SioWriteTimed(2, "xy", 2, -1), 2);
    EXPECT_EQ(SioReadSome(3, buffer, sizeof buffer, 1000), 2);
    EXPECT_EQ(SioReadSome(3, buffer, sizeof buffer, 50), 0);
    SioClosePort(2);
    SioClosePort(3);
}

}  // namespace
