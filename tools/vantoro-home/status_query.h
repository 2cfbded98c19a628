// vantoro-home --status: reads the controller's home settings back with the
// "get global parameter" command and names the home option they make up. The
// exchange runs through ControllerLink so that tests can put a simulated
// controller at the other end without a line.
#pragma once

#include <cstdint>
#include <string>

#include "home_options.h"

namespace home {

// The parameters that the home sequences set, in the order they are asked.
struct HomeParameter {
    uint8_t bank;
    uint8_t type;
};
constexpr int kHomeParameterCount = 3;
constexpr HomeParameter kHomeParameters[kHomeParameterCount] = {{2, 3}, {2, 10}, {0, 77}};

constexpr unsigned kStatusReplyTimeoutMs = 1000;

struct ControllerLink {
    int (*write)(int port, const char* data, int count);  // SioWriteBlock's results
    int (*read)(int port, char* buffer, int size);        // returns at once, SioReadBlock's results
    void (*sleep)(unsigned milliseconds);
    unsigned long (*nowMs)();
};

// Asks for each home parameter in turn and waits up to timeoutMs for each
// answer. false with a one-line reason when a request cannot be sent, no
// answer comes, the answer is not a reply to it, or its status is not success.
bool ReadHomeValues(int port, const ControllerLink& link, unsigned timeoutMs,
                    int32_t values[kHomeParameterCount], std::string& failure);

// 1 or 2 when the values are those that home sequence sets, else 0.
int HomeOptionOf(const int32_t values[kHomeParameterCount]);

// The lines --status prints for the values read from port.
std::string StatusReport(int port, const int32_t values[kHomeParameterCount]);

// --status on the library's port; returns the process exit code.
int RunStatus(const Options& options);

}  // namespace home
