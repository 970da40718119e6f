// An open serial device and the I/O thread that plays its driver.
//
// The I/O thread owns the device's reading: it moves received bytes into the
// receive queue, keeps the event history, hands held bytes to the kernel and
// completes pending operations by their time-outs. Callers' threads start
// operations, complete at once what they can and otherwise leave the
// operation pending. All state is guarded by one mutex; the device is read,
// written and configured only under it.
//
// OVERLAPPED.Internal holds STATUS_PENDING while an operation is pending and
// its Win32 error code (0 for success) once it has completed.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Line.h"
#include "platform/win32/LockFile.h"

namespace win32 {

// What a port is set to before anyone configures it: 9600 bit/s, 8N1, no flow control.
DCB DefaultDcb();

class CommPort final : public Object {
public:
    // The open port, or null with the Windows error in dwError.
    static std::shared_ptr<CommPort> Open(const char* pszPath, bool bOverlapped, DWORD& dwError);

    CommPort(int fd, int wakeFd, bool bOverlapped);
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

private:
    using Clock = std::chrono::steady_clock;
    enum class OpKind { Read, Write, Wait };
    struct Op;
    using OpPtr = std::shared_ptr<Op>;

    void Run();
    void Shutdown();
    void Wake();
    DWORD Unusable() const;
    // A started operation, or null when memory ran out.
    OpPtr Begin(OpKind kind, OVERLAPPED* pOverlapped);
    BOOL Finish(std::unique_lock<std::mutex>& lock, const OpPtr& op, DWORD* pdwBytes);
    void Complete(const OpPtr& op, DWORD dwStatus, DWORD dwEvents = 0);
    void AbortAll(std::deque<OpPtr>& ops, DWORD dwStatus);
    void Vanish(DWORD dwError);
    void Raise(DWORD dwEvents);
    void Receive(short revents);
    void Arrived(const BYTE* pBytes, std::size_t nBytes);
    void ServeReads();
    void PumpWrites();
    void CheckLineErrors();
    void PollModemLines(Clock::time_point now);
    void Expire(Clock::time_point now);
    int PollTimeout(Clock::time_point now) const;
    bool WantsModemLines() const;

    int m_fd;
    const int m_wakeFd;
    const bool m_bOverlapped;
    std::thread m_io;

    std::mutex m_mutex;
    std::condition_variable m_completed;
    bool m_bStopping = false;
    DWORD m_dwVanished = ERROR_SUCCESS;

    std::deque<BYTE> m_rx;
    std::size_t m_nRxLimit = 4096;
    std::deque<OpPtr> m_reads;
    std::deque<OpPtr> m_writes;
    OpPtr m_wait;
    bool m_bWriteBlocked = false;
    bool m_bDraining = false;

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
    Clock::time_point m_nextModemPoll;
    bool m_bHasErrorCounts = false;
    line::ErrorCounts m_errorCounts;
    LockFile m_lock;
};

}  // namespace win32
