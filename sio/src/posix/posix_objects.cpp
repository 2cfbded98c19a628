// Events, threads, errors and the few calls without a POSIX meaning, for the
// POSIX seam. One mutex guards the object table and every event and thread
// state; waits sleep on each object's own condition variable. Lock order: a
// device's mutex may be held when an event is set, never the other way.
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "posix_calls.h"
#include "posix_objects.h"

namespace sio {
namespace posix {
namespace {

int RealOpen(const char* path, int flags) { return ::open(path, flags); }
int RealIoctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
int RealPipe(int fds[2]) { return ::pipe2(fds, O_NONBLOCK | O_CLOEXEC); }

}  // namespace

const PosixCalls kRealCalls = {RealOpen, ::close, RealIoctl, ::read,           ::write,
                               ::poll,   ::flock, RealPipe,  ::pthread_create, "/sys"};
PosixCalls os = kRealCalls;

namespace {

// Room for every port's device, its three events and its notification
// thread, with some to spare.
constexpr int kObjectCount = 2048;
// Handle values are multiples of 4 below 2^30, so that they read as positive
// 32-bit numbers, as Win32 handles do.
constexpr unsigned kSerialLimit = 1u << 28;
constexpr int kThreadStackSize = 128 * 1024;

struct Object {
    std::atomic<unsigned> serial;  // the handle's number, 0 while free
    Kind kind;
    int refs;         // the handle, and a thread's own run
    bool handleOpen;  // false once CloseHandle took the handle (a thread may still run)
    int device;       // kDevice: the device table's index
    pthread_cond_t changed;
    // Events.
    bool manualReset;
    bool signaled;
    // Threads.
    bool resumed;
    bool cancelled;  // terminated before it ran
    bool ended;
    DWORD exitCode;
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
};

Object objects[kObjectCount];
pthread_mutex_t objectsLock = PTHREAD_MUTEX_INITIALIZER;
pthread_once_t objectsOnce = PTHREAD_ONCE_INIT;
unsigned nextSerial = 1;
thread_local DWORD lastError = 0;
thread_local Object* currentThread = nullptr;

// Broadcast with every object's own: a wait on several objects waits on it.
pthread_cond_t anyChanged;

void InitObjects() {
    for (Object& object : objects) InitMonotonicCond(object.changed);
    InitMonotonicCond(anyChanged);
}

// Wakes the waits on object (objectsLock held).
void Changed(Object& object) {
    pthread_cond_broadcast(&object.changed);
    pthread_cond_broadcast(&anyChanged);
}

struct Locked {
    Locked() { pthread_mutex_lock(&objectsLock); }
    ~Locked() { pthread_mutex_unlock(&objectsLock); }
};

Object* Find(HANDLE handle, Kind kind) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value == 0 || value % 4 != 0 || value / 4 >= kSerialLimit) return nullptr;
    const unsigned serial = static_cast<unsigned>(value / 4);
    Object& object = objects[serial % kObjectCount];
    if (object.serial.load() != serial || !object.handleOpen) return nullptr;
    if (kind != Kind::kFree && object.kind != kind) return nullptr;
    return &object;
}

// Under objectsLock.
void Release(Object& object) {
    if (--object.refs > 0) return;
    object.kind = Kind::kFree;
    object.handleOpen = false;
    object.serial = 0;
}

// Under objectsLock.
void FinishThread(Object& thread, DWORD exitCode) {
    thread.ended = true;
    thread.exitCode = exitCode;
    Changed(thread);
    Release(thread);
}

void* ThreadMain(void* argument) {
    Object& thread = *static_cast<Object*>(argument);
    pthread_mutex_lock(&objectsLock);
    while (!thread.resumed) pthread_cond_wait(&thread.changed, &objectsLock);
    const bool run = !thread.cancelled;
    pthread_mutex_unlock(&objectsLock);
    DWORD exitCode = 0;
    if (run) {
        currentThread = &thread;
        exitCode = thread.start(thread.parameter);
    }
    Locked hold;
    FinishThread(thread, exitCode);
    return nullptr;
}

struct ErrorPair {
    DWORD code;
    int error;
};

// Win32 code and errno; the first pair of a code gives its text, the first
// pair of an errno its code.
constexpr ErrorPair kErrors[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_FILE_NOT_FOUND, ENXIO},
    {ERROR_FILE_NOT_FOUND, ENODEV},
    {ERROR_PATH_NOT_FOUND, ENOTDIR},
    {4, EMFILE},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_ACCESS_DENIED, EPERM},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_NOT_READY, EAGAIN},
    {ERROR_INVALID_FUNCTION, ENOTTY},
    {ERROR_NOT_SUPPORTED, EOPNOTSUPP},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_BUSY, EBUSY},
    {ERROR_OPERATION_ABORTED, ECANCELED},
    {ERROR_IO_PENDING, EINPROGRESS},
    {ERROR_IO_DEVICE, EIO},
    {ERROR_SHARING_VIOLATION, EWOULDBLOCK},
};
// Codes for an errno without a Win32 counterpart: the customer bit, as Win32
// marks codes of its own.
constexpr DWORD kErrnoCode = 0x20000000u;

}  // namespace

