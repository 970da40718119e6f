#include "serial/Serial.h"

#include <new>
#include <utility>

static_assert(sizeof(std::atomic<DWORD>) == sizeof(DWORD) && std::atomic<DWORD>::is_always_lock_free,
              "the platform fills the pending-event word through a plain DWORD pointer");

CSerial::~CSerial() {
    if (m_hPort) CSerial::ClosePort();
}

// Opened without access rights: listing the ports leaves each as it was, unlocked and unconfigured.
CSerial::EProbe CSerial::ProbePort(LPCSTR lpszDevice) {
    HANDLE h = ::CreateFileA(lpszDevice, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return ProbeOk;
    }
    switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
            return ProbeAbsent;
        case ERROR_ACCESS_DENIED:
            return ProbeBusy;
        default:
            return ProbeFailed;
    }
}

LONG CSerial::OpenPort(LPCSTR lpszDevice, DWORD dwInQueue, DWORD dwOutQueue, bool bOverlapped) {
    m_nLastError = ERROR_SUCCESS;
    if (m_hPort) return SetResult(ERROR_ALREADY_INITIALIZED);

    HANDLE h = ::CreateFileA(lpszDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             bOverlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return SetResult(static_cast<LONG>(::GetLastError()));
    m_hPort = h;

    if (bOverlapped) {
        m_hIoEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (m_hIoEvent) m_hWriteEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!m_hWriteEvent) {
            const LONG nError = static_cast<LONG>(::GetLastError());
            ClosePort();
            return SetResult(nError);
        }
    }

    if (dwInQueue || dwOutQueue) {
        if (!::SetupComm(m_hPort, dwInQueue, dwOutQueue)) {
            const LONG nError = static_cast<LONG>(::GetLastError());
            ClosePort();
            return SetResult(nError);
        }
    }

    SetEventMask(EV_RXCHAR | EV_ERR | EV_BREAK);
    ConfigureReadMode(ReadReturnAtOnce);

    COMMCONFIG config{};
    config.dwSize = sizeof(config);
    DWORD dwSize = sizeof(config);
    if (::GetDefaultCommConfigA(lpszDevice, &config, &dwSize)) ::SetCommConfig(m_hPort, &config, dwSize);

    return m_nLastError;
}

LONG CSerial::ClosePort() {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) return ERROR_SUCCESS;
    // Also aborts a write still queued, which signals its event: the events go after the port.
    ::CloseHandle(m_hPort);
    m_hPort = nullptr;
    m_bHeldUp = false;
    for (HANDLE* phEvent : {&m_hIoEvent, &m_hWriteEvent}) {
        if (*phEvent) ::CloseHandle(std::exchange(*phEvent, nullptr));
    }
    return ERROR_SUCCESS;
}

bool CSerial::ReadState(DCB& dcb) {
    dcb = DCB{};
    dcb.DCBlength = sizeof(DCB);
    if (!m_hPort) {
        SetResult(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!::GetCommState(m_hPort, &dcb)) {
        SetResult(static_cast<LONG>(::GetLastError()));
        return false;
    }
    return true;
}

LONG CSerial::WriteState(DCB& dcb) {
    if (!::SetCommState(m_hPort, &dcb)) return SetResult(static_cast<LONG>(::GetLastError()));
    return m_nLastError;
}

LONG CSerial::ConfigureLine(DWORD dwSpeed, BYTE byDataBits, BYTE byParity, BYTE byStopBits) {
    m_nLastError = ERROR_SUCCESS;
    DCB dcb;
    if (!ReadState(dcb)) return m_nLastError;
    dcb.BaudRate = dwSpeed;
    dcb.ByteSize = byDataBits;
    dcb.Parity = byParity;
    dcb.StopBits = byStopBits;
    dcb.fParity = byParity != NOPARITY;
    return WriteState(dcb);
}

LONG CSerial::SetEventCharacter(BYTE byEventChar, bool bAdjustMask) {
    m_nLastError = ERROR_SUCCESS;
    DCB dcb;
    if (!ReadState(dcb)) return m_nLastError;
    dcb.EvtChar = static_cast<char>(byEventChar);
    if (bAdjustMask) SetEventMask(QueryEventMask() | EV_RXFLAG);
    return WriteState(dcb);
}

LONG CSerial::SetEventMask(DWORD dwMask) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) return SetResult(ERROR_INVALID_HANDLE);
    if (!::SetCommMask(m_hPort, dwMask)) return SetResult(static_cast<LONG>(::GetLastError()));
    m_dwMask = dwMask;
    return ERROR_SUCCESS;
}

LONG CSerial::AwaitInternal(LPOVERLAPPED lpOverlapped, DWORD* pdwCount, DWORD dwTimeout) {
    switch (::WaitForSingleObject(lpOverlapped->hEvent, dwTimeout)) {
        case WAIT_OBJECT_0:
            if (pdwCount && !::GetOverlappedResult(m_hPort, lpOverlapped, pdwCount, FALSE))
                return static_cast<LONG>(::GetLastError());
            return ERROR_SUCCESS;
        case WAIT_TIMEOUT:
            if (pdwCount) *pdwCount = 0;
            // A write is not taken back: the device may hold part of it already, and the rest
            // would follow it as a cut frame. It stays queued, and holds the line up meanwhile.
            if (lpOverlapped == &m_ovWrite)
                m_bHeldUp = true;
            else
                ::CancelIo(m_hPort);
            return ERROR_TIMEOUT;
        default:
            return static_cast<LONG>(::GetLastError());
    }
}

