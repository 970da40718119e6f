#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "app/NoPortMessage.h"
#include "app/QuillonDlg.h"
#include "app/Startup.h"
#include "platform/afx/Afx.h"
#include "platform/win32/PortAccess.h"
#include "quillon/Version.h"
#include "session/Capture.h"
#include "session/HistoryCsv.h"

namespace {

// The user chose where standard output goes: a full disk is an error to report, not a success.
int WriteOut(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return 0;
    std::fprintf(stderr, "quillon: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using quillon::Action;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const quillon::CommandLine line = quillon::ParseCommandLine(args);
    switch (line.action) {
        case Action::Help:
            return WriteOut(quillon::HelpText());
        case Action::Version:
            return WriteOut("quillon " + std::string(quillon::kVersion) + "\n");
        case Action::Wrong:
            std::fputs(quillon::UsageMessage(line.error).c_str(), stderr);
            return 2;
        case Action::ListPorts:
        case Action::Run:
            break;
    }
    win32::UseOnlyDevice(line.device);
    if (line.action == Action::ListPorts)
        return WriteOut(quillon::PortList(quillon::ProbePorts(quillon::kPortCount)));
    // Lives until the window has closed the port.
    const auto capture = line.capture.empty() ? nullptr : quillon::CLineCapture::Start(line.capture);
    g_strReportPath = line.report;
    g_bExitAfterReport = line.bExitAfterReport ? 1 : 0;
    // A file that cannot be written is said at once; the program runs without it.
    if (!line.history.empty()) {
        if (const std::string error = quillon::g_historyFile.Open(line.history); !error.empty())
            std::fprintf(stderr, "quillon: %s\n", error.c_str());
    }
    // Every argument is ours: the toolkit gets none to read as its own options.
    return AfxWinMain(1, argv);
}
