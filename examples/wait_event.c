/* Waits for a byte with a time-out: first with nothing sent, then after the
 * other end of the cable has sent one.
 *   wait_event [SEND_PORT RECEIVE_PORT]   ports as COM numbers, default 3 and 4
 * Some drivers end an event wait early without data (see the reference's
 * platform note), so the end of a wait is taken as "look now", and the
 * receive count says whether a byte is really there. */
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
        result = SioWaitEvent(port, SIO_EV_RXCHAR, (int)(timeoutMs - spent));
        if (result == SIO_PENDING) return SioRxCount(port) > 0;
        /* Some drivers (Wine's among them) end a wait early, even with an
         * error, and the port may still be ending an earlier wait: look, then
         * wait again until the time is up. */
        if (result != SIO_DONE && result != SIO_IO_FAILED && result != SIO_BUSY) return result;
        if (SioRxCount(port) == 0) Sleep(5);
    }
}

int main(int argc, char **argv) {
    int sender = (argc > 2 ? atoi(argv[1]) : 3) - 1;
    int receiver = (argc > 2 ? atoi(argv[2]) : 4) - 1;
    int quiet, arrived;

    int byte = 0, closed;

    if (SioOpenPort(sender, 1024, 1024) < 0 || SioOpenPort(receiver, 1024, 1024) < 0) {
        printf("the ports cannot be opened (system error %d)\n", SioWinError(NULL, -1));
        return 1;
    }
    if (SioFlushRx(receiver) != 0) return 1;

    quiet = WaitForByte(receiver, 300);
    printf("nothing sent: %s\n", quiet == 0 ? "timed out after 300 ms" : "unexpected result");

    if (SioPutByte(sender, 'A') != 1) {
        printf("the byte cannot be sent\n");
        arrived = -1;
    } else {
        arrived = WaitForByte(receiver, 2000);
    }
    if (arrived == 1) {
        byte = SioGetByte(receiver);
        if (byte >= 0) {
            printf("byte sent: '%c' arrived\n", byte);
        } else {
            printf("byte sent: the read failed (%d)\n", byte);
        }
    } else {
        printf("byte sent: nothing arrived (%d)\n", arrived);
    }
    closed = SioClosePort(sender) > 0;
    closed = SioClosePort(receiver) > 0 && closed;
    return quiet == 0 && byte == 'A' && closed ? 0 : 1;
}
