// A program that unloads the library's DLL as soon as the notification
// message arrives, over and over, on the virtual line COM3: the thread that
// posted the message must not run DLL code after that, and the DLL must be
// gone once the last thread has ended.
#include <stdio.h>
#include <windows.h>

#include "sio.h"

namespace {

constexpr int kPort = 2;  // COM3
constexpr int kRounds = 200;
constexpr UINT kMessage = WM_APP + 1;

using OpenFn = int (*)(int, int, int);
using CloseFn = int (*)(int);
using NotifyFn = int (*)(int, void*, int, int);

bool WaitForMessage(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < timeoutMs) {
        while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
            if (message.message == kMessage) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return false;
}

}  // namespace

int main() {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!window) return 2;
    int failures = 0;
    for (int round = 0; round < kRounds && failures == 0; ++round) {
        HMODULE dll = LoadLibraryA("sio.dll");
        if (!dll) return 2;
        auto open = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(GetProcAddress(dll, "SioOpenPort")));
        auto close = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(dll, "SioClosePort")));
        auto notify = reinterpret_cast<NotifyFn>(reinterpret_cast<void*>(GetProcAddress(dll, "SioNotify")));
        if (open(kPort, 1024, 1024) != 0 || notify(kPort, window, kMessage, EV_RXCHAR | EV_TXEMPTY) != 0) {
            printf("round %d: open or notify failed\n", round);
            ++failures;
        } else if (!WaitForMessage(window, 5000)) {
            printf("round %d: no message\n", round);
            ++failures;
        }
        close(kPort);
        FreeLibrary(dll);  // at once, while the thread that posted may still be ending
    }
    bool unloaded = false;
    for (int i = 0; i < 200 && !unloaded; ++i, Sleep(10)) unloaded = GetModuleHandleA("sio.dll") == nullptr;
    if (!unloaded) {
        printf("sio.dll is still loaded after the last thread ended\n");
        ++failures;
    }
    printf("%d rounds: %d passed, %d failed\n", kRounds, failures == 0 ? 1 : 0, failures);
    return failures == 0 ? 0 : 1;
}
