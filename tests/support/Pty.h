// A pseudo-terminal whose master side plays the peer of a port under test.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

class Pty {
public:
    Pty() {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0) {
            m_path = name;
            termios tio{};
            ::tcgetattr(m_master, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_master, TCSANOW, &tio);
            // Keep the slave open only until the port under test opens it, so a hang-up is real.
        }
    }
    ~Pty() {
        CloseSlave();
        HangUp();
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Path() const { return m_path; }
    int Master() const { return m_master; }
    void CloseSlave() {
        if (m_slave >= 0) ::close(m_slave);
        m_slave = -1;
    }
    void HangUp() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

    // All of the bytes, however a signal cuts the write short.
    bool Write(const std::vector<std::uint8_t>& bytes) const {
        for (std::size_t nDone = 0; nDone < bytes.size();) {
            const ssize_t n = ::write(m_master, bytes.data() + nDone, bytes.size() - nDone);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            nDone += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Reads what arrives until `count` bytes came or the time ran out.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds timeout) const {
        std::vector<std::uint8_t> out;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) break;
            std::uint8_t buf[4096];
            const ssize_t n = ::read(m_master, buf, std::min(sizeof(buf), count - out.size()));
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

    // Everything that arrives within the time.
    std::vector<std::uint8_t> Drain(std::chrono::milliseconds timeout) const { return Read(1 << 20, timeout); }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

}  // namespace quillon::test
