#include "workflows/SendFrameDlg.h"

#include "app/QuillonDlg.h"

// Opens with the texts last sent, so a frame can be sent again as it was.
CSendFrameDlg::CSendFrameDlg(CQuillonDlg& owner) : CDialog(IDD_SEND_FRAME, &owner), m_owner(owner) {
    m_strText = owner.m_strSendText;
    m_strCount = owner.m_strSendCount;
}

void CSendFrameDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SEND_TEXT, m_strText);
    DDX_Text(pDX, IDC_SEND_COUNT, m_strCount);
}

void CSendFrameDlg::OnOK() {
    UpdateData(TRUE);
    m_owner.m_strSendText = m_strText;
    m_owner.m_strSendCount = m_strCount;
    m_owner.SendMessage(WM_COMMAND, IDC_SEND_FRAME);
}
