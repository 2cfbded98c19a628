// Frame assembly with resynchronisation on silence.
#include "frame_assembler.h"

#include <cstring>

namespace tmcl {

void FrameAssembler::DropIfStale(double nowMs, std::vector<StreamEvent>& events) {
    if (count_ == 0 || nowMs - lastByteMs_ <= resyncGapMs_) return;
    StreamEvent dropped{StreamEvent::kDiscarded, {}, count_, firstByteMs_};
    std::memcpy(dropped.bytes, partial_, static_cast<size_t>(count_));
    events.push_back(dropped);
    count_ = 0;
}

void FrameAssembler::Tick(double nowMs, std::vector<StreamEvent>& events) { DropIfStale(nowMs, events); }

void FrameAssembler::Feed(const uint8_t* data, int count, double nowMs, std::vector<StreamEvent>& events) {
    if (count <= 0) return;
    DropIfStale(nowMs, events);
    for (int i = 0; i < count; ++i) {
        if (count_ == 0) firstByteMs_ = nowMs;
        partial_[count_++] = data[i];
        if (count_ == kFrameSize) {
            StreamEvent frame{StreamEvent::kFrame, {}, kFrameSize, firstByteMs_};
            std::memcpy(frame.bytes, partial_, kFrameSize);
            events.push_back(frame);
            count_ = 0;
        }
    }
    lastByteMs_ = nowMs;
}

}  // namespace tmcl
