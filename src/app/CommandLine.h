// quillon's command line: quillon [--list-ports] [DEVICE], or --help, or --version.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quillon {

enum class Action {
    Run,        // open the window
    ListPorts,  // print the ports and their states
    Help,
    Version,
    Wrong,  // a usage message on standard error, exit status 2
};

struct CommandLine {
    Action action = Action::Run;
    std::string device;             // Run and ListPorts: the only port, as COM1; empty: COM1 to COM8
    std::string error;              // Wrong: what is wrong
    std::string capture;            // Run: the file that gets the line's traffic; empty: none
    std::string report;             // Run: the file that gets the terminal report; empty: none
    bool bExitAfterReport = false;  // Run: leave once the report is written
    std::string history;            // Run: the CSV file each sensor sample is appended to; empty: none
};

// The arguments after the program's name, read in order: --help and --version answer at once,
// an unknown option or a second device is wrong at once.
CommandLine ParseCommandLine(std::span<const std::string_view> args);

std::string_view HelpText();

// What standard error reads for a wrong command line.
std::string UsageMessage(std::string_view error);

}  // namespace quillon
