#include "app/QuillonDlg.h"
#include "workflows/Console.h"

using namespace quillon;

void CQuillonDlg::AppendConsole(const CString& strEntry) {
    m_strConsole += strEntry;
    if (const std::size_t nCut = ConsoleTrimLength(m_strConsole.Str()))
        m_strConsole.Delete(0, static_cast<int>(nCut));
}

void CQuillonDlg::ScrollConsoleToEnd() {
    const LRESULT nLines = m_editConsole.SendMessage(EM_GETLINECOUNT);
    m_editConsole.SendMessage(EM_LINESCROLL, 0, nLines);
}
