// The byte, block and queue calls: argument checks and pending writes through
// fakes in the system-call table, the queues on the virtual Windows driver,
// and real transfers both ways over a virtual line in both library modes.
// Every failing system call is walked by the fault walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "driver_cable.h"
#include "forbid_call.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "transfer_ports.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

using namespace sio;

namespace {

const char kFrame[] = "\x01\x05\x02\x00\x00\x00\x00\x10\x18";  // one 9-byte command frame

// What the fakes answer and what they saw; reset by each test.
struct Fake {
    static inline DWORD outQueue;
    static inline DWORD writeError;  // 0: the write completes at once
    static inline DWORD waitResult = WAIT_OBJECT_0;
    static inline int writes;
    static inline BYTE lastByte;
    static inline std::string arrived;  // what the fake device hands to the next read
};

void InstallFakeDevice() {
    Fake::outQueue = Fake::writeError = 0;
    Fake::waitResult = WAIT_OBJECT_0;
    Fake::writes = 0;
    Fake::lastByte = 0;
    Fake::arrived.clear();
    sys.ClearCommError = [](HANDLE, LPDWORD errors, LPCOMSTAT stat) WINAPI -> BOOL {
        if (errors) *errors = 0;
        stat->cbInQue = static_cast<DWORD>(Fake::arrived.size());
        stat->cbOutQue = Fake::outQueue;
        return TRUE;
    };
    sys.WriteFile = [](HANDLE, LPCVOID data, DWORD count, LPDWORD done, LPOVERLAPPED ov) WINAPI -> BOOL {
        ++Fake::writes;
        Fake::lastByte = static_cast<const BYTE*>(data)[count - 1];
        if (Fake::writeError == 0) {
            *done = count;
            return TRUE;
        }
        if (ov && Fake::writeError == ERROR_IO_PENDING) ov->Internal = STATUS_PENDING;
        SetLastError(Fake::writeError);
        return FALSE;
    };
    sys.WaitForSingleObject = [](HANDLE, DWORD) WINAPI -> DWORD {
        if (Fake::waitResult == WAIT_OBJECT_0) ioTable[kFakePort].writeOv.Internal = 0;  // completed
        return Fake::waitResult;
    };
    sys.ReadFile = [](HANDLE, LPVOID buffer, DWORD size, LPDWORD done, LPOVERLAPPED) WINAPI -> BOOL {
        DWORD n = static_cast<DWORD>(std::min<size_t>(Fake::arrived.size(), size));
        Fake::arrived.copy(static_cast<char*>(buffer), n);
        Fake::arrived.erase(0, n);
        *done = n;
        return TRUE;
    };
}

}  // namespace

TEST(TransferChecks, BadBufferOrLengthTouchesNothing) {
    OpenFakePort(false);
    SysOverride guard;
    Forbid(sys.ClearCommError);
    Forbid(sys.WriteFile);
    Forbid(sys.ReadFile);
    SioUngetByte(kFakePort, 0x41);
    char buffer[4] = {0x55};
    for (int length : {0, -1, -5}) {
        EXPECT_EQ(SioWriteBlock(kFakePort, kFrame, length), SIO_RANGE);
        EXPECT_EQ(SioReadBlock(kFakePort, buffer, length), SIO_RANGE);
    }
    EXPECT_EQ(SioWriteBlock(kFakePort, nullptr, 9), SIO_RANGE);
    EXPECT_EQ(SioReadBlock(kFakePort, nullptr, 4), SIO_RANGE);
    EXPECT_EQ(buffer[0], 0x55);
    EXPECT_EQ(portTable[kFakePort].pushback, 0x41);
}

class TransferModes : public ::testing::TestWithParam<bool> {};

