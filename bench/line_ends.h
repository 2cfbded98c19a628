// The raw Win32 side of the benchmark: the same COM3 device opened by hand
// the way the library opens it, and the far end COM4 with a worker thread
// that receives or sends a block on request, so that large transfers can
// pend on one side while the other side drains them.
#pragma once

#include <windows.h>

namespace bench {

// One end of the line opened for overlapped I/O with return-at-once reads.
struct RawPort {
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED readOv{};
    OVERLAPPED writeOv{};

    bool Open(const char* deviceName);
    void Close();
    // WriteFile, waiting for completion; the bytes written.
    DWORD Write(const void* data, DWORD count);
    // What has arrived, ending a read the driver leaves pending; with
    // clearErrors the line-error query that precedes a library read too.
    DWORD ReadArrived(void* buffer, DWORD size, bool clearErrors);
    // Reads until count bytes arrived or timeoutMs passed; the bytes read.
    DWORD Receive(void* buffer, DWORD count, DWORD timeoutMs);
    // As a program without the library does a timed exchange: the device's
    // own time-outs (set when they differ from the last call's), one
    // request, one wait; with clearErrors the line-error query that precedes
    // a library read too. The bytes moved.
    DWORD WriteTimed(const void* data, DWORD count, DWORD timeoutMs);
    DWORD ReadTimed(void* buffer, DWORD count, DWORD timeoutMs, bool clearErrors);

private:
    bool UseTimeouts(const COMMTIMEOUTS& wanted);
    COMMTIMEOUTS inForce_{MAXDWORD, 0, 0, 0, 0};
};

// The far end, served by its own thread.
class PeerWorker {
public:
    bool Start(const char* deviceName);
    void Stop();
    // Asks the worker to receive (or send) count bytes of its buffer.
    void BeginReceive(DWORD count);
    void BeginSend(const void* data, DWORD count);
    // Waits until the request is done; the bytes it moved.
    DWORD Wait();
    const char* received() const { return buffer_; }
    RawPort& port() { return port_; }

private:
    static DWORD WINAPI Run(LPVOID self);
    RawPort port_;
    HANDLE thread_ = nullptr;
    HANDLE go_ = nullptr;
    HANDLE done_ = nullptr;
    // Written by the caller before go_ is set, read by the worker after.
    bool sending_ = false;
    bool stopping_ = false;
    DWORD count_ = 0;
    const void* source_ = nullptr;
    // Written by the worker before done_ is set.
    DWORD moved_ = 0;
    char* buffer_ = nullptr;
};

}  // namespace bench
