// Milliseconds since the program started, from the performance counter
// (the tick count moves in 10-16 ms steps on Windows, too coarse for the
// 100 ms frame gaps the simulator logs).
#pragma once

namespace tools {

double ElapsedMs();

}  // namespace tools
