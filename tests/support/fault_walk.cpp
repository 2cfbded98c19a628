// One run is a fresh library (the test reset), a fresh driver and the layer
// over them; the checks after a run see the system with the layer disarmed.
#include "fault_walk.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "fault_layer.h"
#include "sio.h"
#include "sio_state.h"
#include "test_hooks.h"
#include "virtual_serial_driver.h"

namespace walk {
namespace {

std::string violation;     // the first wrong result of the run
bool failureSeen = false;  // the run's failure has been laid to a call
std::initializer_list<Tolerated> extraTolerated;

// The failures the library goes on after, and why ("thread": on the
// notification thread, which has no caller to report to).
const Tolerated kLibraryTolerated[] = {
    {"SioOpenPort", "SetupComm", "tolerated by default: the device keeps its own queue sizes"},
    {"SioOpenPort", "ClearCommError", "the open only clears line errors left from before"},
    {"SioClosePort", "SetCommTimeouts", "giving back the time-outs found at open cannot stop the close"},
    {"SioClosePort", "CloseHandle(event)", "the port is closed; the result is the device's close"},
    {"SioClosePort", "CloseHandle(thread)", "counted in closeFailures, which SioQueryInfo 'c' reports"},
    {"SioClosePort", "WaitForSingleObject",
     "a failed wait for the thread's end is made up by watching its exit code"},
    {"SioClosePort", "GetExitCodeThread",
     "a thread whose state cannot be read counts as running and is ended"},
    {"SioClosePort", "TerminateThread", "documented: the box 'Cannot terminate thread' is the report"},
    {"SioClosePort", "CancelIoEx", "the device's close ends a request that its cancel did not"},
    {"SioClosePort", "GetOverlappedResult",
     "a request the close ends has nothing to hand over; only its end counts"},
    {"SioClosePort", "SetEvent", "the close waits for the thread it could not wake, bounded, and ends it"},
    {"SioGetByte", "ClearCommError", "the read only clears line errors; the byte is read all the same"},
    {"SioReadBlock", "ClearCommError", "the read only clears line errors; the bytes are read all the same"},
    {"SioTxCount", "ClearCommError", "a failed query counts 0 queued, and nothing is queued here"},
    {"SioFlushTx", "PurgeComm", "documented to return 0: a flush is not reported"},
    {"SioFlushRx", "PurgeComm", "documented to return 0: a flush is not reported"},
    {"SioPutByte", "SetCommTimeouts", "the open's time-outs go back with the next plain transfer"},
    {"SioWriteBlock", "SetCommTimeouts", "the open's time-outs go back with the next plain transfer"},
    {"SioGetByte", "SetCommTimeouts", "the open's time-outs go back with the next plain transfer"},
    {"SioReadBlock", "SetCommTimeouts", "the open's time-outs go back with the next plain transfer"},
    {"SioReadTimed", "ClearCommError", "the read only clears line errors; the bytes are read all the same"},
    {"SioReadSome", "ClearCommError", "a failed query counts 0 queued: the read waits for its first byte"},
    {"SioReadTimed", "WaitForMultipleObjects", "a failed wait ends the read as its time-out would"},
    {"SioReadSome", "WaitForMultipleObjects", "a failed wait ends the read as its time-out would"},
    {"SioWriteTimed", "WaitForMultipleObjects", "a failed wait ends the write as its time-out would"},
    {"SioNextPort", "QueryDosDeviceA", "a name the system cannot look up is no port of its"},
    {"SioPortInfo", "SetupDiGetClassDevsA", "the device-setup texts are empty when the system cannot tell"},
    {"SioPortInfo", "SetupDiEnumDeviceInfo", "the device-setup texts are empty when the system cannot tell"},
    {"SioPortInfo", "SetupDiDestroyDeviceInfoList", "the text was found; releasing the list is not reported"},
    {"SioSetFlow", "EscapeCommFunction", "raising a line again is best effort: handshake may refuse SETRTS"},
    {"SioReadUart", "RemoveVectoredExceptionHandler",
     "the byte was read; a guard left only steps over port input"},
    {"SioWaitEvent", "WaitForSingleObject",
     "ending an earlier wait's request polls its status when the wait fails"},
    {"SioWaitEvent", "GetOverlappedResult",
     "an earlier wait's ended request carries nothing the new wait needs"},
    {"SioWaitChar", "WaitForSingleObject",
     "ending an earlier wait's request polls its status when the wait fails"},
    {"SioWaitChar", "GetOverlappedResult",
     "an earlier wait's ended request carries nothing the new wait needs"},
    {"SioPortControl", "SetEvent", "documented to return 2 whether or not a wait was woken"},
    {"SioNotify", "SetThreadPriority", "a refused priority leaves the thread at the normal one"},
    {"SioNotify", "SetEvent", "the stop stays recorded for the thread, and the close wakes it again"},
    {"SioOption", "MessageBoxA", "the box only announces the switch, which took effect"},
    {"SioWinError", "FormatMessageA", "documented never to fail: the text is empty, the code returned"},
    {"SioWinError", "MessageBoxA", "the box only shows the text; the code is returned"},
    {"thread", "SetCommMask", "whatever ends the thread's wait, it posts its one message and ends"},
    {"thread", "ResetEvent", "whatever ends the thread's wait, it posts its one message and ends"},
    {"thread", "WaitCommEvent", "whatever ends the thread's wait, it posts its one message and ends"},
    {"thread", "WaitForSingleObject", "whatever ends the thread's wait, it posts its one message and ends"},
    {"thread", "CancelIoEx", "a wait that cannot be cancelled is replaced by the next start"},
    {"thread", "GetOverlappedResult", "the cancelled wait's result carries nothing the thread needs"},
    {"thread", "PostMessageA", "the message is the thread's only output; it ends all the same"},
    {"thread", "CloseHandle(thread)", "counted in closeFailures, which SioQueryInfo 'c' reports"},
};

int WINAPI NoBox(HWND, LPCSTR, LPCSTR, UINT) { return IDOK; }

bool Names(const Tolerated& row, const char* call, const char* entry) {
    return strcmp(row.call, call) == 0 && strcmp(row.entry, entry) == 0;
}

bool FindTolerated(const char* call, const char* entry) {
    for (const Tolerated& row : kLibraryTolerated)
        if (Names(row, call, entry)) return true;
    for (const Tolerated& row : extraTolerated)
        if (Names(row, call, entry)) return true;
    return false;
}

void Violate(const std::string& what) {
    if (violation.empty()) violation = what;
}

// A failure on a thread the library started has no caller to report to; it
// must be on the list under "thread".
void LayThreadFailure() {
    if (failureSeen || !FaultLayer::Failed() || FaultLayer::FailedOnCaller()) return;
    failureSeen = true;
    if (!FindTolerated("thread", FaultLayer::FailedEntry()))
        Violate(std::string("the notification thread's ") + FaultLayer::FailedEntry() +
                " failure is not tolerated");
}

// What every run must leave: no handle, and ports that work.
void ExpectCleanSystem(const Scenario& scenario, long failAt) {
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
}

// Runs the scenario with the N-th call failing; true when a failure was
// injected. calls: the system calls the scenario made.
bool RunOnce(const Scenario& scenario, long failAt, long* calls = nullptr) {
    sio::ResetForTests();
    VirtualSerialDriver driver;
    sio::sys.MessageBoxA = NoBox;  // below the layer: its failure is still walked
    if (scenario.prepare) scenario.prepare();
    FaultLayer::Install(failAt);
    violation.clear();
    failureSeen = false;
    scenario.run();
    FaultLayer::Disarm();
    FaultLayer::AwaitThreads(5000);
    LayThreadFailure();
    if (FaultLayer::Failed() && !failureSeen)
        Violate(std::string(FaultLayer::FailedEntry()) + " failed where no checked call saw it");
    const bool injected = FaultLayer::Failed();
    if (calls) *calls = FaultLayer::Calls();
    ExpectCleanSystem(scenario, failAt);
    return injected;
}

}  // namespace

Results From(int low, int high, std::initializer_list<int> codes) {
    Results results;
    results.low = low;
    results.high = high;
    for (int code : codes) {
        if (results.count == sizeof results.codes / sizeof results.codes[0]) break;
        results.codes[results.count++] = code;
    }
    return results;
}

Results Are(std::initializer_list<int> codes) { return From(1, 0, codes); }

bool Results::Has(int value) const {
    if (value >= low && value <= high) return true;
    for (size_t i = 0; i < count; ++i)
        if (value == codes[i]) return true;
    return false;
}

void Expect(const char* call, int result, Results ok, Results failed) {
    LayThreadFailure();
    const std::string seen = std::string(call) + " gave " + std::to_string(result);
    if (!FaultLayer::Failed()) {
        if (!ok.Has(result)) Violate(seen + " with nothing failed");
        return;
    }
    LayThreadFailure();  // a thread's failure that came after the first look is not this call's
    if (failureSeen) {   // after an earlier call's failure the state differs: any count, or its codes
        if (result < 0 && !ok.Has(result) && !failed.Has(result)) Violate(seen + ", not one of its codes");
        return;
    }
    failureSeen = true;
    const char* entry = FaultLayer::FailedEntry();
    if (FindTolerated(call, entry)) {
        if (!ok.Has(result) && !failed.Has(result))
            Violate(seen + " after a tolerated " + entry + " failure");
    } else if (!failed.Has(result)) {
        Violate(seen + " when its " + entry + " failed: the failure was not reported");
    }
}

void OpenChecked(int port) {
    Expect("SioOpenPort", SioOpenPort(port, 1024, 1024), Are({0}), Are({SIO_WIN_ERROR, SIO_BUFFERS}));
}

void CloseChecked(int port) {
    int result = SioClosePort(port);
    Expect("SioClosePort", result > 0 ? 1 : result, Are({1}), Are({0, IE_NOPEN}));
}

long Walk(const Scenario& scenario, std::initializer_list<Tolerated> extra) {
    extraTolerated = extra;
    long calls = 0;
    RunOnce(scenario, 0, &calls);
    EXPECT_GT(calls, 0);
    long injected = 0;
    for (long n = 1; n <= calls && !::testing::Test::HasFailure(); ++n)
        if (RunOnce(scenario, n)) ++injected;  // a count-only entry at N injects nothing
    printf("fault walk %s: %ld system calls, %ld runs with a failure injected\n", scenario.name, calls,
           injected);
    return injected;
}

}  // namespace walk
