// Library against raw Win32 on one virtual line (COM3 the library side, COM4
// the far end): a 9-byte frame until the far end has it, a read of an empty
// queue, a 9-byte request and reply with time-outs, 64 KB each way; then the
// heap allocations of 100,000 library calls.
// Run through scripts/bench, inside the isolated test environment.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "heap_counter.h"
#include "line_ends.h"
#include "sio.h"

namespace {

constexpr int kLibraryPort = 2;  // COM3
constexpr int kBlock = 64 * 1024;
const char kFrame[9] = {0x01, 0x05, 0x02, 0x00, 0x00, 0x00, 0x00, 0x10, 0x18};

bench::RawPort raw;
bench::PeerWorker peer;
char pattern[kBlock];
char scratch[kBlock];

double NowMicros() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// One timed run of a figure; returns the microseconds, negative on failure.
using Run = double (*)();

// Runs one side perRound times, keeping the times of the runs that worked.
int RunBlock(Run run, int perRound, std::vector<double>& times) {
    int failures = 0;
    for (int i = 0; i < perRound; ++i) {
        double took = run();
        if (took >= 0) times.push_back(took);
        failures += took < 0;
    }
    return failures;
}

// Alternates blocks of library and raw runs, so that load from elsewhere on
// the machine falls on both sides alike, and prints the medians.
void Compare(const char* figure, int rounds, int perRound, Run library, Run direct) {
    std::vector<double> lib, rawTimes;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        failures += RunBlock(library, perRound, lib);
        failures += RunBlock(direct, perRound, rawTimes);
    }
    double l = Median(lib), r = Median(rawTimes);
    printf("%-48s %10.1f %10.1f %8.3f %6d%s\n", figure, l, r, r > 0 ? l / r : 0.0, rounds * perRound,
           failures ? "  (runs failed!)" : "");
}

double LibraryFrameToPeer() {
    double start = NowMicros();
    if (SioWriteBlock(kLibraryPort, kFrame, 9) != 9) return -1;
    if (peer.port().Receive(scratch, 9, 2000) != 9) return -1;
    return NowMicros() - start;
}

double RawFrameToPeer() {
    double start = NowMicros();
    if (raw.Write(kFrame, 9) != 9) return -1;
    if (peer.port().Receive(scratch, 9, 2000) != 9) return -1;
    return NowMicros() - start;
}

double LibraryFrameCall() {
    double start = NowMicros();
    int written = SioWriteBlock(kLibraryPort, kFrame, 9);
    double took = NowMicros() - start;
    return peer.port().Receive(scratch, 9, 2000) == 9 && written == 9 ? took : -1;
}

double RawFrameCall() {
    double start = NowMicros();
    DWORD written = raw.Write(kFrame, 9);
    double took = NowMicros() - start;
    return peer.port().Receive(scratch, 9, 2000) == 9 && written == 9 ? took : -1;
}

// The far end answers a 9-byte request with 9 bytes; the side under test
// reads what has arrived until it has the whole reply.
template <typename Write, typename ReadSome>
double RequestReply(Write write, ReadSome readSome) {
    double start = NowMicros();
    if (write() != 9) return -1;
    if (peer.port().Receive(scratch, 9, 2000) != 9 || peer.port().Write(kFrame, 9) != 9) return -1;
    int got = 0;
    while (got < 9 && NowMicros() - start < 2e6) got += readSome(scratch + got, 9 - got);
    return got == 9 ? NowMicros() - start : -1;
}

double LibraryRequestReply() {
    return RequestReply([] { return SioWriteBlock(kLibraryPort, kFrame, 9); },
                        [](char* into, int room) {
                            int got = SioReadBlock(kLibraryPort, into, room);
                            return got > 0 ? got : 0;
                        });
}

double RawRequestReply() {
    return RequestReply([] { return static_cast<int>(raw.Write(kFrame, 9)); },
                        [](char* into, int room) {
                            return static_cast<int>(raw.ReadArrived(into, static_cast<DWORD>(room), true));
                        });
}

double LibraryEmptyRead() {
    double start = NowMicros();
    if (SioReadBlock(kLibraryPort, scratch, 1023) != 0) return -1;
    return NowMicros() - start;
}

