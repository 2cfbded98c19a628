// The simulator's port handling, logging and poll loop.
#include "simulator.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "controller.h"
#include "controller_line.h"
#include "eeprom_file.h"
#include "error_line.h"
#include "frame_assembler.h"
#include "home_frames.h"
#include "line_setup.h"
#include "ms_clock.h"
#include "port_name.h"
#include "sio.h"

namespace sim {
namespace {

// Short enough for the 50 ms resync gap, long enough to idle.
constexpr auto kIdlePoll = std::chrono::milliseconds(2);

#ifdef _WIN32
// Set by the console's control handler thread on Ctrl+C; read by the loop.
volatile LONG stopRequested = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
    InterlockedExchange(&stopRequested, 1);
    return TRUE;
}

void CatchStop() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
bool StopRequested() { return InterlockedCompareExchange(&stopRequested, 0, 0) != 0; }
#else
// Set by the signal handler on Ctrl+C or a termination request; read by the loop.
volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

void CatchStop() {
    signal(SIGINT, OnStopSignal);
    signal(SIGTERM, OnStopSignal);
}
bool StopRequested() { return stopRequested != 0; }
#endif

// stdout may be a pipe (a test reads the log as it grows): flush every line.
void Log(const char* format, ...) {  // NOLINT(cert-dcl50-cpp): printf-style lines, checked by the compiler
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void LogError(const std::string& text) {
    std::fprintf(stderr, "tmcl-sim: %s\n", text.c_str());
    std::fflush(stderr);
}

int PrepareEeprom(const Options& options, tmcl::SimulatedController& controller) {
    if (options.eepromPath.empty()) return kExitOk;
    std::string error;
    switch (tmcl::LoadEepromFile(options.eepromPath, controller, error)) {
        case tmcl::LoadResult::kFailed: LogError(error); return kExitEepromError;
        case tmcl::LoadResult::kMissing:
            Log("EEPROM file %s does not exist yet: starting empty", options.eepromPath.c_str());
            break;
        case tmcl::LoadResult::kLoaded: Log("EEPROM loaded from %s", options.eepromPath.c_str()); break;
    }
    std::string path = options.eepromPath;
    controller.SetPersist([path](const tmcl::SimulatedController& c) {
        bool saved = tmcl::SaveEepromFile(path, c);
        if (!saved) LogError("cannot write the EEPROM file " + path);
        return saved;
    });
    return kExitOk;
}

class Session {
public:
    Session(const Options& options, tmcl::SimulatedController& controller)
        : options_(options), controller_(controller) {}

    // false when the port failed.
    bool Poll(double nowMs, bool& idle) {
        uint8_t buffer[kControllerQueueSize];
        int received = SioReadBlock(options_.port, reinterpret_cast<char*>(buffer), sizeof buffer);
        if (received < 0) {
            LogError("reading " + tools::PortName(options_.port) + " failed: " + tools::ErrorLine(received));
            return false;
        }
        events_.clear();
        idle = received == 0;
        if (idle)
            assembler_.Tick(nowMs, events_);
        else
            assembler_.Feed(buffer, received, nowMs, events_);
        for (const tmcl::StreamEvent& event : events_) Handle(event);
        return true;
    }

    long frames() const { return frames_; }

private:
    void Handle(const tmcl::StreamEvent& event) {
        if (event.kind == tmcl::StreamEvent::kDiscarded) {
            Log("discarded at %.1f ms: %d byte(s) without a complete frame before a pause: %s",
                event.firstByteMs, event.count, tmcl::HexBytes(event.bytes, event.count).c_str());
            return;
        }
        ++frames_;
        const char* name = HomeFrameName(event.bytes);
        Log("frame %ld at %.1f ms: %s | %s%s%s", frames_, event.firstByteMs,
            tmcl::HexBytes(event.bytes, tmcl::kFrameSize).c_str(), tmcl::DescribeCommand(event.bytes).c_str(),
            name ? " | home frame " : "", name ? name : "");
        tmcl::Handling handling = controller_.Handle(event.bytes);
        if (!handling.answered) {
            Log("  no reply: addressed to module %u, not %u", event.bytes[0], tmcl::kModuleAddress);
            return;
        }
        int written =
            SioWriteBlock(options_.port, reinterpret_cast<const char*>(handling.reply), tmcl::kFrameSize);
        tmcl::ReplyFrame reply = tmcl::DecodeReply(handling.reply);
        Log("  reply: %s | status %u (%s), value %ld%s",
            tmcl::HexBytes(handling.reply, tmcl::kFrameSize).c_str(), reply.status,
            tmcl::StatusMeaning(reply.status), static_cast<long>(reply.value),
            written == tmcl::kFrameSize ? "" : " (NOT SENT)");
    }

    const Options& options_;
    tmcl::SimulatedController& controller_;
    tmcl::FrameAssembler assembler_;
    std::vector<tmcl::StreamEvent> events_;
    long frames_ = 0;
};

bool LimitReached(const Options& options, const Session& session, double nowMs) {
    if (options.frameLimit > 0 && session.frames() >= options.frameLimit) return true;
    if (options.secondsLimit > 0 && nowMs >= static_cast<double>(options.secondsLimit) * 1000.0) return true;
    return StopRequested();
}

void DumpEeprom(const tmcl::SimulatedController& controller) {
    std::string listing = tmcl::EepromListing(controller);
    Log("EEPROM (bank parameter value):");
    std::fputs(listing.c_str(), stdout);
    Log("EEPROM end");
}

}  // namespace

int RunSimulator(const Options& options) {
    tmcl::SimulatedController controller;
    controller.RefuseFrame(options.refuseFrame, static_cast<uint8_t>(options.refuseStatus));
    int status = PrepareEeprom(options, controller);
    if (status != kExitOk) return status;
    std::string failure = tools::GoOnline(options.port);
    if (!failure.empty()) {
        LogError(failure);
        return kExitPortError;
    }
    CatchStop();

    Log("listening on %s at 9600 baud as module %u", tools::PortName(options.port).c_str(),
        tmcl::kModuleAddress);
    Session session(options, controller);
    for (;;) {
        double now = tools::ElapsedMs();
        bool idle = false;
        if (!session.Poll(now, idle)) {
            status = kExitPortError;
            break;
        }
        if (LimitReached(options, session, now)) break;
        if (idle) std::this_thread::sleep_for(kIdlePoll);
    }
    SioClosePort(options.port);
    Log("stopped after %ld frame(s)", session.frames());
    if (options.dump) DumpEeprom(controller);
    return status;
}

}  // namespace sim
