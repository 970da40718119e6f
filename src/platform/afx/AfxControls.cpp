// The controls of a dialog template, each a window of its own.

#include <strings.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHash>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStaticText>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/afx/AfxImpl.h"

namespace {

constexpr DWORD kButtonTypeMask = 0x000F;
constexpr DWORD kStaticTypeMask = 0x001F;
constexpr DWORD kStaticRight = 0x0002;
constexpr DWORD kStaticNotify = 0x0100;
constexpr int kIconSize = 32;  // the platform's large icon

// Pushed by the user, drawn by nobody: the picture beneath shows through.
class AfxHotArea final : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent*) override {}
};

// Static text as the platform draws it: word-wrapped with its spaces kept, or an icon.
class AfxStaticWidget final : public QWidget {
public:
    AfxStaticWidget(QWidget* pParent, Qt::Alignment alignment) : QWidget(pParent), m_alignment(alignment) {}

    void SetText(const QString& text) {
        m_text = text;
        update();
    }
    void SetImage(const QImage& image) {
        m_image = image;
        update();
    }
    void SetColors(std::optional<QColor> background, std::optional<QColor> textBackground) {
        if (background == m_background && textBackground == m_textBackground) return;
        m_background = background;
        m_textBackground = textBackground;
        setAttribute(Qt::WA_OpaquePaintEvent, m_background.has_value());
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (m_background) painter.fillRect(rect(), *m_background);
        if (!m_image.isNull()) {
            painter.drawImage(QRect(0, 0, std::min(kIconSize, width()), std::min(kIconSize, height())),
                              m_image);
            return;
        }
        const QFontMetricsF metrics(font());
        painter.setFont(font());
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        qreal y = 0;
        for (const QString& line : afx::WrapStaticText(m_text, metrics, width())) {
            const qreal lineWidth = metrics.horizontalAdvance(afx::TrimTrailingSpaces(line));
            qreal x = 0;
            if (m_alignment & Qt::AlignHCenter) x = (width() - lineWidth) / 2;
            if (m_alignment & Qt::AlignRight) x = width() - lineWidth;
            if (m_textBackground)
                painter.fillRect(QRectF(x, y, lineWidth, metrics.height()), *m_textBackground);
            painter.drawText(QPointF(x, y + metrics.ascent()), line);
            y += metrics.height();
            if (y >= height()) break;
        }
    }

private:
    Qt::Alignment m_alignment;
    QString m_text;
    QImage m_image;
    std::optional<QColor> m_background;
    std::optional<QColor> m_textBackground;
};

// A single-line edit that nobody types into (the console, the value fields). It draws its text and
// nothing more: no cursor, selection or undo to keep up with each new text. Each word is laid out
// once and kept, so a log that grows by an entry lays out only that entry.
class AfxLineWidget final : public QWidget {
public:
    AfxLineWidget(QWidget* pParent, Qt::Alignment alignment) : QWidget(pParent), m_alignment(alignment) {}

    // Only the line is drawn again: what lies beneath the rest of the place stays as it was.
    void SetText(const QString& text, bool bShowEnd) {
        if (text == m_text && bShowEnd == m_bShowEnd) return;
        m_text = text;
        m_bShowEnd = bShowEnd;
        LayOut();
        const QRect line(0, 0, width(), QFontMetrics(font()).height() + 2 * kMarginY);
        if (!afx::LineRepaintBatch::Add(this, line)) update(line);
    }

    // The first character that lies inside the margin, as the text is drawn now.
    int FirstShownChar() const {
        const QFontMetricsF metrics(font());
        qreal x = Start();
        for (int i = 0; i < m_text.size(); ++i) {
            x += metrics.horizontalAdvance(m_text[i]);
            if (x > kMarginX) return i;
        }
        return static_cast<int>(m_text.size());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        // A see-through line's fill is transparent: the dialog's picture beneath shows through.
        const QColor fill = palette().color(QPalette::Base);
        if (fill.alpha()) painter.fillRect(rect(), fill);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
        painter.setFont(font());
        const qreal start = Start();
        for (const Word& word : m_words) {
            const qreal x = start + word.x;
            if (x + word.text.size().width() > 0 && x < width())
                painter.drawStaticText(QPointF(x, kMarginY), word.text);
        }
    }
    void changeEvent(QEvent* pEvent) override {
        if (pEvent->type() == QEvent::FontChange) {
            m_laidOut.clear();
            LayOut();
        }
        QWidget::changeEvent(pEvent);
    }

private:
    static constexpr qreal kMarginX = 2;
    static constexpr int kMarginY = 1;
    // Enough for the words of a console line and every field; beyond it the store starts again.
    static constexpr qsizetype kLaidOutLimit = 2048;

