// quillon's command line: what it answers at once and what it leaves to the window.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"

namespace {

using Args = std::vector<std::string_view>;

std::optional<std::string> Reply(const Args& args) {
    return quillon::CommandLineReply(args, "4.2");
}

TEST(CommandLine, HelpAndVersionAnswerInsteadOfTheWindow) {
    for (const Args& args : {Args{"--help"}, Args{"-h"}}) {
        const auto reply = Reply(args);
        ASSERT_TRUE(reply) << args[0];
        EXPECT_EQ(reply->rfind("Usage: quillon", 0), 0u) << *reply;
        EXPECT_NE(reply->find("QUILLON_COMn"), std::string::npos);
        EXPECT_EQ(reply->back(), '\n');
    }
    EXPECT_EQ(Reply({"--version"}), "quillon 4.2\n");
}

TEST(CommandLine, EveryOtherArgumentIsIgnored) {
    EXPECT_EQ(Reply({}), std::nullopt);
    EXPECT_EQ(Reply({"--verbose", "COM3", "-platform", "offscreen"}), std::nullopt);
    // Near misses are not options.
    EXPECT_EQ(Reply({"--Help", "-help", "--version=1", "-v", "help"}), std::nullopt);
    EXPECT_EQ(Reply({"--bogus", "--version"}), "quillon 4.2\n");
}

TEST(CommandLine, TheFirstOfHelpAndVersionDecides) {
    EXPECT_EQ(Reply({"--version", "--help"}), "quillon 4.2\n");
    const auto reply = Reply({"-h", "--version"});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->rfind("Usage:", 0), 0u);
}

}  // namespace
