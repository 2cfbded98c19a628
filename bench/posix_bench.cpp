// The library against raw termios calls on socat pseudo-terminal pairs (a
// 9-byte request and reply, 64 KB one way, open and close), then many lines at
// once: 128 pairs on all 256 ports, each writer paced at 115200 baud's byte
// rate, each end on its own thread, against one paced pair alone. Prints
// medians and ratios. Run by scripts/bench native; needs socat.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sio.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPairs = 128;
constexpr int kBlock = 64 * 1024;
constexpr double kPacedBytesPerSecond = 115200.0 / 10.0;  // 8N1: ten bits a byte
constexpr auto kPacedRun = std::chrono::seconds(3);
constexpr int kRxChar = 0x001;
const char kRequest[9] = {0x01, 0x05, 0x02, 0x00, 0x00, 0x00, 0x00, 0x10, 0x18};

struct Pair {
    pid_t socat = -1;
    std::string a, b;
};

std::string folder;
std::vector<Pair> pairs;

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool StartPairs(int count) {
    char name[] = "/tmp/sio-bench-XXXXXX";
    if (!mkdtemp(name)) return false;
    folder = name;
    std::string map;
    for (int i = 0; i < count; ++i) {
        Pair pair;
        pair.a = folder + "/a" + std::to_string(i);
        pair.b = folder + "/b" + std::to_string(i);
        std::string endA = "pty,raw,echo=0,link=" + pair.a;
        std::string endB = "pty,raw,echo=0,link=" + pair.b;
        char* argv[] = {const_cast<char*>("socat"), endA.data(), endB.data(), nullptr};
        if (posix_spawnp(&pair.socat, "socat", nullptr, nullptr, argv, environ) != 0) return false;
        pairs.push_back(pair);
        map += (i ? "," : "") + std::string("COM") + std::to_string(2 * i + 1) + "=" + pair.a + ",COM" +
               std::to_string(2 * i + 2) + "=" + pair.b;
    }
    const auto until = Clock::now() + std::chrono::seconds(20);
    for (const Pair& pair : pairs)
        while (!(Exists(pair.a) && Exists(pair.b)) && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (const Pair& pair : pairs)
        if (!Exists(pair.a) || !Exists(pair.b)) return false;
    return setenv("SIO_PORT_MAP", map.c_str(), 1) == 0;
}

void StopPairs() {
    for (const Pair& pair : pairs) kill(pair.socat, SIGTERM);
    for (const Pair& pair : pairs) waitpid(pair.socat, nullptr, 0);
    std::string command = "rm -rf '" + folder + "'";
    if (!folder.empty() && system(command.c_str()) != 0)
        fprintf(stderr, "bench: %s left behind\n", folder.c_str());
}

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// The raw side: the same pair opened with plain calls, raw, non-blocking.
int RawOpen(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios2 t;
    if (fd < 0 || ioctl(fd, TCGETS2, &t) != 0) return -1;
    t.c_iflag = t.c_oflag = t.c_lflag = 0;
    t.c_cflag = CS8 | CREAD | CLOCAL | BOTHER;
    t.c_ispeed = t.c_ospeed = 19200;
    return ioctl(fd, TCSETS2, &t) == 0 ? fd : -1;
}

void RawWrite(int fd, const char* data, int count) {
    for (int done = 0; done < count;) {
        ssize_t n = write(fd, data + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
        } else {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        }
    }
}

void RawRead(int fd, char* data, int count) {
    for (int done = 0; done < count;) {
        ssize_t n = read(fd, data + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
        } else {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 100);
        }
    }
}

// The library's reads poll what has arrived, giving the processor up between
// polls (to socat and the I/O threads): an event wait that starts after the
// byte came would not end before its time-out.
void SioWriteAll(int port, const char* data, int count) { SioWriteBlock(port, data, count); }
void SioReadAll(int port, char* data, int count) {
    for (int done = 0; done < count;) {
        int n = SioReadBlock(port, data + done, count - done);
        if (n > 0)
            done += n;
        else
            std::this_thread::yield();
    }
}

void Report(const char* figure, double library, double raw) {
    printf("%-34s sio %10.1f us   raw %10.1f us   ratio %5.2f\n", figure, library, raw,
           raw > 0 ? library / raw : 0);
}

