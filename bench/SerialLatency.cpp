// The serial chain from the peer's bytes to the posted notification: latency of
// one byte, what a stream of status frames costs each transport thread (wake-ups,
// preemptions and CPU per frame and per notified batch), each rate beside the
// machine's floor (two bare threads woken for every frame), and what an idle port
// and a hung-up one cost. Per-thread figures come from /proc/self/task.
#include <dirent.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "Stats.h"
#include "serial/SerialWnd.h"
#include "support/MessageSink.h"
#include "support/Pty.h"

using namespace std::chrono_literals;
using quillon::test::MessageSink;
using quillon::test::Pty;

namespace {

// Voluntary switches are the thread's own waits, each ended by a wake-up; involuntary ones are
// preemptions, which say more about the machine's load than about the thread.
struct TaskSample {
    long waits = 0;
    long preemptions = 0;
    long long cpuNs = 0;
};

TaskSample operator-(const TaskSample& a, const TaskSample& b) {
    return {a.waits - b.waits, a.preemptions - b.preemptions, a.cpuNs - b.cpuNs};
}

std::string TaskPath(pid_t tid, const char* what) {
    return "/proc/self/task/" + std::to_string(tid) + "/" + what;
}

TaskSample SampleTask(pid_t tid) {
    TaskSample sample;
    std::ifstream status(TaskPath(tid, "status"));
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string key;
        long value = 0;
        if (!(fields >> key >> value)) continue;
        if (key == "voluntary_ctxt_switches:") sample.waits = value;
        if (key == "nonvoluntary_ctxt_switches:") sample.preemptions = value;
    }
    std::ifstream(TaskPath(tid, "schedstat")) >> sample.cpuNs;
    return sample;
}

std::vector<pid_t> Tasks() {
    std::vector<pid_t> tids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') tids.push_back(static_cast<pid_t>(std::stol(entry->d_name)));
        }
        ::closedir(dir);
    }
    std::sort(tids.begin(), tids.end());
    return tids;
}

// The threads the port started: its I/O thread, which the layer names, and the listener.
struct ChainThreads {
    pid_t io = 0;
    pid_t listener = 0;
    pid_t window = ::gettid();
};

std::string TaskName(pid_t tid) {
    std::string name;
    std::getline(std::ifstream(TaskPath(tid, "comm")), name);
    return name;
}

ChainThreads FindChainThreads(const std::vector<pid_t>& before) {
    ChainThreads threads;
    for (pid_t tid : Tasks()) {
        if (std::binary_search(before.begin(), before.end(), tid)) continue;
        (TaskName(tid) == "comm io" ? threads.io : threads.listener) = tid;
    }
    return threads;
}

struct ChainSample {
    TaskSample io, listener, window;
};

ChainSample SampleChain(const ChainThreads& threads) {
    return {SampleTask(threads.io), SampleTask(threads.listener), SampleTask(threads.window)};
}

