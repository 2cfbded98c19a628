#include "controller_line.h"

#include "sio.h"

int OpenControllerLine(int port) {
    SioOpenPort(-1, 1, 1);  // DTR and RTS on at the next open
    int result = SioOpenPort(port, kControllerQueueSize, kControllerQueueSize);
    if (result < 0) return result;
    // SioSetBaud hands back the system's result: 0 means refused.
    if (SioSetBaud(port, kControllerBaud) == 0) {
        SioClosePort(port);
        return IE_BAUDRATE;
    }
    SioFlushRx(port);  // drop whatever arrived before
    return 0;
}
