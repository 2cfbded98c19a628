// Opening and closing ports on the virtual Windows driver: what the open
// hands to the device (and what it leaves alone), exclusivity, the close,
// old-Windows (synchronous) mode; on a virtual line, leak-free cycles. Every
// failure exit is walked by the fault walk.
#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fault_layer.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "transfer_ports.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

constexpr int kPort = 2;  // COM3 on the virtual driver

class DriverOpen : public ::testing::Test {
protected:
    VirtualSerialDriver driver_;
};

// Blanks the fields the open writes; what remains is the device's own.
void BlankOpenFields(DCB& dcb) {
    dcb.BaudRate = 0;
    dcb.ByteSize = dcb.Parity = dcb.StopBits = 0;
    dcb.fBinary = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = 0;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = 0;
    dcb.fAbortOnError = 0;
    dcb.XonChar = dcb.XoffChar = 0;
    dcb.XonLim = dcb.XoffLim = 0;
}

}  // namespace

TEST_F(DriverOpen, WritesTheDefaultSettingsAndKeepsEveryOtherField) {
    DCB device = VirtualSerialDriver::Dcb(kPort);
    device.fDummy2 = 0x1234;
    device.wReserved1 = 0x5A5A;
    VirtualSerialDriver::SetDcb(kPort, device);
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);

    DCB opened = VirtualSerialDriver::Dcb(kPort);
    EXPECT_EQ(opened.DCBlength, sizeof(DCB));
    EXPECT_EQ(opened.BaudRate, 19200u);
    EXPECT_EQ(opened.ByteSize, 8);
    EXPECT_EQ(opened.Parity, NOPARITY);
    EXPECT_EQ(opened.StopBits, ONESTOPBIT);
    EXPECT_EQ(opened.fBinary, 1u);
    // CTS flow, XON output, null stripping, abort-on-error: proven off by transfers.
    EXPECT_EQ(opened.fOutxDsrFlow | opened.fDsrSensitivity | opened.fInX, 0u);
    EXPECT_EQ(opened.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(opened.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(opened.fTXContinueOnXoff, 1u);
    EXPECT_EQ(opened.XonChar, 0x11);
    EXPECT_EQ(opened.XoffChar, 0x13);
    EXPECT_EQ(opened.XonLim, 128);
    BlankOpenFields(device);
    BlankOpenFields(opened);
    EXPECT_EQ(memcmp(&device, &opened, sizeof device), 0);

    EXPECT_EQ(VirtualSerialDriver::RxQueueSize(kPort), 1024u);
    EXPECT_EQ(VirtualSerialDriver::TxQueueSize(kPort), 1024u);
    COMMTIMEOUTS t = VirtualSerialDriver::Timeouts(kPort);
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier + t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(VirtualSerialDriver::ModemStatus(kPort + 1), 0u);  // DTR and RTS stay off
}

// The defaults form works as the very first call; only bit 0 of each flag counts.
TEST_F(DriverOpen, DtrRtsDataBitsAndXonLimitsFollowTheDefaults) {
    EXPECT_EQ(SioOpenPort(-1, 1, 0), 0);
    SioSetParams(-1, NOPARITY, ONESTOPBIT, 7);
    ASSERT_EQ(SioOpenPort(kPort, 400, 1024), 0);
    EXPECT_EQ(VirtualSerialDriver::RxQueueSize(kPort), 400u);  // each size where it belongs
    EXPECT_EQ(VirtualSerialDriver::TxQueueSize(kPort), 1024u);
    EXPECT_EQ(VirtualSerialDriver::ModemStatus(kPort + 1), static_cast<DWORD>(MS_DSR_ON | MS_RLSD_ON));
    EXPECT_EQ(VirtualSerialDriver::Dcb(kPort).XonLim, 100);
    EXPECT_EQ(VirtualSerialDriver::Dcb(kPort).ByteSize, 7);
    ASSERT_EQ(SioOpenPort(kPort + 1, 1024, 1024), 0);
    ASSERT_EQ(SioPutByte(kPort + 1, 0xFF), 1);
    EXPECT_EQ(SioGetByte(kPort), 0x7F);  // the open's data mask
    ASSERT_NE(SioClosePort(kPort + 1), 0);
    ASSERT_NE(SioClosePort(kPort), 0);
    EXPECT_EQ(SioOpenPort(-1, 2, 3), 0);
    ASSERT_EQ(SioOpenPort(kPort, -4, 1024), 0);
    EXPECT_EQ(VirtualSerialDriver::ModemStatus(kPort + 1), static_cast<DWORD>(MS_CTS_ON));
    EXPECT_EQ(VirtualSerialDriver::Dcb(kPort).XonLim, 0xFFFF);
}

TEST_F(DriverOpen, SecondOpenIsRefusedAndTheFirstKeepsItsConnection) {
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    HANDLE first = portTable[kPort].handle;
    EXPECT_EQ(SioOpenPort(kPort, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(portTable[kPort].handle, first);
    // Another program's open of the same device is refused by the driver.
    HANDLE other =
        sys.CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(SioOpenPort(kPort + 1, 1024, 1024), 0);
    EXPECT_EQ(SioPutByte(kPort, 'p'), 1);
    EXPECT_EQ(SioGetByte(kPort + 1), 'p');
}

// Names from COM10 on have two digits and more: they open like the others.
TEST_F(DriverOpen, MissingPortIsNotFoundAndTheSlotStaysFree) {
    for (int port : {9, 255}) {
        EXPECT_EQ(SioOpenPort(port, 1024, 1024), 0) << port;
        EXPECT_TRUE(VirtualSerialDriver::IsOpen(port)) << port;
        EXPECT_NE(SioClosePort(port), 0) << port;
    }
    EXPECT_EQ(SioOpenPort(8, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(lastWinError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(portTable[8].handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SioClosePort(8), IE_NOPEN);
}

TEST_F(DriverOpen, CloseRestoresTimeoutsEndsTheWaitAndFreesTheDevice) {
    COMMTIMEOUTS earlier{11, 22, 33, 44, 55};
    HANDLE h =
        sys.CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    sys.SetCommTimeouts(h, &earlier);
    sys.CloseHandle(h);
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    EXPECT_EQ(SioWaitEvent(kPort, EV_RXCHAR, 0), SIO_PENDING);
    EXPECT_TRUE(VirtualSerialDriver::WaitPending(kPort));

    EXPECT_NE(SioClosePort(kPort), 0);
    EXPECT_FALSE(VirtualSerialDriver::IsOpen(kPort));
    EXPECT_FALSE(VirtualSerialDriver::WaitPending(kPort));
    COMMTIMEOUTS restored = VirtualSerialDriver::Timeouts(kPort);
    EXPECT_EQ(memcmp(&earlier, &restored, sizeof earlier), 0);
    EXPECT_EQ(SioClosePort(kPort), IE_NOPEN);
    EXPECT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
}

TEST_F(DriverOpen, FailedDeviceCloseIsCountedAndTheSlotClosedAnyway) {
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    static HANDLE device;
    static decltype(sys.CloseHandle) realClose;
    device = portTable[kPort].handle;
    realClose = sys.CloseHandle;
    sys.CloseHandle = [](HANDLE handle) WINAPI -> BOOL {
        BOOL closed = realClose(handle);
        return handle == device ? FALSE : closed;
    };
    EXPECT_EQ(SioClosePort(kPort), 0);
    EXPECT_EQ(closeFailures, 1);
    EXPECT_EQ(SioClosePort(kPort), IE_NOPEN);
}

// ---- On a virtual line ---------------------------------------------------

// A thousand open-close cycles after a synchronous open, and a hundred failed
// opens: no handle is left, neither of the table's nor of any other kind.
TEST(LineOpen, CyclesAndFailedOpensLeakNoHandle) {
    SysOverride guard;
    FaultLayer::Install(0);
    SioPortControl(0, 'O', 0);  // old-Windows mode: the next open is synchronous
    ASSERT_EQ(SioOpenPort(kSecondPort, 1024, 1024), 0);
    ASSERT_NE(SioClosePort(kSecondPort), 0);
    SioPortControl(0, 'O', 1);
    // Warm up once so that lazily created system objects do not count.
    ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0);
    ASSERT_NE(SioClosePort(kLinePort), 0);
    const std::vector<HANDLE> before = FreeHandleValues(64);
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0) << cycle;
        ASSERT_NE(SioClosePort(kLinePort), 0) << cycle;
    }
    for (int attempt = 0; attempt < 100; ++attempt)
        ASSERT_EQ(SioOpenPort(kMissingPort, 1024, 1024), SIO_WIN_ERROR);
    EXPECT_EQ(FaultLayer::LiveHandles(), 0);
    EXPECT_TRUE(FreeHandleValues(64) == before);
    EXPECT_EQ(closeFailures, 0);
}

// ---- Each port in its own mode, and ports on different threads -----------

// Opens both ends of a line through the library in the mode of the moment.
void OpenLine(int a, int b) {
    ASSERT_EQ(SioOpenPort(a, 4096, 4096), 0);
    ASSERT_EQ(SioOpenPort(b, 4096, 4096), 0);
    for (int port : {a, b})  // whatever an earlier test left on the line
        while (!ReadBlocks(port, 1 << 16, 100).empty()) {
        }
}

void ExpectCarries(int from, int to, const std::string& data) {
    ASSERT_EQ(SioWriteBlock(from, data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
    EXPECT_TRUE(ReadBlocks(to, data.size(), 5000) == data) << "COM" << from + 1 << " -> COM" << to + 1;
}

TEST(LineModes, SynchronousAndOverlappedPairsSideBySideCarryIntactData) {
    SioPortControl(0, 'O', 0);  // old-Windows mode: the next opens are synchronous
    OpenLine(kLinePort, kPeerPort);
    SioPortControl(0, 'O', 1);
    OpenLine(kSecondPort, kSecondPeer);
    EXPECT_EQ(ioTable[kLinePort].synchronous, 1);
    EXPECT_EQ(ioTable[kSecondPort].synchronous, 0);
    const std::string data = Pattern(3000);
    for (int round = 0; round < 3; ++round) {
        ExpectCarries(kLinePort, kPeerPort, data);
        ExpectCarries(kPeerPort, kLinePort, data);
        ExpectCarries(kSecondPort, kSecondPeer, data);
        ExpectCarries(kSecondPeer, kSecondPort, data);
    }
    for (int port : {kLinePort, kPeerPort, kSecondPort, kSecondPeer}) EXPECT_NE(SioClosePort(port), 0);
}

// A reopen that fails once under load is tried again: this test is about
// where the bytes go; a second failure counts, with its code.
int OpenWithRetry(int port) {
    int result = SioOpenPort(port, 1024, 1024);
    if (result == 0) return 0;
    ::Sleep(20);
    return SioOpenPort(port, 1024, 1024);
}

// Two threads, each on its own line, open both ends, send 1 to 300 bytes
// that only its line carries, read them back and close, over and over.
TEST(LineThreads, EachThreadsBytesStayOnItsOwnLine) {
    constexpr int kRuns = 5;
    constexpr int kRounds = 300;
    // Bytes an earlier test left on the lines are not this test's to count.
    OpenLine(kLinePort, kPeerPort);
    OpenLine(kSecondPort, kSecondPeer);
    for (int port : {kLinePort, kPeerPort, kSecondPort, kSecondPeer}) SioClosePort(port);
    SysOverride guard;
    FaultLayer::Install(0);
    std::atomic<int> misrouted{0}, failed{0}, firstFailure{0};
    auto fail = [&](int code) {
        int none = 0;
        firstFailure.compare_exchange_strong(none, code);
        ++failed;
    };
    auto worker = [&](int from, int to, char tag) {
        for (int round = 0; round < kRounds; ++round) {
            int opened = OpenWithRetry(from);
            if (opened == 0) opened = OpenWithRetry(to);
            if (opened != 0) {
                fail(opened);
            } else {
                const std::string data(static_cast<size_t>(1 + round * 37 % 300), tag);
                int written = SioWriteBlock(from, data.data(), static_cast<int>(data.size()));
                if (written != static_cast<int>(data.size()))
                    fail(written == 0 ? -1000 : written);
                else if (ReadBlocks(to, data.size(), 3000) != data)
                    ++misrouted;
            }
            SioClosePort(from);
            SioClosePort(to);
        }
    };
    for (int run = 0; run < kRuns; ++run) {
        std::thread first(worker, kLinePort, kPeerPort, 'a');
        std::thread second(worker, kSecondPort, kSecondPeer, 'b');
        first.join();
        second.join();
        EXPECT_EQ(failed, 0) << "run " << run << ", first failure " << firstFailure << ", system error "
                             << lastWinError;
        EXPECT_EQ(misrouted, 0) << "run " << run;
    }
    EXPECT_EQ(FaultLayer::LiveHandles(), 0);
}
