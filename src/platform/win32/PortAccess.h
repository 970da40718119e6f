// Which device a port name leads to, and why a serial device could not be opened, kept beside
// the Win32 code. Windows says ERROR_ACCESS_DENIED both for a port that another program holds
// and for one the user may not open; the user needs to know which, and this layer can tell.
#pragma once

#include <optional>
#include <string>

#include "platform/win32/LockFile.h"
#include "platform/win32/Win32.h"

namespace win32 {

struct PortDevice {
    std::string path;     // empty: the name leads to no device
    bool bNamed = false;  // the user chose it, by QUILLON_COMn or as the only device
};

// "COM1".."COM8" (any case) lead to $QUILLON_COMn when it is set, else to /dev/ttyS0..7; once
// UseOnlyDevice has named a device, COM1 leads to it and COM2..COM8 to nothing. Any other name
// is a path.
PortDevice ResolvePort(const char* pszName);
// Makes path the only port, as COM1; an empty path gives COM1 to COM8 back.
void UseOnlyDevice(const std::string& path);

enum class OpenReason {
    Busy,          // another program holds it: its exclusive open, or its lock file
    NoPermission,  // the user may not open the device
    Other,         // anything else, by its Win32 code
    Missing,       // no device there; never recorded, the caller tells it from the record's absence
};

// Who may open a device, from its owner, group and mode bits.
struct DeviceAccess {
    std::string owner;   // user name, or the number when it has none
    std::string group;   // likewise
    unsigned nMode = 0;  // the permission bits, 0600 for crw-------
};

// Whether the group's bits of a mode grant both read and write.
bool GroupMayReadWrite(unsigned nMode);

struct OpenFailure {
    std::string path;  // the device tried
    OpenReason reason = OpenReason::Other;
    DWORD dwError = ERROR_SUCCESS;
    std::string lockFile;  // Busy through a lock file: that file,
    long nHolder = 0;      // and the process it names (0: unknown)
    DeviceAccess access;   // NoPermission: the device's owner, group and mode, if known
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
