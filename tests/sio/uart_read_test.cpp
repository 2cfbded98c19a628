// Reading a legacy UART register: the address formed, the fault guard held
// just around the read, and the refused instruction under Wine, which must
// leave the process running.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "virtual_serial_driver.h"

using namespace sio;

class UartRead : public ::testing::Test {
protected:
    void SetUp() override {
        for (int port = 0; port <= 4; ++port) ASSERT_EQ(SioOpenPort(port, 1024, 1024), 0);
    }
    SysOverride guard;
    VirtualSerialDriver driver_;
};

TEST_F(UartRead, ReadsTheBasePlusTheOffsetInSixteenBits) {
    static std::vector<unsigned> addresses;
    sys.PortInput = [](unsigned short address) {
        addresses.push_back(address);
        return 0xA5;
    };
    const struct {
        int port, offset;
        unsigned address;
    } cases[] = {{0, 5, 0x3FD},       {1, 0, 0x2F8},  {2, 7, 0x3EF},      {3, 1, 0x2E9},
                 {0, 0x10000, 0x3F8}, {1, -0x2F8, 0}, {3, 0xFFFF, 0x2E7}, {0, INT_MAX, 0x3F7}};
    for (auto [port, offset, address] : cases) {
        EXPECT_EQ(SioReadUart(port, offset), 0xA5);
        ASSERT_FALSE(addresses.empty());
        EXPECT_EQ(addresses.back(), address) << port << " " << offset;
    }
}

TEST_F(UartRead, RefusesPortsWithoutAnAddressAndClosedPorts) {
    static int reads;
    reads = 0;
    sys.PortInput = [](unsigned short) { return ++reads; };
    EXPECT_EQ(SioReadUart(4, 0), -1);
    EXPECT_EQ(SioReadUart(5, 0), IE_NOPEN);
    ASSERT_NE(SioClosePort(1), 0);
    EXPECT_EQ(SioReadUart(1, 0), IE_NOPEN);
    EXPECT_EQ(reads, 0);
}

TEST_F(UartRead, HoldsTheGuardJustAroundTheRead) {
    static std::string trace;
    static bool guardRefused, inputRefused;
    static int cookie;
    trace.clear();
    guardRefused = inputRefused = false;
    sys.AddVectoredExceptionHandler = [](ULONG first, PVECTORED_EXCEPTION_HANDLER handler) WINAPI -> PVOID {
        trace += (first == 1 && handler) ? "add " : "bad-add ";
        return guardRefused ? nullptr : &cookie;
    };
    sys.RemoveVectoredExceptionHandler = [](PVOID handle) WINAPI -> ULONG {
        trace += handle == &cookie ? "remove" : "bad-remove";
        return 1;
    };
    sys.PortInput = [](unsigned short) {
        trace += "read ";
        return inputRefused ? -1 : 0x60;
    };
    EXPECT_EQ(SioReadUart(0, 5), 0x60);
    EXPECT_EQ(trace, "add read remove");
    trace.clear();
    inputRefused = true;
    EXPECT_EQ(SioReadUart(0, 5), SIO_NO_PORT_IO);
    EXPECT_EQ(trace, "add read remove");
    trace.clear();
    guardRefused = true;
    EXPECT_EQ(SioReadUart(0, 5), SIO_NO_PORT_IO);
    EXPECT_EQ(trace, "add ");  // no read without the guard
}

namespace {

// Installed in place of the library's guard; records each fault and hands it on.
PVECTORED_EXCEPTION_HANDLER libraryGuard;
std::vector<EXCEPTION_RECORD> faults;

LONG CALLBACK RecordingGuard(EXCEPTION_POINTERS* info) {
    faults.push_back(*info->ExceptionRecord);
    return libraryGuard(info);
}

}  // namespace

TEST_F(UartRead, RefusedInstructionReturnsNoPortIoAndTheProcessGoesOn) {
    faults.clear();
    sys.AddVectoredExceptionHandler = [](ULONG first, PVECTORED_EXCEPTION_HANDLER handler) WINAPI {
        libraryGuard = handler;
        return ::AddVectoredExceptionHandler(first, RecordingGuard);
    };
    EXPECT_EQ(SioReadUart(0, 5), SIO_NO_PORT_IO);
    EXPECT_EQ(SioReadUart(3, 0), SIO_NO_PORT_IO);
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_EQ(faults[0].ExceptionCode, static_cast<DWORD>(EXCEPTION_PRIV_INSTRUCTION));
    EXPECT_EQ(faults[0].ExceptionAddress, faults[1].ExceptionAddress);

    // Any other fault passes the guard untouched: another code at the
    // instruction, or the same code one byte further on.
    CONTEXT context{};
    EXCEPTION_RECORD other = faults[0];
    EXCEPTION_POINTERS info{&other, &context};
    other.ExceptionCode = static_cast<DWORD>(EXCEPTION_BREAKPOINT);
    EXPECT_EQ(libraryGuard(&info), EXCEPTION_CONTINUE_SEARCH);
    other = faults[0];
    other.ExceptionAddress = static_cast<char*>(other.ExceptionAddress) + 1;
    EXPECT_EQ(libraryGuard(&info), EXCEPTION_CONTINUE_SEARCH);
#if defined(__x86_64__)
    EXPECT_EQ(context.Rip, 0u);
    EXPECT_EQ(context.Rax, 0u);
#else
    EXPECT_EQ(context.Eip, 0u);
    EXPECT_EQ(context.Eax, 0u);
#endif
}
