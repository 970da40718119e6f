// Painting, pictures, control colours and fonts.

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AfxTestSupport.h"

using namespace afxtest;

namespace {

constexpr UINT WM_POKE = WM_USER + 1;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

// Paints as the program does: the picture stretched over the whole client area.
class CPictureDlg : public CDialog {
public:
    explicit CPictureDlg(UINT nIDTemplate = IDD_PLAIN) : CDialog(nIDTemplate) {}
    UINT m_nPicture = IDB_QUADRANTS;
    int m_nPaints = 0;
    int m_nPokes = 0;
    BOOL m_bLastBlt = FALSE;
    // What a poke does besides counting, and how many paints each poke found done.
    int m_nToggleOnPoke = 0;
    BOOL m_bInvalidateOnPoke = FALSE;
    // The next poke runs a loop of its own, as a modal box would, in which a toggling poke comes.
    BOOL m_bLoopOnPoke = FALSE;
    int m_nPaintsInLoop = -1;
    std::vector<int> m_paintsAtPoke;

protected:
    void OnPaint() {
        ++m_nPaints;
        CClientDC dc(this);
        RECT client{};
        GetClientRect(&client);
        CDC memDC;
        memDC.CreateCompatibleDC(&dc);
        CBitmap picture;
        picture.LoadBitmap(m_nPicture);
        BITMAP info{};
        picture.GetBitmap(&info);
        CBitmap* pOld = memDC.SelectObject(&picture);
        m_bLastBlt = dc.StretchBlt(0, 0, client.right, client.bottom, &memDC, 0, 0, info.bmWidth,
                                   info.bmHeight, SRCCOPY);
        memDC.SelectObject(pOld);
        picture.DeleteObject();
        memDC.DeleteDC();
    }
    LRESULT OnPoke(WPARAM, LPARAM) {
        ++m_nPokes;
        m_paintsAtPoke.push_back(m_nPaints);
        if (m_bLoopOnPoke) {
            m_bLoopOnPoke = FALSE;
            m_nToggleOnPoke = IDC_LABEL;
            PostMessage(WM_POKE);
            AfxPumpMessages(200);
            m_nPaintsInLoop = m_nPaints;
            return 0;
        }
        if (CWnd* pControl = m_nToggleOnPoke ? GetDlgItem(m_nToggleOnPoke) : nullptr)
            pControl->ShowWindow(pControl->IsWindowVisible() ? SW_HIDE : SW_SHOW);
        if (m_bInvalidateOnPoke) {
            Invalidate();
            Invalidate();
        }
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPictureDlg, CDialog)
ON_WM_PAINT()
ON_MESSAGE(WM_POKE, OnPoke)
END_MESSAGE_MAP()

TEST(Painting, RepaintsWhenThePictureMayChangeOnceNoMessageWaitsAndNeverWhileIdle) {
    CPictureDlg dlg(IDD_MAIN);
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaints > 0; }));
    AfxPumpMessages(200);
    const int nSettled = dlg.m_nPaints;
    AfxPumpMessages(300);
    EXPECT_EQ(dlg.m_nPaints, nSettled);

    // Messages that change nothing on the picture draw nothing, texts included.
    for (int i = 0; i < 3; ++i) dlg.PostMessage(WM_POKE);
    dlg.GetDlgItem(IDC_FIELD)->SetWindowText("changed");
    AfxPumpMessages(100);
    EXPECT_EQ(dlg.m_nPokes, 3);
    EXPECT_EQ(dlg.m_nPaints, nSettled);

    // A control shown or hidden by a message is painted once no other message waits: the message
    // queued behind it is handled first, and the two changes share one paint.
    dlg.m_nToggleOnPoke = IDC_LABEL;
    dlg.PostMessage(WM_POKE);
    dlg.PostMessage(WM_POKE);
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPokes == 5; }));
    AfxPumpMessages(100);
    EXPECT_EQ(dlg.m_paintsAtPoke, (std::vector<int>{nSettled, nSettled, nSettled, nSettled, nSettled}));
    EXPECT_EQ(dlg.m_nPaints, nSettled + 1);

    // Showing a control that is already shown is no change.
    dlg.m_nToggleOnPoke = 0;
    dlg.GetDlgItem(IDC_LABEL)->ShowWindow(SW_SHOW);
    dlg.PostMessage(WM_POKE);
    AfxPumpMessages(100);
    EXPECT_EQ(dlg.m_nPaints, nSettled + 1);

    // An invalidated window paints once, however often it was invalidated.
    dlg.m_bInvalidateOnPoke = TRUE;
    dlg.PostMessage(WM_POKE);
    AfxPumpMessages(100);
    EXPECT_EQ(dlg.m_nPaints, nSettled + 2);
    dlg.m_bInvalidateOnPoke = FALSE;
    AfxPumpMessages(300);
    EXPECT_EQ(dlg.m_nPaints, nSettled + 2);

    // A screenshot shows what was painted without painting again.
    WindowImage image(dlg);
    EXPECT_EQ(dlg.m_nPaints, nSettled + 2);
}