double RawEmptyRead() {
    double start = NowMicros();
    if (raw.ReadArrived(scratch, 1023, true) != 0) return -1;
    return NowMicros() - start;
}

double RawEmptyReadWithoutErrorQuery() {
    double start = NowMicros();
    if (raw.ReadArrived(scratch, 1023, false) != 0) return -1;
    return NowMicros() - start;
}

double LibraryBlockToPeer() {
    peer.BeginReceive(kBlock);
    double start = NowMicros();
    if (SioWriteBlock(kLibraryPort, pattern, kBlock) != kBlock) return -1;
    if (peer.Wait() != static_cast<DWORD>(kBlock)) return -1;
    return NowMicros() - start;
}

double RawBlockToPeer() {
    peer.BeginReceive(kBlock);
    double start = NowMicros();
    if (raw.Write(pattern, kBlock) != static_cast<DWORD>(kBlock)) return -1;
    if (peer.Wait() != static_cast<DWORD>(kBlock)) return -1;
    return NowMicros() - start;
}

// The far end sends a block; the side under test reads what has arrived
// until it has all of it.
template <typename ReadSome>
double BlockFromPeer(ReadSome readSome) {
    peer.BeginSend(pattern, kBlock);
    double start = NowMicros();
    int got = 0;
    while (got < kBlock && NowMicros() - start < 10e6) got += readSome(scratch + got, kBlock - got);
    double took = NowMicros() - start;
    peer.Wait();
    return got == kBlock ? took : -1;
}

double LibraryBlockFromPeer() {
    return BlockFromPeer([](char* into, int room) {
        int got = SioReadBlock(kLibraryPort, into, room);
        return got > 0 ? got : 0;
    });
}

double RawBlockFromPeer() {
    return BlockFromPeer([](char* into, int room) {
        return static_cast<int>(raw.ReadArrived(into, static_cast<DWORD>(room), true));
    });
}

// A 9-byte request and the far end's 9-byte reply, each way with a time-out:
// the far end takes the request, then answers.
constexpr int kExchangeTimeoutMs = 1000;
char reply[9];

template <typename WriteTimed, typename ReadTimed>
double TimedExchange(WriteTimed writeTimed, ReadTimed readTimed) {
    peer.BeginReceive(9);
    double start = NowMicros();
    if (writeTimed() != 9) return -1;
    if (peer.Wait() != 9) return -1;
    peer.BeginSend(kFrame, 9);
    int got = readTimed();
    double took = NowMicros() - start;
    peer.Wait();
    return got == 9 ? took : -1;
}

double LibraryTimedExchange() {
    return TimedExchange([] { return SioWriteTimed(kLibraryPort, kFrame, 9, kExchangeTimeoutMs); },
                         [] { return SioReadTimed(kLibraryPort, reply, 9, kExchangeTimeoutMs); });
}

double RawTimedExchange() {
    return TimedExchange([] { return static_cast<int>(raw.WriteTimed(kFrame, 9, kExchangeTimeoutMs)); },
                         [] { return static_cast<int>(raw.ReadTimed(reply, 9, kExchangeTimeoutMs, true)); });
}

double RawTimedExchangeWithoutErrorQuery() {
    return TimedExchange([] { return static_cast<int>(raw.WriteTimed(kFrame, 9, kExchangeTimeoutMs)); },
                         [] { return static_cast<int>(raw.ReadTimed(reply, 9, kExchangeTimeoutMs, false)); });
}

// The same exchange with the plain calls: the reply polled until it is there.
double PlainTimedExchange() {
    return TimedExchange([] { return SioWriteBlock(kLibraryPort, kFrame, 9); },
                         [] {
                             int got = 0;
                             double start = NowMicros();
                             while (got < 9 && NowMicros() - start < kExchangeTimeoutMs * 1000.0) {
                                 int n = SioReadBlock(kLibraryPort, reply + got, 9 - got);
                                 if (n < 0) return n;
                                 got += n;
                             }
                             return got;
                         });
}

