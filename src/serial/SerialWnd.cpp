#include "serial/SerialWnd.h"

const UINT g_uDefaultComMsg = ::RegisterWindowMessageA("CSerialWnd_DefaultComMsg");

CSerialWnd::~CSerialWnd() {
    if (m_hListenThread) CSerialWnd::ClosePort();
}

LONG CSerialWnd::OpenForWindow(LPCSTR lpszDevice, HWND hWndDest, UINT nComMsg, LPARAM lParam, DWORD dwInQueue,
                               DWORD dwOutQueue) {
    const LONG nResult = CSerialEx::OpenPort(lpszDevice, dwInQueue, dwOutQueue, false);
    if (nResult != ERROR_SUCCESS) return nResult;

    m_hTargetWnd = hWndDest;
    m_uNotifyMsg = nComMsg ? nComMsg : g_uDefaultComMsg;
    m_lNotifyParam = lParam;

    const LONG nStart = StartListening();
    if (nStart != ERROR_SUCCESS) {
        ClosePort();
        return SetResult(nStart);
    }
    return ERROR_SUCCESS;
}

LONG CSerialWnd::ClosePort() {
    m_hTargetWnd = nullptr;
    m_uNotifyMsg = 0;
    return CSerialEx::ClosePort();
}

DWORD CSerialWnd::OnSerialEvent(DWORD dwEvents, DWORD dwErrors) {
    const WPARAM wParam = static_cast<DWORD>(MAKELONG(LOWORD(dwEvents), LOWORD(dwErrors)));
    return static_cast<DWORD>(::PostMessageA(m_hTargetWnd, m_uNotifyMsg, wParam, m_lNotifyParam));
}
