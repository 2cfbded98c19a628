// Line settings and control lines of an open port. Every setting call writes
// its own fields into the port's stored DCB and hands the whole copy to the
// device, so what earlier calls set stays in force; a refused change is taken
// back out of the copy. DTR and RTS that the caller raised are raised again
// after a framing or flow change.
#include "sio_state.h"
#include "sys_table.h"

namespace sio {
namespace {

constexpr BYTE kDtrBit = 1;  // lineBits: DTR raised by SioLineDTR
constexpr BYTE kRtsBit = 2;  // lineBits: RTS raised by SioLineRTS

// Codes 0..9 name the rates of SioBaudTable; every other value, a negative
// one included (it compares as a large unsigned value), is the rate itself.
DWORD RateFromCode(int baud) {
    DWORD code = static_cast<DWORD>(baud);
    return code < 10 ? static_cast<DWORD>(SioBaudTable[code]) : code;
}

// Letter arguments count only by their low 8 bits.
int LetterOf(int letter) { return letter & 0xFF; }

struct FlowMode {
    int letter;
    unsigned outxCtsFlow : 1;
    unsigned rtsControl : 2;
    unsigned inX : 1;
    unsigned outX : 1;
};

constexpr FlowMode kFlowModes[] = {
    {'H', 1, RTS_CONTROL_HANDSHAKE, 0, 0},  // CTS/RTS handshake
    {'N', 0, RTS_CONTROL_DISABLE, 0, 0},    // no flow control
    {'S', 0, RTS_CONTROL_DISABLE, 1, 1},    // XON/XOFF both ways
};

const FlowMode* FindFlowMode(int letter) {
    for (const FlowMode& mode : kFlowModes)
        if (mode.letter == letter) return &mode;
    return nullptr;
}

// SetCommState has just put DTR and RTS in the states the DCB's control modes
// give them; raise again those the caller raised. Results are not looked at:
// under hardware handshake the driver may refuse SETRTS, and that is fine.
void ReassertLines(const PortEntry& entry) {
    if (entry.lineBits & kDtrBit) sys.EscapeCommFunction(entry.handle, SETDTR);
    if (entry.lineBits & kRtsBit) sys.EscapeCommFunction(entry.handle, SETRTS);
}

// Hands the port's settings copy to the device. A refusal keeps the system's
// error and makes the copy what the device holds again (asked anew, or the
// copy from before the change when the device cannot be asked), so the next
// setting call does not send the refused values once more.
BOOL ApplyDcb(PortEntry& entry, const DCB& before) {
    if (sys.SetCommState(entry.handle, entry.dcb)) return TRUE;
    lastWinError = sys.GetLastError();
    DCB held = before;
    held.DCBlength = sizeof(DCB);
    if (sys.GetCommState(entry.handle, &held))
        *entry.dcb = held;
    else
        *entry.dcb = before;
    entry.dataMask = static_cast<BYTE>((1u << entry.dcb->ByteSize) - 1u);
    return FALSE;
}

int ApplyDcbAndReassertLines(PortEntry& entry, const DCB& before) {
    if (!ApplyDcb(entry, before)) return SIO_WIN_ERROR;
    ReassertLines(entry);
    return 0;
}

// SioLineDTR and SioLineRTS: the bit records the command even when the
// driver refuses it; "R" reports that record, not the line.
int ControlLine(int port, int letter, BYTE bit, DWORD setCode, DWORD clearCode) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    PortEntry& entry = portTable[port];
    switch (LetterOf(letter)) {
        case 'S':
            entry.lineBits = static_cast<BYTE>(entry.lineBits | bit);
            return sys.EscapeCommFunction(entry.handle, setCode);  // nonzero done, 0 refused
        case 'C':
            entry.lineBits = static_cast<BYTE>(entry.lineBits & ~bit);
            return sys.EscapeCommFunction(entry.handle, clearCode);
        case 'R': return entry.lineBits & bit;
        default: return SIO_RANGE;
    }
}

int ModemInput(int port, DWORD mask) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    DWORD status = 0;
    // A port without modem lines (or a driver that cannot tell) refuses the
    // query; its inputs then read as off rather than as whatever the word held.
    if (!sys.GetCommModemStatus(portTable[port].handle, &status)) return 0;
    return static_cast<int>(status & mask);
}

}  // namespace
}  // namespace sio

