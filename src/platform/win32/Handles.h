// The objects behind HANDLEs, the handle registry, and the last error.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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

// What a thread waiting for an event can run meanwhile to bring the signal about itself, rather
// than sleep until another thread, woken for it, signals: one thread woken instead of two.
class WaitDriver {
public:
    virtual ~WaitDriver() = default;
    // On the waiting thread: waits for what could lead to the signal, until `until`, and handles
    // it; returns after anything happened, signalled or not. False when it cannot drive now.
    virtual bool Drive(std::optional<std::chrono::steady_clock::time_point> until) = 0;
    // From any thread: makes a Drive in progress return soon.
    virtual void Interrupt() = 0;
};

// An object that WaitForSingleObject can wait on.
class Waitable : public Object {
public:
    // WAIT_OBJECT_0 or WAIT_TIMEOUT.
    DWORD Wait(DWORD dwMilliseconds);
    void Signal();
    void Reset();
    // Who can bring the signal about while somebody waits; none by default.
    void SetDriver(std::weak_ptr<WaitDriver> driver);
    // Resets so far. An operation that completed while the count was n signals the event
    // later, outside its port's lock; a reset since then is newer and wins.
    std::uint64_t Resets();
    void SignalUnlessResetSince(std::uint64_t nResets);

protected:
    Waitable(bool bAutoReset, bool bSignalled) : m_bAutoReset(bAutoReset), m_bSignalled(bSignalled) {}
    std::mutex m_mutex;

private:
    // Signals the waiters; the mutex is held on entry and let go.
    void Notify(std::unique_lock<std::mutex>& lock);

    std::condition_variable m_cv;
    const bool m_bAutoReset;
    bool m_bSignalled;
    std::uint64_t m_nResets = 0;
    std::weak_ptr<WaitDriver> m_driver;
    // The driver running, if one is, and on which thread.
    std::shared_ptr<WaitDriver> m_driving;
    std::thread::id m_drivingThread;
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