    struct Word {
        qreal x;  // from the start of the text
        QStaticText text;
    };

    void LayOut() {
        m_words.clear();
        const qreal space = QFontMetricsF(font()).horizontalAdvance(u' ');
        qreal x = 0;
        for (qsizetype i = 0; i < m_text.size();) {
            if (m_text[i] == u' ') {
                x += space;
                ++i;
                continue;
            }
            qsizetype end = i;
            while (end < m_text.size() && m_text[end] != u' ') ++end;
            const QStaticText& text = LaidOut(m_text.mid(i, end - i));
            m_words.push_back({x, text});
            x += text.size().width();
            i = end;
        }
        m_width = x;
    }

    const QStaticText& LaidOut(const QString& word) {
        auto it = m_laidOut.find(word);
        if (it != m_laidOut.end()) return *it;
        if (m_laidOut.size() >= kLaidOutLimit) m_laidOut.clear();
        QStaticText text(word);
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), font());
        return *m_laidOut.insert(word, text);
    }

    // Where the text starts: a text wider than the line shows its start, or its end once scrolled
    // there; one that fits is placed as its alignment says.
    qreal Start() const {
        const qreal room = width() - 2 * kMarginX;
        if (m_bShowEnd && m_width > room) return width() - kMarginX - m_width;
        if (m_width >= room || (m_alignment & Qt::AlignLeft)) return kMarginX;
        if (m_alignment & Qt::AlignRight) return width() - kMarginX - m_width;
        return kMarginX + (room - m_width) / 2;
    }

    Qt::Alignment m_alignment;
    QString m_text;
    bool m_bShowEnd = false;
    std::vector<Word> m_words;
    qreal m_width = 0;
    QHash<QString, QStaticText> m_laidOut;
};

// The advance of each ASCII character in the last font asked about, measured once: a long line's
// shown part is found without measuring each of its characters again.
int AsciiAdvance(const QFont& font, char c) {
    static QFont s_font;
    static std::array<int, 128> s_advances;
    static bool s_bFilled = false;
    if (!s_bFilled || font != s_font) {
        s_font = font;
        s_advances.fill(-1);
        s_bFilled = true;
    }
    int& nAdvance = s_advances[static_cast<unsigned char>(c) & 0x7F];
    if (nAdvance < 0)
        nAdvance = QFontMetrics(font).horizontalAdvance(QLatin1Char(static_cast<char>(c & 0x7F)));
    return nAdvance;
}

// A frame with a caption and nothing inside: what lies beneath shows through.
class AfxGroupBox final : public QWidget {
public:
    using QWidget::QWidget;

    void SetText(const QString& text) {
        m_text = text;
        update();
    }
    void SetCaptionBackground(std::optional<QColor> background) {
        if (background == m_captionBackground) return;
        m_captionBackground = background;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        // An etched line: a shadow with a highlight beside it.
        const QRect frame = rect().adjusted(0, metrics.height() / 2, -2, -2);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(frame);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(frame.translated(1, 1));
        if (m_text.isEmpty()) return;
        const QRect caption(metrics.averageCharWidth(), 0, metrics.horizontalAdvance(m_text) + 4,
                            metrics.height());
        painter.fillRect(caption, m_captionBackground.value_or(palette().color(QPalette::Window)));
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(caption, Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
    std::optional<QColor> m_captionBackground;
};

// Asks the dialog for the control's colours each time the control is about to draw.
class AfxColorFilter final : public QObject {
public:
    AfxColorFilter(AfxDialogWindow& dialog, AfxControlWindow& control)
        : m_dialog(dialog), m_control(control) {}

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Paint) m_dialog.AskControlColors(m_control);
        return false;
    }

private:
    AfxDialogWindow& m_dialog;
    AfxControlWindow& m_control;
};

AfxControlKind KindOf(const AFX_DLGITEM& item) {
    const char* psz = item.lpszClass ? item.lpszClass : "";
    if (strcasecmp(psz, "BUTTON") == 0) {
        switch (item.dwStyle & kButtonTypeMask) {
            case BS_OWNERDRAW:
                return AfxControlKind::HotArea;
            case BS_AUTORADIOBUTTON:
                return AfxControlKind::RadioButton;
            case BS_GROUPBOX:
                return AfxControlKind::GroupBox;
            default:
                return AfxControlKind::PushButton;
        }
    }
    if (strcasecmp(psz, "STATIC") == 0) {
        return (item.dwStyle & kStaticTypeMask) == SS_ICON ? AfxControlKind::Icon : AfxControlKind::Static;
    }
    if (strcasecmp(psz, "EDIT") == 0) {
        return (item.dwStyle & ES_MULTILINE) ? AfxControlKind::MultiLineEdit : AfxControlKind::Edit;
    }
    if (strcasecmp(psz, "COMBOBOX") == 0) return AfxControlKind::ComboBox;
    if (strcasecmp(psz, "SysTabControl32") == 0) return AfxControlKind::Tab;
    return AfxControlKind::Other;
}

