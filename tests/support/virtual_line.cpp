#include "virtual_line.h"

#include <stdio.h>

std::string DeviceName(int portIndex) {
    char name[16];
    snprintf(name, sizeof name, "\\\\.\\COM%d", portIndex + 1);
    return name;
}

Peer::Peer(int portIndex) {
    handle_ = ::CreateFileA(DeviceName(portIndex).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ::GetCommState(handle_, &dcb);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fInX = 0;
    dcb.fOutX = 0;
    ::SetCommState(handle_, &dcb);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // reads return at once
    ::SetCommTimeouts(handle_, &timeouts);
    Purge();
}

Peer::~Peer() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
}

bool Peer::Write(const void* data, DWORD count) {
    const char* next = static_cast<const char*>(data);
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(handle_, next, count, &written, nullptr)) return false;
        next += written;
        count -= written;
    }
    return true;
}

std::string Peer::Read(DWORD count, DWORD timeoutMs) {
    std::string bytes;
    DWORD start = ::GetTickCount();
    char chunk[4096];
    while (bytes.size() < count) {
        DWORD want = count - static_cast<DWORD>(bytes.size());
        if (want > sizeof chunk) want = sizeof chunk;
        DWORD got = 0;
        if (!::ReadFile(handle_, chunk, want, &got, nullptr)) break;
        bytes.append(chunk, got);
        if (got == 0) {
            if (::GetTickCount() - start > timeoutMs) break;
            ::Sleep(1);
        }
    }
    return bytes;
}

void Peer::Purge() {
    char chunk[4096];
    DWORD got = 0;
    // A pty may hold more than PurgeComm drops: read until it is empty.
    ::PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    while (::ReadFile(handle_, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    }
}

bool WaitForQueued(HANDLE handle, DWORD count, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        COMSTAT stat{};
        DWORD errors = 0;
        if (::ClearCommError(handle, &errors, &stat) && stat.cbInQue >= count) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(1);
    }
}