void PrintPerUnit(const char* what, const ChainSample& before, const ChainSample& after, double units) {
    const auto line = [&](const char* thread, const TaskSample& delta) {
        std::fprintf(stderr, "  %-8s %5.2f wake-ups + %5.2f preemptions, %6.1f us CPU per %s\n", thread,
                     delta.waits / units, delta.preemptions / units, delta.cpuNs / 1e3 / units, what);
    };
    line("io", after.io - before.io);
    line("listener", after.listener - before.listener);
    line("window", after.window - before.window);
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void ReportIdle(const char* what, const ChainThreads& threads, std::chrono::seconds span) {
    const ChainSample before = SampleChain(threads);
    const double cpuBefore = CpuSeconds();
    std::this_thread::sleep_for(span);
    const double share = (CpuSeconds() - cpuBefore) / static_cast<double>(span.count()) * 100.0;
    const ChainSample after = SampleChain(threads);
    std::fprintf(stderr, "%s: CPU %.2f%%, wake-ups over %llds: io %ld, listener %ld\n", what, share,
                 static_cast<long long>(span.count()), (after.io - before.io).waits,
                 (after.listener - before.listener).waits);
}

// The window's part of a notification: one read of everything waiting, as the dialog does.
std::size_t ReadWaiting(CSerialWnd& port) {
    BYTE buf[1024];
    DWORD count = 0;
    port.ReadData(buf, sizeof(buf), &count);
    return count;
}

void MeasureLatency(Pty& pty, MessageSink& sink, CSerialWnd& port, const ChainThreads& threads) {
    constexpr int kSamples = 2000;
    std::vector<double> latencies;
    const ChainSample before = SampleChain(threads);
    for (int i = 0; i < kSamples; ++i) {
        sink.Clear();
        const auto sent = std::chrono::steady_clock::now();
        pty.Write({0x55});
        if (!sink.WaitFor(1, 2s)) return;
        latencies.push_back(
            std::chrono::duration<double, std::micro>(sink.Messages()[0].when - sent).count());
        ReadWaiting(port);
        std::this_thread::sleep_for(1ms);
    }
    const ChainSample after = SampleChain(threads);
    PrintPercentiles("byte to notification", latencies);
    PrintPerUnit("byte", before, after, kSamples);
}

using Clock = std::chrono::steady_clock;

// The peer: `frames` 9-byte status frames at `rate` per second, each one's write time kept in `written`.
std::thread StreamFrames(const Pty& pty, int rate, std::vector<Clock::time_point>& written) {
    return std::thread([&pty, rate, &written] {
        const auto period = std::chrono::nanoseconds(1'000'000'000 / rate);
        auto next = Clock::now();
        for (std::size_t i = 0; i < written.size(); ++i) {
            written[i] = Clock::now();
            pty.Write({0xAA, 0x55, 0x07, 0x02, 0x7D, 0x00, static_cast<BYTE>(i & 0x3F), 0x00, 0xB0});
            next += period;
            std::this_thread::sleep_until(next);
        }
    });
}

// The machine's floor for a chain that tells a window of every frame: two bare threads, one
// waiting on the device and reading it, then waking the other through an eventfd, as a posted
// message does. No toolkit, no port layer; on a machine whose wake-ups are dear, this alone can
// cost more than all the rest.
void MeasureBareChain(int rate, int frames) {
    Pty pty;
    const int device = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int wake = ::eventfd(0, 0);
    if (device < 0 || wake < 0) {
        std::perror("bare chain");
        if (device >= 0) ::close(device);
        if (wake >= 0) ::close(wake);
        return;
    }
    // Raw already: the pair shares the settings the master was given.
    pty.CloseSlave();
    const std::size_t total = static_cast<std::size_t>(frames) * 9;
    // The reader takes its own counts: its task is gone from /proc once it ends.
    std::atomic<bool> ready{false};
    std::atomic<bool> done{false};
    TaskSample readerDelta;
    std::thread reader([&] {
        const TaskSample before = SampleTask(::gettid());
        ready = true;
        std::size_t received = 0;
        BYTE buf[1024];
        while (received < total) {
            pollfd pfd{device, POLLIN, 0};
            if (::poll(&pfd, 1, 2000) <= 0) break;
            const ssize_t n = ::read(device, buf, sizeof(buf));
            if (n <= 0) continue;
            received += static_cast<std::size_t>(n);
            if (received >= total) break;
            const std::uint64_t one = 1;
            if (::write(wake, &one, sizeof(one)) != sizeof(one)) break;
        }
        readerDelta = SampleTask(::gettid()) - before;
        // The last wake-up tells the window that the stream is over (or that the device went quiet).
        done = true;
        const std::uint64_t last = 1;
        (void)!::write(wake, &last, sizeof(last));
    });
    while (!ready) std::this_thread::yield();
    const TaskSample windowBefore = SampleTask(::gettid());
    std::vector<Clock::time_point> written(static_cast<std::size_t>(frames));
    std::thread peer = StreamFrames(pty, rate, written);
    std::uint64_t count = 0;
    while (!done && ::read(wake, &count, sizeof(count)) == sizeof(count)) continue;
    peer.join();
    const TaskSample windowDelta = SampleTask(::gettid()) - windowBefore;
    reader.join();
    ::close(wake);
    ::close(device);
    const auto perFrame = [frames](double value) { return value / static_cast<double>(frames); };
    std::fprintf(
        stderr,
        "bare chain, %d frames at %d/s: reader %.2f wake-ups, %.1f us; window %.2f wake-ups, %.1f us;"
        " together %.1f us CPU per frame\n",
        frames, rate, perFrame(readerDelta.waits), perFrame(readerDelta.cpuNs / 1e3),
        perFrame(windowDelta.waits), perFrame(windowDelta.cpuNs / 1e3),
        perFrame((readerDelta.cpuNs + windowDelta.cpuNs) / 1e3));
}

// A peer streaming 9-byte status frames at `rate` per second; the window reads at each notification.
// Also prints how long each frame took from its write to the window's read of its last byte, which
// is the notification's latency and the window thread's wake-up.
void MeasureStream(Pty& pty, MessageSink& sink, CSerialWnd& port, const ChainThreads& threads, int rate,
                   int frames) {
    sink.Clear();
    std::vector<Clock::time_point> written(static_cast<std::size_t>(frames));
    const ChainSample before = SampleChain(threads);
    std::thread peer = StreamFrames(pty, rate, written);
    const std::size_t total = static_cast<std::size_t>(frames) * 9;
    std::size_t received = 0;
    std::size_t handled = 0;
    std::vector<std::pair<Clock::time_point, std::size_t>> reads;
    while (received < total) {
        if (!sink.WaitFor(handled + 1, 2s)) break;
        handled = sink.Messages().size();
        received += ReadWaiting(port);
        reads.emplace_back(Clock::now(), received);
    }
    peer.join();
    const ChainSample after = SampleChain(threads);
    std::fprintf(stderr, "stream of %d frames at %d/s: %zu notifications, %zu of %zu bytes\n", frames, rate,
                 handled, received, total);
    std::vector<double> latencies;
    std::size_t nFrame = 0;
    for (const auto& [when, bytes] : reads) {
        for (; nFrame < bytes / 9; ++nFrame)
            latencies.push_back(std::chrono::duration<double, std::micro>(when - written[nFrame]).count());
    }
    PrintPercentiles("  frame to the window's read", latencies);
    PrintPerUnit("frame", before, after, frames);
    PrintPerUnit("batch", before, after, static_cast<double>(std::max<std::size_t>(handled, 1)));
}

}  // namespace

int main(int argc, char** argv) {
    // --bare-chain RATE SECONDS: the floor alone, for a whole-program run to set beside its figure.
    if (argc == 4 && std::string_view(argv[1]) == "--bare-chain") {
        const int rate = std::atoi(argv[2]);
        const int seconds = std::atoi(argv[3]);
        if (rate <= 0 || seconds <= 0) return 2;
        MeasureBareChain(rate, rate * seconds);
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "usage: quillon_bench_serial [--bare-chain RATE SECONDS]\n");
        return 2;
    }
    Pty pty;
    MessageSink sink;
    CSerialWnd port;
    const std::vector<pid_t> before = Tasks();
    if (port.OpenForWindow(pty.Path().c_str(), static_cast<HWND>(&sink)) != 0) return 1;
    port.SetEventMask(0x1FD);
    // The I/O thread names itself as it starts.
    std::this_thread::sleep_for(100ms);
    const ChainThreads threads = FindChainThreads(before);
    if (!threads.io || !threads.listener) return 1;

    // A first pass warms the caches and is not reported.
    MeasureStream(pty, sink, port, threads, 1000, 200);
    std::fprintf(stderr, "--- reported:\n");
    MeasureLatency(pty, sink, port, threads);
    // Each rate beside the bare chain's floor, in turns, so that both see the same load.
    for (const auto& [rate, frames] : {std::pair{500, 1000}, std::pair{1280, 2560}, std::pair{5000, 5000}}) {
        MeasureBareChain(rate, frames);
        MeasureStream(pty, sink, port, threads, rate, frames);
    }

    // The last notifications of the stream settle first.
    std::this_thread::sleep_for(200ms);
    ReportIdle("idle and open", threads, 3s);
    pty.CloseSlave();
    pty.HangUp();
    std::this_thread::sleep_for(200ms);
    ReportIdle("after the peer hung up", threads, 3s);
    port.ClosePort();
    return 0;
}