std::unique_ptr<CWnd> MakeObject(AfxControlKind kind) {
    switch (kind) {
        case AfxControlKind::HotArea:
        case AfxControlKind::PushButton:
        case AfxControlKind::RadioButton:
        case AfxControlKind::GroupBox:
            return std::make_unique<CButton>();
        case AfxControlKind::Static:
        case AfxControlKind::Icon:
            return std::make_unique<CStatic>();
        case AfxControlKind::Edit:
        case AfxControlKind::MultiLineEdit:
            return std::make_unique<CEdit>();
        case AfxControlKind::ComboBox:
            return std::make_unique<CComboBox>();
        case AfxControlKind::Tab:
            return std::make_unique<CTabCtrl>();
        case AfxControlKind::Other:
            break;
    }
    return std::make_unique<CWnd>();
}

int ToIndex(WPARAM wParam) {
    return static_cast<int>(static_cast<INT_PTR>(wParam));
}

}  // namespace

namespace afx {

namespace {
LineRepaintBatch* g_pOpenBatch = nullptr;  // the window's thread's only
}

LineRepaintBatch::LineRepaintBatch(QWidget* pWindow) : m_pWindow(pWindow), m_pOuter(g_pOpenBatch) {
    g_pOpenBatch = this;
}

LineRepaintBatch::~LineRepaintBatch() {
    g_pOpenBatch = m_pOuter;
    if (m_pWindow && !m_region.isEmpty()) m_pWindow->repaint(m_region);
}

bool LineRepaintBatch::Add(QWidget* pControl, const QRect& part) {
    LineRepaintBatch* pBatch = g_pOpenBatch;
    if (!pBatch || !pBatch->m_pWindow || pControl->window() != pBatch->m_pWindow) return false;
    pBatch->m_region += QRect(pControl->mapTo(pBatch->m_pWindow, part.topLeft()), part.size());
    return true;
}

}  // namespace afx

// ---- the control window ------------------------------------------------------------------

AfxControlWindow::AfxControlWindow(AfxDialogWindow& dialog, const AFX_DLGITEM& item, std::size_t nIndex)
    : m_dialog(dialog),
      m_pending(item),
      m_nIndex(nIndex),
      m_bShown((item.dwStyle & WS_VISIBLE) != 0),
      m_nID(item.nID),
      m_kind(KindOf(item)),
      m_dwStyle(item.dwStyle),
      m_dwExStyle(item.dwExStyle),
      m_text(item.lpszCaption ? item.lpszCaption : ""),
      m_pDefault(MakeObject(m_kind)) {
    OpenQueue();
    m_pDefault->m_hWnd = this;
}

void AfxControlWindow::JoinRadioGroup(QButtonGroup& group) {
    m_pRadioGroup = &group;
}

bool AfxControlWindow::ShowWithoutWidget(bool bShow, bool* pbWasShown) {
    if (Widget() || !m_pending) return false;
    if (pbWasShown) *pbWasShown = m_bShown;
    // Shown on a dialog already on the screen, it is needed now; else when its dialog shows.
    if (bShow && m_dialog.Widget() && m_dialog.Widget()->isVisible()) return false;
    if (bShow != m_bShown) {
        m_bShown = bShow;
        VisibilityChanged();
    }
    return true;
}

