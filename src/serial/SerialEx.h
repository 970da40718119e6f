// CSerialEx adds a listener thread that waits for the port's line events and
// hands each non-empty batch to OnSerialEvent, on the listener thread. The
// owner's thread opens, closes, starts and stops; the listener only waits.
// A class that derives further closes the port in its own destructor (or the
// owner closes it first): the listener must have ended before any destructor
// of the chain runs, since it calls virtual operations.
#pragma once

#include "serial/Serial.h"

class CSerialEx : public CSerial {
public:
    CSerialEx() = default;
    ~CSerialEx() override;

    // The port is always opened for overlapped I/O; the fourth argument starts the listener.
    LONG OpenPort(LPCSTR lpszDevice, DWORD dwInQueue = 0, DWORD dwOutQueue = 0, bool bStartListener = false) override;
    LONG ClosePort() override;

    virtual LONG StartListening();
    // A listener that outlives a finite time-out keeps its handle, and the
    // stop request stands, so the next stop or close still waits for it.
    virtual LONG StopListening(DWORD dwTimeout = INFINITE);
    virtual DWORD OnSerialEvent(DWORD dwEvents, DWORD dwErrors) = 0;

    bool IsListening() const { return m_hListenThread != nullptr; }

protected:
    std::atomic<bool> m_bStop{false};
    HANDLE m_hListenThread = nullptr;
    HANDLE m_hListenEvent = nullptr;

private:
    static DWORD ThreadProc(LPVOID lpArg);
    DWORD ListenLoop();
};
