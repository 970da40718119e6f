// CDialog and the top-level window behind it.

#include <stdio_ext.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "platform/afx/AfxImpl.h"

namespace {

class AfxDialogWidget final : public QWidget {
public:
    AfxDialogWidget(AfxDialogWindow* pOwner, QWidget* pParent, Qt::WindowFlags flags)
        : QWidget(pParent, flags), m_pOwner(pOwner) {}
    void Disown() { m_pOwner = nullptr; }

protected:
    void paintEvent(QPaintEvent* pEvent) override {
        if (m_pOwner) m_pOwner->Paint(pEvent);
    }
    void keyPressEvent(QKeyEvent* pEvent) override {
        if (m_pOwner) {
            m_pOwner->KeyPressed(pEvent);
        } else {
            QWidget::keyPressEvent(pEvent);
        }
    }
    void closeEvent(QCloseEvent* pEvent) override {
        if (!m_pOwner) return;
        // The dialog decides: closing is its cancel command.
        pEvent->ignore();
        m_pOwner->CloseRequested();
    }
    void contextMenuEvent(QContextMenuEvent* pEvent) override {
        if (m_pOwner) m_pOwner->ContextMenu(pEvent->globalPos());
    }
    void showEvent(QShowEvent* pEvent) override {
        QWidget::showEvent(pEvent);
        if (m_pOwner) m_pOwner->Shown();
    }

private:
    AfxDialogWindow* m_pOwner;
};

AfxDialogWidget* DialogWidget(QWidget* pWidget) {
    return static_cast<AfxDialogWidget*>(pWidget);
}

constexpr UINT kSysMenuClose = SC_CLOSE;

}  // namespace

// ---- the window ---------------------------------------------------------------------

AfxDialogWindow::AfxDialogWindow(CDialog& dialog) : m_dialog(dialog) {
    m_sysMenu.m_hMenu = &m_sysMenuData;
    ResetSystemMenu();
}

AfxDialogWindow::~AfxDialogWindow() {
    RevokeWindow();
    Destroy();
}

void AfxDialogWindow::ResetSystemMenu() {
    m_sysMenuData.items.clear();
    m_sysMenuData.items.push_back({MF_STRING, kSysMenuClose, "&Close\tAlt+F4"});
}

bool AfxDialogWindow::Build(const AFX_DLGTEMPLATE& tmpl, AfxWindow* pParent) {
    if (IsBuilt()) return false;
    m_dwStyle = tmpl.dwStyle;
    m_bEnded = false;
    m_nResult = 0;
    m_bDirty = true;
    m_hIconBig = m_hIconSmall = nullptr;
    ResetSystemMenu();

    QWidget* pParentWidget = pParent ? pParent->Widget() : nullptr;
    Qt::WindowFlags flags = pParentWidget ? Qt::Dialog : Qt::Window;
    if ((tmpl.dwStyle & WS_CAPTION) == WS_CAPTION) {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (tmpl.dwStyle & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    } else {
        flags |= Qt::FramelessWindowHint;
    }
    auto* pWidget = new AfxDialogWidget(this, pParentWidget, flags);
    m_pWidget = pWidget;
    pWidget->setAttribute(Qt::WA_OpaquePaintEvent);
    pWidget->setWindowTitle(afx::ToQString(tmpl.lpszCaption));

    LOGFONTA lf{};
    lf.lfHeight = -afx::PointsToPixels(tmpl.wPointSize ? tmpl.wPointSize : 8);
    lf.lfWeight = tmpl.wWeight;
    lf.lfCharSet = tmpl.bCharSet;
    std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s",
                  tmpl.lpszFaceName ? tmpl.lpszFaceName : "MS Shell Dlg");
    pWidget->setFont(afx::MakeFont(lf));

    // The template gives the client area; a captionless window is all client.
    const QSize size(afx::DluToPixelsX(tmpl.cx), afx::DluToPixelsY(tmpl.cy));
    if (tmpl.dwStyle & WS_THICKFRAME) {
        pWidget->resize(size);
    } else {
        pWidget->setFixedSize(size);
    }
    QPoint origin(afx::DluToPixelsX(tmpl.x), afx::DluToPixelsY(tmpl.y));
    if (pParentWidget) origin += pParentWidget->mapToGlobal(QPoint(0, 0));
    pWidget->move(origin);

    // In a template the first control lies on top and a WS_GROUP control starts a new group.
    QButtonGroup* pRadioGroup = nullptr;
    for (std::size_t i = 0; i < tmpl.nItems; ++i) {
        const AFX_DLGITEM& item = tmpl.pItems[i];
        auto pControl = std::make_unique<AfxControlWindow>(*this, item, i);
        if (item.dwStyle & WS_GROUP) pRadioGroup = nullptr;
        if (pControl->Kind() == AfxControlKind::RadioButton) {
            if (!pRadioGroup) {
                pRadioGroup = new QButtonGroup(pWidget);
                pRadioGroup->setExclusive(true);
            }
            pControl->JoinRadioGroup(*pRadioGroup);
        }
        // With a duplicated id, the first control of the template answers, as on the platform.
        const std::size_t nIndex = pControl->ID() & 0xFFFF;
        if (nIndex >= m_controlById.size()) m_controlById.resize(nIndex + 1);
        if (!m_controlById[nIndex].pControl) m_controlById[nIndex].pControl = pControl.get();
        m_controls.push_back(std::move(pControl));
    }
    m_pTextTimer = new QTimer(pWidget);
    m_pTextTimer->setSingleShot(true);
    m_pTextTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_pTextTimer, &QTimer::timeout, pWidget, [this] { FlushTexts(); });
    OpenQueue();
    return true;
}

