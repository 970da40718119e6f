// The receive path through to the screen. Status frames of the simulator's
// sensor model are written on a pty by a child process, at a chosen rate or back
// to back at the line's speed, while the real dialog runs its event loop: reads,
// decoding, the console, the texts and every paint they cause. The figure is
// the CPU time of this whole process (the port's threads and the window's) per
// frame; the writer is another process and is not counted.
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "DialogBench.h"
#include "sim/Controller.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

// One byte on the line: a start bit, eight data bits and a stop bit at 115200 bit/s.
constexpr double kByteSeconds = 10.0 / 115200;
constexpr double kGoalUsPerFrame = 39;
// The log is kept at 64 to 128 KiB: a full one lies near the top.
constexpr int kFullConsole = 120 * 1024;
// After the last frame, the last text refresh and paint come well within this.
constexpr DWORD kDrainMs = 200;
constexpr DWORD kSettleMs = 300;

using Frame = std::vector<Byte>;

struct Schedule {
    std::vector<Frame> frames;
    std::vector<double> at;  // seconds from the start at which each frame is written

    double Seconds() const { return at.empty() ? 0 : at.back(); }
};

// The status stream as the simulated controller sends it, sweep after sweep.
class FrameSource {
public:
    Frame Next() {
        if (m_held) return *std::exchange(m_held, std::nullopt);
        // The lifetime counters advance a second every line's worth of frames.
        return m_controller.NextStatusFrame(
            std::chrono::seconds(m_nFrames++ / static_cast<std::size_t>(sim::kLineFramesPerSecond)));
    }

    // Every status sub-command once, in the order the stream has them.
    std::vector<Frame> NextCycle() {
        std::vector<Frame> cycle;
        std::set<Byte> seen;
        for (;;) {
            Frame frame = Next();
            if (!seen.insert(frame[kSubCommandOffset]).second) {
                m_held = std::move(frame);
                return cycle;
            }
            cycle.push_back(std::move(frame));
        }
    }

private:
    sim::Controller m_controller{sim::Config{}};
    std::optional<Frame> m_held;
    std::size_t m_nFrames = 0;
};

Schedule AtRate(FrameSource& source, double rateHz, double seconds) {
    Schedule schedule;
    const auto count = static_cast<std::size_t>(rateHz * seconds);
    for (std::size_t i = 0; i < count; ++i) {
        schedule.frames.push_back(source.Next());
        schedule.at.push_back(static_cast<double>(i) / rateHz);
    }
    return schedule;
}

// Each frame follows the one before as soon as the line has carried it.
Schedule BackToBack(std::vector<Frame> frames) {
    Schedule schedule;
    double at = 0;
    for (Frame& frame : frames) {
        schedule.at.push_back(at);
        at += static_cast<double>(frame.size()) * kByteSeconds;
        schedule.frames.push_back(std::move(frame));
    }
    return schedule;
}

// The writer's mode, its descriptors in that mode, and the schedule's form: per frame the time
// from the start in nanoseconds, the length and the bytes.
constexpr const char* kWriterMode = "--writer";
constexpr int kWriterLineFd = 3;
constexpr int kWriterScheduleFd = 4;

// Writes the schedule on the pty's master side from a program image of its own. It is spawned,
// not forked: after a fork every page this process writes again would cost a copy-on-write
// fault, a cost the program itself never pays.
pid_t StartWriter(int fd, const Schedule& schedule) {
    const int scheduleFd = ::memfd_create("schedule", MFD_CLOEXEC);
    if (scheduleFd < 0) return -1;
    bool bWritten = true;
    for (std::size_t i = 0; i < schedule.frames.size() && bWritten; ++i) {
        const auto ns = static_cast<std::int64_t>(schedule.at[i] * 1e9);
        const auto size = static_cast<std::uint32_t>(schedule.frames[i].size());
        bWritten = WriteAll(scheduleFd, &ns, sizeof ns) && WriteAll(scheduleFd, &size, sizeof size) &&
                   WriteAll(scheduleFd, schedule.frames[i].data(), size);
    }
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, kWriterLineFd);
    posix_spawn_file_actions_adddup2(&actions, scheduleFd, kWriterScheduleFd);
    std::string self = SelfPath();
    std::string mode = kWriterMode;
    std::string start = std::to_string(static_cast<std::int64_t>(WallUs() * 1e3));
    char* argv[] = {self.data(), mode.data(), start.data(), nullptr};
    if (bWritten && ::lseek(scheduleFd, 0, SEEK_SET) == 0 &&
        ::posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(scheduleFd);
    return pid;
}

