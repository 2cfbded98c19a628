// The two home sequences: six fixed command frames each, and the three
// parameters they set, which a read-back asks for. The frames are written
// here only; the window, the console programs and the simulator's log take
// them from here.
#pragma once

#include <cstdint>

#include "tmcl_frame.h"

constexpr int kFrameSize = tmcl::kFrameSize;
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

// The sequence of option 1 or 2; nullptr for any other option.
const HomeSequence* HomeSequenceFor(int option);

// "F1a", "F1b", "F2" ... "F6" when the 9 bytes are one of the seven frames,
// else nullptr.
const char* HomeFrameName(const uint8_t* frame);

namespace home {

// The parameters that the home sequences set, in the order a read-back asks.
struct HomeParameter {
    uint8_t bank;
    uint8_t type;
};
constexpr int kHomeParameterCount = 3;
constexpr HomeParameter kHomeParameters[kHomeParameterCount] = {{2, 3}, {2, 10}, {0, 77}};

// 1 or 2 when the values are those that home sequence sets, else 0.
int HomeOptionOf(const int32_t values[kHomeParameterCount]);
// "Home Option 1 (default)", "Home Option 2"; nullptr for other options.
const char* HomeOptionName(int option);

}  // namespace home
