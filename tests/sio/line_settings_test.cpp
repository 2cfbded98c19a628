// Line settings and control lines: through the system-call table, what each
// call hands to the device, refusals, re-raised lines and bad input; over a
// virtual line, what the device keeps of the settings.
#include <gtest/gtest.h>
#include <string.h>

#include <climits>
#include <vector>

#include "fake_comm.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

using namespace sio;
using Escapes = std::vector<DWORD>;

// Port 0 on the fake device, opened with DTR and RTS enabled at open.
constexpr int kPort = 0;

class FakePort : public ::testing::Test {
protected:
    void SetUp() override {
        FakeComm::Install();
        SioOpenPort(-1, 1, 1);
        ASSERT_EQ(FakeComm::OpenPort(kPort), 0);
    }
    // Runs one setting call and returns the single DCB it handed over.
    template <typename Call>
    static DCB SentBy(Call call) {
        FakeComm::ForgetCalls();
        call();
        EXPECT_EQ(FakeComm::dcbsSet.size(), 1u);
        return FakeComm::dcbsSet.empty() ? DCB{} : FakeComm::dcbsSet.back();
    }
    static DCB Stored() { return *portTable[kPort].dcb; }

    SysOverride guard;
};

// True when a and b agree byte for byte once clear() has blanked the fields
// that the call under test may change.
template <typename Clear>
bool SameApartFrom(DCB a, DCB b, Clear clear) {
    clear(a);
    clear(b);
    return memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(FakePort, SetBaudHandsOverOnlyTheRate) {
    SioLineDTR(kPort, 'S');
    SioLineRTS(kPort, 'S');
    const struct {
        int code;
        DWORD rate;
    } cases[] = {{0, 110},     {1, 300},     {2, 1200},   {3, 2400},   {4, 4800},
                 {5, 9600},    {6, 19200},   {7, 38400},  {8, 57600},  {9, 115200},
                 {10, 10},     {600, 600},   {-1, 0xFFFFFFFF}};
    DCB open = Stored();
    for (auto [code, rate] : cases) {
        DCB sent = SentBy([code = code] { EXPECT_EQ(SioSetBaud(kPort, code), TRUE); });
        EXPECT_EQ(sent.BaudRate, rate) << code;
        EXPECT_TRUE(SameApartFrom(sent, open, [](DCB& d) { d.BaudRate = 0; })) << code;
        EXPECT_TRUE(FakeComm::escapes.empty()) << code;  // no line is raised again
    }
}

TEST_F(FakePort, SetParamsHandsOverTheFramingAndSetsTheMask) {
    const struct {
        int parity, stopBits, dataBits, mask;
    } cases[] = {{ODDPARITY, TWOSTOPBITS, 7, 127}, {EVENPARITY, ONE5STOPBITS, 6, 63},
                 {MARKPARITY, ONESTOPBIT, 5, 31},  {SPACEPARITY, TWOSTOPBITS, 8, 255}};
    DCB open = Stored();
    for (auto [parity, stopBits, dataBits, mask] : cases) {
        DCB sent = SentBy([&] { EXPECT_EQ(SioSetParams(kPort, parity, stopBits, dataBits), 0); });
        EXPECT_EQ(sent.Parity, parity);
        EXPECT_EQ(sent.StopBits, stopBits);
        EXPECT_EQ(sent.ByteSize, dataBits);
        EXPECT_EQ(portTable[kPort].dataMask, mask);
        EXPECT_TRUE(SameApartFrom(sent, open, [](DCB& d) { d.Parity = d.StopBits = d.ByteSize = 0; }));
    }
}

TEST_F(FakePort, SetParamsChecksItsValuesBeforeThePort) {
    const int bad[][3] = {{-1, 0, 8}, {5, 0, 8}, {INT_MIN, 0, 8}, {0, -1, 8},
                          {0, 3, 8},  {0, 0, 4}, {0, 0, 9},       {0, 0, INT_MAX}};
    for (auto& [parity, stopBits, dataBits] : bad)
        for (int port : {kPort, 1, -1, 300, INT_MIN})  // open, closed, defaults, bad indices
            EXPECT_EQ(SioSetParams(port, parity, stopBits, dataBits), SIO_RANGE) << port;
    EXPECT_TRUE(FakeComm::dcbsSet.empty());
    EXPECT_EQ(portTable[kPort].dataMask, 255);
    EXPECT_EQ(defaultParity, NOPARITY);
    EXPECT_EQ(defaultStopBits, ONESTOPBIT);
    EXPECT_EQ(defaultDataBits, 8);
}

TEST_F(FakePort, DefaultsReachOnlyPortsOpenedLater) {
    DCB open = Stored();
    EXPECT_EQ(SioSetBaud(-1, 9), 0);
    EXPECT_EQ(SioSetParams(-1, EVENPARITY, TWOSTOPBITS, 7), 0);
    EXPECT_TRUE(FakeComm::dcbsSet.empty());
    EXPECT_EQ(memcmp(portTable[kPort].dcb, &open, sizeof open), 0);
    EXPECT_EQ(portTable[kPort].dataMask, 255);

    DCB later = SentBy([] { EXPECT_EQ(SioOpenPort(1, 1024, 1024), 0); });
    EXPECT_EQ(later.BaudRate, 115200u);
    EXPECT_EQ(later.Parity, EVENPARITY);
    EXPECT_EQ(later.StopBits, TWOSTOPBITS);
    EXPECT_EQ(later.ByteSize, 7);
    EXPECT_EQ(portTable[1].dataMask, 127);
}

TEST_F(FakePort, SetFlowSetsExactlyItsFourFieldsFromAnyEarlierMode) {
    const struct {
        int letter;
        DWORD outxCtsFlow, rtsControl, inX, outX;
    } modes[] = {{'H', 1, RTS_CONTROL_HANDSHAKE, 0, 0},
                 {'N', 0, RTS_CONTROL_DISABLE, 0, 0},
                 {'S', 0, RTS_CONTROL_DISABLE, 1, 1},
                 {0x100 | 'H', 1, RTS_CONTROL_HANDSHAKE, 0, 0}};  // only the low 8 bits count
    DCB open = Stored();
    for (const auto& earlier : modes) {
        for (auto [letter, outxCtsFlow, rtsControl, inX, outX] : modes) {
            SioSetFlow(kPort, earlier.letter);
            DCB sent = SentBy([letter = letter] { EXPECT_EQ(SioSetFlow(kPort, letter), 1); });
            EXPECT_EQ(sent.fOutxCtsFlow, outxCtsFlow);
            EXPECT_EQ(sent.fRtsControl, rtsControl);
            EXPECT_EQ(sent.fInX, inX);
            EXPECT_EQ(sent.fOutX, outX);
            EXPECT_TRUE(SameApartFrom(sent, open, [](DCB& d) {
                d.fOutxCtsFlow = 0;
                d.fRtsControl = 0;
                d.fInX = 0;
                d.fOutX = 0;
            })) << earlier.letter << " then " << letter;
        }
    }
}

TEST_F(FakePort, RefusedSettingsReturnTheUsualValuesAndStayStored) {
    SioLineDTR(kPort, 'S');
    SioLineRTS(kPort, 'S');
    FakeComm::setCommStateResult = FALSE;
    FakeComm::ForgetCalls();
    EXPECT_EQ(SioSetBaud(kPort, 10), 0);
    EXPECT_EQ(SioSetParams(kPort, ODDPARITY, TWOSTOPBITS, 7), 0);
    EXPECT_EQ(SioSetFlow(kPort, 'S'), 1);
    ASSERT_EQ(FakeComm::dcbsSet.size(), 3u);
    EXPECT_EQ(FakeComm::dcbsSet.back().BaudRate, 10u);  // the refused rate goes again
    EXPECT_EQ(Stored().BaudRate, 10u);
    EXPECT_EQ(Stored().Parity, ODDPARITY);
    EXPECT_EQ(Stored().StopBits, TWOSTOPBITS);
    EXPECT_EQ(Stored().ByteSize, 7);
    EXPECT_EQ(Stored().fInX, 1u);
    EXPECT_EQ(portTable[kPort].dataMask, 127);
    EXPECT_TRUE(FakeComm::escapes.empty());  // no line raised after a refusal
}

TEST_F(FakePort, CommandedLinesAreRaisedAgainOnlyAfterAnAcceptedChange) {
    int (*const changes[])(int) = {[](int p) { return SioSetFlow(p, 'N'); },
                                   [](int p) { return SioSetParams(p, EVENPARITY, ONESTOPBIT, 7); }};
    const struct {
        BYTE lineBits;
        BOOL accepted;
        Escapes expected;
    } cases[] = {{0, TRUE, {}},  // DTR and RTS were only enabled at open
                 {1, TRUE, {SETDTR}},
                 {2, TRUE, {SETRTS}},
                 {3, TRUE, {SETDTR, SETRTS}},
                 {3, FALSE, {}}};
    for (auto change : changes) {
        for (const auto& c : cases) {
            portTable[kPort].lineBits = c.lineBits;
            FakeComm::setCommStateResult = c.accepted;
            FakeComm::ForgetCalls();
            change(kPort);
            EXPECT_EQ(FakeComm::escapes, c.expected) << int(c.lineBits) << " " << c.accepted;
        }
    }
}

TEST_F(FakePort, LineBitsSurviveCloseAndReopen) {
    EXPECT_EQ(SioLineDTR(kPort, 'R'), 0);  // enabled at open, but never commanded
    SioLineRTS(kPort, 'S');
    ASSERT_NE(SioClosePort(kPort), 0);
    ASSERT_EQ(FakeComm::OpenPort(kPort), 0);
    EXPECT_EQ(SioLineRTS(kPort, 'R'), 2);
    SioSetFlow(kPort, 'N');
    EXPECT_EQ(FakeComm::escapes, Escapes{SETRTS});
}

TEST_F(FakePort, LineCommandsAreRecordedEvenWhenTheDriverRefusesThem) {
    const struct {
        int (*call)(int, int);
        int letter;
        DWORD escape;
        BYTE bitsBefore, bitsAfter;
    } cases[] = {{SioLineDTR, 'S', SETDTR, 0, 1},
                 {SioLineDTR, 'C', CLRDTR, 3, 2},
                 {SioLineRTS, 'S', SETRTS, 0, 2},
                 {SioLineRTS, 'C', CLRRTS, 3, 1},
                 {SioLineDTR, 0x100 | 'S', SETDTR, 2, 3}};
    for (auto [call, letter, escape, bitsBefore, bitsAfter] : cases) {
        for (BOOL driver : {TRUE, FALSE}) {
            portTable[kPort].lineBits = bitsBefore;
            FakeComm::escapeResult = driver;
            FakeComm::ForgetCalls();
            EXPECT_EQ(call(kPort, letter), driver) << letter;
            EXPECT_EQ(FakeComm::escapes, Escapes{escape}) << letter;
            EXPECT_EQ(SioLineDTR(kPort, 'R'), bitsAfter & 1) << letter;
            EXPECT_EQ(SioLineRTS(kPort, 'R'), bitsAfter & 2) << letter;
        }
    }
}

TEST_F(FakePort, ModemInputsReportTheirOwnBitAndZeroWhenUnreadable) {
    const struct {
        int (*call)(int);
        DWORD bit;
    } inputs[] = {{SioModemCTS, 16}, {SioModemDSR, 32}, {SioModemRI, 64}, {SioModemDCD, 128}};
    for (auto [call, bit] : inputs) {
        FakeComm::modemStatusResult = TRUE;
        FakeComm::modemStatus = 0xF0;
        EXPECT_EQ(call(kPort), static_cast<int>(bit));
        FakeComm::modemStatus = 0xF0 & ~bit;
        EXPECT_EQ(call(kPort), 0) << bit;
        FakeComm::modemStatus = 0xF0;
        FakeComm::modemStatusResult = FALSE;
        EXPECT_EQ(call(kPort), 0) << bit;
    }
}

TEST_F(FakePort, BreakAssertAndClearReturnTheDriverResult) {
    for (BOOL driver : {TRUE, FALSE}) {
        FakeComm::breakResult = driver;
        EXPECT_EQ(SioBreakControl(kPort, 'A'), driver);
        EXPECT_EQ(SioBreakControl(kPort, 'C'), driver);
    }
    EXPECT_EQ(FakeComm::breaksSet, 2);
    EXPECT_EQ(FakeComm::breaksCleared, 2);
}

TEST_F(FakePort, BreakDetectReportsOneBreakOnceAndRefreshesTheStatus) {
    FakeComm::pendingErrors = CE_BREAK | CE_FRAME;
    FakeComm::queuedBytes = 7;
    EXPECT_EQ(SioBreakControl(kPort, 'D'), 16);
    EXPECT_EQ(commStat.cbInQue, 7u);
    EXPECT_EQ(SioBreakControl(kPort, 'D'), 0);
    FakeComm::pendingErrors = CE_BREAK;
    FakeComm::clearErrorResult = FALSE;
    EXPECT_EQ(SioBreakControl(kPort, 'D'), 0);
}

TEST_F(FakePort, UnknownLettersChangeNothing) {
    int (*const calls[])(int, int) = {SioSetFlow, SioLineDTR, SioLineRTS, SioBreakControl};
    std::vector<int> letters = {'X', 0, -1};
    for (int letter = 'a'; letter <= 'z'; ++letter) letters.push_back(letter);
    DCB start = Stored();
    portTable[kPort].lineBits = 3;
    for (auto call : calls)
        for (int letter : letters) EXPECT_EQ(call(kPort, letter), SIO_RANGE) << letter;
    EXPECT_TRUE(FakeComm::dcbsSet.empty());
    EXPECT_TRUE(FakeComm::escapes.empty());
    EXPECT_EQ(FakeComm::breaksSet + FakeComm::breaksCleared + FakeComm::errorReads, 0);
    EXPECT_EQ(portTable[kPort].lineBits, 3);
    EXPECT_EQ(memcmp(portTable[kPort].dcb, &start, sizeof start), 0);
}

TEST(PortChecks, BadIndicesAndClosedPortsAreRefusedFirst) {
    SysOverride guard;
    FakeComm::Install();
    int (*const calls[])(int) = {
        [](int p) { return SioSetBaud(p, 5); },   [](int p) { return SioSetParams(p, 0, 0, 8); },
        [](int p) { return SioSetFlow(p, 'X'); }, [](int p) { return SioLineDTR(p, 'R'); },
        [](int p) { return SioLineRTS(p, 'x'); }, SioModemCTS, SioModemDSR, SioModemRI, SioModemDCD,
        [](int p) { return SioBreakControl(p, 'D'); }};
    for (size_t i = 0; i < sizeof calls / sizeof calls[0]; ++i) {
        for (int port : {-2, 256, 300, INT_MIN, INT_MAX}) EXPECT_EQ(calls[i](port), IE_BADID) << i;
        if (i >= 2) {  // -1 is a port only in the default forms
            EXPECT_EQ(calls[i](-1), IE_BADID) << i;
        }
        EXPECT_EQ(calls[i](kPort), IE_NOPEN) << i;
    }
    EXPECT_TRUE(FakeComm::dcbsSet.empty());
    EXPECT_EQ(FakeComm::errorReads, 0);
}

// Over the virtual line: the library's port is COM3; its settings are read
// back from the device with the library's own handle.
class LineSettings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0); }
    void TearDown() override { SioClosePort(kLinePort); }
    static DCB Device(int port = kLinePort) {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        EXPECT_TRUE(::GetCommState(portTable[port].handle, &dcb));
        return dcb;
    }
};

