// The two home configuration sequences: six fixed command frames for the
// slider's motor controller, with the progress lines and pauses around them.
// All output goes through HomeSequenceIo, so the sequence knows no window and
// runs the same in the tool, in a console program and against a recorder.
#pragma once

constexpr int kFrameSize = 9;
constexpr int kFramesPerSequence = 6;

// Module address, command number, type (parameter), bank, value MSB first,
// checksum (sum of the first eight bytes modulo 256). Every byte is below
// 128, so the frames are plain chars as the port writer takes them.
using CommandFrame = char[kFrameSize];

inline constexpr CommandFrame F1a = {1, 9, 3, 2, 0, 0, 0, 0, 15};   // parameter 3 of bank 2 := 0
inline constexpr CommandFrame F1b = {1, 9, 3, 2, 0, 0, 0, 1, 16};   // parameter 3 of bank 2 := 1
inline constexpr CommandFrame F2 = {1, 11, 3, 2, 0, 0, 0, 0, 17};   // store parameter 3 of bank 2
inline constexpr CommandFrame F3 = {1, 9, 10, 2, 0, 0, 0, 0, 22};   // parameter 10 of bank 2 := 0
inline constexpr CommandFrame F4 = {1, 11, 10, 2, 0, 0, 0, 0, 24};  // store parameter 10 of bank 2
inline constexpr CommandFrame F5 = {1, 9, 77, 0, 0, 0, 0, 1, 88};   // parameter 77 of bank 0 := 1
inline constexpr CommandFrame F6 = {1, 11, 77, 0, 0, 0, 0, 0, 89};  // store parameter 77 of bank 0

// The frames of one option, in sending order.
struct HomeSequence {
    const char* frames[kFramesPerSequence];
};

inline constexpr HomeSequence kHomeOption1 = {{F1a, F2, F3, F4, F5, F6}};
inline constexpr HomeSequence kHomeOption2 = {{F1b, F2, F3, F4, F5, F6}};

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
