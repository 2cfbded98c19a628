// Calls that move no data: library-wide options, per-port controls, the
// information queries (version stamp, counters) and the system's text for the
// last Win32 error the library kept. Each is a letter dispatch over state that
// the port tables own.
#include <string.h>

#include "open_close.h"
#include "sio_state.h"
#include "sys_table.h"

namespace sio {
namespace {

// The library's version stamp. SioQueryInfo reads the four hexadecimal
// digits after "V" as the version and those after "B" as the build.
constexpr char kVersionStamp[] = "sio serial library V0425 B0001";
constexpr int kVersionField = 20;
constexpr int kBuildField = 26;
constexpr int kFieldDigits = 4;
static_assert(kVersionStamp[kVersionField - 1] == 'V' && kVersionStamp[kBuildField - 1] == 'B',
              "the stamp's fields moved");

constexpr BYTE kNoWaitOn = 'W';
constexpr int kWokenWait = 2;
constexpr int kUnknownLetter = -1;
constexpr int kOwnTextSize = 128;

constexpr char kFileNotFoundText[] = "The system cannot find the file specified.\r\n";
constexpr char kPortNotFoundText[] = "The system cannot find the port specified.\r\n";
static_assert(sizeof kFileNotFoundText == sizeof kPortNotFoundText,
              "the replacement must fit wherever the system's text did");

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return 0;
}

int HexField(const char* field) {
    int value = 0;
    for (int i = 0; i < kFieldDigits; ++i) value = value * 16 + HexDigit(field[i]);
    return value;
}

int ToggleMessageBoxes() {
    messageBoxes = 1 - messageBoxes;
    if (messageBoxes == 1) LibMessageBox("MsgBox enabled");
    return messageBoxes;
}

// The system's message for code into text (capacity bytes, at least 1),
// always terminated: FormatMessageA leaves the buffer untouched when the
// message does not fit, so it is emptied first.
void FormatSystemText(DWORD code, char* text, DWORD capacity) {
    text[0] = '\0';
    // Inserts are ignored: with no argument list a message holding %1 would
    // otherwise make the system read arguments that do not exist.
    DWORD length =
        sys.FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                           MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT), text, capacity, nullptr);
    if (length == 0) {  // 0 = failure; the buffer may hold anything
        text[0] = '\0';
        return;
    }
    text[length < capacity ? length : capacity - 1] = '\0';
    if (strcmp(text, kFileNotFoundText) == 0) memcpy(text, kPortNotFoundText, sizeof kPortNotFoundText);
}

}  // namespace
}  // namespace sio

using namespace sio;

extern "C" int SioOption(int letter) {
    switch (letter) {
        case 'R': resetDeviceAtOpen = 1; return 'R';
        case 'W':
            for (PortEntry& entry : portTable) entry.noWait = kNoWaitOn;
            return 'W';
        case 'm': return ToggleMessageBoxes();
        default: return kUnknownLetter;
    }
}

extern "C" int SioPortControl(int port, int letter, int value) {
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();
    switch (letter) {
        case 'B':
        case 'H':
            // Win32 handles are 32-bit values even in 64-bit programs; a
            // closed slot's INVALID_HANDLE_VALUE reads as -1.
            return static_cast<int>(reinterpret_cast<INT_PTR>(portTable[port].handle.load()));
        case 'M': return oldWindows;
        case 'O': oldWindows = value == 0 ? 1 : 0; return value;
        case 'S': WakeFromOutside(port); return kWokenWait;
        case 'W': portTable[port].noWait = static_cast<BYTE>(value & 0xFF); return value;
        case 'X': tolerateSetupFailure = static_cast<BYTE>(value & 0xFF); return value;
        default: return kUnknownLetter;
    }
}

extern "C" int SioQueryInfo(int letter) {
    LibraryInit();
    switch (letter & 0xFF) {
        case '1': return spareCounter1;
        case '2': return spareCounter2;
        case '3':
        case 'I': return 1;
        case '?': return 999;
        case 'V': return HexField(kVersionStamp + kVersionField);
        case 'B': return HexField(kVersionStamp + kBuildField);
        case 'M': return threadsStarted;
        case 'm': return threadsEnded;
        case 'c': return closeFailures;
        default: return kUnknownLetter;
    }
}

extern "C" int SioWinError(char* buffer, int size) {
    // Read once: another thread's failure may replace it meanwhile, and the
    // text must belong to the code returned.
    const DWORD code = lastWinError;
    char ownText[kOwnTextSize];
    bool intoCaller = size > 0 && buffer != nullptr;
    char* text = intoCaller ? buffer : ownText;
    DWORD capacity = intoCaller ? static_cast<DWORD>(size) : sizeof ownText;
    FormatSystemText(code, text, capacity);
    if (size == 0) sys.MessageBoxA(nullptr, text, "SioWinError", MB_TASKMODAL | MB_ICONWARNING);
    return static_cast<int>(code);
}