TEST_F(LineSettings, StandardRatesReachTheDevice) {
    const std::pair<int, DWORD> cases[] = {{0, 110}, {5, 9600}, {9, 115200}, {600, 600}, {57600, 57600}};
    for (auto [code, rate] : cases) {
        EXPECT_NE(SioSetBaud(kLinePort, code), 0) << code;
        EXPECT_EQ(Device().BaudRate, rate) << code;
    }
}

TEST_F(LineSettings, StopBitsAndFlowModesReachTheDevice) {
    for (int stopBits : {TWOSTOPBITS, ONESTOPBIT}) {
        EXPECT_EQ(SioSetParams(kLinePort, NOPARITY, stopBits, 8), 0);
        EXPECT_EQ(Device().StopBits, stopBits);
    }
    const struct {
        int letter;
        DWORD outxCtsFlow, inX, outX;
    } modes[] = {{'H', 1, 0, 0}, {'S', 0, 1, 1}, {'N', 0, 0, 0}};
    for (auto [letter, outxCtsFlow, inX, outX] : modes) {
        EXPECT_EQ(SioSetFlow(kLinePort, letter), 1);
        DCB device = Device();
        EXPECT_EQ(device.fOutxCtsFlow, outxCtsFlow) << char(letter);
        EXPECT_EQ(device.fInX, inX) << char(letter);
        EXPECT_EQ(device.fOutX, outX) << char(letter);
    }
}

