// What the dialog does for each line event of a notification, in table order.
#pragma once

#include <vector>

#include "serial/Serial.h"

namespace quillon {

struct LineEventRow {
    DWORD dwEvent;
    const char* pszTrace;             // one word and a line feed on standard output
    const char* pszConsoleFormat;     // console entry with the line's state, or null
    bool (CSerial::*pfnLineState)();  // the modem line the entry reports, or null
};

inline constexpr LineEventRow kLineEvents[] = {
    {EV_RXCHAR, "recv\n", nullptr, nullptr},
    {EV_RXFLAG, "rcvev\n", nullptr, nullptr},
    {EV_TXEMPTY, "send\n", nullptr, nullptr},
    {EV_CTS, "cts\n", "\r\nCTS change: %d", &CSerial::IsCtsOn},
    {EV_DSR, "dsr\n", "\r\nDSR change: %d", &CSerial::IsDsrOn},
    {EV_RLSD, "rlsd\n", "\r\nRLSD change: %d", &CSerial::IsRlsdOn},
    {EV_BREAK, "break\n", nullptr, nullptr},
    {EV_ERR, "error\n", nullptr, nullptr},
    {EV_RING, "ring\n", nullptr, nullptr},
};

// The console's entry for a line that is gone: the device vanished or hung up.
inline constexpr const char* kLineLostEntry = "\r\nLine lost";

// A batch reports the loss when its line errors (the high word) carry the
// platform's I/O-error flag; it is the listener's last.
inline bool ReportsLineLost(WPARAM wParam) {
    return (HIWORD(static_cast<DWORD>(wParam)) & CE_IOE) != 0;
}

// The rows of every event a batch carries, in table order. A batch of
// several events runs each of them; none is dropped.
inline std::vector<const LineEventRow*> LineEventsOf(WORD wEvents) {
    std::vector<const LineEventRow*> rows;
    for (const auto& row : kLineEvents) {
        if (wEvents & row.dwEvent) rows.push_back(&row);
    }
    return rows;
}

}  // namespace quillon
