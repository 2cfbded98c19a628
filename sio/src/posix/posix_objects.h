// Handles of the POSIX seam: a fixed table of objects (events, threads and
// open devices), no heap. A handle value names one object until it is closed
// and is not handed out again until the counter behind it wraps, so a value a
// caller kept after the close cannot name a new object at once.
#pragma once

#include <pthread.h>

#include "windows.h"

namespace sio {
namespace posix {

enum class Kind : unsigned char { kFree, kEvent, kThread, kDevice };

// A handle value for a new object of kind: 0 when the table is full.
// device is the device table's index for kDevice.
HANDLE NewObject(Kind kind, int device);
// The device index that handle names, -1 when it names no open device.
int DeviceOf(HANDLE handle);
// Sets the last error from errno (mapped to a Win32 code) and returns FALSE.
BOOL FailErrno(int error);
BOOL Fail(DWORD error);
// Milliseconds on the monotonic clock, rounded down. Deadlines and times
// they are measured from are taken rounded up (NowMsUp), so that a time-out
// compared with NowMs never ends early.
long long NowMs();
long long NowMsUp();
// Closes a device's descriptors and ends its I/O thread (posix_serial.cpp).
void CloseDevice(int device);
// The system's text for a Win32 code (errno's text where one maps), or null.
const char* ErrorText(DWORD code);
// Initialises a condition variable on the monotonic clock.
void InitMonotonicCond(pthread_cond_t& cond);
// Waits on cond until deadlineMs (monotonic; negative: no limit); false on time-out.
bool WaitUntil(pthread_cond_t& cond, pthread_mutex_t& mutex, long long deadlineMs);

}  // namespace posix
}  // namespace sio
