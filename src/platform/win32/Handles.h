// The objects behind HANDLEs, the handle registry, and the last error.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/win32/Win32.h"

namespace win32 {

class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;
    // Runs once, when the handle is closed; other threads may still hold the object.
    virtual void OnClose() {}
};

// An object that WaitForSingleObject can wait on.
class Waitable : public Object {
public:
    // WAIT_OBJECT_0 or WAIT_TIMEOUT.
    DWORD Wait(DWORD dwMilliseconds);
    void Signal();
    void Reset();
    // Resets so far. An operation that completed while the count was n signals the event
    // later, outside its port's lock; a reset since then is newer and wins.
    std::uint64_t Resets();
    void SignalUnlessResetSince(std::uint64_t nResets);

protected:
    Waitable(bool bAutoReset, bool bSignalled) : m_bAutoReset(bAutoReset), m_bSignalled(bSignalled) {}
    std::mutex m_mutex;

private:
    std::condition_variable m_cv;
    const bool m_bAutoReset;
    bool m_bSignalled;
    std::uint64_t m_nResets = 0;
};

class Event final : public Waitable {
public:
    Event(bool bManualReset, bool bInitialState) : Waitable(!bManualReset, bInitialState) {}
};

// Returns the new handle, or null with the last error set.
HANDLE RegisterObject(std::shared_ptr<Object> object);
// Removes the handle; null if it names no live object.
std::shared_ptr<Object> UnregisterObject(HANDLE handle);
// The live object of that type, or null. Leaves the last error alone.
std::shared_ptr<Object> FindObject(HANDLE handle);

// The live object of that type, or null with ERROR_INVALID_HANDLE.
template <class T>
std::shared_ptr<T> Lookup(HANDLE handle) {
    auto object = std::dynamic_pointer_cast<T>(FindObject(handle));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// The Windows error for a failed system call: the one table of errno values.
DWORD ErrorFromErrno(int err);

// Record the error and return FALSE, for `return Fail(...)`.
BOOL Fail(DWORD dwError);
BOOL FailErrno(int err);

}  // namespace win32
