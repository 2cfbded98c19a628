// The read-back exchange and its one-line summary.
#include "home_readback.h"

#include <chrono>
#include <thread>

#include "com_port_name.h"
#include "sio.h"

namespace home {
namespace {

std::string Which(const HomeParameter& parameter) {
    return "parameter " + std::to_string(parameter.type) + " of bank " + std::to_string(parameter.bank);
}

std::string WriteFailure(const ControllerLink& link, int written) {
    if (written >= 0) return std::to_string(written) + " of " + std::to_string(kFrameSize) + " bytes written";
    return link.describe(written);
}

// Collects up to one reply's bytes; fewer when the time-out passed first.
int ReadReply(int port, const ControllerLink& link, unsigned timeoutMs, uint8_t* reply,
              std::string& failure) {
    constexpr unsigned kPollMs = 5;
    int got = 0;
    unsigned long start = link.nowMs();
    while (got < kFrameSize) {
        int count = link.read(port, reinterpret_cast<char*>(reply + got), kFrameSize - got);
        if (count < 0) {
            failure = "reading the answer failed: " + link.describe(count);
            return count;
        }
        got += count;
        // nowMs() is a clock, so the two readings differ (cppcheck takes them as one).
        // cppcheck-suppress [duplicateExpression, unsignedLessThanZero]
        if (got == kFrameSize || link.nowMs() - start >= timeoutMs) break;
        if (count == 0) link.sleep(kPollMs);
    }
    return got;
}

bool AskOne(int port, const ControllerLink& link, unsigned timeoutMs, const HomeParameter& parameter,
            int32_t& value, std::string& failure) {
    uint8_t request[kFrameSize];
    tmcl::EncodeCommand(
        {tmcl::kModuleAddress, tmcl::kGetGlobalParameter, parameter.type, parameter.bank, 0, 0}, request);
    int written = link.write(port, reinterpret_cast<const char*>(request), kFrameSize);
    if (written != kFrameSize) {
        failure = "the request for " + Which(parameter) + " was not sent: " + WriteFailure(link, written);
        return false;
    }
    uint8_t reply[kFrameSize];
    int got = ReadReply(port, link, timeoutMs, reply, failure);
    if (got < 0) return false;
    if (got == 0) {
        failure = "no answer from the controller on " + comport::PortName(port) + " to the request for " +
                  Which(parameter) + " within " + std::to_string(timeoutMs) + " ms";
        return false;
    }
    tmcl::ReplyFrame fields = tmcl::DecodeReply(reply);
    if (got < kFrameSize || !tmcl::ChecksumHolds(reply) || fields.replyAddress != tmcl::kReplyAddress ||
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

unsigned long TickMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<unsigned long>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
void SleepMs(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace

ControllerLink LibraryLink(std::string (*describe)(int code)) {
    return {SioWriteBlock, SioReadBlock, SleepMs, TickMs, describe};
}

bool ReadHomeValues(int port, const ControllerLink& link, unsigned timeoutMs,
                    int32_t values[kHomeParameterCount], std::string& failure) {
    for (int i = 0; i < kHomeParameterCount; ++i)
        if (!AskOne(port, link, timeoutMs, kHomeParameters[i], values[i], failure)) return false;
    return true;
}

std::string HomeSettingLine(const int32_t values[kHomeParameterCount]) {
    int option = HomeOptionOf(values);
    if (option != 0) return std::string(HomeOptionName(option)) + " is set";
    std::string line = "neither home option is set:";
    for (int i = 0; i < kHomeParameterCount; ++i)
        line += std::string(i == 0 ? " " : ", ") + std::to_string(kHomeParameters[i].bank) + "/" +
                std::to_string(kHomeParameters[i].type) + " = " + std::to_string(values[i]);
    return line + " (bank/parameter)";
}

}  // namespace home
