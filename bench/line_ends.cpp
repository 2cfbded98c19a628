#include "line_ends.h"

#include <string.h>

namespace bench {
namespace {

constexpr DWORD kWorkerBuffer = 1024 * 1024;

bool OpenOverlapped(HANDLE& handle, const char* deviceName) {
    handle = CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    COMMTIMEOUTS returnAtOnce{};
    returnAtOnce.ReadIntervalTimeout = MAXDWORD;
    return SetCommTimeouts(handle, &returnAtOnce) != FALSE;
}

}  // namespace

bool RawPort::Open(const char* deviceName) {
    readOv.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    writeOv.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!OpenOverlapped(handle, deviceName)) return false;
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
}

void RawPort::Close() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    CloseHandle(readOv.hEvent);
    CloseHandle(writeOv.hEvent);
    handle = INVALID_HANDLE_VALUE;
}

DWORD RawPort::Write(const void* data, DWORD count) {
    DWORD written = 0;
    if (WriteFile(handle, data, count, &written, &writeOv)) return written;
    if (GetLastError() != ERROR_IO_PENDING) return 0;
    GetOverlappedResult(handle, &writeOv, &written, TRUE);
    return written;
}

bool RawPort::UseTimeouts(const COMMTIMEOUTS& wanted) {
    if (memcmp(&inForce_, &wanted, sizeof wanted) == 0) return true;
    COMMTIMEOUTS copy = wanted;
    if (!SetCommTimeouts(handle, &copy)) return false;
    inForce_ = wanted;
    return true;
}

DWORD RawPort::WriteTimed(const void* data, DWORD count, DWORD timeoutMs) {
    COMMTIMEOUTS wanted = inForce_;
    wanted.WriteTotalTimeoutMultiplier = 0;
    wanted.WriteTotalTimeoutConstant = timeoutMs;
    if (!UseTimeouts(wanted)) return 0;
    return Write(data, count);
}

DWORD RawPort::ReadTimed(void* buffer, DWORD count, DWORD timeoutMs, bool clearErrors) {
    if (clearErrors) {
        DWORD errors = 0;
        COMSTAT stat;
        ClearCommError(handle, &errors, &stat);
    }
    COMMTIMEOUTS wanted = inForce_;
    wanted.ReadIntervalTimeout = wanted.ReadTotalTimeoutMultiplier = 0;
    wanted.ReadTotalTimeoutConstant = timeoutMs;
    if (!UseTimeouts(wanted)) return 0;
    DWORD got = 0;
    if (ReadFile(handle, buffer, count, &got, &readOv)) return got;
    if (GetLastError() != ERROR_IO_PENDING) return 0;
    if (WaitForSingleObject(readOv.hEvent, timeoutMs) != WAIT_OBJECT_0) CancelIoEx(handle, &readOv);
    GetOverlappedResult(handle, &readOv, &got, TRUE);
    return got;
}

DWORD RawPort::ReadArrived(void* buffer, DWORD size, bool clearErrors) {
    UseTimeouts(COMMTIMEOUTS{MAXDWORD, 0, 0, 0, 0});
    if (clearErrors) {
        DWORD errors = 0;
        COMSTAT stat;
        ClearCommError(handle, &errors, &stat);
    }
    DWORD got = 0;
    if (ReadFile(handle, buffer, size, &got, &readOv)) return got;
    if (GetLastError() != ERROR_IO_PENDING) return 0;
    CancelIoEx(handle, &readOv);
    GetOverlappedResult(handle, &readOv, &got, TRUE);  // the count also when aborted
    return got;
}

DWORD RawPort::Receive(void* buffer, DWORD count, DWORD timeoutMs) {
    UseTimeouts(COMMTIMEOUTS{MAXDWORD, 0, 0, 0, 0});
    char* into = static_cast<char*>(buffer);
    DWORD got = 0;
    DWORD start = GetTickCount();
    while (got < count && GetTickCount() - start <= timeoutMs) {
        DWORD chunk = 0;
        if (!ReadFile(handle, into + got, count - got, &chunk, &readOv)) {
            if (GetLastError() != ERROR_IO_PENDING) break;
            // A pending read here completes as soon as bytes arrive.
            if (WaitForSingleObject(readOv.hEvent, timeoutMs) != WAIT_OBJECT_0) CancelIoEx(handle, &readOv);
            GetOverlappedResult(handle, &readOv, &chunk, TRUE);
        }
        got += chunk;
    }
    return got;
}

bool PeerWorker::Start(const char* deviceName) {
    buffer_ = static_cast<char*>(VirtualAlloc(nullptr, kWorkerBuffer, MEM_COMMIT, PAGE_READWRITE));
    go_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!buffer_ || !go_ || !done_ || !port_.Open(deviceName)) return false;
    thread_ = CreateThread(nullptr, 0, &PeerWorker::Run, this, 0, nullptr);
    return thread_ != nullptr;
}

void PeerWorker::Stop() {
    if (thread_) {
        stopping_ = true;
        SetEvent(go_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    port_.Close();
    CloseHandle(go_);
    CloseHandle(done_);
    VirtualFree(buffer_, 0, MEM_RELEASE);
}

void PeerWorker::BeginReceive(DWORD count) {
    sending_ = false;
    count_ = count < kWorkerBuffer ? count : kWorkerBuffer;
    SetEvent(go_);
}

void PeerWorker::BeginSend(const void* data, DWORD count) {
    sending_ = true;
    source_ = data;
    count_ = count;
    SetEvent(go_);
}

DWORD PeerWorker::Wait() {
    WaitForSingleObject(done_, INFINITE);
    return moved_;
}

DWORD WINAPI PeerWorker::Run(LPVOID self) {
    auto& worker = *static_cast<PeerWorker*>(self);
    for (;;) {
        WaitForSingleObject(worker.go_, INFINITE);
        if (worker.stopping_) return 0;
        worker.moved_ = worker.sending_ ? worker.port_.Write(worker.source_, worker.count_)
                                        : worker.port_.Receive(worker.buffer_, worker.count_, 10000);
        SetEvent(worker.done_);
    }
}

}  // namespace bench
