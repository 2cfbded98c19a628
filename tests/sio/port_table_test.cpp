// Port tables and library state: start values, one-time initialisation, the
// port check and the counting close.
#include <gtest/gtest.h>

#include <string.h>

#include <climits>
#include <string>

#include "box_log.h"
#include "forbid_call.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "test_hooks.h"

using namespace sio;

// The values the library starts with, as the program found them before any
// test ran: the reset before each test restores exactly these.
TEST(PortTable, StartValuesAreTheDocumentedOnes) {
    const StartValues& start = StartValuesTaken();
    EXPECT_EQ(start.initDone, kInitNone);
    EXPECT_EQ(start.defaultBaud, 19200);
    EXPECT_EQ(start.defaultParity, NOPARITY);
    EXPECT_EQ(start.defaultStopBits, ONESTOPBIT);
    EXPECT_EQ(start.defaultDataBits, 8);
    EXPECT_EQ(start.dtrAtOpen, 0);
    EXPECT_EQ(start.rtsAtOpen, 0);
    EXPECT_EQ(start.resetDeviceAtOpen, 0);
    EXPECT_EQ(start.tolerateSetupFailure, 1);
    EXPECT_EQ(start.messageBoxes, 1);
    EXPECT_EQ(start.oldWindows, 0);
    EXPECT_EQ(start.syncMode, 0);
    EXPECT_EQ(start.lastWinError, 0u);
    EXPECT_EQ(start.threadsStarted + start.threadsEnded + start.closeFailures, 0);
    EXPECT_EQ(start.spareCounter1 + start.spareCounter2, 0);
    EXPECT_STREQ(start.deviceName, "\\\\.\\COM1");
    EXPECT_EQ(start.commStat.cbInQue + start.commStat.cbOutQue, 0u);
    EXPECT_EQ(start.holdModuleForThread, 0);  // linked into the program, not the DLL
    const int rates[] = {110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    EXPECT_EQ(memcmp(SioBaudTable, rates, sizeof rates), 0);
    const unsigned short bases[] = {0x3F8, 0x2F8, 0x3E8, 0x2E8};
    EXPECT_EQ(memcmp(uartBase, bases, sizeof bases), 0);
    static const PortStart noPort{};  // static: its padding is zero too
    static const PortIo noIo{};
    static const DCB noDcb{};
    for (int port = 0; port < kPortCount; ++port) {
        EXPECT_EQ(memcmp(&start.ports[port], &noPort, sizeof noPort), 0) << port;
        EXPECT_EQ(memcmp(&start.io[port], &noIo, sizeof noIo), 0) << port;
        EXPECT_EQ(memcmp(&start.dcbs[port], &noDcb, sizeof noDcb), 0) << port;
    }
}

// A caller that finds another thread filling the tables sleeps until they
// are ready: Sleep(0) gives the processor only to threads of its own priority
// or higher, so on one processor it would starve a lower-priority filler.
TEST(PortTable, CallerThatFindsTheTablesBeingFilledSleeps) {
    SysOverride guard;
    static DWORD slept;
    slept = 0;
    initDone = kInitRunning;
    sys.Sleep = [](DWORD ms) WINAPI {
        slept = ms;
        initDone = kInitDone;
    };
    LibraryInit();
    EXPECT_GE(slept, 1u);
}

// Every per-port call checks the index first, then that the port is open,
// before it looks at any other argument or makes any system call.
TEST(PortTable, EveryPerPortCallRefusesBadIndicesThenClosedPorts) {
    SysOverride guard;
    sys = SysTable{};
    Forbid(sys.CreateFileA);
    Forbid(sys.ClearCommError);
    Forbid(sys.SetCommState);
    Forbid(sys.EscapeCommFunction);
    Forbid(sys.GetCommModemStatus);
    Forbid(sys.SetCommMask);
    Forbid(sys.WriteFile);
    Forbid(sys.ReadFile);
    Forbid(sys.PurgeComm);
    Forbid(sys.CreateThread);
    Forbid(sys.AddVectoredExceptionHandler);
    const struct {
        const char* name;
        int (*call)(int port);
        bool minusOneIsDefaults;  // the default forms take -1 as "no port"
    } calls[] = {
        {"SioClosePort", SioClosePort, false},
        {"SioPutByte", [](int p) { return SioPutByte(p, 'x'); }, false},
        {"SioWriteBlock", [](int p) { return SioWriteBlock(p, nullptr, 0); }, false},
        {"SioGetByte", SioGetByte, false},
        {"SioReadBlock", [](int p) { return SioReadBlock(p, nullptr, 0); }, false},
        {"SioUngetByte", [](int p) { return SioUngetByte(p, 'x'); }, false},
        {"SioFlushRx", SioFlushRx, false},
        {"SioFlushTx", SioFlushTx, false},
        {"SioRxCount", SioRxCount, false},
        {"SioTxCount", SioTxCount, false},
        {"SioLineErrors", [](int p) { return SioLineErrors(p, -1); }, false},
        {"SioSetBaud", [](int p) { return SioSetBaud(p, 5); }, true},
        {"SioSetParams", [](int p) { return SioSetParams(p, 0, 0, 8); }, true},
        {"SioSetFlow", [](int p) { return SioSetFlow(p, 'X'); }, false},
        {"SioLineDTR", [](int p) { return SioLineDTR(p, 'R'); }, false},
        {"SioLineRTS", [](int p) { return SioLineRTS(p, 'x'); }, false},
        {"SioModemCTS", SioModemCTS, false},
        {"SioModemDSR", SioModemDSR, false},
        {"SioModemRI", SioModemRI, false},
        {"SioModemDCD", SioModemDCD, false},
        {"SioBreakControl", [](int p) { return SioBreakControl(p, 'D'); }, false},
        {"SioReadUart", [](int p) { return SioReadUart(p, 0); }, false},
        {"SioWaitEvent", [](int p) { return SioWaitEvent(p, EV_RXCHAR, 0); }, false},
        {"SioNotify", [](int p) { return SioNotify(p, nullptr, WM_APP, EV_RXCHAR); }, false},
    };
    for (const auto& c : calls) {
        for (int port : {-2, 256, 300, INT_MIN, INT_MAX})
            EXPECT_EQ(c.call(port), IE_BADID) << c.name << " " << port;
        if (!c.minusOneIsDefaults) {
            EXPECT_EQ(c.call(-1), IE_BADID) << c.name;
        }
        EXPECT_EQ(c.call(7), IE_NOPEN) << c.name;
    }
    // The calls without a not-open rule check the index only.
    for (int port : {-1, 256, INT_MIN}) {
        EXPECT_EQ(SioOpenPort(port == -1 ? -2 : port, 1024, 1024), IE_BADID);
        EXPECT_EQ(SioWaitChar(port, 0x0D, 0), IE_BADID);
        EXPECT_EQ(SioPortControl(port, 'B', 0), IE_BADID);
    }
    EXPECT_EQ(tolerateSetupFailure, 1);
    EXPECT_EQ(oldWindows, 0);
}

TEST(PortTable, CallOnNeverOpenedPortBeforeAnyOpenIsNotOpen) {
    EXPECT_EQ(SioClosePort(0), IE_NOPEN);
    EXPECT_EQ(initDone.load(), kInitDone);
}

struct VersionCase {
    DWORD version;
    int old;
};

class PortTableVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(PortTableVersion, OnlyVersion4Point0IsOld) {
    SysOverride guard;
    static DWORD reported;
    reported = GetParam().version;
    sys.GetVersion = []() WINAPI -> DWORD { return reported; };
    EXPECT_EQ(IsOldWindows(), GetParam().old);
}

INSTANTIATE_TEST_SUITE_P(Versions, PortTableVersion,
                         ::testing::Values(VersionCase{0x00000004, 1},    // 4.0
                                           VersionCase{0x80000004, 1},    // 4.0, high bits ignored
                                           VersionCase{0x05650004, 1},    // 4.0 with a build number
                                           VersionCase{0x00000A04, 0},    // 4.10
                                           VersionCase{0x00000005, 0},    // 5.0
                                           VersionCase{0x00000105, 0},    // 5.1
                                           VersionCase{0x1DB10106, 0},    // 6.1
                                           VersionCase{0x23F00206, 0},    // 6.2
                                           VersionCase{0x00000003, 0}));  // 3.0

TEST(PortTable, MessageBoxesAreBoundedTaskModalWarningsCaptionedInfo) {
    SysOverride guard;
    BoxLog::Install();
    EXPECT_EQ(LibMessageBox("hello"), IDOK);
    EXPECT_EQ(BoxLog::text, "hello");
    EXPECT_EQ(BoxLog::caption, "Info");
    EXPECT_EQ(BoxLog::style, static_cast<UINT>(MB_TASKMODAL | MB_ICONWARNING));
    EXPECT_EQ(BoxLog::owner, nullptr);

    LibErrorBox("bad thing", -3);
    EXPECT_EQ(BoxLog::text, "Error -3 : bad thing");
    LibErrorBox(std::string(1000, 'x').c_str(), 12345);
    EXPECT_EQ(BoxLog::text.size(), 127u);  // bounded to 128 bytes with its end
    messageBoxes = 0;
    LibErrorBox("hidden", 1);
    EXPECT_EQ(BoxLog::shown, 3);
}
