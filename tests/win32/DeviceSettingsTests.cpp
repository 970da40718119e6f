// A port gives the device back as it found it: the terminal settings it had
// before the open, and its exclusive-use flag.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "PortFixture.h"

namespace win32_test {
namespace {

class DeviceSettings : public PortTest {
protected:
    // The peer's side of a pty reads the device's settings.
    termios2 DeviceTermios() {
        termios2 t{};
        EXPECT_EQ(ioctl(m_peer.MasterFd(), TCGETS2, &t), 0);
        return t;
    }

    // Asked through a descriptor of the test's own, as another program would.
    int DeviceExclusive() {
        const int fd = open(m_peer.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        int exclusive = -1;
        EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
        close(fd);
        return exclusive;
    }

    void ExpectSameSettings(const termios2& a, const termios2& b) {
        EXPECT_EQ(a.c_iflag, b.c_iflag);
        EXPECT_EQ(a.c_oflag, b.c_oflag);
        EXPECT_EQ(a.c_cflag, b.c_cflag);
        EXPECT_EQ(a.c_lflag, b.c_lflag);
        EXPECT_EQ(a.c_ispeed, b.c_ispeed);
        EXPECT_EQ(a.c_ospeed, b.c_ospeed);
        EXPECT_TRUE(std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc)));
    }
};

TEST_F(DeviceSettings, CloseGivesBackTheSettingsOfBeforeTheOpen) {
    const termios2 before = DeviceTermios();
    ASSERT_TRUE(before.c_lflag & ICANON) << "a fresh pty edits lines, unlike an open port";
    ASSERT_NO_FATAL_FAILURE(Open());
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    ASSERT_TRUE(GetCommState(m_hPort, &dcb));
    dcb.BaudRate = CBR_115200;
    dcb.fOutX = TRUE;
    ASSERT_TRUE(SetCommState(m_hPort, &dcb));
    ASSERT_FALSE(DeviceTermios().c_lflag & ICANON);

    ASSERT_TRUE(CloseHandle(m_hPort));
    m_hPort = INVALID_HANDLE_VALUE;
    ExpectSameSettings(DeviceTermios(), before);
}

TEST_F(DeviceSettings, AnOpenAndCloseWithNothingBetweenChangesNothing) {
    const termios2 before = DeviceTermios();
    ASSERT_EQ(DeviceExclusive(), 0);
    HANDLE hProbe = OpenPath(m_peer.Path(), 0);
    ASSERT_NE(hProbe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(DeviceExclusive(), 1);
    ASSERT_TRUE(CloseHandle(hProbe));
    ExpectSameSettings(DeviceTermios(), before);
    EXPECT_EQ(DeviceExclusive(), 0);
}

TEST_F(DeviceSettings, AnOpenRefusedBecauseTheDeviceIsHeldLeavesItToItsHolder) {
    ASSERT_NO_FATAL_FAILURE(Open());
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    ASSERT_TRUE(GetCommState(m_hPort, &dcb));
    dcb.BaudRate = CBR_19200;
    ASSERT_TRUE(SetCommState(m_hPort, &dcb));
    const termios2 held = DeviceTermios();

    EXPECT_EQ(OpenPath(m_peer.Path(), 0), INVALID_HANDLE_VALUE);
    ExpectSameSettings(DeviceTermios(), held);
    EXPECT_EQ(DeviceExclusive(), 1);
}

TEST_F(DeviceSettings, ADeviceExclusiveBeforeTheOpenStaysSo) {
    if (geteuid() != 0) GTEST_SKIP() << "only a privileged process may open an exclusive tty";
    const int holder = open(m_peer.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(CloseHandle(m_hPort));
    m_hPort = INVALID_HANDLE_VALUE;
    EXPECT_EQ(DeviceExclusive(), 1);
    close(holder);
}

}  // namespace
}  // namespace win32_test
