// Port tables, library-wide state, one-time initialisation, the port checks
// with which every per-port call begins, and the library's message boxes.
#include <stdio.h>

#include "sio_state.h"
#include "sys_table.h"

namespace sio {

SysTable sys;

PortEntry portTable[kPortCount];
PortIo ioTable[kPortCount];
DCB dcbTable[kPortCount];

std::atomic<int> initDone{kInitNone};
const int SioBaudTable[10] = {110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
int defaultBaud = 19200;
BYTE defaultParity = NOPARITY;
BYTE defaultStopBits = ONESTOPBIT;
BYTE defaultDataBits = 8;
BYTE dtrAtOpen = 0;
BYTE rtsAtOpen = 0;
BYTE resetDeviceAtOpen = 0;
BYTE tolerateSetupFailure = 1;
int messageBoxes = 1;
int oldWindows = 0;
std::atomic<int> syncMode{0};
ThreadWinError lastWinError;
std::atomic<int> threadsStarted{0};
std::atomic<int> threadsEnded{0};
std::atomic<int> closeFailures{0};
int spareCounter1 = 0;
int spareCounter2 = 0;
const unsigned short uartBase[4] = {0x3F8, 0x2F8, 0x3E8, 0x2E8};
char deviceName[12] = "\\\\.\\COM1";
COMSTAT commStat;
// Reads return at once with what has arrived; writes have no time-out.
const COMMTIMEOUTS openTimeouts = {MAXDWORD, 0, 0, 0, 0};

namespace {
// The slot of lastWinError; taken once for the process. Where the system has
// no slot left, the errors are kept in one word for every thread instead.
DWORD winErrorSlot = TLS_OUT_OF_INDEXES;
std::atomic<DWORD> sharedWinError{0};
std::atomic<bool> winErrorShared{false};
// Guards the copy into commStat, which two ports' calls may publish at once.
std::atomic_flag commStatBusy = ATOMIC_FLAG_INIT;
// How long a caller that finds the flag or the tables taken sleeps before it
// looks again. Not 0: Sleep(0) gives the processor only to threads of the
// same or a higher priority, so on one processor a higher-priority caller
// would starve the holder; any longer sleep lets every thread run.
constexpr DWORD kTakenRetryMs = 1;
}  // namespace

void StandardAssertReport(const char* expression, const char* file, int line) {
    fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, file, line);
    fflush(stderr);
}

int IsOldWindows() {
    DWORD version = sys.GetVersion();
    BYTE major = LOBYTE(LOWORD(version));
    BYTE minor = HIBYTE(LOWORD(version));
    return (major == 4 && minor == 0) ? 1 : 0;
}

// The first caller fills the tables; a caller on another thread that comes
// meanwhile waits until they are ready instead of finding them half done.
void LibraryInit() {
    if (initDone.load(std::memory_order_acquire) == kInitDone) return;
    int expected = kInitNone;
    if (!initDone.compare_exchange_strong(expected, kInitRunning)) {
        while (initDone.load(std::memory_order_acquire) != kInitDone) sys.Sleep(kTakenRetryMs);
        return;
    }
    oldWindows = IsOldWindows();
    if (winErrorSlot == TLS_OUT_OF_INDEXES) winErrorSlot = sys.TlsAlloc();
    for (int port = 0; port < kPortCount; ++port) {
        portTable[port].handle = INVALID_HANDLE_VALUE;
        portTable[port].lineBits = 0;
        portTable[port].pushback = 0;
        portTable[port].dcb = &dcbTable[port];
    }
    initDone.store(kInitDone, std::memory_order_release);
}

// Before the library's first call has taken the slot there is no failure
// to keep; the shared word holds what is assigned until then.
ThreadWinError& ThreadWinError::operator=(DWORD code) {
    // The code itself is the slot's value: nothing to allocate or free.
    LPVOID value = reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(code));
    if (winErrorShared || winErrorSlot == TLS_OUT_OF_INDEXES) {
        sharedWinError = code;
    } else if (!sys.TlsSetValue(winErrorSlot, value)) {
        winErrorShared = true;  // from now on for every thread, so reads and writes agree
        sharedWinError = code;
    }
    return *this;
}

ThreadWinError::operator DWORD() const {
    if (winErrorShared || winErrorSlot == TLS_OUT_OF_INDEXES) return sharedWinError;
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(sys.TlsGetValue(winErrorSlot)));
}

// Signed comparison on purpose: -1 and INT_MIN are as invalid as 256.
int CheckPort(int port) { return (port >= 0 && port < kPortCount) ? 0 : IE_BADID; }

int CheckOpenPort(int port) {
    if (CheckPort(port) != 0) return IE_BADID;
    LibraryInit();
    if (portTable[port].handle == INVALID_HANDLE_VALUE) return IE_NOPEN;
    return 0;
}

BOOL QueryCommStatus(HANDLE device, DWORD* errors, COMSTAT& status) {
    BOOL result = sys.ClearCommError(device, errors, &status);
    if (!result) return result;
    while (commStatBusy.test_and_set(std::memory_order_acquire)) sys.Sleep(kTakenRetryMs);
    commStat = status;
    commStatBusy.clear(std::memory_order_release);
    return result;
}

BOOL CloseCounted(HANDLE handle) {
    BOOL closed = sys.CloseHandle(handle);
    if (!closed) ++closeFailures;
    return closed;
}

int LibMessageBox(const char* text) {
    return sys.MessageBoxA(nullptr, text, "Info", MB_TASKMODAL | MB_ICONWARNING);
}

void LibErrorBox(const char* text, int code) {
    if (!messageBoxes) return;
    char message[128];
    snprintf(message, sizeof message, "Error %d : %s", code, text);
    LibMessageBox(message);
}

}  // namespace sio
