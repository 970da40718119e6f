// The send-frame box: the custom frame's text and repeat count, which the
// template of the main window has no controls for. Send hands both to the
// main dialog and issues its send-frame command; the box stays open.
#pragma once

#include "platform/afx/Afx.h"

class CQuillonDlg;

class CSendFrameDlg : public CDialog {
public:
    explicit CSendFrameDlg(CQuillonDlg& owner);

    // Send (the default button, so Enter too).
    void OnOK() override;

    CString m_strText;
    CString m_strCount;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    CQuillonDlg& m_owner;
};
