// Runs one of the console programs from a test: its stdout and stderr go into
// one pipe that a thread drains as the program writes, so a test can wait for
// a line (e.g. the simulator's "listening") instead of sleeping.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// "Z:\..." for a path of the build machine (Wine's Z: drive is its root).
std::string HostPathToWindows(const std::string& path);

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::string& program, const std::string& arguments);
    // true once the output holds text; false when timeoutMs passed first.
    bool WaitForOutput(const std::string& text, DWORD timeoutMs);
    // The exit code; -1 when the program did not end in time (it is killed).
    int Wait(DWORD timeoutMs);
    std::string Output();

private:
    void Drain();

    HANDLE process_ = nullptr;
    HANDLE readEnd_ = nullptr;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable grew_;
    std::string output_;  // written by the reader thread, under mutex_
};
