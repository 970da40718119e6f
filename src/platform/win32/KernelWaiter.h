// A thread for what poll cannot wait for: it repeats a call that blocks in the
// kernel (a modem-line wait) until the call fails or the waiter is stopped.
// Stopping interrupts a blocked call with a signal whose handler does nothing.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace win32 {

class KernelWaiter {
public:
    KernelWaiter() = default;
    ~KernelWaiter();
    KernelWaiter(const KernelWaiter&) = delete;
    KernelWaiter& operator=(const KernelWaiter&) = delete;

    // Calls `wait` (0 or an errno) again and again on a thread of its own: after 0 and after
    // EINTR, until another error. False when no thread could be started.
    bool Start(std::function<int()> wait);
    // Returns once the thread has ended; at once if it never started or ended by itself.
    void Stop();
    bool Started() const { return m_thread.joinable(); }

private:
    void Run(const std::function<int()>& wait);

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_bStopping = false;
    bool m_bEnded = false;
};

}  // namespace win32
