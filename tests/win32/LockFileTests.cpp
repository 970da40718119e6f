// UUCP lock files around the open and close of a port, in a lock directory of the test's own.
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "PortFixture.h"
#include "platform/win32/LockFile.h"
#include "platform/win32/PortAccess.h"

namespace win32_test {
namespace {

namespace fs = std::filesystem;

TEST(LockRules, NamesParsesAndWritesLocksAsSerialProgramsDo) {
    EXPECT_EQ(win32::LockName("/dev/ttyUSB0"), "LCK..ttyUSB0");
    EXPECT_EQ(win32::LockName("/dev/pts/3"), "LCK..3");
    EXPECT_EQ(win32::LockName("ttyS1"), "LCK..ttyS1");

    EXPECT_EQ(win32::LockText(1234), "      1234\n");
    EXPECT_EQ(win32::ParseLockPid(win32::LockText(1234)), 1234);
    EXPECT_EQ(win32::ParseLockPid("4321"), 4321);
    EXPECT_EQ(win32::ParseLockPid(" 77 \n"), 77);
    const std::int32_t nBinary = 5150;
    EXPECT_EQ(win32::ParseLockPid(std::string_view(reinterpret_cast<const char*>(&nBinary), sizeof nBinary)),
              5150);
    EXPECT_EQ(win32::ParseLockPid("  88\nwhat follows the first line\n"), 88);
    for (const char* bad : {"", "\n", "0", "   -5\n", "12abc", "99999999999", "pid 12", "\n1234\n"}) {
        EXPECT_EQ(win32::ParseLockPid(bad), std::nullopt) << '"' << bad << '"';
    }
}

TEST(LockRules, AStickyDirectoryLetsOnlyTheOwnersOrRootRemove) {
    EXPECT_TRUE(win32::MayRemoveEntry(01777, 0, 1000, 1000));
    EXPECT_FALSE(win32::MayRemoveEntry(01777, 0, 1001, 1000));
    EXPECT_TRUE(win32::MayRemoveEntry(01777, 0, 1001, 0));
    EXPECT_TRUE(win32::MayRemoveEntry(00777, 0, 1001, 1000));
}

std::string Read(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A process that lives until the test ends it.
class Sleeper {
public:
    Sleeper() {
        m_pid = fork();
        if (m_pid == 0) {
            pause();
            _exit(0);
        }
    }
    ~Sleeper() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid;
};

// The id of a process that has ended.
pid_t EndedPid() {
    const pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

class LockTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillon-locks-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        setenv("QUILLON_LOCK_DIR", m_dir.c_str(), 1);
        m_lock = m_dir / win32::LockName(m_peer.Path());
    }
    void TearDown() override {
        if (m_hPort != INVALID_HANDLE_VALUE) CloseHandle(m_hPort);
        unsetenv("QUILLON_LOCK_DIR");
        fs::remove_all(m_dir);
    }
    // What is left in the lock directory.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        return names;
    }

