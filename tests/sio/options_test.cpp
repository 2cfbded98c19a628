// Options, per-port controls, information queries and the system error text:
// the letter tables, what each letter changes (and what bad letters and
// indices leave alone), and SioWinError's buffer rules and message box.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <thread>

#include "box_log.h"
#include "fake_system_text.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

// "R" reaches the next open as a device reset; "W" makes every slot's block
// writes return at once, and leaves the message boxes on.
TEST(Options, ResetAndNoWaitActAtTheNextOpenAndWrite) {
    VirtualSerialDriver driver;
    static int resets;
    resets = 0;
    static decltype(sys.EscapeCommFunction) escape;
    escape = sys.EscapeCommFunction;
    sys.EscapeCommFunction = [](HANDLE device, DWORD function) WINAPI -> BOOL {
        resets += function == RESETDEV;
        return escape(device, function);
    };
    EXPECT_EQ(SioOption('R'), 82);
    EXPECT_EQ(SioOption('R'), 82);
    EXPECT_EQ(SioOption('W'), 87);
    for (int port : {0, 255}) {
        ASSERT_EQ(SioOpenPort(port, 1024, 1024), 0);
        EXPECT_EQ(SioWriteBlock(port, "abc", 3), 1) << port;
        EXPECT_NE(SioClosePort(port), 0);
    }
    EXPECT_EQ(resets, 2);
    EXPECT_EQ(SioOption('m'), 0);  // still on until now
}

TEST(Options, MessageBoxToggleAnnouncesOnlyItsReturn) {
    SysOverride guard;
    BoxLog::Install();
    EXPECT_EQ(SioOption('m'), 0);
    EXPECT_EQ(BoxLog::shown, 0);
    EXPECT_EQ(SioOption('m'), 1);
    EXPECT_EQ(BoxLog::shown, 1);
    EXPECT_EQ(BoxLog::text, "MsgBox enabled");
    EXPECT_EQ(BoxLog::caption, "Info");
    EXPECT_EQ(BoxLog::owner, nullptr);
}

TEST(Options, UnknownLettersChangeNothing) {
    // r, w, M, "R" + 256, "R" + 65536: case and the whole argument count.
    for (int letter : {114, 119, 77, 338, 65618, 0, -1}) EXPECT_EQ(SioOption(letter), -1) << letter;
    EXPECT_EQ(resetDeviceAtOpen, 0);
    EXPECT_EQ(messageBoxes, 1);
    EXPECT_EQ(portTable[0].noWait, 0);
}

TEST(PortControl, ClosedSlotTable) {
    struct Case {
        int port, letter, value, result;
    };
    const Case cases[] = {
        {0, 'B', 0, -1},
        {0, 'H', 7, -1},
        {3, 'Z', 0, -1},
        {3, 'b', 0, -1},
        {5, 'W', 1, 1},
        {6, 'W', 0x1FF, 0x1FF},
        {0, 'X', 0x100, 0x100},
        {255, 'S', 0, 2},
        // "O" sets old-Windows mode for 0 and clears it for anything else.
        {0, 'O', 1, 1},
        {0, 'M', 0, 0},
        {9, 'O', 0, 0},
        {0, 'M', 0, 1},
        {0, 'O', -5, -5},
        {0, 'M', 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SioPortControl(c.port, c.letter, c.value), c.result) << c.port << " " << char(c.letter);
    EXPECT_EQ(portTable[5].noWait, 1);
    EXPECT_EQ(portTable[6].noWait, 0xFF);  // the low 8 bits of the value
    EXPECT_EQ(tolerateSetupFailure, 0);
}

TEST(LinePortControl, HandleOfAnOpenPortAndNoWaitSurvivesOpenAndClose) {
    EXPECT_EQ(SioPortControl(kLinePort, 'W', 1), 1);
    ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0);
    int handle = static_cast<int>(reinterpret_cast<INT_PTR>(portTable[kLinePort].handle.load()));
    EXPECT_NE(handle, -1);
    EXPECT_EQ(SioPortControl(kLinePort, 'B', 0), handle);
    EXPECT_EQ(SioPortControl(kLinePort, 'H', 0), handle);
    EXPECT_EQ(portTable[kLinePort].noWait, 1);
    SioClosePort(kLinePort);
    EXPECT_EQ(SioPortControl(kLinePort, 'B', 0), -1);
    EXPECT_EQ(portTable[kLinePort].noWait, 1);
}

TEST(QueryInfo, Table) {
    struct Case {
        int letter, result;
    };
    const Case cases[] = {{'V', 1061}, {'B', 1},  {'?', 999},        {'I', 1},  {'3', 1},
                          {'1', 0},    {'2', 0},  {'M', 0},          {'m', 0},  {'c', 0},
                          {'v', -1},   {'b', -1}, {'V' + 256, 1061}, {'Z', -1}, {0, -1}};
    for (const Case& c : cases) EXPECT_EQ(SioQueryInfo(c.letter), c.result) << c.letter;
    EXPECT_EQ(initDone.load(), kInitDone);
    EXPECT_EQ(portTable[17].handle, INVALID_HANDLE_VALUE);
}

// The header's version macros are the version the library reports: 4.25 is
// reported as 0x425, the digits of major and minor as hexadecimal digits.
TEST(QueryInfo, VersionMatchesTheHeaderMacros) {
    const int major = SIO_VERSION_MAJOR, minor = SIO_VERSION_MINOR;
    const int asReported = (major / 10) << 12 | (major % 10) << 8 | (minor / 10) << 4 | (minor % 10);
    EXPECT_EQ(SioQueryInfo('V'), asReported);
}

