// One run is a fresh library (the test reset), a fresh driver and the layer
// over them; the checks run with the layer disarmed, so they see the system
// as it is.
#include "fault_walk.h"

#include <gtest/gtest.h>

#include <string>

#include "fault_layer.h"
#include "sio.h"
#include "sio_state.h"
#include "test_hooks.h"
#include "virtual_serial_driver.h"

namespace walk {
namespace {

std::string violation;  // the first result outside its documented set

int WINAPI NoBox(HWND, LPCSTR, LPCSTR, UINT) { return IDOK; }

// Returns the calls the scenario made.
long RunOnce(const Scenario& scenario, long failAt) {
    sio::ResetForTests();
    VirtualSerialDriver driver;
    sio::sys.MessageBoxA = NoBox;  // below the layer: its failure is still walked
    FaultLayer::Install(failAt);
    violation.clear();
    scenario.run();
    FaultLayer::Disarm();
    FaultLayer::AwaitThreads(5000);
    long calls = FaultLayer::Calls();

    EXPECT_TRUE(violation.empty()) << scenario.name << " N=" << failAt << ": " << violation;
    EXPECT_EQ(FaultLayer::LiveHandles(), 0) << scenario.name << " N=" << failAt;
    sio::oldWindows = 0;
    EXPECT_EQ(SioOpenPort(kEnd, 1024, 1024), 0) << scenario.name << " N=" << failAt;
    EXPECT_EQ(SioOpenPort(kFar, 1024, 1024), 0) << scenario.name << " N=" << failAt;
    EXPECT_EQ(SioPutByte(kEnd, 'k'), 1) << scenario.name << " N=" << failAt;
    EXPECT_EQ(SioGetByte(kFar), 'k') << scenario.name << " N=" << failAt;
    EXPECT_NE(SioClosePort(kEnd), 0);
    EXPECT_NE(SioClosePort(kFar), 0);
    EXPECT_EQ(FaultLayer::LiveHandles(), 0) << scenario.name << " N=" << failAt;
    return calls;
}

}  // namespace

void Check(const char* call, int result, std::initializer_list<int> allowed) {
    for (int value : allowed)
        if (result == value) return;
    if (violation.empty()) violation = std::string(call) + " gave " + std::to_string(result);
}

void CheckRange(const char* call, int result, int low, int high, std::initializer_list<int> codes) {
    if (result >= low && result <= high) return;
    Check(call, result, codes);
}

long Walk(const Scenario& scenario) {
    long calls = RunOnce(scenario, 0);
    EXPECT_GT(calls, 0);
    long runs = 1;
    for (long n = 1; n <= calls && !::testing::Test::HasFailure(); ++n, ++runs) RunOnce(scenario, n);
    printf("fault walk %s: %ld system calls, %ld (scenario, N) runs\n", scenario.name, calls, runs);
    return runs;
}

}  // namespace walk
