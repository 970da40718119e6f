// Pages of the real dialog: what the tiles and the paints show, clicked as a user clicks.
#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/DialogFixture.h"

using namespace std::chrono_literals;
using quillon::test::PeerDialogTest;
using quillon::test::Pty;

namespace {

std::set<int> Range(int nFirst, int nLast) {
    std::set<int> ids;
    for (int n = nFirst; n <= nLast; ++n) ids.insert(n);
    return ids;
}

std::set<int> Union(std::initializer_list<std::set<int>> sets) {
    std::set<int> out;
    for (const auto& s : sets) out.insert(s.begin(), s.end());
    return out;
}

const std::set<int> kTerminalStatusFields =
    Union({{1004, 1008, 1016, 1358, 1243}, Range(1239, 1242), Range(1361, 1364)});
const std::set<int> kTerminalStatusLabels = Union({Range(1302, 1308), {1357}, Range(1365, 1368)});
const std::set<int> kThermalFields = Range(1253, 1268);
const std::set<int> kThermalLabels = Range(1315, 1330);
const std::set<int> kPowerFields = Range(1269, 1292);
const std::set<int> kPowerLabels = Range(1331, 1354);
const std::set<int> kSelectors = Range(1373, 1396);
const std::set<int> kComLabelsAndFrame = Range(1399, 1407);
const std::set<int> kBottomRow = {1010, 1015, 1020, 1236};

}  // namespace

class PageTest : public PeerDialogTest {
protected:
    // Every control of the template that is shown now.
    std::set<int> Shown() const {
        std::set<int> ids;
        const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
        for (std::size_t i = 0; i < pTemplate->nItems; ++i) {
            const int nID = static_cast<int>(pTemplate->pItems[i].nID);
            if (Visible(nID)) ids.insert(nID);
        }
        return ids;
    }

    bool AllShown(const std::set<int>& ids) const {
        for (int nID : ids)
            if (!Visible(nID)) return false;
        return true;
    }
    bool NoneShown(const std::set<int>& ids) const {
        for (int nID : ids)
            if (Visible(nID)) return false;
        return true;
    }

