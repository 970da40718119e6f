// Dialogs built from templates: geometry, initial state, controls and the data exchange.

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "AfxTestSupport.h"

using namespace afxtest;

namespace {

class CMainTestDlg : public CDialog {
public:
    CMainTestDlg() : CDialog(IDD_MAIN) {}

    CString m_strField;
    CString m_strConsole;
    CString m_strTextArea;
    CEdit m_editConsole;
    CComboBox m_cboSpeed;
    std::vector<UINT> m_commands;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_CONSOLE, m_editConsole);
        DDX_Control(pDX, IDC_SPEED, m_cboSpeed);
        DDX_Text(pDX, IDC_FIELD, m_strField);
        DDX_Text(pDX, IDC_CONSOLE, m_strConsole);
        DDX_Text(pDX, IDC_TEXT_AREA, m_strTextArea);
    }
    void OnChoice(UINT nID) { m_commands.push_back(nID); }
    void OnHot() { m_commands.push_back(IDC_HOT); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMainTestDlg, CDialog)
ON_COMMAND_RANGE(IDC_COM1_5V, IDC_COM2_RI, OnChoice)
ON_BN_CLICKED(IDC_HOT, OnHot)
END_MESSAGE_MAP()

class MainDialogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dlg.Create(IDD_MAIN)); }

    LRESULT Send(int nID, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return m_dlg.GetDlgItem(nID)->SendMessage(msg, wParam, lParam);
    }
    CString TextOf(int nID) {
        CString text;
        m_dlg.GetDlgItem(nID)->GetWindowText(text);
        return text;
    }

    CMainTestDlg m_dlg;
};

void ExpectRect(const RECT& actual, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(actual.right, right);
    EXPECT_EQ(actual.bottom, bottom);
}

TEST(DialogTemplate, MissingTemplateCreatesNothing) {
    CDialog dlg(IDD_MISSING);
    EXPECT_FALSE(dlg.Create(IDD_MISSING));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(dlg.DoModal(), -1);
}

TEST_F(MainDialogTest, DialogUnitsAreTwoPixelsAcrossAndTwoAndAQuarterDown) {
    RECT client{};
    m_dlg.GetClientRect(&client);
    ExpectRect(client, 0, 0, 1026, 770);

    RECT window{};
    m_dlg.GetWindowRect(&window);
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);

    // 17, 272, 63, 56 units: the red tile of a 1024 x 768 picture.
    ExpectRect(ClientRectOf(m_dlg, IDC_HOT), 34, 612, 160, 738);
    // 115, 71, 90, 12: 71 * 2.25 = 159.75 rounds to 160.
    ExpectRect(ClientRectOf(m_dlg, IDC_FIELD), 230, 160, 410, 187);
    // 403, 135, 80, 30: 303.75 and 67.5 round up.
    ExpectRect(ClientRectOf(m_dlg, IDC_MESSAGE), 806, 304, 966, 372);
}

TEST_F(MainDialogTest, StylesGiveTheInitialVisibilityAndEnabledState) {
    EXPECT_TRUE(m_dlg.IsWindowVisible());
    EXPECT_TRUE(m_dlg.GetDlgItem(IDC_HOT)->IsWindowVisible());
    EXPECT_TRUE(m_dlg.GetDlgItem(IDC_FIELD)->IsWindowVisible());
    EXPECT_FALSE(m_dlg.GetDlgItem(IDC_HOT_HIDDEN)->IsWindowVisible());
    EXPECT_FALSE(m_dlg.GetDlgItem(IDC_FIELD_HIDDEN)->IsWindowVisible());
    EXPECT_FALSE(m_dlg.GetDlgItem(IDC_TAB)->IsWindowVisible());

    EXPECT_TRUE(m_dlg.GetDlgItem(IDC_FIELD)->IsWindowEnabled());
    EXPECT_FALSE(m_dlg.GetDlgItem(IDC_FIELD_DISABLED)->IsWindowEnabled());
    EXPECT_FALSE(m_dlg.GetDlgItem(IDC_CONSOLE)->IsWindowEnabled());

    CWnd* pHidden = m_dlg.GetDlgItem(IDC_FIELD_HIDDEN);
    EXPECT_FALSE(pHidden->ShowWindow(SW_SHOW));
    EXPECT_TRUE(pHidden->IsWindowVisible());
    EXPECT_TRUE(pHidden->ShowWindow(SW_HIDE));
    EXPECT_FALSE(pHidden->IsWindowVisible());

    CWnd* pDisabled = m_dlg.GetDlgItem(IDC_FIELD_DISABLED);
    EXPECT_TRUE(pDisabled->EnableWindow(TRUE));
    EXPECT_TRUE(pDisabled->IsWindowEnabled());
}

