// <windows.h> before the library header, from C++.
#include <windows.h>
#include "sio.h"

extern "C" int ConsumerFromC(void);

int main() {
    static_assert(IE_BADID == -1 && IE_BAUDRATE == -12 && SIO_TIMEOUT == -107, "codes");
    return ConsumerFromC() + (SioOpenPort(-1, 1, 1) == 0 ? 0 : 1);
}