    // A click at the centre of a control's place, on whatever lies there.
    void ClickCentreOf(int nID) {
        RECT r{};
        m_dlg->GetDlgItem(nID)->GetWindowRect(&r);
        m_dlg->ScreenToClient(&r);
        AfxSimulateClick(m_dlg.get(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        Pump(50ms);
    }

    // A page code stored without a command, as the decoder stores it; the next message paints it.
    void StorePage(int nPage) {
        g_nPage = nPage;
        m_dlg->PostMessage(WM_USER);
        Pump(50ms);
    }
};

TEST_F(PageTest, TheStartScreenOffersOnlyItsExitAndTheConsole) {
    EXPECT_EQ(Shown(), (std::set<int>{IDC_CONSOLE, IDC_START_EXIT}));
    // A click where the thermal tile would be does nothing here.
    ClickCentreOf(IDC_PAGE_THERMAL);
    EXPECT_EQ(g_nPage, PAGE_WAIT_ACTIVATION);
}

// From the start screen, and again from the I/O page: no control of the page it leaves stays live.
TEST_F(PageTest, TheAnnouncementShowsTheTerminalStatusPageAtTheNextPaint) {
    for (const int nFromTile : {0, static_cast<int>(IDC_PAGE_IO_COM)}) {
        SCOPED_TRACE("from tile " + std::to_string(nFromTile));
        if (nFromTile) {
            ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, static_cast<WPARAM>(nFromTile), 0);
            Pump(50ms);
        }
        const std::string announcement = "FIRMWARE READY\r\n";
        m_peer.Write(std::vector<std::uint8_t>(announcement.begin(), announcement.end()));
        ASSERT_FALSE(PumpUntilReceived(m_peer, 8, 3s).empty());
        Pump(100ms);
        EXPECT_EQ(g_nPage, PAGE_TERMINAL_STATUS);
        EXPECT_TRUE(AllShown(kTerminalStatusFields));
        EXPECT_TRUE(AllShown(kTerminalStatusLabels));
        EXPECT_TRUE(AllShown(kBottomRow));
        EXPECT_TRUE(Visible(IDC_CONSOLE));
        EXPECT_TRUE(Visible(IDC_PAGE_IO_COM));
        EXPECT_FALSE(Visible(IDC_PAGE_IO));
        EXPECT_FALSE(Visible(IDC_START_EXIT));
        EXPECT_TRUE(NoneShown(Union({kThermalFields,
                                     kPowerFields,
                                     kThermalLabels,
                                     kPowerLabels,
                                     kSelectors,
                                     kComLabelsAndFrame,
                                     Range(1213, 1222),
                                     {1301, 1369, 1372}})));
    }
}

TEST_F(PageTest, EachTileShowsItsPageAndHidesTheOthers) {
    StorePage(PAGE_TERMINAL_STATUS);

    ClickCentreOf(IDC_PAGE_THERMAL);
    EXPECT_EQ(g_nPage, PAGE_THERMAL);
    EXPECT_TRUE(AllShown(Union({kThermalFields, kThermalLabels, kBottomRow})));
    EXPECT_TRUE(
        NoneShown(Union({kTerminalStatusFields, kTerminalStatusLabels, kPowerFields, {IDC_CONSOLE}})));

    ClickCentreOf(IDC_PAGE_POWER);
    EXPECT_EQ(g_nPage, PAGE_POWER);
    EXPECT_TRUE(AllShown(Union({kPowerFields, kPowerLabels})));
    EXPECT_TRUE(NoneShown(Union({kThermalFields, kThermalLabels})));

    ClickCentreOf(IDC_PAGE_IO_COM);
    EXPECT_EQ(g_nPage, PAGE_IO_COM);
    EXPECT_TRUE(
        AllShown(Union({kSelectors, kComLabelsAndFrame, {1369, 1372, 1301, 1370, 1371, 1217, 1218}})));
    EXPECT_TRUE(Visible(IDC_CONSOLE));
    EXPECT_TRUE(NoneShown(Union({kPowerFields, kPowerLabels, Range(1213, 1216), Range(1219, 1222)})));

    ClickCentreOf(IDC_PAGE_TERMINAL_STATUS);
    EXPECT_EQ(g_nPage, PAGE_TERMINAL_STATUS);
    EXPECT_TRUE(AllShown(Union({kTerminalStatusFields, kTerminalStatusLabels})));
    EXPECT_TRUE(NoneShown(Union({kSelectors, kComLabelsAndFrame, {1369, 1372, 1301, 1370, 1371}})));
}

TEST_F(PageTest, TheIoPageWithoutComPowerLeavesTheComControlsAsTheyWere) {
    StorePage(PAGE_IO_COM);
    m_dlg->OnPageIoCom();
    Pump(50ms);
    ASSERT_TRUE(AllShown(Union({kSelectors, kComLabelsAndFrame})));

    m_dlg->OnPageIo();
    Pump(50ms);
    EXPECT_EQ(g_nPage, PAGE_IO);
    EXPECT_TRUE(
        AllShown(Union({kSelectors, kComLabelsAndFrame, {1217, 1218, 1370, 1371, 1369, 1372, 1301}})));
    EXPECT_FALSE(Visible(IDC_CONSOLE));

    // Arriving from a data page, they are all hidden.
    g_bIoNoComPower = 1;
    ClickCentreOf(IDC_PAGE_THERMAL);
    ASSERT_TRUE(Visible(IDC_PAGE_IO));
    ClickCentreOf(IDC_PAGE_IO);
    EXPECT_EQ(g_nPage, PAGE_IO);
    EXPECT_TRUE(NoneShown(Union({kSelectors, kComLabelsAndFrame, Range(1213, 1222)})));
    EXPECT_TRUE(AllShown({1370, 1371, 1369, 1372, 1301}));
}

TEST_F(PageTest, TheYellowTileFollowsTheIoVariantExceptOnTheComPage) {
    for (int nPage : {PAGE_TERMINAL_STATUS, PAGE_THERMAL, PAGE_POWER, PAGE_EXIT_CONFIRM}) {
        for (int bNoComPower : {1, 0}) {
            g_bIoNoComPower = bNoComPower;
            StorePage(nPage);
            EXPECT_EQ(Visible(IDC_PAGE_IO), bNoComPower == 1) << "page " << nPage;
            EXPECT_EQ(Visible(IDC_PAGE_IO_COM), bNoComPower == 0) << "page " << nPage;
        }
    }
    StorePage(PAGE_IO_COM);
    ASSERT_TRUE(Visible(IDC_PAGE_IO_COM));
    g_bIoNoComPower = 1;
    m_dlg->PostMessage(WM_USER);
    Pump(50ms);
    EXPECT_TRUE(Visible(IDC_PAGE_IO_COM));
    EXPECT_FALSE(Visible(IDC_PAGE_IO));
}

TEST_F(PageTest, TheThermalPageShowsFourBlankFieldsWithoutCaptions) {
    StorePage(PAGE_TERMINAL_STATUS);
    ClickCentreOf(IDC_PAGE_THERMAL);
    for (int nID = 1265; nID <= 1268; ++nID) {
        EXPECT_TRUE(Visible(nID));
        CString text;
        m_dlg->GetDlgItem(nID)->GetWindowText(text);
        EXPECT_TRUE(text.IsEmpty());
        m_dlg->GetDlgItem(nID + 62)->GetWindowText(text);
        EXPECT_TRUE(text.IsEmpty()) << "label " << nID + 62;
    }
}

TEST_F(PageTest, TheStartScreensExitQuestionComesAndGoesWithoutAWord) {
    ClickCentreOf(IDC_START_EXIT);
    EXPECT_EQ(g_nPage, PAGE_WAIT_EXIT_CONFIRM);
    EXPECT_EQ(Shown(), (std::set<int>{IDC_CONSOLE, IDC_START_EXIT, IDC_START_EXIT_NO, IDC_START_EXIT_YES}));
    ClickCentreOf(IDC_START_EXIT);
    EXPECT_EQ(g_nPage, PAGE_WAIT_EXIT_CONFIRM);

    ClickCentreOf(IDC_START_EXIT_NO);
    EXPECT_EQ(g_nPage, PAGE_WAIT_ACTIVATION);
    EXPECT_EQ(Shown(), (std::set<int>{IDC_CONSOLE, IDC_START_EXIT}));
    EXPECT_TRUE(m_peer.Drain(100ms).empty());
}

TEST_F(PageTest, TheExitQuestionKeepsTheBottomRowAndHidesEveryCaption) {
    StorePage(PAGE_THERMAL);
    ClickCentreOf(IDC_PAGE_THERMAL);
    StorePage(PAGE_EXIT_CONFIRM);
    EXPECT_TRUE(AllShown(kBottomRow));
    EXPECT_TRUE(NoneShown(Union({kThermalLabels,
                                 kTerminalStatusLabels,
                                 kPowerLabels,
                                 kComLabelsAndFrame,
                                 {IDC_START_EXIT, IDC_START_EXIT_NO, IDC_START_EXIT_YES}})));
    // The fields are the command handlers' business: the thermal fields are still up.
    EXPECT_TRUE(AllShown(kThermalFields));
}

TEST_F(PageTest, OnlyTheFiveMessageControlsAreWhiteOnEveryPage) {
    CClientDC dc(m_dlg.get());
    const std::set<int> white = {1408, 1409, 1410, 1411, 1414};
    for (int nPage : {PAGE_WAIT_ACTIVATION, PAGE_IO_COM, PAGE_THERMAL}) {
        StorePage(nPage);
        for (int nID : {1408, 1409, 1410, 1411, 1414, 1370, 1004, 1243, 1000, 1399}) {
            HBRUSH hbr = m_dlg->OnCtlColor(&dc, m_dlg->GetDlgItem(nID), CTLCOLOR_STATIC);
            const bool bWhite = white.count(nID) == 1;
            EXPECT_EQ(hbr == static_cast<HBRUSH>(m_dlg->m_brLabel), bWhite) << "control " << nID;
            EXPECT_EQ(dc.GetBkColor(), bWhite ? RGB(255, 255, 255) : GetSysColor(COLOR_BTNFACE))
                << "control " << nID;
        }
        // Another colour code keeps the default even for a message control.
        EXPECT_NE(m_dlg->OnCtlColor(&dc, m_dlg->GetDlgItem(1409), CTLCOLOR_EDIT),
                  static_cast<HBRUSH>(m_dlg->m_brLabel));
    }
}

// Every caption of the template, and every text the notice box takes, measured in its control's own
// font: a word never runs past the control's edge, and the lines that word wrapping makes (a run of
// spaces that does not fit goes on at the start of the next line) fit its height. Single-line
// labels and buttons must fit on one line.
TEST_F(PageTest, EveryCaptionAndMessageReadsWholeInItsPlace) {
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
    ASSERT_NE(pTemplate, nullptr);
    struct Text {
        int nID;
        std::string text;
        int nMargin;  // what the control itself takes of its width
    };
    std::vector<Text> texts = {{IDC_EDIT_NOTICE, "\r\nPlease Press the Confirm", 8},
                               {IDC_EDIT_NOTICE, "Please Process the Cold Reboot", 8}};
    for (std::size_t i = 0; i < pTemplate->nItems; ++i) {
        const AFX_DLGITEM& item = pTemplate->pItems[i];
        const bool bNeverShown = !(item.dwStyle & WS_VISIBLE) && (item.dwStyle & WS_DISABLED);
        const bool bHotArea =
            std::string_view(item.lpszClass) == "BUTTON" && (item.dwStyle & 0xF) == BS_OWNERDRAW;
        if (bNeverShown || bHotArea || !*item.lpszCaption) continue;
        const DWORD dwKind = item.dwStyle & 0xF;
        const bool bRadio = std::string_view(item.lpszClass) == "BUTTON" && dwKind == BS_AUTORADIOBUTTON;
        const bool bPush = std::string_view(item.lpszClass) == "BUTTON" && !bRadio && dwKind != BS_GROUPBOX;
        texts.push_back({static_cast<int>(item.nID), item.lpszCaption, bRadio ? 22 : bPush ? 8 : 0});
    }
    // Spaces at the end show nothing.
    for (Text& t : texts) t.text.erase(t.text.find_last_not_of(' ') + 1);
    ASSERT_GT(texts.size(), 90u);
    for (const Text& t : texts) {
        CWnd* pControl = m_dlg->GetDlgItem(t.nID);
        ASSERT_NE(pControl, nullptr) << t.nID;
        RECT r{};
        pControl->GetClientRect(&r);
        const int nWidth = r.right - t.nMargin;
        CClientDC dc(pControl);
        TEXTMETRICA tm{};
        dc.GetTextMetrics(&tm);
        // Whole pixels, where the drawing has fractions: a text must leave one to spare.
        // Whole pixels, where the drawing has fractions: a text leaves one to spare.
        auto width = [&](const std::string& s) {
            return static_cast<int>(dc.GetTextExtent(s.c_str(), static_cast<int>(s.size())).cx) + 1;
        };
        std::vector<std::string> lines(1);
        for (std::size_t at = 0; at < t.text.size();) {
            if (t.text.compare(at, 2, "\r\n") == 0) {
                lines.emplace_back();
                at += 2;
                continue;
            }
            if (t.text[at] == ' ') {
                if (!lines.back().empty() && width(lines.back() + ' ') > nWidth) lines.emplace_back();
                lines.back() += ' ';
                ++at;
                continue;
            }
            const std::size_t end = std::min(t.text.find_first_of(" \r", at), t.text.size());
            const std::string word = t.text.substr(at, end - at);
            EXPECT_LE(width(word), nWidth) << t.nID << ": \"" << word << "\"";
            if (!lines.back().empty() && width(lines.back() + word) > nWidth) lines.emplace_back();
            lines.back() += word;
            at = end;
        }
        // A text area lays its text out itself: it must wrap as the words need.
        if (t.nID == IDC_EDIT_NOTICE) {
            pControl->ShowWindow(SW_SHOW);
            pControl->SetWindowText(t.text.c_str());
            EXPECT_GE(pControl->SendMessage(EM_GETLINECOUNT), static_cast<LRESULT>(lines.size())) << t.text;
        }
        EXPECT_LE(static_cast<int>(lines.size()) * tm.tmHeight, r.bottom)
            << t.nID << ": \"" << t.text << "\" needs " << lines.size() << " lines of " << tm.tmHeight
            << " px";
    }
}