TEST(Painting, AMessageTakenByALoopInsideAHandlerIsPaintedAtOnce) {
    CPictureDlg dlg(IDD_MAIN);
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaints > 0; }));
    AfxPumpMessages(200);
    const int nSettled = dlg.m_nPaints;
    dlg.m_bLoopOnPoke = TRUE;
    dlg.PostMessage(WM_POKE);
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaintsInLoop >= 0; }));
    EXPECT_EQ(dlg.m_nPokes, 2);
    EXPECT_EQ(dlg.m_nPaintsInLoop, nSettled + 1);
}

TEST(Painting, StretchBltScalesThePictureOverTheClientArea) {
    CPictureDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaints > 0; }));
    EXPECT_TRUE(dlg.m_bLastBlt);

    WindowImage image(dlg);
    ASSERT_TRUE(image.Valid());
    // 100 x 50 units: 200 x 113 pixels, each source pixel a quarter of it.
    EXPECT_EQ(image.Size().cx, 200);
    EXPECT_EQ(image.Size().cy, 113);
    EXPECT_EQ(image.Pixel(0, 0), kRed);
    EXPECT_EQ(image.Pixel(95, 52), kRed);
    EXPECT_EQ(image.Pixel(105, 52), kGreen);
    EXPECT_EQ(image.Pixel(199, 0), kGreen);
    EXPECT_EQ(image.Pixel(95, 60), kBlue);
    EXPECT_EQ(image.Pixel(0, 112), kBlue);
    EXPECT_EQ(image.Pixel(105, 60), kWhite);
    EXPECT_EQ(image.Pixel(199, 112), kWhite);
}

// Stretches the picture over the client, then, when asked, its top left pixel over a square at
// (100, 0): a handler that draws over the page's picture.
class COverlayDlg : public CPictureDlg {
public:
    BOOL m_bOverlay = FALSE;

protected:
    void OnPaint() {
        CPictureDlg::OnPaint();
        if (!m_bOverlay) return;
        CClientDC dc(this);
        CDC memDC;
        memDC.CreateCompatibleDC(&dc);
        CBitmap picture;
        picture.LoadBitmap(IDB_QUADRANTS);
        CBitmap* pOld = memDC.SelectObject(&picture);
        m_bLastBlt = dc.StretchBlt(100, 0, 50, 50, &memDC, 0, 0, 1, 1, SRCCOPY);
        memDC.SelectObject(pOld);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COverlayDlg, CPictureDlg)
ON_WM_PAINT()
END_MESSAGE_MAP()

TEST(Painting, TheScreenAndTheClientContextShowTheSameStretchedPicture) {
    CPictureDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaints > 0; }));
    CClientDC dc(&dlg);
    EXPECT_EQ(dc.GetPixel(150, 100), kWhite);

    // Another page's picture: nothing of the one before may show through.
    dlg.m_nPicture = IDB_GRID;
    dlg.Invalidate();
    dlg.UpdateWindow();
    WindowImage screen(dlg);
    ASSERT_TRUE(screen.Valid());
    // Read back through a device context, every pixel is the one on the screen, the rows and
    // columns where the stretch doubles a source pixel included; each source pixel shows.
    int nDiffer = 0;
    std::set<COLORREF> colours;
    for (int y = 0; y < 113; ++y) {
        for (int x = 0; x < 200; ++x) {
            nDiffer += dc.GetPixel(x, y) != screen.Pixel(x, y) ? 1 : 0;
            colours.insert(screen.Pixel(x, y));
        }
    }
    EXPECT_EQ(nDiffer, 0);
    EXPECT_EQ(colours.size(), 7u * 5u);
    EXPECT_EQ(screen.Pixel(0, 0), RGB(0, 0, 200));
    EXPECT_EQ(screen.Pixel(199, 112), RGB(240, 240, 200));
}

