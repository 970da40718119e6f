// What the dialog benchmarks share: the process's clocks and wake-ups, the real
// main dialog on a pty under the offscreen platform, and the figures beside
// their goals.
#pragma once

#include <dirent.h>
#include <limits.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "Stats.h"
#include "app/QuillonDlg.h"
#include "support/Pty.h"

namespace quillon::bench {

inline double ClockUs(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// Every thread of the process, those that ended included.
inline double ProcessCpuUs() {
    return ClockUs(CLOCK_PROCESS_CPUTIME_ID);
}
inline double ThreadCpuUs() {
    return ClockUs(CLOCK_THREAD_CPUTIME_ID);
}
inline double WallUs() {
    return ClockUs(CLOCK_MONOTONIC);
}

// This program's executable, to run it again in another mode.
inline std::string SelfPath() {
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

// The whole buffer, read or written, however the descriptor splits it.
template <class Char, class Call>
bool TransferAll(int fd, Char* p, std::size_t size, Call call) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = call(fd, p + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}
inline bool ReadAll(int fd, void* buffer, std::size_t size) {
    return TransferAll(fd, static_cast<char*>(buffer), size, ::read);
}
inline bool WriteAll(int fd, const void* buffer, std::size_t size) {
    return TransferAll(fd, static_cast<const char*>(buffer), size, ::write);
}

// Voluntary and involuntary context switches of every live thread: each one is a wake-up.
inline long ContextSwitches() {
    long total = 0;
    DIR* dir = ::opendir("/proc/self/task");
    if (!dir) return 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
        for (std::string line; std::getline(status, line);) {
            std::istringstream fields(line);
            std::string key;
            long value = 0;
            if (fields >> key >> value && key.ends_with("ctxt_switches:")) total += value;
        }
    }
    ::closedir(dir);
    return total;
}

// COM1 on a fresh pty, every other port on nothing, so that no real device is touched.
inline std::unique_ptr<quillon::test::Pty> MapPortsToPty() {
    auto pty = std::make_unique<quillon::test::Pty>();
    for (int n = 2; n <= 8; ++n) ::setenv(("QUILLON_COM" + std::to_string(n)).c_str(), "/nonexistent", 1);
    ::setenv("QUILLON_COM1", pty->Path().c_str(), 1);
    return pty;
}

// Bytes received that the dialog has not read yet (the port's receive queue).
inline DWORD PendingInput(CQuillonDlg& dlg) {
    DWORD dwErrors = 0;
    COMSTAT stat{};
    ::ClearCommError(dlg.m_serial.GetCommHandle(), &dwErrors, &stat);
    return stat.cbInQue;
}

// Fills the console log with receive dumps until it holds `bytes` characters.
inline void FillConsole(CQuillonDlg& dlg, int bytes) {
    dlg.m_strConsole.Empty();
    while (dlg.m_strConsole.GetLength() < bytes)
        dlg.AppendConsole("\r\nRxChar(9): AA 55 07 02 7D 00 2A 00 B0");
}

}  // namespace quillon::bench
