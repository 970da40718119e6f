// Message maps, CWnd and the data exchange.

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QThread>
#include <cstring>

#include "platform/afx/AfxImpl.h"

// ---- the window object behind an HWND ----------------------------------------------

AfxWindow::~AfxWindow() {
    RevokeWindow();
    CloseQueue();
}

// The window's end of the queue: Qt's event only says that a message waits.
class AfxQueueContext final : public QObject {
public:
    static constexpr QEvent::Type kHandover = static_cast<QEvent::Type>(QEvent::User + 1);
    explicit AfxQueueContext(AfxWindow& window) : m_window(window) {}

protected:
    void customEvent(QEvent*) override { m_window.HandleHandedOver(); }

private:
    AfxWindow& m_window;
};

void AfxWindow::OpenQueue() {
    std::scoped_lock lock(m_postGate, m_mutex);
    if (!m_pContext) m_pContext = new AfxQueueContext(*this);
}

void AfxWindow::CloseQueue() {
    QObject* pContext = nullptr;
    {
        std::scoped_lock lock(m_postGate, m_mutex);
        std::swap(pContext, m_pContext);
        for (Handover* pHandover : m_handovers) {
            if (pHandover->pResult) {
                pHandover->bDone = true;
            } else {
                delete pHandover;
            }
        }
        m_handovers.clear();
    }
    m_handled.notify_all();
    delete pContext;
}

bool AfxWindow::MessageWaiting() {
    std::lock_guard lock(m_mutex);
    return !m_handovers.empty();
}

void AfxWindow::HandleHandedOver() {
    Handover* pHandover = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_handovers.empty()) return;
        pHandover = m_handovers.front();
        m_handovers.pop_front();
    }
    const LRESULT result = Handle(pHandover->msg, pHandover->wParam, pHandover->lParam);
    if (!pHandover->pResult) {
        delete pHandover;
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        *pHandover->pResult = result;
        pHandover->bDone = true;
    }
    m_handled.notify_all();
}

// The event that wakes the window's thread is posted outside the queue's lock, so that the woken
// thread never finds the lock still held by the poster; the gate keeps the context alive meanwhile.
bool AfxWindow::HandOver(Handover* pHandover) {
    std::lock_guard gate(m_postGate);
    {
        std::lock_guard lock(m_mutex);
        if (!m_pContext) return false;
        m_handovers.push_back(pHandover);
    }
    QCoreApplication::postEvent(m_pContext, new QEvent(AfxQueueContext::kHandover));
    return true;
}

BOOL AfxWindow::QueueMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    auto pHandover = std::make_unique<Handover>(Handover{msg, wParam, lParam, nullptr});
    if (!HandOver(pHandover.get())) return FALSE;
    pHandover.release();
    return TRUE;
}

LRESULT AfxWindow::DispatchMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    bool bOwnThread = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_pContext) return 0;
        bOwnThread = QThread::currentThread() == m_pContext->thread();
    }
    if (bOwnThread) return Handle(msg, wParam, lParam);
    // Sent from another thread: handled on the window's own thread while the sender waits.
    LRESULT result = 0;
    Handover handover{msg, wParam, lParam, &result};
    if (!HandOver(&handover)) return 0;
    std::unique_lock lock(m_mutex);
    m_handled.wait(lock, [&] { return handover.bDone; });
    return result;
}

const AFX_MSGMAP_ENTRY* AfxWindow::FindEntry(const CWnd* pWnd, UINT msg, AfxSig nSig) {
    for (const AFX_MSGMAP* pMap = pWnd->GetMessageMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nSig != AfxSig_end; ++pEntry) {
            if (nSig != AfxSig_end && pEntry->nSig != nSig) continue;
            if (pEntry->pnRegistered) {
                if (msg != 0 && *pEntry->pnRegistered == msg) return pEntry;
            } else if (pEntry->nMessage == msg && msg != WM_COMMAND) {
                return pEntry;
            }
        }
    }
    return nullptr;
}

BOOL AfxWindow::RunMessageMap(CWnd* pWnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return pWnd->OnWndMsg(msg, wParam, lParam, pResult);
}

LRESULT AfxWindow::RunDefWindowProc(CWnd* pWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return pWnd->DefWindowProc(msg, wParam, lParam);
}

HBRUSH AfxWindow::RunCtlColor(CWnd* pWnd, CDC* pDC, CWnd* pCtl, UINT nCtlColor) {
    const AFX_MSGMAP_ENTRY* pEntry = FindEntry(pWnd, WM_CTLCOLORSTATIC, AfxSig_hbr);
    if (!pEntry) return nullptr;
    return (pWnd->*pEntry->pfn.pfn_hbr)(pDC, pCtl, nCtlColor);
}

