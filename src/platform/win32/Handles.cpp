#include "platform/win32/Handles.h"

#include <cerrno>
#include <chrono>
#include <new>
#include <unordered_map>

namespace win32 {
namespace {

thread_local DWORD t_dwLastError = ERROR_SUCCESS;

struct Registry {
    std::mutex mutex;
    std::unordered_map<HANDLE, std::shared_ptr<Object>> objects;
};

// Built on first use and never destroyed: handles are used during static
// initialisation and by threads that may still run while the process exits.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

DWORD Waitable::Wait(DWORD dwMilliseconds) {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> until;
    if (dwMilliseconds != INFINITE) until = Clock::now() + std::chrono::milliseconds(dwMilliseconds);
    std::unique_lock lock(m_mutex);
    bool bDriverRefused = false;
    while (!m_bSignalled) {
        std::shared_ptr<WaitDriver> driver = bDriverRefused || m_driving ? nullptr : m_driver.lock();
        if (driver) {
            m_driving = driver;
            m_drivingThread = std::this_thread::get_id();
            lock.unlock();
            bDriverRefused = !driver->Drive(until);
            lock.lock();
            m_driving.reset();
            // The last reference goes outside the lock: it may end a port, which signals its events.
            lock.unlock();
            driver.reset();
            lock.lock();
        } else if (!until) {
            m_cv.wait(lock);
        } else {
            m_cv.wait_until(lock, *until);
        }
        if (!m_bSignalled && until && Clock::now() >= *until) return WAIT_TIMEOUT;
    }
    if (m_bAutoReset) m_bSignalled = false;
    return WAIT_OBJECT_0;
}

void Waitable::Notify(std::unique_lock<std::mutex>& lock) {
    // A driver running on another thread is told; the one signalling from inside its own drive
    // is about to see the signal anyway.
    std::shared_ptr<WaitDriver> driver;
    if (m_driving && m_drivingThread != std::this_thread::get_id()) driver = m_driving;
    lock.unlock();
    m_cv.notify_all();
    if (driver) driver->Interrupt();
}

void Waitable::Signal() {
    std::unique_lock lock(m_mutex);
    m_bSignalled = true;
    Notify(lock);
}

void Waitable::Reset() {
    std::lock_guard lock(m_mutex);
    m_bSignalled = false;
    ++m_nResets;
}

void Waitable::SetDriver(std::weak_ptr<WaitDriver> driver) {
    std::unique_lock lock(m_mutex);
    m_driver = std::move(driver);
    // A waiter asleep may now drive; one driving looks again at what to wait for.
    Notify(lock);
}

std::uint64_t Waitable::Resets() {
    std::lock_guard lock(m_mutex);
    return m_nResets;
}

void Waitable::SignalUnlessResetSince(std::uint64_t nResets) {
    std::unique_lock lock(m_mutex);
    if (m_nResets != nResets) return;
    m_bSignalled = true;
    Notify(lock);
}

HANDLE RegisterObject(std::shared_ptr<Object> object) {
    HANDLE handle = object.get();
    try {
        Registry& registry = TheRegistry();
        std::lock_guard lock(registry.mutex);
        registry.objects.emplace(handle, std::move(object));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return handle;
}

std::shared_ptr<Object> UnregisterObject(HANDLE handle) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.objects.find(handle);
    if (it == registry.objects.end()) return nullptr;
    auto object = std::move(it->second);
    registry.objects.erase(it);
    return object;
}

std::shared_ptr<Object> FindObject(HANDLE handle) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.objects.find(handle);
    return it == registry.objects.end() ? nullptr : it->second;
}

namespace {

struct ErrnoCode {
    int err;
    DWORD dwError;
};

// Each errno a system call of this layer can give, and the Windows error that says the same.
constexpr ErrnoCode kErrnoCodes[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_FILE_NOT_FOUND},
    {ENXIO, ERROR_FILE_NOT_FOUND},
    {ENODEV, ERROR_FILE_NOT_FOUND},
    // Held by another, as Windows reports a COM port in use: an exclusive tty's EBUSY, and a
    // lock another process holds, which the open reports as EBUSY too.
    {EBUSY, ERROR_ACCESS_DENIED},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_ACCESS_DENIED},
    // Not available for the moment; it may be later.
    {EAGAIN, ERROR_BUSY},
    {EBADF, ERROR_INVALID_HANDLE},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {ENOBUFS, ERROR_NOT_ENOUGH_MEMORY},
    {EINVAL, ERROR_INVALID_PARAMETER},
    // The device has no such request: a pty has no modem lines.
    {ENOTTY, ERROR_NOT_SUPPORTED},
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
    {EIO, ERROR_DEVICE_NOT_CONNECTED},
    {ENOLINK, ERROR_DEVICE_NOT_CONNECTED},
    {ETIMEDOUT, ERROR_TIMEOUT},
    {ECANCELED, ERROR_OPERATION_ABORTED},
};

}  // namespace

DWORD ErrorFromErrno(int err) {
    for (const ErrnoCode& row : kErrnoCodes) {
        if (row.err == err) return row.dwError;
    }
    return ERROR_GEN_FAILURE;
}

BOOL Fail(DWORD dwError) {
    SetLastError(dwError);
    return FALSE;
}

BOOL FailErrno(int err) {
    return Fail(ErrorFromErrno(err));
}

}  // namespace win32

DWORD GetLastError() {
    return win32::t_dwLastError;
}

void SetLastError(DWORD dwErrCode) {
    win32::t_dwLastError = dwErrCode;
}

BOOL CloseHandle(HANDLE hObject) {
    auto object = win32::UnregisterObject(hObject);
    if (!object) return win32::Fail(ERROR_INVALID_HANDLE);
    object->OnClose();
    return TRUE;
}