TEST(Painting, DrawingOverAStretchedPictureKeepsTheRestOfIt) {
    COverlayDlg dlg;
    dlg.m_bOverlay = TRUE;
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaints > 0; }));
    EXPECT_TRUE(dlg.m_bLastBlt);
    WindowImage image(dlg);
    ASSERT_TRUE(image.Valid());
    EXPECT_EQ(image.PixelsOf(kRed, RECT{100, 0, 150, 50}), 50 * 50);
    EXPECT_EQ(image.Pixel(160, 10), kGreen);
    EXPECT_EQ(image.Pixel(10, 10), kRed);
    EXPECT_EQ(image.Pixel(105, 60), kWhite);
    EXPECT_EQ(image.Pixel(10, 100), kBlue);
}

TEST(Painting, RepeatedPaintsDrawTheSamePicture) {
    CPictureDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaints > 0; }));
    const int nFirst = dlg.m_nPaints;
    for (int i = 0; i < 2000; ++i) {
        dlg.Invalidate();
        dlg.UpdateWindow();
    }
    EXPECT_EQ(dlg.m_nPaints, nFirst + 2000);
    WindowImage image(dlg);
    EXPECT_EQ(image.Pixel(10, 10), kRed);
    EXPECT_EQ(image.Pixel(190, 100), kWhite);
}

TEST(Painting, PictureShowsThroughHotAreasTransparentControlsAndFrames) {
    CPictureDlg dlg(IDD_MAIN);
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaints > 0; }));
    AfxPumpMessages(50);
    WindowImage image(dlg);
    ASSERT_TRUE(image.Valid());
    const RECT hot = ClientRectOf(dlg, IDC_HOT);
    EXPECT_EQ(image.Pixel(hot.left + 60, hot.bottom - 20), kBlue);
    const RECT console = ClientRectOf(dlg, IDC_CONSOLE);
    EXPECT_EQ(image.Pixel(console.right - 10, console.bottom - 10), kRed);
    const RECT frame = ClientRectOf(dlg, IDC_FRAME);
    EXPECT_EQ(image.Pixel(frame.right - 40, frame.bottom - 40), kWhite);
    // An ordinary label or field stands on the dialog's face colour.
    const RECT label = ClientRectOf(dlg, IDC_LABEL);
    EXPECT_EQ(image.Pixel(label.right - 2, label.bottom - 2), GetSysColor(COLOR_BTNFACE));
    const RECT field = ClientRectOf(dlg, IDC_FIELD);
    EXPECT_EQ(image.Pixel(field.left + 2, field.bottom - 2), GetSysColor(COLOR_BTNFACE));
}

TEST(Painting, WithoutAPaintHandlerTheClientIsTheDialogFace) {
    CDialog dlg(IDD_PLAIN);
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    AfxPumpMessages(50);
    WindowImage image(dlg);
    ASSERT_TRUE(image.Valid());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(image.PixelsOf(face, RECT{0, 0, 200, 113}), 200 * 113);
}