    PtyPeer m_peer;
    fs::path m_dir;
    fs::path m_lock;
    HANDLE m_hPort = INVALID_HANDLE_VALUE;
};

TEST_F(LockTest, AnOpenPortHoldsOurLockUntilItCloses) {
    m_hPort = OpenPath(m_peer.Path());
    ASSERT_NE(m_hPort, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Read(m_lock), win32::LockText(getpid()));
    EXPECT_EQ(Files(), std::vector<std::string>{m_lock.filename().string()}) << "no temporary file is left";

    ASSERT_TRUE(CloseHandle(m_hPort));
    m_hPort = INVALID_HANDLE_VALUE;
    EXPECT_FALSE(fs::exists(m_lock));
}

TEST_F(LockTest, ALockOfAnotherLivingProcessKeepsThePortBusy) {
    Sleeper other;
    Write(m_lock, win32::LockText(other.Pid()));

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(OpenPath(m_peer.Path()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    const auto failure = win32::LastOpenFailure(m_peer.Path().c_str());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, win32::OpenReason::Busy);
    EXPECT_EQ(failure->path, m_peer.Path());
    EXPECT_EQ(failure->lockFile, m_lock.string());
    EXPECT_EQ(failure->nHolder, other.Pid());
    EXPECT_EQ(Read(m_lock), win32::LockText(other.Pid())) << "another's lock is left alone";

    // Once that process has ended its lock is stale: the port opens and the lock is ours.
    kill(other.Pid(), SIGKILL);
    waitpid(other.Pid(), nullptr, 0);
    m_hPort = OpenPath(m_peer.Path());
    ASSERT_NE(m_hPort, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Read(m_lock), win32::LockText(getpid()));
    EXPECT_EQ(win32::LastOpenFailure(m_peer.Path().c_str()), std::nullopt);
}

TEST_F(LockTest, StaleEmptyOrGarbledLocksAreReplaced) {
    const std::int32_t nEnded = EndedPid();
    for (const std::string& stale :
         {win32::LockText(nEnded), std::string(reinterpret_cast<const char*>(&nEnded), 4), std::string(),
          std::string("garbage\n"), std::string(1 << 20, '7')}) {
        Write(m_lock, stale);
        m_hPort = OpenPath(m_peer.Path());
        ASSERT_NE(m_hPort, INVALID_HANDLE_VALUE) << GetLastError() << " " << stale.substr(0, 12);
        EXPECT_EQ(Read(m_lock), win32::LockText(getpid()));
        ASSERT_TRUE(CloseHandle(m_hPort));
        m_hPort = INVALID_HANDLE_VALUE;
    }
}

// Each is left in place and never opened, by a full open or a query: a FIFO would block for ever.
TEST_F(LockTest, AnythingButARegularFileUnderTheLockNameKeepsThePortBusy) {
    Sleeper other;
    const fs::path target = m_dir / "elsewhere";
    Write(target, win32::LockText(other.Pid()));
    const std::function<int()> makers[] = {
        [&] { return mkfifo(m_lock.c_str(), 0666); },
        [&] { return symlink(target.c_str(), m_lock.c_str()); },
        [&] { return mkdir(m_lock.c_str(), 0755); },
    };
    for (const auto& make : makers) {
        ASSERT_EQ(make(), 0);
        for (DWORD dwAccess : {GENERIC_READ | GENERIC_WRITE, DWORD{0}}) {
            EXPECT_EQ(CreateFileA(m_peer.Path().c_str(), dwAccess, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                      INVALID_HANDLE_VALUE);
            const auto failure = win32::LastOpenFailure(m_peer.Path().c_str());
            ASSERT_TRUE(failure);
            EXPECT_EQ(failure->dwError, ERROR_ACCESS_DENIED);
            EXPECT_EQ(failure->lockFile, m_lock.string());
            EXPECT_EQ(failure->lockHold, win32::LockHold::NotAFile);
        }
        fs::remove(m_lock);
    }
}

// In a child that is not root, for which root's lock in the sticky directory is not removable.
TEST_F(LockTest, AStaleLockWeMayNotRemoveKeepsThePortAndNamesTheEndedProcess) {
    if (geteuid() != 0) GTEST_SKIP() << "making another user's lock needs root";
    const pid_t nEnded = EndedPid();
    Write(m_lock, win32::LockText(nEnded));
    ASSERT_EQ(chmod(m_dir.c_str(), 01777) | chmod(m_peer.Path().c_str(), 0666), 0);
    int result[2];
    ASSERT_EQ(pipe(result), 0);
    if (fork() == 0) {
        std::string text = "not ready";
        if (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0) {
            text.clear();
            for (DWORD dwAccess : {DWORD{0}, GENERIC_READ | GENERIC_WRITE}) {
                const bool bOpened = CreateFileA(m_peer.Path().c_str(), dwAccess, 0, nullptr, OPEN_EXISTING,
                                                 0, nullptr) != INVALID_HANDLE_VALUE;
                const auto failure = win32::LastOpenFailure(m_peer.Path().c_str());
                text += bOpened || !failure
                            ? "opened;"
                            : failure->lockFile + " " + std::to_string(static_cast<int>(failure->lockHold)) +
                                  " " + std::to_string(failure->nHolder) + ";";
            }
        }
        _exit(write(result[1], text.data(), text.size()) < 0);
    }
    close(result[1]);
    char buffer[512];
    const ssize_t n = read(result[0], buffer, sizeof buffer);
    close(result[0]);
    wait(nullptr);
    const std::string expected = m_lock.string() + " " +
                                 std::to_string(static_cast<int>(win32::LockHold::Stale)) + " " +
                                 std::to_string(nEnded) + ";";
    EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), expected + expected);
    EXPECT_EQ(Read(m_lock), win32::LockText(nEnded));
}

TEST_F(LockTest, ALinkToTheDeviceIsLockedByTheDevicesNameAndHonoursALockOnItsOwn) {
    const fs::path link = m_dir / "usb-Example_Serial-if00-port0";
    fs::create_symlink(m_peer.Path(), link);
    m_hPort = OpenPath(link.string());
    ASSERT_NE(m_hPort, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Read(m_lock), win32::LockText(getpid()));
    ASSERT_TRUE(CloseHandle(m_hPort));
    m_hPort = INVALID_HANDLE_VALUE;

    Sleeper other;
    const fs::path linkLock = m_dir / win32::LockName(link.string());
    Write(linkLock, win32::LockText(other.Pid()));
    EXPECT_EQ(OpenPath(link.string()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fs::exists(m_lock));
}

TEST_F(LockTest, ASecondOpenOfOursLeavesTheFirstHandlesLock) {
    m_hPort = OpenPath(m_peer.Path());
    ASSERT_NE(m_hPort, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenPath(m_peer.Path()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(m_lock), win32::LockText(getpid()));

    ASSERT_TRUE(CloseHandle(m_hPort));
    m_hPort = INVALID_HANDLE_VALUE;
    EXPECT_FALSE(fs::exists(m_lock));
}

TEST_F(LockTest, WithoutAWritableLockDirectoryThePortStillOpens) {
    setenv("QUILLON_LOCK_DIR", (m_dir / "missing").c_str(), 1);
    m_hPort = OpenPath(m_peer.Path());
    EXPECT_NE(m_hPort, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace win32_test
