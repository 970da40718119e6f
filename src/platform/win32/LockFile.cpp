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
#include <mutex>
#include <string>
#include <utility>

namespace win32 {
namespace {

constexpr const char* kLockDirectories[] = {"/run/lock", "/var/lock"};
constexpr int kCleanupSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
constexpr std::size_t kMaxPidDigits = 10;

// The locks held now, for the signal handler, which may only read plain memory and unlink.
struct Slot {
    std::atomic<bool> bClaimed{false};
    std::atomic<bool> bArmed{false};
    char szPath[PATH_MAX] = {};
};
std::array<Slot, 16> g_slots;

void RemoveHeldLocks(int nSignal) {
    for (Slot& slot : g_slots) {
        if (slot.bArmed.load()) unlink(slot.szPath);
    }
    // The handler was reset on entry: the signal now ends the process as it would have.
    raise(nSignal);
}

// Only where nobody else handles the signal: a program with its own handler ends its own way.
void InstallCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int nSignal : kCleanupSignals) {
            struct sigaction current {};
            if (sigaction(nSignal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
                current.sa_handler != SIG_DFL)
                continue;
            struct sigaction action {};
            action.sa_handler = RemoveHeldLocks;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESETHAND;
            sigaction(nSignal, &action, nullptr);
        }
    });
}

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

enum class Found { Nothing, Stale, Held };

struct Existing {
    Found found = Found::Nothing;
    long nPid = 0;
};

// A lock we cannot read or make sense of may be one being written: it is left alone.
Existing Inspect(const std::string& lockPath) {
    const int fd = open(lockPath.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {errno == ENOENT ? Found::Nothing : Found::Held, 0};
    char buffer[64];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    close(fd);
    const auto pid = ParseLockPid(std::string_view(buffer, n > 0 ? static_cast<std::size_t>(n) : 0));
    if (!pid) return {Found::Held, 0};
    // Our own pid is a lock another handle of ours holds.
    if (*pid == getpid() || ProcessLives(*pid)) return {Found::Held, *pid};
    return {Found::Stale, *pid};
}

}  // namespace

std::string LockName(std::string_view devicePath) {
    const std::size_t slash = devicePath.rfind('/');
    return "LCK.." + std::string(slash == std::string_view::npos ? devicePath : devicePath.substr(slash + 1));
}

std::optional<long> ParseLockPid(std::string_view content) {
    const std::size_t first = content.find_first_not_of(" \t\n");
    const std::size_t last = content.find_last_not_of(" \t\n");
    if (first != std::string_view::npos) {
        const std::string_view digits = content.substr(first, last - first + 1);
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

LockFile::LockFile(LockFile&& other) noexcept {
    *this = std::move(other);
}

LockFile& LockFile::operator=(LockFile&& other) noexcept {
    if (this != &other) {
        Release();
        m_path = std::exchange(other.m_path, {});
        m_nSlot = std::exchange(other.m_nSlot, -1);
        m_heldLock = std::exchange(other.m_heldLock, {});
        m_nHolder = std::exchange(other.m_nHolder, 0);
    }
    return *this;
}

DWORD LockFile::Acquire(const std::string& devicePath) {
    Release();
    m_heldLock.clear();
    m_nHolder = 0;
    const std::string directory = LockDirectory();
    char szReal[PATH_MAX];
    // A missing device is the open's to report.
    if (directory.empty() || !realpath(devicePath.c_str(), szReal)) return ERROR_SUCCESS;

    // The device's own name is ours to lock; another program may have locked the name it was
    // given, such as a /dev/serial/by-id link.
    const std::string lockPath = directory + "/" + LockName(szReal);
    const std::string givenPath = directory + "/" + LockName(devicePath);
    const auto refuse = [this](const std::string& path, long nPid) {
        m_heldLock = path;
        m_nHolder = nPid;
        return ERROR_ACCESS_DENIED;
    };
    for (const std::string* pPath : {&lockPath, &givenPath}) {
        const Existing existing = Inspect(*pPath);
        if (existing.found == Found::Held) return refuse(*pPath, existing.nPid);
        if (existing.found == Found::Stale) unlink(pPath->c_str());
    }

    // Written whole under a name of our own, then linked into place: nobody reads half a lock.
    static std::atomic<unsigned> nTemp{0};
    const std::string temp = directory + "/LTMP." + std::to_string(getpid()) + "." + std::to_string(nTemp++);
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) return ERROR_SUCCESS;
    const std::string text = LockText(getpid());
    const bool bWritten = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    DWORD dwResult = ERROR_SUCCESS;
    for (int nAttempt = 0; bWritten && nAttempt < 2; ++nAttempt) {
        if (link(temp.c_str(), lockPath.c_str()) == 0) {
            m_path = lockPath;
            m_nSlot = ClaimSlot(lockPath);
            InstallCleanup();
            break;
        }
        if (errno != EEXIST) break;
        // Another program locked it since we looked.
        const Existing existing = Inspect(lockPath);
        if (existing.found == Found::Held) {
            dwResult = refuse(lockPath, existing.nPid);
            break;
        }
        if (existing.found == Found::Stale) unlink(lockPath.c_str());
    }
    unlink(temp.c_str());
    return dwResult;
}

void LockFile::Release() {
    if (m_path.empty()) return;
    if (m_nSlot >= 0) FreeSlot(m_nSlot);
    // A lock that another program replaced is theirs.
    if (Inspect(m_path).nPid == getpid()) unlink(m_path.c_str());
    m_path.clear();
    m_nSlot = -1;
}

}  // namespace win32