TEST_P(TransferModes, BothModesGiveTheSameResults) {
    OpenFakePort(GetParam());
    SysOverride guard;
    InstallFakeDevice();
    Forbid(sys.CancelIoEx);  // a read that completes at once is never ended
    EXPECT_EQ(SioWriteBlock(kFakePort, kFrame, 9), 9);
    EXPECT_EQ(SioPutByte(kFakePort, 0x1FF), 1);
    EXPECT_EQ(Fake::lastByte, 0xFF);
    Fake::arrived = "\xC1";
    portTable[kFakePort].dataMask = 0x7F;  // 7 data bits
    EXPECT_EQ(SioGetByte(kFakePort), 0x41);
    char buffer[4] = {0x55};
    EXPECT_EQ(SioReadBlock(kFakePort, buffer, 4), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(SioGetByte(kFakePort), SIO_NO_DATA);
}

INSTANTIATE_TEST_SUITE_P(SyncAndOverlapped, TransferModes, ::testing::Bool(), ModeName);

TEST(TransferNoWait, PendingWriteRefusesTheNextUntilItCompletes) {
    OpenFakePort(false);
    SysOverride guard;
    InstallFakeDevice();
    sys.WaitForSingleObject = ::WaitForSingleObject;  // the real events of the fake port
    portTable[kFakePort].noWait = 1;
    Fake::writeError = ERROR_IO_PENDING;
    EXPECT_EQ(SioWriteBlock(kFakePort, kFrame, 9), 1);
    EXPECT_EQ(SioTxCount(kFakePort), 0);  // nothing counted while it runs
    EXPECT_EQ(SioWriteBlock(kFakePort, kFrame, 9), SIO_NO_DATA);
    EXPECT_EQ(SioPutByte(kFakePort, 'x'), SIO_NO_DATA);
    EXPECT_EQ(Fake::writes, 1);

    ioTable[kFakePort].writeOv.Internal = 0;  // the system completes it
    SetEvent(ioTable[kFakePort].writeOv.hEvent);
    Fake::writeError = 0;
    Fake::outQueue = 5;
    EXPECT_EQ(SioWriteBlock(kFakePort, kFrame, 9), 1);
    EXPECT_EQ(Fake::writes, 2);
    EXPECT_EQ(SioTxCount(kFakePort), 9 + 5);
    portTable[kFakePort].noWait = 0;
    EXPECT_EQ(SioTxCount(kFakePort), 5);
    Fake::outQueue = 0x80000000u;  // negative as a signed count
    EXPECT_EQ(SioTxCount(kFakePort), 0);

    // A write whose wait fails is reported: no bytes for a block, no byte sent.
    Fake::writeError = ERROR_IO_PENDING;
    sys.WaitForSingleObject = [](HANDLE, DWORD) WINAPI -> DWORD {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    };
    EXPECT_EQ(SioWriteBlock(kFakePort, kFrame, 9), 0);
    EXPECT_EQ(SioPutByte(kFakePort, 'x'), SIO_NO_DATA);
}

class LineTransferBulk : public ::testing::TestWithParam<std::tuple<bool, size_t>> {};

TEST_P(LineTransferBulk, PatternArrivesCompleteAndInOrderBothWays) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(OpenLibrarySide(std::get<0>(GetParam())));
    const std::string data = Pattern(std::get<1>(GetParam()));
    const int size = static_cast<int>(data.size());
    std::string received;
    std::thread reader([&] { received = peer.Read(static_cast<DWORD>(size), 20000); });
    EXPECT_EQ(SioWriteBlock(kLinePort, data.data(), size), size);
    reader.join();
    EXPECT_TRUE(received == data) << received.size() << " of " << size;

    std::thread writer([&] { peer.Write(data); });
    received = ReadBlocks(kLinePort, data.size(), 20000);
    writer.join();
    EXPECT_TRUE(received == data) << received.size() << " of " << size;
}

INSTANTIATE_TEST_SUITE_P(Line, LineTransferBulk,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(64 * 1024, 1024 * 1024)),
                         [](const auto& bulk) {
                             return std::string(std::get<0>(bulk.param) ? "Sync" : "Overlapped") +
                                    std::to_string(std::get<1>(bulk.param) / 1024) + "K";
                         });

TEST(LineTransfer, ByteArrivingWhileAReadIsEndedIsNeverLost) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(OpenLibrarySide(false));
    const std::string data = Pattern(300);
    // One byte at a time, spaced unevenly, so bytes land in every phase of a read.
    std::thread writer([&] {
        LARGE_INTEGER frequency, now, until;
        QueryPerformanceFrequency(&frequency);
        for (size_t i = 0; i < data.size(); ++i) {
            peer.Write(&data[i], 1);
            QueryPerformanceCounter(&until);
            until.QuadPart += frequency.QuadPart * static_cast<LONGLONG>((i * 37) % 900) / 1000000;
            do QueryPerformanceCounter(&now);
            while (now.QuadPart < until.QuadPart);
        }
    });
    std::string received;
    char buffer[16];
    DWORD start = GetTickCount();
    for (int turn = 0; received.size() < data.size() && GetTickCount() - start < 10000; ++turn) {
        if (turn % 2) {
            int got = SioReadBlock(kLinePort, buffer, sizeof buffer);
            if (got > 0) received.append(buffer, static_cast<size_t>(got));
        } else {
            int byte = SioGetByte(kLinePort);
            if (byte >= 0) received += static_cast<char>(byte);
        }
    }
    writer.join();
    EXPECT_TRUE(received == data) << received.size() << " of " << data.size();
}

