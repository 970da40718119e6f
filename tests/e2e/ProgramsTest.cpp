// The quillon and quillon-sim programs together, as a user starts them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

using namespace std::chrono_literals;

namespace {

// A child program whose standard output and error are collected.
class Program {
public:
    Program(const std::string& path, const std::vector<std::string>& args,
            const std::vector<std::string>& env) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> environment(env);
        for (char** e = environ; *e; ++e) environment.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~Program() {
        Stop();
        ::close(m_out);
        ::close(m_err);
    }

    bool Running() const { return m_pid > 0; }

    // Collects output until `pred` holds or the time is up.
    template <typename Pred>
    bool WaitFor(Pred pred, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!pred()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
            if (::poll(fds, 2, static_cast<int>(std::min<long>(left.count(), 100))) < 0) return false;
            Collect(fds[0], m_stdout);
            Collect(fds[1], m_stderr);
        }
        return true;
    }

    pid_t Pid() const { return m_pid; }

    // Lets the program end by itself, collecting its output; its exit status, -1 if killed.
    int Wait() {
        WaitFor([this] { return ::waitpid(m_pid, &m_status, WNOHANG) == m_pid; }, 20s);
        m_pid = -1;
        WaitFor([] { return false; }, 50ms);
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

    // Ends the program and returns how it ended.
    int Stop(int signal = SIGTERM) {
        if (m_pid <= 0) return m_status;
        ::kill(m_pid, signal);
        ::waitpid(m_pid, &m_status, 0);
        m_pid = -1;
        WaitFor([] { return false; }, 50ms);
        return m_status;
    }

    const std::string& Out() const { return m_stdout; }
    const std::string& Err() const { return m_stderr; }

private:
    static void Collect(const pollfd& fd, std::string& into) {
        if (!(fd.revents & (POLLIN | POLLHUP))) return;
        char buf[4096];
        const ssize_t n = ::read(fd.fd, buf, sizeof(buf));
        if (n > 0) into.append(buf, static_cast<std::size_t>(n));
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    int m_status = 0;
    std::string m_stdout;
    std::string m_stderr;
};

std::size_t Count(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t pos = text.find(word); pos != std::string::npos; pos = text.find(word, pos + 1)) ++n;
    return n;
}

}  // namespace

// The device given as the argument is the only port: COM1's variable names one that is not there.
TEST(Programs, QuillonHoldsTheWholeConversationWithTheSimulator) {
    Program sim(QUILLON_SIM_PROGRAM, {"--delay", "1500", "--log", "--rate", "20"}, {});
    ASSERT_TRUE(sim.Running());
    ASSERT_TRUE(sim.WaitFor([&] { return sim.Out().find('\n') != std::string::npos; }, 10s));
    ASSERT_EQ(sim.Out().rfind("device: ", 0), 0u) << sim.Out();
    const std::string device = sim.Out().substr(8, sim.Out().find('\n') - 8);

    char szLocks[] = "/tmp/quillon-e2e-locks-XXXXXX";
    ASSERT_NE(::mkdtemp(szLocks), nullptr);
    const auto environment = [&szLocks](const std::string& com1) {
        std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "QUILLON_LOCK_DIR=" + std::string(szLocks),
                                     "QUILLON_COM1=" + com1};
        for (int n = 2; n <= 8; ++n)
            env.push_back("QUILLON_COM" + std::to_string(n) + "=/nonexistent/com" + std::to_string(n));
        return env;
    };
    Program quillon(QUILLON_PROGRAM, {device}, environment("/nonexistent/com1"));
    ASSERT_TRUE(quillon.Running());

    // Announcement, link open, I/O version, serial numbers, then the stream.
    const bool streaming =
        sim.WaitFor([&] { return sim.Err().find("accepted all states\n") != std::string::npos; }, 20s);
    EXPECT_TRUE(streaming) << sim.Err();
    EXPECT_NE(sim.Err().find("accepted link open"), std::string::npos);
    EXPECT_NE(sim.Err().find("accepted I/O version"), std::string::npos);
    EXPECT_NE(sim.Err().find("accepted serial number start"), std::string::npos);
    EXPECT_GE(Count(sim.Err(), "accepted serial number\n"), 1u);
    EXPECT_EQ(sim.Err().find("rejected"), std::string::npos) << sim.Err();

    quillon.WaitFor([&] { return Count(quillon.Out(), "recv\n") >= 10; }, 10s);
    EXPECT_GE(Count(quillon.Out(), "recv\n"), 10u) << quillon.Out();
    EXPECT_NE(quillon.Err().find("quillon: COM1 is " + device + "\n"), std::string::npos) << quillon.Err();
    EXPECT_EQ(quillon.Err().find("/nonexistent"), std::string::npos) << quillon.Err();

    // Another start lists the ports as they are: the variables' devices, COM1 held by the first.
    Program list(QUILLON_PROGRAM, {"--list-ports"}, environment(device));
    EXPECT_EQ(list.Wait(), 0) << list.Err();
    EXPECT_EQ(list.Out().rfind("COM1  " + device + " ", 0), 0u) << list.Out();
    EXPECT_NE(list.Out().find("  held by process " + std::to_string(quillon.Pid()) + "\n"), std::string::npos)
        << list.Out();
    EXPECT_NE(list.Out().find("\nCOM8  /nonexistent/com8  missing\n"), std::string::npos) << list.Out();
    quillon.Stop();
    sim.Stop();
    std::filesystem::remove_all(szLocks);
}

// What a user types wrong, or sends where nothing can be written.
TEST(Programs, QuillonRefusesAWrongCommandLineAndAnUnwritableAnswer) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* err;
    } rows[] = {
        {{"--bogus"}, 2, "quillon: unknown option '--bogus'\nUsage: quillon [--list-ports] [DEVICE]\n"},
        {{"/dev/ttyUSB0", "/dev/ttyUSB1"}, 2, "Usage: quillon"},
        {{"--help"}, 1, "No space left on device"},
        {{"--version"}, 1, "No space left on device"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"-c", "exec \"$0\" \"$@\" >/dev/full", QUILLON_PROGRAM};
        args.insert(args.end(), row.args.begin(), row.args.end());
        Program program("/bin/sh", args, {});
        EXPECT_EQ(program.Wait(), row.status) << row.args[0];
        EXPECT_NE(program.Err().find(row.err), std::string::npos) << program.Err();
    }
}