TEST(Painting, IconStaticShowsItsIconResource) {
    CDialog dlg(IDD_MAIN);
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    AfxPumpMessages(50);
    WindowImage image(dlg);
    const RECT icon = ClientRectOf(dlg, IDC_ICON);
    EXPECT_EQ(image.Pixel(icon.left + 2, icon.top + 2), GetSysColor(COLOR_BTNFACE)) << "clear";
    EXPECT_EQ(image.Pixel(icon.left + 30, icon.top + 30), RGB(0, 128, 0));
}

TEST(Bitmaps, DecodeFromTheResourcesWithTheirSize) {
    CBitmap picture;
    ASSERT_TRUE(picture.LoadBitmap(IDB_QUADRANTS));
    BITMAP info{};
    EXPECT_EQ(picture.GetBitmap(&info), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(info.bmWidth, 2);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(info.bmBitsPixel, 24);
    EXPECT_FALSE(picture.LoadBitmap(IDB_QUADRANTS));  // already holds one

    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap(IDB_MISSING));
    EXPECT_EQ(missing.GetBitmap(&info), 0);
}

// Loads the picture nID and reads every pixel of it, top row first.
std::vector<COLORREF> PicturePixels(UINT nID) {
    CBitmap picture;
    if (!picture.LoadBitmap(nID)) return {};
    BITMAP info{};
    picture.GetBitmap(&info);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap* pOld = dc.SelectObject(&picture);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < info.bmHeight; ++y) {
        for (int x = 0; x < info.bmWidth; ++x) pixels.push_back(dc.GetPixel(x, y));
    }
    dc.SelectObject(pOld);
    return pixels;
}

COLORREF GridColour(int x, int y) {
    return RGB(x * 40, y * 60, 200);
}

TEST(Bitmaps, A32BitPictureStoredTopDownShowsTheSamePixelsWhereverItsRowsLie) {
    // Pixels at offset 64 lie aligned and are drawn from the resource's own bytes; at offset 54
    // they do not, and the picture is decoded into memory of its own.
    constexpr UINT kAligned = 310, kUnaligned = 311;
    SetPictureResource(kAligned, MakeTopDownBitmap(7, 5, 64, GridColour));
    SetPictureResource(kUnaligned, MakeTopDownBitmap(7, 5, 54, GridColour));
    std::vector<COLORREF> expected;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) expected.push_back(GridColour(x, y));
    }
    EXPECT_EQ(PicturePixels(kAligned), expected);
    EXPECT_EQ(PicturePixels(kUnaligned), expected);

    // A change to the bytes shows only in the picture drawn from them: no copy was made of it.
    for (UINT nID : {kAligned, kUnaligned}) {
        const AFX_RESDATA data = AfxFindImageResource(nID);
        auto* pFirstPixel = const_cast<unsigned char*>(data.pData) + (nID == kAligned ? 64 : 54);
        std::fill_n(pFirstPixel, 3, 0);
    }
    EXPECT_EQ(PicturePixels(kAligned).front(), RGB(0, 0, 0));
    EXPECT_EQ(PicturePixels(kUnaligned).front(), GridColour(0, 0));
}

TEST(Bitmaps, APictureShorterThanItsHeaderSaysIsNeverReadBeyondItsBytes) {
    constexpr UINT kCut = 312;
    std::vector<unsigned char> bytes = MakeTopDownBitmap(7, 5, 64, GridColour);
    bytes.resize(64 + 4 * 7 * 3);  // three rows of the five
    SetPictureResource(kCut, std::move(bytes));
    const std::vector<COLORREF> pixels = PicturePixels(kCut);
    // Qt's decoder gives what it could read, in memory of its own: the picture is not drawn from
    // the resource's bytes, whose end lies before the picture's.
    ASSERT_EQ(pixels.size(), 35u);
    for (int i = 0; i < 21; ++i) EXPECT_EQ(pixels[i], GridColour(i % 7, i / 7)) << i;
    std::fill_n(const_cast<unsigned char*>(AfxFindImageResource(kCut).pData) + 64, 3, 0);
    EXPECT_EQ(PicturePixels(kCut).front(), GridColour(0, 0));
}

