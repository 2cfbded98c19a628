// Cuts a byte stream into 9-byte frames. The line has no frame marker, so a
// pause is the only way to find the start of a frame again: bytes of an
// unfinished frame are dropped when the next byte comes after a silence
// longer than the resync gap (a sender writes each frame in one go).
#pragma once

#include <cstdint>
#include <vector>

#include "tmcl_frame.h"

namespace tmcl {

struct StreamEvent {
    enum Kind { kFrame, kDiscarded } kind;
    uint8_t bytes[kFrameSize];
    int count;           // 9 for a frame; the number of dropped bytes otherwise
    double firstByteMs;  // arrival of the first byte of the frame (or of the dropped run)
};

class FrameAssembler {
public:
    explicit FrameAssembler(double resyncGapMs = 50.0) : resyncGapMs_(resyncGapMs) {}

    // Bytes that arrived at nowMs (one clock for all calls, never going back).
    void Feed(const uint8_t* data, int count, double nowMs, std::vector<StreamEvent>& events);
    // Called while nothing arrives: drops an unfinished frame once the line
    // has been silent for longer than the resync gap.
    void Tick(double nowMs, std::vector<StreamEvent>& events);

    int pending() const { return count_; }

private:
    void DropIfStale(double nowMs, std::vector<StreamEvent>& events);

    double resyncGapMs_;
    uint8_t partial_[kFrameSize] = {};
    int count_ = 0;
    double firstByteMs_ = 0;
    double lastByteMs_ = 0;
};

}  // namespace tmcl
