// Why an open failed, kept beside ERROR_ACCESS_DENIED: held by another program, or not permitted.
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "PortFixture.h"
#include "platform/win32/PortAccess.h"

namespace win32_test {
namespace {

using win32::OpenReason;

TEST(OpenReasons, EachFailureReadsAsWhatTheUserCanActOn) {
    struct Row {
        win32::OpenFacts facts;
        std::optional<OpenReason> reason;
    };
    const Row rows[] = {
        // Held by another program's exclusive open, or by its lock file.
        {{ERROR_ACCESS_DENIED, false, true, false}, OpenReason::Busy},
        {{ERROR_ACCESS_DENIED, true, true, false}, OpenReason::Busy},
        // Access denied to a device the user may not open is no permission, not "busy".
        {{ERROR_ACCESS_DENIED, false, false, false}, OpenReason::NoPermission},
        {{ERROR_ACCESS_DENIED, true, false, false}, OpenReason::Busy},
        // Devices that are not there are not mentioned.
        {{ERROR_FILE_NOT_FOUND, false, true, false}, std::nullopt},
        {{ERROR_DEVICE_NOT_CONNECTED, false, true, false}, std::nullopt},
        {{ERROR_ACCESS_DENIED, false, false, true}, std::nullopt},
        {{ERROR_GEN_FAILURE, false, true, false}, OpenReason::Other},
        {{ERROR_NOT_SUPPORTED, false, true, false}, OpenReason::Other},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(win32::ClassifyOpenFailure(row.facts), row.reason)
            << row.facts.dwError << " lock " << row.facts.bLockHeld << " permitted " << row.facts.bPermitted
            << " absent " << row.facts.bHardwareAbsent;
    }
}

// Ports opened here keep their locks out of the machine's lock directory.
class PortAccess : public PortTest {
protected:
    void SetUp() override { setenv("QUILLON_LOCK_DIR", "/nonexistent/quillon-locks", 1); }
    void TearDown() override {
        PortTest::TearDown();
        unsetenv("QUILLON_LOCK_DIR");
    }
};

TEST_F(PortAccess, APortHeldByAnotherOpenIsBusyAndOpeningClearsTheRecord) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(OpenPath(m_peer.Path()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    auto failure = win32::LastOpenFailure(m_peer.Path().c_str());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, OpenReason::Busy);
    EXPECT_EQ(failure->path, m_peer.Path());
    EXPECT_EQ(failure->dwError, ERROR_ACCESS_DENIED);
    EXPECT_EQ(failure->lockFile, "");

    ASSERT_TRUE(CloseHandle(m_hPort));
    m_hPort = INVALID_HANDLE_VALUE;
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(win32::LastOpenFailure(m_peer.Path().c_str()), std::nullopt);
}

TEST_F(PortAccess, ComNamesKeepTheirRecordWhateverTheCase) {
    ASSERT_EQ(setenv("QUILLON_COM5", m_peer.Path().c_str(), 1), 0);
    ASSERT_EQ(setenv("QUILLON_COM6", "/dev/quillon-no-such-port", 1), 0);
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(OpenPath("com5"), INVALID_HANDLE_VALUE);
    const auto failure = win32::LastOpenFailure("COM5");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path, m_peer.Path());
    EXPECT_EQ(failure->reason, OpenReason::Busy);

    EXPECT_EQ(OpenPath("COM6"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win32::LastOpenFailure("COM6"), std::nullopt) << "a missing device is not mentioned";
    unsetenv("QUILLON_COM5");
    unsetenv("QUILLON_COM6");
}

// Run in a child that may not open the device: root gives up its rights there.
TEST_F(PortAccess, ADeviceWithoutPermissionIsNotBusyAndNamesItsGroup) {
    struct stat info {};
    ASSERT_EQ(stat(m_peer.Path().c_str(), &info), 0);
    const group* pGroup = getgrgid(info.st_gid);
    ASSERT_NE(pGroup, nullptr);
    const std::string expectedGroup = pGroup->gr_name;

    int result[2];
    ASSERT_EQ(pipe(result), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(result[0]);
        bool bReady = true;
        if (geteuid() == 0) {
            bReady = chmod(m_peer.Path().c_str(), 0600) == 0 && setgroups(0, nullptr) == 0 &&
                     setgid(65534) == 0 && setuid(65534) == 0;
        } else {
            bReady = chmod(m_peer.Path().c_str(), 0) == 0;
        }
        std::string text = "not ready";
        if (bReady) {
            const HANDLE h = OpenPath(m_peer.Path());
            const DWORD dwError = GetLastError();
            const auto failure = win32::LastOpenFailure(m_peer.Path().c_str());
            text = h != INVALID_HANDLE_VALUE ? "opened"
                   : !failure                ? "no record"
                                             : std::to_string(dwError) + " " +
                                    std::to_string(static_cast<int>(failure->reason)) + " " + failure->access.group +
                                    " " + std::to_string(failure->access.nMode);
        }
        if (write(result[1], text.data(), text.size()) < 0) _exit(2);
        _exit(0);
    }
    close(result[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(result[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(result[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(text, std::to_string(ERROR_ACCESS_DENIED) + " " +
                        std::to_string(static_cast<int>(OpenReason::NoPermission)) + " " + expectedGroup + " " +
                        std::to_string(geteuid() == 0 ? 0600 : 0));
}

}  // namespace
}  // namespace win32_test