TEST_F(MainDialogTest, ControlsAreWindowsOfTheirOwnClass) {
    EXPECT_EQ(m_dlg.GetDlgItem(4242), nullptr);
    CWnd* pField = m_dlg.GetDlgItem(IDC_FIELD);
    ASSERT_NE(pField, nullptr);
    EXPECT_EQ(m_dlg.GetDlgItem(IDC_FIELD), pField);
    EXPECT_EQ(pField->GetDlgCtrlID(), IDC_FIELD);
    EXPECT_NE(dynamic_cast<CEdit*>(pField), nullptr);
    EXPECT_NE(dynamic_cast<CButton*>(m_dlg.GetDlgItem(IDC_COM1_5V)), nullptr);
    EXPECT_NE(dynamic_cast<CStatic*>(m_dlg.GetDlgItem(IDC_LABEL)), nullptr);
    EXPECT_NE(dynamic_cast<CComboBox*>(m_dlg.GetDlgItem(IDC_UNSORTED)), nullptr);
    EXPECT_NE(dynamic_cast<CTabCtrl*>(m_dlg.GetDlgItem(IDC_TAB)), nullptr);
    // A member bound by DDX_Control is what the dialog hands out for its control.
    EXPECT_EQ(m_dlg.GetDlgItem(IDC_CONSOLE), &m_dlg.m_editConsole);
    EXPECT_EQ(m_dlg.m_editConsole.GetDlgCtrlID(), IDC_CONSOLE);
}

