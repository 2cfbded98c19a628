// The library's one seam to the operating system: every Win32 call it makes
// goes through this table, so tests can make any call fail or report what a
// virtual line cannot (modem lines, breaks, old systems). The entries start
// as the real functions; calling through a pointer costs one indirect call.
#pragma once

#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>

namespace sio {

// Reports a failed internal assertion; the real one prints the runtime's
// standard "Assertion failed" report on stderr and returns, so the caller
// can fail cleanly instead of aborting the process.
using AssertReportFn = void (*)(const char* expression, const char* file, int line);
void StandardAssertReport(const char* expression, const char* file, int line);

// Reads one byte from an I/O port address by direct port input.
using PortInputFn = int (*)(unsigned short address);
int DirectPortInput(unsigned short address);

struct SysTable {
    // Files and handles.
    decltype(&::CreateFileA) CreateFileA = ::CreateFileA;
    decltype(&::CloseHandle) CloseHandle = ::CloseHandle;
    decltype(&::ReadFile) ReadFile = ::ReadFile;
    decltype(&::WriteFile) WriteFile = ::WriteFile;
    decltype(&::GetOverlappedResult) GetOverlappedResult = ::GetOverlappedResult;
    decltype(&::CancelIo) CancelIo = ::CancelIo;
    decltype(&::CancelIoEx) CancelIoEx = ::CancelIoEx;

    // Communications.
    decltype(&::GetCommState) GetCommState = ::GetCommState;
    decltype(&::SetCommState) SetCommState = ::SetCommState;
    decltype(&::GetCommTimeouts) GetCommTimeouts = ::GetCommTimeouts;
    decltype(&::SetCommTimeouts) SetCommTimeouts = ::SetCommTimeouts;
    decltype(&::SetupComm) SetupComm = ::SetupComm;
    decltype(&::PurgeComm) PurgeComm = ::PurgeComm;
    decltype(&::ClearCommError) ClearCommError = ::ClearCommError;
    decltype(&::EscapeCommFunction) EscapeCommFunction = ::EscapeCommFunction;
    decltype(&::GetCommModemStatus) GetCommModemStatus = ::GetCommModemStatus;
    decltype(&::SetCommBreak) SetCommBreak = ::SetCommBreak;
    decltype(&::ClearCommBreak) ClearCommBreak = ::ClearCommBreak;
    decltype(&::SetCommMask) SetCommMask = ::SetCommMask;
    decltype(&::WaitCommEvent) WaitCommEvent = ::WaitCommEvent;

    // Events and threads.
    decltype(&::CreateEventA) CreateEventA = ::CreateEventA;
    decltype(&::SetEvent) SetEvent = ::SetEvent;
    decltype(&::ResetEvent) ResetEvent = ::ResetEvent;
    decltype(&::WaitForSingleObject) WaitForSingleObject = ::WaitForSingleObject;
    decltype(&::WaitForMultipleObjects) WaitForMultipleObjects = ::WaitForMultipleObjects;
    decltype(&::CreateThread) CreateThread = ::CreateThread;
    decltype(&::ResumeThread) ResumeThread = ::ResumeThread;
    decltype(&::SetThreadPriority) SetThreadPriority = ::SetThreadPriority;
    decltype(&::GetExitCodeThread) GetExitCodeThread = ::GetExitCodeThread;
    decltype(&::TerminateThread) TerminateThread = ::TerminateThread;
    decltype(&::ExitThread) ExitThread = ::ExitThread;
    decltype(&::GetModuleHandleExA) GetModuleHandleExA = ::GetModuleHandleExA;
    decltype(&::FreeLibrary) FreeLibrary = ::FreeLibrary;
    decltype(&::FreeLibraryAndExitThread) FreeLibraryAndExitThread = ::FreeLibraryAndExitThread;
    decltype(&::Sleep) Sleep = ::Sleep;
    // The clock of every bounded wait: a Sleep may take longer than asked
    // (a whole timer tick), so bounds are measured, never counted in sleeps.
    decltype(&::GetTickCount64) GetTickCount64 = ::GetTickCount64;
    decltype(&::TlsAlloc) TlsAlloc = ::TlsAlloc;
    decltype(&::TlsGetValue) TlsGetValue = ::TlsGetValue;
    decltype(&::TlsSetValue) TlsSetValue = ::TlsSetValue;

    // The ports the system has, and what their devices are.
    decltype(&::QueryDosDeviceA) QueryDosDeviceA = ::QueryDosDeviceA;
    decltype(&::SetupDiGetClassDevsA) SetupDiGetClassDevsA = ::SetupDiGetClassDevsA;
    decltype(&::SetupDiEnumDeviceInfo) SetupDiEnumDeviceInfo = ::SetupDiEnumDeviceInfo;
    decltype(&::SetupDiGetDeviceRegistryPropertyA) SetupDiGetDeviceRegistryPropertyA =
        ::SetupDiGetDeviceRegistryPropertyA;
    decltype(&::SetupDiOpenDevRegKey) SetupDiOpenDevRegKey = ::SetupDiOpenDevRegKey;
    decltype(&::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList = ::SetupDiDestroyDeviceInfoList;
    decltype(&::RegQueryValueExA) RegQueryValueExA = ::RegQueryValueExA;
    decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;

    // System information, errors and the user.
    decltype(&::GetVersion) GetVersion = ::GetVersion;
    decltype(&::GetLastError) GetLastError = ::GetLastError;
    decltype(&::SetLastError) SetLastError = ::SetLastError;
    decltype(&::FormatMessageA) FormatMessageA = ::FormatMessageA;
    decltype(&::MessageBoxA) MessageBoxA = ::MessageBoxA;
    decltype(&::PostMessageA) PostMessageA = ::PostMessageA;
    decltype(&::AddVectoredExceptionHandler) AddVectoredExceptionHandler = ::AddVectoredExceptionHandler;
    decltype(&::RemoveVectoredExceptionHandler) RemoveVectoredExceptionHandler =
        ::RemoveVectoredExceptionHandler;

    // Runtime and processor.
    AssertReportFn AssertReport = StandardAssertReport;
    PortInputFn PortInput = DirectPortInput;
};

// The live table. Tests save a copy, replace entries and copy it back.
extern SysTable sys;

}  // namespace sio
