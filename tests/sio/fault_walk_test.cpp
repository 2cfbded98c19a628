// The fault walk over every public call of the library: open and close in
// both modes, the transfers, the settings, event waits, notification, options
// and queries. The engine and its checks are in fault_walk.h.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <initializer_list>
#include <string>
#include <thread>

#include "fault_walk.h"
#include "message_window.h"
#include "param_names.h"
#include "sio.h"
#include "sio_state.h"
#include "virtual_serial_driver.h"

using namespace sio;
using namespace walk;

namespace {

void Open(int port) { Check("SioOpenPort", SioOpenPort(port, 1024, 1024), {0, SIO_WIN_ERROR, SIO_BUFFERS}); }

void Close(int port) {
    int result = SioClosePort(port);
    if (result > 0) result = 1;
    Check("SioClosePort", result, {1, 0, IE_NOPEN});
}

void OpenBoth() {
    Open(kEnd);
    Open(kFar);
}

void CloseBoth() {
    Close(kEnd);
    Close(kFar);
}

void OpenCloseOverlapped() {
    OpenBoth();
    CloseBoth();
}

void OpenCloseSynchronous() {
    Check("SioPortControl", SioPortControl(kEnd, 'O', 0), {0});
    OpenBoth();
    CheckRange("SioWriteBlock", SioWriteBlock(kEnd, "sync", 4), 0, 4, {SIO_NO_DATA, SIO_IO_FAILED, IE_NOPEN});
    char buffer[8];
    CheckRange("SioReadBlock", SioReadBlock(kFar, buffer, sizeof buffer), 0, 8, {SIO_IO_FAILED, IE_NOPEN});
    CloseBoth();
}

const std::initializer_list<int> kByteCodes = {SIO_NO_DATA, SIO_IO_FAILED, IE_NOPEN};

void Transfers() {
    OpenBoth();
    Check("SioPutByte", SioPutByte(kEnd, 'a'), {1, SIO_NO_DATA, SIO_IO_FAILED, IE_NOPEN});
    CheckRange("SioWriteBlock", SioWriteBlock(kEnd, "bcd", 3), 0, 3, kByteCodes);
    CheckRange("SioRxCount", SioRxCount(kFar), 0, 4, {IE_NOPEN});
    CheckRange("SioGetByte", SioGetByte(kFar), 0, 255, kByteCodes);
    char buffer[8];
    CheckRange("SioReadBlock", SioReadBlock(kFar, buffer, sizeof buffer), 0, 8, {SIO_IO_FAILED, IE_NOPEN});
    Check("SioUngetByte", SioUngetByte(kFar, 'z'), {0, IE_NOPEN});
    CheckRange("SioGetByte", SioGetByte(kFar), 0, 255, kByteCodes);
    Check("SioPortControl", SioPortControl(kEnd, 'W', 1), {1});
    CheckRange("SioWriteBlock", SioWriteBlock(kEnd, "ef", 2), 0, 1, kByteCodes);
    CheckRange("SioTxCount", SioTxCount(kEnd), 0, 2, {IE_NOPEN});
    Check("SioFlushTx", SioFlushTx(kEnd), {0, IE_NOPEN});
    Check("SioFlushRx", SioFlushRx(kFar), {0, IE_NOPEN});
    CheckRange("SioLineErrors", SioLineErrors(kFar, -1), 0, 0, {-1, IE_NOPEN});
    CloseBoth();
}

void Settings() {
    OpenBoth();
    CheckRange("SioSetBaud", SioSetBaud(kEnd, 5), 0, 1, {IE_NOPEN});
    Check("SioSetParams", SioSetParams(kEnd, EVENPARITY, ONESTOPBIT, 7), {0, IE_NOPEN});
    Check("SioSetFlow", SioSetFlow(kEnd, 'H'), {1, IE_NOPEN});
    Check("SioSetFlow", SioSetFlow(kEnd, 'N'), {1, IE_NOPEN});
    Check("SioLineDTR", SioLineDTR(kEnd, 'S'), {0, 1, IE_NOPEN});
    Check("SioLineRTS", SioLineRTS(kEnd, 'S'), {0, 1, IE_NOPEN});
    Check("SioLineDTR", SioLineDTR(kEnd, 'R'), {0, 1, IE_NOPEN});
    Check("SioModemDSR", SioModemDSR(kFar), {0, 32, IE_NOPEN});
    Check("SioModemCTS", SioModemCTS(kFar), {0, 16, IE_NOPEN});
    Check("SioModemDCD", SioModemDCD(kFar), {0, 128, IE_NOPEN});
    Check("SioModemRI", SioModemRI(kFar), {0, IE_NOPEN});
    Check("SioLineRTS", SioLineRTS(kEnd, 'C'), {0, 1, IE_NOPEN});
    Check("SioBreakControl", SioBreakControl(kEnd, 'A'), {0, 1, IE_NOPEN});
    Check("SioBreakControl", SioBreakControl(kEnd, 'C'), {0, 1, IE_NOPEN});
    Check("SioBreakControl", SioBreakControl(kFar, 'D'), {0, 16, IE_NOPEN});
    CheckRange("SioReadUart", SioReadUart(kEnd, 5), 0, 255, {SIO_NO_PORT_IO, IE_NOPEN});
    CloseBoth();
}

const std::initializer_list<int> kWaitCodes = {SIO_DONE, SIO_PENDING, SIO_IO_FAILED, SIO_BUSY, IE_NOPEN};

// Raises a line error at kEnd once a wait started after this call pends. The
// error comes from the driver, not through the table, so the count of the
// scenario's calls stays the same from run to run.
std::thread ErrorWhenNextWaitPends() {
    long before = VirtualSerialDriver::WaitsStarted(kEnd);
    return std::thread([before] {
        if (VirtualSerialDriver::WaitUntilPending(kEnd, before, 100))
            VirtualSerialDriver::InjectErrors(kEnd, CE_FRAME);
    });
}

void EventWaits() {
    OpenBoth();
    Check("SioWaitEvent", SioWaitEvent(kEnd, EV_RXCHAR, 0), kWaitCodes);
    std::thread error = ErrorWhenNextWaitPends();
    Check("SioWaitEvent", SioWaitEvent(kEnd, EV_ERR, 1000), kWaitCodes);
    error.join();
    Check("SioWaitChar", SioWaitChar(kEnd, '\r', 5),
          {SIO_DONE, SIO_PENDING, SIO_IO_FAILED, SIO_BUSY, SIO_WIN_ERROR});
    Check("SioPortControl", SioPortControl(kEnd, 'S', 0), {2});
    CloseBoth();
}

// Waits (bounded) until every notification thread has ended, so that the
// handle check sees what the run left behind, not a thread on its way out.
void AwaitThreads() {
    DWORD start = ::GetTickCount();
    while (threadsEnded < threadsStarted && ::GetTickCount() - start < 3000) ::Sleep(1);
}

void Notification() {
    MessageWindow window;
    OpenBoth();
    std::thread error = ErrorWhenNextWaitPends();
    Check("SioNotify", SioNotify(kEnd, window.hwnd(), WM_APP, EV_ERR), {0, 1, SIO_THREAD, IE_NOPEN});
    error.join();
    MessageWindow::Post post{};
    window.NextPost(&post, 200);  // it may never come when posting fails
    Check("SioNotify", SioNotify(kEnd, window.hwnd(), WM_APP, EV_ERR), {0, 1, SIO_THREAD, IE_NOPEN});
    Check("SioNotify", SioNotify(kEnd, nullptr, WM_APP, EV_ERR), {1, IE_NOPEN});
    CloseBoth();
    AwaitThreads();
}

void OptionsAndQueries() {
    Check("SioOption", SioOption('m'), {0});
    Check("SioOption", SioOption('m'), {1});
    Check("SioOption", SioOption('R'), {'R'});
    OpenBoth();
    Check("SioQueryInfo", SioQueryInfo('V'), {0x425});
    Check("SioOpenPort", SioOpenPort(9, 1024, 1024), {SIO_WIN_ERROR});
    char text[128];
    memset(text, 'g', sizeof text);
    CheckRange("SioWinError", SioWinError(text, sizeof text), 0, 0xFFFF, {});
    Check("SioWinError terminated", memchr(text, 0, sizeof text) != nullptr, {1});
    SioWinError(text, 0);
    Check("SioPortControl", SioPortControl(kEnd, 'X', 1), {1});
    CloseBoth();
}

class FaultWalk : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultWalk, EveryCallFailsInTurn) { Walk(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultWalk,
                         ::testing::Values(Scenario{"OpenCloseOverlapped", OpenCloseOverlapped},
                                           Scenario{"OpenCloseSynchronous", OpenCloseSynchronous},
                                           Scenario{"Transfers", Transfers}, Scenario{"Settings", Settings},
                                           Scenario{"EventWaits", EventWaits},
                                           Scenario{"Notification", Notification},
                                           Scenario{"OptionsAndQueries", OptionsAndQueries}),
                         ParamName<Scenario>);

}  // namespace
