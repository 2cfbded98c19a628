// The fault walk's engine: a scenario runs once on the virtual driver to count
// its system calls, then once for every N with the N-th call failing. Each
// public call the scenario makes is checked where it is made: with nothing
// failed yet it must succeed; when the failed system call was its own, it must
// report a failure, unless the library's list of tolerated failures (in
// fault_walk.cpp) or the walk's extra rows name that call and that system
// call with the reason the caller goes on. After every run each handle
// created has been closed, and COM3 and COM4 open again and carry a byte.
#pragma once

#include <initializer_list>
#include <ostream>

namespace walk {

constexpr int kEnd = 2;  // COM3 on the virtual driver
constexpr int kFar = 3;  // the other end of its cable

// A set of results: the values low..high and up to four listed codes.
struct Results {
    int low = 1;
    int high = 0;
    int codes[4] = {};
    size_t count = 0;
    bool Has(int value) const;
};
Results Are(std::initializer_list<int> codes);
Results From(int low, int high, std::initializer_list<int> codes = {});

// A failure the library takes on purpose: the system call `entry` failing
// inside the public call `call` ("thread" for the notification thread) leaves
// that call's result as on success.
struct Tolerated {
    const char* call;
    const char* entry;
    const char* reason;
};

struct Scenario {
    const char* name;
    void (*run)();
    // Stand-ins put into the table below the layer before each run, whose
    // own calls are walked as the library's.
    void (*prepare)() = nullptr;
};

inline void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

// Checks one public call's result: `ok` are its results while nothing failed,
// `failed` those that report a failure.
void Expect(const char* call, int result, Results ok, Results failed);

// SioOpenPort and SioClosePort, checked.
void OpenChecked(int port);
void CloseChecked(int port);

// Walks the scenario (as a gtest test body: failures are reported there) and
// returns the number of runs that injected a failure. `extra`: failures the
// scenario's own code (above the library) goes on after.
long Walk(const Scenario& scenario, std::initializer_list<Tolerated> extra = {});

}  // namespace walk