// ---- message maps ---------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr, AfxSig_end, AFX_PMSG{.pfn_v_v = nullptr}}};
    static const AFX_MSGMAP messageMap = {nullptr, &entries[0]};
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    LRESULT result = 0;
    BOOL bHandled = FALSE;
    if (message == WM_COMMAND) {
        bHandled = OnCommand(wParam, lParam);
    } else if (const AFX_MSGMAP_ENTRY* pEntry = AfxWindow::FindEntry(this, message, AfxSig_end)) {
        bHandled = TRUE;
        switch (pEntry->nSig) {
            case AfxSig_v_v:
                (this->*pEntry->pfn.pfn_v_v)();
                break;
            case AfxSig_v_u:
                (this->*pEntry->pfn.pfn_v_u)(static_cast<UINT>(wParam));
                break;
            case AfxSig_l_wl:
                result = (this->*pEntry->pfn.pfn_l_wl)(wParam, lParam);
                break;
            case AfxSig_v_ul:
                (this->*pEntry->pfn.pfn_v_ul)(static_cast<UINT>(wParam), lParam);
                break;
            case AfxSig_hcur_v:
                result = reinterpret_cast<LRESULT>((this->*pEntry->pfn.pfn_hcur_v)());
                break;
            case AfxSig_v_up:
                (this->*pEntry->pfn.pfn_v_up)(static_cast<UINT_PTR>(wParam));
                break;
            case AfxSig_hbr:  // asked by the controls as they draw, never as a message
            case AfxSig_end:
                bHandled = FALSE;
                break;
        }
    }
    if (pResult) *pResult = result;
    return bHandled;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    // Clicks (0) and accelerators (1) are commands; other notification codes are not.
    if (HIWORD(static_cast<DWORD>(wParam)) > 1) return FALSE;
    const UINT nID = LOWORD(static_cast<DWORD>(wParam));
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nSig != AfxSig_end; ++pEntry) {
            if (pEntry->nMessage != WM_COMMAND || nID < pEntry->nID || nID > pEntry->nLastID) continue;
            if (pEntry->nSig == AfxSig_v_v) {
                (this->*pEntry->pfn.pfn_v_v)();
                return TRUE;
            }
            if (pEntry->nSig == AfxSig_v_u) {
                (this->*pEntry->pfn.pfn_v_u)(nID);
                return TRUE;
            }
        }
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // Closing a dialog is its cancel command.
            return SendMessage(WM_COMMAND, IDCANCEL, 0);
        case WM_SYSCOMMAND:
            OnSysCommand(static_cast<UINT>(wParam), lParam);
            return 0;
        case WM_SETICON:
            if (AfxDialogWindow* pWindow = AfxDialogWindow::From(this)) {
                return reinterpret_cast<LRESULT>(pWindow->SetIcon(wParam, reinterpret_cast<HICON>(lParam)));
            }
            return 0;
        default:
            return 0;
    }
}

HBRUSH CWnd::OnCtlColor(CDC* pDC, CWnd*, UINT nCtlColor) {
    if (pDC)
        pDC->SetBkColor(afx::ToColorRef(nCtlColor == CTLCOLOR_EDIT ? afx::WindowColor() : afx::FaceColor()));
    return afx::DefaultCtlBrush();
}

void CWnd::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == SC_CLOSE) SendMessage(WM_CLOSE);
}

// ---- CWnd ---------------------------------------------------------------------------

