// What the user reads when none of COM1 to COM8 could be opened: each device that exists and
// why it could not be opened, what to do when the user may not open one, and that Quillon goes
// on without a connection.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/PortAccess.h"

namespace quillon {

struct PortFailure {
    std::string name;  // "COM1"
    win32::OpenFailure failure;
};

// Lines end with eol: "\r\n" for the message box, "\n" for standard error.
std::string NoPortMessage(std::span<const PortFailure> failures, std::string_view eol);

// The recorded failures of COM1 to COMnPorts, in order; missing devices have none.
std::vector<PortFailure> PortFailures(int nPorts);

}  // namespace quillon
