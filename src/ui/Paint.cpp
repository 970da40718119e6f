#include "app/QuillonDlg.h"

using namespace quillon;

namespace {

void UpdateControls(CWnd& dlg, ControlSet controls) {
    for (const IdRange& range : controls) {
        for (UINT nID = range.nFirst; nID <= range.nLast; ++nID) {
            if (CWnd* pControl = dlg.GetDlgItem(static_cast<int>(nID))) pControl->UpdateWindow();
        }
    }
}

}  // namespace

void CQuillonDlg::OnPaint() {
    CClientDC dc(this);
    RECT rcClient{};
    GetClientRect(&rcClient);
    CDC memDC;
    memDC.CreateCompatibleDC(&dc);

    CBitmap picture;
    picture.LoadBitmap(PagePicture(g_nPage));
    ApplyShowSteps(PaintVisibility(g_nPage, g_bIoNoComPower, g_nPage != m_nPaintedPage));

    BITMAP info{};
    picture.GetBitmap(&info);
    CBitmap* pOld = memDC.SelectObject(&picture);
    dc.StretchBlt(0, 0, rcClient.right, rcClient.bottom, &memDC, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    UpdateControls(*this, kPaintFields);
    UpdateControls(*this, kPaintLabels);

    memDC.SelectObject(pOld);
    picture.DeleteObject();
    memDC.DeleteDC();
    m_nPaintedPage = g_nPage;
    m_bPaintedIoNoComPower = g_bIoNoComPower;
}

// The picture depends on two globals the framework cannot see: after each message, a change of
// either asks for the repaint that the original's endless idle painting would have made.
LRESULT CQuillonDlg::OnKickIdle(WPARAM, LPARAM) {
    if (g_nPage != m_nPaintedPage || g_bIoNoComPower != m_bPaintedIoNoComPower) Invalidate(FALSE);
    return 0;
}
