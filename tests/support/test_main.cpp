// The main of every test program: it takes the library's start values before
// anything can change them, and before each test the state goes back to them,
// so a program passes whole and in any order, not only with one test per process.
#include <gtest/gtest.h>

#include "test_hooks.h"

namespace {

class ResetLibrary : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { sio::ResetForTests(); }
};

}  // namespace

int main(int argc, char** argv) {
    sio::TakeStartValues();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetLibrary);
    return RUN_ALL_TESTS();
}
