/* Lists the COM ports the system has, with what their devices are, and the
 * modem input lines of those that can be opened; says which ones are in use.
 *   list_ports
 * The ports come from the system's device names: nothing is probed. The
 * library's message boxes are turned off first, as a console program has
 * nobody to click them away. The program needs nothing from <windows.h>. */
#include <stdio.h>

#include "sio.h"

#define ERROR_IN_USE 5 /* the system's error for a port another program holds */

static const char *OnOff(int line) { return line > 0 ? "on " : line == 0 ? "off" : "?  "; }

int main(void) {
    int port, found = 0;

    if (SioOption('m') != 0 && SioOption('m') != 0) { /* 'm' toggles; 0 means off */
        printf("the message boxes cannot be turned off\n");
        return 1;
    }
    for (port = SioNextPort(-1); port >= 0; port = SioNextPort(port)) {
        char name[256], usb[256], path[256];
        int code;
        /* A port may go (an adapter unplugged) between the two calls. */
        if (SioPortInfo(port, 'N', name, sizeof name) < 0 || SioPortInfo(port, 'U', usb, sizeof usb) < 0 ||
            SioPortInfo(port, 'P', path, sizeof path) < 0)
            continue;
        ++found;
        printf("COM%-3d %s%s%s\n", port + 1, name[0] ? name : path, usb[0] ? "  USB " : "", usb);
        code = SioOpenPort(port, 1024, 1024);
        if (code == 0) {
            printf("       CTS %s  DSR %s  RI %s  DCD %s\n", OnOff(SioModemCTS(port)),
                   OnOff(SioModemDSR(port)), OnOff(SioModemRI(port)), OnOff(SioModemDCD(port)));
            if (SioClosePort(port) <= 0) printf("       the close failed\n");
        } else if (code == SIO_WIN_ERROR && SioWinError(NULL, -1) == ERROR_IN_USE) {
            printf("       in use by another program\n");
        } else {
            printf("       cannot be opened (%d, system error %d)\n", code, SioWinError(NULL, -1));
        }
    }
    if (port != SIO_NO_DATA) printf("the list ended with %d\n", port);
    printf("%d port(s) found\n", found);
    return found > 0 && port == SIO_NO_DATA ? 0 : 1;
}
