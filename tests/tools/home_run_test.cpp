// vantoro-home's run in process on the virtual driver's COM3 <-> COM4, with
// failures the driver does not produce injected through the library's table:
// the program's output and exit code say what the window's screen says.
#include <gtest/gtest.h>

#include <string>

#include "home_options.h"
#include "home_run.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "virtual_serial_driver.h"

namespace {

decltype(sio::sys.WriteFile) realWriteFile;
decltype(sio::sys.SetCommState) realSetCommState;
int writes = 0;
int shortWrite = 0;   // the write that goes out 4 bytes short; 0: none
int failedWrite = 0;  // the write that fails; 0: none

BOOL WINAPI FaultyWrite(HANDLE device, LPCVOID data, DWORD count, LPDWORD done, LPOVERLAPPED ov) {
    if (++writes == shortWrite) return realWriteFile(device, data, count - 4, done, ov);
    if (writes != failedWrite) return realWriteFile(device, data, count, done, ov);
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
}

// Inside a SysOverride scope.
void InstallFaultyWrites(int shortOne, int failedOne) {
    realWriteFile = sio::sys.WriteFile;
    writes = 0;
    shortWrite = shortOne;
    failedWrite = failedOne;
    sio::sys.WriteFile = FaultyWrite;
}

struct RunOutput {
    int exitCode;
    std::string out, err;
};

constexpr int kCom3 = 2;
constexpr int kCom4 = 3;  // the other end of COM3's cable

RunOutput RunOnCom3() {
    home::Options options;
    options.port = kCom3;
    options.option = 1;
    options.waitMs = 0;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int exitCode = home::RunHome(options);
    std::string out = ::testing::internal::GetCapturedStdout();
    return {exitCode, out, ::testing::internal::GetCapturedStderr()};
}

// The far end open, as a controller's would be; faults go in after the driver.
class DriverHomeRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SioOpenPort(kCom4, 1024, 1024), 0); }
    void TearDown() override { SioClosePort(kCom4); }

    SysOverride guard_;
    VirtualSerialDriver driver_;
};

class DriverHomeRunFailedFrame : public DriverHomeRun, public ::testing::WithParamInterface<bool> {};

TEST_P(DriverHomeRunFailedFrame, PrintsTheErrorInsteadOfTheBannerAndFails) {
    InstallFaultyWrites(GetParam() ? 3 : 0, GetParam() ? 0 : 3);
    RunOutput run = RunOnCom3();
    EXPECT_EQ(run.exitCode, home::kExitPortError);
    EXPECT_EQ(writes, 6);
    EXPECT_NE(run.out.find("Unknown code -13"), std::string::npos) << run.out;
    for (const char* line : {"=====", "configuration command was sent", "STOP, wait", "DONE,"})
        EXPECT_EQ(run.out.find(line), std::string::npos) << line;
    EXPECT_NE(run.err.find("frame 3 was not sent: Unknown code -13"), std::string::npos) << run.err;
    EXPECT_EQ(sio::portTable[kCom3].handle, INVALID_HANDLE_VALUE);
}

INSTANTIATE_TEST_SUITE_P(Frame3, DriverHomeRunFailedFrame, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& row) {
                             return std::string(row.param ? "Short" : "Failed");
                         });

// A short frame before a failed one: the error line names the failed frame,
// whose code the screen shows, not the short one before it.
TEST_F(DriverHomeRun, ErrorLineNamesTheFrameTheScreenReports) {
    InstallFaultyWrites(2, 4);
    RunOutput run = RunOnCom3();
    EXPECT_EQ(run.exitCode, home::kExitPortError);
    EXPECT_NE(run.out.find("Unknown code -13"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("frame 4 was not sent: Unknown code -13"), std::string::npos) << run.err;
}

TEST_F(DriverHomeRun, DeviceRefusing9600SendsNothing) {
    realSetCommState = sio::sys.SetCommState;
    sio::sys.SetCommState = [](HANDLE device, LPDCB dcb) WINAPI -> BOOL {
        if (dcb->BaudRate != 9600) return realSetCommState(device, dcb);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    };
    RunOutput run = RunOnCom3();
    EXPECT_EQ(run.exitCode, home::kExitPortError);
    EXPECT_EQ(run.err, "vantoro-home: COM3 does not take 9600 baud\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(sio::portTable[kCom3].handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SioRxCount(kCom4), 0);
}

}  // namespace