LONG CSerial::WaitForEvent(LPOVERLAPPED lpOverlapped, DWORD dwTimeout) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) return SetResult(ERROR_INVALID_HANDLE);

    OVERLAPPED ovInternal{};
    if (!m_hIoEvent) {
        if (lpOverlapped || dwTimeout != INFINITE) return SetResult(ERROR_INVALID_FUNCTION);
    } else if (!lpOverlapped) {
        ovInternal.hEvent = m_hIoEvent;
        lpOverlapped = &ovInternal;
    }

    auto* pdwEvents = reinterpret_cast<DWORD*>(&m_dwPendingEvents);
    if (::WaitCommEvent(m_hPort, pdwEvents, lpOverlapped)) {
        if (lpOverlapped) ::SetEvent(lpOverlapped->hEvent);
        return ERROR_SUCCESS;
    }
    const DWORD dwError = ::GetLastError();
    if (dwError != ERROR_IO_PENDING) return SetResult(static_cast<LONG>(dwError));
    if (lpOverlapped != &ovInternal) return ERROR_SUCCESS;
    return SetResult(AwaitInternal(lpOverlapped, nullptr, dwTimeout));
}

namespace {

// The flags each flow-control kind sets; the table's index is the kind.
struct FlowFlags {
    bool bOutputFlow;     // CTS and DSR output flow
    DWORD dwLineControl;  // DTR and RTS control
    bool bXonXoff;        // XON/XOFF both ways
};

constexpr FlowFlags kFlowFlags[] = {
    {false, DTR_CONTROL_DISABLE, false},   // FlowNone
    {true, DTR_CONTROL_HANDSHAKE, false},  // FlowHardware
    {false, DTR_CONTROL_DISABLE, true},    // FlowSoftware
};
static_assert(DTR_CONTROL_DISABLE == RTS_CONTROL_DISABLE && DTR_CONTROL_HANDSHAKE == RTS_CONTROL_HANDSHAKE);

}  // namespace

LONG CSerial::ConfigureFlowControl(EFlowControl eFlow) {
    m_nLastError = ERROR_SUCCESS;
    DCB dcb;
    if (!ReadState(dcb)) return m_nLastError;
    if (eFlow < FlowNone || eFlow > FlowSoftware) return SetResult(E_INVALIDARG);
    const FlowFlags& flags = kFlowFlags[eFlow];
    dcb.fOutxCtsFlow = flags.bOutputFlow;
    dcb.fOutxDsrFlow = flags.bOutputFlow;
    dcb.fDtrControl = flags.dwLineControl;
    dcb.fRtsControl = flags.dwLineControl;
    dcb.fOutX = flags.bXonXoff;
    dcb.fInX = flags.bXonXoff;
    if (eFlow == FlowSoftware) {
        dcb.fNull = FALSE;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
    }
    return WriteState(dcb);
}

LONG CSerial::ConfigureReadMode(EReadMode eReadMode) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) return SetResult(ERROR_INVALID_HANDLE);
    COMMTIMEOUTS timeouts{};
    if (!::GetCommTimeouts(m_hPort, &timeouts)) return SetResult(static_cast<LONG>(::GetLastError()));
    switch (eReadMode) {
        case ReadReturnAtOnce:
            timeouts.ReadIntervalTimeout = MAXDWORD;
            break;
        case ReadWaitForAll:
            timeouts.ReadIntervalTimeout = 0;
            break;
        default:
            return SetResult(E_INVALIDARG);
    }
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    if (!::SetCommTimeouts(m_hPort, &timeouts)) return SetResult(static_cast<LONG>(::GetLastError()));
    return ERROR_SUCCESS;
}

template <typename Field>
LONG CSerial::QueryState(Field field) {
    m_nLastError = ERROR_SUCCESS;
    DCB dcb;
    return ReadState(dcb) ? field(dcb) : -1;
}

LONG CSerial::QuerySpeed() {
    return QueryState([](const DCB& dcb) { return static_cast<LONG>(dcb.BaudRate); });
}

LONG CSerial::QueryDataBits() {
    return QueryState([](const DCB& dcb) { return static_cast<LONG>(dcb.ByteSize); });
}

LONG CSerial::QueryParity() {
    return QueryState([](const DCB& dcb) { return static_cast<LONG>(dcb.fParity ? dcb.Parity : NOPARITY); });
}

LONG CSerial::QueryStopBits() {
    return QueryState([](const DCB& dcb) { return static_cast<LONG>(dcb.StopBits); });
}

// The CTS and DSR output-flow flags are not looked at.
LONG CSerial::QueryFlowControl() {
    return QueryState([](const DCB& dcb) -> LONG {
        if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
            return FlowHardware;
        if (dcb.fOutX && dcb.fInX) return FlowSoftware;
        return FlowNone;
    });
}

