// The two home configuration sequences: six fixed command frames for the
// slider's motor controller, with the progress lines and pauses around them.
// All output goes through HomeSequenceIo, so the sequence knows no window and
// runs the same in the tool, in a console program and against a recorder.
// The frames themselves are the protocol library's.
#pragma once

#include "home_frames.h"

// Where the sequence writes: screen lines, pauses and the port.
struct HomeSequenceIo {
    void (*writeLine)(const char* text);
    void (*sleep)(unsigned milliseconds);
    int (*writeBlock)(int port, const char* data, int count);
};

// The tool's own outputs: the text screen, the system's sleep and the
// library's block write.
HomeSequenceIo ProductHomeIo();

// Sends the frames of option 1 or 2 to port and tells the operator to wait
// while the controller stores them. Returns 0 when all six frames went out
// whole; otherwise the code whose error text replaced the banner (the first
// negative write result, or SIO_IO_FAILED for a short write). Any other
// option sends and writes nothing and returns SIO_RANGE.
int RunHomeSequence(int option /* 1 or 2 */, int port, const HomeSequenceIo& io);
