// The fault walk's engine: a scenario runs once on the virtual driver to count
// its system calls, then once for every N with the N-th call failing. After
// every run each call has given one of its documented results (the scenario
// checks them with Check), every handle created has been closed, and COM3 and
// COM4 open again and carry a byte.
#pragma once

#include <initializer_list>
#include <ostream>

namespace walk {

constexpr int kEnd = 2;  // COM3 on the virtual driver
constexpr int kFar = 3;  // the other end of its cable

struct Scenario {
    const char* name;
    void (*run)();
};

inline void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

// Notes the first result outside its documented set (or range).
void Check(const char* call, int result, std::initializer_list<int> allowed);
void CheckRange(const char* call, int result, int low, int high, std::initializer_list<int> codes);

// Walks the scenario (as a gtest test body: failures are reported there) and
// returns the number of (scenario, N) runs.
long Walk(const Scenario& scenario);

}  // namespace walk
