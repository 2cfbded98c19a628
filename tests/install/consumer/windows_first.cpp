// <windows.h> before the library header, from C++. Built on the DLL
// (CONSUMER_ON_DLL), the program proves that its calls come from sio.dll;
// built by CMake, also that the package sets SIO_USE_DLL exactly for the DLL.
#include <windows.h>
#include "sio.h"

#include <stdio.h>
#include <string.h>

#if defined(CONSUMER_FROM_CMAKE) && defined(CONSUMER_ON_DLL) != defined(SIO_USE_DLL)
#error "the CMake package sets SIO_USE_DLL for a program on the static library, or not for one on the DLL"
#endif

extern "C" int ConsumerFromC(void);

int main() {
    static_assert(IE_BADID == -1 && IE_BAUDRATE == -12 && SIO_TIMEOUT == -107, "codes");
    char version[16];
    snprintf(version, sizeof version, "%d.%d.%d", SIO_VERSION_MAJOR, SIO_VERSION_MINOR, SIO_VERSION_PATCH);
    int failures = ConsumerFromC() + (SioOpenPort(-1, 1, 1) == 0 ? 0 : 1) +
                   (SioOpenPort(256, 16, 16) == IE_BADID ? 0 : 1) + (SioQueryInfo('V') > 0 ? 0 : 1) +
                   (strcmp(version, SIO_VERSION_STRING) == 0 ? 0 : 1);
#ifdef CONSUMER_ON_DLL
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
