// Opening and closing ports: the settings an open hands to the device, every
// failure exit releasing what it acquired, old-Windows (synchronous) mode,
// bad indices, and leak-free cycles on a virtual line.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "fake_device.h"
#include "param_names.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

void ExpectSlotClosedAndReusable(int port) {
    EXPECT_EQ(portTable[port].handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SioClosePort(port), IE_NOPEN);
}

}  // namespace

// ---- Bad input -----------------------------------------------------------

TEST(OpenClose, BadIndicesAreRefusedByBothCalls) {
    for (int bad : {-2, 256, INT_MIN, INT_MAX}) {
        EXPECT_EQ(SioOpenPort(bad, 1024, 1024), IE_BADID) << bad;
        EXPECT_EQ(SioClosePort(bad), IE_BADID) << bad;
    }
    EXPECT_EQ(SioClosePort(-1), IE_BADID);
}

TEST(OpenClose, DefaultsFormSetsDtrAndRtsFlagsEvenAsFirstCall) {
    EXPECT_EQ(SioOpenPort(-1, 1, 1), 0);
    EXPECT_EQ(initDone, 0);
    EXPECT_EQ(dtrAtOpen, 1);
    EXPECT_EQ(rtsAtOpen, 1);
    EXPECT_EQ(SioOpenPort(-1, 2, 3), 0);  // only bit 0 of each counts
    EXPECT_EQ(dtrAtOpen, 0);
    EXPECT_EQ(rtsAtOpen, 1);
}

TEST(OpenClose, DeviceNamesFollowThePortIndex) {
    SysOverride guard;
    FakeDevice::Install();
    FakeDevice::Fail(FakeCall::CreateFileA, ERROR_FILE_NOT_FOUND);
    const std::pair<int, const char*> names[] = {
        {0, "\\\\.\\COM1"}, {2, "\\\\.\\COM3"}, {9, "\\\\.\\COM10"}, {11, "\\\\.\\COM12"}, {255, "\\\\.\\COM256"}};
    for (const auto& [port, name] : names) {
        EXPECT_EQ(SioOpenPort(port, 1024, 1024), SIO_WIN_ERROR);
        EXPECT_EQ(FakeDevice::lastName, name);
        EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        ExpectSlotClosedAndReusable(port);
    }
}

// ---- What the open hands to the device -----------------------------------

TEST(OpenClose, OpenWritesTheDefaultLineSettings) {
    SysOverride guard;
    FakeDevice::Install();
    ASSERT_EQ(SioOpenPort(4, 1024, 1024), 0);
    const DCB& dcb = FakeDevice::lastDcb;
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.EvtChar, 0x7E);  // fields the open does not own stay as the device had them
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(FakeDevice::lastFlags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING));
    EXPECT_EQ(FakeDevice::lastRxQueue, 1024u);
    EXPECT_EQ(FakeDevice::lastTxQueue, 1024u);

    const COMMTIMEOUTS& t = FakeDevice::lastTimeouts;
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);

    const PortEntry& entry = portTable[4];
    EXPECT_NE(entry.handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(entry.portNumber, 4);
    EXPECT_EQ(entry.dataMask, 0xFF);
    const PortIo& io = ioTable[4];
    EXPECT_EQ(io.handle, entry.handle);
    EXPECT_NE(io.readOv.hEvent, nullptr);
    EXPECT_NE(io.writeOv.hEvent, nullptr);
    EXPECT_NE(io.eventOv.hEvent, nullptr);
    EXPECT_EQ(io.readStatus, 0);
    EXPECT_EQ(io.writeStatus, 0);
    EXPECT_EQ(io.eventStatus, 0);
    EXPECT_EQ(FakeDevice::lastEscape, 0u);  // no device reset unless asked for
}

