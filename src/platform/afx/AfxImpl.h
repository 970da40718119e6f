// The framework's Qt side, private to this folder: what the handles point at,
// the window objects behind HWND, and helpers shared by the sources.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/afx/Afx.h"

class QButtonGroup;
class QEventLoop;
class QTimer;
class QKeyEvent;
class QPaintEvent;

// ---- handles ----------------------------------------------------------------
// Objects a CGdiObject owns; m_hObject holds one as AfxGdiHandle*.
struct AfxGdiHandle {
    virtual ~AfxGdiHandle() = default;
};

struct HBRUSH__ : AfxGdiHandle {
    explicit HBRUSH__(QColor c) : color(c) {}
    QColor color;
};

struct HFONT__ : AfxGdiHandle {
    LOGFONTA logFont{};
    QFont font;
};

struct HBITMAP__ : AfxGdiHandle {
    QImage image;
};

// Icons come from the resources and are shared for the whole run, as a
// module's icons are; nobody frees them.
struct HICON__ {
    QImage image;
};

struct HMENU__ {
    struct Item {
        UINT nFlags;
        UINT_PTR nID;
        std::string text;
    };
    std::vector<Item> items;
};

namespace afx {

struct InvalidArgException {};

inline QString ToQString(LPCSTR psz) {
    return QString::fromUtf8(psz ? psz : "");
}
inline QString ToQString(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string ToStd(const QString& s) {
    return s.toUtf8().toStdString();
}
inline QColor ToQColor(COLORREF c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
inline COLORREF ToColorRef(const QColor& c) {
    return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()));
}

int DluToPixelsX(int nDlu);
int DluToPixelsY(int nDlu);
// The layout is in fixed pixels, so fonts are too: points at 96 dpi.
int PointsToPixels(int nPoints);

// The stand-ins for the faces the templates name, and the platform's colours for disabled text.
void InstallPlatformLook();
QFont MakeFont(const LOGFONTA& lf);
QColor FaceColor();
QColor WindowColor();

// Draws the part of a picture stretched over the target rectangle, each pixel the nearest of the
// source's and replacing what was there: every stretch of the framework draws through here, so
// that all agree to the pixel.
void DrawStretched(QPainter& painter, const QRect& target, const QImage& source, const QRect& part);
// The one brush that stands for "no colour of the handler's own".
HBRUSH DefaultCtlBrush();
// Resources, each decoded once per run (a 32-bit bitmap stored top row first is drawn from its
// embedded bytes as they stand); null images when absent. From the start of the prefetch on, the
// program's pictures are decoded on a thread of their own; stopping waits for it, before the
// platform goes.
void StartBitmapPrefetch();
void StopBitmapPrefetch();
const QImage& BitmapResource(UINT nID);
HICON IconResource(UINT nID);

// Static text as the platform lays it out: words wrap at the width, and spaces take room
// like any character, so a run of them pushes the words after it along and down.
QStringList WrapStaticText(const QString& text, const QFontMetricsF& metrics, qreal width);
QString TrimTrailingSpaces(const QString& text);
// "&&" is an ampersand, a single "&" marks the next letter as the shortcut.
QString StripMnemonics(const QString& text);
// A single-line edit shows each line break as a space.
QString SingleLineText(const QString& text);

// Texts and the standard output reach their destinations at most once a display frame: at once
// when the last refresh is a frame old, else when the frame is over.
constexpr std::chrono::milliseconds kRefreshInterval{16};
// How long a change waits to be drawn: not at all once a display frame has passed since the last
// refresh, else until it has.
inline std::chrono::milliseconds RefreshDelay(
    std::optional<std::chrono::steady_clock::time_point> lastRefresh,
    std::chrono::steady_clock::time_point now) {
    if (!lastRefresh || now - *lastRefresh >= kRefreshInterval) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(kRefreshInterval - (now - *lastRefresh));
}

// While a refresh lasts, the single-line texts that change are drawn together as it ends, in one
// paint made there and then, instead of each asking for a paint that would wake the thread again.
class LineRepaintBatch {
public:
    explicit LineRepaintBatch(QWidget* pWindow);
    ~LineRepaintBatch();
    LineRepaintBatch(const LineRepaintBatch&) = delete;
    LineRepaintBatch& operator=(const LineRepaintBatch&) = delete;
    // Takes the part of a control of the batch's window; false when no batch is open for it.
    static bool Add(QWidget* pControl, const QRect& part);

private:
    QWidget* m_pWindow;
    QRegion m_region;
    LineRepaintBatch* m_pOuter;
};

void EnsurePlatform();
// Message loops running inside one another: a modal loop that a handler starts takes messages
// while the handler waits, and they are handled as if no handler were running.
class NestedLoop {
public:
    NestedLoop() { ++s_nDepth; }
    ~NestedLoop() { --s_nDepth; }
    NestedLoop(const NestedLoop&) = delete;
    NestedLoop& operator=(const NestedLoop&) = delete;
    static int Depth() { return s_nDepth; }

private:
    static inline int s_nDepth = 0;
};
// Runs framework-called user code; an argument error it raises is shown to
// the user and ends only that piece of work.
template <class F>
void CallGuarded(F&& f);
void ReportInvalidArg();

}  // namespace afx

