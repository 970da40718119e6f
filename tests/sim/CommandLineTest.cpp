// The options, and the quillon-sim program run as a user runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ProgramEnd.h"
#include "quillon/Version.h"
#include "sim/CommandLine.h"

extern char** environ;

namespace quillon::sim::test {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, DefaultsToAPtyAndATimedAnnouncement) {
    CommandLine options;
    ASSERT_EQ(ParseCommandLine({}, options), "");
    EXPECT_FALSE(options.device);
    EXPECT_FALSE(options.interactive);
    EXPECT_FALSE(options.help);
    EXPECT_EQ(options.config.announceDelay, Millis{1000});
    EXPECT_TRUE(options.config.systemSerial);
    EXPECT_FALSE(options.config.serials.empty());
}

TEST(CommandLine, TakesEveryOption) {
    CommandLine options;
    const Args args{"--device",
                    "/dev/ttyS3",
                    "--delay=250",
                    "--rate",
                    "12.5",
                    "--io-version",
                    std::string(kIoVersionNoComPower),
                    "--serials",
                    "13:LP7710932,48:VP1",
                    "--system-serial",
                    "SYS1",
                    "--seed",
                    "9",
                    "--bad-checksum",
                    "3",
                    "--split-at",
                    "4",
                    "--split-pause",
                    "70",
                    "--garbage",
                    "5",
                    "--garbage-bytes",
                    "2",
                    "--ack-delay",
                    "40",
                    "--drop-ack",
                    "6",
                    "--silent",
                    "--hangup-after",
                    "900",
                    "--hangup-after-frames",
                    "30",
                    "--stop-reading-after",
                    "700"};
    ASSERT_EQ(ParseCommandLine(args, options), "");
    const Config& c = options.config;
    EXPECT_EQ(options.device, "/dev/ttyS3");
    EXPECT_EQ(c.announceDelay, Millis{250});
    EXPECT_DOUBLE_EQ(c.rateHz, 12.5);
    EXPECT_EQ(c.ioVersion, kIoVersionNoComPower);
    EXPECT_EQ(c.serials, (std::vector<SerialEntry>{{13, "LP7710932"}, {48, "VP1"}}));
    EXPECT_EQ(c.systemSerial, "SYS1");
    EXPECT_EQ(c.seed, 9u);
    EXPECT_EQ(c.faults.badChecksumEvery, 3u);
    EXPECT_EQ(c.faults.splitAt, 4u);
    EXPECT_EQ(c.faults.splitPause, Millis{70});
    EXPECT_EQ(c.faults.garbageEvery, 5u);
    EXPECT_EQ(c.faults.garbageLength, 2u);
    EXPECT_EQ(c.faults.ackDelay, Millis{40});
    EXPECT_EQ(c.faults.dropAckEvery, 6u);
    EXPECT_TRUE(c.faults.silent);
    EXPECT_EQ(c.faults.hangupAfter, Millis{900});
    EXPECT_EQ(c.faults.hangupAfterFrames, 30u);
    EXPECT_EQ(c.faults.stopReadingAfter, Millis{700});
}

TEST(CommandLine, StreamsUpToTheLinesRate) {
    CommandLine options;
    EXPECT_EQ(ParseCommandLine({"--rate", "1280"}, options), "");
    EXPECT_NE(ParseCommandLine({"--rate", "1281"}, options), "");
}

TEST(CommandLine, InteractiveAnnouncesOnEnterUnlessADelayIsGiven) {
    CommandLine options;
    ASSERT_EQ(ParseCommandLine({"--interactive"}, options), "");
    EXPECT_TRUE(options.interactive);
    EXPECT_FALSE(options.config.announceDelay);
    ASSERT_EQ(ParseCommandLine({"--delay", "10", "--interactive"}, options), "");
    EXPECT_EQ(options.config.announceDelay, Millis{10});
}

TEST(CommandLine, NoSerialsClearsTheList) {
    CommandLine options;
    ASSERT_EQ(ParseCommandLine({"--no-serials"}, options), "");
    EXPECT_FALSE(options.config.systemSerial);
    EXPECT_TRUE(options.config.serials.empty());
    ASSERT_EQ(ParseCommandLine({"--serials", ""}, options), "");
    EXPECT_TRUE(options.config.systemSerial) << "an empty list keeps the system serial number";
    EXPECT_TRUE(options.config.serials.empty());
}

TEST(CommandLine, RefusesBadArguments) {
    const std::vector<Args> bad{
        {"--bogus"},
        {"stray"},
        {"--delay"},
        {"--delay", "-5"},
        {"--delay", "10ms"},
        {"--rate", "0"},
        {"--rate", "fast"},
        {"--rate", "5000"},
        {"--stop-reading-after", "-1"},
        {"--io-version", "IOFW-V2.07-NP.1cX"},
        {"--serials", "12"},
        {"--serials", "300:ABC"},
        {"--serials", "0:ABC"},
        {"--serials", "12:ABCDEFGHIJKL"},
        {"--serials", "12:"},
        {"--system-serial", "ABCDEFGHIJKL"},
        {"--no-serials", "--serials", "12:A"},
        {"--silent=yes"},
        {"--garbage", "1", "--garbage-bytes", "0"},
        {"--hangup-after-frames", "99999999999"},
        {"--replay-speed", "2"},
        {"--replay", "c.jsonl", "--replay-speed", "0"},
        {"--replay", "c.jsonl", "--replay-speed", "inf"},
    };
    for (const Args& args : bad) {
        CommandLine options;
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_NE(ParseCommandLine(args, options), "") << joined;
    }
}

