// vantoro-home --status over the virtual line COM3 <-> COM4 against tmcl-sim:
// after each home sequence it reads back that option, and with the simulator
// gone it fails with one line and its own exit code.
#include <gtest/gtest.h>

#include <string>

#include "child_process.h"
#include "home_options.h"

namespace {

constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kRunTimeoutMs = 30000;
// Two sequences of six frames and two status queries of three.
constexpr int kSimulatorFrames = 2 * 6 + 2 * 3;

const std::string kSimExe = HostPathToWindows(TMCL_SIM_EXE);
const std::string kHomeExe = HostPathToWindows(VANTORO_HOME_EXE);

int RunHome(const std::string& arguments, std::string& output) {
    ChildProcess home;
    if (!home.Start(kHomeExe, arguments)) return -1;
    int status = home.Wait(kRunTimeoutMs);
    output = home.Output();
    return status;
}

TEST(LineHomeStatus, ReadsBackEachOptionAndFailsWithoutAController) {
    ChildProcess sim;
    ASSERT_TRUE(
        sim.Start(kSimExe, "--port COM4 --frames " + std::to_string(kSimulatorFrames) + " --seconds 60"));
    ASSERT_TRUE(sim.WaitForOutput("listening on COM4", kStartTimeoutMs)) << sim.Output();

    std::string output;
    for (int option : {2, 1}) {
        ASSERT_EQ(RunHome("--port COM3 --option " + std::to_string(option) + " --wait 200", output),
                  home::kExitOk)
            << output;
        ASSERT_EQ(RunHome("--port COM3 --status", output), home::kExitOk) << output;
        std::string named =
            option == 1 ? "COM3: Home Option 1 (default) is set" : "COM3: Home Option 2 is set";
        EXPECT_EQ(output.rfind(named, 0), 0u) << output;
        EXPECT_NE(output.find("bank 2, parameter 3 = " + std::to_string(option - 1)), std::string::npos)
            << output;
    }
    EXPECT_EQ(sim.Wait(kRunTimeoutMs), 0) << sim.Output();

    EXPECT_EQ(RunHome("--port COM3 --status", output), home::kExitNoStatus);
    EXPECT_EQ(output.rfind("vantoro-home: no answer from the controller on COM3", 0), 0u) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;  // one line
}

}  // namespace
