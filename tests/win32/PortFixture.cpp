#include "PortFixture.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <thread>

namespace win32_test {

Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

PtyPeer::PtyPeer() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    // The layer opens the slave by its path; this descriptor is not needed.
    close(slave);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = name;
}

PtyPeer::~PtyPeer() {
    Hangup();
}

void PtyPeer::Send(const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = write(m_master, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd pfd{m_master, POLLOUT, 0};
            poll(&pfd, 1, static_cast<int>(kPatienceMs));
        } else if (n < 0 && errno != EINTR) {
            ADD_FAILURE() << "peer write failed: " << errno;
            return;
        }
    }
}

Bytes PtyPeer::Receive(std::size_t count, DWORD waitMs) {
    Bytes received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (received.size() < count) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd pfd{m_master, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
        BYTE buffer[512];
        const ssize_t n = read(m_master, buffer, std::min(sizeof buffer, count - received.size()));
        if (n > 0)
            received.insert(received.end(), buffer, buffer + n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return received;
}

void PtyPeer::Hangup() {
    if (m_master >= 0) close(m_master);
    m_master = -1;
}

Overlapped::Overlapped() {
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

Overlapped::~Overlapped() {
    CloseHandle(ov.hEvent);
}

bool Overlapped::Signalled(DWORD waitMs) const {
    return WaitForSingleObject(ov.hEvent, waitMs) == WAIT_OBJECT_0;
}

HANDLE OpenPath(const std::string& path, DWORD flags) {
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
}

bool SetReadTimeouts(HANDLE hPort, DWORD interval, DWORD multiplier, DWORD constant) {
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(hPort, &timeouts)) return false;
    timeouts.ReadIntervalTimeout = interval;
    timeouts.ReadTotalTimeoutMultiplier = multiplier;
    timeouts.ReadTotalTimeoutConstant = constant;
    return SetCommTimeouts(hPort, &timeouts) != FALSE;
}

DWORD InQueue(HANDLE hPort) {
    COMSTAT stat{};
    EXPECT_TRUE(ClearCommError(hPort, nullptr, &stat));
    return stat.cbInQue;
}

bool WaitForInQueue(HANDLE hPort, DWORD count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (InQueue(hPort) < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return InQueue(hPort) == count;
}

void ReadUntil(HANDLE hPort, Bytes& received, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
        BYTE buffer[16];
        DWORD dwRead = 0;
        Overlapped read;
        ASSERT_TRUE(ReadFile(hPort, buffer, static_cast<DWORD>(std::min(sizeof buffer, count - received.size())),
                             &dwRead, &read.ov));
        received.insert(received.end(), buffer, buffer + dwRead);
        if (dwRead == 0) std::this_thread::sleep_for(1ms);
    }
}

void StopOutputWithXoff(HANDLE hPort, PtyPeer& peer) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    ASSERT_TRUE(GetCommState(hPort, &dcb));
    dcb.fOutX = TRUE;
    ASSERT_TRUE(SetCommState(hPort, &dcb));
    // The tty takes its input in order: once the marker is in, the XOFF before it has stopped the output.
    peer.Send(Bytes{0x13, 'M'});
    ASSERT_TRUE(WaitForInQueue(hPort, 1));
    ASSERT_TRUE(PurgeComm(hPort, PURGE_RXCLEAR));
}

void PortTest::Open(DWORD flags) {
    m_hPort = OpenPath(m_peer.Path(), flags);
    ASSERT_NE(m_hPort, INVALID_HANDLE_VALUE) << "error " << GetLastError();
}

void PortTest::TearDown() {
    if (m_hPort != INVALID_HANDLE_VALUE) {
        EXPECT_TRUE(CloseHandle(m_hPort));
    }
}

}  // namespace win32_test