void AfxDialogWindow::ShowAfterInit(bool bModal, BOOL bFocusFirst) {
    QWidget* pWidget = Widget();
    if (!pWidget || m_bEnded) return;
    if (bModal && pWidget->parentWidget()) pWidget->setWindowModality(Qt::WindowModal);
    // A dialog its template shows at once stays where the template puts it; others open
    // centred on their owner.
    if (!(m_dwStyle & WS_VISIBLE)) {
        const QWidget* pParent = pWidget->parentWidget();
        const QRect area = pParent ? QRect(pParent->mapToGlobal(QPoint(0, 0)), pParent->size())
                                   : (pWidget->screen() ? pWidget->screen()->availableGeometry() : QRect());
        if (area.isValid()) pWidget->move(area.center() - QRect(QPoint(0, 0), pWidget->frameSize()).center());
    }
    if (bModal || (m_dwStyle & WS_VISIBLE)) pWidget->show();
    if (!bFocusFirst) return;
    for (const auto& pControl : m_controls) {
        QWidget* pControlWidget = pControl->IsHidden() ? nullptr : pControl->EnsureWidget();
        if (pControlWidget && (pControlWidget->focusPolicy() & Qt::TabFocus) &&
            pControlWidget->isVisibleTo(pWidget) && pControlWidget->isEnabled()) {
            pControlWidget->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void AfxDialogWindow::Destroy() {
    CloseQueue();
    if (m_pLoop) m_pLoop->exit(m_nResult);
    m_pendingTexts.clear();
    m_pTextTimer = nullptr;
    m_timers.clear();
    m_controlById.clear();
    m_controls.clear();
    if (QWidget* pWidget = Widget()) {
        DialogWidget(pWidget)->Disown();
        delete pWidget;
    }
    m_surface = QImage();
    m_stretch.reset();
    if (m_dialog.m_hWnd == this) m_dialog.m_hWnd = nullptr;
}

AfxControlWindow* AfxDialogWindow::Control(int nID) const {
    if (nID < 0 || static_cast<std::size_t>(nID) >= m_controlById.size()) return nullptr;
    return m_controlById[static_cast<std::size_t>(nID)].pControl;
}

void AfxDialogWindow::TakeText(int nID, const CString& value) {
    if (nID < 0 || static_cast<std::size_t>(nID) >= m_controlById.size()) return;
    ControlEntry& entry = m_controlById[static_cast<std::size_t>(nID)];
    if (!entry.pControl) return;
    // The same lineage and length: the very text the control took, and still holds.
    if (entry.nLineage != 0 && entry.nLineage == value.Lineage() &&
        entry.nLength == static_cast<std::size_t>(value.GetLength()))
        return;
    entry.pControl->TakeText(value, entry.nLineage);
    entry.nLength = static_cast<std::size_t>(value.GetLength());
}

void AfxDialogWindow::TextReplaced(UINT nID) {
    if (nID >= m_controlById.size()) return;
    m_controlById[nID].nLineage = 0;
}

INT_PTR AfxDialogWindow::RunModalLoop() {
    if (!m_bEnded) {
        QEventLoop loop;
        m_pLoop = &loop;
        const afx::NestedLoop nested;
        loop.exec();
        m_pLoop = nullptr;
    }
    return m_nResult;
}

void AfxDialogWindow::End(int nResult) {
    m_nResult = nResult;
    m_bEnded = true;
    if (QWidget* pWidget = Widget()) pWidget->hide();
    if (m_pLoop) m_pLoop->exit(nResult);
}

LRESULT AfxDialogWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsBuilt()) return 0;
    LRESULT result = 0;
    CDialog* pDialog = &m_dialog;
    // A message sent from inside a handler is part of that handler's work; one taken by a loop
    // the handler started is a message of its own.
    const int nLoop = afx::NestedLoop::Depth();
    const bool bOutermost = m_handlerLoops.empty() || m_handlerLoops.back() < nLoop;
    m_handlerLoops.push_back(nLoop);
    afx::CallGuarded([pDialog, msg, wParam, lParam, &result] {
        if (!RunMessageMap(pDialog, msg, wParam, lParam, &result))
            result = RunDefWindowProc(pDialog, msg, wParam, lParam);
    });
    m_handlerLoops.pop_back();
    if (bOutermost && msg != WM_KICKIDLE) AfterMessage();
    return result;
}

// The end of one message. What it changed on the dialog's picture is painted once no other message
// waits, as the platform delivers its paint message: an answer that came while a handler waited is
// handled before the paint. A message that changed nothing draws nothing.
void AfxDialogWindow::AfterMessage() {
    if (!IsBuilt() || m_bEnded) return;
    CDialog* pDialog = &m_dialog;
    afx::CallGuarded([pDialog] {
        LRESULT ignored = 0;
        RunMessageMap(pDialog, WM_KICKIDLE, 0, 0, &ignored);
    });
    QWidget* pWidget = Widget();
    if (m_bDirty && pWidget && pWidget->isVisible()) {
        if (MessageWaiting()) return;
        FlushTexts();
        pWidget->repaint();
        return;
    }
    // A change after a quiet frame is drawn in this turn of the loop, without a wake-up of its own
    // later, unless a message waits whose changes it may as well share; one in a busy frame waits
    // for the frame's end, with the others.
    if (!OutputPending()) return;
    if (afx::RefreshDelay(m_lastRefresh, std::chrono::steady_clock::now()).count() == 0 && !MessageWaiting()) {
        FlushTexts();
    } else {
        ArmRefresh();
    }
}

// A change after the frame of the last refresh is drawn at the frame's end, not a whole frame
// later: otherwise, once a change had waited, each that followed would wait too, and cost a wake-up
// of its own.
void AfxDialogWindow::ArmRefresh() {
    if (!m_pTextTimer || m_pTextTimer->isActive()) return;
    m_pTextTimer->start(afx::RefreshDelay(m_lastRefresh, std::chrono::steady_clock::now()));
}

bool AfxDialogWindow::OutputPending() const {
    return !m_pendingTexts.empty() || __fpending(stdout) > 0;
}

// A hidden control lays out nothing: its text waits until it is shown.
void AfxDialogWindow::TextPending(AfxControlWindow& control) {
    if (control.TextIsPending()) return;
    control.MarkTextPending();
    if (control.IsHidden()) return;
    m_pendingTexts.push_back(&control);
    ArmRefresh();
}

void AfxDialogWindow::FlushTexts() {
    if (m_pTextTimer) m_pTextTimer->stop();
    m_lastRefresh = std::chrono::steady_clock::now();
    // Trace lines are buffered (see AfxWinMain) and handed on with the texts.
    if (__fpending(stdout) > 0) std::fflush(stdout);
    std::vector<AfxControlWindow*> pending;
    pending.swap(m_pendingTexts);
    const afx::LineRepaintBatch batch(Widget());
    for (AfxControlWindow* pControl : pending) {
        if (!pControl->IsHidden()) pControl->FlushText();
    }
}

bool AfxDialogWindow::SetTimer(UINT_PTR nID, UINT nElapse) {
    QWidget* pWidget = Widget();
    if (!pWidget) return false;
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [nID](const auto& timer) { return timer.first == nID; });
    if (it == m_timers.end()) {
        auto* pTimer = new QTimer(pWidget);
        // Within 5 % of its interval, which lets the system group the wake-ups.
        pTimer->setTimerType(Qt::CoarseTimer);
        QObject::connect(pTimer, &QTimer::timeout, pWidget, [this, nID] { Handle(WM_TIMER, nID, 0); });
        it = m_timers.insert(m_timers.end(), {nID, pTimer});
    }
    it->second->start(static_cast<int>(nElapse));
    return true;
}