QWidget* AfxControlWindow::MakeWidget() {
    QWidget* pParent = m_dialog.Widget();
    if (!m_pending || !pParent) return nullptr;
    const AFX_DLGITEM item = *m_pending;
    m_pending.reset();
    QWidget* pWidget = CreateWidget(item, pParent);
    m_pWidget = pWidget;
    if (m_pRadioGroup) m_pRadioGroup->addButton(static_cast<QAbstractButton*>(pWidget));
    m_size = QSize(afx::DluToPixelsX(item.cx), afx::DluToPixelsY(item.cy));
    // A drop-down list is as tall as its closed box: the template's height is the open list's.
    if (m_kind == AfxControlKind::ComboBox) m_size.setHeight(pWidget->sizeHint().height());
    pWidget->setGeometry(QRect(QPoint(afx::DluToPixelsX(item.x), afx::DluToPixelsY(item.y)), m_size));
    pWidget->setEnabled(!(item.dwStyle & WS_DISABLED));
    pWidget->setVisible(m_bShown);
    if (m_kind == AfxControlKind::Static || m_kind == AfxControlKind::Icon) {
        pWidget->setFocusPolicy(Qt::NoFocus);
    } else {
        pWidget->setFocusPolicy((item.dwStyle & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    }
    m_dialog.PlaceControl(*this);
    // Labels and frames let clicks through to what lies beneath, as the platform's do.
    const bool bStaticKind = m_kind == AfxControlKind::Static || m_kind == AfxControlKind::Icon;
    if ((bStaticKind && !(item.dwStyle & kStaticNotify)) || m_kind == AfxControlKind::GroupBox)
        pWidget->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_bTextPending = false;
    ShowText();
    SetColors(std::nullopt, std::nullopt);
    if (CtlColorCode() != 0) {
        m_pColorFilter = std::make_unique<AfxColorFilter>(m_dialog, *this);
        PaintTarget()->installEventFilter(m_pColorFilter.get());
        if (PaintTarget() != pWidget) pWidget->installEventFilter(m_pColorFilter.get());
    }
    return pWidget;
}

AfxControlWindow::~AfxControlWindow() {
    RevokeWindow();
    CloseQueue();
    if (m_pAttached) m_pAttached->m_hWnd = nullptr;
    m_pDefault->m_hWnd = nullptr;
}

QWidget* AfxControlWindow::CreateWidget(const AFX_DLGITEM& item, QWidget* pParent) {
    switch (m_kind) {
        case AfxControlKind::HotArea:
        case AfxControlKind::PushButton:
        case AfxControlKind::RadioButton: {
            QAbstractButton* pButton = nullptr;
            if (m_kind == AfxControlKind::HotArea) {
                pButton = new AfxHotArea(pParent);
            } else if (m_kind == AfxControlKind::RadioButton) {
                pButton = new QRadioButton(pParent);
                pButton->setAutoExclusive(false);  // the dialog's button groups decide
            } else {
                pButton = new QPushButton(pParent);
            }
            QObject::connect(pButton, &QAbstractButton::clicked, Context(), [this] { Clicked(); });
            return pButton;
        }
        case AfxControlKind::GroupBox:
            return new AfxGroupBox(pParent);
        case AfxControlKind::Static:
        case AfxControlKind::Icon: {
            Qt::Alignment alignment = Qt::AlignLeft;
            if ((item.dwStyle & kStaticTypeMask) == SS_CENTER) alignment = Qt::AlignHCenter;
            if ((item.dwStyle & kStaticTypeMask) == kStaticRight) alignment = Qt::AlignRight;
            auto* pStatic = new AfxStaticWidget(pParent, alignment);
            if (m_kind == AfxControlKind::Icon && m_text.size() > 1 && m_text[0] == '#') {
                if (HICON hIcon = afx::IconResource(static_cast<UINT>(std::atoi(m_text.c_str() + 1))))
                    pStatic->SetImage(hIcon->image);
            }
            return pStatic;
        }
        case AfxControlKind::Edit: {
            Qt::Alignment alignment = Qt::AlignLeft;
            if (item.dwStyle & ES_CENTER) alignment = Qt::AlignHCenter;
            if (item.dwStyle & ES_RIGHT) alignment = Qt::AlignRight;
            if ((item.dwStyle & ES_READONLY) && !(item.dwStyle & WS_BORDER))
                return new AfxLineWidget(pParent, alignment);
            auto* pEdit = new QLineEdit(pParent);
            pEdit->setFrame((item.dwStyle & WS_BORDER) != 0);
            pEdit->setReadOnly((item.dwStyle & ES_READONLY) != 0);
            pEdit->setAlignment(alignment | Qt::AlignTop);
            // What the user types becomes the control's text, as the platform's edit keeps it.
            QObject::connect(pEdit, &QLineEdit::textEdited, Context(), [this](const QString& text) {
                m_text = afx::ToStd(text);
                m_dialog.TextReplaced(m_nID);
            });
            return pEdit;
        }
        case AfxControlKind::MultiLineEdit: {
            auto* pEdit = new QPlainTextEdit(pParent);
            pEdit->setReadOnly((item.dwStyle & ES_READONLY) != 0);
            pEdit->setFrameShape((item.dwStyle & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
            // Read-only text that the user cannot scroll sideways wraps at word boundaries inside
            // its box rather than running past its edges.
            const bool bScrolls = (item.dwStyle & WS_HSCROLL) ||
                                  ((item.dwStyle & ES_AUTOHSCROLL) && !(item.dwStyle & ES_READONLY));
            pEdit->setLineWrapMode(bScrolls ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
            pEdit->setVerticalScrollBarPolicy((item.dwStyle & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                          : Qt::ScrollBarAlwaysOff);
            pEdit->setHorizontalScrollBarPolicy((item.dwStyle & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                            : Qt::ScrollBarAlwaysOff);
            QTextOption option = pEdit->document()->defaultTextOption();
            option.setAlignment((item.dwStyle & ES_CENTER)  ? Qt::AlignHCenter
                                : (item.dwStyle & ES_RIGHT) ? Qt::AlignRight
                                                            : Qt::AlignLeft);
            pEdit->document()->setDefaultTextOption(option);
            return pEdit;
        }
        case AfxControlKind::ComboBox:
            return new QComboBox(pParent);
        case AfxControlKind::Tab: {
            auto* pTabs = new QTabBar(pParent);
            pTabs->setDrawBase(false);
            return pTabs;
        }
        case AfxControlKind::Other:
            break;
    }
    return new QWidget(pParent);
}

void AfxControlWindow::Clicked() {
    m_dialog.DispatchMessage(WM_COMMAND, static_cast<WPARAM>(MAKELONG(static_cast<WORD>(m_nID), BN_CLICKED)),
                             reinterpret_cast<LPARAM>(static_cast<HWND>(this)));
}

void AfxControlWindow::Forget(CWnd* pWnd) {
    if (pWnd == m_pAttached) m_pAttached = nullptr;
}

void AfxControlWindow::Attach(CWnd& rWnd) {
    if (&rWnd == m_pAttached) return;
    if (m_pAttached) m_pAttached->m_hWnd = nullptr;
    if (AfxWindow* pOther = AfxWindow::From(&rWnd); pOther && pOther != this) pOther->Forget(&rWnd);
    rWnd.m_hWnd = this;
    m_pAttached = &rWnd;
}

bool AfxControlWindow::InPaint() const {
    return m_dialog.InPaint();
}

void AfxControlWindow::Invalidate() {
    if (QWidget* pWidget = Widget()) pWidget->update();
}

void AfxControlWindow::VisibilityChanged() {
    // A control shown brings its text with it, before the dialog repaints.
    if (Widget() && !Widget()->isHidden()) FlushText();
    m_dialog.Invalidate();
}

QWidget* AfxControlWindow::PaintTarget() const {
    if (auto* pEdit = qobject_cast<QPlainTextEdit*>(Widget())) return pEdit->viewport();
    return Widget();
}

UINT AfxControlWindow::CtlColorCode() const {
    switch (m_kind) {
        case AfxControlKind::Static:
        case AfxControlKind::Icon:
            return CTLCOLOR_STATIC;
        case AfxControlKind::Edit:
        case AfxControlKind::MultiLineEdit:
            // A control the user cannot type into asks as a label does.
            return (m_dwStyle & ES_READONLY) || (Widget() && !Widget()->isEnabled()) ? CTLCOLOR_STATIC
                                                                                     : CTLCOLOR_EDIT;
        case AfxControlKind::PushButton:
        case AfxControlKind::RadioButton:
        case AfxControlKind::GroupBox:
            return CTLCOLOR_BTN;
        default:
            return 0;
    }
}

QColor AfxControlWindow::DefaultBackground() const {
    if (m_dwExStyle & WS_EX_TRANSPARENT) return Qt::transparent;
    if (m_kind == AfxControlKind::Edit || m_kind == AfxControlKind::MultiLineEdit) {
        return CtlColorCode() == CTLCOLOR_EDIT ? afx::WindowColor() : afx::FaceColor();
    }
    return afx::FaceColor();
}

void AfxControlWindow::SetColors(std::optional<QColor> background, std::optional<QColor> textBackground) {
    QWidget* pWidget = Widget();
    if (!pWidget) return;
    const bool bChanged = background != m_background || textBackground != m_textBackground;
    // Asked before every paint: an answer like the last one changes nothing.
    if (!bChanged && m_bColorsSet) return;
    m_bColorsSet = true;
    m_background = background;
    m_textBackground = textBackground;
    const QColor fill = background.value_or(DefaultBackground());
    switch (m_kind) {
        case AfxControlKind::Static:
        case AfxControlKind::Icon:
            static_cast<AfxStaticWidget*>(pWidget)->SetColors(
                fill.alpha() ? std::optional<QColor>(fill) : std::nullopt, textBackground);
            break;
        case AfxControlKind::Edit:
        case AfxControlKind::MultiLineEdit: {
            QPalette palette = pWidget->palette();
            palette.setColor(QPalette::Base, fill);
            pWidget->setPalette(palette);
            if (bChanged && m_kind == AfxControlKind::MultiLineEdit) ShowText();
            break;
        }
        case AfxControlKind::GroupBox:
            static_cast<AfxGroupBox*>(pWidget)->SetCaptionBackground(background);
            break;
        case AfxControlKind::RadioButton: {
            QPalette palette = pWidget->palette();
            palette.setColor(QPalette::Window, fill);
            pWidget->setPalette(palette);
            pWidget->setAutoFillBackground(fill.alpha() != 0);
            break;
        }
        case AfxControlKind::PushButton:
            if (background) {
                QPalette palette = pWidget->palette();
                palette.setColor(QPalette::Button, *background);
                pWidget->setPalette(palette);
            } else if (bChanged) {
                pWidget->setPalette(QPalette());
            }
            break;
        default:
            break;
    }
}

std::string AfxControlWindow::Text() const {
    // A drop-down list's text is its selection.
    if (m_kind == AfxControlKind::ComboBox) {
        if (auto* pCombo = qobject_cast<QComboBox*>(EnsureWidget())) return afx::ToStd(pCombo->currentText());
    }
    return m_text;
}

bool AfxControlWindow::HasText(const std::string& text) const {
    if (m_kind == AfxControlKind::ComboBox) return Text() == text;
    return m_text == text;
}

// The new text is the control's at once; the screen follows within a display frame, so that a
// stream of changes costs one redraw per frame rather than one per change.
void AfxControlWindow::SetText(const std::string& text) {
    m_text = text;
    m_dialog.TextReplaced(m_nID);
    TextChanged();
}

void AfxControlWindow::TakeText(const CString& value, std::uint64_t& nLineage) {
    const std::string& text = value.Str();
    // A drop-down list's text is its selection, which the string's lineage says nothing about.
    const bool bLineage = m_kind != AfxControlKind::ComboBox;
    if (bLineage && value.Lineage() == nLineage && text.size() > m_text.size()) {
        m_text.append(text, m_text.size());
        TextChanged();
        return;
    }
    const bool bSame = HasText(text);
    if (!bSame) m_text = text;
    nLineage = bLineage ? value.Lineage() : 0;
    if (!bSame) TextChanged();
}

void AfxControlWindow::TextChanged() {
    m_bShowEnd = false;
    // An edit the user types into shows its text at once: what is typed is made from what is shown.
    if (m_kind == AfxControlKind::Edit && !(m_dwStyle & ES_READONLY)) {
        ShowText();
        return;
    }
    m_dialog.TextPending(*this);
}

void AfxControlWindow::FlushText() {
    if (!m_bTextPending) return;
    if (!EnsureWidget()) return;
    m_bTextPending = false;
    ShowText();
}

// A single-line edit lays out only the part of its text that it can show, its start or, once
// scrolled there, its end: a log of many kilobytes costs no more than a short field, and the
// newest entries stay visible however long the log grows.
void AfxControlWindow::ShowLine() {
    QWidget* pWidget = Widget();
    auto* pLine = dynamic_cast<AfxLineWidget*>(pWidget);
    auto* pEdit = pLine ? nullptr : static_cast<QLineEdit*>(pWidget);
    std::size_t nFrom = 0;
    std::size_t nCount = m_text.size();
    // What the user types into is shown whole: the typing replaces the control's text with the shown one.
    if (m_text.size() > kShownLineMinimum && (pLine || pEdit->isReadOnly())) {
        // The characters that fill the width, counted from the end in view, plus a few to spare.
        const QFont font = pWidget->font();
        const int nWidth = pWidget->width();
        std::size_t nFits = 0;
        int nUsed = 0;
        for (; nFits < m_text.size() && nUsed <= nWidth; ++nFits) {
            const std::size_t nAt = m_bShowEnd ? m_text.size() - 1 - nFits : nFits;
            nUsed += AsciiAdvance(font, m_text[nAt]);
        }
        nFits = std::max(kShownLineMinimum, nFits + kShownLineSpare);
        if (m_text.size() > nFits) {
            nCount = nFits;
            if (m_bShowEnd) {
                nFrom = m_text.size() - nFits;
                // Start on a whole character.
                while (nFrom < m_text.size() && (static_cast<unsigned char>(m_text[nFrom]) & 0xC0) == 0x80)
                    ++nFrom;
                nCount = m_text.size() - nFrom;
            } else {
                while (nCount > 0 && (static_cast<unsigned char>(m_text[nCount]) & 0xC0) == 0x80) --nCount;
            }
        }
    }
    m_nShownFrom = nFrom;
    const QString shown =
        afx::SingleLineText(QString::fromUtf8(m_text.data() + nFrom, static_cast<qsizetype>(nCount)));
    if (pLine) {
        pLine->SetText(shown, m_bShowEnd);
        return;
    }
    pEdit->setText(shown);
    if (m_bShowEnd) {
        pEdit->end(false);
    } else {
        pEdit->setCursorPosition(0);
    }
}

void AfxControlWindow::ShowText() {
    QWidget* pWidget = Widget();
    if (!pWidget) return;
    if (m_kind == AfxControlKind::Edit) {
        ShowLine();
        return;
    }
    const QString text = afx::ToQString(m_text);
    switch (m_kind) {
        case AfxControlKind::PushButton:
        case AfxControlKind::RadioButton:
            static_cast<QAbstractButton*>(pWidget)->setText(text);
            break;
        case AfxControlKind::GroupBox:
            static_cast<AfxGroupBox*>(pWidget)->SetText(afx::StripMnemonics(text));
            break;
        case AfxControlKind::Static:
            static_cast<AfxStaticWidget*>(pWidget)->SetText(afx::StripMnemonics(text));
            break;
        case AfxControlKind::Edit:
            ShowLine();
            break;
        case AfxControlKind::MultiLineEdit: {
            auto* pEdit = static_cast<QPlainTextEdit*>(pWidget);
            pEdit->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            if (m_textBackground) {
                QTextCursor cursor(pEdit->document());
                cursor.select(QTextCursor::Document);
                QTextCharFormat format;
                format.setBackground(*m_textBackground);
                cursor.mergeCharFormat(format);
            }
            break;
        }
        default:
            break;
    }
}

// ---- messages to a control ----------------------------------------------------------------

LRESULT AfxControlWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    QWidget* pWidget = EnsureWidget();
    if (!pWidget) return 0;
    if (msg == WM_SETFONT) {
        auto hFont = reinterpret_cast<HFONT>(wParam);
        pWidget->setFont(hFont ? hFont->font : QFont());
        if (lParam) pWidget->update();
        return 0;
    }
    switch (m_kind) {
        case AfxControlKind::Edit:
        case AfxControlKind::MultiLineEdit:
            return HandleEdit(msg, wParam, lParam);
        case AfxControlKind::ComboBox:
            return HandleComboBox(msg, wParam, lParam);
        case AfxControlKind::HotArea:
        case AfxControlKind::PushButton:
        case AfxControlKind::RadioButton:
            return HandleButton(msg, wParam, lParam);
        default:
            return 0;
    }
}

LRESULT AfxControlWindow::HandleEdit(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_kind == AfxControlKind::Edit) {
        switch (msg) {
            case EM_GETLINECOUNT:
                return 1;
            case EM_LINESCROLL:
                // One line only: scrolling down brings its end into view, as a log wants.
                if (lParam != 0) {
                    m_bShowEnd = lParam > 0;
                    m_dialog.TextPending(*this);
                }
                return TRUE;
            case EM_GETFIRSTVISIBLELINE:
                // The first character in view.
                FlushText();
                if (auto* pLine = dynamic_cast<AfxLineWidget*>(Widget()))
                    return static_cast<LRESULT>(m_nShownFrom) + pLine->FirstShownChar();
                if (auto* pEdit = static_cast<QLineEdit*>(Widget()))
                    return static_cast<LRESULT>(m_nShownFrom) +
                           pEdit->cursorPositionAt(
                               QPoint(pEdit->contentsRect().left() + 2, pEdit->height() / 2));
                return 0;
            default:
                return 0;
        }
    }
    // Lines are counted and scrolled on the laid-out text.
    FlushText();
    // The vertical scroll bar of a plain-text edit counts lines.
    auto* pEdit = static_cast<QPlainTextEdit*>(Widget());
    QScrollBar* pVertical = pEdit->verticalScrollBar();
    switch (msg) {
        case EM_GETLINECOUNT: {
            int nLines = 0;
            for (QTextBlock block = pEdit->document()->begin(); block.isValid(); block = block.next())
                nLines += std::max(1, block.lineCount());
            return nLines;
        }
        case EM_LINESCROLL: {
            pVertical->setValue(pVertical->value() + static_cast<int>(lParam));
            QScrollBar* pHorizontal = pEdit->horizontalScrollBar();
            pHorizontal->setValue(pHorizontal->value() +
                                  ToIndex(wParam) * QFontMetrics(pEdit->font()).averageCharWidth());
            return TRUE;
        }
        case EM_GETFIRSTVISIBLELINE:
            return pVertical->value();
        default:
            return 0;
    }
}

LRESULT AfxControlWindow::HandleComboBox(UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* pCombo = static_cast<QComboBox*>(Widget());
    const int nIndex = ToIndex(wParam);
    const bool bValid = nIndex >= 0 && nIndex < pCombo->count();
    switch (msg) {
        case CB_ADDSTRING: {
            const QString text = afx::ToQString(reinterpret_cast<LPCSTR>(lParam));
            int nAt = pCombo->count();
            if (m_dwStyle & CBS_SORT) {
                nAt = 0;
                while (nAt < pCombo->count() && pCombo->itemText(nAt).compare(text, Qt::CaseInsensitive) <= 0)
                    ++nAt;
            }
            // The list selects nothing until asked to.
            const int nSelected = pCombo->currentIndex();
            pCombo->insertItem(nAt, text);
            if (nSelected < 0) pCombo->setCurrentIndex(-1);
            return nAt;
        }
        case CB_GETCOUNT:
            return pCombo->count();
        case CB_GETCURSEL:
            return pCombo->currentIndex() < 0 ? CB_ERR : pCombo->currentIndex();
        case CB_SETCURSEL:
            pCombo->setCurrentIndex(bValid ? nIndex : -1);
            return bValid ? nIndex : CB_ERR;
        case CB_GETLBTEXTLEN:
            return bValid ? static_cast<LRESULT>(pCombo->itemText(nIndex).toUtf8().size()) : CB_ERR;
        case CB_GETLBTEXT: {
            if (!bValid || !lParam) return CB_ERR;
            const QByteArray text = pCombo->itemText(nIndex).toUtf8();
            std::memcpy(reinterpret_cast<char*>(lParam), text.constData(),
                        static_cast<std::size_t>(text.size()) + 1);
            return text.size();
        }
        default:
            return 0;
    }
}

LRESULT AfxControlWindow::HandleButton(UINT msg, WPARAM wParam, LPARAM) {
    auto* pButton = static_cast<QAbstractButton*>(Widget());
    switch (msg) {
        case BM_GETCHECK:
            return pButton->isChecked() ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK: {
            if (!pButton->isCheckable()) return 0;
            // An exclusive group never lets its last checked button go by itself.
            QButtonGroup* pGroup = pButton->group();
            const bool bExclusive = pGroup && pGroup->exclusive();
            if (bExclusive) pGroup->setExclusive(false);
            pButton->setChecked(wParam == static_cast<WPARAM>(BST_CHECKED));
            if (bExclusive) pGroup->setExclusive(true);
            return 0;
        }
        case BM_CLICK:
            pButton->click();
            return 0;
        default:
            return 0;
    }
}

LONG AfxControlWindow::InsertTab(int nItem, const QString& text) {
    auto* pTabs = qobject_cast<QTabBar*>(EnsureWidget());
    if (!pTabs || nItem < 0) return -1;
    return pTabs->insertTab(std::min(nItem, pTabs->count()), text);
}

int AfxControlWindow::TabCount() const {
    auto* pTabs = qobject_cast<QTabBar*>(EnsureWidget());
    return pTabs ? pTabs->count() : 0;
}

// ---- control classes ------------------------------------------------------------------------

int CComboBox::AddString(LPCSTR lpszString) {
    return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString)));
}

int CComboBox::GetCount() const {
    return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0));
}

int CComboBox::GetCurSel() const {
    return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0));
}

int CComboBox::SetCurSel(int nSelect) {
    return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(nSelect), 0));
}

int CComboBox::GetLBTextLen(int nIndex) const {
    return static_cast<int>(::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex), 0));
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    const int nLength = GetLBTextLen(nIndex);
    // As the platform's string does with a negative length: an argument error.
    if (nLength < 0) throw afx::InvalidArgException{};
    std::string text(static_cast<std::size_t>(nLength) + 1, '\0');
    ::SendMessageA(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(nLength));
    rString = CString(std::move(text));
}

LONG CTabCtrl::InsertItem(int nItem, LPCSTR lpszItem) {
    auto* pControl = dynamic_cast<AfxControlWindow*>(m_hWnd);
    return pControl ? pControl->InsertTab(nItem, afx::ToQString(lpszItem)) : -1;
}

int CTabCtrl::GetItemCount() const {
    const auto* pControl = dynamic_cast<const AfxControlWindow*>(m_hWnd);
    return pControl ? pControl->TabCount() : 0;
}
