// The virtual null-modem lines of the test environment: COM3 <-> COM4 and
// COM5 <-> COM6 (socat pty pairs); COM9 never exists. Tests open the library
// side by port index and drive the far end with plain Win32 calls.
#pragma once

#include <windows.h>

#include <string>

constexpr int kLinePort = 2;     // COM3, opened through the library
constexpr int kPeerPort = 3;     // COM4, the far end of COM3
constexpr int kSecondPort = 4;   // COM5
constexpr int kSecondPeer = 5;   // COM6, the far end of COM5
constexpr int kMissingPort = 8;  // COM9: guaranteed not to exist

// The far end of a line, opened synchronously with short read time-outs.
class Peer {
public:
    explicit Peer(int portIndex);
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE handle() const { return handle_; }
    // Writes all bytes; true when the system took them all.
    bool Write(const void* data, DWORD count);
    bool Write(const std::string& bytes) { return Write(bytes.data(), static_cast<DWORD>(bytes.size())); }
    // Reads until count bytes arrived or timeoutMs passed; returns what came.
    std::string Read(DWORD count, DWORD timeoutMs);
    // Drops whatever either queue holds (bytes left by an earlier test).
    void Purge();

private:
    HANDLE handle_;
};

// Waits until the library side has at least count bytes queued (polling
// ClearCommError on the raw handle), or the time-out passed.
bool WaitForQueued(HANDLE handle, DWORD count, DWORD timeoutMs);

// "\\.\COMn" for a port index.
std::string DeviceName(int portIndex);
