// An open serial device and the I/O thread that plays its driver.
//
// The I/O thread moves received bytes into the receive queue, keeps the event
// history, hands held bytes to the kernel and completes pending operations by
// their time-outs. A thread waiting for a pending line-event wait's event reads
// the device itself meanwhile, and arrival wakes it rather than the I/O thread.
// Callers' threads start operations, complete at once what they can and
// otherwise leave the operation pending. All state is guarded by one mutex;
// the device is read, written and configured only under it.
//
// Costs: the I/O thread wakes when the device has something for it that no
// waiting thread takes, and when a caller changed what it polls for (room in a
// full queue, a blocked write, a sooner time-out), never merely because an
// operation started or a wait began. On a busy line the waiting thread looks at
// the device once a gather interval instead of at every arrival, and the I/O
// thread leaves arrivals to it meanwhile: one wake-up takes several frames.
// Completed operations' events are signalled after the mutex is let go, so the
// woken thread does not find it held. Modem lines are waited for on a thread of
// their own, and only on devices that have them.
//
// OVERLAPPED.Internal holds STATUS_PENDING while an operation is pending and
// its Win32 error code (0 for success) once it has completed.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/KernelWaiter.h"
#include "platform/win32/Line.h"
#include "platform/win32/LockFile.h"

namespace win32 {

// What a port is set to before anyone configures it: 9600 bit/s, 8N1, no flow control.
DCB DefaultDcb();

// How long to leave a transmit queue that still holds dwQueued bytes before looking
// again: the time the line needs to send them; but when nothing went out since the
// last look (dwQueuedBefore, 0 for a first look), which flow control does, twice the
// last wait, up to a tenth of a second.
std::chrono::milliseconds NextDrainCheck(const DCB& dcb, DWORD dwQueued, DWORD dwQueuedBefore,
                                         std::chrono::milliseconds last);

// A device opened to see whether it could be used, as CreateFileA opens it without access
// rights: neither its settings, nor its exclusive mode, nor its locks change, and the handle
// can only be closed.
class DeviceQuery final : public Object {
public:
    // The open device, or null with the Windows error in dwError: ERROR_ACCESS_DENIED also when
    // another program holds it by its flock or its exclusive mode.
    static std::shared_ptr<DeviceQuery> Open(const char* pszPath, DWORD& dwError);

    explicit DeviceQuery(int fd) : m_fd(fd) {}
    ~DeviceQuery() override { OnClose(); }
    void OnClose() override;

private:
    int m_fd;
};

class CommPort final : public Object, public WaitDriver, public std::enable_shared_from_this<CommPort> {
public:
    // The open port, or null with the Windows error in dwError.
    static std::shared_ptr<CommPort> Open(const char* pszPath, bool bOverlapped, DWORD& dwError);

    CommPort(int fd, int wakeFd, bool bOverlapped, const line::Settings& saved);
    ~CommPort() override;
    void OnClose() override;

    BOOL Setup(DWORD dwInQueue);
    BOOL GetState(DCB& dcb);
    BOOL SetState(const DCB& dcb);
    BOOL GetTimeouts(COMMTIMEOUTS& timeouts);
    BOOL SetTimeouts(const COMMTIMEOUTS& timeouts);
    BOOL SetMask(DWORD dwEvtMask);
    BOOL GetMask(DWORD& dwEvtMask);
    BOOL WaitEvent(DWORD* pdwEvtMask, OVERLAPPED* pOverlapped);
    BOOL ClearError(DWORD* pdwErrors, COMSTAT* pStat);
    BOOL GetModemStatus(DWORD& dwModemStat);
    BOOL Purge(DWORD dwFlags);
    BOOL Read(void* pBuffer, DWORD dwBytes, DWORD* pdwRead, OVERLAPPED* pOverlapped);
    BOOL Write(const void* pBuffer, DWORD dwBytes, DWORD* pdwWritten, OVERLAPPED* pOverlapped);
    BOOL GetResult(OVERLAPPED* pOverlapped, DWORD* pdwBytes, BOOL bWait);
    BOOL Cancel();
    // The UUCP lock file, held until the port closes.
    void KeepLock(LockFile lock) { m_lock = std::move(lock); }

