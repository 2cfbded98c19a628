/* Opens the two ends of a serial cable, sets both to 9600 baud 8N1 without
 * flow control, sends a line from one end and reads it at the other.
 *   exchange [SEND_PORT RECEIVE_PORT]   ports as COM numbers, default 3 and 4
 * Reads never wait for data, so the receiving end polls with a deadline. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sio.h"

static int OpenAt9600(int port) {
    int code = SioOpenPort(port, 1024, 1024);
    if (code < 0) {
        char text[128];
        SioWinError(text, sizeof text);
        printf("COM%d cannot be opened (%d): %s", port + 1, code, text);
        return code;
    }
    SioSetBaud(port, 9600);
    SioSetParams(port, 0, 0, 8); /* no parity, one stop bit, 8 data bits */
    SioSetFlow(port, 'N');
    return 0;
}

int main(int argc, char **argv) {
    int sender = (argc > 2 ? atoi(argv[1]) : 3) - 1; /* the library counts COM1 as 0 */
    int receiver = (argc > 2 ? atoi(argv[2]) : 4) - 1;
    const char message[] = "hello over the line\r\n";
    const int length = (int)strlen(message);
    char received[64] = {0};
    int got = 0;
    DWORD start;

    if (OpenAt9600(sender) < 0 || OpenAt9600(receiver) < 0) return 1;
    SioFlushRx(receiver);

    if (SioWriteBlock(sender, message, length) != length) {
        printf("the write did not complete\n");
        return 1;
    }
    for (start = GetTickCount(); got < length && GetTickCount() - start < 2000; Sleep(10)) {
        int n = SioReadBlock(receiver, received + got, (int)sizeof received - 1 - got);
        if (n < 0) {
            printf("the read failed (%d)\n", n);
            return 1;
        }
        got += n;
    }
    printf("COM%d received %d of %d bytes: %s", receiver + 1, got, length, received);
    SioClosePort(sender);
    SioClosePort(receiver);
    return got == length && memcmp(received, message, (size_t)length) == 0 ? 0 : 1;
}