// ---- On the virtual Windows driver: line errors and the queues -------------

class DriverQueues : public DriverCable {};

// A line error is reported once and stops no transfer: the open turned
// abort-on-error off.
TEST_F(DriverQueues, InjectedFramingErrorIsReportedOnce) {
    VirtualSerialDriver::InjectErrors(kEnd, CE_FRAME);
    EXPECT_EQ(SioLineErrors(kEnd, CE_BREAK), 0);  // masked away, and cleared all the same
    EXPECT_EQ(SioLineErrors(kEnd, -1), 0);
    VirtualSerialDriver::InjectErrors(kEnd, CE_FRAME);
    EXPECT_EQ(SioPutByte(kEnd, 'x'), 1);
    EXPECT_EQ(SioLineErrors(kEnd, CE_FRAME | CE_BREAK), CE_FRAME);
    EXPECT_EQ(SioLineErrors(kEnd, -1), 0);
}

// Every read clears the device's pending line errors, whatever it finds.
TEST_F(DriverQueues, ReadsClearPendingLineErrors) {
    char buffer[4];
    VirtualSerialDriver::InjectErrors(kEnd, CE_FRAME);
    EXPECT_EQ(SioReadBlock(kEnd, buffer, sizeof buffer), 0);
    EXPECT_EQ(SioLineErrors(kEnd, -1), 0);
    VirtualSerialDriver::InjectErrors(kEnd, CE_OVERRUN);
    EXPECT_EQ(SioGetByte(kEnd), SIO_NO_DATA);
    EXPECT_EQ(SioLineErrors(kEnd, -1), 0);
    VirtualSerialDriver::InjectErrors(kEnd, CE_RXPARITY);
    EXPECT_EQ(SioReadTimed(kEnd, buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(SioLineErrors(kEnd, -1), 0);
}

TEST_F(DriverQueues, FlushesDropWhatIsQueuedAndNothingElse) {
    ASSERT_EQ(SioWriteBlock(kFar, "a\023c", 3), 3);
    EXPECT_EQ(SioRxCount(kEnd), 3);  // XOFF is data: the open turned XON/XOFF output off
    // Under hardware flow with the far end's RTS off, what this end writes
    // stays in its transmit queue and the write pends.
    ASSERT_EQ(SioSetFlow(kEnd, 'H'), 1);
    ASSERT_EQ(SioPortControl(kEnd, 'W', 1), 1);
    ASSERT_EQ(SioWriteBlock(kEnd, "hello", 5), 1);
    EXPECT_EQ(SioTxCount(kEnd), 5);

    ASSERT_EQ(SioUngetByte(kEnd, 'q'), 0);
    EXPECT_EQ(SioFlushRx(kEnd), 0);
    EXPECT_EQ(SioRxCount(kEnd), 0);
    EXPECT_EQ(SioTxCount(kEnd), 5);

    ASSERT_EQ(SioWriteBlock(kFar, "de", 2), 2);
    EXPECT_EQ(SioFlushTx(kEnd), 0);
    EXPECT_EQ(SioTxCount(kEnd), 0);
    EXPECT_EQ(SioRxCount(kEnd), 2);
    ASSERT_NE(SioLineRTS(kFar, 'S'), 0);  // the line opens: nothing was left to send
    EXPECT_EQ(SioRxCount(kFar), 0);
    char buffer[8];
    EXPECT_EQ(SioReadBlock(kEnd, buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 2), "de");
}

// Without flow control what the receive queue cannot hold is lost and
// reported; under the handshake the sender waits instead, and a no-wait write
// runs until the line has carried it, refusing the next one meanwhile.
TEST_F(DriverQueues, BlockLargerThanTheQueueArrivesWholeOnlyUnderHandshake) {
    const std::string data = Pattern(8192);
    ASSERT_NE(SioSetBaud(kEnd, 9), 0);  // 115200: the line takes its time, well under a second here
    EXPECT_EQ(SioWriteBlock(kEnd, data.data(), 2048), 2048);
    EXPECT_EQ(SioLineErrors(kFar, -1), CE_RXOVER);
    EXPECT_EQ(SioRxCount(kFar), 1024);
    ASSERT_EQ(SioFlushRx(kFar), 0);

    ASSERT_EQ(SioSetFlow(kEnd, 'H'), 1);
    ASSERT_EQ(SioSetFlow(kFar, 'H'), 1);
    portTable[kEnd].noWait = 1;
    EXPECT_EQ(SioWriteBlock(kEnd, data.data(), static_cast<int>(data.size())), 1);
    EXPECT_EQ(SioPutByte(kEnd, 'x'), SIO_NO_DATA);
    std::string received = ReadBlocks(kFar, data.size(), 5000);
    EXPECT_TRUE(received == data) << received.size();
    EXPECT_EQ(SioLineErrors(kFar, -1), 0);
    EXPECT_EQ(SioPutByte(kEnd, 'x'), 1);
}

TEST_F(DriverQueues, PushedBackByteComesFirstAndIsNotCounted) {
    ASSERT_EQ(SioWriteBlock(kFar, "B\xC3\x44", 3), 3);
    portTable[kEnd].dataMask = 0x7F;  // 7 data bits
    EXPECT_EQ(SioUngetByte(kEnd, 0x141), 0);
    EXPECT_EQ(SioRxCount(kEnd), 3);  // the pushed-back byte is not in the queue
    EXPECT_EQ(SioGetByte(kEnd), 0x41);
    EXPECT_EQ(SioGetByte(kEnd), 'B');
    SioUngetByte(kEnd, 0xC1);
    EXPECT_EQ(SioGetByte(kEnd), 0xC1);  // pushed back bytes are not masked
    EXPECT_EQ(SioGetByte(kEnd), 0x43);  // received ones are
    char buffer[8] = {};
    SioUngetByte(kEnd, 0x41);
    EXPECT_EQ(SioReadBlock(kEnd, buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], 0x41);
    SioUngetByte(kEnd, 0x41);
    SioUngetByte(kEnd, 0);  // clears it
    EXPECT_EQ(SioReadBlock(kEnd, buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], 0x44);
    SioUngetByte(kEnd, 0x41);
    SioFlushTx(kEnd);
    EXPECT_EQ(portTable[kEnd].pushback, 0x41);
    SioFlushRx(kEnd);
    EXPECT_EQ(SioGetByte(kEnd), SIO_NO_DATA);
}

// A read whose targeted cancel is refused must not take the port's no-wait
// write down with it: that write's rest would be lost and the next write
// would take it for done. (Through the table: a system's cancel does not
// fail, and under Wine a read does not end while a write of its handle pends.)
TEST(Transfer, NoWaitWriteSurvivesARefusedReadCancel) {
    OpenFakePort(false);
    SysOverride guard;
    InstallFakeDevice();
    portTable[kFakePort].noWait = 1;
    Fake::writeError = ERROR_IO_PENDING;
    ASSERT_EQ(SioWriteBlock(kFakePort, kFrame, 9), 1);  // pends
    static int wideCancels;
    wideCancels = 0;
    sys.ReadFile = [](HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED ov) WINAPI -> BOOL {
        ov->Internal = STATUS_PENDING;
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    };
    sys.CancelIoEx = [](HANDLE, LPOVERLAPPED) WINAPI -> BOOL {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    };
    sys.CancelIo = [](HANDLE) WINAPI -> BOOL { return ++wideCancels > 0; };
    Fake::arrived = "x";  // a queue that shows empty is not read at all
    // The read ends by itself with one byte while the library waits for it.
    sys.WaitForSingleObject = [](HANDLE event, DWORD) WINAPI -> DWORD {
        if (event != ioTable[kFakePort].readOv.hEvent) return WAIT_TIMEOUT;
        ioTable[kFakePort].readOv.Internal = 0;
        ioTable[kFakePort].readOv.InternalHigh = 1;
        return WAIT_OBJECT_0;
    };
    sys.GetOverlappedResult = ResultFromInternalHigh;
    char buffer[16];
    EXPECT_EQ(SioReadBlock(kFakePort, buffer, sizeof buffer), 1);
    EXPECT_EQ(wideCancels, 0);
    EXPECT_EQ(ioTable[kFakePort].writeOv.Internal, static_cast<ULONG_PTR>(STATUS_PENDING));
    EXPECT_EQ(SioWriteBlock(kFakePort, kFrame, 9), SIO_NO_DATA) << "the running write passed for done";
}
