/* Waits for a byte with a time-out: first with nothing sent, then after the
 * other end of the cable has sent one.
 *   wait_event [SEND_PORT RECEIVE_PORT]   ports as COM numbers, default 3 and 4
 * Some drivers end an event wait early without data (see the reference's
 * platform note), so SIO_DONE is taken as "look now", and the receive count
 * says whether a byte is really there. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "sio.h"

/* Waits up to timeoutMs for a byte to arrive; 1 when one is there, 0 when
 * the time passed, negative on a failure. */
static int WaitForByte(int port, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        int result;
        if (SioRxCount(port) > 0) return 1;
        if (spent >= timeoutMs) return 0;
        result = SioWaitEvent(port, EV_RXCHAR, (int)(timeoutMs - spent));
        if (result == SIO_PENDING) return SioRxCount(port) > 0;
        if (result != SIO_DONE) return result;
        if (SioRxCount(port) == 0) Sleep(5); /* woken early without data */
    }
}

int main(int argc, char **argv) {
    int sender = (argc > 2 ? atoi(argv[1]) : 3) - 1;
    int receiver = (argc > 2 ? atoi(argv[2]) : 4) - 1;
    int quiet, arrived;

    if (SioOpenPort(sender, 1024, 1024) < 0 || SioOpenPort(receiver, 1024, 1024) < 0) {
        printf("the ports cannot be opened (system error %d)\n", SioWinError(NULL, -1));
        return 1;
    }
    SioFlushRx(receiver);

    quiet = WaitForByte(receiver, 300);
    printf("nothing sent: %s\n", quiet == 0 ? "timed out after 300 ms" : "unexpected result");

    SioPutByte(sender, 'A');
    arrived = WaitForByte(receiver, 2000);
    if (arrived == 1) {
        printf("byte sent: '%c' arrived\n", SioGetByte(receiver));
    } else {
        printf("byte sent: nothing arrived (%d)\n", arrived);
    }
    SioClosePort(sender);
    SioClosePort(receiver);
    return quiet == 0 && arrived == 1 ? 0 : 1;
}
