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

// The failures the tool's own calls go on after, and why (the library's
// are listed with the walk).
const std::initializer_list<Tolerated> kToolTolerated = {
    {"OpenControllerLine", "SetupComm", "the device keeps its own queue sizes"},
    {"OpenControllerLine", "ClearCommError", "the open only clears line errors left from before"},
    {"OpenControllerLine", "PurgeComm", "the flush after going on-line is not reported"},
};

const Results kLineFailed = Are({SIO_WIN_ERROR, SIO_BUFFERS, IE_BAUDRATE});

void OnLine() {
    Expect("OpenControllerLine", OpenControllerLine(kEnd), Are({0}), kLineFailed);
    CloseChecked(kEnd);
}

void Home(int option) {
    Expect("OpenControllerLine", OpenControllerLine(kEnd), Are({0}), kLineFailed);
    OpenChecked(kFar);
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

TEST_P(ControllerWalk, EveryCallFailsInTurn) { Walk(GetParam(), kToolTolerated); }

INSTANTIATE_TEST_SUITE_P(Commands, ControllerWalk,
                         ::testing::Values(Scenario{"OnLine", OnLine},
                                           Scenario{"HomeOption1", [] { Home(1); }},
                                           Scenario{"HomeOption2", [] { Home(2); }}),
                         ParamName<Scenario>);

}  // namespace
