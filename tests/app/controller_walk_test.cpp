// The fault walk over what the tool's commands ask of the library: going
// on-line to the controller as On Line does, and the frames of each home
// sequence (without its pauses, which the walk has no use for).
#include <gtest/gtest.h>

#include "controller_line.h"
#include "fault_walk.h"
#include "home_sequence.h"
#include "param_names.h"
#include "sio.h"

using namespace walk;

namespace {

// The failures the tool's calls go on after, and why.
const std::initializer_list<Tolerated> kTolerated = {
    {"OpenControllerLine", "SetupComm", "the device keeps its own queue sizes"},
    {"OpenControllerLine", "ClearCommError", "the open only clears line errors left from before"},
    {"OpenControllerLine", "PurgeComm", "the flush after going on-line is not reported"},
    {"SioOpenPort", "SetupComm", "the device keeps its own queue sizes"},
    {"SioOpenPort", "ClearCommError", "the open only clears line errors left from before"},
    {"SioReadBlock", "ClearCommError", "the read only clears line errors; the bytes are read all the same"},
    {"SioClosePort", "SetCommTimeouts", "giving back the time-outs found at open cannot stop the close"},
    {"SioClosePort", "CloseHandle(event)", "the port is closed; the result is the device's close"},
    {"SioClosePort", "SetEvent", "waking a waiter that is not there cannot stop the close"},
};

const Results kLineFailed = Are({SIO_WIN_ERROR, SIO_BUFFERS, IE_BAUDRATE});

void CloseChecked(int port) {
    int result = SioClosePort(port);
    Expect("SioClosePort", result > 0 ? 1 : result, Are({1}), Are({0, IE_NOPEN}));
}

void OnLine() {
    Expect("OpenControllerLine", OpenControllerLine(kEnd), Are({0}), kLineFailed);
    CloseChecked(kEnd);
}

void Home(int option) {
    Expect("OpenControllerLine", OpenControllerLine(kEnd), Are({0}), kLineFailed);
    Expect("SioOpenPort", SioOpenPort(kFar, 1024, 1024), Are({0}), Are({SIO_WIN_ERROR, SIO_BUFFERS}));
    static int written;
    written = 0;
    HomeSequenceIo io = {[](const char*) {}, [](unsigned) {},
                         [](int port, const char* data, int count) {
                             int result = SioWriteBlock(port, data, count);
                             Expect("SioWriteBlock", result, From(count, count),
                                    From(0, count - 1, {SIO_NO_DATA, SIO_IO_FAILED, IE_NOPEN}));
                             if (result > 0) written += result;
                             return result;
                         }};
    Expect("RunHomeSequence", RunHomeSequence(option, kEnd, io), Are({0}),
           Are({SIO_IO_FAILED, SIO_NO_DATA, IE_NOPEN}));
    char buffer[64];
    Expect("SioReadBlock", SioReadBlock(kFar, buffer, sizeof buffer), From(written, written),
           From(0, written, {SIO_IO_FAILED, IE_NOPEN}));
    CloseChecked(kEnd);
    CloseChecked(kFar);
}

class ControllerWalk : public ::testing::TestWithParam<Scenario> {};

TEST_P(ControllerWalk, EveryCallFailsInTurn) { Walk(GetParam(), kTolerated); }

INSTANTIATE_TEST_SUITE_P(Commands, ControllerWalk,
                         ::testing::Values(Scenario{"OnLine", OnLine},
                                           Scenario{"HomeOption1", [] { Home(1); }},
                                           Scenario{"HomeOption2", [] { Home(2); }}),
                         ParamName<Scenario>);

}  // namespace
