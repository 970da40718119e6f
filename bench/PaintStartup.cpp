// One paint of the main dialog on each page, and start-up to the first painted
// frame against an empty Qt dialog in the same run. Start-up runs this program
// again as a child (fork, then exec with a mode argument): the child takes the
// time just before exec, and the new image reports the moment its first paint
// is complete and the CPU time it had spent by then. Like the framework, this
// tool includes Qt: the empty dialog is a bare QApplication and QDialog.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DialogBench.h"
#include "workflows/Exit.h"

using namespace quillon;
using namespace quillon::bench;

namespace {

constexpr double kGoalStartupRatio = 1.2;
// The child's report, in nanoseconds: the time its parent side took just before exec, then the
// time main() began (the loading both children share), the time its first paint was complete and
// its CPU time by then.
constexpr int kReportFd = 3;
constexpr const char* kChildQuillon = "--child-quillon";
constexpr const char* kChildEmpty = "--child-empty";
constexpr UINT WM_BENCH_END = WM_USER + 1;

std::int64_t NowNs(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t g_nMainNs = 0;

void ReportFirstPaint() {
    const std::int64_t report[3] = {g_nMainNs, NowNs(CLOCK_MONOTONIC), NowNs(CLOCK_PROCESS_CPUTIME_ID)};
    [[maybe_unused]] const ssize_t n = ::write(kReportFd, report, sizeof report);
    ::close(kReportFd);
}

// ---- the children -------------------------------------------------------------------------

// The main dialog as the program runs it, with its first paint reported.
class CFirstPaintDlg : public CQuillonDlg {
public:
    void OnPaint() {
        CQuillonDlg::OnPaint();
        if (m_bPainted) return;
        m_bPainted = true;
        ReportFirstPaint();
        PostMessage(WM_BENCH_END);
    }
    LRESULT OnBenchEnd(WPARAM, LPARAM) {
        EndDialog(IDCANCEL);
        return 0;
    }

private:
    bool m_bPainted = false;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CFirstPaintDlg, CQuillonDlg)
ON_WM_PAINT()
ON_MESSAGE(WM_BENCH_END, OnBenchEnd)
END_MESSAGE_MAP()

class CFirstPaintApp : public CWinApp {
public:
    BOOL InitInstance() override {
        AfxEnableControlContainer();
        CFirstPaintDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }
};

int RunQuillonChild(int argc, char** argv) {
    CFirstPaintApp app;
    return AfxWinMain(argc, argv);
}

// Lets the dialog paint, then reports.
class FirstPaintFilter final : public QObject {
protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() != QEvent::Paint || m_bPainted) return false;
        m_bPainted = true;
        pWatched->event(pEvent);
        ReportFirstPaint();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return true;
    }

private:
    bool m_bPainted = false;
};

// The same client size as the main dialog, given as WIDTHxHEIGHT.
int RunEmptyChild(int argc, char** argv, std::string_view size) {
    QApplication app(argc, argv);
    QDialog dialog;
    const auto x = size.find('x');
    dialog.resize(std::atoi(std::string(size.substr(0, x)).c_str()),
                  std::atoi(std::string(size.substr(x + 1)).c_str()));
    FirstPaintFilter filter;
    dialog.installEventFilter(&filter);
    dialog.show();
    return app.exec();
}

// ---- start-up ---------------------------------------------------------------------------

struct StartupSample {
    double wallUs = 0;
    double cpuUs = 0;
    double loadUs = 0;  // exec to main()
};

