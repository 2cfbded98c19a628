// Ports for the transfer tests: a fake port that looks open to the library
// with no device behind it (a made-up handle and the real events of an
// overlapped open), so fakes in the system-call table can drive every path;
// and the library side of the virtual line, opened in either mode.
#pragma once

#include <windows.h>

#include <string>

#include "param_names.h"

constexpr int kFakePort = 7;
extern const HANDLE kFakeDevice;

// Marks kFakePort open; synchronous mode creates no events, as the open does.
void OpenFakePort(bool synchronous);
// Opens kLinePort through the library (synchronous mode through oldWindows,
// as an old system would) and drops anything left in its queues.
bool OpenLibrarySide(bool synchronous);
// A GetOverlappedResult stand-in that reports the bytes the OVERLAPPED says
// were moved, as the system does once a request has ended.
BOOL WINAPI ResultFromInternalHigh(HANDLE, LPOVERLAPPED ov, LPDWORD moved, BOOL);
// Collects count bytes with SioReadBlock, or what came before the deadline.
std::string ReadBlocks(int port, size_t count, DWORD timeoutMs);
// Bytes that differ at every position of a 64 KB stretch and do not repeat
// with a period of 256, so a dropped or reordered chunk shows.
std::string Pattern(size_t count);
