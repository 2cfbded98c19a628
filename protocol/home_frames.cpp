// Naming frames and telling which option a set of parameter values makes up.
#include "home_frames.h"

#include <cstring>

namespace {

struct NamedFrame {
    const char* name;
    const char* bytes;
};

constexpr NamedFrame kNamedFrames[] = {{"F1a", F1a}, {"F1b", F1b}, {"F2", F2}, {"F3", F3},
                                       {"F4", F4},   {"F5", F5},   {"F6", F6}};

// The value that a sequence's last "set" frame gives the parameter; false
// when the sequence does not set it.
bool ValueSetBy(const HomeSequence& sequence, const home::HomeParameter& parameter, int32_t& value) {
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

bool Matches(const HomeSequence& sequence, const int32_t values[home::kHomeParameterCount]) {
    for (int i = 0; i < home::kHomeParameterCount; ++i) {
        int32_t set = 0;
        if (!ValueSetBy(sequence, home::kHomeParameters[i], set) || set != values[i]) return false;
    }
    return true;
}

}  // namespace

const HomeSequence* HomeSequenceFor(int option) {
    if (option == 1) return &kHomeOption1;
    if (option == 2) return &kHomeOption2;
    return nullptr;
}

const char* HomeFrameName(const uint8_t* frame) {
    for (const NamedFrame& named : kNamedFrames)
        if (std::memcmp(frame, named.bytes, kFrameSize) == 0) return named.name;
    return nullptr;
}

namespace home {

int HomeOptionOf(const int32_t values[kHomeParameterCount]) {
    if (Matches(kHomeOption1, values)) return 1;
    if (Matches(kHomeOption2, values)) return 2;
    return 0;
}

const char* HomeOptionName(int option) {
    if (option == 1) return "Home Option 1 (default)";
    if (option == 2) return "Home Option 2";
    return nullptr;
}

}  // namespace home