TEST_F(MainDialogTest, RadioButtonsExcludeEachOtherOnlyWithinTheirGroup) {
    Send(IDC_COM1_5V, BM_CLICK);
    Send(IDC_COM1_12V, BM_CLICK);
    Send(IDC_COM2_RI, BM_CLICK);
    Send(IDC_COM1_12V, BM_CLICK);

    EXPECT_EQ(Send(IDC_COM1_5V, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(Send(IDC_COM1_12V, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(Send(IDC_COM1_RI, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(Send(IDC_COM2_RI, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(Send(IDC_COM2_5V, BM_GETCHECK), BST_UNCHECKED);
    // Every click is a command, a repeated one too.
    EXPECT_EQ(m_dlg.m_commands, (std::vector<UINT>{IDC_COM1_5V, IDC_COM1_12V, IDC_COM2_RI, IDC_COM1_12V}));

    // The program may clear a choice that the user cannot.
    Send(IDC_COM1_12V, BM_SETCHECK, static_cast<WPARAM>(BST_UNCHECKED));
    EXPECT_EQ(Send(IDC_COM1_12V, BM_GETCHECK), BST_UNCHECKED);
}

// Hides one control before the dialog first shows.
class CHideAtStartDlg : public CMainTestDlg {
public:
    explicit CHideAtStartDlg(int nHidden) : m_nHidden(nHidden) {}

protected:
    BOOL OnInitDialog() override {
        CMainTestDlg::OnInitDialog();
        GetDlgItem(m_nHidden)->ShowWindow(SW_HIDE);
        return TRUE;
    }

private:
    int m_nHidden;
};

TEST(DialogControls, AChoiceHiddenAtTheStartStaysInItsGroupAndHiddenUntilShown) {
    CHideAtStartDlg dlg(IDC_COM1_RI);
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    AfxPumpMessages(50);
    CWnd* pHidden = dlg.GetDlgItem(IDC_COM1_RI);
    const auto check = [&dlg](int nID) { return dlg.GetDlgItem(nID)->SendMessage(BM_GETCHECK); };

    // Checked by the program while hidden, it stays hidden.
    pHidden->SendMessage(BM_SETCHECK, static_cast<WPARAM>(BST_CHECKED));
    EXPECT_EQ(check(IDC_COM1_RI), BST_CHECKED);
    EXPECT_FALSE(pHidden->IsWindowVisible());

    // Shown, it keeps its check, and a click in its group clears it with the others.
    EXPECT_FALSE(pHidden->ShowWindow(SW_SHOW));
    EXPECT_TRUE(pHidden->IsWindowVisible());
    EXPECT_EQ(check(IDC_COM1_RI), BST_CHECKED);
    dlg.GetDlgItem(IDC_COM2_5V)->SendMessage(BM_CLICK);
    EXPECT_EQ(check(IDC_COM1_RI), BST_CHECKED) << "another group";
    dlg.GetDlgItem(IDC_COM1_12V)->SendMessage(BM_CLICK);
    EXPECT_EQ(check(IDC_COM1_12V), BST_CHECKED);
    EXPECT_EQ(check(IDC_COM1_RI), BST_UNCHECKED);
}

TEST(DialogControls, TabReachesAControlShownLateInTheTemplatesOrder) {
    CHideAtStartDlg dlg(IDC_COM2_5V);  // a tab stop
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    AfxPumpMessages(50);
    dlg.GetDlgItem(IDC_COM2_5V)->ShowWindow(SW_SHOW);
    // From the first tab stop (the hot area), Tab goes to the field, then to the COM1 choice, and
    // over the choices that are no tab stops to the late one; Space chooses each.
    for (UINT nKey : {VK_TAB, VK_TAB, VK_SPACE, VK_TAB, VK_SPACE}) {
        AfxSimulateKey(&dlg, nKey);
        AfxPumpMessages(20);
    }
    EXPECT_EQ(dlg.m_commands, (std::vector<UINT>{IDC_COM1_5V, IDC_COM2_5V}));
}

TEST_F(MainDialogTest, SortedComboBoxOrdersItsTextsAsText) {
    CComboBox& speed = m_dlg.m_cboSpeed;
    EXPECT_EQ(speed.GetCount(), 0);
    EXPECT_EQ(speed.GetCurSel(), CB_ERR);

    std::vector<int> positions;
    for (const char* text : {"300", "9600", "19200", "115200", "38400", "56000", "57600"})
        positions.push_back(speed.AddString(text));
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 0, 0, 3, 4, 5}));
    EXPECT_EQ(speed.GetCurSel(), CB_ERR);  // adding selects nothing

    std::vector<std::string> texts;
    for (int i = 0; i < speed.GetCount(); ++i) {
        CString text;
        speed.GetLBText(i, text);
        texts.push_back(text.Str());
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"115200", "19200", "300", "38400", "56000", "57600", "9600"}));

    EXPECT_EQ(speed.SetCurSel(0), 0);
    EXPECT_EQ(speed.GetCurSel(), 0);
    CString selected;
    speed.GetWindowText(selected);
    EXPECT_EQ(selected, "115200");
    EXPECT_EQ(speed.GetLBTextLen(6), 4);
    char buffer[16] = {};
    EXPECT_EQ(speed.SendMessage(CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_STREQ(buffer, "300");

    EXPECT_EQ(speed.GetLBTextLen(7), CB_ERR);
    EXPECT_EQ(speed.SendMessage(CB_GETLBTEXT, 7, reinterpret_cast<LPARAM>(buffer)), CB_ERR);
    EXPECT_EQ(speed.SetCurSel(7), CB_ERR);
    EXPECT_EQ(speed.GetCurSel(), CB_ERR);
}

TEST_F(MainDialogTest, SortingIgnoresCaseAndUnsortedListsKeepTheirOrder) {
    CComboBox& sorted = m_dlg.m_cboSpeed;
    auto* pUnsorted = static_cast<CComboBox*>(m_dlg.GetDlgItem(IDC_UNSORTED));
    for (const char* text : {"beta", "Gamma", "alpha", "Delta"}) {
        sorted.AddString(text);
        pUnsorted->AddString(text);
    }
    const auto texts = [](CComboBox& combo) {
        std::string all;
        for (int i = 0; i < combo.GetCount(); ++i) {
            CString text;
            combo.GetLBText(i, text);
            all += text.Str() + " ";
        }
        return all;
    };
    EXPECT_EQ(texts(sorted), "alpha beta Delta Gamma ");
    EXPECT_EQ(texts(*pUnsorted), "beta Gamma alpha Delta ");
}

TEST_F(MainDialogTest, TabControlTakesItsItems) {
    auto* pTabs = static_cast<CTabCtrl*>(m_dlg.GetDlgItem(IDC_TAB));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(pTabs->InsertItem(i, ("Tab" + std::to_string(i + 1)).c_str()), i);
    EXPECT_EQ(pTabs->GetItemCount(), 8);
    EXPECT_EQ(pTabs->InsertItem(20, "Last"), 8);
    EXPECT_EQ(pTabs->InsertItem(-1, "None"), -1);
}

TEST_F(MainDialogTest, DataExchangeCopiesTextsBothWays) {
    m_dlg.m_strField = "42";
    m_dlg.m_strConsole = "\r\nRxChar(3): AA 55 05";
    m_dlg.m_strTextArea = "COM1 5V\r\nCOM2 12V";
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_FIELD), "42");
    EXPECT_EQ(TextOf(IDC_CONSOLE), "\r\nRxChar(3): AA 55 05");
    EXPECT_EQ(TextOf(IDC_TEXT_AREA), "COM1 5V\r\nCOM2 12V");

    m_dlg.GetDlgItem(IDC_FIELD)->SetWindowText("7");
    m_dlg.UpdateData(TRUE);
    EXPECT_EQ(m_dlg.m_strField, "7");
    EXPECT_EQ(m_dlg.m_strConsole, "\r\nRxChar(3): AA 55 05");
}

// A log that only grows hands the control just its new end; every other change to either side
// must still reach the control whole.
TEST_F(MainDialogTest, DataExchangeKeepsAGrowingLogExact) {
    CString& log = m_dlg.m_strConsole;
    log = "\r\nentry 0";
    m_dlg.UpdateData(FALSE);
    log += "\r\nentry 1";
    log.AppendFormat("\r\nentry %d", 2);
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_CONSOLE), "\r\nentry 0\r\nentry 1\r\nentry 2");

    // Trimmed at the front, and grown back past the length the control holds.
    log.Delete(0, 9);
    log += "\r\nentry 3\r\nentry 4";
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_CONSOLE), "\r\nentry 1\r\nentry 2\r\nentry 3\r\nentry 4");

    // Copies grow apart from the string they came from, to the same length, and come back.
    CString copy = log;
    CString moved = log;
    log += "\r\nkept";
    m_dlg.UpdateData(FALSE);
    copy += "\r\ncopy";
    log = copy;
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_CONSOLE), copy);
    moved += "\r\nmove";
    log = std::move(moved);
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_CONSOLE).Str(), copy.Str().substr(0, copy.Str().size() - 4) + "move");

    // The control's own text changed behind the log's back, then the log grew.
    m_dlg.m_editConsole.SetWindowText("set by hand");
    log += "\r\nentry 5";
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_CONSOLE), log);
    // A field changed behind its unchanged string's back, to a text as long, gets it back.
    m_dlg.m_strField = "42";
    m_dlg.UpdateData(FALSE);
    m_dlg.GetDlgItem(IDC_FIELD)->SetWindowText("77");
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_FIELD), "42");

    // Rewritten to the same length, and emptied.
    log.Format("%-*s", log.GetLength(), "x");
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_CONSOLE), log);
    log.Empty();
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(TextOf(IDC_CONSOLE), "");
}

