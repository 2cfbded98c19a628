#include "released_handles.h"

#include <windows.h>

#include <mutex>
#include <set>

#include "sys_table.h"

namespace {

std::mutex listLock;
std::set<HANDLE> released;
long misuses = 0;

void CheckUse(HANDLE handle) {
    std::lock_guard<std::mutex> hold(listLock);
    if (released.count(handle)) ++misuses;
}

void Revive(HANDLE handle) {
    std::lock_guard<std::mutex> hold(listLock);
    released.erase(handle);
}

// One wrapper per table entry that takes a handle first.
template <auto Member>
struct UseGuard;
template <typename R, typename... Args, R (WINAPI* sio::SysTable::*Member)(HANDLE, Args...)>
struct UseGuard<Member> {
    static inline R(WINAPI* next)(HANDLE, Args...) = nullptr;
    static R WINAPI Call(HANDLE handle, Args... args) {
        CheckUse(handle);
        return next(handle, args...);
    }
    static void Install() {
        next = sio::sys.*Member;
        sio::sys.*Member = Call;
    }
};

// One wrapper per table entry that hands out a new handle.
template <auto Member>
struct CreateGuard;
template <typename... Args, HANDLE (WINAPI* sio::SysTable::*Member)(Args...)>
struct CreateGuard<Member> {
    static inline HANDLE(WINAPI* next)(Args...) = nullptr;
    static HANDLE WINAPI Call(Args... args) {
        HANDLE handle = next(args...);
        Revive(handle);
        return handle;
    }
    static void Install() {
        next = sio::sys.*Member;
        sio::sys.*Member = Call;
    }
};

decltype(sio::sys.CloseHandle) nextClose = nullptr;

BOOL WINAPI GuardedClose(HANDLE handle) {
    CheckUse(handle);
    BOOL closed = nextClose(handle);
    if (closed) {
        std::lock_guard<std::mutex> hold(listLock);
        released.insert(handle);
    }
    return closed;
}

}  // namespace

void ReleasedHandles::Install() {
    using sio::SysTable;
    {
        std::lock_guard<std::mutex> hold(listLock);
        released.clear();
        misuses = 0;
    }
    CreateGuard<&SysTable::CreateEventA>::Install();
    CreateGuard<&SysTable::CreateFileA>::Install();
    CreateGuard<&SysTable::CreateThread>::Install();
    UseGuard<&SysTable::SetEvent>::Install();
    UseGuard<&SysTable::ResetEvent>::Install();
    UseGuard<&SysTable::WaitForSingleObject>::Install();
    UseGuard<&SysTable::SetCommMask>::Install();
    UseGuard<&SysTable::WaitCommEvent>::Install();
    UseGuard<&SysTable::GetOverlappedResult>::Install();
    UseGuard<&SysTable::GetCommState>::Install();
    UseGuard<&SysTable::SetCommState>::Install();
    UseGuard<&SysTable::SetCommTimeouts>::Install();
    UseGuard<&SysTable::SetThreadPriority>::Install();
    UseGuard<&SysTable::ResumeThread>::Install();
    UseGuard<&SysTable::GetExitCodeThread>::Install();
    UseGuard<&SysTable::TerminateThread>::Install();
    nextClose = sio::sys.CloseHandle;
    sio::sys.CloseHandle = GuardedClose;
}

long ReleasedHandles::Misuses() {
    std::lock_guard<std::mutex> hold(listLock);
    return misuses;
}
