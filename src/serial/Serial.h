// CSerial owns one serial device: open, line format, flow control, read
// time-outs, event mask, event waits, reads and writes with an optional
// time-out, purge and modem lines. It never throws: every operation returns
// 0 or a Win32 error code (or E_INVALIDARG) and keeps it as the last error.
//
// Threads. One thread owns the object: it opens, closes, configures, reads,
// writes and purges. The only other thread allowed is CSerialEx's listener,
// which calls only WaitForEvent (with its own OVERLAPPED and event) and
// TakeEvents. The owner may call SetEventMask while the listener waits: that
// wakes the wait with an empty event word. The last error is advisory when
// both threads run; the pending-event word is read only after its wait completed.
//
// A held line. A write that outlives its time-out is not taken back: it stays queued, and until
// the device has taken it the port counts as held up, so that every later write fails at once
// with ERROR_TIMEOUT instead of waiting out a time-out of its own.
#pragma once

#include <atomic>
#include <vector>

#include "platform/win32/Win32.h"

class CSerial {
public:
    enum EProbe { ProbeOk = 0, ProbeAbsent = 1, ProbeBusy = 2, ProbeFailed = -1 };
    enum EFlowControl { FlowNone = 0, FlowHardware = 1, FlowSoftware = 2 };
    enum EReadMode { ReadReturnAtOnce = 0, ReadWaitForAll = 1 };

    CSerial() = default;
    virtual ~CSerial();
    CSerial(const CSerial&) = delete;
    CSerial& operator=(const CSerial&) = delete;

    static EProbe ProbePort(LPCSTR lpszDevice);

    // Virtual slots 1 to 18, in this order.
    virtual LONG OpenPort(LPCSTR lpszDevice, DWORD dwInQueue = 0, DWORD dwOutQueue = 0, bool bOverlapped = false);
    virtual LONG ClosePort();
    virtual LONG ConfigureLine(DWORD dwSpeed, BYTE byDataBits, BYTE byParity, BYTE byStopBits);
    virtual LONG SetEventCharacter(BYTE byEventChar, bool bAdjustMask = true);
    virtual LONG SetEventMask(DWORD dwMask);
    virtual LONG WaitForEvent(LPOVERLAPPED lpOverlapped = nullptr, DWORD dwTimeout = INFINITE);
    virtual LONG ConfigureFlowControl(EFlowControl eFlow);
    virtual LONG ConfigureReadMode(EReadMode eReadMode);
    virtual LONG QuerySpeed();
    virtual LONG QueryDataBits();
    virtual LONG QueryParity();
    virtual LONG QueryStopBits();
    virtual LONG QueryFlowControl();
    virtual DWORD QueryEventMask();
    virtual BYTE QueryEventCharacter();
    virtual LONG WriteText(LPCSTR lpszText, DWORD* pdwWritten = nullptr, LPOVERLAPPED lpOverlapped = nullptr,
                           DWORD dwTimeout = INFINITE);
    virtual LONG WriteData(const void* pData, DWORD dwLen, DWORD* pdwWritten = nullptr,
                           LPOVERLAPPED lpOverlapped = nullptr, DWORD dwTimeout = INFINITE);
    virtual LONG ReadData(void* pData, DWORD dwLen, DWORD* pdwRead = nullptr, LPOVERLAPPED lpOverlapped = nullptr,
                          DWORD dwTimeout = INFINITE);

    LONG PurgeBuffers();
    DWORD TakeEvents();
    bool IsCtsOn();
    bool IsDsrOn();
    bool IsRlsdOn();

    LONG GetLastError() const { return m_nLastError; }
    bool IsOpen() const { return m_hPort != nullptr; }
    // The owner may hand the device to the platform directly (the transmit purge).
    HANDLE GetCommHandle() const { return m_hPort; }

protected:
    LONG SetResult(LONG nCode) {
        m_nLastError = nCode;
        return nCode;
    }

    std::atomic<LONG> m_nLastError{0};
    HANDLE m_hPort = nullptr;
    // Filled by the platform when an event wait completes, possibly on another thread.
    std::atomic<DWORD> m_dwPendingEvents{0};
    std::atomic<DWORD> m_dwMask{0};
    HANDLE m_hIoEvent = nullptr;

private:
    LONG Transfer(bool bWrite, void* pData, DWORD dwLen, DWORD* pdwCount, LPOVERLAPPED lpOverlapped,
                  DWORD dwTimeout);
    LONG AwaitInternal(LPOVERLAPPED lpOverlapped, DWORD* pdwCount, DWORD dwTimeout);
    // Whether a write kept past its time-out is still queued; forgets it once it completed.
    bool IsHeldUp();
    bool ReadState(DCB& dcb);
    template <typename Field>
    LONG QueryState(Field field);
    LONG WriteState(DCB& dcb);
    bool ModemLineOn(DWORD dwLine);

    // The port's own writes, which may stay queued after the call: their state and bytes live here.
    OVERLAPPED m_ovWrite{};
    HANDLE m_hWriteEvent = nullptr;
    std::vector<BYTE> m_writeBytes;
    bool m_bHeldUp = false;
};
