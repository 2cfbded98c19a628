/* Lists the COM ports that can be opened, with the state of their modem
 * input lines, and says which ones are present but in use.
 *   list_ports
 * The library's message boxes are turned off first, as a console program
 * has nobody to click them away. */
#include <windows.h>

#include <stdio.h>

#include "sio.h"

int main(void) {
    int port, found = 0;

    if (SioOption('m') != 0) SioOption('m'); /* 'm' toggles; 0 means off */
    for (port = 0; port < 256; ++port) {
        int code = SioOpenPort(port, 1024, 1024);
        if (code == 0) {
            printf("COM%-3d CTS %s  DSR %s  RI %s  DCD %s\n", port + 1, SioModemCTS(port) ? "on " : "off",
                   SioModemDSR(port) ? "on " : "off", SioModemRI(port) ? "on " : "off",
                   SioModemDCD(port) ? "on " : "off");
            SioClosePort(port);
            ++found;
        } else if (code == SIO_WIN_ERROR && SioWinError(NULL, -1) == ERROR_ACCESS_DENIED) {
            printf("COM%-3d in use by another program\n", port + 1);
            ++found;
        }
    }
    printf("%d port(s) found\n", found);
    return found > 0 ? 0 : 1;
}
