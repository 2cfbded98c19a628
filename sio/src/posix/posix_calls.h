// The POSIX seam's own seam: every system call it makes goes through this
// table, so tests can make any of them fail and can supply what a
// pseudo-terminal lacks (modem lines, break and error counts). The entries
// start as the real calls.
#pragma once

#include <poll.h>
#include <pthread.h>
#include <sys/types.h>

namespace sio {
namespace posix {

struct PosixCalls {
    int (*open)(const char* path, int flags);
    int (*close)(int fd);
    // Every ioctl the seam makes passes one pointer (or an integer as one).
    int (*ioctl)(int fd, unsigned long request, void* argument);
    ssize_t (*read)(int fd, void* buffer, size_t size);
    ssize_t (*write)(int fd, const void* buffer, size_t count);
    int (*poll)(struct pollfd* fds, nfds_t count, int timeoutMs);
    int (*flock)(int fd, int operation);
    int (*pipe)(int fds[2]);
    int (*threadCreate)(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                        void* argument);
    // Where the kernel's device tree is read (normally "/sys"): the port list
    // reads files under it only.
    const char* sysfs;
};

// The live table. Tests save a copy, replace entries and copy it back.
extern PosixCalls os;
// The real calls, for a test that passes most calls through.
extern const PosixCalls kRealCalls;

}  // namespace posix
}  // namespace sio
