#pragma once

#include "platform/afx/Afx.h"

// The About box: icon, version text and one button, all from its template.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* pParent = nullptr);
};
