// Line settings and control lines. On the virtual Windows driver, which
// stores the whole DCB and wires DTR/RTS to the far end's inputs: what each
// call hands to the device, refusals, re-raised lines and bad input. Over a
// virtual line, that the data bits mask what really arrives.
#include <gtest/gtest.h>
#include <string.h>

#include <climits>
#include <vector>

#include "driver_cable.h"
#include "forbid_call.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

using namespace sio;
using Escapes = std::vector<DWORD>;

namespace {

constexpr int kPort = 2;  // COM3 on the virtual driver, opened with DTR and RTS enabled at open
constexpr int kFar = 3;   // the other end of its cable

// Records the escape codes the library hands to the driver, and can make the
// driver refuse them or the state it is given.
struct Recorder {
    static inline Escapes escapes;
    static inline BOOL escapeResult = TRUE;
    static inline BOOL stateResult = TRUE;
    static inline decltype(sys.EscapeCommFunction) nextEscape = nullptr;
    static inline decltype(sys.SetCommState) nextState = nullptr;
    static void Install() {
        escapes.clear();
        escapeResult = stateResult = TRUE;
        nextEscape = sys.EscapeCommFunction;
        nextState = sys.SetCommState;
        sys.EscapeCommFunction = [](HANDLE h, DWORD code) WINAPI -> BOOL {
            escapes.push_back(code);
            BOOL done = nextEscape(h, code);
            return escapeResult ? done : FALSE;
        };
        sys.SetCommState = [](HANDLE h, LPDCB dcb) WINAPI -> BOOL {
            if (!stateResult) return FALSE;
            return nextState(h, dcb);
        };
    }
};

class DriverPort : public ::testing::Test {
protected:
    void SetUp() override {
        SioOpenPort(-1, 1, 1);
        ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
        Recorder::Install();
    }
    static DCB Device() { return VirtualSerialDriver::Dcb(kPort); }