TEST_F(LineSettings, DefaultsReachOnlyPortsOpenedLater) {
    ASSERT_EQ(SioSetBaud(-1, 9), 0);
    ASSERT_EQ(SioSetParams(-1, NOPARITY, TWOSTOPBITS, 8), 0);
    EXPECT_EQ(Device().BaudRate, 19200u);
    EXPECT_EQ(Device().StopBits, ONESTOPBIT);
    ASSERT_EQ(SioOpenPort(kSecondPort, 1024, 1024), 0);
    EXPECT_EQ(Device(kSecondPort).BaudRate, 115200u);
    EXPECT_EQ(Device(kSecondPort).StopBits, TWOSTOPBITS);
    SioClosePort(kSecondPort);
}

TEST_F(LineSettings, PtyRefusalsComeThroughAsTheyAre) {
    // A pty has no modem lines: DTR commands and the status query fail, and
    // no break is ever seen; the commanded bit is recorded all the same.
    EXPECT_EQ(SioLineDTR(kLinePort, 'S'), 0);
    EXPECT_EQ(SioLineDTR(kLinePort, 'R'), 1);
    EXPECT_EQ(SioModemCTS(kLinePort), 0);
    EXPECT_EQ(SioModemDCD(kLinePort), 0);
    EXPECT_NE(SioBreakControl(kLinePort, 'A'), 0);
    EXPECT_NE(SioBreakControl(kLinePort, 'C'), 0);
    EXPECT_EQ(SioBreakControl(kLinePort, 'D'), 0);
}

