#include "fake_system_text.h"

#include <string.h>

#include "sys_table.h"

namespace {

DWORD WINAPI FakeFormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD language, LPSTR buffer,
                                DWORD size, va_list*) {
    ++FakeSystemText::calls;
    FakeSystemText::flags = flags;
    FakeSystemText::messageId = messageId;
    FakeSystemText::language = language;
    FakeSystemText::size = size;
    FakeSystemText::buffer = buffer;
    const std::string& text = FakeSystemText::text;
    // Like the system: no text, or one that does not fit with its
    // terminator, returns 0 and leaves the buffer as it was.
    if (FakeSystemText::noText || text.size() + 1 > size) return 0;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

}  // namespace

void FakeSystemText::Install(const std::string& systemText) {
    text = systemText;
    noText = false;
    calls = 0;
    sio::sys.FormatMessageA = FakeFormatMessageA;
}
