// CSerialWnd posts every batch of line events to a window as one message:
// wParam = events (low word) and line-error flags (high word), lParam = the
// value given at open.
#pragma once

#include "serial/SerialEx.h"

// Registered during static initialisation under "CSerialWnd_DefaultComMsg".
extern const UINT g_uDefaultComMsg;

class CSerialWnd : public CSerialEx {
public:
    CSerialWnd() = default;
    ~CSerialWnd() override;

    LONG ClosePort() override;
    DWORD OnSerialEvent(DWORD dwEvents, DWORD dwErrors) override;
    // Message 0 selects g_uDefaultComMsg.
    virtual LONG OpenForWindow(LPCSTR lpszDevice, HWND hWndDest, UINT nComMsg = 0, LPARAM lParam = 0,
                               DWORD dwInQueue = 0, DWORD dwOutQueue = 0);

protected:
    // The listener reads these while the owner's close clears them.
    std::atomic<HWND> m_hTargetWnd{nullptr};
    std::atomic<UINT> m_uNotifyMsg{0};
    LPARAM m_lNotifyParam = 0;
};
