// Reading the controller's home setting back: one "get global parameter"
// request per home parameter, each answered before the next goes out, so a
// reply can only belong to the last request. The exchange runs through
// ControllerLink, so the window, vantoro-home and the tests share it.
#pragma once

#include <cstdint>
#include <string>

#include "home_frames.h"

namespace home {

constexpr unsigned kReadbackReplyTimeoutMs = 1000;

struct ControllerLink {
    int (*write)(int port, const char* data, int count);  // SioWriteBlock's results
    int (*read)(int port, char* buffer, int size);        // returns at once, SioReadBlock's results
    void (*sleep)(unsigned milliseconds);
    unsigned long (*nowMs)();
    std::string (*describe)(int code);  // a negative library code in words
};

// The library's own calls with the system's sleep and tick count.
ControllerLink LibraryLink(std::string (*describe)(int code));

// Asks for each home parameter in turn and waits up to timeoutMs for each
// answer. false with a one-line reason when a request cannot be sent, no
// answer comes, the answer is not a reply to it, or its status is not success.
bool ReadHomeValues(int port, const ControllerLink& link, unsigned timeoutMs,
                    int32_t values[kHomeParameterCount], std::string& failure);

// One line for the values read: which option is set, or that neither is,
// with the values.
std::string HomeSettingLine(const int32_t values[kHomeParameterCount]);

}  // namespace home