// The writer's side: each frame at its time after the start given in nanoseconds.
int RunWriter(const char* pszStartNs) {
    const std::int64_t startNs = std::atoll(pszStartNs);
    std::int64_t ns = 0;
    std::uint32_t size = 0;
    Frame frame;
    while (ReadAll(kWriterScheduleFd, &ns, sizeof ns) && ReadAll(kWriterScheduleFd, &size, sizeof size)) {
        frame.resize(size);
        if (!ReadAll(kWriterScheduleFd, frame.data(), size)) return 1;
        const std::int64_t dueNs = startNs + ns;
        const timespec due{static_cast<time_t>(dueNs / 1'000'000'000), static_cast<long>(dueNs % 1'000'000'000)};
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
        if (!WriteAll(kWriterLineFd, frame.data(), frame.size())) return 1;
    }
    return 0;
}

struct Cost {
    double cpuUs = 0;     // the whole process
    double windowUs = 0;  // the window's thread alone
    double switches = 0;  // context switches of every thread
    bool keptUp = true;   // nothing left unread once the frames had time to reach the screen
};

Cost Stream(CQuillonDlg& dlg, const test::Pty& line, const Schedule& schedule) {
    const double cpu = ProcessCpuUs();
    const double window = ThreadCpuUs();
    const long switches = ContextSwitches();
    const pid_t writer = StartWriter(line.Master(), schedule);
    if (writer < 0) {
        std::fprintf(stderr, "quillon_bench_receive: the writer did not start\n");
        std::exit(1);
    }
    AfxPumpMessages(static_cast<DWORD>(schedule.Seconds() * 1000) + kDrainMs);
    Cost cost;
    // A dialog that falls behind leaves the writer blocked on a full line: let it catch up.
    int status = 0;
    while (::waitpid(writer, &status, WNOHANG) == 0) {
        cost.keptUp = false;
        AfxPumpMessages(kDrainMs);
    }
    for (int i = 0; i < 50 && PendingInput(dlg) > 0; ++i) {
        cost.keptUp = false;
        AfxPumpMessages(kDrainMs);
    }
    cost.cpuUs = ProcessCpuUs() - cpu;
    cost.windowUs = ThreadCpuUs() - window;
    cost.switches = static_cast<double>(ContextSwitches() - switches);
    return cost;
}

struct Options {
    int nReps = 10;
    double lineSeconds = 1;  // each repetition at the line's rate
    double slowSeconds = 2;  // each repetition at the slow rate
};

struct PerFrame {
    std::vector<double> cpu, window, switches;
    bool keptUp = true;

    void Add(const Cost& cost, std::size_t frames) {
        const auto n = static_cast<double>(frames);
        cpu.push_back(cost.cpuUs / n);
        window.push_back(cost.windowUs / n);
        switches.push_back(cost.switches / n);
        keptUp = keptUp && cost.keptUp;
    }

    void Print(const std::string& what, double goal, const std::string& goalText) const {
        PrintBesideGoal(what.c_str(), MedianAndMin(cpu), "us", goal, goalText.c_str());
        std::fprintf(stderr, "    of which the window's thread %.1f us; %.2f context switches per frame%s\n",
                     MedianAndMin(window).median, MedianAndMin(switches).median,
                     keptUp ? "" : "; FELL BEHIND the line");
    }
};

struct Page {
    const char* name;
    void (CQuillonDlg::*show)();
};

constexpr Page kDataPages[] = {
    {"terminal status", &CQuillonDlg::OnPageTerminalStatus},
    {"thermal", &CQuillonDlg::OnPageThermal},
    {"power", &CQuillonDlg::OnPagePower},
};

void PerFrameAtRate(CQuillonDlg& dlg, const test::Pty& line, FrameSource& source, const Options& options,
                    const char* page, double rateHz, double seconds) {
    PerFrame figure;
    for (int i = 0; i < options.nReps; ++i) {
        const Schedule schedule = AtRate(source, rateHz, seconds);
        figure.Add(Stream(dlg, line, schedule), schedule.frames.size());
    }
    char what[128];
    std::snprintf(what, sizeof what, "per frame, %s page, %.0f frames/s", page, rateHz);
    figure.Print(what, kGoalUsPerFrame, "<= 39 us");
}

