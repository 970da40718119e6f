#include "app/QuillonDlg.h"

// The five message controls of the I/O page, in the order they are compared.
constexpr int kWhiteMessageControls[] = {IDC_EDIT_NOTICE, IDC_STATIC_APPLY_CHANGE, IDC_STATIC_OSD_ON_REBOOT,
                                         IDC_STATIC_OSD_OFF_REBOOT, IDC_STATIC_BUSY};

HBRUSH CQuillonDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (nCtlColor != CTLCOLOR_STATIC) return hbr;
    for (int nID : kWhiteMessageControls) {
        if (pWnd == GetDlgItem(nID)) {
            pDC->SetBkColor(m_clrLabel);
            return m_brLabel;
        }
    }
    return hbr;
}
