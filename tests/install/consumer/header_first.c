/* The library header before <windows.h>, from C. */
#include <windows.h>
#include "sio.h"

int ConsumerFromC(void) { return SioClosePort(0) == IE_NOPEN && SIO_RANGE == -101 ? 0 : 1; }