template <class F>
void afx::CallGuarded(F&& f) {
    try {
        std::forward<F>(f)();
    } catch (const InvalidArgException&) {
        ReportInvalidArg();
    }
}

// ---- windows ------------------------------------------------------------------
// Any window of the framework. Posted messages reach it through a QObject
// living on the user-interface thread: deleting that object drops whatever is
// still queued, so a message never outlives its window.
struct AfxWindow : HWND__ {
    AfxWindow() = default;
    ~AfxWindow() override;

    BOOL QueueMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT DispatchMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    static AfxWindow* From(HWND hWnd) { return dynamic_cast<AfxWindow*>(hWnd); }
    static AfxWindow* From(const CWnd* pWnd) { return pWnd ? From(pWnd->m_hWnd) : nullptr; }

    // The widget, or null while there is none (not made yet, or destroyed).
    QWidget* Widget() const { return m_pWidget.data(); }
    // The widget, made now if the window defers it.
    QWidget* EnsureWidget() const {
        return m_pWidget ? m_pWidget.data() : const_cast<AfxWindow*>(this)->MakeWidget();
    }
    // Hidden, whether or not its widget is made yet.
    virtual bool IsHidden() const { return !m_pWidget || m_pWidget->isHidden(); }
    // Shows or hides a window whose widget is not made yet; false when it has one.
    virtual bool ShowWithoutWidget(bool, bool*) { return false; }
    // Its size as the program knows it, which its widget may not fill.
    virtual QSize Size(const QWidget& widget) const { return widget.size(); }
    // The object that handlers and GetDlgItem hand out for this window.
    virtual CWnd* Object() = 0;
    // A CWnd that refers to this window is being destroyed.
    virtual void Forget(CWnd* pWnd) = 0;
    virtual bool InPaint() const = 0;
    virtual void Invalidate() = 0;
    // The window was shown or hidden.
    virtual void VisibilityChanged() {}

