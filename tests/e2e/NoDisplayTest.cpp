// quillon started where no display can be opened: one line that says what to do, status 1.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Ended {
    int nStatus = -1;
    std::string err;
};

// quillon with the display variables of `display` alone and no serial port; its standard error.
// A start that waits for ever instead of ending is cut off, and fails.
Ended RunWithDisplay(const std::string& display) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + display;
    for (int n = 1; n <= 8; ++n) command += " QUILLON_COM" + std::to_string(n) + "=/nonexistent/com";
    command += " timeout 60 " QUILLON_PROGRAM " 2>&1 >/dev/null";
    Ended ended;
    FILE* pPipe = ::popen(command.c_str(), "r");
    if (!pPipe) return ended;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pPipe)) > 0;) ended.err.append(buf, n);
    ended.nStatus = ::pclose(pPipe);
    return ended;
}

}  // namespace

TEST(NoDisplay, OneLineSaysWhatToDoAndTheStatusIsOne) {
    const struct {
        const char* pszDisplay;
        const char* pszNamed;  // what the line must name of the display that failed
    } kCases[] = {
        {"", "set DISPLAY"},
        {"DISPLAY=:59999", "DISPLAY=:59999"},
        {"QT_QPA_PLATFORM=xcb", "QT_QPA_PLATFORM=xcb"},
    };
    for (const auto& c : kCases) {
        const Ended ended = RunWithDisplay(c.pszDisplay);
        ASSERT_TRUE(WIFEXITED(ended.nStatus)) << c.pszDisplay << ": " << ended.err;
        EXPECT_EQ(WEXITSTATUS(ended.nStatus), 1) << c.pszDisplay;
        EXPECT_EQ(ended.err.find('\n'), ended.err.size() - 1)
            << c.pszDisplay << ": not one line: " << ended.err;
        EXPECT_EQ(ended.err.rfind("quillon: ", 0), 0u) << c.pszDisplay << ": " << ended.err;
        EXPECT_NE(ended.err.find(c.pszNamed), std::string::npos) << c.pszDisplay << ": " << ended.err;
        EXPECT_NE(ended.err.find("desktop session"), std::string::npos) << c.pszDisplay << ": " << ended.err;
    }
}
