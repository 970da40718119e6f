#include "app/QuillonDlg.h"
#include "workflows/Console.h"

using namespace quillon;

void CQuillonDlg::AppendConsole(const CString& strEntry) {
    m_strConsole += strEntry;
    TrimConsoleLog(m_strConsole.GetBuffer());
}

void CQuillonDlg::ScrollConsoleToEnd() {
    const LRESULT nLines = m_editConsole.SendMessage(EM_GETLINECOUNT);
    m_editConsole.SendMessage(EM_LINESCROLL, 0, nLines);
}
