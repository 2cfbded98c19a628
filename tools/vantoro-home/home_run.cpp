// Going on-line, running the sequence and collecting the replies.
#include "home_run.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "controller_line.h"
#include "error_line.h"
#include "home_sequence.h"
#include "home_verdict.h"
#include "line_setup.h"
#include "reply_report.h"
#include "sio.h"

namespace home {
namespace {

constexpr auto kCollectPoll = std::chrono::milliseconds(10);

// The sequence's lines go to stdout as the text screen would show them.
void PrintLine(const char* text) {
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void SleepMs(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// Results of the six writes of the run, in order.
int writeResults[kFramesPerSequence];
int writesMade = 0;

int RecordingWrite(int port, const char* data, int count) {
    int result = SioWriteBlock(port, data, count);
    if (writesMade < kFramesPerSequence) writeResults[writesMade++] = result;
    return result;
}

// Names the frame whose result the screen's error text stands for: the first
// that failed, or when none failed, the first that went out short.
void ReportUnsentFrame() {
    int first = -1;
    for (int i = 0; i < writesMade && first < 0; ++i)
        if (writeResults[i] < 0) first = i;
    for (int i = 0; i < writesMade && first < 0; ++i)
        if (writeResults[i] != kFrameSize) first = i;
    if (first < 0) return;
    PrintError("frame " + std::to_string(first + 1) +
               " was not sent: " + tools::WriteResultLine(writeResults[first]));
}

// Collects until all six replies are in, or the line has been quiet for
// quietMs (since the sequence ended or since the last byte).
std::vector<uint8_t> CollectReplies(int port, long quietMs) {
    std::vector<uint8_t> received;
    char buffer[kControllerQueueSize];
    auto lastActivity = std::chrono::steady_clock::now();
    for (;;) {
        int count = SioReadBlock(port, buffer, sizeof buffer);
        if (count > 0) {
            received.insert(received.end(), buffer, buffer + count);
            lastActivity = std::chrono::steady_clock::now();
        }
        if (count < 0) {
            PrintError("reading the replies failed: " + tools::ErrorLine(count));
            break;
        }
        if (received.size() >= static_cast<size_t>(kAllRepliesBytes)) break;
        if (std::chrono::steady_clock::now() - lastActivity >= std::chrono::milliseconds(quietMs)) break;
        if (count == 0) std::this_thread::sleep_for(kCollectPoll);
    }
    return received;
}

}  // namespace

void PrintError(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "vantoro-home: %s\n", text.c_str());
    std::fflush(stderr);
}

int RunHome(const Options& options) {
    std::string offline = tools::GoOnline(options.port);
    if (!offline.empty()) {
        PrintError(offline);
        return kExitPortError;
    }
    // The sequence itself puts the error text in place of the banner; stderr
    // names the frame that did not go out.
    const HomeSequenceIo io = {PrintLine, SleepMs, RecordingWrite};
    writesMade = 0;  // each run reports its own frames
    bool sent = RunHomeSequence(options.option, options.port, io) == 0;
    if (!sent) ReportUnsentFrame();
    std::vector<uint8_t> received = CollectReplies(options.port, options.waitMs);
    SioClosePort(options.port);

    for (const std::string& line : ReportLines(received)) PrintLine(line.c_str());
    if (!sent) return kExitPortError;
    const HomeSequence& sequence = *HomeSequenceFor(options.option);
    Verdict verdict = JudgeReplies(received.data(), static_cast<int>(received.size()), sequence);
    PrintLine(VerdictLine(verdict, sequence).c_str());
    if (options.verify && verdict.kind != VerdictKind::kConfirmed) return kExitVerifyFailed;
    return kExitOk;
}

}  // namespace home
