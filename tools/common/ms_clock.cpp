// The program's millisecond clock.
#include "ms_clock.h"

#include <chrono>

namespace tools {
namespace {

const auto origin = std::chrono::steady_clock::now();

}  // namespace

double ElapsedMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - origin).count();
}

}  // namespace tools
