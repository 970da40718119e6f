#include "platform/win32/KernelWaiter.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <utility>

namespace win32 {
namespace {

// A real-time signal nothing else in the program uses; its default action would end the process.
int InterruptSignal() {
    return SIGRTMIN + 2;
}

void Ignore(int) {}

void InstallInterruptHandler() {
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        struct sigaction action {};
        action.sa_handler = &Ignore;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: the blocked call must return EINTR rather than resume.
        sigaction(InterruptSignal(), &action, nullptr);
    });
}

// A signal that lands just before the call enters the kernel finds nothing to interrupt.
constexpr auto kResendPeriod = std::chrono::milliseconds(10);

}  // namespace

KernelWaiter::~KernelWaiter() {
    Stop();
}

bool KernelWaiter::Start(std::function<int()> wait) {
    if (m_thread.joinable()) return true;
    InstallInterruptHandler();
    m_bStopping = m_bEnded = false;
    try {
        m_thread = std::thread([this, wait = std::move(wait)] { Run(wait); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void KernelWaiter::Run(const std::function<int()>& wait) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, InterruptSignal());
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_bStopping) break;
        }
        const int err = wait();
        if (err != 0 && err != EINTR) break;
    }
    {
        std::lock_guard lock(m_mutex);
        m_bEnded = true;
    }
    m_ended.notify_all();
}

void KernelWaiter::Stop() {
    if (!m_thread.joinable()) return;
    {
        std::unique_lock lock(m_mutex);
        m_bStopping = true;
        while (!m_bEnded) {
            pthread_kill(m_thread.native_handle(), InterruptSignal());
            m_ended.wait_for(lock, kResendPeriod);
        }
    }
    m_thread.join();
}

}  // namespace win32
