#include "transfer_ports.h"

#include "open_close.h"
#include "sio.h"
#include "sio_state.h"
#include "virtual_line.h"

const HANDLE kFakeDevice = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5A50));

void OpenFakePort(bool synchronous) {
    sio::LibraryInit();
    sio::portTable[kFakePort].handle = kFakeDevice;
    sio::portTable[kFakePort].dataMask = 0xFF;
    sio::PortIoSetup(kFakePort, kFakeDevice, synchronous ? 1 : 0);
}

bool OpenLibrarySide(bool synchronous) {
    sio::LibraryInit();
    sio::oldWindows = synchronous ? 1 : 0;
    if (SioOpenPort(kLinePort, 4096, 4096) != 0) return false;
    SioFlushRx(kLinePort);
    return true;
}

std::string ReadBlocks(int port, size_t count, DWORD timeoutMs) {
    std::string bytes;
    char chunk[4096];  // its own: two threads may read two lines at once
    DWORD start = ::GetTickCount();
    while (bytes.size() < count && ::GetTickCount() - start <= timeoutMs) {
        int got = SioReadBlock(port, chunk, sizeof chunk);
        if (got > 0) bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes;
}

std::string Pattern(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 31 + (i >> 8)) & 0xFF);
    return bytes;
}

BOOL WINAPI ResultFromInternalHigh(HANDLE, LPOVERLAPPED ov, LPDWORD moved, BOOL) {
    *moved = static_cast<DWORD>(ov->InternalHigh);
    return TRUE;
}
