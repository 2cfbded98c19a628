// The library as a DLL: a program linked against the import library finds
// sio.dll and its calls behave as the static library's do.
#define SIO_USE_DLL
#include <stdio.h>
#include <windows.h>

#include "sio.h"

int main() {
    int failures = 0;
    auto expect = [&failures](bool ok, const char* what) {
        printf("%s %s\n", ok ? "ok" : "FAIL", what);
        if (!ok) ++failures;
    };
    HMODULE dll = GetModuleHandleA("sio.dll");
    expect(dll != nullptr, "sio.dll is loaded");
    expect(dll && GetProcAddress(dll, "SioOpenPort") != nullptr, "SioOpenPort is exported");
    expect(SioOpenPort(-1, 1, 1) == 0, "SioOpenPort(-1, 1, 1) returns 0");
    expect(SioOpenPort(256, 1024, 1024) == IE_BADID, "SioOpenPort(256) returns IE_BADID");
    expect(SioOpenPort(8, 1024, 1024) == SIO_WIN_ERROR, "opening the missing COM9 returns SIO_WIN_ERROR");
    expect(SioClosePort(8) == IE_NOPEN, "closing a port that is not open returns IE_NOPEN");
    printf("%d passed, %d failed\n", 6 - failures, failures);
    return failures == 0 ? 0 : 1;
}
