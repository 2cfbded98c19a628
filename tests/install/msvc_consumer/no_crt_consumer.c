/* A program as Visual Studio's toolchain builds it, without any C runtime:
 * linked against sio.lib only, it calls sio.dll with one, two and three
 * arguments, a pointer among them. Built for 32-bit with __stdcall as the
 * default convention, it links and runs only because sio.h states __cdecl.
 * The exit code says which check failed, 0 when none did. */
#include "sio.h"

int SIO_CALL Start(void) {
    char text[128];
    text[0] = 0;
    if (SioQueryInfo('?') != 999) return 10;
    if (SioPortControl(0, 'B', 0) != -1) return 11;               /* a port never opened has no handle */
    if (SioOpenPort(199, 1024, 1024) != SIO_WIN_ERROR) return 12; /* COM200 is not there */
    if (SioWinError(text, (int)sizeof text) != 2) return 13;
    if (text[0] == 0) return 14; /* the system's text for error 2 */
    return 0;
}
