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
        before = *portTable[kPort].dcb;
    }
    static const DCB& Sent() { return FakeComm::dcbsSet.back(); }

    SysOverride guard;
    DCB before{};
};

template <typename Case>
class FakePortWith : public FakePort, public ::testing::WithParamInterface<Case> {};

// True when a and b agree byte for byte once clear() has blanked the fields
// that the call under test may change.
template <typename Clear>
bool SameApartFrom(DCB a, DCB b, Clear clear) {
    clear(a);
    clear(b);
    return memcmp(&a, &b, sizeof a) == 0;
}

struct BaudCase {
    int code;
    DWORD rate;
};
void PrintTo(const BaudCase& c, std::ostream* os) { *os << c.code << " -> " << c.rate; }
class SetBaud : public FakePortWith<BaudCase> {};

TEST_P(SetBaud, HandsOnlyTheRateToTheDeviceAndRaisesNoLine) {
    SioLineDTR(kPort, 'S');
    SioLineRTS(kPort, 'S');
    FakeComm::ForgetCalls();
    EXPECT_EQ(SioSetBaud(kPort, GetParam().code), TRUE);
    ASSERT_EQ(FakeComm::dcbsSet.size(), 1u);
    EXPECT_EQ(Sent().BaudRate, GetParam().rate);
    EXPECT_TRUE(SameApartFrom(Sent(), before, [](DCB& d) { d.BaudRate = 0; }));
    EXPECT_TRUE(FakeComm::escapes.empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, SetBaud,
                         ::testing::Values(BaudCase{0, 110}, BaudCase{1, 300}, BaudCase{2, 1200},
                                           BaudCase{3, 2400}, BaudCase{4, 4800}, BaudCase{5, 9600},
                                           BaudCase{6, 19200}, BaudCase{7, 38400}, BaudCase{8, 57600},
                                           BaudCase{9, 115200}, BaudCase{10, 10}, BaudCase{600, 600},
                                           BaudCase{-1, 0xFFFFFFFF}));

struct ParamsCase {
    int parity, stopBits, dataBits;
    BYTE mask;
};
void PrintTo(const ParamsCase& c, std::ostream* os) {
    *os << "parity " << c.parity << " stop " << c.stopBits << " data " << c.dataBits;
}
class SetParams : public FakePortWith<ParamsCase> {};

TEST_P(SetParams, HandsTheFramingToTheDeviceAndSetsTheMask) {
    auto [parity, stopBits, dataBits, mask] = GetParam();
    EXPECT_EQ(SioSetParams(kPort, parity, stopBits, dataBits), 0);
    ASSERT_EQ(FakeComm::dcbsSet.size(), 1u);
    EXPECT_EQ(Sent().Parity, parity);
    EXPECT_EQ(Sent().StopBits, stopBits);
    EXPECT_EQ(Sent().ByteSize, dataBits);
    EXPECT_EQ(portTable[kPort].dataMask, mask);
    EXPECT_TRUE(SameApartFrom(Sent(), before, [](DCB& d) { d.Parity = d.StopBits = d.ByteSize = 0; }));
}

INSTANTIATE_TEST_SUITE_P(Framings, SetParams,
                         ::testing::Values(ParamsCase{NOPARITY, ONESTOPBIT, 8, 255},
                                           ParamsCase{ODDPARITY, TWOSTOPBITS, 7, 127},
                                           ParamsCase{EVENPARITY, ONE5STOPBITS, 6, 63},
                                           ParamsCase{MARKPARITY, ONESTOPBIT, 5, 31},
                                           ParamsCase{SPACEPARITY, TWOSTOPBITS, 8, 255}));

struct BadParams {
    int parity, stopBits, dataBits;
};
void PrintTo(const BadParams& c, std::ostream* os) {
    *os << "parity " << c.parity << " stop " << c.stopBits << " data " << c.dataBits;
}
class SetParamsRange : public FakePortWith<BadParams> {};

TEST_P(SetParamsRange, IsRefusedBeforeThePortIsLookedAt) {
    auto [parity, stopBits, dataBits] = GetParam();
    for (int port : {kPort, 1, -1, 300, INT_MIN})  // open, closed, defaults, bad indices
        EXPECT_EQ(SioSetParams(port, parity, stopBits, dataBits), SIO_RANGE) << port;
    EXPECT_TRUE(FakeComm::dcbsSet.empty());
    EXPECT_EQ(portTable[kPort].dataMask, 255);
    EXPECT_EQ(defaultParity, NOPARITY);
    EXPECT_EQ(defaultStopBits, ONESTOPBIT);
    EXPECT_EQ(defaultDataBits, 8);
}

INSTANTIATE_TEST_SUITE_P(Values, SetParamsRange,
                         ::testing::Values(BadParams{-1, 0, 8}, BadParams{5, 0, 8}, BadParams{INT_MIN, 0, 8},
                                           BadParams{0, -1, 8}, BadParams{0, 3, 8}, BadParams{0, 0, 4},
                                           BadParams{0, 0, 9}, BadParams{0, 0, INT_MAX}));

TEST_F(FakePort, DefaultsReachOnlyPortsOpenedLater) {
    EXPECT_EQ(SioSetBaud(-1, 9), 0);
    EXPECT_EQ(SioSetParams(-1, EVENPARITY, TWOSTOPBITS, 7), 0);
    EXPECT_TRUE(FakeComm::dcbsSet.empty());
    EXPECT_EQ(memcmp(portTable[kPort].dcb, &before, sizeof before), 0);
    EXPECT_EQ(portTable[kPort].dataMask, 255);

    ASSERT_EQ(SioOpenPort(1, 1024, 1024), 0);
    ASSERT_EQ(FakeComm::dcbsSet.size(), 1u);
    EXPECT_EQ(Sent().BaudRate, 115200u);
    EXPECT_EQ(Sent().Parity, EVENPARITY);
    EXPECT_EQ(Sent().StopBits, TWOSTOPBITS);
    EXPECT_EQ(Sent().ByteSize, 7);
    EXPECT_EQ(portTable[1].dataMask, 127);
}

struct FlowCase {
    int letter;
    DWORD outxCtsFlow, rtsControl, inX, outX;
};
void PrintTo(const FlowCase& c, std::ostream* os) { *os << "letter " << c.letter; }
class SetFlow : public FakePortWith<FlowCase> {};

TEST_P(SetFlow, SetsExactlyItsFourFieldsFromAnyEarlierMode) {
    auto [letter, outxCtsFlow, rtsControl, inX, outX] = GetParam();
    for (int earlier : {0, int{'H'}, int{'N'}, int{'S'}}) {
        if (earlier) SioSetFlow(kPort, earlier);
        DCB start = *portTable[kPort].dcb;
        FakeComm::ForgetCalls();
        EXPECT_EQ(SioSetFlow(kPort, letter), 1);
        ASSERT_EQ(FakeComm::dcbsSet.size(), 1u);
        EXPECT_EQ(Sent().fOutxCtsFlow, outxCtsFlow);
        EXPECT_EQ(Sent().fRtsControl, rtsControl);
        EXPECT_EQ(Sent().fInX, inX);
        EXPECT_EQ(Sent().fOutX, outX);
        EXPECT_TRUE(SameApartFrom(Sent(), start, [](DCB& d) {
            d.fOutxCtsFlow = 0;
            d.fRtsControl = 0;
            d.fInX = 0;
            d.fOutX = 0;
        })) << "after " << earlier;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, SetFlow,
                         ::testing::Values(FlowCase{'H', 1, RTS_CONTROL_HANDSHAKE, 0, 0},
                                           FlowCase{'N', 0, RTS_CONTROL_DISABLE, 0, 0},
                                           FlowCase{'S', 0, RTS_CONTROL_DISABLE, 1, 1},
                                           FlowCase{0x100 | 'S', 0, RTS_CONTROL_DISABLE, 1, 1}));

TEST_F(FakePort, RefusedSettingsReturnTheUsualValuesAndStayStored) {
    SioLineDTR(kPort, 'S');
    SioLineRTS(kPort, 'S');
    FakeComm::setCommStateResult = FALSE;
    FakeComm::ForgetCalls();
    EXPECT_EQ(SioSetBaud(kPort, 10), 0);
    EXPECT_EQ(SioSetParams(kPort, ODDPARITY, TWOSTOPBITS, 7), 0);
    EXPECT_EQ(SioSetFlow(kPort, 'S'), 1);
    ASSERT_EQ(FakeComm::dcbsSet.size(), 3u);
    EXPECT_EQ(Sent().BaudRate, 10u);  // the refused rate goes again with later settings
    const DCB& stored = *portTable[kPort].dcb;
    EXPECT_EQ(stored.BaudRate, 10u);
    EXPECT_EQ(stored.Parity, ODDPARITY);
    EXPECT_EQ(stored.StopBits, TWOSTOPBITS);
    EXPECT_EQ(stored.ByteSize, 7);
    EXPECT_EQ(stored.fInX, 1u);
    EXPECT_EQ(portTable[kPort].dataMask, 127);
    EXPECT_TRUE(FakeComm::escapes.empty());
}

struct ReassertCase {
    const char* name;
    int (*change)(int port);
    bool dtr, rts;
    BOOL accepted;
    Escapes expected;
};
void PrintTo(const ReassertCase& c, std::ostream* os) { *os << c.name; }
class ReassertLines : public FakePortWith<ReassertCase> {};

TEST_P(ReassertLines, RaisesTheCommandedLinesOnlyAfterAnAcceptedChange) {
    const ReassertCase& c = GetParam();
    if (c.dtr) SioLineDTR(kPort, 'S');
    if (c.rts) SioLineRTS(kPort, 'S');
    FakeComm::setCommStateResult = c.accepted;
    FakeComm::ForgetCalls();
    c.change(kPort);
    EXPECT_EQ(FakeComm::escapes, c.expected);
}

int FlowNone(int port) { return SioSetFlow(port, 'N'); }
int Framing7E1(int port) { return SioSetParams(port, EVENPARITY, ONESTOPBIT, 7); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ReassertLines,
    ::testing::Values(ReassertCase{"flow, no bits (RTS only enabled at open)", FlowNone, false, false, TRUE, {}},
                      ReassertCase{"flow, DTR", FlowNone, true, false, TRUE, {SETDTR}},
                      ReassertCase{"flow, RTS", FlowNone, false, true, TRUE, {SETRTS}},
                      ReassertCase{"flow, both", FlowNone, true, true, TRUE, {SETDTR, SETRTS}},
                      ReassertCase{"flow refused, both", FlowNone, true, true, FALSE, {}},
                      ReassertCase{"framing, RTS", Framing7E1, false, true, TRUE, {SETRTS}},
                      ReassertCase{"framing, both", Framing7E1, true, true, TRUE, {SETDTR, SETRTS}},
                      ReassertCase{"framing refused, both", Framing7E1, true, true, FALSE, {}}));

TEST_F(FakePort, LineBitsSurviveCloseAndReopen) {
    EXPECT_EQ(SioLineDTR(kPort, 'R'), 0);  // enabled at open, but never commanded
    SioLineRTS(kPort, 'S');
    ASSERT_NE(SioClosePort(kPort), 0);
    ASSERT_EQ(FakeComm::OpenPort(kPort), 0);
    EXPECT_EQ(SioLineRTS(kPort, 'R'), 2);
    SioSetFlow(kPort, 'N');
    EXPECT_EQ(FakeComm::escapes, Escapes{SETRTS});
}

struct LineCase {
    const char* name;
    int (*call)(int port, int letter);
    int letter;
    DWORD escape;
    BYTE bitsBefore, bitsAfter;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
class ControlLines : public FakePortWith<LineCase> {};

TEST_P(ControlLines, RecordTheCommandEvenWhenTheDriverRefusesIt) {
    auto [name, call, letter, escape, bitsBefore, bitsAfter] = GetParam();
    for (BOOL driver : {TRUE, FALSE}) {
        portTable[kPort].lineBits = bitsBefore;
        FakeComm::escapeResult = driver;
        FakeComm::ForgetCalls();
        EXPECT_EQ(call(kPort, letter), driver);
        EXPECT_EQ(FakeComm::escapes, Escapes{escape});
        EXPECT_EQ(SioLineDTR(kPort, 'R'), bitsAfter & 1);
        EXPECT_EQ(SioLineRTS(kPort, 'R'), bitsAfter & 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, ControlLines,
                         ::testing::Values(LineCase{"DTR S", SioLineDTR, 'S', SETDTR, 0, 1},
                                           LineCase{"DTR C", SioLineDTR, 'C', CLRDTR, 3, 2},
                                           LineCase{"RTS S", SioLineRTS, 'S', SETRTS, 0, 2},
                                           LineCase{"RTS C", SioLineRTS, 'C', CLRRTS, 3, 1},
                                           LineCase{"DTR 0x153", SioLineDTR, 0x100 | 'S', SETDTR, 2, 3}));

struct ModemCase {
    const char* name;
    int (*call)(int port);
    DWORD bit;
};
void PrintTo(const ModemCase& c, std::ostream* os) { *os << c.name; }
class ModemInputs : public FakePortWith<ModemCase> {};

TEST_P(ModemInputs, ReportTheirOwnBitAndZeroWhenTheStatusIsUnreadable) {
    auto [name, call, bit] = GetParam();
    FakeComm::modemStatus = 0xF0;
    EXPECT_EQ(call(kPort), static_cast<int>(bit));
    FakeComm::modemStatus = 0xF0 & ~bit;
    EXPECT_EQ(call(kPort), 0);
    FakeComm::modemStatus = 0xF0;
    FakeComm::modemStatusResult = FALSE;
    EXPECT_EQ(call(kPort), 0);
}

INSTANTIATE_TEST_SUITE_P(Inputs, ModemInputs,
                         ::testing::Values(ModemCase{"CTS", SioModemCTS, 16}, ModemCase{"DSR", SioModemDSR, 32},
                                           ModemCase{"RI", SioModemRI, 64}, ModemCase{"DCD", SioModemDCD, 128}));

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
    portTable[kPort].lineBits = 3;
    for (auto call : calls)
        for (int letter : letters) EXPECT_EQ(call(kPort, letter), SIO_RANGE) << letter;
    EXPECT_TRUE(FakeComm::dcbsSet.empty());
    EXPECT_TRUE(FakeComm::escapes.empty());
    EXPECT_EQ(FakeComm::breaksSet + FakeComm::breaksCleared + FakeComm::errorReads, 0);
    EXPECT_EQ(portTable[kPort].lineBits, 3);
    EXPECT_EQ(memcmp(portTable[kPort].dcb, &before, sizeof before), 0);
}

TEST(PortChecks, BadIndicesAndClosedPortsAreRefusedFirst) {
    SysOverride guard;
    FakeComm::Install();
    int (*const calls[])(int) = {
        [](int p) { return SioSetBaud(p, 5); },       [](int p) { return SioSetParams(p, 0, 0, 8); },
        [](int p) { return SioSetFlow(p, 'X'); },     [](int p) { return SioLineDTR(p, 'R'); },
        [](int p) { return SioLineRTS(p, 'x'); },     SioModemCTS, SioModemDSR, SioModemRI, SioModemDCD,
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
    const BaudCase cases[] = {{0, 110}, {5, 9600}, {9, 115200}, {600, 600}, {57600, 57600}};
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
    const FlowCase modes[] = {{'H', 1, 0, 0, 0}, {'S', 0, 0, 1, 1}, {'N', 0, 0, 0, 0}};
    for (const FlowCase& mode : modes) {
        EXPECT_EQ(SioSetFlow(kLinePort, mode.letter), 1);
        DCB device = Device();
        EXPECT_EQ(device.fOutxCtsFlow, mode.outxCtsFlow) << char(mode.letter);
        EXPECT_EQ(device.fInX, mode.inX) << char(mode.letter);
        EXPECT_EQ(device.fOutX, mode.outX) << char(mode.letter);
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

// SioGetByte belongs to the transfer unit, which this build may not hold yet:
// a weak reference lets the test link without it and skip. A weak reference
// does not pull a member out of a static library, so once the transfer unit
// is in, drop the pragma and the skip to make the test run.
#pragma weak SioGetByte

TEST_F(LineSettings, DataBitsMaskTheBytesReceived) {
    if (!&SioGetByte) GTEST_SKIP() << "SioGetByte is not in this build";
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    HANDLE device = portTable[kLinePort].handle;
    ::PurgeComm(device, PURGE_RXCLEAR);
    const struct {
        int dataBits, mask;
    } cases[] = {{7, 0x7F}, {5, 0x1F}, {8, 0xFF}};
    for (auto [dataBits, mask] : cases) {
        SioSetParams(kLinePort, NOPARITY, ONESTOPBIT, dataBits);
        ASSERT_TRUE(peer.Write("\xFF\xC1", 2));
        ASSERT_TRUE(WaitForQueued(device, 2, 2000));
        EXPECT_EQ(SioGetByte(kLinePort), 0xFF & mask) << dataBits;
        EXPECT_EQ(SioGetByte(kLinePort), 0xC1 & mask) << dataBits;
    }
}
