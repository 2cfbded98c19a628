// Child programs with captured output.
#include "child_process.h"

#include <chrono>

std::string HostPathToWindows(const std::string& path) {
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/') c = '\\';
    return windows;
}

ChildProcess::~ChildProcess() {
    if (process_ && Wait(0) == -1) ::TerminateProcess(process_, 1);
    if (reader_.joinable()) reader_.join();
    if (readEnd_) ::CloseHandle(readEnd_);
    if (process_) ::CloseHandle(process_);
}

bool ChildProcess::Start(const std::string& program, const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd_, &writeEnd, &inherit, 0)) return false;
    ::SetHandleInformation(readEnd_, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string commandLine = "\"" + program + "\" " + arguments;
    PROCESS_INFORMATION info{};
    BOOL started = ::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                    nullptr, &startup, &info);
    // Only the child may hold the write end, or the pipe never reports its end.
    ::CloseHandle(writeEnd);
    if (!started) return false;
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    reader_ = std::thread([this] { Drain(); });
    return true;
}

void ChildProcess::Drain() {
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd_, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        output_.append(chunk, got);
        grew_.notify_all();
    }
}

bool ChildProcess::WaitForOutput(const std::string& text, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return grew_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return output_.find(text) != std::string::npos; });
}

int ChildProcess::Wait(DWORD timeoutMs) {
    if (!process_ || ::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        if (process_ && timeoutMs > 0) ::TerminateProcess(process_, 1);
        return -1;
    }
    if (reader_.joinable()) reader_.join();
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

std::string ChildProcess::Output() {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}
