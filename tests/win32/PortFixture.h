// Pseudo-terminal peers and open ports for the comm tests. Free of <termios.h>,
// so that a test may read the kernel's termios2 itself.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/Win32.h"

namespace win32_test {

using namespace std::chrono_literals;

// Long enough for a loaded machine; only ever reached when a test fails.
constexpr DWORD kPatienceMs = 5000;
// How long a test watches for something that must not happen.
constexpr DWORD kQuietMs = 200;

using Bytes = std::vector<BYTE>;

Bytes ToBytes(std::string_view text);

// A pseudo-terminal whose master plays the device's peer; the layer opens the slave by its path.
class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& Path() const { return m_path; }
    int MasterFd() const { return m_master; }
    void Send(const Bytes& bytes);
    void Send(std::string_view text) { Send(ToBytes(text)); }
    // What arrives until `count` bytes came or `waitMs` passed.
    Bytes Receive(std::size_t count, DWORD waitMs = kPatienceMs);
    void Hangup();

private:
    int m_master = -1;
    std::string m_path;
};

// An event-backed OVERLAPPED that closes its event.
struct Overlapped {
    Overlapped();
    ~Overlapped();
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;
    bool Signalled(DWORD waitMs = 0) const;

    OVERLAPPED ov{};
};

HANDLE OpenPath(const std::string& path, DWORD flags = FILE_FLAG_OVERLAPPED);
bool SetReadTimeouts(HANDLE hPort, DWORD interval, DWORD multiplier, DWORD constant);
DWORD InQueue(HANDLE hPort);
// Waits until the layer's receive queue holds `count` bytes.
bool WaitForInQueue(HANDLE hPort, DWORD count);
// Reads with a read that returns at once until `received` holds `count` bytes or patience ran out.
void ReadUntil(HANDLE hPort, Bytes& received, std::size_t count);
// Turns on XON/XOFF output flow control and has the peer stop the output.
void StopOutputWithXoff(HANDLE hPort, PtyPeer& peer);

class PortTest : public ::testing::Test {
protected:
    void Open(DWORD flags = FILE_FLAG_OVERLAPPED);
    void TearDown() override;

    PtyPeer m_peer;
    HANDLE m_hPort = INVALID_HANDLE_VALUE;
};

// An open port with one line-event wait of the test's own.
class PortWaitTest : public PortTest {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open()); }

    // Starts a wait that must stay pending.
    void StartPendingWait() {
        m_dwEvents = 0xDEAD;
        ASSERT_FALSE(WaitCommEvent(m_hPort, &m_dwEvents, &m_wait.ov));
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }

    Overlapped m_wait;
    DWORD m_dwEvents = 0;
};

}  // namespace win32_test