DWORD CSerial::QueryEventMask() {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) {
        SetResult(ERROR_INVALID_HANDLE);
        return 0;
    }
    return m_dwMask;
}

BYTE CSerial::QueryEventCharacter() {
    m_nLastError = ERROR_SUCCESS;
    DCB dcb;
    return ReadState(dcb) ? static_cast<BYTE>(dcb.EvtChar) : 0;
}

LONG CSerial::Transfer(bool bWrite, void* pData, DWORD dwLen, DWORD* pdwCount, LPOVERLAPPED lpOverlapped,
                       DWORD dwTimeout) {
    m_nLastError = ERROR_SUCCESS;
    DWORD dwCount = 0;
    if (!pdwCount) pdwCount = &dwCount;
    *pdwCount = 0;
    if (!m_hPort) return SetResult(ERROR_INVALID_HANDLE);

    OVERLAPPED ovInternal{};
    if (!m_hIoEvent) {
        if (lpOverlapped || dwTimeout != INFINITE) return SetResult(ERROR_INVALID_FUNCTION);
    } else if (!lpOverlapped && bWrite) {
        try {
            const BYTE* pBytes = static_cast<const BYTE*>(pData);
            m_writeBytes.assign(pBytes, pBytes + dwLen);
        } catch (const std::bad_alloc&) {
            return SetResult(ERROR_NOT_ENOUGH_MEMORY);
        }
        pData = m_writeBytes.data();
        m_ovWrite = OVERLAPPED{};
        m_ovWrite.hEvent = m_hWriteEvent;
        lpOverlapped = &m_ovWrite;
    } else if (!lpOverlapped) {
        ovInternal.hEvent = m_hIoEvent;
        lpOverlapped = &ovInternal;
    }

    const BOOL bDone = bWrite ? ::WriteFile(m_hPort, pData, dwLen, pdwCount, lpOverlapped)
                              : ::ReadFile(m_hPort, pData, dwLen, pdwCount, lpOverlapped);
    if (bDone) {
        if (lpOverlapped) ::SetEvent(lpOverlapped->hEvent);
        return ERROR_SUCCESS;
    }
    const DWORD dwError = ::GetLastError();
    if (dwError != ERROR_IO_PENDING) return SetResult(static_cast<LONG>(dwError));
    if (lpOverlapped != &ovInternal && lpOverlapped != &m_ovWrite) return ERROR_SUCCESS;
    return SetResult(AwaitInternal(lpOverlapped, pdwCount, dwTimeout));
}

bool CSerial::IsHeldUp() {
    if (!m_bHeldUp) return false;
    DWORD dwWritten = 0;
    m_bHeldUp = !::GetOverlappedResult(m_hPort, &m_ovWrite, &dwWritten, FALSE) &&
                ::GetLastError() == ERROR_IO_INCOMPLETE;
    return m_bHeldUp;
}

LONG CSerial::WriteText(LPCSTR lpszText, DWORD* pdwWritten, LPOVERLAPPED lpOverlapped, DWORD dwTimeout) {
    DWORD dwLen = 0;
    while (lpszText && lpszText[dwLen]) ++dwLen;
    return WriteData(lpszText, dwLen, pdwWritten, lpOverlapped, dwTimeout);
}

LONG CSerial::WriteData(const void* pData, DWORD dwLen, DWORD* pdwWritten, LPOVERLAPPED lpOverlapped,
                        DWORD dwTimeout) {
    if (IsHeldUp()) {
        if (pdwWritten) *pdwWritten = 0;
        return SetResult(ERROR_TIMEOUT);
    }
    return Transfer(true, const_cast<void*>(pData), dwLen, pdwWritten, lpOverlapped, dwTimeout);
}

LONG CSerial::ReadData(void* pData, DWORD dwLen, DWORD* pdwRead, LPOVERLAPPED lpOverlapped, DWORD dwTimeout) {
    return Transfer(false, pData, dwLen, pdwRead, lpOverlapped, dwTimeout);
}

LONG CSerial::PurgeBuffers() {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hPort) return SetResult(ERROR_INVALID_HANDLE);
    if (!::PurgeComm(m_hPort, PURGE_TXCLEAR | PURGE_RXCLEAR))
        return SetResult(static_cast<LONG>(::GetLastError()));
    return ERROR_SUCCESS;
}

DWORD CSerial::TakeEvents() {
    return m_dwPendingEvents.exchange(0) & m_dwMask;
}

bool CSerial::ModemLineOn(DWORD dwLine) {
    m_nLastError = ERROR_SUCCESS;
    DWORD dwStatus = 0;
    if (!::GetCommModemStatus(m_hPort, &dwStatus)) {
        SetResult(static_cast<LONG>(::GetLastError()));
        return false;
    }
    return (dwStatus & dwLine) != 0;
}

bool CSerial::IsCtsOn() {
    return ModemLineOn(MS_CTS_ON);
}
bool CSerial::IsDsrOn() {
    return ModemLineOn(MS_DSR_ON);
}
bool CSerial::IsRlsdOn() {
    return ModemLineOn(MS_RLSD_ON);
}