    SysOverride guard_;
    VirtualSerialDriver driver_;
};

// True when a and b agree byte for byte once clear() has blanked the fields
// that the call under test may change.
template <typename Clear>
bool SameApartFrom(DCB a, DCB b, Clear clear) {
    clear(a);
    clear(b);
    return memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST_F(DriverPort, SetBaudChangesOnlyTheRate) {
    SioLineDTR(kPort, 'S');
    const struct {
        int code;
        DWORD rate;
    } cases[] = {{0, 110},   {1, 300},   {2, 1200},   {3, 2400}, {4, 4800},  {5, 9600},       {6, 19200},
                 {7, 38400}, {8, 57600}, {9, 115200}, {10, 10},  {600, 600}, {-1, 0xFFFFFFFF}};
    DCB open = Device();
    for (auto [code, rate] : cases) {
        Recorder::escapes.clear();
        EXPECT_EQ(SioSetBaud(kPort, code), TRUE);
        EXPECT_EQ(Device().BaudRate, rate) << code;
        EXPECT_TRUE(SameApartFrom(Device(), open, [](DCB& d) { d.BaudRate = 0; })) << code;
        EXPECT_TRUE(Recorder::escapes.empty()) << code;  // no line is raised again
    }
}

TEST_F(DriverPort, SetParamsChangesTheFramingAndTheMask) {
    const struct {
        int parity, stopBits, dataBits, mask;
    } cases[] = {{ODDPARITY, TWOSTOPBITS, 7, 127},
                 {EVENPARITY, ONESTOPBIT, 6, 63},
                 {MARKPARITY, ONE5STOPBITS, 5, 31},
                 {SPACEPARITY, TWOSTOPBITS, 8, 255}};
    DCB open = Device();
    for (auto [parity, stopBits, dataBits, mask] : cases) {
        EXPECT_EQ(SioSetParams(kPort, parity, stopBits, dataBits), 0);
        DCB now = Device();
        EXPECT_EQ(now.Parity, parity);
        EXPECT_EQ(now.StopBits, stopBits);
        EXPECT_EQ(now.ByteSize, dataBits);
        EXPECT_EQ(portTable[kPort].dataMask, mask);
        EXPECT_TRUE(SameApartFrom(now, open, [](DCB& d) { d.Parity = d.StopBits = d.ByteSize = 0; }));
    }
}

TEST_F(DriverPort, SetParamsChecksItsValuesBeforeThePort) {
    Forbid(sys.SetCommState);
    const int bad[][3] = {{-1, 0, 8}, {5, 0, 8}, {INT_MIN, 0, 8}, {0, -1, 8},
                          {0, 3, 8},  {0, 0, 4}, {0, 0, 9},       {0, 0, INT_MAX}};
    for (auto& [parity, stopBits, dataBits] : bad)
        for (int port : {kPort, 1, -1, 300, INT_MIN})  // open, closed, defaults, bad indices
            EXPECT_EQ(SioSetParams(port, parity, stopBits, dataBits), SIO_RANGE) << port;
    EXPECT_EQ(portTable[kPort].dataMask, 255);
    EXPECT_EQ(defaultDataBits, 8);
}

TEST_F(DriverPort, DefaultsReachOnlyPortsOpenedLater) {
    DCB open = Device();
    EXPECT_EQ(SioSetBaud(-1, 9), 0);
    EXPECT_EQ(SioSetParams(-1, EVENPARITY, TWOSTOPBITS, 7), 0);
    DCB now = Device();
    EXPECT_EQ(memcmp(&now, &open, sizeof open), 0);
    ASSERT_EQ(SioOpenPort(kFar, 1024, 1024), 0);
    DCB later = VirtualSerialDriver::Dcb(kFar);
    EXPECT_EQ(later.BaudRate, 115200u);
    EXPECT_EQ(later.Parity, EVENPARITY);
    EXPECT_EQ(later.StopBits, TWOSTOPBITS);
    EXPECT_EQ(later.ByteSize, 7);
    EXPECT_EQ(portTable[kFar].dataMask, 127);
}

TEST_F(DriverPort, SetFlowSetsExactlyItsFourFieldsFromAnyEarlierMode) {
    const struct {
        int letter;
        DWORD outxCtsFlow, rtsControl, inX, outX;
    } modes[] = {{'H', 1, RTS_CONTROL_HANDSHAKE, 0, 0},
                 {'N', 0, RTS_CONTROL_DISABLE, 0, 0},
                 {'S', 0, RTS_CONTROL_DISABLE, 1, 1},
                 {0x100 | 'H', 1, RTS_CONTROL_HANDSHAKE, 0, 0}};  // only the low 8 bits count
    DCB open = Device();
    for (const auto& earlier : modes) {
        for (auto [letter, outxCtsFlow, rtsControl, inX, outX] : modes) {
            SioSetFlow(kPort, earlier.letter);
            EXPECT_EQ(SioSetFlow(kPort, letter), 1);
            DCB now = Device();
            EXPECT_EQ(now.fOutxCtsFlow, outxCtsFlow);
            EXPECT_EQ(now.fRtsControl, rtsControl);
            EXPECT_EQ(now.fInX, inX);
            EXPECT_EQ(now.fOutX, outX);
            EXPECT_TRUE(SameApartFrom(now, open,
                                      [](DCB& d) {
                                          d.fOutxCtsFlow = 0;
                                          d.fRtsControl = 0;
                                          d.fInX = 0;
                                          d.fOutX = 0;
                                      }))
                << earlier.letter << " then " << letter;
        }
    }
}

// The driver itself refuses 1.5 stop bits with 8 data bits, as Windows does.
// Each refusal is reported with the system's error, no line is raised after
// it, and the next call sends only what the device held plus its own change.
TEST_F(DriverPort, RefusalsAreReportedAndNotSentAgain) {
    SioLineDTR(kPort, 'S');
    const DCB held = Device();
    Recorder::escapes.clear();
    sio::lastWinError = 0;
    EXPECT_EQ(SioSetParams(kPort, SIO_PARITY_NONE, SIO_STOP_1_5, 8), SIO_WIN_ERROR);
    EXPECT_EQ(SioWinError(nullptr, -1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(portTable[kPort].dataMask, 0xFF);
    EXPECT_EQ(memcmp(portTable[kPort].dcb, &held, sizeof held), 0);
    EXPECT_NE(SioSetBaud(kPort, 5), 0);
    EXPECT_EQ(Device().StopBits, SIO_STOP_1);
    EXPECT_EQ(Device().BaudRate, 9600u);

    Recorder::stateResult = FALSE;
    EXPECT_EQ(SioSetBaud(kPort, 10), 0);
    EXPECT_EQ(SioSetParams(kPort, SIO_PARITY_ODD, SIO_STOP_2, 7), SIO_WIN_ERROR);
    EXPECT_EQ(SioSetFlow(kPort, 'S'), SIO_WIN_ERROR);
    EXPECT_TRUE(Recorder::escapes.empty());
    Recorder::stateResult = TRUE;
    EXPECT_EQ(SioSetFlow(kPort, 'N'), 1);
    DCB now = Device();
    EXPECT_EQ(now.BaudRate, 9600u);
    EXPECT_EQ(now.Parity, SIO_PARITY_NONE);
    EXPECT_EQ(now.ByteSize, 8);
}

// The names of sio.h carry the system's values.
static_assert(SIO_EV_RXCHAR == EV_RXCHAR && SIO_EV_RXFLAG == EV_RXFLAG && SIO_EV_TXEMPTY == EV_TXEMPTY &&
              SIO_EV_CTS == EV_CTS && SIO_EV_DSR == EV_DSR && SIO_EV_RLSD == EV_RLSD &&
              SIO_EV_BREAK == EV_BREAK && SIO_EV_ERR == EV_ERR && SIO_EV_RING == EV_RING);
static_assert(SIO_CE_RXOVER == CE_RXOVER && SIO_CE_OVERRUN == CE_OVERRUN && SIO_CE_RXPARITY == CE_RXPARITY &&
              SIO_CE_FRAME == CE_FRAME && SIO_CE_BREAK == CE_BREAK && SIO_CE_TXFULL == CE_TXFULL);
static_assert(SIO_PARITY_NONE == NOPARITY && SIO_PARITY_ODD == ODDPARITY && SIO_PARITY_EVEN == EVENPARITY &&
              SIO_PARITY_MARK == MARKPARITY && SIO_PARITY_SPACE == SPACEPARITY);
static_assert(SIO_STOP_1 == ONESTOPBIT && SIO_STOP_1_5 == ONE5STOPBITS && SIO_STOP_2 == TWOSTOPBITS);

TEST_F(DriverPort, CommandedLinesAreRaisedAgainAfterAnAcceptedChange) {
    int (*const changes[])(int) = {[](int p) { return SioSetFlow(p, 'N'); },
                                   [](int p) { return SioSetParams(p, EVENPARITY, ONESTOPBIT, 7); }};
    const struct {
        BYTE lineBits;
        Escapes expected;
    } cases[] = {{0, {}},  // DTR and RTS were only enabled at open
                 {1, {SETDTR}},
                 {2, {SETRTS}},
                 {3, {SETDTR, SETRTS}}};
    for (auto change : changes) {
        for (const auto& c : cases) {
            portTable[kPort].lineBits = c.lineBits;
            Recorder::escapes.clear();
            change(kPort);
            EXPECT_EQ(Recorder::escapes, c.expected) << int(c.lineBits);
        }
    }
    // Open had them enabled; a change to DISABLE control drops them unless commanded.
    portTable[kPort].lineBits = 1;
    SioSetFlow(kPort, 'N');
    EXPECT_EQ(VirtualSerialDriver::ModemStatus(kFar), static_cast<DWORD>(MS_DSR_ON | MS_RLSD_ON));
}

TEST_F(DriverPort, LineCommandsAreRecordedEvenWhenTheDriverRefusesThem) {
    EXPECT_EQ(SioLineDTR(kPort, 'R'), 0);  // enabled at open, but never commanded
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
            Recorder::escapeResult = driver;
            Recorder::escapes.clear();
            EXPECT_EQ(call(kPort, letter), driver) << letter;
            EXPECT_EQ(Recorder::escapes, Escapes{escape}) << letter;
            EXPECT_EQ(SioLineDTR(kPort, 'R'), bitsAfter & 1) << letter;
            EXPECT_EQ(SioLineRTS(kPort, 'R'), bitsAfter & 2) << letter;
        }
    }
    Recorder::escapeResult = TRUE;
    SioLineRTS(kPort, 'S');
    ASSERT_NE(SioClosePort(kPort), 0);
    ASSERT_EQ(SioOpenPort(kPort, 1024, 1024), 0);
    EXPECT_EQ(SioLineRTS(kPort, 'R'), 2);  // the record survives close and open
}

// The word is written also on failure (every input on): the library must not trust it then.
TEST_F(DriverPort, UnreadableModemStatusReadsAsOff) {
    sys.GetCommModemStatus = [](HANDLE, LPDWORD status) WINAPI -> BOOL { return *status = 0xF0, FALSE; };
    for (auto call : {SioModemCTS, SioModemDSR, SioModemRI, SioModemDCD}) EXPECT_EQ(call(kPort), 0);
}

TEST_F(DriverPort, UnknownLettersChangeNothing) {
    Forbid(sys.SetCommState);
    Forbid(sys.SetCommBreak);
    Forbid(sys.ClearCommBreak);
    Forbid(sys.ClearCommError);
    int (*const calls[])(int, int) = {SioSetFlow, SioLineDTR, SioLineRTS, SioBreakControl};
    std::vector<int> letters = {'X', 0, -1};
    for (int letter = 'a'; letter <= 'z'; ++letter) letters.push_back(letter);
    DCB start = Device();
    portTable[kPort].lineBits = 3;
    for (auto call : calls)
        for (int letter : letters) EXPECT_EQ(call(kPort, letter), SIO_RANGE) << letter;
    EXPECT_TRUE(Recorder::escapes.empty());
    EXPECT_EQ(portTable[kPort].lineBits, 3);
    DCB now = Device();
    EXPECT_EQ(memcmp(&now, &start, sizeof start), 0);
}

class DriverLines : public DriverCable {};

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
    EXPECT_EQ(SioModemCTS(kFar), 16);     // the driver raises RTS while it can receive
    EXPECT_EQ(SioLineRTS(kEnd, 'C'), 0);  // and keeps it
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

// Over the virtual line: the library's port is COM3; bytes really arrive.
class LineSettings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SioOpenPort(kLinePort, 1024, 1024), 0); }
    void TearDown() override { SioClosePort(kLinePort); }
};

