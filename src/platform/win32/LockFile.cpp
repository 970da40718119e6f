#include "platform/win32/LockFile.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace win32 {
namespace {

constexpr const char* kLockDirectories[] = {"/run/lock", "/var/lock"};
constexpr std::size_t kMaxPidDigits = 10;
// More than any lock's first line: a longer one is garbage whatever follows.
constexpr std::size_t kLockReadMax = 64;

// The locks held now, for a signal handler, which may only read plain memory and unlink.
struct Slot {
    std::atomic<bool> bClaimed{false};
    std::atomic<bool> bArmed{false};
    char szPath[PATH_MAX] = {};
};
std::array<Slot, 16> g_slots;

int ClaimSlot(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        bool bFree = false;
        if (!g_slots[i].bClaimed.compare_exchange_strong(bFree, true)) continue;
        std::memcpy(g_slots[i].szPath, path.c_str(), path.size() + 1);
        g_slots[i].bArmed.store(true);
        return static_cast<int>(i);
    }
    return -1;
}

void FreeSlot(int nSlot) {
    g_slots[nSlot].bArmed.store(false);
    g_slots[nSlot].bClaimed.store(false);
}

bool ProcessLives(long nPid) {
    return kill(static_cast<pid_t>(nPid), 0) == 0 || errno == EPERM;
}

enum class Found { Nothing, Living, Stale, NotAFile };

struct Existing {
    Found found = Found::Nothing;
    long nPid = 0;
    uid_t owner = 0;
};

// Only a regular file is opened, so that a FIFO or a device put under a lock name cannot make
// the open wait, nor a link lead elsewhere; the type is checked again on the open file, which
// may have been swapped since.
Existing Inspect(const std::string& lockPath) {
    struct stat entry {};
    // A directory we may not search holds no lock we could see, nor any we could make.
    if (lstat(lockPath.c_str(), &entry) != 0) return {};
    if (!S_ISREG(entry.st_mode)) return {Found::NotAFile, 0, entry.st_uid};
    const int fd = open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        return {errno == ELOOP || errno == ENXIO ? Found::NotAFile : Found::Stale, 0, entry.st_uid};
    }
    struct stat opened {};
    char buffer[kLockReadMax];
    ssize_t n = -1;
    const bool bRegular = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    if (bRegular) n = read(fd, buffer, sizeof buffer);
    close(fd);
    if (!bRegular) return {Found::NotAFile, 0, opened.st_uid};
    const auto pid = ParseLockPid(std::string_view(buffer, n > 0 ? static_cast<std::size_t>(n) : 0));
    if (!pid) return {Found::Stale, 0, opened.st_uid};
    // Our own pid is a lock another handle of ours holds.
    if (*pid == getpid() || ProcessLives(*pid)) return {Found::Living, *pid, opened.st_uid};
    return {Found::Stale, *pid, opened.st_uid};
}

bool MayRemove(const std::string& lockPath, uid_t entryOwner) {
    const std::string directory = lockPath.substr(0, lockPath.rfind('/'));
    struct stat info {};
    if (stat(directory.c_str(), &info) != 0) return false;
    return faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) == 0 &&
           MayRemoveEntry(info.st_mode, info.st_uid, entryOwner, geteuid());
}

}  // namespace

std::string LockName(std::string_view devicePath) {
    const std::size_t slash = devicePath.rfind('/');
    return "LCK.." + std::string(slash == std::string_view::npos ? devicePath : devicePath.substr(slash + 1));
}

std::optional<long> ParseLockPid(std::string_view content) {
    const std::string_view line = content.substr(0, content.find('\n'));
    const std::size_t first = line.find_first_not_of(" \t");
    const std::size_t last = line.find_last_not_of(" \t");
    if (first != std::string_view::npos) {
        const std::string_view digits = line.substr(first, last - first + 1);
        if (digits.size() <= kMaxPidDigits &&
            digits.find_first_not_of("0123456789") == std::string_view::npos) {
            const long nPid = std::stol(std::string(digits));
            if (nPid > 0 && nPid <= INT_MAX) return nPid;
            return std::nullopt;
        }
    }
    if (content.size() == sizeof(std::int32_t)) {
        std::int32_t nPid = 0;
        std::memcpy(&nPid, content.data(), sizeof nPid);
        if (nPid > 0) return nPid;
    }
    return std::nullopt;
}

std::string LockText(long nPid) {
    char text[32];
    std::snprintf(text, sizeof text, "%10ld\n", nPid);
    return text;
}

std::string LockDirectory() {
    if (const char* pszDir = std::getenv("QUILLON_LOCK_DIR"); pszDir && *pszDir) return pszDir;
    for (const char* pszDir : kLockDirectories) {
        struct stat info {};
        if (stat(pszDir, &info) == 0 && S_ISDIR(info.st_mode)) return pszDir;
    }
    return {};
}

