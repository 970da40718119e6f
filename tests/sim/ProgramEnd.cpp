#include "ProgramEnd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace quillon::sim::test {

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<Millis>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

ProgramEnd::ProgramEnd() {
    if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
}

ProgramEnd::~ProgramEnd() {
    if (m_master >= 0) close(m_master);
    if (m_slave >= 0) close(m_slave);
}

int ProgramEnd::TakeMaster() {
    const int fd = m_master;
    m_master = -1;
    return fd;
}

void ProgramEnd::Write(std::span<const Byte> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_slave, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ASSERT_GT(n, 0) << "write to the pty failed";
        done += static_cast<std::size_t>(n);
    }
}

std::vector<Byte> ProgramEnd::ReadSome(Millis timeout) {
    if (!m_held.empty()) return std::exchange(m_held, {});
    pollfd fd{m_slave, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0 || !(fd.revents & POLLIN)) return {};
    Byte buffer[4096];
    const ssize_t n = read(m_slave, buffer, sizeof buffer);
    if (n <= 0) return {};
    return std::vector<Byte>(buffer, buffer + n);
}

std::vector<Byte> ProgramEnd::ReadExactly(std::size_t count, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    std::vector<Byte> out;
    while (out.size() < count) {
        std::vector<Byte> more = ReadSome(Millis{MillisLeft(deadline)});
        if (more.empty()) break;
        out.insert(out.end(), more.begin(), more.end());
    }
    if (out.size() > count) {
        m_held.assign(out.begin() + static_cast<std::ptrdiff_t>(count), out.end());
        out.resize(count);
    }
    return out;
}

std::optional<std::vector<Byte>> ProgramEnd::NextFrame(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    std::vector<Byte> head = ReadExactly(3, timeout);
    if (head.size() < 3) return std::nullopt;
    if (!IsFrameStart(head)) {
        ADD_FAILURE() << "no frame head where a frame should start";
        return std::nullopt;
    }
    const std::size_t length = FrameLength(head[kFrameCountOffset]);
    std::vector<Byte> rest = ReadExactly(length - head.size(), Millis{MillisLeft(deadline)});
    head.insert(head.end(), rest.begin(), rest.end());
    if (head.size() < length) return std::nullopt;
    return head;
}

bool ProgramEnd::TakesAByte() {
    const int flags = fcntl(m_slave, F_GETFL);
    fcntl(m_slave, F_SETFL, flags | O_NONBLOCK);
    const Byte zero = 0;
    const bool taken = write(m_slave, &zero, 1) == 1;
    fcntl(m_slave, F_SETFL, flags);
    return taken;
}

bool ProgramEnd::WaitHangUp(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        pollfd fd{m_slave, POLLIN, 0};
        if (poll(&fd, 1, MillisLeft(deadline)) <= 0) return false;
        if (fd.revents & (POLLHUP | POLLERR)) return true;
        Byte buffer[256];
        const ssize_t n = read(m_slave, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno == EIO)) return true;
    }
}

Config QuietConfig() {
    Config config;
    config.announceDelay.reset();
    config.rateHz = 500;
    return config;
}

std::vector<Byte> SerialNext(unsigned index) {
    std::vector<Byte> request{
        0xAA, 0x55, 0x08, 0x09, 0x00, static_cast<Byte>(index >> 8), static_cast<Byte>(index), 0x00, 0x00};
    request.push_back(static_cast<Byte>(0x11 + (index >> 8) + index));
    request.resize(256, 0x00);
    return request;
}

std::vector<Byte> ComPower(Byte power, Byte volt12) {
    return {0xAA, 0x55, 0x06, 0xA5, power, volt12, 0x00, static_cast<Byte>(0xAB + power + volt12), 0x00};
}

}  // namespace quillon::sim::test
