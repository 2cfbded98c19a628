// The overlapped transfer layer: statuses carried from step to step, the
// synchronous mode, the event wait, and the ending of a read that a driver
// leaves pending; through fakes in the system-call table and on a real line.
#include <gtest/gtest.h>

#include <string.h>

#include <thread>

#include "forbid_call.h"
#include "open_close.h"
#include "overlapped.h"
#include "sio_state.h"
#include "sys_override.h"
#include "transfer_ports.h"
#include "virtual_line.h"

using namespace sio;

namespace {

// What the fakes answer and what they saw; reset by each test.
struct Fake {
    static inline BOOL ok;
    static inline DWORD error;
    static inline DWORD count;
    static inline int calls;
    static inline const OVERLAPPED* passed;
    static inline void* buffer;
};

PortIo& Io() { return ioTable[kFakePort]; }

// A read that the driver leaves pending; the fake cancel ends it having moved
// Fake::count bytes ("abc..."), reporting the abort as a cancelled read does.
void InstallPendingRead() {
    sys.ReadFile = [](HANDLE, LPVOID buffer, DWORD, LPDWORD, LPOVERLAPPED ov) WINAPI -> BOOL {
        Fake::buffer = buffer;
        ov->Internal = STATUS_PENDING;
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    };
    sys.CancelIoEx = [](HANDLE, LPOVERLAPPED ov) WINAPI -> BOOL {
        memcpy(Fake::buffer, "abcdef", Fake::count);
        ov->Internal = 0xC0000120;  // STATUS_CANCELLED
        ov->InternalHigh = Fake::count;
        SetEvent(ov->hEvent);
        return TRUE;
    };
}

}  // namespace

