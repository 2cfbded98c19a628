// Collecting the replies of the last home sequence and writing the verdict.
// One byte beyond the six replies is kept, so that stray bytes count.
#include "verdict_watch.h"

#include <string.h>

#include <string>

#include "home_verdict.h"
#include "text_screen.h"

namespace VerdictWatch {
namespace {

constexpr int kKeptBytes = home::kAllRepliesBytes + 1;

const HomeSequence* watched = nullptr;  // nullptr: no verdict due
unsigned char received[kKeptBytes];
int receivedCount = 0;
unsigned long lastActivityMs = 0;

}  // namespace

void Start(int option, unsigned long nowMs) {
    watched = HomeSequenceFor(option);
    receivedCount = 0;
    lastActivityMs = nowMs;
}

void Received(const char* data, int count, unsigned long nowMs) {
    if (watched == nullptr || count <= 0) return;
    int room = kKeptBytes - receivedCount;
    int kept = count < room ? count : room;
    memcpy(received + receivedCount, data, static_cast<size_t>(kept));
    receivedCount += kept;
    lastActivityMs = nowMs;
}

void Tick(unsigned long nowMs) {
    if (watched == nullptr) return;
    if (receivedCount >= home::kAllRepliesBytes || nowMs - lastActivityMs >= home::kVerdictQuietMs)
        Conclude();
}

void Conclude() {
    if (watched == nullptr) return;
    std::string line = home::VerdictLine(home::JudgeReplies(received, receivedCount, *watched), *watched);
    watched = nullptr;
    // The raw reply characters end mid-line; the verdict stands on its own.
    if (TextScreen::CursorCol() != 0) TextScreen::WriteChars("\n", 1);
    TextScreen::WriteLine(line.c_str());
}

bool Pending() { return watched != nullptr; }

}  // namespace VerdictWatch