// quillon-sim run as a child process with its output on pipes.
class Program {
public:
    explicit Program(const Args& args) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        std::vector<std::string> all{QUILLON_SIM_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&m_pid, QUILLON_SIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        m_out = out[0];
        m_err = err[0];
        if (rc != 0) throw std::runtime_error("spawn failed");
    }

    ~Program() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
        close(m_err);
    }

    // One line of standard output, without its newline.
    std::string ReadLine(Millis timeout) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        char c = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd fd{m_out, POLLIN, 0};
            if (poll(&fd, 1, 50) <= 0) continue;
            if (read(m_out, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }

    std::string ReadAll(int fd) {
        std::string text;
        char buffer[512];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

    std::string Stdout() { return ReadAll(m_out); }
    std::string Stderr() { return ReadAll(m_err); }

    void Signal(int signal) { kill(m_pid, signal); }

    // Exit status; -1 if the program died another way or had to be killed.
    int Wait() {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                m_pid = -1;
                return -1;
            }
            std::this_thread::sleep_for(Millis{20});
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

TEST(SimProgram, PrintsUsageOnHelp) {
    Program program({"--help"});
    EXPECT_EQ(program.Wait(), 0);
    const std::string usage = program.Stdout();
    EXPECT_EQ(usage.rfind("Usage: quillon-sim", 0), 0u) << usage;
    EXPECT_NE(usage.find("--hangup-after-frames"), std::string::npos);
}

TEST(SimProgram, FailsWhenItsAnswerCannotBeWritten) {
    for (const char* option : {"--help", "--version"}) {
        const int status = std::system(
            (std::string("'") + QUILLON_SIM_PROGRAM + "' " + option + " >/dev/full 2>/dev/null").c_str());
        EXPECT_TRUE(WIFEXITED(status)) << option;
        EXPECT_EQ(WEXITSTATUS(status), 1) << option;
    }
}

TEST(SimProgram, PrintsItsVersion) {
    Program program({"--version"});
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_EQ(program.Stdout(), std::string("quillon-sim ") + quillon::kVersion + "\n");
}

// A continuation line belongs to the option above it.
TEST(CommandLine, UsageExplainsTheDelayUnderInteractive) {
    const std::string usage(Usage());
    const std::size_t interactive = usage.find("  --interactive ");
    ASSERT_NE(interactive, std::string::npos);
    const std::size_t next = usage.find('\n', interactive) + 1;
    const std::string continuation = usage.substr(next, usage.find('\n', next) - next);
    EXPECT_EQ(continuation, std::string(24, ' ') + "unless --delay is given too");
}

TEST(CommandLine, VersionIsAnOptionWithoutValue) {
    CommandLine options;
    ASSERT_EQ(ParseCommandLine({"--version"}, options), "");
    EXPECT_TRUE(options.version);
    EXPECT_FALSE(options.help);
    EXPECT_EQ(ParseCommandLine({"--version=2"}, options), "option --version takes no value");
}

TEST(SimProgram, ExitsWithTwoOnABadArgument) {
    for (const Args& args : std::vector<Args>{{"--rate", "-1"}, {"--serials", "x"}, {"--wat"}}) {
        Program program(args);
        EXPECT_EQ(program.Wait(), 2) << args[0];
        EXPECT_NE(program.Stderr().find("quillon-sim: "), std::string::npos) << args[0];
        EXPECT_EQ(program.Stdout(), "");
    }
}

TEST(SimProgram, FailsCleanlyOnAMissingDevice) {
    Program program({"--device", "/nonexistent/tty"});
    EXPECT_EQ(program.Wait(), 1);
    EXPECT_NE(program.Stderr().find("/nonexistent/tty"), std::string::npos);
}

TEST(SimProgram, NamesItsPtyAndPlaysTheControllerThere) {
    Program program({"--delay", "100"});
    const std::string first = program.ReadLine(kPatience);
    ASSERT_EQ(first.rfind("device: /dev/pts/", 0), 0u) << first;
    const std::string path = first.substr(std::string("device: ").size());
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << path;

    const auto readBytes = [fd](std::size_t count) {
        std::vector<Byte> bytes;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            Byte buffer[64];
            const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n > 0) bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    };
    const std::string announcement = Config{}.announcement;
    const auto text = readBytes(announcement.size());
    EXPECT_EQ(std::string(text.begin(), text.end()), announcement);
    ASSERT_EQ(write(fd, kLinkOpen.data(), kLinkOpen.size()), static_cast<ssize_t>(kLinkOpen.size()));
    EXPECT_EQ(readBytes(7), (std::vector<Byte>{0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07}));
    close(fd);

    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), 0);
}

TEST(SimProgram, CountsTheFramesSentOnSigusr1AndAtTheEnd) {
    Program program({"--interactive"});
    EXPECT_EQ(program.ReadLine(kPatience).rfind("device: ", 0), 0u);
    program.Signal(SIGUSR1);
    EXPECT_EQ(program.ReadLine(kPatience), "frames sent: 0") << "and it carries on";
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_EQ(program.Stdout(), "frames sent: 0\n");
}

TEST(SimProgram, EndsWhenItHasHungUp) {
    Program program({"--hangup-after", "100"});
    EXPECT_EQ(program.ReadLine(kPatience).rfind("device: ", 0), 0u);
    EXPECT_EQ(program.Wait(), 0);
}

}  // namespace
}  // namespace quillon::sim::test
