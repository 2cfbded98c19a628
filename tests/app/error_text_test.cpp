// Error texts: the fixed table, the text for other codes, and the system's
// own text for SIO_WIN_ERROR (injected where Wine's wording differs from
// Windows'). How a text stands on the screen is the window tests' part.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "error_text.h"
#include "fake_system_text.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "text_buffer.h"

namespace {

struct CodeCase {
    int code;
    const char* text;
};

TEST(ErrorText, EveryCodeHasItsText) {
    const CodeCase cases[] = {
        {IE_BADID, "\n\nInvalid COM port\n"},
        {IE_OPEN, "\n\nCOM port already open\n"},
        {IE_NOPEN, "\n\nCannot open COM port\n"},
        {IE_MEMORY, "\n\nCannot allocate memory\n"},
        {IE_DEFAULT, "\n\nError in default parameters\n"},
        {IE_HARDWARE, "\n\nCOM port hardware not present\n"},
        {IE_BYTESIZE, "\n\nUnsupported byte size\n"},
        {IE_BAUDRATE, "\n\nUnsupported baud rate\n"},
        {SIO_NO_DATA, "\n\nNo Data\n"},
        {SIO_RANGE, "\n\nParameter out of range\n"},
        {SIO_BUFFERS, "\n\nCannot allocate memory for buffers\n"},
        {SIO_THREAD, "\n\nCannot start thread\n"},
        {SIO_TIMEOUT, "\n\nTimed out\n"},
        {SIO_IO_FAILED, "\n\nUnknown code -13\n"},
        {-9, "\n\nUnknown code -9\n"},
        {-2147483647 - 1, "\n\nUnknown code -2147483648\n"},
    };
    for (const CodeCase& test : cases) EXPECT_STREQ(ErrorText(test.code), test.text) << test.code;
}

TEST(ErrorText, SystemTextNamesThePortInsteadOfTheFile) {
    SysOverride guard;
    FakeSystemText::Install("The system cannot find the file specified.\r\n");
    sio::lastWinError = ERROR_FILE_NOT_FOUND;
    EXPECT_STREQ(ErrorText(SIO_WIN_ERROR), "The system cannot find the port specified.\r\n");
    EXPECT_EQ(FakeSystemText::buffer, textBuffer);
    EXPECT_EQ(FakeSystemText::size, 80u);
    EXPECT_EQ(FakeSystemText::messageId, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ErrorText, NoSystemTextShowsTheCodeInstead) {
    SysOverride guard;
    memset(textBuffer, 'x', kTextBufferSize);       // a failing system leaves the buffer as it was
    FakeSystemText::Install(std::string(80, 'y'));  // no room for its terminator in 80 bytes
    EXPECT_STREQ(ErrorText(SIO_WIN_ERROR), "\n\nUnknown code -103\n");
    FakeSystemText::noText = true;
    EXPECT_STREQ(ErrorText(SIO_WIN_ERROR), "\n\nUnknown code -103\n");
}

}  // namespace