void StatusCycles(CQuillonDlg& dlg, const test::Pty& line, FrameSource& source, const Options& options) {
    std::vector<double> perCycle;
    PerFrame perFrame;
    std::size_t frames = 0;
    std::size_t bytes = 0;
    for (int i = 0; i < 2 * options.nReps; ++i) {
        std::vector<Frame> cycle = source.NextCycle();
        frames = cycle.size();
        bytes = 0;
        for (const Frame& frame : cycle) bytes += frame.size();
        const Schedule schedule = BackToBack(std::move(cycle));
        const Cost cost = Stream(dlg, line, schedule);
        perCycle.push_back(cost.cpuUs);
        perFrame.Add(cost, frames);
    }
    char what[128], goal[64];
    std::snprintf(what, sizeof what, "status cycle (%zu frames, %zu bytes, back to back), per cycle", frames,
                  bytes);
    std::snprintf(goal, sizeof goal, "<= %.0f us (39 us x %zu)",
                  kGoalUsPerFrame * static_cast<double>(frames), frames);
    PrintBesideGoal(what, MedianAndMin(perCycle), "us", kGoalUsPerFrame * static_cast<double>(frames), goal);
    perFrame.Print("status cycle, per frame", kGoalUsPerFrame, "<= 39 us");
}

void Idle(const Options& options) {
    AfxPumpMessages(1000);  // what the last frames left to do
    std::vector<double> cpu, switches;
    for (int i = 0; i < options.nReps; ++i) {
        const double before = ProcessCpuUs();
        const long switched = ContextSwitches();
        AfxPumpMessages(1000);
        cpu.push_back((ProcessCpuUs() - before) / 1e4);  // percent of one core over a second
        // Less the one wake-up of the timer that ends the pump.
        switches.push_back(static_cast<double>(ContextSwitches() - switched - 1));
    }
    PrintBesideGoal("idle, port open, per second: CPU", MedianAndMin(cpu), "%", 0.2, "< 0.2 %");
    PrintBesideGoal("idle, port open, per second: wake-ups", MedianAndMin(switches), "", 0, "none");
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--reps" && value) {
            options.nReps = std::max(1, std::atoi(value));
        } else if (arg == "--seconds" && value) {
            options.lineSeconds = std::max(0.1, std::atof(value));
            options.slowSeconds = 2 * options.lineSeconds;
        } else {
            std::fprintf(stderr,
                         "Usage: quillon_bench_receive [--reps N] [--seconds S]\n"
                         "Streams status frames to the real dialog on a pty and prints the CPU time of\n"
                         "the process per frame, paints included, at the line's rate and at 50 frames/s,\n"
                         "then per status cycle and while idle. N repetitions of S seconds (10, 1).\n"
                         "The dialog's trace words go to standard output, the figures to standard error.\n");
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == kWriterMode) return RunWriter(argv[2]);
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    AfxInitPlatform(argc, argv);
    const auto line = MapPortsToPty();
    CQuillonDlg dlg;
    if (!dlg.Create(IDD_QUILLON_DIALOG) || !dlg.m_serial.IsOpen()) {
        std::fprintf(stderr, "quillon_bench_receive: the dialog did not open the pty\n");
        return 1;
    }
    FrameSource source;
    constexpr double kLineRateHz = sim::kLineFramesPerSecond;
    constexpr double kSlowRateHz = 50;

    std::fprintf(
        stderr,
        "CPU of the whole process per frame, from the pty to the screen, console full (%d repetitions)\n",
        options.nReps);
    // Renders the pictures and fills the caches; not reported.
    dlg.OnPageTerminalStatus();
    Stream(dlg, *line, AtRate(source, kLineRateHz, options.lineSeconds));

    for (const Page& page : kDataPages) {
        FillConsole(dlg, kFullConsole);
        (dlg.*page.show)();
        AfxPumpMessages(kSettleMs);
        PerFrameAtRate(dlg, *line, source, options, page.name, kLineRateHz, options.lineSeconds);
    }
    FillConsole(dlg, kFullConsole);
    dlg.OnPageThermal();
    AfxPumpMessages(kSettleMs);
    PerFrameAtRate(dlg, *line, source, options, "thermal", kSlowRateHz, options.slowSeconds);
    StatusCycles(dlg, *line, source, options);
    Idle(options);
    return 0;
}