// The library on the first pair, the raw calls on the second, in turns, so
// that load from elsewhere on the machine falls on both alike.
struct Sides {
    Sides() : a(RawOpen(pairs[1].a)), b(RawOpen(pairs[1].b)) {
        SioOpenPort(0, 4096, 4096);
        SioOpenPort(1, 4096, 4096);
    }
    ~Sides() {
        SioClosePort(0);
        SioClosePort(1);
        close(a);
        close(b);
    }
    int a, b;
};

void RequestReply(int rounds) {
    std::vector<double> library, raw;
    char buffer[9];
    Sides sides;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        SioWriteAll(0, kRequest, 9);
        SioReadAll(1, buffer, 9);
        SioWriteAll(1, buffer, 9);
        SioReadAll(0, buffer, 9);
        library.push_back(Micros(Clock::now() - start));
        start = Clock::now();
        RawWrite(sides.a, kRequest, 9);
        RawRead(sides.b, buffer, 9);
        RawWrite(sides.b, buffer, 9);
        RawRead(sides.a, buffer, 9);
        raw.push_back(Micros(Clock::now() - start));
    }
    Report("9-byte request and reply", Median(library), Median(raw));
}

std::vector<char> block(kBlock), into(kBlock);

void OneWay(int rounds) {
    std::vector<double> library, raw;
    Sides sides;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        std::thread writer([] { SioWriteAll(0, block.data(), kBlock); });
        SioReadAll(1, into.data(), kBlock);
        writer.join();
        library.push_back(Micros(Clock::now() - start));
        start = Clock::now();
        std::thread rawWriter([&sides] { RawWrite(sides.a, block.data(), kBlock); });
        RawRead(sides.b, into.data(), kBlock);
        rawWriter.join();
        raw.push_back(Micros(Clock::now() - start));
    }
    Report("64 KB one way", Median(library), Median(raw));
}

void OpenClose(int rounds) {
    std::vector<double> library, raw;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        SioOpenPort(0, 4096, 4096);
        SioClosePort(0);
        library.push_back(Micros(Clock::now() - start));
        start = Clock::now();
        close(RawOpen(pairs[1].a));
        raw.push_back(Micros(Clock::now() - start));
    }
    Report("open and close", Median(library), Median(raw));
}

// Bytes that arrived at the reader of one pair within the run.
struct Paced {
    std::atomic<long> received{0};
};

void PacedWriter(int port, Clock::time_point start) {
    static char data[4096];
    long sent = 0;
    for (auto now = Clock::now(); now - start < kPacedRun; now = Clock::now()) {
        const double due = kPacedBytesPerSecond * std::chrono::duration<double>(now - start).count();
        const long chunk = std::min<long>(static_cast<long>(due) - sent, sizeof data);
        if (chunk > 0 && SioWriteBlock(port, data, static_cast<int>(chunk)) > 0) sent += chunk;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void PacedReader(int port, Clock::time_point start, Paced& paced) {
    char data[4096];
    while (Clock::now() - start < kPacedRun) {
        int n = SioReadBlock(port, data, sizeof data);
        if (n > 0)
            paced.received += n;
        else
            SioWaitEvent(port, kRxChar, 5);
    }
}

// Bytes a second that count pairs moved together.
double PacedRun(int count) {
    std::vector<Paced> paced(static_cast<size_t>(count));
    for (int i = 0; i < 2 * count; ++i) SioOpenPort(i, 4096, 4096);
    std::vector<std::thread> threads;
    const auto start = Clock::now() + std::chrono::milliseconds(50);
    for (int i = 0; i < count; ++i) {
        threads.emplace_back(PacedWriter, 2 * i, start);
        threads.emplace_back(PacedReader, 2 * i + 1, start, std::ref(paced[static_cast<size_t>(i)]));
    }
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < 2 * count; ++i) SioClosePort(i);
    long total = 0;
    for (const Paced& p : paced) total += p.received;
    return static_cast<double>(total) / std::chrono::duration<double>(kPacedRun).count();
}

}  // namespace

int main() {
    if (!StartPairs(kPairs)) {
        fprintf(stderr, "bench: cannot start %d socat pairs\n", kPairs);
        StopPairs();
        return 1;
    }
    printf("sio against raw termios on a pseudo-terminal pair (medians)\n");
    RequestReply(2000);
    OneWay(50);
    OpenClose(200);
    const double alone = PacedRun(1);
    const double together = PacedRun(kPairs);
    printf(
        "paced at 115200 baud: one pair %.0f B/s, %d pairs %.0f B/s together, ratio %.3f (of %d x one "
        "pair)\n",
        alone, kPairs, together, together / (kPairs * alone), kPairs);
    StopPairs();
    return 0;
}
