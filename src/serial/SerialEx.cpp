#include "serial/SerialEx.h"

// Also closes an open port without a listener, so that its listen event is not left behind.
CSerialEx::~CSerialEx() {
    if (m_hListenThread || m_hListenEvent) CSerialEx::ClosePort();
}

LONG CSerialEx::OpenPort(LPCSTR lpszDevice, DWORD dwInQueue, DWORD dwOutQueue, bool bStartListener) {
    const LONG nResult = CSerial::OpenPort(lpszDevice, dwInQueue, dwOutQueue, true);
    if (nResult != ERROR_SUCCESS) return nResult;

    m_hListenEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_hListenEvent) {
        const LONG nError = static_cast<LONG>(::GetLastError());
        CSerial::ClosePort();
        return SetResult(nError);
    }

    if (bStartListener) {
        const LONG nStart = StartListening();
        if (nStart != ERROR_SUCCESS) return nStart;
    }
    return ERROR_SUCCESS;
}

LONG CSerialEx::ClosePort() {
    StopListening(INFINITE);
    if (m_hListenEvent) {
        ::CloseHandle(m_hListenEvent);
        m_hListenEvent = nullptr;
    }
    return CSerial::ClosePort();
}

LONG CSerialEx::StartListening() {
    m_nLastError = ERROR_SUCCESS;
    if (m_hListenThread) return ERROR_SUCCESS;
    m_hListenThread = ::CreateThread(nullptr, 0, &CSerialEx::ThreadProc, this, 0, nullptr);
    if (!m_hListenThread) return SetResult(static_cast<LONG>(::GetLastError()));
    return ERROR_SUCCESS;
}

LONG CSerialEx::StopListening(DWORD dwTimeout) {
    m_nLastError = ERROR_SUCCESS;
    if (!m_hListenThread) return ERROR_SUCCESS;

    m_bStop = true;
    // Re-applying the mask completes the listener's pending wait with an empty word.
    SetEventMask(QueryEventMask());
    if (::WaitForSingleObject(m_hListenThread, dwTimeout) != WAIT_OBJECT_0) return SetResult(ERROR_SUCCESS);

    m_bStop = false;
    ::CloseHandle(m_hListenThread);
    m_hListenThread = nullptr;
    return SetResult(ERROR_SUCCESS);
}

DWORD CSerialEx::ThreadProc(LPVOID lpArg) { return static_cast<CSerialEx*>(lpArg)->ListenLoop(); }

DWORD CSerialEx::ListenLoop() {
    for (;;) {
        ::ResetEvent(m_hListenEvent);
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_hListenEvent;
        if (WaitForEvent(&overlapped, INFINITE) != ERROR_SUCCESS) return static_cast<DWORD>(m_nLastError.load());

        // A stop whose mask change came before this wait started cannot wake
        // it: look once more, and take the wait back before leaving, since it
        // refers to this frame.
        if (m_bStop) {
            ::CancelIo(m_hPort);
            return ERROR_SUCCESS;
        }

        if (::WaitForSingleObject(m_hListenEvent, INFINITE) != WAIT_OBJECT_0) {
            m_nLastError = static_cast<LONG>(::GetLastError());
            return static_cast<DWORD>(m_nLastError.load());
        }
        if (m_bStop) return ERROR_SUCCESS;

        const DWORD dwEvents = TakeEvents();
        DWORD dwErrors = 0;
        if (!::ClearCommError(m_hPort, &dwErrors, nullptr)) {
            m_nLastError = static_cast<LONG>(::GetLastError());
            dwErrors = 0;
        }
        if (dwEvents) OnSerialEvent(dwEvents, dwErrors);
        if (m_bStop) return ERROR_SUCCESS;
    }
}
