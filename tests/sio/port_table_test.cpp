// Port tables and library state: start values, one-time initialisation, the
// port check and the counting close.
#include <gtest/gtest.h>

#include <climits>

#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"

using namespace sio;

TEST(PortTable, StartValuesBeforeInit) {
    EXPECT_EQ(initDone, kInitNone);
    EXPECT_EQ(defaultBaud, 19200);
    EXPECT_EQ(defaultParity, NOPARITY);
    EXPECT_EQ(defaultStopBits, ONESTOPBIT);
    EXPECT_EQ(defaultDataBits, 8);
    EXPECT_EQ(dtrAtOpen, 0);
    EXPECT_EQ(rtsAtOpen, 0);
    EXPECT_EQ(resetDeviceAtOpen, 0);
    EXPECT_EQ(tolerateSetupFailure, 1);
    EXPECT_EQ(messageBoxes, 1);
    EXPECT_EQ(syncMode, 0);
    EXPECT_EQ(lastWinError, 0u);
    EXPECT_STREQ(deviceName, "\\\\.\\COM1");
    const int rates[10] = {110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(SioBaudTable[i], rates[i]);
    const unsigned short bases[4] = {0x3F8, 0x2F8, 0x3E8, 0x2E8};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(uartBase[i], bases[i]);
}

TEST(PortTable, InitMarksEverySlotClosedAndLinksItsDcb) {
    LibraryInit();
    EXPECT_EQ(initDone, kInitDone);
    for (int port = 0; port < kPortCount; ++port) {
        EXPECT_EQ(portTable[port].handle, INVALID_HANDLE_VALUE);
        EXPECT_EQ(portTable[port].dcb, &dcbTable[port]);
        EXPECT_EQ(portTable[port].notifyThread, nullptr);
    }
}

TEST(PortTable, SecondInitChangesNothing) {
    LibraryInit();
    portTable[7].lineBits = 3;
    portTable[7].pushback = 0x41;
    oldWindows = 1;
    LibraryInit();
    EXPECT_EQ(portTable[7].lineBits, 3);
    EXPECT_EQ(portTable[7].pushback, 0x41);
    EXPECT_EQ(oldWindows, 1);
}

TEST(PortTable, CheckPortAcceptsOnly0To255) {
    EXPECT_EQ(CheckPort(0), 0);
    EXPECT_EQ(CheckPort(255), 0);
    for (int bad : {-1, -2, 256, INT_MIN, INT_MAX}) EXPECT_EQ(CheckPort(bad), IE_BADID) << bad;
}

TEST(PortTable, CallOnNeverOpenedPortBeforeAnyOpenIsNotOpen) {
    EXPECT_EQ(SioClosePort(0), IE_NOPEN);
    EXPECT_EQ(initDone, kInitDone);
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
                         ::testing::Values(VersionCase{0x00000004, 1},      // 4.0
                                           VersionCase{0x80000004, 1},      // 4.0, high bits ignored
                                           VersionCase{0x05650004, 1},      // 4.0 with a build number
                                           VersionCase{0x00000A04, 0},      // 4.10
                                           VersionCase{0x00000005, 0},      // 5.0
                                           VersionCase{0x00000105, 0},      // 5.1
                                           VersionCase{0x1DB10106, 0},      // 6.1
                                           VersionCase{0x23F00206, 0},      // 6.2
                                           VersionCase{0x00000003, 0}));    // 3.0

TEST(PortTable, CloseCountedCountsOnlyFailures) {
    SysOverride guard;
    static BOOL result;
    sys.CloseHandle = [](HANDLE) WINAPI -> BOOL { return result; };
    result = TRUE;
    EXPECT_TRUE(CloseCounted(reinterpret_cast<HANDLE>(1)));
    EXPECT_EQ(closeFailures, 0);
    result = FALSE;
    EXPECT_FALSE(CloseCounted(reinterpret_cast<HANDLE>(1)));
    EXPECT_FALSE(CloseCounted(reinterpret_cast<HANDLE>(1)));
    EXPECT_EQ(closeFailures, 2);
}

TEST(PortTable, MessageBoxesAreTaskModalWarningsCaptionedInfo) {
    SysOverride guard;
    static std::string text, caption;
    static UINT style;
    static int shown;
    sys.MessageBoxA = [](HWND owner, LPCSTR t, LPCSTR c, UINT s) WINAPI -> int {
        EXPECT_EQ(owner, nullptr);
        text = t;
        caption = c;
        style = s;
        ++shown;
        return IDOK;
    };
    EXPECT_EQ(LibMessageBox("hello"), IDOK);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(caption, "Info");
    EXPECT_EQ(style, static_cast<UINT>(MB_TASKMODAL | MB_ICONWARNING));

    LibErrorBox("bad thing", -3);
    EXPECT_EQ(text, "Error -3 : bad thing");
    messageBoxes = 0;
    LibErrorBox("hidden", 1);
    EXPECT_EQ(shown, 2);
}

TEST(PortTable, ErrorBoxTextIsBoundedTo128Bytes) {
    SysOverride guard;
    static size_t length;
    sys.MessageBoxA = [](HWND, LPCSTR t, LPCSTR, UINT) WINAPI -> int {
        length = strlen(t);
        return IDOK;
    };
    std::string longText(1000, 'x');
    LibErrorBox(longText.c_str(), 12345);
    EXPECT_EQ(length, 127u);
}