bool MayRemoveEntry(mode_t dirMode, uid_t dirOwner, uid_t entryOwner, uid_t user) {
    return !(dirMode & S_ISVTX) || user == 0 || user == entryOwner || user == dirOwner;
}

void RemoveHeldLocks() {
    for (Slot& slot : g_slots) {
        if (slot.bArmed.load()) unlink(slot.szPath);
    }
}

LockFile::LockFile(LockFile&& other) noexcept {
    *this = std::move(other);
}

LockFile& LockFile::operator=(LockFile&& other) noexcept {
    if (this != &other) {
        Release();
        m_path = std::exchange(other.m_path, {});
        m_nSlot = std::exchange(other.m_nSlot, -1);
        m_heldLock = std::exchange(other.m_heldLock, {});
        m_hold = std::exchange(other.m_hold, LockHold::None);
        m_nHolder = std::exchange(other.m_nHolder, 0);
    }
    return *this;
}

DWORD LockFile::Refuse(const std::string& lockPath, LockHold hold, long nPid) {
    m_heldLock = lockPath;
    m_hold = hold;
    m_nHolder = nPid;
    return ERROR_ACCESS_DENIED;
}

bool LockFile::Clear(const std::string& lockPath, bool bRemoveStale) {
    const Existing existing = Inspect(lockPath);
    switch (existing.found) {
        case Found::Nothing:
            return true;
        case Found::Living:
            Refuse(lockPath, LockHold::Process, existing.nPid);
            return false;
        case Found::NotAFile:
            Refuse(lockPath, LockHold::NotAFile, 0);
            return false;
        case Found::Stale:
            break;
    }
    // A stale lock left in place would have us open the port around it, unlocked.
    const bool bCleared =
        bRemoveStale ? unlink(lockPath.c_str()) == 0 || errno == ENOENT : MayRemove(lockPath, existing.owner);
    if (!bCleared) Refuse(lockPath, LockHold::Stale, existing.nPid);
    return bCleared;
}

DWORD LockFile::ClearNames(const std::string& devicePath, bool bRemoveStale, std::string& lockPath) {
    m_heldLock.clear();
    m_hold = LockHold::None;
    m_nHolder = 0;
    lockPath.clear();
    const std::string directory = LockDirectory();
    char szReal[PATH_MAX];
    // A missing device is the open's to report.
    if (directory.empty() || !realpath(devicePath.c_str(), szReal)) return ERROR_SUCCESS;
    // The device's own name is ours to lock; another program may have locked the name it was
    // given, such as a /dev/serial/by-id link.
    for (const std::string& path :
         {directory + "/" + LockName(szReal), directory + "/" + LockName(devicePath)}) {
        if (!Clear(path, bRemoveStale)) return ERROR_ACCESS_DENIED;
    }
    lockPath = directory + "/" + LockName(szReal);
    return ERROR_SUCCESS;
}

DWORD LockFile::Check(const std::string& devicePath) {
    std::string lockPath;
    return ClearNames(devicePath, false, lockPath);
}

DWORD LockFile::Acquire(const std::string& devicePath) {
    Release();
    std::string lockPath;
    if (const DWORD dwError = ClearNames(devicePath, true, lockPath)) return dwError;
    if (lockPath.empty()) return ERROR_SUCCESS;
    const std::string directory = lockPath.substr(0, lockPath.rfind('/'));

    // Written whole under a name nobody can foresee, then linked into place: nobody reads half
    // a lock, and nothing put there beforehand stands in the way.
    std::string temp = directory + "/LTMP.XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return ERROR_SUCCESS;
    const std::string text = LockText(getpid());
    const bool bWritten =
        fchmod(fd, 0644) == 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    DWORD dwResult = ERROR_SUCCESS;
    for (int nAttempt = 0; bWritten && nAttempt < 2; ++nAttempt) {
        if (link(temp.c_str(), lockPath.c_str()) == 0) {
            m_path = lockPath;
            m_nSlot = ClaimSlot(lockPath);
            break;
        }
        // Another program locked it since we looked, or left a stale lock we have just removed.
        if (errno != EEXIST) break;
        if (!Clear(lockPath, true)) {
            dwResult = ERROR_ACCESS_DENIED;
            break;
        }
    }
    unlink(temp.c_str());
    return dwResult;
}

void LockFile::Release() {
    if (m_path.empty()) return;
    if (m_nSlot >= 0) FreeSlot(m_nSlot);
    // A lock that another program replaced is theirs.
    const Existing existing = Inspect(m_path);
    if (existing.found == Found::Living && existing.nPid == getpid()) unlink(m_path.c_str());
    m_path.clear();
    m_nSlot = -1;
}

}  // namespace win32