using namespace sio;

extern "C" int SioSetBaud(int port, int baud) {
    DWORD rate = RateFromCode(baud);
    if (port == -1) {
        defaultBaud = static_cast<int>(rate);
        return 0;
    }
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    PortEntry& entry = portTable[port];
    const DCB before = *entry.dcb;
    entry.dcb->BaudRate = rate;
    return ApplyDcb(entry, before);  // nonzero taken, 0 refused
}

extern "C" int SioSetParams(int port, int parity, int stopBits, int dataBits) {
    if (parity < NOPARITY || parity > SPACEPARITY) return SIO_RANGE;
    if (stopBits < ONESTOPBIT || stopBits > TWOSTOPBITS) return SIO_RANGE;
    if (dataBits < 5 || dataBits > 8) return SIO_RANGE;
    if (port == -1) {
        defaultParity = static_cast<BYTE>(parity);
        defaultStopBits = static_cast<BYTE>(stopBits);
        defaultDataBits = static_cast<BYTE>(dataBits);
        return 0;
    }
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    PortEntry& entry = portTable[port];
    const DCB before = *entry.dcb;
    entry.dcb->Parity = static_cast<BYTE>(parity);
    entry.dcb->StopBits = static_cast<BYTE>(stopBits);
    entry.dcb->ByteSize = static_cast<BYTE>(dataBits);
    entry.dataMask = static_cast<BYTE>((1u << dataBits) - 1u);
    return ApplyDcbAndReassertLines(entry, before);
}

extern "C" int SioSetFlow(int port, int letter) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    const FlowMode* mode = FindFlowMode(LetterOf(letter));
    if (!mode) return SIO_RANGE;
    PortEntry& entry = portTable[port];
    const DCB before = *entry.dcb;
    entry.dcb->fOutxCtsFlow = mode->outxCtsFlow;
    entry.dcb->fRtsControl = mode->rtsControl;
    entry.dcb->fInX = mode->inX;
    entry.dcb->fOutX = mode->outX;
    return ApplyDcbAndReassertLines(entry, before) == 0 ? 1 : SIO_WIN_ERROR;
}

extern "C" int SioLineDTR(int port, int letter) { return ControlLine(port, letter, kDtrBit, SETDTR, CLRDTR); }

extern "C" int SioLineRTS(int port, int letter) { return ControlLine(port, letter, kRtsBit, SETRTS, CLRRTS); }

extern "C" int SioModemCTS(int port) { return ModemInput(port, MS_CTS_ON); }
extern "C" int SioModemDSR(int port) { return ModemInput(port, MS_DSR_ON); }
extern "C" int SioModemRI(int port) { return ModemInput(port, MS_RING_ON); }
extern "C" int SioModemDCD(int port) { return ModemInput(port, MS_RLSD_ON); }

extern "C" int SioBreakControl(int port, int letter) {
    int check = CheckOpenPort(port);
    if (check != 0) return check;
    HANDLE device = portTable[port].handle;
    switch (LetterOf(letter)) {
        case 'A': return sys.SetCommBreak(device);  // nonzero done, 0 refused
        case 'C': return sys.ClearCommBreak(device);
        case 'D': {
            // Reading the error word clears every pending line-error flag of
            // the device, the break flag with the others.
            DWORD errors = 0;
            COMSTAT status;
            if (!QueryCommStatus(device, &errors, status)) return 0;
            return static_cast<int>(errors & CE_BREAK);
        }
        default: return SIO_RANGE;
    }
}
