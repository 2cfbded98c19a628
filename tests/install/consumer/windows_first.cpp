// <windows.h> before the library header, from C++. Run on the DLL, the
// program also proves that the package set SIO_USE_DLL and that the calls
// come from sio.dll.
#include <windows.h>
#include "sio.h"

#include <stdio.h>

extern "C" int ConsumerFromC(void);

int main() {
    static_assert(IE_BADID == -1 && IE_BAUDRATE == -12 && SIO_TIMEOUT == -107, "codes");
    int failures = ConsumerFromC() + (SioOpenPort(-1, 1, 1) == 0 ? 0 : 1) +
                   (SioOpenPort(256, 16, 16) == IE_BADID ? 0 : 1) + (SioQueryInfo('V') > 0 ? 0 : 1);
#ifdef SIO_USE_DLL
    HMODULE dll = GetModuleHandleA("sio.dll");
    if (!dll || GetProcAddress(dll, "SioOpenPort") == nullptr) ++failures;
    const char* variant = "DLL";
#else
    if (GetModuleHandleA("sio.dll") != nullptr) ++failures;
    const char* variant = "static library";
#endif
    printf("consumer on the %s: %s\n", variant, failures == 0 ? "ok" : "FAILED");
    return failures;
}
