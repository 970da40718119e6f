// What the user reads about the ports: each one that did not open and why, what to do when the
// user may not open one, which device is in use, and the list that --list-ports prints.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/PortAccess.h"

namespace quillon {

struct PortFailure {
    std::string name;  // "COM1"
    win32::OpenFailure failure;
    bool bNamed = false;  // the user chose its device: worth a word even when another port opens
};

// "COM1 (/dev/ttyS0): held by another program (process 4711)."
std::string PortFailureLine(const PortFailure& port);

// One line for each group whose members may open a device the user may not, and for each device
// that only its owner may open; a group is never root.
std::vector<std::string> PermissionAdvice(std::span<const PortFailure> failures);

// Lines end with eol: "\r\n" for the message box, "\n" for standard error.
std::string NoPortMessage(std::span<const PortFailure> failures, std::string_view eol);

// The start's report on standard error: the named ports that did not open, then the port in use.
std::string OpenedPortReport(std::span<const PortFailure> failures, std::string_view name,
                             std::string_view path);

// Each line of text, "quillon: " before it, a newline after it.
std::string ForStandardError(std::string_view text);

// The ports of COM1 to COMnPorts that did not open, in order: each with its recorded failure, and
// each device the user named that is not there. The names in usable opened.
std::vector<PortFailure> PortFailures(int nPorts, std::span<const std::string> usable);

struct PortState {
    std::string name;                           // "COM1"
    std::string path;                           // its device
    std::optional<win32::OpenFailure> failure;  // nothing: it is free
};

// One line a port, the devices in a column: "COM1  /dev/ttyUSB0  free".
std::string PortList(std::span<const PortState> ports);

// Probes COM1 to COMnPorts, leaving out the names that lead to no device.
std::vector<PortState> ProbePorts(int nPorts);

}  // namespace quillon
