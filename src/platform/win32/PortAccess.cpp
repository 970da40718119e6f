#include "platform/win32/PortAccess.h"

#include <fcntl.h>
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

namespace win32 {
namespace {

struct Records {
    std::mutex mutex;
    std::map<std::string, OpenFailure> failures;
};

Records& TheRecords() {
    static Records records;
    return records;
}

// COM names ignore case, as the open does; paths do not.
std::string Key(const char* pszName) {
    std::string key = pszName;
    if (key.size() == 4 && strncasecmp(pszName, "COM", 3) == 0) {
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return key;
}

bool Permitted(const std::string& path) {
    if (faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0) return true;
    return errno != EACCES && errno != EPERM;
}

// The serial core names the UART behind each ttyS node; type 0 means there is none.
bool HardwareAbsent(const std::string& path) {
    char szReal[PATH_MAX];
    if (!realpath(path.c_str(), szReal)) return false;
    const char* pszBase = std::strrchr(szReal, '/');
    std::ifstream type(std::string("/sys/class/tty/") + (pszBase ? pszBase + 1 : szReal) + "/type");
    int nType = -1;
    return type >> nType && nType == 0;
}

std::string UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* pResult = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &pResult) != 0 || !pResult)
        return std::to_string(uid);
    return pResult->pw_name;
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{};
    group* pResult = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &pResult) != 0 || !pResult)
        return std::to_string(gid);
    return pResult->gr_name;
}

DeviceAccess AccessOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return {};
    return {UserName(info.st_uid), GroupName(info.st_gid), static_cast<unsigned>(info.st_mode & 07777)};
}

struct OnlyDevice {
    std::mutex mutex;
    std::string path;
};

OnlyDevice& TheOnlyDevice() {
    static OnlyDevice only;
    return only;
}

}  // namespace

PortDevice ResolvePort(const char* pszName) {
    if (std::strlen(pszName) != 4 || strncasecmp(pszName, "COM", 3) != 0 || pszName[3] < '1' ||
        pszName[3] > '8')
        return {pszName, false};
    {
        OnlyDevice& only = TheOnlyDevice();
        std::lock_guard guard(only.mutex);
        if (!only.path.empty()) return pszName[3] == '1' ? PortDevice{only.path, true} : PortDevice{};
    }
    const std::string variable = std::string("QUILLON_COM") + pszName[3];
    if (const char* pszPath = std::getenv(variable.c_str())) return {pszPath, true};
    return {std::string("/dev/ttyS") + static_cast<char>(pszName[3] - 1), false};
}

void UseOnlyDevice(const std::string& path) {
    OnlyDevice& only = TheOnlyDevice();
    std::lock_guard guard(only.mutex);
    only.path = path;
}

bool GroupMayReadWrite(unsigned nMode) {
    return (nMode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
}

std::optional<OpenReason> ClassifyOpenFailure(const OpenFacts& facts) {
    if (facts.dwError == ERROR_FILE_NOT_FOUND || facts.dwError == ERROR_DEVICE_NOT_CONNECTED)
        return std::nullopt;
    if (facts.bHardwareAbsent) return std::nullopt;
    if (facts.bLockHeld) return OpenReason::Busy;
    if (facts.dwError == ERROR_ACCESS_DENIED)
        return facts.bPermitted ? OpenReason::Busy : OpenReason::NoPermission;
    return OpenReason::Other;
}

void NoteOpenResult(const char* pszName, const std::string& path, DWORD dwError, const LockFile& lock) {
    std::optional<OpenFailure> failure;
    if (dwError != ERROR_SUCCESS) {
        OpenFacts facts;
        facts.dwError = dwError;
        facts.bLockHeld = !lock.HeldLock().empty();
        facts.bPermitted = Permitted(path);
        facts.bHardwareAbsent = HardwareAbsent(path);
        if (const auto reason = ClassifyOpenFailure(facts)) {
            failure = OpenFailure{path, *reason, dwError, lock.HeldLock(), lock.Holder(), {}, lock.Hold()};
            if (*reason == OpenReason::NoPermission) failure->access = AccessOf(path);
        }
    }
    Records& records = TheRecords();
    std::lock_guard guard(records.mutex);
    if (failure) {
        records.failures[Key(pszName)] = *failure;
    } else {
        records.failures.erase(Key(pszName));
    }
}

std::optional<OpenFailure> LastOpenFailure(const char* pszName) {
    Records& records = TheRecords();
    std::lock_guard guard(records.mutex);
    const auto it = records.failures.find(Key(pszName));
    if (it == records.failures.end()) return std::nullopt;
    return it->second;
}

}  // namespace win32