TEST(OpenClose, DtrAndRtsAtOpenFollowTheDefaultsForm) {
    SysOverride guard;
    FakeDevice::Install();
    SioOpenPort(-1, 1, 0);
    ASSERT_EQ(SioOpenPort(0, 1024, 1024), 0);
    EXPECT_EQ(FakeDevice::lastDcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(FakeDevice::lastDcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    SioOpenPort(-1, 0, 1);
    ASSERT_EQ(SioOpenPort(1, 1024, 1024), 0);
    EXPECT_EQ(FakeDevice::lastDcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(FakeDevice::lastDcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
}

TEST(OpenClose, XonXoffLimitsFollowTheReceiveQueue) {
    SysOverride guard;
    FakeDevice::Install();
    const std::pair<int, WORD> limits[] = {{1024, 128}, {513, 128}, {512, 128}, {400, 100},
                                           {100, 25},   {3, 0},     {0, 0},     {-4, 0xFFFF}};
    for (const auto& [queue, limit] : limits) {
        ASSERT_EQ(SioOpenPort(0, queue, 1024), 0);
        EXPECT_EQ(FakeDevice::lastDcb.XonLim, limit) << queue;
        EXPECT_EQ(FakeDevice::lastDcb.XoffLim, limit) << queue;
        EXPECT_NE(SioClosePort(0), 0);
    }
}

TEST(OpenClose, ResetAtOpenAsksTheDeviceToReset) {
    SysOverride guard;
    FakeDevice::Install();
    resetDeviceAtOpen = 1;
    ASSERT_EQ(SioOpenPort(0, 1024, 1024), 0);
    EXPECT_EQ(FakeDevice::lastEscape, static_cast<DWORD>(RESETDEV));
}

TEST(OpenClose, DataMaskFollowsTheDefaultDataBits) {
    SysOverride guard;
    FakeDevice::Install();
    defaultDataBits = 7;
    ASSERT_EQ(SioOpenPort(0, 1024, 1024), 0);
    EXPECT_EQ(portTable[0].dataMask, 0x7F);
    EXPECT_EQ(FakeDevice::lastDcb.ByteSize, 7);
}

// ---- Failure exits -------------------------------------------------------

struct FailureCase {
    FakeCall call;
    int expected;
    const char* name;
};

void PrintTo(const FailureCase& step, std::ostream* out) { *out << step.name; }

class OpenCloseFailureExit : public ::testing::TestWithParam<FailureCase> {};

TEST_P(OpenCloseFailureExit, LeavesTheSlotClosedAndHoldsNothing) {
    SysOverride guard;
    HandleCounter::Install();
    FakeDevice::Install();
    tolerateSetupFailure = 0;
    resetDeviceAtOpen = 1;
    lastWinError = 77;
    FakeDevice::Fail(GetParam().call, 1117);

    EXPECT_EQ(SioOpenPort(6, 1024, 1024), GetParam().expected);
    EXPECT_EQ(lastWinError, GetParam().expected == SIO_WIN_ERROR ? 1117u : 77u);
    EXPECT_EQ(HandleCounter::Outstanding(), 0);
    EXPECT_EQ(ioTable[6].readOv.hEvent, nullptr);
    EXPECT_EQ(ioTable[6].writeOv.hEvent, nullptr);
    EXPECT_EQ(ioTable[6].eventOv.hEvent, nullptr);
    ExpectSlotClosedAndReusable(6);

    FakeDevice::Fail(FakeCall::None, 0);
    EXPECT_EQ(SioOpenPort(6, 1024, 1024), 0);
    EXPECT_NE(SioClosePort(6), 0);
    EXPECT_EQ(HandleCounter::Outstanding(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, OpenCloseFailureExit,
    ::testing::Values(FailureCase{FakeCall::CreateFileA, SIO_WIN_ERROR, "CreateFile"},
                      FailureCase{FakeCall::GetCommTimeouts, SIO_WIN_ERROR, "GetCommTimeouts"},
                      FailureCase{FakeCall::GetCommState, SIO_WIN_ERROR, "GetCommState"},
                      FailureCase{FakeCall::SetCommState, SIO_WIN_ERROR, "SetCommState"},
                      FailureCase{FakeCall::SetupComm, SIO_BUFFERS, "SetupComm"},
                      FailureCase{FakeCall::EscapeCommFunction, SIO_WIN_ERROR, "Reset"},
                      FailureCase{FakeCall::SetCommTimeouts, SIO_WIN_ERROR, "SetCommTimeouts"}),
    ParamName<FailureCase>);

TEST(OpenClose, RefusedQueueSizesAreToleratedByDefault) {
    SysOverride guard;
    FakeDevice::Install();
    FakeDevice::Fail(FakeCall::SetupComm, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SioOpenPort(0, 1024, 1024), 0);
    EXPECT_NE(portTable[0].handle, INVALID_HANDLE_VALUE);
}

class OpenCloseEventFailure : public ::testing::TestWithParam<int> {};

TEST_P(OpenCloseEventFailure, FailsCleanlyWithTheSystemError) {
    SysOverride guard;
    HandleCounter::Install();
    FakeDevice::Install();
    static int createsLeft;
    static decltype(sys.CreateEventA) realCreate;
    static std::vector<std::string> reports;
    createsLeft = GetParam();  // events that succeed before the failing one
    realCreate = sys.CreateEventA;
    reports.clear();
    sys.CreateEventA = [](LPSECURITY_ATTRIBUTES sa, BOOL manual, BOOL initial, LPCSTR name) -> HANDLE {
        if (createsLeft-- == 0) {
            ::SetLastError(ERROR_NO_SYSTEM_RESOURCES);
            return nullptr;
        }
        return realCreate(sa, manual, initial, name);
    };
    sys.AssertReport = [](const char* expression, const char*, int line) {
        reports.push_back(std::string(expression) + "@" + std::to_string(line));
        ::SetLastError(ERROR_INVALID_HANDLE);  // as a write to a missing stderr would
    };

    EXPECT_EQ(SioOpenPort(1, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_NO_SYSTEM_RESOURCES));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "oioPtr->hEvent@319");
    EXPECT_EQ(HandleCounter::Outstanding(), 0);
    ExpectSlotClosedAndReusable(1);
}

// 0, 1, 2 fail the read, write and event-wait events in turn (the fake device
// takes its handle from the table entry as it was before this override).
INSTANTIATE_TEST_SUITE_P(EachEvent, OpenCloseEventFailure, ::testing::Values(0, 1, 2));

TEST(OpenClose, AlreadyOpenSlotIsRefusedLikeWindowsAndKeepsItsConnection) {
    SysOverride guard;
    HandleCounter::Install();
    FakeDevice::Install();
    ASSERT_EQ(SioOpenPort(3, 1024, 1024), 0);
    HANDLE first = portTable[3].handle;
    HANDLE firstRead = ioTable[3].readOv.hEvent;
    long outstanding = HandleCounter::Outstanding();
    FakeDevice::lastName.clear();

    EXPECT_EQ(SioOpenPort(3, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(FakeDevice::lastName.empty());  // the device was not opened a second time
    EXPECT_EQ(portTable[3].handle, first);
    EXPECT_EQ(ioTable[3].readOv.hEvent, firstRead);
    EXPECT_EQ(HandleCounter::Outstanding(), outstanding);
    EXPECT_NE(SioClosePort(3), 0);
    EXPECT_EQ(HandleCounter::Outstanding(), 0);
}

// ---- Close ---------------------------------------------------------------

TEST(OpenClose, CloseRestoresTimeoutsWakesTheEventWaitAndReleasesAll) {
    SysOverride guard;
    HandleCounter::Install();
    FakeDevice::Install();
    FakeDevice::deviceTimeouts = COMMTIMEOUTS{11, 22, 33, 44, 55};
    ASSERT_EQ(SioOpenPort(0, 1024, 1024), 0);
    HANDLE eventWait = ioTable[0].eventOv.hEvent;
    static HANDLE signalled;
    signalled = nullptr;
    static decltype(sys.SetEvent) realSetEvent;
    realSetEvent = sys.SetEvent;
    sys.SetEvent = [](HANDLE event) -> BOOL {
        signalled = event;
        return realSetEvent(event);
    };

    EXPECT_NE(SioClosePort(0), 0);
    EXPECT_EQ(signalled, eventWait);
    const COMMTIMEOUTS& t = FakeDevice::lastTimeouts;
    EXPECT_EQ(t.ReadIntervalTimeout, 11u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 22u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 33u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 44u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 55u);
    EXPECT_EQ(HandleCounter::Outstanding(), 0);
    EXPECT_EQ(ioTable[0].eventOv.hEvent, nullptr);
    EXPECT_EQ(closeFailures, 0);
    ExpectSlotClosedAndReusable(0);
    EXPECT_EQ(SioOpenPort(0, 1024, 1024), 0);
}

TEST(OpenClose, FailedDeviceCloseIsCountedAndTheSlotClosedAnyway) {
    SysOverride guard;
    FakeDevice::Install();
    ASSERT_EQ(SioOpenPort(0, 1024, 1024), 0);
    static HANDLE device;
    static decltype(sys.CloseHandle) realClose;
    device = portTable[0].handle;
    realClose = sys.CloseHandle;
    sys.CloseHandle = [](HANDLE handle) -> BOOL {
        if (handle == device) {
            realClose(handle);
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return realClose(handle);
    };
    EXPECT_EQ(SioClosePort(0), 0);
    EXPECT_EQ(closeFailures, 1);
    ExpectSlotClosedAndReusable(0);
}

TEST(OpenClose, OldWindowsOpensSynchronouslyWithoutEvents) {
    SysOverride guard;
    HandleCounter::Install();
    FakeDevice::Install();
    sys.GetVersion = []() -> DWORD { return 0x00000004; };
    ioTable[0].readStatus = SIO_DONE;  // synchronous opens keep the statuses
    ASSERT_EQ(SioOpenPort(0, 1024, 1024), 0);
    EXPECT_EQ(oldWindows, 1);
    EXPECT_EQ(syncMode, 1);
    EXPECT_EQ(FakeDevice::lastFlags, static_cast<DWORD>(FILE_FLAG_NO_BUFFERING));
    EXPECT_EQ(HandleCounter::eventsCreated, 1);  // the fake device only
    EXPECT_EQ(ioTable[0].readOv.hEvent, nullptr);
    EXPECT_EQ(ioTable[0].readStatus, SIO_DONE);

    static int setEvents;
    sys.SetEvent = [](HANDLE) -> BOOL { return ++setEvents > 0; };
    EXPECT_NE(SioClosePort(0), 0);
    EXPECT_EQ(setEvents, 0);
    EXPECT_EQ(HandleCounter::handlesClosed, 1);  // the device only
}

TEST(OpenClose, OldWindowsCloseTerminatesARunningNotificationThread) {
    SysOverride guard;
    FakeDevice::Install();
    sys.GetVersion = []() -> DWORD { return 0x00000004; };
    ASSERT_EQ(SioOpenPort(0, 1024, 1024), 0);
    static int terminated;
    static std::string shown;
    sys.GetExitCodeThread = [](HANDLE, LPDWORD code) -> BOOL {
        *code = STILL_ACTIVE;
        return TRUE;
    };
    sys.TerminateThread = [](HANDLE, DWORD) -> BOOL {
        ++terminated;
        return FALSE;
    };
    sys.MessageBoxA = [](HWND, LPCSTR text, LPCSTR, UINT) -> int {
        shown = text;
        return IDOK;
    };
    // A real handle stands in for the thread: the close owns it and closes it.
    static HANDLE thread;
    static int threadCloses;
    static decltype(sys.CloseHandle) realClose;
    thread = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    realClose = sys.CloseHandle;
    sys.CloseHandle = [](HANDLE handle) -> BOOL {
        if (handle == thread) ++threadCloses;
        return realClose(handle);
    };
    portTable[0].notifyThread = thread;
    EXPECT_NE(SioClosePort(0), 0);
    EXPECT_EQ(terminated, 1);
    char expected[64];
    snprintf(expected, sizeof expected, "Cannot terminate thread %d",
             static_cast<int>(reinterpret_cast<INT_PTR>(thread)));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(portTable[0].notifyThread, nullptr);
    EXPECT_EQ(threadCloses, 1);
}

// ---- On a virtual line ---------------------------------------------------

TEST(LineOpen, OpensCom3AndTheDeviceKeepsWhatItCan) {
    SysOverride guard;
    static DCB handed;
    static decltype(sys.SetCommState) realSet;
    realSet = sys.SetCommState;
    sys.SetCommState = [](HANDLE h, LPDCB dcb) -> BOOL {
        handed = *dcb;
        return realSet(h, dcb);
    };
    ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0);
    EXPECT_EQ(handed.BaudRate, 19200u);
    EXPECT_EQ(handed.XonLim, 128);

    HANDLE device = portTable[kLinePort].handle;
    DCB readBack{};
    readBack.DCBlength = sizeof readBack;
    ASSERT_TRUE(::GetCommState(device, &readBack));
    EXPECT_EQ(readBack.BaudRate, 19200u);
    EXPECT_EQ(readBack.StopBits, ONESTOPBIT);
    EXPECT_EQ(readBack.fOutxCtsFlow, 0u);
    EXPECT_EQ(readBack.fInX, 0u);
    EXPECT_EQ(readBack.fOutX, 0u);
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(::GetCommTimeouts(device, &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_NE(SioClosePort(kLinePort), 0);
}

TEST(LineOpen, SecondOpenIsRefusedAndTheFirstStaysUsable) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0);
    EXPECT_EQ(SioOpenPort(kLinePort, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // The first connection still carries bytes.
    OVERLAPPED ov{};
    ov.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD written = 0;
    if (!::WriteFile(portTable[kLinePort].handle, "ping", 4, &written, &ov))
        ::GetOverlappedResult(portTable[kLinePort].handle, &ov, &written, TRUE);
    ::CloseHandle(ov.hEvent);
    EXPECT_EQ(peer.Read(4, 2000), "ping");
    EXPECT_NE(SioClosePort(kLinePort), 0);
}

TEST(LineOpen, MissingPortReportsFileNotFound) {
    EXPECT_EQ(SioOpenPort(kMissingPort, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ExpectSlotClosedAndReusable(kMissingPort);
}

TEST(LineOpen, CloseGivesBackTheDevicesEarlierTimeouts) {
    SysOverride guard;
    static COMMTIMEOUTS found, restored;
    static decltype(sys.GetCommTimeouts) realGet;
    static decltype(sys.SetCommTimeouts) realSet;
    realGet = sys.GetCommTimeouts;
    realSet = sys.SetCommTimeouts;
    sys.GetCommTimeouts = [](HANDLE h, LPCOMMTIMEOUTS t) -> BOOL {
        BOOL ok = realGet(h, t);
        found = *t;
        return ok;
    };
    sys.SetCommTimeouts = [](HANDLE h, LPCOMMTIMEOUTS t) -> BOOL {
        restored = *t;
        return realSet(h, t);
    };
    ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0);
    EXPECT_EQ(restored.ReadIntervalTimeout, MAXDWORD);
    EXPECT_NE(SioClosePort(kLinePort), 0);
    EXPECT_EQ(memcmp(&restored, &found, sizeof found), 0);
}

TEST(LineOpen, ThousandCyclesAndHundredFailedOpensLeakNoHandle) {
    SysOverride guard;
    HandleCounter::Install();
    // Warm up once so that lazily created system objects do not count.
    ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0);
    ASSERT_NE(SioClosePort(kLinePort), 0);
    HANDLE before = ProbeHandleValue();
    long outstanding = HandleCounter::Outstanding();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0) << cycle;
        ASSERT_NE(SioClosePort(kLinePort), 0) << cycle;
    }
    for (int attempt = 0; attempt < 100; ++attempt)
        ASSERT_EQ(SioOpenPort(kMissingPort, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(HandleCounter::Outstanding(), outstanding);
    EXPECT_EQ(ProbeHandleValue(), before);
    EXPECT_EQ(closeFailures, 0);
}

// ---- On the virtual Windows driver -----------------------------------------

TEST(DriverOpen, KeepsEveryDcbFieldItDoesNotSet) {
    VirtualSerialDriver driver;
    DCB device = VirtualSerialDriver::Dcb(2);
    device.fParity = 1;
    device.fErrorChar = 1;
    device.fDummy2 = 0x1234;
    device.ErrorChar = '?';
    device.EofChar = 0x1A;
    device.EvtChar = 0x7E;
    device.wReserved1 = 0x5A5A;
    VirtualSerialDriver::SetDcb(2, device);
    ASSERT_EQ(SioOpenPort(2, 1024, 1024), 0);
    DCB opened = VirtualSerialDriver::Dcb(2);
    EXPECT_EQ(opened.BaudRate, 19200u);
    EXPECT_EQ(opened.Parity, NOPARITY);
    // Blank what the open sets; the rest is the device's own.
    for (DCB* dcb : {&device, &opened}) {
        dcb->BaudRate = 0;
        dcb->ByteSize = dcb->Parity = dcb->StopBits = 0;
        dcb->fBinary = 0;
        dcb->fOutxCtsFlow = 0;
        dcb->fOutxDsrFlow = 0;
        dcb->fDtrControl = 0;
        dcb->fDsrSensitivity = 0;
        dcb->fTXContinueOnXoff = 0;
        dcb->fOutX = 0;
        dcb->fInX = 0;
        dcb->fNull = 0;
        dcb->fRtsControl = 0;
        dcb->fAbortOnError = 0;
        dcb->XonChar = dcb->XoffChar = 0;
        dcb->XonLim = dcb->XoffLim = 0;
    }
    EXPECT_EQ(memcmp(&device, &opened, sizeof device), 0);
    EXPECT_EQ(VirtualSerialDriver::RxQueueSize(2), 1024u);
    EXPECT_EQ(VirtualSerialDriver::Timeouts(2).ReadIntervalTimeout, MAXDWORD);
    EXPECT_NE(SioClosePort(2), 0);
}

TEST(DriverOpen, SecondOpenElsewhereIsRefusedAndMissingPortsAreNotFound) {
    VirtualSerialDriver driver;
    ASSERT_EQ(SioOpenPort(2, 1024, 1024), 0);
    HANDLE other = sys.CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SioOpenPort(8, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(SioClosePort(2), 0);
    EXPECT_EQ(SioOpenPort(2, 1024, 1024), 0);
    EXPECT_NE(SioClosePort(2), 0);
}
