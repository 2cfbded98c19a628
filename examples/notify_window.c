/* Lets the library tell a window that data arrived: SioNotify starts a thread
 * that waits for the event and posts one message; the window reads the data
 * and asks for the next message.
 *   notify_window [SEND_PORT RECEIVE_PORT]   ports as COM numbers, default 3 and 4
 * A message-only window is enough here; a program's main window works alike. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "sio.h"

#define WM_SERIAL_DATA (WM_APP + 1)
#define GIVE_UP_TIMER 1

static int g_received;

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SERIAL_DATA) {
        int port = (int)wParam; /* the library posts the port index here */
        char data[64];
        int n = SioReadBlock(port, data, (int)sizeof data);
        if (n < 0) {
            printf("the read failed (%d)\n", n);
            PostQuitMessage(1);
            return 0;
        }
        if (n > 0) {
            printf("message for COM%d: %d bytes: %.*s\n", port + 1, n, n, data);
            g_received += n;
        }
        if (g_received > 0) {
            PostQuitMessage(0);
        } else if (SioNotify(port, window, WM_SERIAL_DATA, SIO_EV_RXCHAR) != 0) { /* one message per start */
            printf("the notification thread cannot start again\n");
            PostQuitMessage(1);
        }
        return 0;
    }
    if (message == WM_TIMER) {
        printf("no data within 5 s\n");
        PostQuitMessage(1);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv) {
    int sender = (argc > 2 ? atoi(argv[1]) : 3) - 1;
    int receiver = (argc > 2 ? atoi(argv[2]) : 4) - 1;
    WNDCLASSA windowClass = {0};
    HWND window;
    MSG message;

    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "sio notify example";
    RegisterClassA(&windowClass);
    window = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                           windowClass.hInstance, NULL);
    if (!window) return 1;

    if (SioOpenPort(sender, 1024, 1024) < 0 || SioOpenPort(receiver, 1024, 1024) < 0) {
        printf("the ports cannot be opened (system error %d)\n", SioWinError(NULL, -1));
        return 1;
    }
    if (SioFlushRx(receiver) != 0) return 1;
    if (SioNotify(receiver, window, WM_SERIAL_DATA, SIO_EV_RXCHAR) != 0) {
        printf("the notification thread cannot start\n");
        return 1;
    }
    if (!SetTimer(window, GIVE_UP_TIMER, 5000, NULL)) return 1;
    if (SioWriteBlock(sender, "ping", 4) != 4) printf("the write did not complete\n");

    while (GetMessageA(&message, NULL, 0, 0) > 0) DispatchMessageA(&message);
    if (SioClosePort(sender) <= 0) g_received = 0;
    if (SioClosePort(receiver) <= 0) g_received = 0; /* also ends a notification thread that still waits */
    return g_received > 0 ? 0 : 1;
}
