/* A program that includes only sio.h, built against the installed library
 * with pkg-config: moves data both ways over COM3 - COM4 (a pseudo-terminal
 * pair the map names), one way with a timed read, waits for an event and
 * changes the rate. Exit 0 when all of it worked. */
#include <stdio.h>
#include <string.h>

#include "sio.h"

#define RX_CHAR 0x001 /* EV_RXCHAR */

static int Expect(int ok, const char* what) {
    if (!ok) fprintf(stderr, "consumer: %s failed\n", what);
    return ok ? 0 : 1;
}

/* Reads count bytes from port, waiting for each arrival up to 2 s. */
static int ReadExactly(int port, char* buffer, int count) {
    int got = 0;
    while (got < count) {
        int n = SioReadBlock(port, buffer + got, count - got);
        if (n < 0) return n;
        if (n == 0 && SioWaitEvent(port, RX_CHAR, 2000) != SIO_DONE && SioRxCount(port) == 0) break;
        got += n;
    }
    return got;
}

int main(void) {
    char buffer[16] = {0};
    int failures = 0;
    failures += Expect(SioOpenPort(2, 1024, 1024) == 0 && SioOpenPort(3, 1024, 1024) == 0, "open");
    failures += Expect(SioWriteBlock(2, "ping", 4) == 4, "write one way");
    failures += Expect(ReadExactly(3, buffer, 4) == 4 && memcmp(buffer, "ping", 4) == 0, "read one way");
    failures += Expect(SioSetBaud(3, 250000) != 0 && SioSetBaud(2, 250000) != 0, "rate change");
    failures += Expect(SioWriteBlock(3, "pong", 4) == 4, "write the other way");
    failures += Expect(SioReadTimed(2, buffer, 4, 2000) == 4 && memcmp(buffer, "pong", 4) == 0,
                       "timed read the other way");
    failures += Expect(SioReadTimed(2, buffer, 4, 20) == 0, "timed read with nothing to come");
    failures += Expect(SioWaitEvent(2, RX_CHAR, 50) == SIO_PENDING, "event wait with nothing to come");
    SioClosePort(2);
    SioClosePort(3);
    return failures == 0 ? 0 : 1;
}
