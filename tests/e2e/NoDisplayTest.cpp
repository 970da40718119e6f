// quillon started where no display can be opened: one line that says what to do, status 1.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Ended {
    int nStatus = -1;
    std::string err;
};

// Runs quillon to its end with the display variables of `display` alone, and no serial port.
Ended RunWithDisplay(const std::vector<std::string>& display) {
    std::vector<std::string> environment(display);
    for (int n = 1; n <= 8; ++n)
        environment.push_back("QUILLON_COM" + std::to_string(n) + "=/nonexistent/com");
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!entry.starts_with("DISPLAY=") && !entry.starts_with("WAYLAND_DISPLAY=") &&
            !entry.starts_with("QT_QPA_PLATFORM=") && !entry.starts_with("QUILLON_COM"))
            environment.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    Ended ended;
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) return ended;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    char* argv[] = {const_cast<char*>(QUILLON_PROGRAM), nullptr};
    pid_t pid = -1;
    const bool bStarted = posix_spawn(&pid, QUILLON_PROGRAM, &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(err[1]);
    // A program that waits for ever instead of ending fails the test rather than hanging it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (char buf[4096]; bStarted && std::chrono::steady_clock::now() < deadline;) {
        pollfd fd{err[0], POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) continue;
        const ssize_t n = ::read(err[0], buf, sizeof buf);
        if (n <= 0) break;
        ended.err.append(buf, static_cast<std::size_t>(n));
    }
    ::close(err[0]);
    while (bStarted && ::waitpid(pid, &ended.nStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            ended.nStatus = -1;
            break;
        }
        ::usleep(10000);
    }
    return ended;
}

}  // namespace

TEST(NoDisplay, OneLineSaysWhatToDoAndTheStatusIsOne) {
    const struct {
        std::vector<std::string> display;
        const char* pszNamed;  // what the line must name of the display that failed
    } kCases[] = {
        {{}, "set DISPLAY"},
        {{"DISPLAY=:59999"}, "DISPLAY=:59999"},
        {{"QT_QPA_PLATFORM=xcb"}, "QT_QPA_PLATFORM=xcb"},
    };
    for (const auto& c : kCases) {
        const std::string which = c.display.empty() ? "no display variable" : c.display[0];
        const Ended ended = RunWithDisplay(c.display);
        ASSERT_TRUE(WIFEXITED(ended.nStatus)) << which << ": " << ended.err;
        EXPECT_EQ(WEXITSTATUS(ended.nStatus), 1) << which;
        EXPECT_EQ(ended.err.find('\n'), ended.err.size() - 1) << which << ": not one line: " << ended.err;
        EXPECT_EQ(ended.err.rfind("quillon: ", 0), 0u) << which << ": " << ended.err;
        EXPECT_NE(ended.err.find(c.pszNamed), std::string::npos) << which << ": " << ended.err;
        EXPECT_NE(ended.err.find("desktop session"), std::string::npos) << which << ": " << ended.err;
    }
}