bool AfxDialogWindow::KillTimer(UINT_PTR nID) {
    const auto it = std::find_if(m_timers.begin(), m_timers.end(),
                                 [nID](const auto& timer) { return timer.first == nID; });
    if (it == m_timers.end()) return false;
    delete it->second;
    m_timers.erase(it);
    return true;
}

// ---- painting ------------------------------------------------------------------------
// The dialog keeps what its paint handler drew in a surface of the client's size. The
// handler runs when the dialog is invalidated, shown or resized, or a control of it is shown
// or hidden; any other paint of the window (a control's text changing, a screenshot) shows
// the surface as it is.

void AfxDialogWindow::MarkRepaint() {
    if (m_bInPaint || !Widget()) return;
    m_bDirty = true;
    Widget()->update();
}

void AfxDialogWindow::Invalidate() {
    MarkRepaint();
}

// The controls shown with the dialog are made as it shows, before its first paint.
void AfxDialogWindow::Shown() {
    m_bDirty = true;
    for (const auto& pControl : m_controls) {
        if (!pControl->IsHidden()) pControl->EnsureWidget();
    }
}

void AfxDialogWindow::PlaceControl(AfxControlWindow& control) {
    // As if every control had been made in the template's order: in the stack beneath the nearest
    // control before it whose widget is made (on top when there is none), and in the focus chain
    // after the nearest such control that takes the focus.
    QWidget* pWidget = control.Widget();
    QWidget* pAbove = nullptr;
    QWidget* pFocusBefore = nullptr;
    for (const auto& pControl : m_controls) {
        if (pControl->Index() >= control.Index()) break;
        QWidget* pMade = pControl->Widget();
        if (!pMade) continue;
        pAbove = pMade;
        if (pMade->focusPolicy() != Qt::NoFocus) pFocusBefore = pMade;
    }
    if (pAbove) {
        pWidget->stackUnder(pAbove);
    } else {
        pWidget->raise();
    }
    if (pWidget->focusPolicy() == Qt::NoFocus) return;
    if (pFocusBefore) {
        QWidget::setTabOrder(pFocusBefore, pWidget);
        return;
    }
    // First of the chain: the controls after it follow it again, in their order.
    QWidget* pPrevious = pWidget;
    for (const auto& pControl : m_controls) {
        QWidget* pMade = pControl->Index() > control.Index() ? pControl->Widget() : nullptr;
        if (!pMade || pMade->focusPolicy() == Qt::NoFocus) continue;
        QWidget::setTabOrder(pPrevious, pMade);
        pPrevious = pMade;
    }
}

