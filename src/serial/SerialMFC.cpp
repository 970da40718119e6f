#include "serial/SerialMFC.h"

LONG CSerialMFC::OpenForWindow(LPCSTR lpszDevice, CWnd* pWnd, UINT nComMsg, LPARAM lParam, DWORD dwInQueue,
                               DWORD dwOutQueue) {
    return CSerialWnd::OpenForWindow(lpszDevice, pWnd ? pWnd->GetSafeHwnd() : nullptr, nComMsg, lParam, dwInQueue,
                                     dwOutQueue);
}
