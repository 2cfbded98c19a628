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

void CloseChecked(int port) {
    int result = SioClosePort(port);
    Check("SioClosePort", result > 0 ? 1 : result, {1, 0, IE_NOPEN});
}

void OnLine() {
    Check("OpenControllerLine", OpenControllerLine(kEnd), {0, SIO_WIN_ERROR, SIO_BUFFERS, IE_BAUDRATE});
    CloseChecked(kEnd);
}

void Home(int option) {
    Check("OpenControllerLine", OpenControllerLine(kEnd), {0, SIO_WIN_ERROR, SIO_BUFFERS, IE_BAUDRATE});
    Check("SioOpenPort", SioOpenPort(kFar, 1024, 1024), {0, SIO_WIN_ERROR, SIO_BUFFERS});
    static int written;
    written = 0;
    HomeSequenceIo io = {
        [](const char*) {}, [](unsigned) {},
        [](int port, const char* data, int count) {
            int result = SioWriteBlock(port, data, count);
            CheckRange("SioWriteBlock", result, 0, count, {SIO_NO_DATA, SIO_IO_FAILED, IE_NOPEN});
            if (result > 0) written += result;
            return result;
        }};
    Check("RunHomeSequence", RunHomeSequence(option, kEnd, io), {0, SIO_IO_FAILED, SIO_NO_DATA, IE_NOPEN});
    char buffer[64];
    CheckRange("SioReadBlock", SioReadBlock(kFar, buffer, sizeof buffer), 0, written,
               {SIO_IO_FAILED, IE_NOPEN});
    CloseChecked(kEnd);
    CloseChecked(kFar);
}

class ControllerWalk : public ::testing::TestWithParam<Scenario> {};

TEST_P(ControllerWalk, EveryCallFailsInTurn) { Walk(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Commands, ControllerWalk,
                         ::testing::Values(Scenario{"OnLine", OnLine},
                                           Scenario{"HomeOption1", [] { Home(1); }},
                                           Scenario{"HomeOption2", [] { Home(2); }}),
                         ParamName<Scenario>);

}  // namespace
