// What the user reads about the ports: each device with its reason, what to do, the port in use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/NoPortMessage.h"

namespace {

using quillon::NoPortMessage;
using quillon::PortFailure;
using win32::LockHold;
using win32::OpenReason;

PortFailure Failure(const char* name, const char* path, OpenReason reason, long nHolder = 0,
                    LockHold hold = LockHold::None) {
    PortFailure port{name, {}};
    port.failure.path = path;
    port.failure.reason = reason;
    port.failure.dwError = reason == OpenReason::Other ? ERROR_GEN_FAILURE : ERROR_ACCESS_DENIED;
    port.failure.nHolder = nHolder;
    port.failure.lockHold = hold;
    if (nHolder || hold != LockHold::None) port.failure.lockFile = "/run/lock/LCK..x";
    return port;
}

PortFailure Denied(const char* name, const char* path, const char* owner, const char* group, unsigned nMode) {
    PortFailure port = Failure(name, path, OpenReason::NoPermission);
    port.failure.access = {owner, group, nMode};
    return port;
}

// A port of each kind of failure.
const std::vector<PortFailure> kFailures{
    Failure("COM1", "/dev/ttyS0", OpenReason::Busy),
    Failure("COM2", "/dev/ttyUSB0", OpenReason::Busy, 4711, LockHold::Process),
    Failure("COM3", "/dev/ttyUSB9", OpenReason::Missing),
    Failure("COM4", "/dev/ttyS3", OpenReason::Other),
    Failure("COM5", "/dev/ttyS4", OpenReason::Busy, 4711, LockHold::Stale),
    Failure("COM6", "/dev/ttyS5", OpenReason::Busy, 0, LockHold::NotAFile),
    Denied("COM7", "/dev/serial/by-id/x", "root", "root", 0600),
};

TEST(NoPortMessage, WithoutExistingDevicesItSaysOnlyThatQuillonRunsUnconnected) {
    EXPECT_EQ(NoPortMessage({}, "\r\n"),
              "No serial port (COM1 to COM8) could be opened.\r\n"
              "Quillon runs without a connection to the system controller.");
}

TEST(NoPortMessage, NamesEachDeviceWithItsReasonThenWhatToDo) {
    EXPECT_EQ(
        NoPortMessage(kFailures, "\n"),
        "No serial port (COM1 to COM8) could be opened.\n"
        "COM1 (/dev/ttyS0): held by another program.\n"
        "COM2 (/dev/ttyUSB0): held by another program (process 4711), locked by /run/lock/LCK..x.\n"
        "COM3 (/dev/ttyUSB9): no such device.\n"
        "COM4 (/dev/ttyS3): cannot be opened (error 31).\n"
        "COM5 (/dev/ttyS4): locked by /run/lock/LCK..x, a lock of the ended process 4711 that this user "
        "may not remove.\n"
        "COM6 (/dev/ttyS5): blocked by /run/lock/LCK..x, which is not a lock file.\n"
        "COM7 (/dev/serial/by-id/x): no permission to open it (owner root, group root, mode 0600).\n"
        "Only the owner (root) may open /dev/serial/by-id/x: an administrator must change its group (for "
        "example to dialout, with mode 0660) or add a udev rule for it.\n"
        "Quillon runs without a connection to the system controller.");
}

// Joining a group helps only when its bits grant read and write, and root is never to be joined.
TEST(NoPortMessage, PermissionAdviceFollowsTheGroupsModeBits) {
    const std::string join =
        "Your user must belong to the group \"dialout\" that may open the device: "
        "sudo adduser $USER dialout, then log out and in again.";
    const auto ownerOnly = [](const std::string& owner) {
        return "Only the owner" + owner +
               " may open /dev/ttyS0: an administrator must change its group (for example to dialout, with "
               "mode "
               "0660) or add a udev rule for it.";
    };
    const struct {
        std::vector<PortFailure> failures;
        std::vector<std::string> advice;
    } rows[] = {
        {{Denied("COM1", "/dev/ttyS0", "root", "dialout", 0660),
          Denied("COM2", "/dev/ttyS1", "root", "dialout", 0660)},
         {join}},
        {{Denied("COM1", "/dev/ttyS0", "root", "root", 0660)}, {ownerOnly(" (root)")}},
        {{Denied("COM1", "/dev/ttyS0", "root", "dialout", 0640)}, {ownerOnly(" (root)")}},
        {{Failure("COM1", "/dev/ttyS0", OpenReason::NoPermission)}, {ownerOnly("")}},
        {{Failure("COM1", "/dev/ttyS0", OpenReason::Busy)}, {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(quillon::PermissionAdvice(row.failures), row.advice)
            << quillon::PortFailureLine(row.failures[0]);
    }
}

TEST(NoPortMessage, TheStartNamesTheFailedNamedPortsThenThePortInUse) {
    std::vector<PortFailure> failures{kFailures[2], kFailures[0]};
    failures[0].bNamed = true;
    EXPECT_EQ(quillon::OpenedPortReport(failures, "COM8", "/dev/ttyACM0"),
              "quillon: COM3 (/dev/ttyUSB9): no such device.\n"
              "quillon: COM8 is /dev/ttyACM0\n");
}

TEST(NoPortMessage, PortListShowsEachDeviceAndItsState) {
    std::vector<quillon::PortState> ports{{"COM8", "/tmp/ttyQ", std::nullopt}};
    for (const PortFailure& port : kFailures) ports.push_back({port.name, port.failure.path, port.failure});
    ports[4].failure->dwError = ERROR_NOT_SUPPORTED;
    EXPECT_EQ(quillon::PortList(ports),
              "COM8  /tmp/ttyQ            free\n"
              "COM1  /dev/ttyS0           held by another program\n"
              "COM2  /dev/ttyUSB0         held by process 4711\n"
              "COM3  /dev/ttyUSB9         missing\n"
              "COM4  /dev/ttyS3           not a serial port\n"
              "COM5  /dev/ttyS4           stale lock /run/lock/LCK..x\n"
              "COM6  /dev/ttyS5           blocked by /run/lock/LCK..x\n"
              "COM7  /dev/serial/by-id/x  no permission\n");
}

}  // namespace
