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
    std::unique_lock lock(m_mutex);
    auto signalled = [this] { return m_bSignalled; };
    if (dwMilliseconds == INFINITE)
        m_cv.wait(lock, signalled);
    else if (!m_cv.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), signalled))
        return WAIT_TIMEOUT;
    if (m_bAutoReset) m_bSignalled = false;
    return WAIT_OBJECT_0;
}

void Waitable::Signal() {
    {
        std::lock_guard lock(m_mutex);
        m_bSignalled = true;
    }
    m_cv.notify_all();
}

void Waitable::Reset() {
    std::lock_guard lock(m_mutex);
    m_bSignalled = false;
    ++m_nResets;
}

std::uint64_t Waitable::Resets() {
    std::lock_guard lock(m_mutex);
    return m_nResets;
}

void Waitable::SignalUnlessResetSince(std::uint64_t nResets) {
    {
        std::lock_guard lock(m_mutex);
        if (m_nResets != nResets) return;
        m_bSignalled = true;
    }
    m_cv.notify_all();
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
