// UUCP lock files, as Debian's serial programs keep them: /run/lock/LCK..NAME, NAME the
// device's file name, holding the owner's process id as ten characters and a newline.
// A port whose lock names a living process is in use; a lock whose process has ended, or that
// is empty or unreadable, is stale and removed. Anyone may write in the lock directory, so what
// lies there is only ever read as a regular file, without following links and without
// blocking, and never more than its first line. The directory is QUILLON_LOCK_DIR when that is
// set, so that tests keep their locks to themselves.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/Win32.h"

namespace win32 {

// What under a lock name keeps a port from us.
enum class LockHold {
    None,
    Process,   // the lock of a living process, Holder()
    Stale,     // a stale lock that we may not remove; Holder() is its ended process, 0 if unreadable
    NotAFile,  // a FIFO, a device, a link or a directory, which is never opened
};

class LockFile {
public:
    LockFile() = default;
    LockFile(LockFile&& other) noexcept;
    LockFile& operator=(LockFile&& other) noexcept;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile() { Release(); }

    // Locks the device, removing stale locks. ERROR_SUCCESS when it is locked for us, and also
    // when no lock can be kept here (no lock directory, or one we may not write): the exclusive
    // open still guards the port. ERROR_ACCESS_DENIED when a lock name is held (HeldLock()).
    DWORD Acquire(const std::string& devicePath);
    // Whether Acquire would succeed, changing nothing: a stale lock counts as free when we may
    // remove it.
    DWORD Check(const std::string& devicePath);
    // Removes our lock file, if it is still ours.
    void Release();

    // After a refused Acquire or Check: the lock name, what holds it, and the process it names.
    const std::string& HeldLock() const { return m_heldLock; }
    LockHold Hold() const { return m_hold; }
    long Holder() const { return m_nHolder; }

private:
    // Clears the way under one lock name; false, with the hold noted, when it cannot be.
    bool Clear(const std::string& lockPath, bool bRemoveStale);
    // Clears the way under the device's lock names; lockPath is its own, empty when no lock can
    // be kept.
    DWORD ClearNames(const std::string& devicePath, bool bRemoveStale, std::string& lockPath);
    DWORD Refuse(const std::string& lockPath, LockHold hold, long nPid);

    std::string m_path;
    int m_nSlot = -1;
    std::string m_heldLock;
    LockHold m_hold = LockHold::None;
    long m_nHolder = 0;
};

// "LCK..ttyUSB0" for /dev/ttyUSB0.
std::string LockName(std::string_view devicePath);
// The process id of a lock file's first line: ASCII digits with blanks around them; or, for a
// file of four bytes, their binary form of old programs. Nothing for anything else.
std::optional<long> ParseLockPid(std::string_view content);
// What a lock file of ours holds.
std::string LockText(long nPid);
// QUILLON_LOCK_DIR, else the first of /run/lock and /var/lock that exists; empty if none.
std::string LockDirectory();
// Whether a user may remove an entry from a directory it may write to: a sticky directory, as
// the lock directory is, lets only the entry's owner, the directory's, or root remove it.
bool MayRemoveEntry(mode_t dirMode, uid_t dirOwner, uid_t entryOwner, uid_t user);

// Removes the lock files this process holds now. Safe in a signal handler: it reads memory
// that is set before a lock is taken and calls unlink alone.
void RemoveHeldLocks();

}  // namespace win32