void InitMonotonicCond(pthread_cond_t& cond) {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&cond, &attributes);
    pthread_condattr_destroy(&attributes);
}

bool WaitUntil(pthread_cond_t& cond, pthread_mutex_t& mutex, long long deadlineMs) {
    if (deadlineMs < 0) {
        pthread_cond_wait(&cond, &mutex);
        return true;
    }
    timespec until;
    until.tv_sec = static_cast<time_t>(deadlineMs / 1000);
    until.tv_nsec = static_cast<long>(deadlineMs % 1000) * 1000000L;
    return pthread_cond_timedwait(&cond, &mutex, &until) != ETIMEDOUT;
}

long long NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

long long NowMsUp() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + (now.tv_nsec + 999999) / 1000000;
}

HANDLE NewObject(Kind kind, int device) {
    pthread_once(&objectsOnce, InitObjects);
    Locked hold;
    for (int tries = 0; tries < kObjectCount; ++tries) {
        const unsigned serial = nextSerial;
        nextSerial = nextSerial + 1 < kSerialLimit ? nextSerial + 1 : 1;
        Object& object = objects[serial % kObjectCount];
        if (object.kind != Kind::kFree) continue;
        object.kind = kind;
        object.refs = 1;
        object.handleOpen = true;
        object.device = device;
        object.manualReset = object.signaled = false;
        object.resumed = object.cancelled = object.ended = false;
        object.exitCode = STILL_ACTIVE;
        object.serial = serial;
        return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(serial) * 4);
    }
    return nullptr;
}

int DeviceOf(HANDLE handle) {
    const Object* object = Find(handle, Kind::kDevice);
    return object ? object->device : -1;
}

BOOL Fail(DWORD error) {
    lastError = error;
    return FALSE;
}

BOOL FailErrno(int error) {
    for (const ErrorPair& pair : kErrors)
        if (pair.error == error) return Fail(pair.code);
    return Fail(kErrnoCode | static_cast<DWORD>(error));
}

const char* ErrorText(DWORD code) {
    if (code == ERROR_NOT_FOUND) return "Element not found";
    if (code & kErrnoCode) return strerror(static_cast<int>(code & ~kErrnoCode));
    for (const ErrorPair& pair : kErrors)
        if (pair.code == code) return strerror(pair.error);
    return nullptr;
}