struct StartCase {
    const char* name;
    BOOL ok;
    DWORD error;
    int status;
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class OverlappedStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(OverlappedStart, StatusFollowsTheSystemAnswer) {
    OpenFakePort(false);
    SysOverride guard;
    Fake::ok = GetParam().ok;
    Fake::error = GetParam().error;
    sys.ReadFile = [](HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED ov) WINAPI -> BOOL {
        Fake::passed = ov;
        SetLastError(Fake::error);
        return Fake::ok;
    };
    sys.WriteFile = [](HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED ov) WINAPI -> BOOL {
        Fake::passed = ov;
        SetLastError(Fake::error);
        return Fake::ok;
    };
    char buffer[4] = {0x55};
    Io().bytesRead = 7;
    EXPECT_EQ(StartRead(kFakePort, buffer, sizeof buffer), GetParam().status);
    EXPECT_EQ(Io().readStatus, GetParam().status);
    EXPECT_EQ(Fake::passed, &Io().readOv);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(Io().bytesRead, 0u);
    EXPECT_EQ(StartWrite(kFakePort, "x", 1), GetParam().status);
    EXPECT_EQ(Io().writeStatus, GetParam().status);
    EXPECT_EQ(Fake::passed, &Io().writeOv);
}

INSTANTIATE_TEST_SUITE_P(Answers, OverlappedStart,
                         ::testing::Values(StartCase{"Done", TRUE, 0, SIO_DONE},
                                           StartCase{"Pending", FALSE, ERROR_IO_PENDING, SIO_PENDING},
                                           StartCase{"Failed", FALSE, ERROR_ACCESS_DENIED, SIO_IO_FAILED}),
                         ParamName<StartCase>);

TEST(OverlappedStartRefused, WhilePendingNothingChanges) {
    OpenFakePort(false);
    SysOverride guard;
    Forbid(sys.ReadFile);
    Forbid(sys.WriteFile);
    Io().readStatus = Io().writeStatus = SIO_PENDING;
    Io().bytesRead = 7;
    Io().bytesWritten = 5;
    char buffer[2] = {0x55};
    EXPECT_EQ(StartRead(kFakePort, buffer, 2), SIO_NO_DATA);
    EXPECT_EQ(StartWrite(kFakePort, "x", 1), SIO_NO_DATA);
    EXPECT_EQ(buffer[0], 0x55);
    EXPECT_EQ(Io().bytesRead, 7u);
    EXPECT_EQ(Io().bytesWritten, 5u);
    EXPECT_EQ(Io().readStatus, SIO_PENDING);
}

struct WaitCase {
    const char* name;
    DWORD result;
    int status;
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.name; }

class OverlappedAwait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(OverlappedAwait, WaitResultBecomesTheStatus) {
    OpenFakePort(false);
    SysOverride guard;
    Fake::count = GetParam().result;
    Fake::calls = 0;
    sys.WaitForSingleObject = [](HANDLE, DWORD) WINAPI -> DWORD {
        ++Fake::calls;
        return Fake::count;
    };
    Io().readStatus = SIO_PENDING;
    Io().writeStatus = 0;
    Io().eventStatus = SIO_DONE;  // an event wait is waited for whatever its status
    EXPECT_EQ(AwaitRead(kFakePort, 0), GetParam().status);
    EXPECT_EQ(AwaitWrite(kFakePort, 0), GetParam().status);
    EXPECT_EQ(AwaitEventWait(kFakePort, 0), GetParam().status);
    EXPECT_EQ(Io().readStatus, GetParam().status);
    EXPECT_EQ(Io().writeStatus, GetParam().status);
    EXPECT_EQ(Io().eventStatus, GetParam().status);
    EXPECT_EQ(Fake::calls, 3);
}

INSTANTIATE_TEST_SUITE_P(Results, OverlappedAwait,
                         ::testing::Values(WaitCase{"Signalled", WAIT_OBJECT_0, SIO_DONE},
                                           WaitCase{"TimedOut", WAIT_TIMEOUT, SIO_PENDING},
                                           WaitCase{"Failed", WAIT_FAILED, SIO_IO_FAILED}),
                         ParamName<WaitCase>);

TEST(OverlappedAwaitDone, NeedsNoSystemCall) {
    OpenFakePort(false);
    SysOverride guard;
    Forbid(sys.WaitForSingleObject);
    Io().readStatus = Io().writeStatus = SIO_DONE;
    EXPECT_EQ(AwaitRead(kFakePort, INFINITE), SIO_DONE);
    EXPECT_EQ(AwaitWrite(kFakePort, INFINITE), SIO_DONE);
}

TEST(OverlappedAwaitDone, EventSetWhileTheTransferRunsIsNoCompletion) {
    OpenFakePort(false);
    Io().writeStatus = SIO_PENDING;
    Io().writeOv.Internal = STATUS_PENDING;
    SetEvent(Io().writeOv.hEvent);
    EXPECT_EQ(AwaitWrite(kFakePort, INFINITE), SIO_PENDING);
    Io().writeOv.Internal = 0;
    EXPECT_EQ(AwaitWrite(kFakePort, 0), SIO_DONE);
}

TEST(OverlappedSync, WaitsAndFinishesOnlyReportTheBlockingCall) {
    OpenFakePort(true);
    SysOverride guard;
    sys.WriteFile = [](HANDLE, LPCVOID, DWORD n, LPDWORD done, LPOVERLAPPED ov) WINAPI -> BOOL {
        EXPECT_EQ(ov, nullptr);
        *done = n;
        return TRUE;
    };
    Forbid(sys.WaitForSingleObject);
    Forbid(sys.GetOverlappedResult);
    Forbid(sys.SetCommMask);
    Io().writeStatus = SIO_PENDING;  // never refused in this mode
    EXPECT_EQ(StartWrite(kFakePort, "123456789", 9), SIO_DONE);
    Io().writeStatus = SIO_PENDING;
    EXPECT_EQ(AwaitWrite(kFakePort, INFINITE), SIO_DONE);
    EXPECT_EQ(Io().writeStatus, SIO_PENDING);
    EXPECT_EQ(FinishWrite(kFakePort), 9u);
    Io().eventMask = EV_RXCHAR;
    EXPECT_EQ(StartEventWait(kFakePort, EV_ERR), SIO_DONE);
    EXPECT_EQ(Io().eventMask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(AwaitEventWait(kFakePort, INFINITE), SIO_DONE);
}

TEST(OverlappedEventWait, SetsTheMaskResetsTheEventAndStaysDone) {
    OpenFakePort(false);
    SysOverride guard;
    Fake::ok = TRUE;
    sys.SetCommMask = [](HANDLE, DWORD mask) WINAPI -> BOOL {
        Fake::count = mask;
        return Fake::ok;
    };
    sys.WaitCommEvent = [](HANDLE, LPDWORD storage, LPOVERLAPPED ov) WINAPI -> BOOL {
        EXPECT_EQ(WaitForSingleObject(ov->hEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        *storage = EV_RXCHAR;
        SetEvent(ov->hEvent);
        return TRUE;
    };
    SetEvent(Io().eventOv.hEvent);  // left set by an earlier wait
    Io().eventMask = EV_BREAK;      // what an earlier wait reported
    EXPECT_EQ(StartEventWait(kFakePort, EV_RXCHAR | EV_ERR), SIO_DONE);
    EXPECT_EQ(Fake::count, static_cast<DWORD>(EV_RXCHAR | EV_ERR));
    EXPECT_EQ(Io().eventMask, static_cast<DWORD>(EV_RXCHAR));
    EXPECT_EQ(AwaitEventWait(kFakePort, INFINITE), SIO_DONE);
    EXPECT_EQ(AwaitEventWait(kFakePort, INFINITE), SIO_DONE);
    Fake::ok = FALSE;
    EXPECT_EQ(StartEventWait(kFakePort, EV_RXCHAR), SIO_IO_FAILED);
    EXPECT_EQ(Io().eventStatus, SIO_IO_FAILED);
}

TEST(OverlappedEventWait, SignalEndsAWaitWithoutLimit) {
    OpenFakePort(false);
    int result = 0;
    std::thread waiter([&result] { result = AwaitEventWait(kFakePort, INFINITE); });
    SignalEventWait(kFakePort);
    waiter.join();
    EXPECT_EQ(result, SIO_DONE);
}

TEST(OverlappedEndRead, KeepsTheBytesOfTheCancelledRead) {
    OpenFakePort(false);
    SysOverride guard;
    InstallPendingRead();
    Fake::count = 3;
    char buffer[8] = {};
    EXPECT_EQ(StartRead(kFakePort, buffer, sizeof buffer), SIO_PENDING);
    EXPECT_EQ(AwaitArrivedRead(kFakePort), SIO_DONE);
    EXPECT_EQ(FinishRead(kFakePort), 3u);
    EXPECT_STREQ(buffer, "abc");
}

// A read that ended by itself just before its cancel (which then finds
// nothing) is never cancelled together with the port's other requests:
// CancelIo would abort a no-wait write too. A refused cancel is proven on the
// public calls (Transfer.NoWaitWriteSurvivesARefusedReadCancel).
TEST(OverlappedEndRead, AlreadyEndedReadNeverCancelsThePortsOtherRequests) {
    OpenFakePort(false);
    SysOverride guard;
    InstallPendingRead();
    Fake::calls = 0;
    sys.CancelIoEx = [](HANDLE, LPOVERLAPPED ov) WINAPI -> BOOL {
        ov->Internal = 0;
        ov->InternalHigh = 2;
        SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    };
    sys.CancelIo = [](HANDLE) WINAPI -> BOOL {
        ++Fake::calls;
        return TRUE;
    };
    sys.WaitForSingleObject = [](HANDLE, DWORD) WINAPI -> DWORD { return WAIT_OBJECT_0; };
    sys.GetOverlappedResult = ResultFromInternalHigh;
    char buffer[4];
    StartRead(kFakePort, buffer, sizeof buffer);
    EXPECT_EQ(AwaitArrivedRead(kFakePort), SIO_DONE);
    EXPECT_EQ(FinishRead(kFakePort), 2u);
    EXPECT_EQ(Fake::calls, 0);
}

TEST(OverlappedEndRead, WaitsForInternalWhenTheResultCameEarly) {
    OpenFakePort(false);
    SysOverride guard;
    InstallPendingRead();
    Fake::calls = 0;
    sys.CancelIoEx = [](HANDLE, LPOVERLAPPED) WINAPI -> BOOL { return TRUE; };  // completes a little later
    // Wine's answer for an OVERLAPPED whose event is set while it still runs.
    sys.GetOverlappedResult = ResultFromInternalHigh;
    sys.Sleep = [](DWORD) WINAPI {
        if (++Fake::calls < 3) return;
        ioTable[kFakePort].readOv.Internal = 0;
        ioTable[kFakePort].readOv.InternalHigh = 2;
    };
    char buffer[4];
    StartRead(kFakePort, buffer, sizeof buffer);
    AwaitArrivedRead(kFakePort);
    EXPECT_EQ(FinishRead(kFakePort), 2u);
    EXPECT_EQ(Fake::calls, 3);
}

TEST(LineOverlapped, EmptyReadEndsAtOnceWithNothing) {
    ASSERT_TRUE(OpenLibrarySide(false));
    char buffer[16];
    buffer[0] = 0x55;
    DWORD start = GetTickCount();
    int started = StartRead(kLinePort, buffer, sizeof buffer);
    EXPECT_TRUE(started == SIO_DONE || started == SIO_PENDING) << started;  // Wine leaves it pending
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(AwaitArrivedRead(kLinePort), SIO_DONE);
    EXPECT_EQ(FinishRead(kLinePort), 0u);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_NE(ioTable[kLinePort].readOv.Internal, static_cast<ULONG_PTR>(STATUS_PENDING));
}
