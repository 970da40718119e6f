// Events, threads, waits and Sleep.
#include <atomic>
#include <chrono>
#include <new>
#include <system_error>
#include <thread>

#include "platform/win32/Handles.h"

namespace win32 {
namespace {

class Thread final : public Waitable {
public:
    Thread() : Waitable(false, false) {}

    void Finish(DWORD dwExitCode) {
        {
            std::lock_guard lock(m_mutex);
            m_dwExitCode = dwExitCode;
        }
        Signal();
    }

    DWORD ExitCode() {
        std::lock_guard lock(m_mutex);
        return m_dwExitCode;
    }

private:
    DWORD m_dwExitCode = STILL_ACTIVE;
};

// Windows reserves stacks by this flag instead of committing them; the size is a hint either way.
constexpr DWORD STACK_SIZE_PARAM_IS_A_RESERVATION = 0x00010000;

}  // namespace
}  // namespace win32

using win32::Fail;

HANDLE CreateEventA(SECURITY_ATTRIBUTES*, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    // Named events are shared between processes on Windows; nothing here needs that.
    if (lpName) {
        Fail(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    std::shared_ptr<win32::Event> event;
    try {
        event = std::make_shared<win32::Event>(bManualReset != FALSE, bInitialState != FALSE);
    } catch (const std::bad_alloc&) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return win32::RegisterObject(std::move(event));
}

BOOL SetEvent(HANDLE hEvent) {
    auto event = win32::Lookup<win32::Event>(hEvent);
    if (!event) return FALSE;
    event->Signal();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    auto event = win32::Lookup<win32::Event>(hEvent);
    if (!event) return FALSE;
    event->Reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto object = win32::Lookup<win32::Waitable>(hHandle);
    if (!object) return WAIT_FAILED;
    return object->Wait(dwMilliseconds);
}

HANDLE CreateThread(SECURITY_ATTRIBUTES*, std::size_t, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress || (dwCreationFlags & ~win32::STACK_SIZE_PARAM_IS_A_RESERVATION)) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    static std::atomic<DWORD> s_dwNextId{1};
    const DWORD dwId = s_dwNextId.fetch_add(1, std::memory_order_relaxed);
    try {
        auto thread = std::make_shared<win32::Thread>();
        HANDLE handle = win32::RegisterObject(thread);
        if (!handle) return nullptr;
        try {
            // The routine keeps its own reference, so closing the handle early leaves it running.
            std::thread([thread, lpStartAddress, lpParameter] {
                thread->Finish(lpStartAddress(lpParameter));
            }).detach();
        } catch (const std::system_error&) {
            win32::UnregisterObject(handle);
            Fail(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (lpThreadId) *lpThreadId = dwId;
        return handle;
    } catch (const std::bad_alloc&) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = win32::Lookup<win32::Thread>(hThread);
    if (!thread) return FALSE;
    if (!lpExitCode) return Fail(ERROR_INVALID_PARAMETER);
    *lpExitCode = thread->ExitCode();
    return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