BOOL CloseHandle(HANDLE handle) {
    pthread_once(&objectsOnce, InitObjects);
    pthread_mutex_lock(&objectsLock);
    Object* object = Find(handle, Kind::kFree);
    if (!object) {
        pthread_mutex_unlock(&objectsLock);
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (object->kind == Kind::kDevice) {
        // The device's thread sets events while it ends: not under this lock.
        const int device = object->device;
        object->handleOpen = false;  // no caller finds it any more, and the slot is not taken yet
        pthread_mutex_unlock(&objectsLock);
        CloseDevice(device);
        pthread_mutex_lock(&objectsLock);
        Release(*object);
    } else {
        object->handleOpen = false;
        Changed(*object);  // a wait on it ends
        Release(*object);
    }
    pthread_mutex_unlock(&objectsLock);
    return TRUE;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
    HANDLE event = NewObject(Kind::kEvent, -1);
    if (!event) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Locked hold;
    Object* object = Find(event, Kind::kEvent);
    object->manualReset = manualReset != FALSE;
    object->signaled = initialState != FALSE;
    return event;
}

BOOL SetEvent(HANDLE event) {
    Locked hold;
    Object* object = Find(event, Kind::kEvent);
    if (!object) return Fail(ERROR_INVALID_HANDLE);
    object->signaled = true;
    Changed(*object);
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    Locked hold;
    Object* object = Find(event, Kind::kEvent);
    if (!object) return Fail(ERROR_INVALID_HANDLE);
    object->signaled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

// Waits for any one of the objects (the library never waits for all of them:
// that is refused). Waits on one object use its own condition, on more the
// shared one.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    const long long deadline = milliseconds == INFINITE ? -1 : NowMsUp() + milliseconds;
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles || waitAll) {
        Fail(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    Locked hold;
    Object* waited[MAXIMUM_WAIT_OBJECTS];
    unsigned serials[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < count; ++i) {
        waited[i] = Find(handles[i], Kind::kFree);
        if (!waited[i] || waited[i]->kind == Kind::kDevice) {
            Fail(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        serials[i] = waited[i]->serial;
    }
    for (;;) {
        for (DWORD i = 0; i < count; ++i) {
            Object* object = waited[i];
            // Closed meanwhile: the wait fails instead of waiting on a free slot.
            if (object->serial != serials[i] || !object->handleOpen) {
                Fail(ERROR_INVALID_HANDLE);
                return WAIT_FAILED;
            }
            if (object->kind == Kind::kEvent && object->signaled) {
                if (!object->manualReset) object->signaled = false;
                return WAIT_OBJECT_0 + i;
            }
            if (object->kind == Kind::kThread && object->ended) return WAIT_OBJECT_0 + i;
        }
        if (deadline >= 0 && NowMs() >= deadline) return WAIT_TIMEOUT;
        WaitUntil(count == 1 ? waited[0]->changed : anyChanged, objectsLock, deadline);
    }
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD flags, LPDWORD threadId) {
    HANDLE handle = NewObject(Kind::kThread, -1);
    if (!handle) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    pthread_mutex_lock(&objectsLock);
    Object* thread = Find(handle, Kind::kThread);
    thread->refs = 2;  // the handle, and the run: whichever ends last frees the object
    thread->start = start;
    thread->parameter = parameter;
    thread->resumed = (flags & CREATE_SUSPENDED) == 0;
    pthread_mutex_unlock(&objectsLock);

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, kThreadStackSize);
    pthread_t id;
    const int error = os.threadCreate(&id, &attributes, ThreadMain, thread);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        Locked hold;
        thread->refs = 1;
        Release(*thread);
        FailErrno(error);
        return nullptr;
    }
    if (threadId) *threadId = static_cast<DWORD>(reinterpret_cast<uintptr_t>(handle));
    return handle;
}

DWORD ResumeThread(HANDLE handle) {
    Locked hold;
    Object* thread = Find(handle, Kind::kThread);
    if (!thread) {
        Fail(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    const DWORD before = thread->resumed ? 0 : 1;
    thread->resumed = true;
    Changed(*thread);
    return before;
}

BOOL SetThreadPriority(HANDLE handle, int) {
    Locked hold;
    return Find(handle, Kind::kThread) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    Locked hold;
    Object* thread = Find(handle, Kind::kThread);
    if (!thread) return Fail(ERROR_INVALID_HANDLE);
    *exitCode = thread->ended ? thread->exitCode : STILL_ACTIVE;
    return TRUE;
}

// Only a thread that has not begun to run can be ended from outside: a
// running one may hold a lock that would stay taken for ever.
BOOL TerminateThread(HANDLE handle, DWORD exitCode) {
    Locked hold;
    Object* thread = Find(handle, Kind::kThread);
    if (!thread) return Fail(ERROR_INVALID_HANDLE);
    if (thread->ended) return TRUE;
    if (thread->resumed) return Fail(ERROR_NOT_SUPPORTED);
    thread->cancelled = true;
    thread->resumed = true;
    thread->exitCode = exitCode;
    Changed(*thread);
    return TRUE;
}

void ExitThread(DWORD exitCode) {
    if (currentThread) {
        Locked hold;
        FinishThread(*currentThread, exitCode);
    }
    pthread_exit(nullptr);
}

// A library linked into the program (or loaded by it) stays loaded while its
// threads run: the module calls have nothing to hold.
BOOL GetModuleHandleExA(DWORD, LPCSTR, HMODULE* module) {
    *module = nullptr;
    return TRUE;
}

BOOL FreeLibrary(HMODULE) { return TRUE; }

void FreeLibraryAndExitThread(HMODULE, DWORD exitCode) { ExitThread(exitCode); }

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec pause{static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

ULONGLONG GetTickCount64() { return static_cast<ULONGLONG>(NowMs()); }

// Thread slots are the threads' keys; a key's number is the slot's.
DWORD TlsAlloc() {
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return TLS_OUT_OF_INDEXES;
    }
    return static_cast<DWORD>(key);
}

LPVOID TlsGetValue(DWORD slot) {
    // As Win32: success clears the last error, so a null value can be told apart.
    lastError = ERROR_SUCCESS;
    return pthread_getspecific(static_cast<pthread_key_t>(slot));
}

BOOL TlsSetValue(DWORD slot, LPVOID value) {
    const int error = pthread_setspecific(static_cast<pthread_key_t>(slot), value);
    return error == 0 ? TRUE : FailErrno(error);
}

// No system of this kind is an old Windows.
DWORD GetVersion() { return 10; }

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

DWORD FormatMessageA(DWORD, LPCVOID, DWORD code, DWORD, LPSTR buffer, DWORD size, void*) {
    const char* text = ErrorText(code);
    if (!text) return 0;
    const size_t length = strlen(text);
    if (length + 1 > size) return 0;  // as Win32: nothing written when it does not fit
    memcpy(buffer, text, length + 1);
    return static_cast<DWORD>(length);
}

// There are no message boxes: the text goes to stderr.
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
    fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    fflush(stderr);
    return IDOK;
}

// The window is a file descriptor (a pipe or an eventfd): it receives one
// 8-byte value per message, bit 32 set, the message in bits 16..31 and the
// port in bits 0..15.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(window));
    const uint64_t record =
        (1ull << 32) | (static_cast<uint64_t>(message & 0xFFFF) << 16) | (wParam & 0xFFFF);
    const ssize_t written = os.write(fd, &record, sizeof record);
    if (written != static_cast<ssize_t>(sizeof record))
        return written < 0 ? FailErrno(errno) : Fail(ERROR_IO_DEVICE);
    return TRUE;
}

// Direct port input does not exist for a process here: no guard, no read.
PVOID AddVectoredExceptionHandler(ULONG, PVECTORED_EXCEPTION_HANDLER) {
    Fail(ERROR_NOT_SUPPORTED);
    return nullptr;
}

ULONG RemoveVectoredExceptionHandler(PVOID) { return 0; }

}  // namespace posix
}  // namespace sio
