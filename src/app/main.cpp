#include <cstdio>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "platform/afx/Afx.h"
#include "quillon/Version.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const auto reply = quillon::CommandLineReply(args, quillon::kVersion)) {
        std::fputs(reply->c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return AfxWinMain(argc, argv);
}
