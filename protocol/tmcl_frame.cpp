// Encoding and decoding of the 9-byte frames, and their texts for logs.
#include "tmcl_frame.h"

#include <cstdio>

namespace tmcl {
namespace {

int32_t ReadValue(const uint8_t* bytes) {
    uint32_t value = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
                     uint32_t{bytes[3]};
    return static_cast<int32_t>(value);
}

void WriteValue(int32_t value, uint8_t* bytes) {
    uint32_t bits = static_cast<uint32_t>(value);
    bytes[0] = static_cast<uint8_t>(bits >> 24);
    bytes[1] = static_cast<uint8_t>(bits >> 16);
    bytes[2] = static_cast<uint8_t>(bits >> 8);
    bytes[3] = static_cast<uint8_t>(bits);
}

// Commands and replies share one layout: four header bytes, the value MSB
// first, the checksum.
void Pack(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, int32_t value, uint8_t* frame) {
    frame[0] = b0;
    frame[1] = b1;
    frame[2] = b2;
    frame[3] = b3;
    WriteValue(value, frame + 4);
    frame[8] = Checksum(frame);
}

struct NamedCode {
    int code;
    const char* text;
};

constexpr NamedCode kStatusTexts[] = {
    {kStatusSuccess, "success"},
    {kStatusWrongChecksum, "wrong checksum"},
    {kStatusInvalidCommand, "invalid command"},
    {kStatusWrongType, "wrong type"},
    {kStatusInvalidValue, "invalid value"},
    {kStatusEepromLocked, "EEPROM locked"},
    {kStatusNotAvailable, "command not available"},
};

constexpr NamedCode kCommandNames[] = {
    {kSetGlobalParameter, "set global parameter"},
    {kGetGlobalParameter, "get global parameter"},
    {kStoreGlobalParameter, "store global parameter"},
};

template <size_t N>
const char* Lookup(const NamedCode (&table)[N], int code, const char* otherwise) {
    for (const NamedCode& entry : table)
        if (entry.code == code) return entry.text;
    return otherwise;
}

std::string ChecksumText(const uint8_t* frame) {
    if (ChecksumHolds(frame)) return "checksum ok";
    char text[64];
    std::snprintf(text, sizeof text, "checksum WRONG (%u, should be %u)", frame[8], Checksum(frame));
    return text;
}

}  // namespace

uint8_t Checksum(const uint8_t* frame) {
    unsigned sum = 0;
    for (int i = 0; i < kFrameSize - 1; ++i) sum += frame[i];
    return static_cast<uint8_t>(sum);
}

bool ChecksumHolds(const uint8_t* frame) { return Checksum(frame) == frame[kFrameSize - 1]; }

CommandFrame DecodeCommand(const uint8_t* frame) {
    return {frame[0], frame[1], frame[2], frame[3], ReadValue(frame + 4), frame[8]};
}

ReplyFrame DecodeReply(const uint8_t* frame) {
    return {frame[0], frame[1], frame[2], frame[3], ReadValue(frame + 4), frame[8]};
}

void EncodeCommand(const CommandFrame& fields, uint8_t* frame) {
    Pack(fields.module, fields.command, fields.type, fields.bank, fields.value, frame);
}

void EncodeReply(const ReplyFrame& fields, uint8_t* frame) {
    Pack(fields.replyAddress, fields.module, fields.status, fields.command, fields.value, frame);
}

const char* StatusMeaning(int status) { return Lookup(kStatusTexts, status, "unknown status"); }

const char* CommandName(int command) { return Lookup(kCommandNames, command, "unknown command"); }

std::string HexBytes(const uint8_t* data, int count) {
    std::string text;
    char digits[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, i == 0 ? "%02X" : " %02X", data[i]);
        text += digits;
    }
    return text;
}

std::string DescribeCommand(const uint8_t* frame) {
    CommandFrame f = DecodeCommand(frame);
    char text[160];
    std::snprintf(text, sizeof text, "module %u, command %u (%s), type %u, bank %u, value %ld, ", f.module,
                  f.command, CommandName(f.command), f.type, f.bank, static_cast<long>(f.value));
    return text + ChecksumText(frame);
}

std::string DescribeReply(const uint8_t* frame) {
    ReplyFrame f = DecodeReply(frame);
    char text[160];
    std::snprintf(text, sizeof text,
                  "reply address %u, module %u, status %u (%s), command %u (%s), value %ld, ", f.replyAddress,
                  f.module, f.status, StatusMeaning(f.status), f.command, CommandName(f.command),
                  static_cast<long>(f.value));
    return text + ChecksumText(frame);
}

}  // namespace tmcl
