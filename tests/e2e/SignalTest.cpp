// Ending quillon by a signal, as logging out and kill do: the device is given back as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Only reached when something is wrong.
constexpr auto kPatience = 20s;

// quillon on COM1 = a pty set to 9600 bit/s with line editing, as a fresh terminal is.
class SignalTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[256] = {};
        ASSERT_EQ(openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        m_path = name;
        // What quillon wrote is read once it has ended: never wait for more.
        fcntl(m_master, F_SETFL, O_NONBLOCK);
        termios t{};
        ASSERT_EQ(tcgetattr(m_slave, &t), 0);
        t.c_lflag |= ICANON | ECHO;
        cfsetspeed(&t, B9600);
        ASSERT_EQ(tcsetattr(m_slave, TCSANOW, &t), 0);
        std::string pattern = (fs::temp_directory_path() / "quillon-signal-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_lock = m_dir / ("LCK.." + fs::path(m_path).filename().string());
    }
    void TearDown() override {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_master);
        close(m_slave);
        fs::remove_all(m_dir);
    }

    // Started, and on: its lock is there and the device is in its exclusive use.
    void Start() {
        std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen", "QUILLON_COM1=" + m_path,
                                                "QUILLON_LOCK_DIR=" + m_dir.string()};
        for (int n = 2; n <= 8; ++n)
            environment.push_back("QUILLON_COM" + std::to_string(n) + "=/dev/quillon-no-such-port");
        for (char** e = environ; *e; ++e) environment.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        char* argv[] = {const_cast<char*>(QUILLON_PROGRAM), nullptr};
        ASSERT_EQ(posix_spawn(&m_pid, QUILLON_PROGRAM, &actions, nullptr, argv, envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (!(fs::exists(m_lock) && Exclusive()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(fs::exists(m_lock) && Exclusive()) << "quillon did not open " << m_path;
    }
    int Wait() {
        int status = -1;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (waitpid(m_pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        if (!WIFEXITED(status) && !WIFSIGNALED(status)) return -1;
        m_pid = -1;
        return status;
    }
    bool Exclusive() {
        int exclusive = 0;
        return ioctl(m_slave, TIOCGEXCL, &exclusive) == 0 && exclusive;
    }
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    fs::path m_dir;
    fs::path m_lock;
    pid_t m_pid = -1;
};

TEST_F(SignalTest, EachEndSignalClosesAsTheWindowDoesAndGivesTheDeviceBack) {
    const std::vector<unsigned char> linkClose = {0xAA, 0x55, 0x05, 0x01, 0x00, 0x00, 0x06, 0x00};
    for (int nSignal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_EQ(kill(m_pid, nSignal), 0);
        const int status = Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << strsignal(nSignal) << ": " << status;
        std::vector<unsigned char> written(64);
        written.resize(std::max<ssize_t>(read(m_master, written.data(), written.size()), 0));
        EXPECT_EQ(written, linkClose) << strsignal(nSignal);
        termios t{};
        ASSERT_EQ(tcgetattr(m_slave, &t), 0);
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600)) << strsignal(nSignal);
        EXPECT_TRUE(t.c_lflag & ICANON) << strsignal(nSignal);
        EXPECT_FALSE(Exclusive()) << strsignal(nSignal);
        EXPECT_FALSE(fs::exists(m_lock)) << strsignal(nSignal);
    }
}

// Both signals wait while it is stopped, and come one right after the other when it goes on.
TEST_F(SignalTest, ASecondSignalOnTheWayOutEndsItAtOnceWithoutItsLock) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(kill(m_pid, SIGSTOP), 0);
    int status = 0;
    ASSERT_EQ(waitpid(m_pid, &status, WUNTRACED), m_pid);
    ASSERT_TRUE(WIFSTOPPED(status));
    ASSERT_EQ(kill(m_pid, SIGTERM), 0);
    ASSERT_EQ(kill(m_pid, SIGINT), 0);
    ASSERT_EQ(kill(m_pid, SIGCONT), 0);
    status = Wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_TRUE(WTERMSIG(status) == SIGTERM || WTERMSIG(status) == SIGINT) << strsignal(WTERMSIG(status));
    EXPECT_FALSE(fs::exists(m_lock));
}

}  // namespace