QSize AfxDialogWindow::DrawnSize() const {
    return m_stretch ? m_stretch->size : m_surface.size();
}

QImage& AfxDialogWindow::Surface() {
    const QSize size = Widget() ? Widget()->size() : QSize();
    const bool bNew = m_surface.size() != size;
    // The surface of the page before is drawn over, not replaced: fresh memory costs more than
    // the drawing.
    if (bNew) m_surface = QImage(size, QImage::Format_RGB32);
    if (m_stretch && m_stretch->size == size) {
        QPainter painter(&m_surface);
        afx::DrawStretched(painter, m_surface.rect(), m_stretch->source, m_stretch->part);
    } else if (bNew || m_stretch) {
        m_surface.fill(afx::FaceColor());
        m_bDirty = true;
    }
    m_stretch.reset();
    return m_surface;
}

void AfxDialogWindow::SurfaceChanged() {
    if (!m_bInPaint && Widget()) Widget()->update();
}

bool AfxDialogWindow::StretchOverClient(const QImage& source, const QRect& part, const QSize& size) {
    // Only an opaque picture: what lies beneath must not show through it.
    if (!Widget() || size != Widget()->size() || !source.rect().contains(part) ||
        source.format() != QImage::Format_RGB32)
        return false;
    m_stretch = Stretch{source, part, size};
    return true;
}

