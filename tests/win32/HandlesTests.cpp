// Events, threads, waits and the last error.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/win32/Handles.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr DWORD kPatienceMs = 5000;

HANDLE NewEvent(BOOL bManualReset, BOOL bInitialState = FALSE) {
    HANDLE hEvent = CreateEventA(nullptr, bManualReset, bInitialState, nullptr);
    EXPECT_NE(hEvent, nullptr);
    return hEvent;
}

TEST(Events, ManualResetStaysSignalledUntilReset) {
    HANDLE hEvent = NewEvent(TRUE);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(hEvent));
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(hEvent));
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(hEvent));

    HANDLE hInitiallySet = NewEvent(TRUE, TRUE);
    EXPECT_EQ(WaitForSingleObject(hInitiallySet, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(hInitiallySet));
}

TEST(Events, AutoResetReleasesOneWaitPerSignal) {
    HANDLE hEvent = NewEvent(FALSE);
    ASSERT_TRUE(SetEvent(hEvent));
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(hEvent, 0), WAIT_TIMEOUT);

    std::atomic<int> woken{0};
    auto waiter = [&] {
        if (WaitForSingleObject(hEvent, kPatienceMs) == WAIT_OBJECT_0) ++woken;
    };
    std::thread first(waiter);
    std::thread second(waiter);
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(SetEvent(hEvent));
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (woken.load() == 0 && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(woken.load(), 1);
    ASSERT_TRUE(SetEvent(hEvent));
    first.join();
    second.join();
    EXPECT_EQ(woken.load(), 2);
    EXPECT_TRUE(CloseHandle(hEvent));
}

TEST(Events, SignalFromAnotherThreadEndsAnInfiniteWait) {
    HANDLE hEvent = NewEvent(TRUE);
    std::thread signaller([hEvent] {
        std::this_thread::sleep_for(50ms);
        SetEvent(hEvent);
    });
    EXPECT_EQ(WaitForSingleObject(hEvent, INFINITE), WAIT_OBJECT_0);
    signaller.join();
    EXPECT_TRUE(CloseHandle(hEvent));
}

TEST(Events, TimedWaitLastsItsTimeOut) {
    HANDLE hEvent = NewEvent(TRUE);
    const auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(hEvent, 100), WAIT_TIMEOUT);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 100ms);
    EXPECT_LT(elapsed, 5s);
    EXPECT_TRUE(CloseHandle(hEvent));
}

// A port signals a completion's event after letting go of its lock: a reset made after the
// completion, by a new operation on the same event, must not be undone by that late signal.
TEST(Events, ALateSignalOfACompletionLosesToALaterReset) {
    win32::Event event(true, false);
    const std::uint64_t nAtCompletion = event.Resets();
    event.Reset();
    event.SignalUnlessResetSince(nAtCompletion);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);

    event.SignalUnlessResetSince(event.Resets());
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
}

// A driver that does its waiting on a condition of its own: it ends a drive when interrupted,
// when its time is up, or by signalling the event itself when told to.
class TestDriver final : public win32::WaitDriver {
public:
    explicit TestDriver(win32::Event& event, bool bRefuse = false) : m_event(event), m_bRefuse(bRefuse) {}

    bool Drive(std::optional<Clock::time_point> until) override {
        if (m_bRefuse) return false;
        std::unique_lock lock(m_mutex);
        ++m_nDrives;
        m_changed.notify_all();
        auto done = [this] { return m_bInterrupted || m_bSignalInside; };
        if (until) {
            m_changed.wait_until(lock, *until, done);
        } else {
            m_changed.wait(lock, done);
        }
        m_bInterrupted = false;
        if (std::exchange(m_bSignalInside, false)) {
            lock.unlock();
            m_event.Signal();
        }
        return true;
    }
    void Interrupt() override {
        std::lock_guard lock(m_mutex);
        m_bInterrupted = true;
        ++m_nInterrupts;
        m_changed.notify_all();
    }
    // Until a thread drives, then: makes that drive signal the event from inside.
    void SignalFromInside() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_nDrives > 0; });
        m_bSignalInside = true;
        m_changed.notify_all();
    }
    void AwaitDrive() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_nDrives > 0; });
    }
    int Drives() {
        std::lock_guard lock(m_mutex);
        return m_nDrives;
    }
    int Interrupts() {
        std::lock_guard lock(m_mutex);
        return m_nInterrupts;
    }

private:
    win32::Event& m_event;
    const bool m_bRefuse;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_nDrives = 0;
    int m_nInterrupts = 0;
    bool m_bInterrupted = false;
    bool m_bSignalInside = false;
};

TEST(DrivenEvents, AWaiterDrivesUntilTheSignalFromInsideOrOutside) {
    win32::Event event(false, false);
    auto driver = std::make_shared<TestDriver>(event);
    event.SetDriver(driver);

    // Signalled by the drive itself: nobody needs interrupting.
    std::thread inside([&] { driver->SignalFromInside(); });
    EXPECT_EQ(event.Wait(kPatienceMs), WAIT_OBJECT_0);
    inside.join();
    EXPECT_EQ(driver->Interrupts(), 0);

    // Signalled by another thread: the drive is interrupted and the wait ends.
    std::thread outside([&] {
        driver->AwaitDrive();
        while (driver->Drives() < 2) std::this_thread::sleep_for(1ms);
        event.Signal();
    });
    EXPECT_EQ(event.Wait(INFINITE), WAIT_OBJECT_0);
    outside.join();
    EXPECT_EQ(driver->Interrupts(), 1);

    // A timed wait ends at its time, driving all along.
    const auto start = Clock::now();
    EXPECT_EQ(event.Wait(100), WAIT_TIMEOUT);
    EXPECT_GE(Clock::now() - start, 100ms);
    EXPECT_EQ(driver->Drives(), 3);
}

