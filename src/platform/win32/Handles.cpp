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

void SignalEvent(HANDLE hEvent) {
    if (auto event = std::dynamic_pointer_cast<Event>(FindObject(hEvent))) event->Signal();
}

void ResetEventQuietly(HANDLE hEvent) {
    if (auto event = std::dynamic_pointer_cast<Event>(FindObject(hEvent))) event->Reset();
}

DWORD ErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
        case ENOTDIR:
        case ENXIO:
        case ENODEV:
            return ERROR_FILE_NOT_FOUND;
        // Held by another: flock's EWOULDBLOCK, an exclusive tty's EBUSY.
        case EACCES:
        case EPERM:
        case EBUSY:
        case EWOULDBLOCK:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM:
        case ENOBUFS:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        // The device does not know the request, as a Windows driver answering
        // STATUS_INVALID_DEVICE_REQUEST ("Incorrect function").
        case ENOTTY:
            return ERROR_INVALID_FUNCTION;
        case EOPNOTSUPP:
            return ERROR_NOT_SUPPORTED;
        case EIO:
        case ENOLINK:
            return ERROR_DEVICE_NOT_CONNECTED;
        case ETIMEDOUT:
            return ERROR_TIMEOUT;
        case ECANCELED:
            return ERROR_OPERATION_ABORTED;
        default:
            return ERROR_GEN_FAILURE;
    }
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