class CColorDlg : public CDialog {
public:
    CColorDlg() : CDialog(IDD_MAIN) {}
    std::set<std::pair<int, UINT>> m_asked;
    CBrush m_brRed{kRed};
    CFont m_font;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_font.CreatePointFont(140, "Times New Roman");
        for (int nID : {IDC_MESSAGE, IDC_NOTICE}) GetDlgItem(nID)->SetFont(&m_font);
        GetDlgItem(IDC_NOTICE)->SetWindowText("Notice");
        return TRUE;
    }
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
        HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
        m_asked.insert({pWnd->GetDlgCtrlID(), nCtlColor});
        if (nCtlColor == CTLCOLOR_STATIC &&
            (pWnd == GetDlgItem(IDC_MESSAGE) || pWnd == GetDlgItem(IDC_NOTICE))) {
            pDC->SetBkColor(kYellow);
            return m_brRed;
        }
        return hbr;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CColorDlg, CDialog)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

// Colours its two labels, and hides one of them before it first shows.
class CStackDlg : public CDialog {
public:
    explicit CStackDlg(int nHideAtInit) : CDialog(IDD_BUTTONS), m_nHideAtInit(nHideAtInit) {}
    int m_nHideAtInit;
    CBrush m_brUpper{kRed};
    CBrush m_brLower{kBlue};

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        GetDlgItem(m_nHideAtInit)->ShowWindow(SW_HIDE);
        return TRUE;
    }
    HBRUSH OnCtlColor(CDC*, CWnd* pWnd, UINT) {
        return pWnd->GetDlgCtrlID() == IDC_UPPER ? m_brUpper : m_brLower;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CStackDlg, CDialog)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

TEST(Painting, AControlShownAfterItsDialogKeepsItsPlaceInTheStack) {
    // Hidden before the dialog first showed, a control is made only when shown: made last, it
    // still lies beneath the controls before it in the template and above those after it.
    for (int nLate : {IDC_UPPER, IDC_LOWER}) {
        CStackDlg dlg(nLate);
        ASSERT_TRUE(dlg.Create(IDD_BUTTONS));
        AfxPumpMessages(50);
        EXPECT_FALSE(dlg.GetDlgItem(nLate)->IsWindowVisible());
        EXPECT_FALSE(dlg.GetDlgItem(nLate)->ShowWindow(SW_SHOW));
        AfxPumpMessages(50);
        EXPECT_TRUE(dlg.GetDlgItem(nLate)->IsWindowVisible());
        WindowImage image(dlg);
        ASSERT_TRUE(image.Valid());
        const RECT upper = ClientRectOf(dlg, IDC_UPPER);
        const RECT lower = ClientRectOf(dlg, IDC_LOWER);
        EXPECT_EQ(image.Pixel(upper.left + 2, upper.top + 2), kRed) << nLate;
        EXPECT_EQ(image.Pixel(lower.left + 2, lower.top + 2), kRed) << nLate << ": where both lie, the upper";
        EXPECT_EQ(image.Pixel(lower.right - 2, lower.bottom - 2), kBlue) << nLate;
    }
}

