#include "app/NoPortMessage.h"

#include <algorithm>

namespace quillon {

namespace {

std::string Reason(const win32::OpenFailure& failure) {
    switch (failure.reason) {
        case win32::OpenReason::Busy: {
            std::string text = "held by another program";
            if (failure.nHolder) text += " (process " + std::to_string(failure.nHolder) + ")";
            if (!failure.lockFile.empty()) text += ", locked by " + failure.lockFile;
            return text;
        }
        case win32::OpenReason::NoPermission:
            return "no permission to open it";
        case win32::OpenReason::Other:
            break;
    }
    return "cannot be opened (error " + std::to_string(failure.dwError) + ")";
}

}  // namespace

std::string NoPortMessage(std::span<const PortFailure> failures, std::string_view eol) {
    const std::string end(eol);
    std::string text = "No serial port (COM1 to COM8) could be opened." + end;
    std::vector<std::string> groups;
    bool bPermission = false;
    for (const PortFailure& port : failures) {
        text += port.name + " (" + port.failure.path + "): " + Reason(port.failure) + "." + end;
        if (port.failure.reason != win32::OpenReason::NoPermission) continue;
        bPermission = true;
        const std::string& group = port.failure.group;
        if (!group.empty() && std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(group);
    }
    if (bPermission && groups.empty()) {
        text +=
            "Your user must belong to the group that owns the device (dialout on Debian); log out and in "
            "again after adding it." +
            end;
    }
    for (const std::string& group : groups) {
        text += "Your user must belong to the group \"" + group +
                "\" that owns the device: sudo adduser $USER " + group + ", then log out and in again." + end;
    }
    return text + "Quillon runs without a connection to the system controller.";
}

std::vector<PortFailure> PortFailures(int nPorts) {
    std::vector<PortFailure> failures;
    for (int n = 1; n <= nPorts; ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (auto failure = win32::LastOpenFailure(name.c_str())) failures.push_back({name, *failure});
    }
    return failures;
}

}  // namespace quillon