TEST_F(LineSettings, DataBitsMaskTheBytesReceived) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    HANDLE device = portTable[kLinePort].handle;
    ::PurgeComm(device, PURGE_RXCLEAR);
    const std::pair<int, int> cases[] = {{7, 0x7F}, {5, 0x1F}, {8, 0xFF}};
    for (auto [dataBits, mask] : cases) {
        SioSetParams(kLinePort, NOPARITY, ONESTOPBIT, dataBits);
        ASSERT_TRUE(peer.Write("\xFF\xC1", 2));
        ASSERT_TRUE(WaitForQueued(device, 2, 2000));
        EXPECT_EQ(SioGetByte(kLinePort), 0xFF & mask) << dataBits;
        EXPECT_EQ(SioGetByte(kLinePort), 0xC1 & mask) << dataBits;
    }
}

// ---- On the virtual Windows driver: modem lines and breaks ----------------

class DriverLines : public ::testing::Test {
protected:
    static constexpr int kEnd = 2, kFar = 3;  // the two ends of a cable
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

TEST_F(DriverLines, DtrAndRtsReachTheOtherEndsInputs) {
    EXPECT_EQ(SioModemDSR(kFar) | SioModemDCD(kFar) | SioModemCTS(kFar), 0);
    EXPECT_NE(SioLineDTR(kEnd, 'S'), 0);
    EXPECT_EQ(SioModemDSR(kFar), 32);
    EXPECT_EQ(SioModemDCD(kFar), 128);
    EXPECT_EQ(SioModemCTS(kFar), 0);
    EXPECT_NE(SioLineRTS(kEnd, 'S'), 0);
    EXPECT_EQ(SioModemCTS(kFar), 16);
    EXPECT_NE(SioLineDTR(kEnd, 'C'), 0);
    EXPECT_EQ(SioModemDSR(kFar) | SioModemDCD(kFar), 0);
    VirtualSerialDriver::SetRing(kEnd, true);
    EXPECT_EQ(SioModemRI(kEnd), 64);
}

TEST_F(DriverLines, HardwareFlowHandsRtsToTheDriver) {
    EXPECT_EQ(SioSetFlow(kEnd, 'H'), 1);
    DCB dcb = VirtualSerialDriver::Dcb(kEnd);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(SioModemCTS(kFar), 16);      // the driver raises RTS while it can receive
    EXPECT_EQ(SioLineRTS(kEnd, 'C'), 0);   // and keeps it
    EXPECT_EQ(SioModemCTS(kFar), 16);
    EXPECT_EQ(SioSetFlow(kEnd, 'N'), 1);
    EXPECT_EQ(SioModemCTS(kFar), 0);
}

TEST_F(DriverLines, BreakIsDetectedOnceAtTheOtherEnd) {
    EXPECT_EQ(SioBreakControl(kFar, 'D'), 0);
    EXPECT_NE(SioBreakControl(kEnd, 'A'), 0);
    EXPECT_NE(SioBreakControl(kEnd, 'C'), 0);
    EXPECT_EQ(SioBreakControl(kFar, 'D'), 16);
    EXPECT_EQ(SioBreakControl(kFar, 'D'), 0);
    EXPECT_EQ(SioBreakControl(kEnd, 'D'), 0);
}