CWnd::~CWnd() {
    if (AfxWindow* pWindow = AfxWindow::From(m_hWnd)) pWindow->Forget(this);
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::ShowWindow(int nCmdShow) {
    AfxWindow* pWindow = AfxWindow::From(this);
    const bool bShow = nCmdShow != SW_HIDE;
    if (bool bWasShown = false; pWindow && pWindow->ShowWithoutWidget(bShow, &bWasShown))
        return bWasShown ? TRUE : FALSE;
    QWidget* pWidget = pWindow ? pWindow->EnsureWidget() : nullptr;
    if (!pWidget) return FALSE;
    const bool bWasVisible = !pWidget->isHidden();
    if (bShow != bWasVisible) {
        pWidget->setVisible(bShow);
        pWindow->VisibilityChanged();
    }
    return bWasVisible ? TRUE : FALSE;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    QWidget* pWidget = AfxWindow::From(this) ? AfxWindow::From(this)->EnsureWidget() : nullptr;
    if (!pWidget) return FALSE;
    const BOOL bWasDisabled = !pWidget->isEnabled();
    pWidget->setEnabled(bEnable != FALSE);
    return bWasDisabled;
}

BOOL CWnd::IsWindowVisible() const {
    const AfxWindow* pWindow = AfxWindow::From(this);
    return pWindow && pWindow->Widget() && pWindow->Widget()->isVisible();
}

BOOL CWnd::IsWindowEnabled() const {
    const AfxWindow* pWindow = AfxWindow::From(this);
    return pWindow && pWindow->EnsureWidget() && pWindow->Widget()->isEnabled();
}

void CWnd::UpdateWindow() {
    AfxWindow* pWindow = AfxWindow::From(this);
    // A hidden window has nothing to draw.
    if (!pWindow || pWindow->IsHidden() || !pWindow->EnsureWidget()) return;
    if (auto* pControl = dynamic_cast<AfxControlWindow*>(pWindow)) pControl->FlushText();
    // Inside the dialog's paint the controls are drawn in the same pass anyway.
    if (pWindow->InPaint()) return;
    pWindow->Widget()->repaint();
}

void CWnd::Invalidate(BOOL) {
    if (AfxWindow* pWindow = AfxWindow::From(this)) pWindow->Invalidate();
}

CWnd* CWnd::GetDlgItem(int nID) const {
    const AfxDialogWindow* pWindow = AfxDialogWindow::From(this);
    AfxControlWindow* pControl = pWindow ? pWindow->Control(nID) : nullptr;
    return pControl ? pControl->Object() : nullptr;
}

int CWnd::GetDlgCtrlID() const {
    const auto* pControl = dynamic_cast<const AfxControlWindow*>(m_hWnd);
    return pControl ? static_cast<int>(pControl->ID()) : 0;
}

void CWnd::SetWindowText(LPCSTR lpszString) {
    if (auto* pControl = dynamic_cast<AfxControlWindow*>(m_hWnd)) {
        pControl->SetText(lpszString ? lpszString : "");
    } else if (AfxWindow* pWindow = AfxWindow::From(this); pWindow && pWindow->Widget()) {
        pWindow->Widget()->setWindowTitle(afx::ToQString(lpszString));
    }
}

void CWnd::GetWindowText(CString& rString) const {
    if (const auto* pControl = dynamic_cast<const AfxControlWindow*>(m_hWnd)) {
        rString = CString(pControl->Text());
    } else if (const AfxWindow* pWindow = AfxWindow::From(this); pWindow && pWindow->Widget()) {
        rString = CString(afx::ToStd(pWindow->Widget()->windowTitle()));
    } else {
        rString.Empty();
    }
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(pFont ? static_cast<HFONT>(*pFont) : nullptr), bRedraw);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd ? ::SendMessageA(m_hWnd, message, wParam, lParam) : 0;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd ? ::PostMessageA(m_hWnd, message, wParam, lParam) : FALSE;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    AfxDialogWindow* pWindow = AfxDialogWindow::From(this);
    if (!pWindow) return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    dx.m_pWindow = pWindow;
    afx::CallGuarded([this, &dx] { DoDataExchange(&dx); });
    return TRUE;
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) {
    AfxDialogWindow* pWindow = AfxDialogWindow::From(this);
    return pWindow ? pWindow->SystemMenu(bRevert) : nullptr;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse) {
    AfxDialogWindow* pWindow = AfxDialogWindow::From(this);
    return pWindow && pWindow->SetTimer(nIDEvent, nElapse) ? nIDEvent : 0;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    AfxDialogWindow* pWindow = AfxDialogWindow::From(this);
    return pWindow && pWindow->KillTimer(nIDEvent);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    if (!lpRect) return;
    const AfxWindow* pWindow = AfxWindow::From(this);
    const QWidget* pWidget = pWindow ? pWindow->EnsureWidget() : nullptr;
    const QSize size = pWidget ? pWindow->Size(*pWidget) : QSize(0, 0);
    *lpRect = {0, 0, size.width(), size.height()};
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    if (!lpRect) return;
    const AfxWindow* pWindow = AfxWindow::From(this);
    const QWidget* pWidget = pWindow ? pWindow->EnsureWidget() : nullptr;
    if (!pWidget) {
        *lpRect = {0, 0, 0, 0};
        return;
    }
    QRect rect = pWidget->isWindow() ? pWidget->frameGeometry()
                                     : QRect(pWidget->mapToGlobal(QPoint(0, 0)), pWindow->Size(*pWidget));
    *lpRect = {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    const AfxWindow* pWindow = AfxWindow::From(this);
    const QWidget* pWidget = pWindow ? pWindow->EnsureWidget() : nullptr;
    if (!lpRect || !pWidget) return;
    const QPoint origin = pWidget->mapToGlobal(QPoint(0, 0));
    lpRect->left -= origin.x();
    lpRect->right -= origin.x();
    lpRect->top -= origin.y();
    lpRect->bottom -= origin.y();
}

// ---- data exchange ---------------------------------------------------------------

namespace {

AfxDialogWindow* WindowOf(CDataExchange* pDX) {
    if (!pDX) return nullptr;
    return pDX->m_pWindow ? pDX->m_pWindow : AfxDialogWindow::From(pDX->m_pDlgWnd);
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    AfxDialogWindow* pWindow = WindowOf(pDX);
    if (!pWindow) return;
    if (!pDX->m_bSaveAndValidate) {
        pWindow->TakeText(nIDC, value);
    } else if (const AfxControlWindow* pControl = pWindow->Control(nIDC)) {
        value = CString(pControl->Text());
    }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    AfxDialogWindow* pWindow = WindowOf(pDX);
    if (AfxControlWindow* pControl = pWindow ? pWindow->Control(nIDC) : nullptr) pControl->Attach(rControl);
}

// ---- menus ------------------------------------------------------------------------

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem) {
    if (!m_hMenu) return FALSE;
    const bool bSeparator = (nFlags & MF_SEPARATOR) != 0;
    m_hMenu->items.push_back(
        {nFlags, bSeparator ? 0 : nIDNewItem, bSeparator || !lpszNewItem ? "" : lpszNewItem});
    return TRUE;
}
