// One wrapper per table entry, generated from the entry's type; what a
// failure looks like is listed per entry below. GetLastError and SetLastError
// are not wrapped (they carry the failure itself), nor is the clock
// (GetTickCount64, read in every bounded wait, cannot fail); calls that cannot
// fail (void ones, GetVersion) are counted but never failed.
#include "fault_layer.h"

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "sys_table.h"

namespace {

std::atomic<long> calls{0};
std::atomic<long> failAt{0};
std::atomic<bool> failed{false};
std::atomic<const char*> failedEntry{nullptr};
DWORD callerThread = 0;  // the thread that installed the layer: the scenario's
std::atomic<bool> failedOnCaller{false};
std::mutex liveLock;
std::map<HANDLE, const char*> live;  // each handle with the name its close fails under

// Counts the call; true when it is the one to fail.
bool FailsNow(const char* entry) {
    long n = ++calls;
    if (n != failAt.load()) return false;
    failedEntry = entry;
    failedOnCaller = ::GetCurrentThreadId() == callerThread;
    failed = true;
    return true;
}

void Created(HANDLE h, const char* closeName) {
    if (!h || h == INVALID_HANDLE_VALUE) return;
    std::lock_guard<std::mutex> hold(liveLock);
    live[h] = closeName;
}

const char* CloseName(HANDLE h) {
    std::lock_guard<std::mutex> hold(liveLock);
    auto found = live.find(h);
    return found == live.end() ? "CloseHandle" : found->second;
}

void Closed(HANDLE h) {
    std::lock_guard<std::mutex> hold(liveLock);
    live.erase(h);
}

template <auto Member>
struct Faulty;

template <typename R, typename... Args, R (WINAPI* sio::SysTable::*Member)(Args...)>
struct Faulty<Member> {
    static inline R(WINAPI* next)(Args...) = nullptr;
    static inline R failValue{};
    static inline DWORD error = 0;
    static inline const char* name = nullptr;
    static R WINAPI Call(Args... args) {
        if (FailsNow(name)) {
            ::SetLastError(error);
            return failValue;
        }
        return next(args...);
    }
    static void Install(const char* entry, R value, DWORD lastError) {
        name = entry;
        next = sio::sys.*Member;
        failValue = value;
        error = lastError;
        sio::sys.*Member = Call;
    }
};

// Entries that cannot fail: counted only.
template <auto Member>
struct Counted;

template <typename R, typename... Args, R (WINAPI* sio::SysTable::*Member)(Args...)>
struct Counted<Member> {
    static inline R(WINAPI* next)(Args...) = nullptr;
    static R WINAPI Call(Args... args) {
        ++calls;
        return next(args...);
    }
    static void Install() {
        next = sio::sys.*Member;
        sio::sys.*Member = Call;
    }
};

// The creators also record what they hand out.
template <auto Member>
struct Creator;

template <typename... Args, HANDLE (WINAPI* sio::SysTable::*Member)(Args...)>
struct Creator<Member> {
    static inline HANDLE(WINAPI* next)(Args...) = nullptr;
    static inline HANDLE failValue = nullptr;
    static inline DWORD error = 0;
    static inline const char* name = nullptr;
    static inline const char* closeName = nullptr;
    static HANDLE WINAPI Call(Args... args) {
        if (FailsNow(name)) {
            ::SetLastError(error);
            return failValue;
        }
        HANDLE h = next(args...);
        Created(h, closeName);
        return h;
    }
    static void Install(const char* entry, const char* close, HANDLE value, DWORD lastError) {
        name = entry;
        closeName = close;
        next = sio::sys.*Member;
        failValue = value;
        error = lastError;
        sio::sys.*Member = Call;
    }
};

decltype(sio::sys.CloseHandle) nextClose = nullptr;

// A failed close still releases the handle, as the system does for every
// valid handle: the failure is only in what the caller is told.
BOOL WINAPI FaultyClose(HANDLE h) {
    bool fail = FailsNow(CloseName(h));
    BOOL closed = nextClose(h);
    if (closed) Closed(h);
    if (!fail) return closed;
    ::SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

// Every entry of the table has its line in Install; a new entry must get one.
static_assert(sizeof(sio::SysTable) == 57 * sizeof(void*), "a new table entry needs its failure in Install");

// Copies of the handles of the threads started since the install, so that
// a run can wait for their end after the library has closed its own.
std::mutex threadsLock;
std::vector<HANDLE> threads;
HANDLE neverRanCopy = nullptr;
decltype(sio::sys.CreateThread) nextCreateThread = nullptr;

HANDLE WINAPI RecordedCreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                   LPVOID parameter, DWORD flags, LPDWORD id) {
    HANDLE thread = nextCreateThread(sa, stack, start, parameter, flags, id);
    if (thread) {
        HANDLE self = ::GetCurrentProcess();
        HANDLE copy = nullptr;
        if (::DuplicateHandle(self, thread, self, &copy, SYNCHRONIZE, FALSE, 0)) {
            std::lock_guard<std::mutex> hold(threadsLock);
            threads.push_back(copy);
        }
    }
    return thread;
}

// A thread whose resume was failed never ran. The library then ends it, and
// 32-bit Wine at times brings the whole process down ending such a thread: it
// is left suspended there instead (it ends with the process), and the end is
// reported as done. 64-bit Wine ends it, and must: a thread left suspended
// can hold up its process's exit.
std::atomic<HANDLE> neverRan{nullptr};
decltype(sio::sys.ResumeThread) nextResume = nullptr;
decltype(sio::sys.TerminateThread) nextTerminate = nullptr;

DWORD WINAPI FaultyResume(HANDLE thread) {
    if (!FailsNow("ResumeThread")) return nextResume(thread);
    neverRan = thread;
    {
        std::lock_guard<std::mutex> hold(threadsLock);
        if (!threads.empty()) neverRanCopy = threads.back();
    }
    ::SetLastError(ERROR_ACCESS_DENIED);
    return static_cast<DWORD>(-1);
}

BOOL WINAPI FaultyTerminate(HANDLE thread, DWORD code) {
    if (FailsNow("TerminateThread")) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
#ifdef _WIN64
    return nextTerminate(thread, code);
#else
    return thread == neverRan.load() ? TRUE : nextTerminate(thread, code);
#endif
}

sio::PortInputFn nextPortInput = nullptr;
sio::AssertReportFn nextAssertReport = nullptr;

}  // namespace