    // A thread waiting for a pending wait's event reads the device itself: arrival wakes it
    // alone, not the I/O thread first and then it.
    bool Drive(std::optional<std::chrono::steady_clock::time_point> until) override;
    void Interrupt() override;

private:
    using Clock = std::chrono::steady_clock;
    enum class OpKind { Read, Write, Wait };
    struct Op;
    using OpPtr = std::shared_ptr<Op>;
    // What the I/O thread polls the device for, and until when.
    struct PollPlan {
        short events = 0;
        std::optional<Clock::time_point> until;
    };
    struct PendingSignal {
        std::shared_ptr<Event> event;
        std::uint64_t nResets = 0;
    };
    class Locked;

    // The waits of the I/O thread and of a driving waiter; 0 or an errno.
    int InitPolling();
    void Run();
    // The device as the I/O thread's wait holds it: registered anew when what it polls changes.
    void PollDeviceFor(short events);
    // Sleeps until `end` unless interrupted; true when it slept the whole time.
    bool Gather(Clock::time_point end);
    // After a drive looked at the device: whether the line is still busy.
    void NoteDrive(bool bGathered, bool bReceived);
    // While waiters gather, arrivals stay in the kernel for them; with no wait pending, a caller
    // asking what arrived takes them itself.
    void TakeArrivalsLeftToWaiters();
    void Shutdown();
    void Wake();
    PollPlan Plan() const;
    // Wakes the I/O thread only when it polls for less than it should, or sleeps too long.
    void WakeIfStale();
    // Lets go of the mutex, then signals the events of what completed meanwhile.
    void Unlock(std::unique_lock<std::mutex>& lock);
    DWORD Unusable() const;
    // A started operation, or null when memory ran out.
    OpPtr Begin(OpKind kind, OVERLAPPED* pOverlapped);
    BOOL Finish(std::unique_lock<std::mutex>& lock, const OpPtr& op, DWORD* pdwBytes);
    void Complete(const OpPtr& op, DWORD dwStatus, DWORD dwEvents = 0);
    void AbortAll(std::deque<OpPtr>& ops, DWORD dwStatus);
    void Vanish(DWORD dwError);
    void Raise(DWORD dwEvents);
    // True when it took bytes from the device.
    bool Receive(short revents);
    void Arrived(const BYTE* pBytes, std::size_t nBytes);
    void ServeReads();
    void PumpWrites();
    void ScheduleDrainCheck(DWORD dwQueued, bool bHanded);
    void CheckLineErrors();
    void Expire(Clock::time_point now);
    bool WantsModemLines() const;
    void WatchModemLines();
    // On the modem waiter's thread: waits for a change and raises its events.
    int AwaitModemChange(int fd);

    int m_fd;
    const int m_wakeFd;
    // Both waits hold the device as exclusive: arrival wakes one of them, the driver's first,
    // which is registered first and stays ahead of the I/O thread's re-registrations.
    int m_ioPoll = -1;
    short m_nIoPolled = 0;
    int m_drivePoll = -1;
    int m_driveWakeFd = -1;
    const bool m_bOverlapped;
    const line::Settings m_saved;
    std::thread m_io;

    std::mutex m_mutex;
    std::condition_variable m_completed;
    bool m_bStopping = false;
    bool m_bIoRunning = false;
    bool m_bWakePending = false;
    PollPlan m_polled;
    DWORD m_dwVanished = ERROR_SUCCESS;
    std::array<PendingSignal, 8> m_signals;
    std::size_t m_nSignals = 0;

    std::deque<BYTE> m_rx;
    std::size_t m_nRxLimit = 4096;
    std::deque<OpPtr> m_reads;
    std::deque<OpPtr> m_writes;
    OpPtr m_wait;
    bool m_bWriteBlocked = false;
    bool m_bDraining = false;
    DWORD m_dwDrainQueued = 0;
    std::chrono::milliseconds m_drainDelay{};
    Clock::time_point m_drainCheck;

    // A busy line: waiters gather, and the I/O thread does not poll for arrivals.
    bool m_bGathering = false;
    Clock::time_point m_lastDriveBytes;

    DWORD m_dwMask = 0;
    DWORD m_dwHistory = 0;
    DWORD m_dwErrors = 0;
    // What was set, and how the device's termios read back right after: the device
    // may keep less than was asked (a pty keeps 8 data bits and no parity).
    DCB m_dcb{};
    DCB m_dcbAsApplied{};
    COMMTIMEOUTS m_timeouts{};

    bool m_bHasModemLines = false;
    DWORD m_dwModemStat = 0;
    KernelWaiter m_modemWaiter;
    bool m_bHasErrorCounts = false;
    line::ErrorCounts m_errorCounts;
    LockFile m_lock;
};

}  // namespace win32
