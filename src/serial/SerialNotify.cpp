#include <cstdio>

#include "app/QuillonDlg.h"
#include "serial/LineEvents.h"

using namespace quillon;

LRESULT CQuillonDlg::OnSerialNotify(WPARAM wParam, LPARAM) {
    for (const LineEventRow* pRow : LineEventsOf(LOWORD(static_cast<DWORD>(wParam)))) {
        if (pRow->dwEvent == EV_RXCHAR) {
            ProcessReceivedData();
            std::fputs(pRow->pszTrace, stdout);
        } else if (pRow->pfnLineState) {
            const int nState = (m_serial.*pRow->pfnLineState)() ? 1 : 0;
            CString strEntry;
            strEntry.Format(pRow->pszConsoleFormat, nState);
            AppendConsole(strEntry);
            UpdateData(FALSE);
            std::fputs(pRow->pszTrace, stdout);
            ScrollConsoleToEnd();
        } else {
            std::fputs(pRow->pszTrace, stdout);
        }
    }
    if (ReportsLineLost(wParam)) {
        AppendConsole(kLineLostEntry);
        RefreshControls();
    }
    return 0;
}
