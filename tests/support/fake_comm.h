// The fake device of fake_device.h, extended with what the line-setting calls
// need and a pty cannot show (modem lines, breaks, DTR/RTS, refused settings):
// it records every DCB and escape code the library hands over, in order, and
// reports the results, modem status and line errors a test chooses. Install
// it inside a SysOverride scope.
#pragma once

#include <windows.h>

#include <vector>

struct FakeComm {
    // Reported to the library.
    static inline BOOL setCommStateResult = TRUE;
    static inline BOOL escapeResult = TRUE;
    static inline BOOL breakResult = TRUE;
    static inline BOOL modemStatusResult = TRUE;
    static inline DWORD modemStatus = 0;
    static inline BOOL clearErrorResult = TRUE;
    static inline DWORD pendingErrors = 0;  // handed out, then cleared, by ClearCommError
    static inline DWORD queuedBytes = 0;    // cbInQue of the COMSTAT it fills

    // Recorded from the library.
    static inline std::vector<DCB> dcbsSet;    // every DCB handed to SetCommState
    static inline std::vector<DWORD> escapes;  // every EscapeCommFunction code
    static inline int breaksSet = 0;
    static inline int breaksCleared = 0;
    static inline int errorReads = 0;  // ClearCommError calls

    static void Install();          // resets all of the above and routes the calls here
    static void ForgetCalls();      // clears the records, keeps what is reported
    static int OpenPort(int port);  // SioOpenPort with 1024-byte queues, then ForgetCalls
};