void AfxDialogWindow::Paint(QPaintEvent* pEvent) {
    // A new size is drawn anew; the surface itself is made only if the handler needs it.
    if (Widget() && DrawnSize() != Widget()->size()) m_bDirty = true;
    if (m_bDirty) {
        m_bInPaint = true;
        if (const AFX_MSGMAP_ENTRY* pEntry = FindEntry(&m_dialog, WM_PAINT, AfxSig_v_v)) {
            CDialog* pDialog = &m_dialog;
            afx::CallGuarded([pDialog, pEntry] { (pDialog->*pEntry->pfn.pfn_v_v)(); });
        } else {
            Surface().fill(afx::FaceColor());
        }
        m_bInPaint = false;
        // Cleared after the handler: a surface it had made does not ask for another paint.
        m_bDirty = false;
    }
    QPainter painter(Widget());
    const QRegion& region = pEvent->region();
    // As when a page is first shown, around the controls: straight from the stretched picture,
    // which the surface is made from only when a later paint needs part of it.
    if (m_stretch) {
        painter.setClipRegion(region);
        afx::DrawStretched(painter, QRect(QPoint(0, 0), DrawnSize()), m_stretch->source, m_stretch->part);
        return;
    }
    // Parts of it, as beneath the controls whose texts changed: copied from the surface, which
    // costs a fraction of a stretch.
    painter.drawImage(pEvent->rect(), Surface(), pEvent->rect());
}

void AfxDialogWindow::AskControlColors(AfxControlWindow& control) {
    const UINT nCode = control.CtlColorCode();
    if (nCode == 0 || !FindEntry(&m_dialog, WM_CTLCOLORSTATIC, AfxSig_hbr)) return;
    CDC dc;
    HBRUSH hBrush = nullptr;
    CDialog* pDialog = &m_dialog;
    CWnd* pControl = control.Object();
    afx::CallGuarded(
        [pDialog, pControl, nCode, &dc, &hBrush] { hBrush = RunCtlColor(pDialog, &dc, pControl, nCode); });
    if (!hBrush || hBrush == afx::DefaultCtlBrush()) {
        control.SetColors(std::nullopt, std::nullopt);
    } else {
        control.SetColors(hBrush->color, afx::ToQColor(dc.GetBkColor()));
    }
}

// ---- input -----------------------------------------------------------------------------

void AfxDialogWindow::KeyPressed(QKeyEvent* pEvent) {
    switch (pEvent->key()) {
        case Qt::Key_Escape:
            DispatchMessage(WM_COMMAND, IDCANCEL, 0);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // A focused push button takes Enter; otherwise it is the dialog's OK.
            auto* pButton = qobject_cast<QPushButton*>(Widget()->focusWidget());
            if (pButton && pButton->isVisible() && pButton->isEnabled()) {
                pButton->click();
            } else {
                DispatchMessage(WM_COMMAND, IDOK, 0);
            }
            break;
        }
        default:
            pEvent->ignore();
            return;
    }
    pEvent->accept();
}

