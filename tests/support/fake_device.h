// A stand-in COM device behind the system-call table: CreateFileA hands out a
// real event handle (so closes and leaks are real and countable) and every
// communications call succeeds, recording what the library handed over. A
// test can make any one call fail with a chosen system error.
#pragma once

#include <windows.h>

#include <string>

enum class FakeCall {
    None,
    CreateFileA,
    GetCommTimeouts,
    GetCommState,
    SetCommState,
    SetupComm,
    EscapeCommFunction,
    SetCommTimeouts,
};

struct FakeDevice {
    static inline FakeCall failing = FakeCall::None;
    static inline DWORD failError = 0;
    static inline std::string lastName;
    static inline DWORD lastFlags = 0;
    static inline DCB lastDcb{};
    static inline int setCommStateCalls = 0;
    static inline COMMTIMEOUTS deviceTimeouts{};  // what GetCommTimeouts reports
    static inline COMMTIMEOUTS lastTimeouts{};    // what SetCommTimeouts got last
    static inline int setCommTimeoutsCalls = 0;
    static inline DWORD lastEscape = 0;
    static inline DWORD lastRxQueue = 0;
    static inline DWORD lastTxQueue = 0;

    // Installs the fakes (after HandleCounter::Install, if both are wanted,
    // so that the device handles are counted too).
    static void Install();
    static void Fail(FakeCall call, DWORD error) {
        failing = call;
        failError = error;
    }
};
