// The options of quillon-sim.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Config.h"

namespace quillon::sim {

struct CommandLine {
    Config config;
    std::optional<std::string> device;  // empty: a pty pair of our own
    bool interactive = false;           // announce on every Enter read from stdin
    std::optional<std::string> replay;  // a capture to play instead of the controller
    double replaySpeed = 1;             // the replay's times are divided by it
    bool help = false;
    bool version = false;
};

// Parses the arguments that follow the program name into `out`. Returns an
// empty text on success, else what is wrong.
std::string ParseCommandLine(const std::vector<std::string>& args, CommandLine& out);

std::string_view Usage();

// Writes text to standard output. The exit status: 0, or 1, with a message on standard error,
// when it could not be written whole (a full disk, a closed pipe).
int WriteOutput(std::string_view text);

}  // namespace quillon::sim
