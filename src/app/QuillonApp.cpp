#include "app/QuillonApp.h"

#include "app/QuillonDlg.h"

CQuillonApp theApp;

BOOL CQuillonApp::InitInstance() {
    AfxEnableControlContainer();
    CQuillonDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    dlg.WriteReportOption();
    m_pMainWnd = nullptr;
    return FALSE;
}