std::optional<StartupSample> StartChild(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Async-signal-safe calls only: the parent has threads.
        ::dup2(fds[1], kReportFd);
        const std::int64_t start = NowNs(CLOCK_MONOTONIC);
        if (::write(kReportFd, &start, sizeof start) == sizeof start) ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::int64_t report[4] = {};
    const bool bRead = pid > 0 && ReadAll(fds[0], report, sizeof report);
    ::close(fds[0]);
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    if (!bRead || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return StartupSample{static_cast<double>(report[2] - report[0]) / 1e3,
                         static_cast<double>(report[3]) / 1e3,
                         static_cast<double>(report[1] - report[0]) / 1e3};
}

void Startup(int nReps, const RECT& client) {
    const std::string self = SelfPath();
    const std::string size = std::to_string(client.right) + "x" + std::to_string(client.bottom);
    std::vector<double> quillonWall, quillonCpu, quillonLoad, emptyWall, emptyCpu, emptyLoad;
    // Taken in turns, so that both see the same load; the first pair warms the caches.
    for (int i = 0; i <= nReps; ++i) {
        const auto pty = MapPortsToPty();
        const auto quillon = StartChild({self, kChildQuillon});
        const auto empty = StartChild({self, kChildEmpty, size});
        if (!quillon || !empty) {
            std::fprintf(stderr, "start-up: a child did not report its first paint\n");
            return;
        }
        if (i == 0) continue;
        quillonWall.push_back(quillon->wallUs / 1e3);
        quillonCpu.push_back(quillon->cpuUs / 1e3);
        quillonLoad.push_back(quillon->loadUs / 1e3);
        emptyWall.push_back(empty->wallUs / 1e3);
        emptyCpu.push_back(empty->cpuUs / 1e3);
        emptyLoad.push_back(empty->loadUs / 1e3);
    }
    std::fprintf(stderr, "start-up, exec to the first completed paint (%d runs each, in turns)\n", nReps);
    const Spread quillon = MedianAndMin(quillonWall);
    const Spread empty = MedianAndMin(emptyWall);
    PrintBesideGoal("quillon's main dialog, wall", quillon, "ms");
    PrintBesideGoal("quillon's main dialog, CPU", MedianAndMin(quillonCpu), "ms");
    PrintBesideGoal("quillon's main dialog, exec to main()", MedianAndMin(quillonLoad), "ms");
    PrintBesideGoal(("empty Qt dialog " + size + ", wall").c_str(), empty, "ms");
    PrintBesideGoal(("empty Qt dialog " + size + ", CPU").c_str(), MedianAndMin(emptyCpu), "ms");
    PrintBesideGoal(("empty Qt dialog " + size + ", exec to main()").c_str(), MedianAndMin(emptyLoad), "ms");
    const Spread ratio{quillon.median / empty.median, quillon.min / empty.min};
    std::fprintf(stderr, "%-62s medians %8.2f x    mins %8.2f x    goal <= %.1f x: %s\n",
                 "ratio quillon / empty", ratio.median, ratio.min, kGoalStartupRatio,
                 ratio.median <= kGoalStartupRatio ? "met" : "NOT MET");
}

// ---- one paint ----------------------------------------------------------------------------

struct Visit {
    const char* name;
    std::function<void(CQuillonDlg&)> go;
};

// The pages in the order a user meets them.
const Visit kVisits[] = {
    {"start screen", [](CQuillonDlg&) {}},
    {"start screen's exit question", [](CQuillonDlg& dlg) { dlg.OnExit2(); }},
    {"terminal status", [](CQuillonDlg& dlg) { dlg.OnPageTerminalStatus(); }},
    {"thermal", [](CQuillonDlg& dlg) { dlg.OnPageThermal(); }},
    {"power", [](CQuillonDlg& dlg) { dlg.OnPagePower(); }},
    {"I/O with COM-port supply", [](CQuillonDlg& dlg) { dlg.OnPageIoCom(); }},
    {"I/O", [](CQuillonDlg& dlg) { dlg.OnPageIo(); }},
    {"exit question",
     [](CQuillonDlg& dlg) {
         dlg.ApplyShowSteps(kExitPageSteps);
         g_nPage = PAGE_EXIT_CONFIRM;
     }},
};

double TimedRepaint(CQuillonDlg& dlg, double* pCpuUs) {
    dlg.Invalidate();
    const double wall = WallUs();
    const double cpu = ThreadCpuUs();
    dlg.UpdateWindow();
    if (pCpuUs) *pCpuUs = ThreadCpuUs() - cpu;
    return WallUs() - wall;
}

void Paints(CQuillonDlg& dlg, int nReps) {
    std::fprintf(stderr, "one paint of the main dialog, picture and controls (%d repaints a page)\n", nReps);
    for (const Visit& visit : kVisits) {
        if (g_nPage == PAGE_WAIT_EXIT_CONFIRM) dlg.OnIn2();
        visit.go(dlg);
        const double first = TimedRepaint(dlg, nullptr);
        AfxPumpMessages(100);
        std::vector<double> wall, cpu;
        for (int i = 0; i < nReps; ++i) {
            double cpuUs = 0;
            wall.push_back(TimedRepaint(dlg, &cpuUs) / 1e3);
            cpu.push_back(cpuUs / 1e3);
        }
        const std::string what = std::string(visit.name) + " (page " + std::to_string(g_nPage) + ")";
        PrintBesideGoal((what + ", wall").c_str(), MedianAndMin(wall), "ms");
        PrintBesideGoal((what + ", CPU").c_str(), MedianAndMin(cpu), "ms");
        std::fprintf(
            stderr, "    its first paint, its picture decoded then (the program decodes it ahead): %.2f ms\n",
            first / 1e3);
    }
}

struct Options {
    int nPaints = 20;
    int nStarts = 10;
    bool bPaints = true;
    bool bStartup = true;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--paints" && value) {
            options.nPaints = std::max(1, std::atoi(value));
            ++i;
        } else if (arg == "--starts" && value) {
            options.nStarts = std::max(1, std::atoi(value));
            ++i;
        } else if (arg == "--no-paints") {
            options.bPaints = false;
        } else if (arg == "--no-startup") {
            options.bStartup = false;
        } else {
            std::fprintf(stderr,
                         "Usage: quillon_bench_paint [--paints N] [--starts N] [--no-paints] [--no-startup]\n"
                         "Times one paint of the main dialog on each page (N repaints, 20), then start-up\n"
                         "to the first completed paint against an empty Qt dialog (N runs each, 10).\n"
                         "Offscreen unless QT_QPA_PLATFORM says otherwise (xcb under a virtual display).\n");
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    g_nMainNs = NowNs(CLOCK_MONOTONIC);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc >= 2 && std::string_view(argv[1]) == kChildQuillon) return RunQuillonChild(argc, argv);
    if (argc >= 3 && std::string_view(argv[1]) == kChildEmpty) return RunEmptyChild(argc, argv, argv[2]);
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;

    AfxInitPlatform(argc, argv);
    const auto line = MapPortsToPty();
    RECT client{};
    {
        CQuillonDlg dlg;
        if (!dlg.Create(IDD_QUILLON_DIALOG)) {
            std::fprintf(stderr, "quillon_bench_paint: the dialog did not open\n");
            return 1;
        }
        AfxPumpMessages(300);
        dlg.GetClientRect(&client);
        std::fprintf(stderr, "platform %s, client area %d x %d\n", std::getenv("QT_QPA_PLATFORM"),
                     static_cast<int>(client.right), static_cast<int>(client.bottom));
        if (options.bPaints) Paints(dlg, options.nPaints);
    }
    if (options.bStartup) Startup(options.nStarts, client);
    return 0;
}