void FaultLayer::Install(long n) {
    using sio::SysTable;
    calls = 0;
    failAt = n;
    failed = false;
    failedEntry = nullptr;
    failedOnCaller = false;
    callerThread = ::GetCurrentThreadId();
    {
        std::lock_guard<std::mutex> hold(liveLock);
        live.clear();
    }
    const DWORD kDevice = ERROR_GEN_FAILURE;  // what a failing driver reports
    Creator<&SysTable::CreateFileA>::Install("CreateFileA", "CloseHandle(device)", INVALID_HANDLE_VALUE,
                                             ERROR_ACCESS_DENIED);
    Creator<&SysTable::CreateEventA>::Install("CreateEventA", "CloseHandle(event)", nullptr,
                                              ERROR_NOT_ENOUGH_MEMORY);
    nextCreateThread = sio::sys.CreateThread;  // below the layer: the walk's own failures come first
    sio::sys.CreateThread = RecordedCreateThread;
    Creator<&SysTable::CreateThread>::Install("CreateThread", "CloseHandle(thread)", nullptr,
                                              ERROR_NOT_ENOUGH_MEMORY);
    nextClose = sio::sys.CloseHandle;
    sio::sys.CloseHandle = FaultyClose;
    Faulty<&SysTable::ReadFile>::Install("ReadFile", FALSE, kDevice);
    Faulty<&SysTable::WriteFile>::Install("WriteFile", FALSE, kDevice);
    Faulty<&SysTable::GetOverlappedResult>::Install("GetOverlappedResult", FALSE, ERROR_IO_DEVICE);
    Faulty<&SysTable::CancelIo>::Install("CancelIo", FALSE, ERROR_INVALID_HANDLE);
    Faulty<&SysTable::CancelIoEx>::Install("CancelIoEx", FALSE, ERROR_INVALID_HANDLE);
    Faulty<&SysTable::GetCommState>::Install("GetCommState", FALSE, kDevice);
    Faulty<&SysTable::SetCommState>::Install("SetCommState", FALSE, ERROR_INVALID_PARAMETER);
    Faulty<&SysTable::GetCommTimeouts>::Install("GetCommTimeouts", FALSE, kDevice);
    Faulty<&SysTable::SetCommTimeouts>::Install("SetCommTimeouts", FALSE, ERROR_INVALID_PARAMETER);
    Faulty<&SysTable::SetupComm>::Install("SetupComm", FALSE, ERROR_NOT_ENOUGH_MEMORY);
    Faulty<&SysTable::PurgeComm>::Install("PurgeComm", FALSE, kDevice);
    Faulty<&SysTable::ClearCommError>::Install("ClearCommError", FALSE, kDevice);
    Faulty<&SysTable::EscapeCommFunction>::Install("EscapeCommFunction", FALSE, ERROR_INVALID_PARAMETER);
    Faulty<&SysTable::GetCommModemStatus>::Install("GetCommModemStatus", FALSE, ERROR_NOT_SUPPORTED);
    Faulty<&SysTable::SetCommBreak>::Install("SetCommBreak", FALSE, kDevice);
    Faulty<&SysTable::ClearCommBreak>::Install("ClearCommBreak", FALSE, kDevice);
    Faulty<&SysTable::SetCommMask>::Install("SetCommMask", FALSE, kDevice);
    Faulty<&SysTable::WaitCommEvent>::Install("WaitCommEvent", FALSE, kDevice);
    Faulty<&SysTable::SetEvent>::Install("SetEvent", FALSE, ERROR_INVALID_HANDLE);
    Faulty<&SysTable::ResetEvent>::Install("ResetEvent", FALSE, ERROR_INVALID_HANDLE);
    Faulty<&SysTable::WaitForSingleObject>::Install("WaitForSingleObject", WAIT_FAILED, ERROR_INVALID_HANDLE);
    neverRan = nullptr;
    nextResume = sio::sys.ResumeThread;
    sio::sys.ResumeThread = FaultyResume;
    Faulty<&SysTable::SetThreadPriority>::Install("SetThreadPriority", FALSE, ERROR_ACCESS_DENIED);
    Faulty<&SysTable::GetExitCodeThread>::Install("GetExitCodeThread", FALSE, ERROR_INVALID_HANDLE);
    nextTerminate = sio::sys.TerminateThread;
    sio::sys.TerminateThread = FaultyTerminate;
    Faulty<&SysTable::FormatMessageA>::Install("FormatMessageA", 0, ERROR_MR_MID_NOT_FOUND);
    Faulty<&SysTable::MessageBoxA>::Install("MessageBoxA", 0, ERROR_NOT_ENOUGH_MEMORY);
    Faulty<&SysTable::PostMessageA>::Install("PostMessageA", FALSE, ERROR_NOT_ENOUGH_QUOTA);
    Faulty<&SysTable::AddVectoredExceptionHandler>::Install("AddVectoredExceptionHandler", nullptr,
                                                            ERROR_NOT_ENOUGH_MEMORY);
    Faulty<&SysTable::RemoveVectoredExceptionHandler>::Install("RemoveVectoredExceptionHandler", 0,
                                                               ERROR_INVALID_PARAMETER);
    Faulty<&SysTable::GetModuleHandleExA>::Install("GetModuleHandleExA", FALSE, ERROR_MOD_NOT_FOUND);
    Faulty<&SysTable::FreeLibrary>::Install("FreeLibrary", FALSE, ERROR_INVALID_HANDLE);
    Faulty<&SysTable::WaitForMultipleObjects>::Install("WaitForMultipleObjects", WAIT_FAILED,
                                                       ERROR_INVALID_HANDLE);
    Faulty<&SysTable::TlsSetValue>::Install("TlsSetValue", FALSE, ERROR_INVALID_PARAMETER);
    Faulty<&SysTable::QueryDosDeviceA>::Install("QueryDosDeviceA", 0, ERROR_FILE_NOT_FOUND);
    Faulty<&SysTable::SetupDiGetClassDevsA>::Install("SetupDiGetClassDevsA", INVALID_HANDLE_VALUE,
                                                     ERROR_NOT_ENOUGH_MEMORY);
    Faulty<&SysTable::SetupDiEnumDeviceInfo>::Install("SetupDiEnumDeviceInfo", FALSE, ERROR_NO_MORE_ITEMS);
    Faulty<&SysTable::SetupDiGetDeviceRegistryPropertyA>::Install("SetupDiGetDeviceRegistryPropertyA", FALSE,
                                                                  ERROR_INVALID_DATA);
    Faulty<&SysTable::SetupDiOpenDevRegKey>::Install(
        "SetupDiOpenDevRegKey", static_cast<HKEY>(INVALID_HANDLE_VALUE), ERROR_KEY_DOES_NOT_EXIST);
    Faulty<&SysTable::SetupDiDestroyDeviceInfoList>::Install("SetupDiDestroyDeviceInfoList", FALSE,
                                                             ERROR_INVALID_HANDLE);
    Faulty<&SysTable::RegQueryValueExA>::Install("RegQueryValueExA", ERROR_FILE_NOT_FOUND,
                                                 ERROR_FILE_NOT_FOUND);
    Faulty<&SysTable::RegCloseKey>::Install("RegCloseKey", ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE);
    Counted<&SysTable::TlsAlloc>::Install();
    Counted<&SysTable::TlsGetValue>::Install();
    Counted<&SysTable::Sleep>::Install();
    Counted<&SysTable::ExitThread>::Install();
    Counted<&SysTable::FreeLibraryAndExitThread>::Install();
    Counted<&SysTable::GetVersion>::Install();
    // The two entries that are not system calls: the port read counts as
    // refused when it fails, the assertion report only counts.
    nextPortInput = sio::sys.PortInput;
    sio::sys.PortInput = [](unsigned short address) {
        return FailsNow("PortInput") ? -1 : nextPortInput(address);
    };
    nextAssertReport = sio::sys.AssertReport;
    sio::sys.AssertReport = [](const char* expression, const char* file, int line) {
        ++calls;
        nextAssertReport(expression, file, line);
    };
}

void FaultLayer::Disarm() { failAt = 0; }

void FaultLayer::AwaitThreads(DWORD timeoutMs) {
    std::lock_guard<std::mutex> hold(threadsLock);
    for (HANDLE thread : threads) {
        if (thread != neverRanCopy) ::WaitForSingleObject(thread, timeoutMs);
        ::CloseHandle(thread);
    }
    threads.clear();
    neverRanCopy = nullptr;
}

long FaultLayer::Calls() { return calls; }

bool FaultLayer::Failed() { return failed; }

const char* FaultLayer::FailedEntry() { return failedEntry; }

bool FaultLayer::FailedOnCaller() { return failedOnCaller; }

int FaultLayer::LiveHandles() {
    std::lock_guard<std::mutex> hold(liveLock);
    return static_cast<int>(live.size());
}
