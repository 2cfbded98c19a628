// Error texts: a fixed text per library code, the system's own message for a
// failed Win32 call, and "Unknown code" for anything else. Each fixed text
// stands apart from the lines around it with its line feeds.
#include "error_text.h"

#include <stdio.h>

#include "sio.h"
#include "text_buffer.h"

namespace {

// The system text goes into the first 80 bytes of the buffer.
constexpr int kSystemTextSize = 80;

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kCodeTexts[] = {
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
};

const char* UnknownCodeText(int code) {
    snprintf(textBuffer, kTextBufferSize, "\n\nUnknown code %d\n", code);
    return textBuffer;
}

}  // namespace

const char* ErrorText(int code) {
    if (code == SIO_WIN_ERROR) {
        SioWinError(textBuffer, kSystemTextSize);
        // An empty text means the system has none for the error, or none
        // that fits: say which code it was instead of showing nothing.
        if (textBuffer[0] != '\0') return textBuffer;
        return UnknownCodeText(code);
    }
    for (const CodeText& entry : kCodeTexts) {
        if (entry.code != code) continue;
        snprintf(textBuffer, kTextBufferSize, "%s", entry.text);
        return textBuffer;
    }
    return UnknownCodeText(code);
}

std::string ErrorLine(int code) {
    std::string text = ErrorText(code);
    const char* space = " \t\r\n";
    size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return "error " + std::to_string(code);
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}
