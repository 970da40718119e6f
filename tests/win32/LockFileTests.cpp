// UUCP lock files around the open and close of a port, in a lock directory of the test's own.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
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
    for (const char* bad : {"", "\n", "0", "   -5\n", "12abc", "99999999999", "pid 12"}) {
        EXPECT_EQ(win32::ParseLockPid(bad), std::nullopt) << '"' << bad << '"';
    }
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

TEST_F(LockTest, StaleLocksInEitherFormAreReplaced) {
    const std::int32_t nEnded = EndedPid();
    for (const std::string& stale :
         {win32::LockText(nEnded), std::string(reinterpret_cast<const char*>(&nEnded), sizeof nEnded)}) {
        Write(m_lock, stale);
        m_hPort = OpenPath(m_peer.Path());
        ASSERT_NE(m_hPort, INVALID_HANDLE_VALUE) << GetLastError();
        EXPECT_EQ(Read(m_lock), win32::LockText(getpid()));
        ASSERT_TRUE(CloseHandle(m_hPort));
        m_hPort = INVALID_HANDLE_VALUE;
    }
}

TEST_F(LockTest, ALockWeCannotMakeSenseOfIsLeftAloneAndKeepsThePort) {
    Write(m_lock, "");
    EXPECT_EQ(OpenPath(m_peer.Path()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    const auto failure = win32::LastOpenFailure(m_peer.Path().c_str());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, win32::OpenReason::Busy);
    EXPECT_EQ(failure->nHolder, 0);
    EXPECT_TRUE(fs::exists(m_lock));
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

TEST_F(LockTest, EndingBySignalRemovesTheLock) {
    for (int nSignal : {SIGTERM, SIGINT, SIGHUP}) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(ready[0]);
            const bool bOpened = OpenPath(m_peer.Path()) != INVALID_HANDLE_VALUE;
            const char c = bOpened ? 'y' : 'n';
            if (write(ready[1], &c, 1) != 1) _exit(3);
            for (;;) pause();
        }
        close(ready[1]);
        char c = 0;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        EXPECT_EQ(c, 'y');
        EXPECT_EQ(Read(m_lock), win32::LockText(child));

        kill(child, nSignal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == nSignal)
            << strsignal(nSignal) << " " << status;
        EXPECT_FALSE(fs::exists(m_lock)) << strsignal(nSignal);
    }
}

}  // namespace
}  // namespace win32_test
