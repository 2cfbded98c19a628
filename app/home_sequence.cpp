// The home configuration sequences: six frames 100 ms apart, then the banner
// and a 2.5 s wait while the controller stores the settings. All six frames
// are always tried; the banner appears only when every one went out whole.
#include "home_sequence.h"

#include "error_text.h"
#include "sio.h"
#include "vantoro_version.h"

namespace {

constexpr unsigned kFramePauseMs = 100;
constexpr unsigned kStoreWaitMs = 2500;

constexpr char kHeader[] = "\nSending commnad...";
constexpr char kBlank[] = " ";
constexpr char kVersionTag[] = VANTORO_VERSION_TAG;
constexpr char kBannerRule[] = "========================================================";
constexpr char kStopLine[] = "STOP, wait until it says 'Done' before continuing";
constexpr char kWaitingLine[] = "Waiting 2.5 seconds";

// What differs between the two options besides the first frame. Both put 16
// blank lines and the version tag between the header and the banner rule.
struct OptionTexts {
    int blanksBeforeTag;
    int blanksAfterTag;
    const char* sentLine;
    const char* doneLine;
};

constexpr OptionTexts kOption1Texts = {13, 2,
                                       "  ->> \"Home Option 1 (default)\" configuration command was sent",
                                       "DONE, command reply (if any) follows: "};
constexpr OptionTexts kOption2Texts = {14, 1, "  ->> \"Home Option 2\" configuration command was sent",
                                       "DONE, command reply (if any) follows:"};

void WriteBlanks(const HomeSequenceIo& io, int count) {
    for (int i = 0; i < count; ++i) io.writeLine(kBlank);
}

// Sends all six frames with the pauses between them. 0 when each went out
// whole; else the first negative result, or SIO_IO_FAILED when frames only
// went out short (0 bytes included): the controller did not get the sequence.
int SendFrames(const HomeSequence& sequence, int port, const HomeSequenceIo& io) {
    int firstNegative = 0;
    bool anyShort = false;
    for (int i = 0; i < kFramesPerSequence; ++i) {
        if (i > 0) io.sleep(kFramePauseMs);
        int result = io.writeBlock(port, sequence.frames[i], kFrameSize);
        if (result < 0 && firstNegative == 0) firstNegative = result;
        if (result >= 0 && result != kFrameSize) anyShort = true;
    }
    if (firstNegative < 0) return firstNegative;
    return anyShort ? SIO_IO_FAILED : 0;
}

void WriteWaitBanner(const OptionTexts& texts, const HomeSequenceIo& io) {
    WriteBlanks(io, texts.blanksBeforeTag);
    io.writeLine(kVersionTag);
    WriteBlanks(io, texts.blanksAfterTag);
    io.writeLine(kBannerRule);
    io.writeLine(texts.sentLine);
    io.writeLine(kBlank);
    io.writeLine(kStopLine);
    io.writeLine(kBlank);
    io.writeLine(kWaitingLine);
    io.writeLine(kBlank);
}

}  // namespace

int RunHomeSequence(int option, int port, const HomeSequenceIo& io) {
    const HomeSequence* sequence = HomeSequenceFor(option);
    if (sequence == nullptr) return SIO_RANGE;
    const OptionTexts& texts = option == 1 ? kOption1Texts : kOption2Texts;

    io.writeLine(kHeader);
    io.writeLine(kBlank);
    int failure = SendFrames(*sequence, port, io);
    if (failure < 0) {
        io.writeLine(ErrorText(failure));
        return failure;
    }
    WriteWaitBanner(texts, io);
    io.sleep(kStoreWaitMs);
    io.writeLine(texts.doneLine);
    io.writeLine(kBlank);
    return 0;
}
