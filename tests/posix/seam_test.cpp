// The POSIX seam where a pseudo-terminal cannot show it: modem lines, breaks
// and line errors supplied through the seam's own table, read time-outs,
// handle values, refused settings and every failing step of an open.
#include <asm/termbits.h>
#include <dirent.h>
#include <errno.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "posix_calls.h"
#include "pty_pair.h"
#include "sio.h"
#include "windows.h"

#include <gtest/gtest.h>

namespace {

using sio::posix::kRealCalls;
using sio::posix::os;
constexpr int kA = PtyPair::kPortA;

class Seam : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pair_.Ready()); }
    void TearDown() override { os = kRealCalls; }
    PtyPair pair_;
};

// A device with modem lines and counters, over the pseudo-terminal.
std::atomic<int> breaks{0};
int ModemIoctl(int fd, unsigned long request, void* argument) {
    if (request == TIOCMGET) {
        *static_cast<int*>(argument) = TIOCM_CTS | TIOCM_DSR;
        return 0;
    }
    if (request == TIOCGICOUNT) {
        serial_icounter_struct counts{};
        counts.brk = breaks;
        *static_cast<serial_icounter_struct*>(argument) = counts;
        return 0;
    }
    return kRealCalls.ioctl(fd, request, argument);
}

TEST_F(Seam, ModemLinesAndBreaksComeFromTheDevice) {
    os.ioctl = ModemIoctl;
    ASSERT_EQ(SioOpenPort(kA, 4096, 4096), 0);
    EXPECT_EQ(SioModemCTS(kA), MS_CTS_ON);
    EXPECT_EQ(SioModemDSR(kA), MS_DSR_ON);
    EXPECT_EQ(SioModemDCD(kA), 0);
    std::thread line([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++breaks;
    });
    EXPECT_EQ(SioWaitEvent(kA, EV_BREAK, 5000), SIO_DONE);
    line.join();
    EXPECT_EQ(SioBreakControl(kA, 'D'), CE_BREAK);
    EXPECT_EQ(SioBreakControl(kA, 'D'), 0);  // read once, then cleared
    SioClosePort(kA);
}

TEST_F(Seam, ReadsFollowTheTimeouts) {
    struct Case {
        COMMTIMEOUTS timeouts;
        DWORD expected;  // bytes of the three that wait
        long waitsAtLeastMs;
    };
    const Case cases[] = {
        {{MAXDWORD, 0, 0, 0, 0}, 3, 0},            // what is there, at once
        {{0, 0, 150, 0, 0}, 3, 150},               // the total time-out ends it with what came
        {{MAXDWORD, MAXDWORD, 1000, 0, 0}, 3, 0},  // what is there, else the first byte
        {{0, 0, 0, 0, 0}, 3, 0},                   // no time-out: until the buffer is full
    };
    HANDLE a =
        CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE b =
        CreateFileA("\\\\.\\COM4", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    for (const Case& c : cases) {
        COMMTIMEOUTS t = c.timeouts;
        ASSERT_TRUE(SetCommTimeouts(b, &t));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(a, "abc", 3, &written, nullptr));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let them arrive
        char buffer[8] = {};
        DWORD size = c.timeouts.ReadTotalTimeoutConstant == 0 && c.timeouts.ReadIntervalTimeout == 0 ? 3 : 8;
        DWORD read = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(ReadFile(b, buffer, size, &read, nullptr));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(read, c.expected);
        EXPECT_STREQ(buffer, "abc");
        EXPECT_GE(waited, std::chrono::milliseconds(c.waitsAtLeastMs));
    }
    CloseHandle(a);
    CloseHandle(b);
}

TEST_F(Seam, AClosedHandleValueIsNotHandedOutAgain) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(CloseHandle(first));
    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(first));

    DWORD waited = 0;  // a wait on a handle closed under it fails, it does not hang
    std::thread waiter([&] { waited = WaitForSingleObject(second, INFINITE); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    CloseHandle(second);
    waiter.join();
    EXPECT_EQ(waited, WAIT_FAILED);
}

TEST_F(Seam, RefusedSettingsAreReported) {
    HANDLE a =
        CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    DCB dcb;
    ASSERT_TRUE(GetCommState(a, &dcb));
    struct Case {
        void (*change)(DCB&);
        DWORD error;
    };
    const Case cases[] = {
        {[](DCB& d) { d.fOutxDsrFlow = 1; }, ERROR_NOT_SUPPORTED},
        {[](DCB& d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }, ERROR_NOT_SUPPORTED},
        {[](DCB& d) { d.ByteSize = 5, d.StopBits = TWOSTOPBITS; }, ERROR_INVALID_PARAMETER},
        {[](DCB& d) { d.ByteSize = 8, d.StopBits = ONE5STOPBITS; }, ERROR_INVALID_PARAMETER},
        {[](DCB& d) { d.BaudRate = 0; }, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        DCB changed = dcb;
        c.change(changed);
        EXPECT_FALSE(SetCommState(a, &changed));
        EXPECT_EQ(GetLastError(), c.error);
    }
    os.ioctl = [](int fd, unsigned long request, void* argument) {
        if (request == TCSETS2) return errno = EINVAL, -1;
        return kRealCalls.ioctl(fd, request, argument);
    };
    EXPECT_FALSE(SetCommState(a, &dcb));  // the device's own refusal
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A driver that makes 1 Mbaud of 1.2 Mbaud: too far, refused.
    os.ioctl = [](int fd, unsigned long request, void* argument) {
        const int result = kRealCalls.ioctl(fd, request, argument);
        if (request == TCGETS2 && static_cast<termios2*>(argument)->c_ospeed == 1200000)
            static_cast<termios2*>(argument)->c_ospeed = 1000000;
        return result;
    };
    DCB fast = dcb;
    fast.BaudRate = 1200000;
    EXPECT_FALSE(SetCommState(a, &fast));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    fast.BaudRate = 1000000;
    EXPECT_TRUE(SetCommState(a, &fast));
    os = kRealCalls;
    CloseHandle(a);
}

int OpenDescriptors() {
    int count = 0;
    DIR* folder = opendir("/proc/self/fd");
    while (readdir(folder)) ++count;
    closedir(folder);
    return count;
}

// Each step of an open fails once; the open reports it and holds nothing.
TEST_F(Seam, EveryFailedOpenStepReleasesWhatItTook) {
    const int before = OpenDescriptors();
    for (int step = 0; step < 5; ++step) {
        os = kRealCalls;
        switch (step) {
            case 0: os.open = [](const char*, int) { return errno = EACCES, -1; }; break;
            case 1:
                os.ioctl = [](int fd, unsigned long request, void* argument) {
                    if (request == TCGETS2) return errno = ENOTTY, -1;
                    return kRealCalls.ioctl(fd, request, argument);
                };
                break;
            case 2: os.flock = [](int, int) { return errno = EWOULDBLOCK, -1; }; break;
            case 3: os.pipe = [](int*) { return errno = EMFILE, -1; }; break;
            case 4:
                os.threadCreate = [](pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) {
                    return EAGAIN;
                };
                break;
        }
        EXPECT_EQ(SioOpenPort(kA, 4096, 4096), SIO_WIN_ERROR) << "step " << step;
        EXPECT_EQ(OpenDescriptors(), before) << "step " << step;
    }
    os = kRealCalls;
    EXPECT_EQ(SioOpenPort(kA, 4096, 4096), 0);
    EXPECT_EQ(SioClosePort(kA), 1);
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