void PrintTimings() {
    printf("%-48s %10s %10s %8s %6s\n", "median per run (microseconds)", "library", "raw", "lib/raw", "runs");
    Compare("9-byte write until the far end has it", 10, 100, LibraryFrameToPeer, RawFrameToPeer);
    Compare("9-byte write call alone", 10, 100, LibraryFrameCall, RawFrameCall);
    Compare("9-byte request, 9-byte reply read", 10, 100, LibraryRequestReply, RawRequestReply);
    Compare("read of an empty queue", 10, 100, LibraryEmptyRead, RawEmptyRead);
    Compare("  raw without the line-error query", 10, 100, LibraryEmptyRead, RawEmptyReadWithoutErrorQuery);
    Compare("9-byte request/reply, timed calls", 10, 50, LibraryTimedExchange, RawTimedExchange);
    Compare("  raw without the line-error query", 10, 50, LibraryTimedExchange,
            RawTimedExchangeWithoutErrorQuery);
    Compare("  plain calls (polling) against raw timed", 10, 50, PlainTimedExchange, RawTimedExchange);
    Compare("64 KB to the far end", 10, 5, LibraryBlockToPeer, RawBlockToPeer);
    Compare("64 KB from the far end", 10, 5, LibraryBlockFromPeer, RawBlockFromPeer);
}

// Ten calls of every kind but open and close; returns how many gave an
// unexpected result. The line's queue is empty, so both reads are ended.
int TenCalls(int cycle) {
    char buffer[1023];
    int wrong = 0;
    wrong += SioWriteBlock(kLibraryPort, kFrame, 9) != 9;
    wrong += SioPutByte(kLibraryPort, 'x') != 1;
    wrong += SioReadBlock(kLibraryPort, buffer, sizeof buffer) != 0;
    wrong += SioGetByte(kLibraryPort) != SIO_NO_DATA;
    wrong += SioUngetByte(kLibraryPort, 0x41) != 0;
    wrong += SioGetByte(kLibraryPort) != 0x41;
    wrong += SioRxCount(kLibraryPort) < 0;
    wrong += SioTxCount(kLibraryPort) < 0;
    wrong += SioLineErrors(kLibraryPort, -1) != 0;
    wrong += (cycle % 2 ? SioFlushTx(kLibraryPort) : SioFlushRx(kLibraryPort)) != 0;
    return wrong;
}

bool CountHeapAllocations() {
    if (!bench::InstallHeapCounter()) {
        printf("heap allocations: the allocator's entry cannot be patched here\n");
        return false;
    }
    // The counter must see allocations made each way before it may report
    // none; volatile keeps the compiler from leaving them out.
    bench::CountAllocations(true);
    void* volatile block = malloc(16);
    int* volatile object = new int(1);
    void* volatile heapBlock = HeapAlloc(GetProcessHeap(), 0, 16);
    bench::CountAllocations(false);
    long calibration = bench::AllocationsCounted();
    free(block);
    delete object;
    HeapFree(GetProcessHeap(), 0, heapBlock);

    long before = bench::AllocationsCounted();
    int wrong = 0;
    const int cycles = 10000;
    bench::CountAllocations(true);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        wrong += TenCalls(cycle);
        if (cycle % 100 != 99) continue;
        bench::CountAllocations(false);  // the far end drains what was sent, uncounted
        peer.port().Receive(scratch, 100 * 10, 2000);
        bench::CountAllocations(true);
    }
    bench::CountAllocations(false);
    long counted = bench::AllocationsCounted() - before;
    printf("heap allocations during %d library calls: %ld\n", cycles * 10, counted);
    printf("  (calibration: malloc, new and HeapAlloc counted %ld)%s\n", calibration,
           wrong ? "  (some calls gave wrong results!)" : "");
    return counted == 0 && calibration >= 3 && wrong == 0;
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);  // each figure shows as it is measured
    for (int i = 0; i < kBlock; ++i) pattern[i] = static_cast<char>((i * 31 + (i >> 8)) & 0xFF);
    if (SioOpenPort(kLibraryPort, 4096, 4096) != 0 || !raw.Open("\\\\.\\COM3") ||
        !peer.Start("\\\\.\\COM4")) {
        printf("cannot open COM3 (twice: library and raw) and COM4\n");
        return 2;
    }
    SioFlushRx(kLibraryPort);
    PrintTimings();
    bool zero = CountHeapAllocations();
    peer.Stop();
    raw.Close();
    SioClosePort(kLibraryPort);
    return zero ? 0 : 1;
}
