// The program's millisecond clock.
#include "ms_clock.h"

#include <windows.h>

namespace tools {
namespace {

struct Origin {
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    Origin() noexcept {
        ::QueryPerformanceFrequency(&frequency);
        ::QueryPerformanceCounter(&start);
    }
};

const Origin origin;

}  // namespace

double ElapsedMs() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - origin.start.QuadPart) * 1000.0 /
           static_cast<double>(origin.frequency.QuadPart);
}

}  // namespace tools
