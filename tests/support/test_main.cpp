// The main of every test program: before each test the library's state goes
// back to its start values, so a program passes whole and in any order, not
// only with one test per process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "test_hooks.h"

namespace {

class ResetLibrary : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { sio::ResetForTests(); }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetLibrary);
    int result = RUN_ALL_TESTS();
    // Ends here, once the verdict is printed, without the exit-time clean-up
    // of the process: under Wine that clean-up can wait on a notification
    // thread that the exit has already ended.
    std::fflush(stdout);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(result));
    return result;
}
