// quillon's command line: --help and --version answer at once; every other argument is ignored.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

// The text to print instead of opening the window, or nothing to run as usual. The first of
// -h, --help and --version decides.
std::optional<std::string> CommandLineReply(std::span<const std::string_view> args, std::string_view version);

}  // namespace quillon
