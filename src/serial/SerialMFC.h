// CSerialMFC names the window that receives the notifications as a framework
// window object.
#pragma once

#include "platform/afx/Afx.h"
#include "serial/SerialWnd.h"

class CSerialMFC : public CSerialWnd {
public:
    using CSerialWnd::OpenForWindow;
    // The window's handle is taken at open; no object means no window.
    virtual LONG OpenForWindow(LPCSTR lpszDevice, CWnd* pWnd, UINT nComMsg = 0, LPARAM lParam = 0,
                               DWORD dwInQueue = 0, DWORD dwOutQueue = 0);
};