    // Entry points into CWnd's protected members (this struct is its friend).
    static BOOL RunMessageMap(CWnd* pWnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    static LRESULT RunDefWindowProc(CWnd* pWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static const AFX_MSGMAP_ENTRY* FindEntry(const CWnd* pWnd, UINT msg, AfxSig nSig);
    static HBRUSH RunCtlColor(CWnd* pWnd, CDC* pDC, CWnd* pCtl, UINT nCtlColor);

protected:
    // Handles a message on the user-interface thread.
    virtual LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual QWidget* MakeWidget() { return nullptr; }
    void OpenQueue();
    // Drops queued messages and refuses new ones.
    void CloseQueue();
    QObject* Context() const { return m_pContext; }
    // A posted or sent message is queued and not yet handled.
    bool MessageWaiting();

    QPointer<QWidget> m_pWidget;

private:
    friend class AfxQueueContext;
    // A message handed over from another thread: its data passes through our
    // own lock, never through Qt's event, whose locks the thread sanitizer
    // cannot see.
    struct Handover {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT* pResult;  // a sent message's result, or null for a posted one
        bool bDone = false;
    };
    void HandleHandedOver();
    // Queues it and wakes the window's thread; false when the queue is closed.
    bool HandOver(Handover* pHandover);

    // Held while posting the wake-up and while the queue opens or closes.
    std::mutex m_postGate;
    std::mutex m_mutex;
    std::condition_variable m_handled;
    std::deque<Handover*> m_handovers;
    QObject* m_pContext = nullptr;
};

enum class AfxControlKind {
    HotArea,
    PushButton,
    RadioButton,
    GroupBox,
    Static,
    Icon,
    Edit,
    MultiLineEdit,
    ComboBox,
    Tab,
    Other
};

// A control's widget is made when it is first shown with its dialog or first needed: a dialog
// of many controls, most of them on pages not shown yet, opens without making theirs.
struct AfxControlWindow final : AfxWindow {
    // Its widget, when made, is a child of the dialog's.
    AfxControlWindow(AfxDialogWindow& dialog, const AFX_DLGITEM& item, std::size_t nIndex);
    ~AfxControlWindow() override;

    bool IsHidden() const override { return Widget() ? Widget()->isHidden() : !m_bShown; }
    bool ShowWithoutWidget(bool bShow, bool* pbWasShown) override;
    QSize Size(const QWidget&) const override { return m_size; }
    // Its place in the template, which stacks it: the first control lies on top.
    std::size_t Index() const { return m_nIndex; }
    // A radio button's exclusive group, which its widget joins when it is made.
    void JoinRadioGroup(QButtonGroup& group);

    CWnd* Object() override { return m_pAttached ? m_pAttached : m_pDefault.get(); }
    void Forget(CWnd* pWnd) override;
    bool InPaint() const override;
    void Invalidate() override;
    // A control shown or hidden changes the dialog's picture.
    void VisibilityChanged() override;
    void Attach(CWnd& rWnd);

    UINT ID() const { return m_nID; }
    AfxControlKind Kind() const { return m_kind; }
    std::string Text() const;
    bool HasText(const std::string& text) const;
    void SetText(const std::string& text);
    // The data exchange's SetText: a string that only grew since the control last took it costs
    // the copy of its new end, not of the whole text. nLineage is the lineage of the string the
    // control last took its text from, or 0; it is brought up to date.
    void TakeText(const CString& value, std::uint64_t& nLineage);
    // Brings the screen up to the text, when a change is waiting for it.
    void FlushText();
    void MarkTextPending() { m_bTextPending = true; }
    bool TextIsPending() const { return m_bTextPending; }
    // The colour code this control asks with, or 0 when it asks none.
    UINT CtlColorCode() const;
    // A colour the dialog's handler chose, or none for the platform's.
    void SetColors(std::optional<QColor> background, std::optional<QColor> textBackground);
    QWidget* PaintTarget() const;

    LONG InsertTab(int nItem, const QString& text);
    int TabCount() const;

protected:
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam) override;
    QWidget* MakeWidget() override;

private:
    QWidget* CreateWidget(const AFX_DLGITEM& item, QWidget* pParent);
    void Clicked();
    LRESULT HandleEdit(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleComboBox(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleButton(UINT msg, WPARAM wParam, LPARAM lParam);
    // After m_text changed: the screen follows.
    void TextChanged();
    void ShowText();
    void ShowLine();
    QColor DefaultBackground() const;

    // A single-line edit never shows fewer characters than this of a longer text, nor fewer than
    // fill its width and a few more.
    static constexpr std::size_t kShownLineMinimum = 16;
    static constexpr std::size_t kShownLineSpare = 4;

    AfxDialogWindow& m_dialog;
    // What the widget is made from, until it is made.
    std::optional<AFX_DLGITEM> m_pending;
    std::size_t m_nIndex;
    QSize m_size;
    QPointer<QButtonGroup> m_pRadioGroup;
    bool m_bShown;
    UINT m_nID;
    AfxControlKind m_kind = AfxControlKind::Other;
    DWORD m_dwStyle;
    DWORD m_dwExStyle;
    std::string m_text;
    bool m_bTextPending = false;
    // Single-line edits: whether the end of the text is in view, and where the part shown starts.
    bool m_bShowEnd = false;
    std::size_t m_nShownFrom = 0;
    bool m_bColorsSet = false;
    std::optional<QColor> m_background;
    std::optional<QColor> m_textBackground;
    std::unique_ptr<CWnd> m_pDefault;
    CWnd* m_pAttached = nullptr;
    std::unique_ptr<QObject> m_pColorFilter;
};

struct AfxDialogWindow final : AfxWindow {
    explicit AfxDialogWindow(CDialog& dialog);
    ~AfxDialogWindow() override;

    static AfxDialogWindow* From(const CWnd* pWnd) {
        return dynamic_cast<AfxDialogWindow*>(AfxWindow::From(pWnd));
    }

    CWnd* Object() override { return &m_dialog; }
    void Forget(CWnd*) override {}
    bool InPaint() const override { return m_bInPaint; }
    void Invalidate() override;

    // Creates the window and its controls from a template; the dialog's
    // OnInitDialog is the caller's to run.
    bool Build(const AFX_DLGTEMPLATE& tmpl, AfxWindow* pParent);
    // Destroys the widgets; the object stays, closed, until the dialog goes.
    void Destroy();
    bool IsBuilt() const { return !m_pWidget.isNull(); }
    void ShowAfterInit(bool bModal, BOOL bFocusFirst);
    // Puts a control's widget, made after others, where the template puts it: in the stack and in
    // the focus chain.
    void PlaceControl(AfxControlWindow& control);

    AfxControlWindow* Control(int nID) const;
    // The data exchange into the control of that id, if there is one.
    void TakeText(int nID, const CString& value);
    // The control's text was set other than by the data exchange.
    void TextReplaced(UINT nID);

    INT_PTR RunModalLoop();
    void End(int nResult);

    // Called by the dialog widget.
    void Paint(QPaintEvent* pEvent);
    void KeyPressed(QKeyEvent* pEvent);
    void CloseRequested();
    void ContextMenu(const QPoint& globalPos);
    void Shown();

    // What the paint handler drew. A stretched picture becomes a picture of its own only when
    // something draws over it, reads a pixel of it or repaints a part of it.
    QImage& Surface();
    // A picture stretched over the whole client is kept as its source: a paint of the whole client
    // draws it from there, so a page's first paint makes no client-sized copy of it.
    bool StretchOverClient(const QImage& source, const QRect& part, const QSize& size);
    // A control's text changed: it reaches the screen within a display frame, or with the next
    // paint of the dialog or of the control, whichever comes first.
    void TextPending(AfxControlWindow& control);
    void FlushTexts();
    // After drawing outside a paint, show what was drawn.
    void SurfaceChanged();
    void AskControlColors(AfxControlWindow& control);
    CMenu* SystemMenu(BOOL bRevert);
    HICON SetIcon(WPARAM nType, HICON hIcon);
    bool SetTimer(UINT_PTR nID, UINT nElapse);
    bool KillTimer(UINT_PTR nID);

protected:
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void MarkRepaint();
    // The refresh timer, set to the end of the display frame that the last refresh began.
    void ArmRefresh();
    // The size of what the paint handler last drew.
    QSize DrawnSize() const;
    void AfterMessage();
    // Texts waiting, or lines written to the standard output and not yet handed on.
    bool OutputPending() const;
    void ResetSystemMenu();

    CDialog& m_dialog;
    DWORD m_dwStyle = 0;
    std::vector<std::unique_ptr<AfxControlWindow>> m_controls;
    // Indexed by control id (ids are 16 bits): one contiguous table, looked up on every exchange.
    // Beside each control, the lineage and length of the string its text was last taken from, so
    // that the exchange passes over the fields that did not change without touching them.
    struct ControlEntry {
        AfxControlWindow* pControl = nullptr;
        std::uint64_t nLineage = 0;
        std::size_t nLength = 0;
    };
    std::vector<ControlEntry> m_controlById;
    struct Stretch {
        QImage source;
        QRect part;
        QSize size;
    };
    QImage m_surface;
    std::optional<Stretch> m_stretch;
    bool m_bDirty = true;
    bool m_bInPaint = false;
    // The loop depth of each handler of this dialog still running, innermost last.
    std::vector<int> m_handlerLoops;
    std::vector<AfxControlWindow*> m_pendingTexts;
    QTimer* m_pTextTimer = nullptr;
    // SetTimer's timers by id; children of the widget, which takes them with it.
    std::vector<std::pair<UINT_PTR, QTimer*>> m_timers;
    std::optional<std::chrono::steady_clock::time_point> m_lastRefresh;
    HMENU__ m_sysMenuData;
    CMenu m_sysMenu;
    HICON m_hIconBig = nullptr;
    HICON m_hIconSmall = nullptr;
    QEventLoop* m_pLoop = nullptr;
    bool m_bEnded = false;
    int m_nResult = 0;
};