TEST(QueryInfo, CountersAreReportedByTheirOwnLetters) {
    threadsStarted = 3;
    threadsEnded = 2;
    closeFailures = 5;
    EXPECT_EQ(SioQueryInfo('M'), 3);
    EXPECT_EQ(SioQueryInfo('m'), 2);
    EXPECT_EQ(SioQueryInfo('c'), 5);
}

class WinError : public ::testing::Test {
protected:
    void SetUp() override {
        BoxLog::Install();
        lastWinError = ERROR_FILE_NOT_FOUND;
        memset(buffer, 'g', sizeof buffer);
    }
    bool BufferUntouchedFrom(size_t first) const {
        for (size_t i = first; i < sizeof buffer; ++i)
            if (buffer[i] != 'g') return false;
        return true;
    }
    SysOverride guard;
    char buffer[200];
};

TEST_F(WinError, FileTextBecomesThePortText) {
    FakeSystemText::Install("The system cannot find the file specified.\r\n");
    EXPECT_EQ(SioWinError(buffer, 128), 2);
    EXPECT_STREQ(buffer, "The system cannot find the port specified.\r\n");
    EXPECT_EQ(FakeSystemText::size, 128u);
    EXPECT_EQ(FakeSystemText::language, 0x0800u);
    EXPECT_TRUE(FakeSystemText::flags & FORMAT_MESSAGE_FROM_SYSTEM);
    EXPECT_TRUE(FakeSystemText::flags & FORMAT_MESSAGE_IGNORE_INSERTS);  // no argument list is given
    EXPECT_EQ(BoxLog::shown, 0);
}

TEST_F(WinError, SizeZeroShowsTheBoxAndTouchesNoCallerBuffer) {
    FakeSystemText::Install("Access is denied.\r\n");
    messageBoxes = 0;  // this box does not depend on the switch
    lastWinError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(SioWinError(buffer, 0), 5);
    EXPECT_EQ(BoxLog::shown, 1);
    EXPECT_EQ(BoxLog::caption, "SioWinError");
    EXPECT_EQ(BoxLog::owner, nullptr);
    EXPECT_EQ(BoxLog::style, 0x2030u);
    EXPECT_EQ(BoxLog::text, "Access is denied.\r\n");
    EXPECT_TRUE(BufferUntouchedFrom(0));
}

TEST_F(WinError, NegativeSizeShowsAndFillsNothing) {
    FakeSystemText::Install("Access is denied.\r\n");
    EXPECT_EQ(SioWinError(buffer, -1), 2);
    EXPECT_EQ(BoxLog::shown, 0);
    EXPECT_TRUE(BufferUntouchedFrom(0));
}

TEST_F(WinError, TooSmallOrTextlessLeavesAnEmptyStringWithinTheSize) {
    FakeSystemText::Install("Access is denied.\r\n");
    EXPECT_EQ(SioWinError(buffer, 5), 2);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_TRUE(BufferUntouchedFrom(5));
    FakeSystemText::noText = true;
    memset(buffer, 'g', sizeof buffer);
    SioWinError(buffer, 1);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_TRUE(BufferUntouchedFrom(1));
}

// Another thread's failure that lands while the text is formed: the code
// returned is the one whose text was given.
TEST_F(WinError, TextAndCodeBelongToOneError) {
    FakeSystemText::Install("File not found.\r\n");
    lastWinError = ERROR_FILE_NOT_FOUND;
    static decltype(sys.FormatMessageA) formText;
    formText = sys.FormatMessageA;
    sys.FormatMessageA = [](DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR text, DWORD size,
                            va_list* args) WINAPI -> DWORD {
        lastWinError = ERROR_ACCESS_DENIED;
        return formText(flags, source, id, language, text, size, args);
    };
    EXPECT_EQ(SioWinError(buffer, 128), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FakeSystemText::messageId, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(WinErrorAfterOpen, FailedOpenOfAMissingPortKeepsTheSystemError) {
    ASSERT_EQ(SioOpenPort(kMissingPort, 1024, 1024), SIO_WIN_ERROR);
    char text[128];
    EXPECT_EQ(SioWinError(text, sizeof text), 2);
    EXPECT_GT(strlen(text), 2u);
    memset(text, 'g', sizeof text);
    SioWinError(text, 4);  // this system's text does not fit: the system leaves the buffer as it was
    EXPECT_EQ(std::string(text, 5), std::string("\0ggg", 4) + "g");
}

// Another thread's failure does not replace this thread's error.
TEST(WinErrorThreads, EachThreadKeepsItsOwnError) {
    VirtualSerialDriver driver;
    ASSERT_EQ(SioOpenPort(VirtualSerialDriver::kMissing, 1024, 1024), SIO_WIN_ERROR);
    std::thread other([] {
        EXPECT_EQ(SioWinError(nullptr, -1), 0);  // nothing failed on this thread yet
        ASSERT_EQ(SioOpenPort(2, 1024, 1024), 0);
        EXPECT_EQ(SioOpenPort(2, 1024, 1024), SIO_WIN_ERROR);
        EXPECT_EQ(SioWinError(nullptr, -1), ERROR_ACCESS_DENIED);
        SioClosePort(2);
    });
    other.join();
    EXPECT_EQ(SioWinError(nullptr, -1), ERROR_FILE_NOT_FOUND);
}

}  // namespace
