// vantoro-home's run in process, over the virtual line COM3 <-> COM4, with
// failures the line cannot produce injected through the library's table: the
// program's output and exit code say what the window's screen says.
#include <gtest/gtest.h>

#include <string>

#include "home_options.h"
#include "home_run.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "virtual_line.h"

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

RunOutput RunOnCom3() {
    home::Options options;
    options.port = kLinePort;
    options.option = 1;
    options.waitMs = 0;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int exitCode = home::RunHome(options);
    std::string out = ::testing::internal::GetCapturedStdout();
    return {exitCode, out, ::testing::internal::GetCapturedStderr()};
}

class LineHomeRunFailedFrame : public ::testing::TestWithParam<bool> {};

TEST_P(LineHomeRunFailedFrame, PrintsTheErrorInsteadOfTheBannerAndFails) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    SysOverride guard;
    InstallFaultyWrites(GetParam() ? 3 : 0, GetParam() ? 0 : 3);
    RunOutput run = RunOnCom3();
    EXPECT_EQ(run.exitCode, home::kExitPortError);
    EXPECT_EQ(writes, 6);
    EXPECT_NE(run.out.find("Unknown code -13"), std::string::npos) << run.out;
    for (const char* line : {"=====", "configuration command was sent", "STOP, wait", "DONE,"})
        EXPECT_EQ(run.out.find(line), std::string::npos) << line;
    EXPECT_NE(run.err.find("frame 3 was not sent: Unknown code -13"), std::string::npos) << run.err;
    EXPECT_EQ(sio::portTable[kLinePort].handle, INVALID_HANDLE_VALUE);
}

INSTANTIATE_TEST_SUITE_P(LineFrame3, LineHomeRunFailedFrame, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& row) {
                             return std::string(row.param ? "Short" : "Failed");
                         });

// A short frame before a failed one: the error line names the failed frame,
// whose code the screen shows, not the short one before it.
TEST(LineHomeRun, ErrorLineNamesTheFrameTheScreenReports) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    SysOverride guard;
    InstallFaultyWrites(2, 4);
    RunOutput run = RunOnCom3();
    EXPECT_EQ(run.exitCode, home::kExitPortError);
    EXPECT_NE(run.out.find("Unknown code -13"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("frame 4 was not sent: Unknown code -13"), std::string::npos) << run.err;
}

TEST(LineHomeRun, DeviceRefusing9600SendsNothing) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    peer.Purge();
    SysOverride guard;
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
    EXPECT_EQ(sio::portTable[kLinePort].handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(peer.Read(1, 300), "");
}

}  // namespace
