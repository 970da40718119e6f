// Why a serial device could not be opened, kept beside the Win32 code. Windows says
// ERROR_ACCESS_DENIED both for a port that another program holds and for one the user may not
// open; the user needs to know which, and this layer can tell.
#pragma once

#include <optional>
#include <string>

#include "platform/win32/LockFile.h"
#include "platform/win32/Win32.h"

namespace win32 {

enum class OpenReason {
    Busy,          // another program holds it: its exclusive open, or its lock file
    NoPermission,  // the user may not open the device
    Other,         // anything else, by its Win32 code
};

struct OpenFailure {
    std::string path;  // the device tried
    OpenReason reason = OpenReason::Other;
    DWORD dwError = ERROR_SUCCESS;
    std::string lockFile;  // Busy through a lock file: that file,
    long nHolder = 0;      // and the process it names (0: unknown)
    std::string group;     // NoPermission: the group that owns the device, if known
    // Busy through a lock name: what lies there. Stale: a lock of an ended process (nHolder;
    // 0 for an empty or unreadable one) that we may not remove. NotAFile: not a regular file.
    LockHold lockHold = LockHold::None;
};

// How the last open of that name ("COM3", or a device path) failed; nothing when it opened,
// or when its device is not there.
std::optional<OpenFailure> LastOpenFailure(const char* pszName);

// What is known of a failed open.
struct OpenFacts {
    DWORD dwError = ERROR_SUCCESS;
    bool bLockHeld = false;        // another process's lock file refused it
    bool bPermitted = true;        // the user may read and write the device
    bool bHardwareAbsent = false;  // a serial node without its UART
};

// The reason to tell, or nothing for a device that is not there.
std::optional<OpenReason> ClassifyOpenFailure(const OpenFacts& facts);

// CreateFileA's record of an open of pszName on the device at path; dwError 0 when it opened.
void NoteOpenResult(const char* pszName, const std::string& path, DWORD dwError, const LockFile& lock);

}  // namespace win32
