/* Opens the two ends of a serial cable, sets both to 9600 baud 8N1 without
 * flow control, sends a line from one end and reads it at the other.
 *   exchange [SEND_PORT RECEIVE_PORT]   port names (COM3, com3, \\.\COM3), default COM3 and COM4
 * The write and the read each wait up to 2 s; every result is checked. The
 * program needs nothing from <windows.h>. */
#include <stdio.h>
#include <string.h>

#include "sio.h"

/* Says what failed, with the system's text when the library kept an error. */
static int Failed(const char *what, int port, int code) {
    char text[128] = "";
    if (code == SIO_WIN_ERROR) SioWinError(text, sizeof text);
    printf("%s on COM%d failed (%d) %s\n", what, port + 1, code, text);
    return 1;
}

static int OpenAt9600(int port) {
    int code = SioOpenPort(port, 1024, 1024);
    if (code < 0) return Failed("the open", port, code);
    if (SioSetBaud(port, 9600) == 0) return Failed("9600 baud", port, SIO_WIN_ERROR);
    code = SioSetParams(port, SIO_PARITY_NONE, SIO_STOP_1, 8);
    if (code < 0) return Failed("8N1", port, code);
    code = SioSetFlow(port, 'N');
    if (code < 0) return Failed("no flow control", port, code);
    return 0;
}

int main(int argc, char **argv) {
    const int sender = SioPortIndex(argc > 2 ? argv[1] : "COM3");
    const int receiver = SioPortIndex(argc > 2 ? argv[2] : "COM4");
    const char message[] = "hello over the line\r\n";
    const int length = (int)strlen(message);
    char received[64] = {0};
    int code, got, failed = 0;

    if (sender < 0 || receiver < 0) {
        printf("usage: exchange [SEND_PORT RECEIVE_PORT]\n");
        return 2;
    }
    if (OpenAt9600(sender) || OpenAt9600(receiver)) return 1;
    if ((code = SioFlushRx(receiver)) != 0) return Failed("the flush", receiver, code);

    code = SioWriteTimed(sender, message, length, 2000);
    if (code != length) failed = Failed("the write", sender, code);
    got = SioReadTimed(receiver, received, length, 2000);
    if (got < 0) {
        failed = Failed("the read", receiver, got);
    } else {
        printf("COM%d received %d of %d bytes: %s", receiver + 1, got, length, received);
        if (got != length || memcmp(received, message, (size_t)length) != 0) failed = 1;
    }
    if (SioClosePort(sender) <= 0) failed = Failed("the close", sender, 0);
    if (SioClosePort(receiver) <= 0) failed = Failed("the close", receiver, 0);
    return failed;
}
