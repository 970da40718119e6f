#include "app/QuillonDlg.h"

using namespace quillon;

void CQuillonDlg::ApplyShowSteps(std::span<const ShowStep> steps) {
    for (const ShowStep& step : steps) {
        for (UINT nID = step.nFirst; nID <= step.nLast; ++nID) {
            if (CWnd* pControl = GetDlgItem(static_cast<int>(nID)))
                pControl->ShowWindow(step.bShow ? SW_SHOW : SW_HIDE);
        }
    }
}
