// The message when no port opens: each existing device with its reason, and what to do.
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

TEST(NoPortMessage, WithoutExistingDevicesItSaysOnlyThatQuillonRunsUnconnected) {
    EXPECT_EQ(NoPortMessage({}, "\r\n"),
              "No serial port (COM1 to COM8) could be opened.\r\n"
              "Quillon runs without a connection to the system controller.");
}

TEST(NoPortMessage, NamesEachDeviceWithItsReason) {
    std::vector<PortFailure> failures{Failure("COM1", "/dev/ttyS0", OpenReason::Busy),
                                      Failure("COM2", "/dev/ttyUSB0", OpenReason::Busy),
                                      Failure("COM4", "/dev/ttyS3", OpenReason::Other)};
    failures[1].failure.nHolder = 4711;
    failures[1].failure.lockFile = "/run/lock/LCK..ttyUSB0";
    EXPECT_EQ(
        NoPortMessage(failures, "\n"),
        "No serial port (COM1 to COM8) could be opened.\n"
        "COM1 (/dev/ttyS0): held by another program.\n"
        "COM2 (/dev/ttyUSB0): held by another program (process 4711), locked by /run/lock/LCK..ttyUSB0.\n"
        "COM4 (/dev/ttyS3): cannot be opened (error 31).\n"
        "Quillon runs without a connection to the system controller.");
}

TEST(NoPortMessage, APermissionProblemNamesTheGroupToJoinOnceAndToLogInAgain) {
    std::vector<PortFailure> failures{Failure("COM1", "/dev/ttyS0", OpenReason::NoPermission),
                                      Failure("COM2", "/dev/ttyS1", OpenReason::NoPermission),
                                      Failure("COM3", "/dev/ttyS2", OpenReason::Busy)};
    failures[0].failure.group = failures[1].failure.group = "dialout";
    const std::string text = NoPortMessage(failures, "\r\n");
    EXPECT_NE(text.find("COM1 (/dev/ttyS0): no permission to open it.\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("COM2 (/dev/ttyS1): no permission to open it.\r\n"), std::string::npos) << text;
    const std::string advice =
        "Your user must belong to the group \"dialout\" that owns the device: sudo adduser $USER dialout, "
        "then log "
        "out and in again.\r\n";
    ASSERT_NE(text.find(advice), std::string::npos) << text;
    EXPECT_EQ(text.find(advice), text.rfind(advice)) << "one advice per group";
    EXPECT_LT(text.find("COM3"), text.find(advice)) << "the advice follows the devices";
}

TEST(NoPortMessage, AnUnknownGroupStillSaysWhatToDo) {
    const std::vector<PortFailure> failures{Failure("COM1", "/dev/ttyUSB0", OpenReason::NoPermission)};
    const std::string text = NoPortMessage(failures, "\n");
    EXPECT_NE(text.find("group that owns the device (dialout on Debian)"), std::string::npos) << text;
    EXPECT_NE(text.find("log out and in again"), std::string::npos) << text;
}

TEST(NoPortMessage, BusyPortsNeedNoAdvice) {
    const std::vector<PortFailure> failures{Failure("COM1", "/dev/ttyS0", OpenReason::Busy)};
    EXPECT_EQ(NoPortMessage(failures, "\n").find("group"), std::string::npos);
}

}  // namespace
