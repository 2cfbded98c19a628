// The binary frames on the controller's line: 9-byte commands to a module and
// 9-byte replies from it (reply address, module, status, command, value MSB
// first, checksum). Shared by the window, the console programs and the
// simulator, so that every end agrees on one layout and one list of statuses.
#pragma once

#include <cstdint>
#include <string>

namespace tmcl {

constexpr int kFrameSize = 9;
constexpr uint8_t kModuleAddress = 1;  // the slider's controller
constexpr uint8_t kReplyAddress = 2;   // the host the replies go to

enum CommandNumber : uint8_t {
    kSetGlobalParameter = 9,
    kGetGlobalParameter = 10,
    kStoreGlobalParameter = 11,
};

enum StatusCode : uint8_t {
    kStatusWrongChecksum = 1,
    kStatusInvalidCommand = 2,
    kStatusWrongType = 3,
    kStatusInvalidValue = 4,
    kStatusEepromLocked = 5,
    kStatusNotAvailable = 6,
    kStatusSuccess = 100,
};

struct CommandFrame {
    uint8_t module;
    uint8_t command;
    uint8_t type;  // parameter number
    uint8_t bank;
    int32_t value;
    uint8_t checksum;
};

struct ReplyFrame {
    uint8_t replyAddress;
    uint8_t module;
    uint8_t status;
    uint8_t command;
    int32_t value;
    uint8_t checksum;
};

// Sum of the first eight bytes modulo 256.
uint8_t Checksum(const uint8_t* frame);
bool ChecksumHolds(const uint8_t* frame);

CommandFrame DecodeCommand(const uint8_t* frame);
ReplyFrame DecodeReply(const uint8_t* frame);
void EncodeCommand(const CommandFrame& fields, uint8_t* frame);  // computes the checksum
void EncodeReply(const ReplyFrame& fields, uint8_t* frame);      // computes the checksum

// "success", "wrong checksum", ...; "unknown status" for codes not listed.
const char* StatusMeaning(int status);
// "set global parameter", ...; "unknown command" for other numbers.
const char* CommandName(int command);

// "01 09 03 ..." (two upper-case hex digits per byte, single spaces).
std::string HexBytes(const uint8_t* data, int count);
std::string DescribeCommand(const uint8_t* frame);
std::string DescribeReply(const uint8_t* frame);

}  // namespace tmcl