void AfxDialogWindow::CloseRequested() {
    DispatchMessage(WM_COMMAND, IDCANCEL, 0);
}

void AfxDialogWindow::ContextMenu(const QPoint& globalPos) {
    // A captionless window has no menu button: its system menu opens here instead.
    auto* pMenu = new QMenu(Widget());
    pMenu->setAttribute(Qt::WA_DeleteOnClose);
    for (const HMENU__::Item& item : m_sysMenuData.items) {
        if (item.nFlags & MF_SEPARATOR) {
            pMenu->addSeparator();
            continue;
        }
        QAction* pAction = pMenu->addAction(afx::ToQString(item.text));
        const WPARAM nID = item.nID;
        QObject::connect(pAction, &QAction::triggered, Context(),
                         [this, nID] { DispatchMessage(WM_SYSCOMMAND, nID, 0); });
        if (nID == kSysMenuClose) pMenu->setDefaultAction(pAction);
    }
    pMenu->popup(globalPos);
}

CMenu* AfxDialogWindow::SystemMenu(BOOL bRevert) {
    if (bRevert) {
        ResetSystemMenu();
        return nullptr;
    }
    return &m_sysMenu;
}

HICON AfxDialogWindow::SetIcon(WPARAM nType, HICON hIcon) {
    HICON& slot = nType == ICON_BIG ? m_hIconBig : m_hIconSmall;
    HICON hPrevious = slot;
    slot = hIcon;
    if (QWidget* pWidget = Widget()) {
        QIcon icon;
        for (HICON h : {m_hIconBig, m_hIconSmall}) {
            if (h && !h->image.isNull()) icon.addPixmap(QPixmap::fromImage(h->image));
        }
        pWidget->setWindowIcon(icon);
    }
    return hPrevious;
}

// ---- CDialog ----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    m_pWindow.reset();
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    afx::EnsurePlatform();
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(nIDTemplate);
    if (!pTemplate) return FALSE;
    if (!m_pWindow) m_pWindow = std::make_unique<AfxDialogWindow>(*this);
    if (!m_pWindow->Build(*pTemplate, AfxWindow::From(pParentWnd))) return FALSE;
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
    m_hWnd = m_pWindow.get();
    BOOL bFocusFirst = TRUE;
    afx::CallGuarded([this, &bFocusFirst] { bFocusFirst = OnInitDialog(); });
    m_pWindow->ShowAfterInit(false, bFocusFirst);
    return TRUE;
}

namespace {

AFX_MODAL_HOOK g_pfnModalHook = nullptr;

}  // namespace

void AfxSetModalHook(AFX_MODAL_HOOK pfnHook) {
    g_pfnModalHook = pfnHook;
}

INT_PTR CDialog::DoModal() {
    afx::EnsurePlatform();
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(m_nIDTemplate);
    if (!pTemplate) return -1;
    if (!m_pWindow) m_pWindow = std::make_unique<AfxDialogWindow>(*this);
    if (!m_pWindow->Build(*pTemplate, AfxWindow::From(m_pParentWnd))) return -1;
    m_hWnd = m_pWindow.get();
    BOOL bFocusFirst = TRUE;
    afx::CallGuarded([this, &bFocusFirst] { bFocusFirst = OnInitDialog(); });
    m_pWindow->ShowAfterInit(true, bFocusFirst);
    if (g_pfnModalHook) g_pfnModalHook(this, m_nIDTemplate);
    const INT_PTR nResult = m_pWindow->RunModalLoop();
    m_pWindow->Destroy();
    return nResult;
}

void CDialog::EndDialog(int nResult) {
    if (m_pWindow && m_pWindow->IsBuilt()) m_pWindow->End(nResult);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
