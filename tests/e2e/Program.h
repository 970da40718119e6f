// A child program whose output is collected, for the tests that start quillon and quillon-sim.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace e2e {

using namespace std::chrono_literals;

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

inline std::size_t Count(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t pos = text.find(word); pos != std::string::npos; pos = text.find(word, pos + 1)) ++n;
    return n;
}

}  // namespace e2e