TEST(ControlColours, OnlyTheControlsTheHandlerAnswersTakeItsColours) {
    CColorDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    AfxPumpMessages(100);
    WindowImage image(dlg);
    ASSERT_TRUE(image.Valid());

    // Each control asks with the code of its kind.
    EXPECT_TRUE(dlg.m_asked.count({IDC_LABEL, CTLCOLOR_STATIC}));
    EXPECT_TRUE(dlg.m_asked.count({IDC_FIELD, CTLCOLOR_STATIC}));
    EXPECT_TRUE(dlg.m_asked.count({IDC_FIELD_DISABLED, CTLCOLOR_STATIC}));
    EXPECT_TRUE(dlg.m_asked.count({IDC_INPUT, CTLCOLOR_EDIT}));
    EXPECT_TRUE(dlg.m_asked.count({IDC_BUTTON, CTLCOLOR_BTN}));
    EXPECT_TRUE(dlg.m_asked.count({IDC_COM1_5V, CTLCOLOR_BTN}));

    // The answered label: the brush behind it all, the text colour behind its words.
    const RECT message = ClientRectOf(dlg, IDC_MESSAGE);
    EXPECT_EQ(image.Pixel(message.left + 1, message.top + 1), kRed);
    EXPECT_EQ(image.Pixel(message.right - 2, message.bottom - 2), kRed);
    EXPECT_GT(image.PixelsOf(kYellow, message), 100);
    EXPECT_TRUE(dlg.m_asked.count({IDC_NOTICE, CTLCOLOR_STATIC}));
    // The read-only edit answered too.
    const RECT notice = ClientRectOf(dlg, IDC_NOTICE);
    EXPECT_EQ(image.Pixel(notice.left + 1, notice.bottom - 2), kRed);
    EXPECT_GT(image.PixelsOf(kYellow, notice), 50);

    // Everything else keeps the platform's colours.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const RECT label = ClientRectOf(dlg, IDC_LABEL);
    EXPECT_EQ(image.Pixel(label.right - 2, label.bottom - 2), face);
    const RECT field = ClientRectOf(dlg, IDC_FIELD);
    EXPECT_EQ(image.Pixel(field.left + 2, field.bottom - 2), face);
    EXPECT_EQ(image.PixelsOf(kRed, field), 0);
    const RECT input = ClientRectOf(dlg, IDC_INPUT);
    EXPECT_EQ(image.Pixel((input.left + input.right) / 2, input.bottom - 4), GetSysColor(COLOR_WINDOW));
}

// The console: a see-through single-line edit over the picture's red quadrant.
class CLineDlg : public CPictureDlg {
public:
    CLineDlg() : CPictureDlg(IDD_MAIN) {}
    BOOL m_bLargeFont = FALSE;
    BOOL m_bBrush = FALSE;
    CBrush m_brYellow{kYellow};
    CFont m_font;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (m_bLargeFont) {
            m_font.CreatePointFont(200, "Times New Roman");
            GetDlgItem(IDC_CONSOLE)->SetFont(&m_font);
        }
        GetDlgItem(IDC_CONSOLE)->SetWindowText("RxChar(3): AA 55 05");
        return TRUE;
    }
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
        if (m_bBrush && pWnd == GetDlgItem(IDC_CONSOLE)) return m_brYellow;
        return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLineDlg, CPictureDlg)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

// Its text on the first line, in any font; the picture beneath the rest; a brush the dialog gives
// it fills all of it; and it keeps the template's rectangle throughout.
TEST(ControlColours, ASeeThroughLineShowsThePictureBeneathItsLineUntilABrushFillsIt) {
    for (BOOL bLargeFont : {FALSE, TRUE}) {
        CLineDlg dlg;
        dlg.m_bLargeFont = bLargeFont;
        ASSERT_TRUE(dlg.Create(IDD_MAIN));
        ASSERT_TRUE(PumpUntil([&] { return dlg.m_nPaints > 0; }));
        AfxPumpMessages(50);
        const RECT console = ClientRectOf(dlg, IDC_CONSOLE);
        RECT client{};
        dlg.GetDlgItem(IDC_CONSOLE)->GetClientRect(&client);
        EXPECT_EQ(console.bottom - console.top, client.bottom);
        EXPECT_GT(client.bottom, 60) << "the template's 49 units, not a line";
        {
            WindowImage image(dlg);
            ASSERT_TRUE(image.Valid());
            const int nLine = bLargeFont ? 36 : 18;
            const RECT line{console.left, console.top, console.right, console.top + nLine};
            const RECT rest{console.left, console.top + nLine, console.right, console.bottom};
            const int nLineArea = (line.right - line.left) * (line.bottom - line.top);
            EXPECT_GT(nLineArea - image.PixelsOf(kRed, line), 50) << "the text's strokes";
            EXPECT_EQ(image.PixelsOf(kRed, rest), (rest.right - rest.left) * (rest.bottom - rest.top));
            if (bLargeFont) {
                // The foot of the large glyphs, below where a line of the dialog's font ends.
                const RECT lower{console.left, console.top + 24, console.right, console.top + nLine};
                EXPECT_GT(
                    (lower.right - lower.left) * (lower.bottom - lower.top) - image.PixelsOf(kRed, lower),
                    20);
            }
        }
        // A new picture shows beneath it too: nothing of the old one stays under the line.
        dlg.m_nPicture = IDB_GRID;
        dlg.Invalidate();
        AfxPumpMessages(100);
        EXPECT_EQ(WindowImage(dlg).PixelsOf(kRed, console), 0);
        dlg.m_bBrush = TRUE;
        dlg.Invalidate();
        AfxPumpMessages(100);
        WindowImage image(dlg);
        ASSERT_TRUE(image.Valid());
        EXPECT_EQ(image.Pixel(console.left + 2, console.bottom - 2), kYellow);
        EXPECT_EQ(image.Pixel(console.right - 2, console.top + 40), kYellow);
    }
}