TEST_F(MainDialogTest, EditsCountAndScrollTheirLines) {
    std::string log;
    for (int i = 0; i < 40; ++i) log += "\r\nRxChar(9): AA 55 07 02 7D 00 2A 00 A8";
    m_dlg.GetDlgItem(IDC_CONSOLE)->SetWindowText(log.c_str());
    EXPECT_EQ(Send(IDC_CONSOLE, EM_GETLINECOUNT), 1);

    std::string lines = "line 0";
    for (int i = 1; i < 40; ++i) lines += "\r\nline " + std::to_string(i);
    m_dlg.GetDlgItem(IDC_TEXT_AREA)->SetWindowText(lines.c_str());
    EXPECT_EQ(Send(IDC_TEXT_AREA, EM_GETLINECOUNT), 40);
    AfxPumpMessages(50);
    EXPECT_EQ(Send(IDC_TEXT_AREA, EM_GETFIRSTVISIBLELINE), 0);
    EXPECT_TRUE(Send(IDC_TEXT_AREA, EM_LINESCROLL, 0, 10));
    EXPECT_EQ(Send(IDC_TEXT_AREA, EM_GETFIRSTVISIBLELINE), 10);
    Send(IDC_TEXT_AREA, EM_LINESCROLL, 0, -4);
    EXPECT_EQ(Send(IDC_TEXT_AREA, EM_GETFIRSTVISIBLELINE), 6);
}

