// What the user reads about the ports: each device with its reason, what to do, the port in use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/NoPortMessage.h"

namespace {

using quillon::NoPortMessage;
using quillon::PortFailure;
using win32::OpenReason;

PortFailure Failure(const char* name, const char* path, OpenReason reason) {
    PortFailure port{name, {}};
    port.failure.path = path;
    port.failure.reason = reason;
    port.failure.dwError = reason == OpenReason::Other ? ERROR_GEN_FAILURE : ERROR_ACCESS_DENIED;
    return port;
}

PortFailure Denied(const char* name, const char* path, const char* owner, const char* group, unsigned nMode) {
    PortFailure port = Failure(name, path, OpenReason::NoPermission);
    port.failure.access = {owner, group, nMode};
    return port;
}

TEST(NoPortMessage, WithoutExistingDevicesItSaysOnlyThatQuillonRunsUnconnected) {
    EXPECT_EQ(NoPortMessage({}, "\r\n"),
              "No serial port (COM1 to COM8) could be opened.\r\n"
              "Quillon runs without a connection to the system controller.");
}

TEST(NoPortMessage, NamesEachDeviceWithItsReason) {
    std::vector<PortFailure> failures{Failure("COM1", "/dev/ttyS0", OpenReason::Busy),
                                      Failure("COM2", "/dev/ttyUSB0", OpenReason::Busy),
                                      Failure("COM3", "/dev/ttyUSB9", OpenReason::Missing),
                                      Failure("COM4", "/dev/ttyS3", OpenReason::Other),
                                      Failure("COM5", "/dev/ttyS4", OpenReason::Busy),
                                      Failure("COM6", "/dev/ttyS5", OpenReason::Busy)};
    failures[1].failure.nHolder = failures[4].failure.nHolder = 4711;
    failures[1].failure.lockFile = "/run/lock/LCK..ttyUSB0";
    failures[4].failure.lockFile = "/run/lock/LCK..ttyS4";
    failures[4].failure.lockHold = win32::LockHold::Stale;
    failures[5].failure.lockFile = "/run/lock/LCK..ttyS5";
    failures[5].failure.lockHold = win32::LockHold::NotAFile;
    EXPECT_EQ(
        NoPortMessage(failures, "\n"),
        "No serial port (COM1 to COM8) could be opened.\n"
        "COM1 (/dev/ttyS0): held by another program.\n"
        "COM2 (/dev/ttyUSB0): held by another program (process 4711), locked by /run/lock/LCK..ttyUSB0.\n"
        "COM3 (/dev/ttyUSB9): no such device.\n"
        "COM4 (/dev/ttyS3): cannot be opened (error 31).\n"
        "COM5 (/dev/ttyS4): locked by /run/lock/LCK..ttyS4, a lock of the ended process 4711 that this user "
        "may "
        "not remove.\n"
        "COM6 (/dev/ttyS5): blocked by /run/lock/LCK..ttyS5, which is not a lock file.\n"
        "Quillon runs without a connection to the system controller.");
}

// Joining a group helps only when its bits grant read and write, and root is never to be joined.
TEST(NoPortMessage, PermissionAdviceFollowsTheGroupsModeBits) {
    const std::string join =
        "Your user must belong to the group \"dialout\" that may open the device: "
        "sudo adduser $USER dialout, then log out and in again.";
    const auto ownerOnly = [](const std::string& owner, const std::string& path) {
        return "Only the owner" + owner + " may open " + path +
               ": an administrator must change its group (for example to dialout, with mode 0660) or add a "
               "udev rule for it.";
    };
    const struct {
        std::vector<PortFailure> failures;
        std::vector<std::string> advice;
    } rows[] = {
        {{Denied("COM1", "/dev/ttyS0", "root", "dialout", 0660),
          Denied("COM2", "/dev/ttyS1", "root", "dialout", 0660)},
         {join}},
        {{Denied("COM1", "/dev/ttyS0", "root", "root", 0600)}, {ownerOnly(" (root)", "/dev/ttyS0")}},
        {{Denied("COM1", "/dev/ttyS0", "root", "root", 0660)}, {ownerOnly(" (root)", "/dev/ttyS0")}},
        {{Denied("COM1", "/dev/ttyS0", "root", "dialout", 0640)}, {ownerOnly(" (root)", "/dev/ttyS0")}},
        {{Denied("COM1", "/dev/ttyS0", "root", "dialout", 0620)}, {ownerOnly(" (root)", "/dev/ttyS0")}},
        {{Failure("COM3", "/dev/ttyUSB0", OpenReason::NoPermission)}, {ownerOnly("", "/dev/ttyUSB0")}},
        {{Failure("COM1", "/dev/ttyS0", OpenReason::Busy)}, {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(quillon::PermissionAdvice(row.failures), row.advice)
            << quillon::PortFailureLine(row.failures[0]);
    }
    const std::string text =
        NoPortMessage(std::vector{Denied("COM1", "/dev/ttyS0", "root", "root", 0600)}, "\r\n");
    EXPECT_NE(
        text.find("COM1 (/dev/ttyS0): no permission to open it (owner root, group root, mode 0600).\r\n" +
                  ownerOnly(" (root)", "/dev/ttyS0") + "\r\n"),
        std::string::npos)
        << text;
}

TEST(NoPortMessage, TheStartNamesTheFailedNamedPortsThenThePortInUse) {
    std::vector<PortFailure> failures{Failure("COM1", "/dev/ttyUSB9", OpenReason::Missing),
                                      Failure("COM2", "/dev/ttyS1", OpenReason::Busy)};
    failures[0].bNamed = true;
    EXPECT_EQ(quillon::OpenedPortReport(failures, "COM3", "/dev/ttyACM0"),
              "quillon: COM1 (/dev/ttyUSB9): no such device.\n"
              "quillon: COM3 is /dev/ttyACM0\n");
    EXPECT_EQ(quillon::ForStandardError("one\ntwo"), "quillon: one\nquillon: two\n");
}

TEST(NoPortMessage, PortListShowsEachDeviceAndItsState) {
    const auto state = [](const char* name, const char* path, OpenReason reason, DWORD dwError, long nHolder,
                          win32::LockHold hold) {
        win32::OpenFailure failure = Failure(name, path, reason).failure;
        failure.dwError = dwError;
        failure.nHolder = nHolder;
        failure.lockHold = hold;
        failure.lockFile = "/run/lock/LCK..x";
        return quillon::PortState{name, path, failure};
    };
    using win32::LockHold;
    const std::vector<quillon::PortState> ports{
        {"COM1", "/dev/ttyUSB0", std::nullopt},
        state("COM2", "/dev/ttyS1", OpenReason::Busy, ERROR_ACCESS_DENIED, 812, LockHold::Process),
        state("COM3", "/dev/serial/by-id/x", OpenReason::Busy, ERROR_ACCESS_DENIED, 0, LockHold::None),
        state("COM4", "/dev/ttyS3", OpenReason::NoPermission, ERROR_ACCESS_DENIED, 0, LockHold::None),
        state("COM5", "/dev/ttyS4", OpenReason::Missing, ERROR_FILE_NOT_FOUND, 0, LockHold::None),
        state("COM6", "/tmp/log", OpenReason::Other, ERROR_NOT_SUPPORTED, 0, LockHold::None),
        state("COM7", "/dev/ttyS6", OpenReason::Busy, ERROR_ACCESS_DENIED, 4711, LockHold::Stale),
        state("COM8", "/dev/ttyS7", OpenReason::Busy, ERROR_ACCESS_DENIED, 0, LockHold::NotAFile),
    };
    EXPECT_EQ(quillon::PortList(ports),
              "COM1  /dev/ttyUSB0         free\n"
              "COM2  /dev/ttyS1           held by process 812\n"
              "COM3  /dev/serial/by-id/x  held by another program\n"
              "COM4  /dev/ttyS3           no permission\n"
              "COM5  /dev/ttyS4           missing\n"
              "COM6  /tmp/log             not a serial port\n"
              "COM7  /dev/ttyS6           stale lock /run/lock/LCK..x\n"
              "COM8  /dev/ttyS7           blocked by /run/lock/LCK..x\n");
}

}  // namespace