TEST_F(LineSettings, DataBitsMaskTheBytesReceived) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    HANDLE device = portTable[kLinePort].handle;
    do {  // until the line has been quiet for 100 ms: an earlier test's bytes may still come
        ::PurgeComm(device, PURGE_RXCLEAR);
    } while (WaitForQueued(device, 1, 100));
    // Each change also moves the stop bits: Wine's pty refuses a change of
    // the data bits alone (8N1 to 7N1), and a refusal now keeps the 8-bit mask.
    const struct {
        int stopBits, dataBits, mask;
    } cases[] = {{ONESTOPBIT, 5, 0x1F}, {TWOSTOPBITS, 7, 0x7F}, {ONESTOPBIT, 8, 0xFF}};
    for (auto [stopBits, dataBits, mask] : cases) {
        ASSERT_EQ(SioSetParams(kLinePort, NOPARITY, stopBits, dataBits), 0) << dataBits;
        ASSERT_TRUE(peer.Write("\xFF\xC1", 2));
        ASSERT_TRUE(WaitForQueued(device, 2, 2000));
        EXPECT_EQ(SioGetByte(kLinePort), 0xFF & mask) << dataBits;
        EXPECT_EQ(SioGetByte(kLinePort), 0xC1 & mask) << dataBits;
    }
}
