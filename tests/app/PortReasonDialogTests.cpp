// The dialog says why no port opened, in its message box and on standard error.
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/LockFile.h"
#include "platform/win32/PortAccess.h"
#include "support/DialogFixture.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

// Another program holding a device: its own exclusive lock on it, until the test ends.
class Holder {
public:
    explicit Holder(const std::string& path) {
        int ready[2];
        if (pipe(ready) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
            const char c = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
            if (write(ready[1], &c, 1) != 1) _exit(1);
            for (;;) pause();
        }
        char c = 0;
        m_bHolding = read(ready[0], &c, 1) == 1 && c == 'y';
        close(ready[0]);
        close(ready[1]);
    }
    ~Holder() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    pid_t Pid() const { return m_pid; }
    bool Holding() const { return m_bHolding; }

private:
    pid_t m_pid = -1;
    bool m_bHolding = false;
};

class PortReasonTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        std::string pattern = (fs::temp_directory_path() / "quillon-locks-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_lockDir = pattern;
        setenv("QUILLON_LOCK_DIR", m_lockDir.c_str(), 1);
    }
    void TearDown() override {
        DialogTest::TearDown();
        unsetenv("QUILLON_LOCK_DIR");
        fs::remove_all(m_lockDir);
    }
    fs::path m_lockDir;
};

TEST_F(PortReasonTest, NoPortMessageNamesEachExistingDeviceAndWhyItIsBusy) {
    Pty locked;
    Pty held;
    MapPort(1, locked.Path());
    MapPort(3, held.Path());
    // COM1 is locked by a living process's lock file, COM3 is open in another program.
    Holder lockOwner("/dev/null");
    const fs::path lock = m_lockDir / win32::LockName(locked.Path());
    std::ofstream(lock) << win32::LockText(lockOwner.Pid());
    Holder other(held.Path());
    ASSERT_TRUE(other.Holding());

    ::testing::internal::CaptureStderr();
    CQuillonDlg& dlg = OpenDialog();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(dlg.m_serial.IsOpen());

    ASSERT_EQ(MessageBoxTexts().size(), 1u);
    const std::string& text = MessageBoxTexts()[0];
    std::vector<std::string> lines{"No serial port (COM1 to COM8) could be opened."};
    lines.push_back("COM1 (" + locked.Path() + "): held by another program (process " +
                    std::to_string(lockOwner.Pid()) + "), locked by " + lock.string() + ".");
    lines.push_back("COM2 (/nonexistent/quillon-com2): no such device.");
    lines.push_back("COM3 (" + held.Path() + "): held by another program.");
    for (int n = 4; n <= 8; ++n)
        lines.push_back("COM" + std::to_string(n) + " (/nonexistent/quillon-com" + std::to_string(n) +
                        "): no such device.");
    lines.push_back("Quillon runs without a connection to the system controller.");
    std::string box;
    std::string stderrText;
    for (const std::string& line : lines) {
        box += (box.empty() ? "" : "\r\n") + line;
        stderrText += "quillon: " + line + "\n";
    }
    EXPECT_EQ(text, box);
    EXPECT_NE(err.find(stderrText), std::string::npos) << err;
}

// A mistyped device is named even though another port opens, and so is the port in use.
TEST_F(PortReasonTest, TheStartNamesTheNamedPortsThatFailedAndTheDeviceInUse) {
    Pty com3;
    MapPort(1, "/dev/ttyUSB9-quillon-typo");
    MapPort(3, com3.Path());
    ::testing::internal::CaptureStderr();
    CQuillonDlg& dlg = OpenDialog();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(dlg.m_serial.IsOpen());
    EXPECT_TRUE(MessageBoxTexts().empty());
    EXPECT_NE(err.find("quillon: COM1 (/dev/ttyUSB9-quillon-typo): no such device.\n"
                       "quillon: COM2 (/nonexistent/quillon-com2): no such device.\n"
                       "quillon: COM4 (/nonexistent/quillon-com4): no such device.\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("quillon: COM3 is " + com3.Path() + "\n"), std::string::npos) << err;
}

TEST_F(PortReasonTest, AnOpenedPortLeavesNoMessageAndHoldsItsLockUntilTheDialogCloses) {
    Pty com2;
    MapPort(2, com2.Path());
    CQuillonDlg& dlg = OpenDialog();
    EXPECT_TRUE(MessageBoxTexts().empty());
    ASSERT_TRUE(dlg.m_serial.IsOpen());
    const fs::path lock = m_lockDir / win32::LockName(com2.Path());
    EXPECT_TRUE(fs::exists(lock));
    m_dlg.reset();
    EXPECT_FALSE(fs::exists(lock));
}

}  // namespace
}  // namespace quillon::test