TEST_F(MainDialogTest, ConsoleShowsTheEndOfItsLogOnceScrolled) {
    std::string log;
    for (int i = 0; i < 20; ++i) log += "\r\nRxChar(9): AA 55 07 02 7D 00 2A 00 A8";
    m_dlg.m_editConsole.SetWindowText(log.c_str());
    AfxPumpMessages(50);
    EXPECT_EQ(m_dlg.m_editConsole.SendMessage(EM_GETFIRSTVISIBLELINE), 0);

    const LRESULT nLines = m_dlg.m_editConsole.SendMessage(EM_GETLINECOUNT);
    m_dlg.m_editConsole.SendMessage(EM_LINESCROLL, 0, nLines);
    AfxPumpMessages(50);
    // Far more text than the 212 pixels show: what is visible is the last entry.
    const LRESULT nFirst = m_dlg.m_editConsole.SendMessage(EM_GETFIRSTVISIBLELINE);
    EXPECT_GT(nFirst, static_cast<LRESULT>(log.size()) - 60);
    EXPECT_LT(nFirst, static_cast<LRESULT>(log.size()));
}

TEST_F(MainDialogTest, ConsoleKeepsShowingTheNewestEntryOfALongLog) {
    // Far past the 32,767 characters a plain line edit would hold, growing as a log grows.
    std::string log;
    for (int i = 0; log.size() < 160 * 1024; ++i) {
        char entry[64];
        std::snprintf(entry, sizeof entry, "\r\nRxChar(9): AA 55 07 02 7D 00 %02X 00 %02X", i & 0xFF, (i * 7) & 0xFF);
        log += entry;
        if (i % 512 != 0) continue;
        m_dlg.m_editConsole.SetWindowText(log.c_str());
        m_dlg.m_editConsole.SendMessage(EM_LINESCROLL, 0, 1);
        AfxPumpMessages(5);
    }
    m_dlg.m_editConsole.SetWindowText(log.c_str());
    m_dlg.m_editConsole.SendMessage(EM_LINESCROLL, 0, 1);
    AfxPumpMessages(50);
    CString text;
    m_dlg.m_editConsole.GetWindowText(text);
    EXPECT_EQ(text.Str(), log);
    const LRESULT nFirst = m_dlg.m_editConsole.SendMessage(EM_GETFIRSTVISIBLELINE);
    EXPECT_GT(nFirst, static_cast<LRESULT>(log.size()) - 60);
    EXPECT_LT(nFirst, static_cast<LRESULT>(log.size()));
    // Scrolled back up, the start is in view again.
    m_dlg.m_editConsole.SendMessage(EM_LINESCROLL, 0, -1);
    AfxPumpMessages(50);
    EXPECT_EQ(m_dlg.m_editConsole.SendMessage(EM_GETFIRSTVISIBLELINE), 0);
}

TEST_F(MainDialogTest, AHiddenFieldShowsItsLatestTextTheMomentItIsShown) {
    CWnd* pField = m_dlg.GetDlgItem(IDC_FIELD);
    pField->ShowWindow(SW_HIDE);
    for (const char* pszText : {"1", "22", "8888888888"}) pField->SetWindowText(pszText);
    AfxPumpMessages(50);
    EXPECT_EQ(TextOf(IDC_FIELD), "8888888888");
    pField->ShowWindow(SW_SHOW);
    // No pause for the display's next frame: the text is laid out as the field appears.
    WindowImage image(m_dlg);
    ASSERT_TRUE(image.Valid());
    const RECT r = ClientRectOf(m_dlg, IDC_FIELD);
    EXPECT_GT(image.DarkPixels(r.left, r.top, r.right, r.bottom), 100);
}

TEST(DialogLifetime, MembersBoundToControlsLetGoWhenTheWindowCloses) {
    CMainTestDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    ASSERT_NE(dlg.m_editConsole.m_hWnd, nullptr);
    {
        CEdit extra;
        CDataExchange dx(&dlg, FALSE);
        DDX_Control(&dx, IDC_FIELD, extra);
        EXPECT_EQ(dlg.GetDlgItem(IDC_FIELD), &extra);
    }
    // The member is gone: the control hands out its own object again.
    CWnd* pField = dlg.GetDlgItem(IDC_FIELD);
    ASSERT_NE(pField, nullptr);
    EXPECT_EQ(pField->GetDlgCtrlID(), IDC_FIELD);
}

}  // namespace
