// quillon's command line: what it answers at once, the device it takes, and what is wrong.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"

namespace {

using quillon::Action;
using Args = std::vector<std::string_view>;

TEST(CommandLine, ReadsTheArgumentsInOrder) {
    const struct {
        Args args;
        Action action;
        std::string device;
    } rows[] = {
        {{}, Action::Run, ""},
        {{"/dev/ttyUSB0"}, Action::Run, "/dev/ttyUSB0"},
        {{"--", "-odd-name"}, Action::Run, "-odd-name"},
        {{"--list-ports"}, Action::ListPorts, ""},
        {{"/dev/ttyACM0", "--list-ports"}, Action::ListPorts, "/dev/ttyACM0"},
        {{"-h"}, Action::Help, ""},
        {{"--help", "--bogus"}, Action::Help, ""},
        {{"a", "--version", "b"}, Action::Version, ""},
        {{"--bogus", "--version"}, Action::Wrong, ""},
        {{"-platform", "offscreen"}, Action::Wrong, ""},
        {{"--device", "/dev/ttyS1"}, Action::Wrong, ""},
        {{"/dev/ttyS0", "/dev/ttyS1"}, Action::Wrong, ""},
        {{""}, Action::Wrong, ""},
    };
    for (const auto& row : rows) {
        std::string joined;
        for (std::string_view arg : row.args) joined += std::string(arg) + " ";
        const quillon::CommandLine line = quillon::ParseCommandLine(row.args);
        EXPECT_EQ(line.action, row.action) << joined;
        EXPECT_EQ(line.device, row.device) << joined;
        EXPECT_EQ(line.error.empty(), row.action != Action::Wrong) << joined;
    }
}

TEST(CommandLine, AWrongLineNamesWhatIsWrongAndTheSynopsis) {
    const std::vector<std::string_view> args{"/dev/ttyS0", "--verbose"};
    EXPECT_EQ(quillon::UsageMessage(quillon::ParseCommandLine(args).error),
              "quillon: unknown option '--verbose'\n"
              "Usage: quillon [--list-ports] [DEVICE]\n"
              "Try 'quillon --help'.\n");
}

}  // namespace
