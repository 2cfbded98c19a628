// The Win32 types, values and calls that the library's units use, for a
// POSIX build. It stands in for the system's <windows.h> (this folder is on
// the include path only there), so the units compile unchanged; the calls are
// those of the system-call table, implemented over termios, poll and threads
// in posix_seam.cpp. They live in sio::posix and are brought into the global
// namespace only by name, so a program linked with the library never sees a
// CreateFileA of ours.
#pragma once

#include <stddef.h>
#include <stdint.h>

using BOOL = int;
using BYTE = unsigned char;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = unsigned int;
using LONGLONG = int64_t;
using DWORD64 = uint64_t;
using ULONGLONG = uint64_t;
using ULONG_PTR = uintptr_t;
using INT_PTR = intptr_t;
using LONG_PTR = intptr_t;
using SIZE_T = size_t;
using CHAR = char;
using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPCSTR = const char*;
using LPSTR = char*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;
using PBYTE = BYTE*;
using HANDLE = void*;
using HWND = void*;
using HMODULE = void*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0
#define MAXDWORD 0xFFFFFFFFu
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

#define LOBYTE(w) (static_cast<BYTE>(static_cast<DWORD>(w) & 0xFF))
#define HIBYTE(w) (static_cast<BYTE>((static_cast<DWORD>(w) >> 8) & 0xFF))
#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD>(l) >> 16) & 0xFFFF))
#define MAKELANGID(p, s) ((static_cast<WORD>(s) << 10) | static_cast<WORD>(p))
#define LANG_NEUTRAL 0x00
#define SUBLANG_SYS_DEFAULT 0x02

// Error codes: the system's errors are reported in Win32 terms (see
// posix_seam.cpp for the mapping from errno).
#define ERROR_SUCCESS 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_NOT_READY 21L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_BUSY 170L
#define ERROR_OPERATION_ABORTED 995L
#define ERROR_IO_PENDING 997L
#define ERROR_IO_DEVICE 1117L
#define ERROR_NOT_FOUND 1168L
#define ERROR_INVALID_DATA 13L

#define STATUS_WAIT_0 0x00000000u
#define STATUS_TIMEOUT 0x00000102u
#define STATUS_PENDING 0x00000103u
#define STATUS_CANCELLED 0xC0000120u
#define STILL_ACTIVE 259u
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64u
#define TLS_OUT_OF_INDEXES 0xFFFFFFFFu

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define OPEN_EXISTING 3u
#define FILE_FLAG_OVERLAPPED 0x40000000u
#define FILE_FLAG_NO_BUFFERING 0x20000000u
#define CREATE_SUSPENDED 0x4u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x4u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x200u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x1000u
#define MB_ICONWARNING 0x30u
#define MB_TASKMODAL 0x2000u
#define IDOK 1

// Line settings and comm events.
#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4
#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2
#define DTR_CONTROL_DISABLE 0x00
#define DTR_CONTROL_ENABLE 0x01
#define DTR_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_DISABLE 0x00
#define RTS_CONTROL_ENABLE 0x01
#define RTS_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_TOGGLE 0x03
#define EV_RXCHAR 0x0001
#define EV_RXFLAG 0x0002
#define EV_TXEMPTY 0x0004
#define EV_CTS 0x0008
#define EV_DSR 0x0010
#define EV_RLSD 0x0020
#define EV_BREAK 0x0040
#define EV_ERR 0x0080
#define EV_RING 0x0100
#define CE_RXOVER 0x0001
#define CE_OVERRUN 0x0002
#define CE_RXPARITY 0x0004
#define CE_FRAME 0x0008
#define CE_BREAK 0x0010
#define CE_TXFULL 0x0100
#define MS_CTS_ON 0x0010
#define MS_DSR_ON 0x0020
#define MS_RING_ON 0x0040
#define MS_RLSD_ON 0x0080
#define PURGE_TXABORT 0x0001
#define PURGE_RXABORT 0x0002
#define PURGE_TXCLEAR 0x0004
#define PURGE_RXCLEAR 0x0008
#define SETXOFF 1
#define SETXON 2
#define SETRTS 3
#define CLRRTS 4
#define SETDTR 5
#define CLRDTR 6
#define RESETDEV 7
#define SETBREAK 8
#define CLRBREAK 9

#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u
#define EXCEPTION_PRIV_INSTRUCTION 0xC0000096u
#define EXCEPTION_CONTINUE_EXECUTION (-1)
#define EXCEPTION_CONTINUE_SEARCH 0

struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using LPDCB = DCB*;

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;

struct COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
};
using LPCOMSTAT = COMSTAT*;