TEST(DrivenEvents, AGoneOrRefusingDriverLeavesTheWaitToTheSignal) {
    win32::Event event(true, false);
    {
        auto gone = std::make_shared<TestDriver>(event);
        event.SetDriver(gone);
    }
    auto refusing = std::make_shared<TestDriver>(event, true);
    for (const auto& driver : {std::shared_ptr<TestDriver>(), refusing}) {
        if (driver) event.SetDriver(driver);
        event.Reset();
        std::thread signaller([&] {
            std::this_thread::sleep_for(50ms);
            event.Signal();
        });
        EXPECT_EQ(event.Wait(kPatienceMs), WAIT_OBJECT_0);
        signaller.join();
    }

    // Taking the driver away interrupts the drive in progress.
    auto driver = std::make_shared<TestDriver>(event);
    event.Reset();
    event.SetDriver(driver);
    std::thread detacher([&] {
        driver->AwaitDrive();
        event.SetDriver({});
        std::this_thread::sleep_for(50ms);
        event.Signal();
    });
    EXPECT_EQ(event.Wait(kPatienceMs), WAIT_OBJECT_0);
    detacher.join();
    EXPECT_EQ(driver->Drives(), 1);
    EXPECT_EQ(driver->Interrupts(), 1);
}

TEST(Handles, StaleForeignAndWrongKindHandlesAreInvalid) {
    HANDLE hEvent = NewEvent(TRUE);
    ASSERT_TRUE(CloseHandle(hEvent));

    int notAnObject = 0;
    for (HANDLE hBad :
         {hEvent, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, static_cast<HANDLE>(&notAnObject)}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(SetEvent(hBad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(WaitForSingleObject(hBad, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(CloseHandle(hBad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }

    HANDLE hLive = NewEvent(TRUE);
    DWORD dwExitCode = 0;
    EXPECT_FALSE(GetExitCodeThread(hLive, &dwExitCode));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DCB dcb{};
    EXPECT_FALSE(GetCommState(hLive, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(hLive));
}

TEST(LastError, BelongsToEachThread) {
    SetLastError(42);
    DWORD dwSeenByOther = 0;
    std::thread other([&] {
        SetLastError(7);
        SetEvent(nullptr);
        dwSeenByOther = GetLastError();
    });
    other.join();
    EXPECT_EQ(dwSeenByOther, ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetLastError(), 42u);
}

struct Gate {
    HANDLE hGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD dwResult = 0;
    ~Gate() {
        CloseHandle(hGo);
        CloseHandle(hDone);
    }
};

DWORD GatedRoutine(LPVOID lpParam) {
    // Nothing of the gate is touched once it is told we are done: its owner may be gone.
    const auto* gate = static_cast<const Gate*>(lpParam);
    const DWORD dwResult = gate->dwResult;
    WaitForSingleObject(gate->hGo, INFINITE);
    SetEvent(gate->hDone);
    return dwResult;
}

TEST(Threads, HandleIsSignalledWithTheRoutinesResult) {
    Gate gate;
    gate.dwResult = 1234;
    DWORD dwFirstId = 0;
    HANDLE hThread = CreateThread(nullptr, 0, GatedRoutine, &gate, 0, &dwFirstId);
    ASSERT_NE(hThread, nullptr);

    DWORD dwExitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(hThread, &dwExitCode));
    EXPECT_EQ(dwExitCode, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(hThread, 50), WAIT_TIMEOUT);

    ASSERT_TRUE(SetEvent(gate.hGo));
    ASSERT_EQ(WaitForSingleObject(hThread, kPatienceMs), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(hThread, &dwExitCode));
    EXPECT_EQ(dwExitCode, 1234u);
    EXPECT_EQ(WaitForSingleObject(hThread, 0), WAIT_OBJECT_0) << "a finished thread stays signalled";
    EXPECT_TRUE(CloseHandle(hThread));

    DWORD dwSecondId = 0;
    HANDLE hSecond = CreateThread(nullptr, 0, GatedRoutine, &gate, 0, &dwSecondId);
    ASSERT_NE(hSecond, nullptr);
    EXPECT_NE(dwFirstId, 0u);
    EXPECT_NE(dwFirstId, dwSecondId);
    EXPECT_EQ(WaitForSingleObject(hSecond, kPatienceMs), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(hSecond));
}

TEST(Threads, ClosingARunningThreadsHandleLetsItRunOn) {
    Gate gate;
    HANDLE hThread = CreateThread(nullptr, 0, GatedRoutine, &gate, 0, nullptr);
    ASSERT_NE(hThread, nullptr);
    ASSERT_TRUE(CloseHandle(hThread));
    DWORD dwExitCode = 0;
    EXPECT_FALSE(GetExitCodeThread(hThread, &dwExitCode));

    ASSERT_TRUE(SetEvent(gate.hGo));
    EXPECT_EQ(WaitForSingleObject(gate.hDone, kPatienceMs), WAIT_OBJECT_0);
}

TEST(Sleep, WaitsAtLeastTheTimeGiven) {
    const auto start = Clock::now();
    Sleep(30);
    EXPECT_GE(Clock::now() - start, 30ms);
}

}  // namespace