TEST(StaticText, RunsOfSpacesPushTheWordsOntoTheNextLine) {
    CDialog dlg(IDD_MAIN);
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(140, "Times New Roman"));
    dlg.GetDlgItem(IDC_MESSAGE)->SetFont(&font);
    AfxPumpMessages(100);
    WindowImage image(dlg);
    ASSERT_TRUE(image.Valid());
    // 30 spaces fill most of the 160-pixel first line; the caption stands centred on the second.
    const RECT r = ClientRectOf(dlg, IDC_MESSAGE);
    TEXTMETRICA tm{};
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    dc.SelectObject(&font);
    dc.GetTextMetrics(&tm);
    EXPECT_EQ(image.DarkPixels(r.left, r.top, r.right, r.top + tm.tmHeight), 0);
    EXPECT_GT(image.DarkPixels(r.left, r.top + tm.tmHeight, r.right, r.top + 2 * tm.tmHeight), 100);
    // Centred: the words keep clear of both edges.
    EXPECT_EQ(image.DarkPixels(r.left, r.top, r.left + 4, r.bottom), 0);
    EXPECT_EQ(image.DarkPixels(r.right - 4, r.top, r.right, r.bottom), 0);
}

TEST(Fonts, TimesNewRomanAt14PointIsLiberationSerifOf19Pixels) {
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(140, "Times New Roman"));
    LOGFONTA lf{};
    ASSERT_EQ(font.GetLogFont(&lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -19);
    EXPECT_STREQ(lf.lfFaceName, "Times New Roman");
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);

    CFont copy;
    ASSERT_TRUE(copy.CreateFontIndirect(&lf));
    for (CFont* pFont : {&font, &copy}) {
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        dc.SelectObject(pFont);
        char face[64] = {};
        dc.GetTextFace(sizeof face, face);
        EXPECT_STREQ(face, "Liberation Serif");
        TEXTMETRICA tm{};
        ASSERT_TRUE(dc.GetTextMetrics(&tm));
        EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 19);
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        // The metrics of the real face, not of a fallback: this caption is about 148 pixels wide.
        const SIZE extent = dc.GetTextExtent("Apply This Change", 17);
        EXPECT_GE(extent.cx, 140);
        EXPECT_LE(extent.cx, 156);
    }
}

TEST(Fonts, TheDialogFontIsTheTemplatesFaceInASansStandIn) {
    CDialog dlg(IDD_MAIN);
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    CClientDC dc(&dlg);
    char face[64] = {};
    dc.GetTextFace(sizeof face, face);
    EXPECT_STREQ(face, "Liberation Sans");
    TEXTMETRICA tm{};
    dc.GetTextMetrics(&tm);
    // 11 points are 15 pixels; the stand-in, wider than the face, is drawn a pixel smaller.
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 14);
}

}  // namespace
