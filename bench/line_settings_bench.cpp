// Cost of the line-setting calls on a virtual line and of a UART register
// read whose input instruction the platform refuses: COM3 is opened through
// the library, each call is timed over many rounds, and the mean is printed.
#include <stdio.h>
#include <windows.h>

#include "sio.h"

namespace {

constexpr int kPort = 2;  // COM3
constexpr int kRounds = 2000;

template <typename Call>
void Report(const char* name, Call call) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int last = 0;
    for (int round = 0; round < kRounds; ++round) last = call(round);
    QueryPerformanceCounter(&end);
    double micros = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart) / kRounds;
    printf("%-34s %8.2f us/call  (last result %d)\n", name, micros, last);
}

}  // namespace

int main() {
    int opened = SioOpenPort(kPort, 1024, 1024);
    if (opened != 0) {
        printf("cannot open COM3: %d\n", opened);
        return 1;
    }
    Report("SioReadUart (refused, stepped over)", [](int) { return SioReadUart(kPort, 5); });
    Report("SioSetBaud 9600/19200", [](int round) { return SioSetBaud(kPort, round & 1 ? 5 : 6); });
    Report("SioSetFlow N/S", [](int round) { return SioSetFlow(kPort, round & 1 ? 'N' : 'S'); });
    Report("SioLineDTR S (refused by a pty)", [](int) { return SioLineDTR(kPort, 'S'); });
    Report("SioModemCTS (query refused)", [](int) { return SioModemCTS(kPort); });
    SioClosePort(kPort);
    return 0;
}
