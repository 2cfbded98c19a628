// The verdict after a home sequence in the window. The replies arrive
// through the 100 ms poll after the sequence has returned, so the window
// keeps watching what the poll receives and writes the verdict on a line of
// its own once all six replies are in, or once the line has been quiet for
// a bounded time. GUI thread only.
#pragma once

namespace VerdictWatch {

// A sequence of option 1 or 2 went out whole at nowMs: watch for its replies.
void Start(int option, unsigned long nowMs);
// Bytes the poll received (and has shown) at nowMs.
void Received(const char* data, int count, unsigned long nowMs);
// Writes the verdict when all replies are in or the line has been quiet.
void Tick(unsigned long nowMs);
// Writes the verdict on what came so far, if one is still due.
void Conclude();
bool Pending();

}  // namespace VerdictWatch