// Internal and InternalHigh are written by the port's I/O thread, InternalHigh
// first; Internal leaving STATUS_PENDING says the request is over.
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID);

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    PVOID ExceptionAddress;
};
struct CONTEXT {
    DWORD64 Rax;
    DWORD64 Rip;
    DWORD Eax;
    DWORD Eip;
};
struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    CONTEXT* ContextRecord;
};
using PVECTORED_EXCEPTION_HANDLER = LONG(CALLBACK*)(EXCEPTION_POINTERS*);

// The registry, as far as a device's key goes.
struct RegistryKey;
using HKEY = RegistryKey*;
using REGSAM = DWORD;
#define KEY_READ 0x20019u
#define REG_SZ 1u
#define REG_MULTI_SZ 7u

namespace sio {
namespace posix {

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                   DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE object);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED ov);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED ov);
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait);
BOOL CancelIo(HANDLE file);
BOOL CancelIoEx(HANDLE file, LPOVERLAPPED ov);

BOOL GetCommState(HANDLE file, LPDCB dcb);
BOOL SetCommState(HANDLE file, LPDCB dcb);
BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue);
BOOL PurgeComm(HANDLE file, DWORD flags);
BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT status);
BOOL EscapeCommFunction(HANDLE file, DWORD function);
BOOL GetCommModemStatus(HANDLE file, LPDWORD status);
BOOL SetCommBreak(HANDLE file);
BOOL ClearCommBreak(HANDLE file);
BOOL SetCommMask(HANDLE file, DWORD mask);
BOOL WaitCommEvent(HANDLE file, LPDWORD mask, LPOVERLAPPED ov);

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds);
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);
DWORD ResumeThread(HANDLE thread);
BOOL SetThreadPriority(HANDLE thread, int priority);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
BOOL TerminateThread(HANDLE thread, DWORD exitCode);
[[noreturn]] void ExitThread(DWORD exitCode);
BOOL GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* module);
BOOL FreeLibrary(HMODULE module);
[[noreturn]] void FreeLibraryAndExitThread(HMODULE module, DWORD exitCode);
void Sleep(DWORD milliseconds);
ULONGLONG GetTickCount64();
DWORD TlsAlloc();
LPVOID TlsGetValue(DWORD slot);
BOOL TlsSetValue(DWORD slot, LPVOID value);

// The ports the system has (posix_ports.cpp): COM names bound to device
// paths, and the serial devices of the kernel's device tree.
DWORD QueryDosDeviceA(LPCSTR name, LPSTR target, DWORD size);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegCloseKey(HKEY key);

DWORD GetVersion();
DWORD GetLastError();
void SetLastError(DWORD error);
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                     void* arguments);
int MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PVOID AddVectoredExceptionHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler);
ULONG RemoveVectoredExceptionHandler(PVOID handle);

}  // namespace posix
}  // namespace sio

using sio::posix::AddVectoredExceptionHandler;
using sio::posix::CancelIo;
using sio::posix::CancelIoEx;
using sio::posix::ClearCommBreak;
using sio::posix::ClearCommError;
using sio::posix::CloseHandle;
using sio::posix::CreateEventA;
using sio::posix::CreateFileA;
using sio::posix::CreateThread;
using sio::posix::EscapeCommFunction;
using sio::posix::ExitThread;
using sio::posix::FormatMessageA;
using sio::posix::FreeLibrary;
using sio::posix::FreeLibraryAndExitThread;
using sio::posix::GetCommModemStatus;
using sio::posix::GetCommState;
using sio::posix::GetCommTimeouts;
using sio::posix::GetExitCodeThread;
using sio::posix::GetLastError;
using sio::posix::GetModuleHandleExA;
using sio::posix::GetOverlappedResult;
using sio::posix::GetTickCount64;
using sio::posix::GetVersion;
using sio::posix::MessageBoxA;
using sio::posix::PostMessageA;
using sio::posix::PurgeComm;
using sio::posix::QueryDosDeviceA;
using sio::posix::ReadFile;
using sio::posix::RegCloseKey;
using sio::posix::RegQueryValueExA;
using sio::posix::RemoveVectoredExceptionHandler;
using sio::posix::ResetEvent;
using sio::posix::ResumeThread;
using sio::posix::SetCommBreak;
using sio::posix::SetCommMask;
using sio::posix::SetCommState;
using sio::posix::SetCommTimeouts;
using sio::posix::SetEvent;
using sio::posix::SetLastError;
using sio::posix::SetThreadPriority;
using sio::posix::SetupComm;
using sio::posix::Sleep;
using sio::posix::TerminateThread;
using sio::posix::TlsAlloc;
using sio::posix::TlsGetValue;
using sio::posix::TlsSetValue;
using sio::posix::WaitCommEvent;
using sio::posix::WaitForMultipleObjects;
using sio::posix::WaitForSingleObject;
using sio::posix::WriteFile;
