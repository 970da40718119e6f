// The file chooser: CFileDialog, save side only, with an MFC filter string.
// Nothing here includes Qt. User-interface thread only.
#pragma once

#include "platform/afx/Afx.h"

class CFileDialog {
public:
    // lpszFilter as MFC writes it: "JSON (*.json)|*.json|Prometheus (*.prom)|*.prom||".
    CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
                LPCSTR lpszFilter = nullptr, CWnd* pParentWnd = nullptr);
    // IDOK once a file was chosen, else IDCANCEL.
    INT_PTR DoModal();
    CString GetPathName() const { return m_strPathName; }

private:
    BOOL m_bOpenFileDialog;
    CString m_strDefExt;
    CString m_strFileName;
    CString m_strFilter;
    CWnd* m_pParentWnd;
    CString m_strPathName;
};
