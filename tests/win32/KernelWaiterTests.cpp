// A thread blocked in a system call that poll cannot stand in for, and how it is stopped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/win32/KernelWaiter.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A pipe whose reads stand in for the modem-line wait: each byte written is a change.
class Changes {
public:
    Changes() { EXPECT_EQ(pipe(m_fds), 0); }
    ~Changes() {
        Close();
        close(m_fds[0]);
    }
    Changes(const Changes&) = delete;
    Changes& operator=(const Changes&) = delete;

    int Wait() {
        char byte = 0;
        const ssize_t n = read(m_fds[0], &byte, 1);
        if (n < 0) return errno;
        if (n == 0) return EPIPE;
        ++m_nSeen;
        return 0;
    }
    void Change() { EXPECT_EQ(write(m_fds[1], "c", 1), 1); }
    void Close() {
        if (m_fds[1] >= 0) close(m_fds[1]);
        m_fds[1] = -1;
    }
    bool Seen(int n) const {
        const auto deadline = Clock::now() + 5s;
        while (m_nSeen < n && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
        return m_nSeen == n;
    }

private:
    int m_fds[2] = {-1, -1};
    std::atomic<int> m_nSeen{0};
};

TEST(KernelWaiter, WaitsAgainAfterEachChange) {
    Changes changes;
    win32::KernelWaiter waiter;
    ASSERT_TRUE(waiter.Start([&] { return changes.Wait(); }));
    for (int i = 1; i <= 3; ++i) {
        changes.Change();
        EXPECT_TRUE(changes.Seen(i));
    }
    waiter.Stop();
}

TEST(KernelWaiter, StopEndsACallBlockedInTheKernel) {
    Changes changes;
    win32::KernelWaiter waiter;
    ASSERT_TRUE(waiter.Start([&] { return changes.Wait(); }));
    std::this_thread::sleep_for(50ms);
    const auto start = Clock::now();
    waiter.Stop();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_FALSE(waiter.Started());
    changes.Change();
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(changes.Seen(0)) << "nothing waits any more";
}

TEST(KernelWaiter, AFailingCallEndsTheThreadByItself) {
    Changes changes;
    win32::KernelWaiter waiter;
    ASSERT_TRUE(waiter.Start([&] { return changes.Wait(); }));
    changes.Change();
    ASSERT_TRUE(changes.Seen(1));
    changes.Close();
    std::this_thread::sleep_for(50ms);
    const auto start = Clock::now();
    waiter.Stop();
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST(KernelWaiter, StopWithoutStartAndTwiceIsHarmless) {
    win32::KernelWaiter waiter;
    waiter.Stop();
    Changes changes;
    ASSERT_TRUE(waiter.Start([&] { return changes.Wait(); }));
    waiter.Stop();
    waiter.Stop();
    EXPECT_FALSE(waiter.Started());
}

}  // namespace
