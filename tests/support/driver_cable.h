// Both ends of one cable of the virtual Windows driver (COM3 <-> COM4),
// opened through the library before each test and closed after it.
#pragma once

#include <gtest/gtest.h>

#include "sio.h"
#include "virtual_serial_driver.h"

class DriverCable : public ::testing::Test {
protected:
    static constexpr int kEnd = 2;  // COM3
    static constexpr int kFar = 3;  // COM4, the other end of its cable

    void SetUp() override {
        ASSERT_EQ(SioOpenPort(kEnd, 1024, 1024), 0);
        ASSERT_EQ(SioOpenPort(kFar, 1024, 1024), 0);
    }
    void TearDown() override {
        SioClosePort(kEnd);
        SioClosePort(kFar);
    }

    VirtualSerialDriver driver_;
};
