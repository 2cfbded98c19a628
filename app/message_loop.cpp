#include "message_loop.h"

#include "app_sys.h"

int RunMessageLoop(HACCEL accelerators) {
    MSG message;
    BOOL got;
    // GetMessageA returns -1 on failure; ending the loop then beats spinning on it.
    while ((got = appSys.GetMessageA(&message, nullptr, 0, 0)) > 0) {
        if (!TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return got == 0 ? static_cast<int>(message.wParam) : -1;
}
