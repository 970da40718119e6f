#include "app/NoPortMessage.h"

#include <algorithm>
#include <cstdio>

#include "serial/Serial.h"

namespace quillon {

namespace {

using win32::OpenFailure;
using win32::OpenReason;

std::string ModeText(unsigned nMode) {
    char szMode[8];
    std::snprintf(szMode, sizeof szMode, "%04o", nMode & 07777);
    return szMode;
}

// A device that is no terminal, such as a file given by mistake.
std::string OtherReason(DWORD dwError) {
    if (dwError == ERROR_NOT_SUPPORTED) return "not a serial port";
    return "cannot be opened (error " + std::to_string(dwError) + ")";
}

std::string BusyReason(const OpenFailure& failure) {
    const std::string process = failure.nHolder ? "process " + std::to_string(failure.nHolder) : "";
    switch (failure.lockHold) {
        case win32::LockHold::Stale:
            return "locked by " + failure.lockFile + ", a lock of " +
                   (process.empty() ? "no readable process" : "the ended " + process) +
                   " that this user may not remove";
        case win32::LockHold::NotAFile:
            return "blocked by " + failure.lockFile + ", which is not a lock file";
        case win32::LockHold::None:
        case win32::LockHold::Process:
            break;
    }
    std::string text = "held by another program";
    if (!process.empty()) text += " (" + process + ")";
    if (!failure.lockFile.empty()) text += ", locked by " + failure.lockFile;
    return text;
}

std::string Reason(const OpenFailure& failure) {
    switch (failure.reason) {
        case OpenReason::Busy:
            return BusyReason(failure);
        case OpenReason::NoPermission: {
            const win32::DeviceAccess& access = failure.access;
            if (access.owner.empty()) return "no permission to open it";
            return "no permission to open it (owner " + access.owner + ", group " + access.group + ", mode " +
                   ModeText(access.nMode) + ")";
        }
        case OpenReason::Missing:
            return "no such device";
        case OpenReason::Other:
            break;
    }
    return OtherReason(failure.dwError);
}

// The short form of the port list.
std::string State(const std::optional<OpenFailure>& failure) {
    if (!failure) return "free";
    switch (failure->reason) {
        case OpenReason::Busy:
            if (failure->lockHold == win32::LockHold::Stale) return "stale lock " + failure->lockFile;
            if (failure->lockHold == win32::LockHold::NotAFile) return "blocked by " + failure->lockFile;
            return failure->nHolder ? "held by process " + std::to_string(failure->nHolder)
                                    : "held by another program";
        case OpenReason::NoPermission:
            return "no permission";
        case OpenReason::Missing:
            return "missing";
        case OpenReason::Other:
            break;
    }
    return OtherReason(failure->dwError);
}

// A group that may read and write the device is worth joining; root never is, and a device whose
// group may not open it stays shut to every user but its owner whatever groups they join.
bool JoinableGroup(const win32::DeviceAccess& access) {
    return win32::GroupMayReadWrite(access.nMode) && !access.group.empty() && access.group != "root";
}

std::string JoinAdvice(const std::string& group) {
    return "Your user must belong to the group \"" + group +
           "\" that may open the device: sudo adduser $USER " + group + ", then log out and in again.";
}

std::string OwnerOnlyAdvice(const OpenFailure& failure) {
    const std::string owner = failure.access.owner.empty() ? "" : " (" + failure.access.owner + ")";
    return "Only the owner" + owner + " may open " + failure.path +
           ": an administrator must change its group (for example to dialout, with mode 0660) or add a udev "
           "rule for it.";
}

OpenFailure Missing(const std::string& path) {
    OpenFailure missing;
    missing.path = path;
    missing.reason = OpenReason::Missing;
    missing.dwError = ERROR_FILE_NOT_FOUND;
    return missing;
}

std::string Lines(const std::vector<std::string>& lines, std::string_view eol) {
    std::string text;
    for (const std::string& line : lines) text += line + std::string(eol);
    return text;
}

}  // namespace

std::string PortFailureLine(const PortFailure& port) {
    return port.name + " (" + port.failure.path + "): " + Reason(port.failure) + ".";
}

std::vector<std::string> PermissionAdvice(std::span<const PortFailure> failures) {
    std::vector<std::string> advice;
    for (const PortFailure& port : failures) {
        if (port.failure.reason != OpenReason::NoPermission) continue;
        const std::string line = JoinableGroup(port.failure.access) ? JoinAdvice(port.failure.access.group)
                                                                    : OwnerOnlyAdvice(port.failure);
        if (std::find(advice.begin(), advice.end(), line) == advice.end()) advice.push_back(line);
    }
    return advice;
}

std::string NoPortMessage(std::span<const PortFailure> failures, std::string_view eol) {
    std::vector<std::string> lines{"No serial port (COM1 to COM8) could be opened."};
    for (const PortFailure& port : failures) lines.push_back(PortFailureLine(port));
    const std::vector<std::string> advice = PermissionAdvice(failures);
    lines.insert(lines.end(), advice.begin(), advice.end());
    return Lines(lines, eol) + "Quillon runs without a connection to the system controller.";
}

std::string OpenedPortReport(std::span<const PortFailure> failures, std::string_view name,
                             std::string_view path) {
    std::vector<PortFailure> named;
    std::copy_if(failures.begin(), failures.end(), std::back_inserter(named),
                 [](const PortFailure& port) { return port.bNamed; });
    std::vector<std::string> lines;
    for (const PortFailure& port : named) lines.push_back(PortFailureLine(port));
    const std::vector<std::string> advice = PermissionAdvice(named);
    lines.insert(lines.end(), advice.begin(), advice.end());
    lines.push_back(std::string(name) + " is " + std::string(path));
    return ForStandardError(Lines(lines, "\n"));
}

std::string ForStandardError(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out += "quillon: " + std::string(text.substr(0, end)) + "\n";
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return out;
}

std::vector<PortFailure> PortFailures(int nPorts, std::span<const std::string> usable) {
    std::vector<PortFailure> failures;
    for (int n = 1; n <= nPorts; ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (std::find(usable.begin(), usable.end(), name) != usable.end()) continue;
        const win32::PortDevice device = win32::ResolvePort(name.c_str());
        if (auto failure = win32::LastOpenFailure(name.c_str())) {
            failures.push_back({name, *failure, device.bNamed});
        } else if (device.bNamed) {
            failures.push_back({name, Missing(device.path), true});
        }
    }
    return failures;
}

std::string PortList(std::span<const PortState> ports) {
    std::size_t nWidth = 0;
    for (const PortState& port : ports) nWidth = std::max(nWidth, port.path.size());
    std::string text;
    for (const PortState& port : ports) {
        text += port.name + "  " + port.path + std::string(nWidth - port.path.size() + 2, ' ') +
                State(port.failure) + "\n";
    }
    return text;
}

std::vector<PortState> ProbePorts(int nPorts) {
    std::vector<PortState> ports;
    for (int n = 1; n <= nPorts; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const win32::PortDevice device = win32::ResolvePort(name.c_str());
        if (device.path.empty()) continue;
        PortState port{name, device.path, std::nullopt};
        if (CSerial::ProbePort(name.c_str()) != CSerial::ProbeOk) {
            port.failure = win32::LastOpenFailure(name.c_str()).value_or(Missing(device.path));
        }
        ports.push_back(std::move(port));
    }
    return ports;
}

}  // namespace quillon
