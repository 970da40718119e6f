// UUCP lock files, as Debian's serial programs keep them: /run/lock/LCK..NAME, NAME the
// device's file name, holding the owner's process id as ten characters and a newline.
// A port whose lock names a living process is in use; a lock whose process has ended is
// stale and removed. The directory is QUILLON_LOCK_DIR when that is set, so that tests keep
// their locks to themselves.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/Win32.h"

namespace win32 {

class LockFile {
public:
    LockFile() = default;
    LockFile(LockFile&& other) noexcept;
    LockFile& operator=(LockFile&& other) noexcept;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile() { Release(); }

    // Locks the device. ERROR_SUCCESS when it is locked for us, and also when no lock can be
    // kept here (no lock directory, or one we may not write): the exclusive open still guards
    // the port. ERROR_ACCESS_DENIED when another living process holds the lock.
    DWORD Acquire(const std::string& devicePath);
    // Removes our lock file, if it is still ours.
    void Release();

    // After a refused Acquire: the lock file, and the process it names (0 when unreadable).
    const std::string& HeldLock() const { return m_heldLock; }
    long Holder() const { return m_nHolder; }

private:
    std::string m_path;
    int m_nSlot = -1;
    std::string m_heldLock;
    long m_nHolder = 0;
};

// "LCK..ttyUSB0" for /dev/ttyUSB0.
std::string LockName(std::string_view devicePath);
// The process id of a lock file's content: ASCII digits with blanks around them, or the
// four-byte binary form of old programs. Nothing for anything else.
std::optional<long> ParseLockPid(std::string_view content);
// What a lock file of ours holds.
std::string LockText(long nPid);
// QUILLON_LOCK_DIR, else the first of /run/lock and /var/lock that exists; empty if none.
std::string LockDirectory();

}  // namespace win32
