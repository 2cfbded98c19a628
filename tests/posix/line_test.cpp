// The library through sio.h on a real pseudo-terminal pair: data both ways,
// event waits and wakes, settings reaching the device, notification into a
// descriptor, exclusive opens and the COM map.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "posix_calls.h"
#include "pty_pair.h"
#include "sio.h"

#include <gtest/gtest.h>

namespace {

using sio::posix::os;
constexpr int kA = PtyPair::kPortA;
constexpr int kB = PtyPair::kPortB;
constexpr auto kBound = std::chrono::seconds(5);
constexpr int kRxChar = 0x001;  // EV_RXCHAR

class PtyLine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pair_.Ready());
        ASSERT_EQ(SioOpenPort(kA, 4096, 4096), 0);
        ASSERT_EQ(SioOpenPort(kB, 4096, 4096), 0);
    }
    void TearDown() override {
        SioClosePort(kA);
        SioClosePort(kB);
        os = sio::posix::kRealCalls;
    }

    PtyPair pair_;
};

// Reads on port until count bytes came or the bound passed.
std::string ReadCount(int port, size_t count) {
    std::string got;
    char buffer[4096];
    const auto until = std::chrono::steady_clock::now() + kBound;
    while (got.size() < count && std::chrono::steady_clock::now() < until) {
        int n = SioReadBlock(port, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<size_t>(n));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return got;
}

std::string Pattern(size_t size, int seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed)) & 0xFF);
    return data;
}

TEST_F(PtyLine, MovesDataBothWaysIntact) {
    // Larger than the receive queue and the kernel's buffers: the write
    // completes only as the far end reads.
    for (size_t size : {size_t{1}, size_t{300}, size_t{70000}}) {
        for (auto [from, to] : {std::pair{kA, kB}, std::pair{kB, kA}}) {
            const std::string sent = Pattern(size, from);
            std::string got;
            std::thread reader([&] { got = ReadCount(to, size); });
            EXPECT_EQ(SioWriteBlock(from, sent.data(), static_cast<int>(size)), static_cast<int>(size));
            reader.join();
            EXPECT_TRUE(got == sent) << "size " << size << " from port " << from;
        }
    }
}

TEST_F(PtyLine, EventWaitEndsOnArrivalOnTimeOutAndOnWake) {
    EXPECT_EQ(SioWaitEvent(kB, kRxChar, 50), SIO_PENDING);

    std::thread writer([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SioPutByte(kA, 'q');
    });
    EXPECT_EQ(SioWaitEvent(kB, kRxChar, 5000), SIO_DONE);
    writer.join();
    EXPECT_EQ(SioGetByte(kB), 'q');

    std::thread waker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SioPortControl(kB, 'S', 0);
    });
    EXPECT_EQ(SioWaitEvent(kB, kRxChar, -1), SIO_DONE);
    waker.join();
    EXPECT_EQ(SioRxCount(kB), 0);  // woken, not by a byte
}

