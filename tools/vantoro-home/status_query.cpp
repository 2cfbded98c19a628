// Reading back the home option: one get request per parameter, each answered
// before the next goes out, so a reply can only belong to the last request.
#include "status_query.h"

#include <windows.h>

#include <cstdio>

#include "error_line.h"
#include "home_run.h"
#include "home_sequence.h"
#include "line_setup.h"
#include "port_name.h"
#include "sio.h"
#include "tmcl_frame.h"

namespace home {
namespace {

std::string Which(const HomeParameter& parameter) {
    return "parameter " + std::to_string(parameter.type) + " of bank " + std::to_string(parameter.bank);
}

// Collects up to one reply's bytes; fewer when the time-out passed first.
int ReadReply(int port, const ControllerLink& link, unsigned timeoutMs, uint8_t* reply,
              std::string& failure) {
    constexpr unsigned kPollMs = 5;
    int got = 0;
    unsigned long start = link.nowMs();
    while (got < tmcl::kFrameSize) {
        int count = link.read(port, reinterpret_cast<char*>(reply + got), tmcl::kFrameSize - got);
        if (count < 0) {
            failure = "reading the answer failed: " + tools::ErrorLine(count);
            return count;
        }
        got += count;
        // nowMs() is a clock, so the two readings differ (cppcheck takes them as one).
        // cppcheck-suppress [duplicateExpression, unsignedLessThanZero]
        if (got == tmcl::kFrameSize || link.nowMs() - start >= timeoutMs) break;
        if (count == 0) link.sleep(kPollMs);
    }
    return got;
}

bool AskOne(int port, const ControllerLink& link, unsigned timeoutMs, const HomeParameter& parameter,
            int32_t& value, std::string& failure) {
    uint8_t request[tmcl::kFrameSize];
    tmcl::EncodeCommand(
        {tmcl::kModuleAddress, tmcl::kGetGlobalParameter, parameter.type, parameter.bank, 0, 0}, request);
    int written = link.write(port, reinterpret_cast<const char*>(request), tmcl::kFrameSize);
    if (written != tmcl::kFrameSize) {
        failure = "the request for " + Which(parameter) + " was not sent: " + tools::WriteResultLine(written);
        return false;
    }
    uint8_t reply[tmcl::kFrameSize];
    int got = ReadReply(port, link, timeoutMs, reply, failure);
    if (got < 0) return false;
    if (got == 0) {
        failure = "no answer from the controller on " + tools::PortName(port) + " to the request for " +
                  Which(parameter) + " within " + std::to_string(timeoutMs) + " ms";
        return false;
    }
    tmcl::ReplyFrame fields = tmcl::DecodeReply(reply);
    if (got < tmcl::kFrameSize || !tmcl::ChecksumHolds(reply) || fields.replyAddress != tmcl::kReplyAddress ||
        fields.module != tmcl::kModuleAddress || fields.command != tmcl::kGetGlobalParameter) {
        failure = "the answer to the request for " + Which(parameter) +
                  " is not a reply to it: " + tmcl::HexBytes(reply, got);
        return false;
    }
    if (fields.status != tmcl::kStatusSuccess) {
        failure = "the controller refused the request for " + Which(parameter) + ": status " +
                  std::to_string(fields.status) + " (" + tmcl::StatusMeaning(fields.status) + ")";
        return false;
    }
    value = fields.value;
    return true;
}

// The value that a sequence's last "set" frame gives the parameter; false
// when the sequence does not set it.
bool ValueSetBy(const HomeSequence& sequence, const HomeParameter& parameter, int32_t& value) {
    bool found = false;
    for (const char* frame : sequence.frames) {
        tmcl::CommandFrame fields = tmcl::DecodeCommand(reinterpret_cast<const uint8_t*>(frame));
        if (fields.command != tmcl::kSetGlobalParameter || fields.bank != parameter.bank ||
            fields.type != parameter.type)
            continue;
        value = fields.value;
        found = true;
    }
    return found;
}

bool Matches(const HomeSequence& sequence, const int32_t values[kHomeParameterCount]) {
    for (int i = 0; i < kHomeParameterCount; ++i) {
        int32_t set = 0;
        if (!ValueSetBy(sequence, kHomeParameters[i], set) || set != values[i]) return false;
    }
    return true;
}

unsigned long TickMs() { return ::GetTickCount(); }
void SleepMs(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace

bool ReadHomeValues(int port, const ControllerLink& link, unsigned timeoutMs,
                    int32_t values[kHomeParameterCount], std::string& failure) {
    for (int i = 0; i < kHomeParameterCount; ++i)
        if (!AskOne(port, link, timeoutMs, kHomeParameters[i], values[i], failure)) return false;
    return true;
}

int HomeOptionOf(const int32_t values[kHomeParameterCount]) {
    if (Matches(kHomeOption1, values)) return 1;
    if (Matches(kHomeOption2, values)) return 2;
    return 0;
}

std::string StatusReport(int port, const int32_t values[kHomeParameterCount]) {
    std::string report = tools::PortName(port) + ": ";
    switch (HomeOptionOf(values)) {
        case 1: report += "Home Option 1 (default) is set\n"; break;
        case 2: report += "Home Option 2 is set\n"; break;
        default: report += "neither home option is set (the values match neither sequence)\n";
    }
    for (int i = 0; i < kHomeParameterCount; ++i)
        report += "  bank " + std::to_string(kHomeParameters[i].bank) + ", parameter " +
                  std::to_string(kHomeParameters[i].type) + " = " + std::to_string(values[i]) + "\n";
    return report;
}

int RunStatus(const Options& options) {
    std::string failure = tools::GoOnline(options.port);
    if (!failure.empty()) {
        PrintError(failure);
        return kExitPortError;
    }
    int32_t values[kHomeParameterCount] = {};
    bool read = ReadHomeValues(options.port, {SioWriteBlock, SioReadBlock, SleepMs, TickMs},
                               kStatusReplyTimeoutMs, values, failure);
    SioClosePort(options.port);
    if (!read) {
        PrintError(failure);
        return kExitNoStatus;
    }
    std::fputs(StatusReport(options.port, values).c_str(), stdout);
    return kExitOk;
}

}  // namespace home
