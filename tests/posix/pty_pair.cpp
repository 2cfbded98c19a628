// Starts socat for the pair and waits, on a clock, until both links exist.
#include "pty_pair.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace {

constexpr auto kStartBound = std::chrono::seconds(5);

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

PtyPair::PtyPair() {
    char folder[] = "/tmp/sio-pty-XXXXXX";
    if (!mkdtemp(folder)) return;
    folder_ = folder;
    a_ = folder_ + "/a";
    b_ = folder_ + "/b";
    std::string endA = "pty,raw,echo=0,link=" + a_;
    std::string endB = "pty,raw,echo=0,link=" + b_;
    char* argv[] = {const_cast<char*>("socat"), endA.data(), endB.data(), nullptr};
    if (posix_spawn(&socat_, SOCAT_PROGRAM, nullptr, nullptr, argv, environ) != 0) {
        socat_ = -1;
        return;
    }
    const auto until = std::chrono::steady_clock::now() + kStartBound;
    while (!(Exists(a_) && Exists(b_)) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::string map = "COM3=" + a_ + ",COM4=" + b_;
    ready_ = Exists(a_) && Exists(b_) && setenv("SIO_PORT_MAP", map.c_str(), 1) == 0;
}

PtyPair::~PtyPair() {
    if (socat_ > 0) {
        kill(socat_, SIGTERM);
        waitpid(socat_, nullptr, 0);
    }
    if (!folder_.empty()) {
        unlink(a_.c_str());
        unlink(b_.c_str());
        rmdir(folder_.c_str());
    }
}