TEST_F(PtyLine, CloseFromAnotherThreadEndsTheWaitFirst) {
    int waited = 0;
    std::thread waiter([&] { waited = SioWaitEvent(kB, kRxChar, -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(SioClosePort(kB), 1);
    waiter.join();
    EXPECT_EQ(waited, SIO_DONE);
    EXPECT_EQ(SioWaitEvent(kB, kRxChar, 0), IE_NOPEN);
    EXPECT_EQ(SioQueryInfo('c'), 0);  // no failed close
}

// Old-Windows mode: the same device calls, made without overlapped requests.
TEST(PtySynchronous, MovesDataBothWays) {
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    SioPortControl(kA, 'O', 0);
    ASSERT_EQ(SioOpenPort(kA, 4096, 4096), 0);
    ASSERT_EQ(SioOpenPort(kB, 4096, 4096), 0);
    EXPECT_EQ(SioPortControl(kA, 'M', 0), 1);
    const std::string sent = Pattern(20000, 3);
    std::string got;
    std::thread reader([&] { got = ReadCount(kB, sent.size()); });
    EXPECT_EQ(SioWriteBlock(kA, sent.data(), static_cast<int>(sent.size())), static_cast<int>(sent.size()));
    reader.join();
    EXPECT_TRUE(got == sent);
    EXPECT_EQ(SioPutByte(kB, 'r'), 1);
    EXPECT_EQ(ReadCount(kA, 1), "r");
    SioClosePort(kA);
    SioClosePort(kB);
}

TEST_F(PtyLine, WaitCharWaitsForItsCharacterOnly) {
    SioWriteBlock(kA, "abc", 3);
    EXPECT_EQ(SioWaitChar(kB, '\n', 50), SIO_PENDING);
    std::thread writer([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SioWriteBlock(kA, "d\n", 2);
    });
    EXPECT_EQ(SioWaitChar(kB, '\n', 5000), SIO_DONE);
    writer.join();
    EXPECT_EQ(ReadCount(kB, 5), "abcd\n");
}

termios2 lastSet;
int RecordingIoctl(int fd, unsigned long request, void* argument) {
    if (request == TCSETS2) lastSet = *static_cast<termios2*>(argument);
    return sio::posix::kRealCalls.ioctl(fd, request, argument);
}

TEST_F(PtyLine, SettingsReachTheDeviceAndDataStillFlows) {
    os.ioctl = RecordingIoctl;
    EXPECT_NE(SioSetBaud(kA, 123456), 0);
    EXPECT_EQ(lastSet.c_ospeed, 123456u);
    EXPECT_EQ(lastSet.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_NE(SioSetBaud(kA, 9), 0);
    EXPECT_EQ(lastSet.c_ospeed, 115200u);
    EXPECT_EQ(SioSetParams(kA, 2, 2, 7), 0);  // even parity, two stop bits, 7 data bits
    EXPECT_EQ(lastSet.c_cflag & (CSIZE | CSTOPB | PARENB | PARODD | CMSPAR),
              static_cast<tcflag_t>(CS7 | CSTOPB | PARENB));
    EXPECT_EQ(lastSet.c_ospeed, 115200u);  // the rate set before stays
    EXPECT_EQ(SioSetFlow(kA, 'H'), 1);
    EXPECT_TRUE(lastSet.c_cflag & CRTSCTS);
    EXPECT_EQ(lastSet.c_lflag, 0u);  // raw: no echo, no line editing

    EXPECT_EQ(SioWriteBlock(kB, "xyz", 3), 3);
    EXPECT_EQ(ReadCount(kA, 3), "xyz");
}

TEST_F(PtyLine, NotificationArrivesInTheDescriptor) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(SioNotify(kB, reinterpret_cast<void*>(static_cast<intptr_t>(fds[1])), 0x401, kRxChar), 0);
    // The thread's wait may not have begun yet: a byte before it is no event.
    pollfd ready{fds[0], POLLIN, 0};
    const auto until = std::chrono::steady_clock::now() + kBound;
    do SioPutByte(kA, 'n');
    while (poll(&ready, 1, 20) == 0 && std::chrono::steady_clock::now() < until);
    ASSERT_TRUE(ready.revents & POLLIN);
    uint64_t record = 0;
    EXPECT_EQ(read(fds[0], &record, sizeof record), static_cast<ssize_t>(sizeof record));
    EXPECT_EQ(record, (1ull << 32) | (0x401ull << 16) | static_cast<uint64_t>(kB));
    close(fds[0]);
    close(fds[1]);
}

TEST_F(PtyLine, AnOpenPortIsHeldAgainstOtherOpens) {
    EXPECT_EQ(SioOpenPort(kA, 4096, 4096), SIO_WIN_ERROR);  // this process
    int fd = open(pair_.PathA().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);  // another's open takes the same lock
    close(fd);
}

TEST_F(PtyLine, WhatAPseudoTerminalLacksIsReported) {
    EXPECT_EQ(SioLineDTR(kA, 'S'), 0);  // refused: no modem lines
    EXPECT_EQ(SioLineDTR(kA, 'R'), 1);  // as commanded
    EXPECT_EQ(SioModemCTS(kA), 0);
    EXPECT_EQ(SioReadUart(kA, 0), SIO_NO_PORT_IO);
}

TEST(PortMap, OnlyMappedNamesOpen) {
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    char text[128];
    EXPECT_EQ(SioOpenPort(4, 4096, 4096), SIO_WIN_ERROR);  // COM5: not in the map
    EXPECT_EQ(SioWinError(text, sizeof text), 2);
    EXPECT_STREQ(text, "No such file or directory");
    setenv("SIO_PORT_MAP", ("com5=" + pair.PathB()).c_str(), 1);
    EXPECT_EQ(SioOpenPort(4, 4096, 4096), 0);
    EXPECT_EQ(SioClosePort(4), 1);
}

// The system error is kept per thread, in the seam's thread slots.
TEST(PortMap, EachThreadKeepsItsOwnSystemError) {
    char text[128];
    EXPECT_EQ(SioOpenPort(4, 4096, 4096), SIO_WIN_ERROR);  // COM5: named nowhere
    int otherCode = -1;
    std::thread other([&] { otherCode = SioWinError(text, sizeof text); });
    other.join();
    EXPECT_EQ(otherCode, 0);
    EXPECT_EQ(SioWinError(text, sizeof text), 2);
}

}  // namespace
