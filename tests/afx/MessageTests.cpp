// Message maps, posted messages, the modal loop, keys, the system menu and message boxes.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "AfxTestSupport.h"

using namespace afxtest;

namespace {

const UINT g_uNotifyMsg = RegisterWindowMessageA("AfxTests_Notify");
constexpr UINT WM_TEST_USER = WM_USER + 1;
constexpr UINT IDM_ABOUT = 0x0010;
constexpr WORD EN_CHANGE = 0x0300;

class CBaseDlg : public CDialog {
public:
    explicit CBaseDlg(UINT nIDTemplate = IDD_MAIN, CWnd* pParent = nullptr) : CDialog(nIDTemplate, pParent) {}

    std::vector<std::string> m_calls;
    int m_nOk = 0;
    int m_nCancel = 0;

    void OnOK() override {
        ++m_nOk;
        CDialog::OnOK();
    }
    void OnCancel() override {
        ++m_nCancel;
        CDialog::OnCancel();
    }

protected:
    void OnButton() { m_calls.push_back("base button"); }
    LRESULT OnUserBase(WPARAM, LPARAM) {
        m_calls.push_back("base user");
        return 1;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDlg, CDialog)
ON_BN_CLICKED(IDC_BUTTON, OnButton)
ON_MESSAGE(WM_TEST_USER, OnUserBase)
END_MESSAGE_MAP()

class CDerivedDlg : public CBaseDlg {
public:
    using CBaseDlg::CBaseDlg;

    std::vector<WPARAM> m_notified;
    std::vector<std::thread::id> m_notifyThreads;
    std::vector<UINT> m_sysCommands;

protected:
    void OnHot() { m_calls.push_back("hot"); }
    void OnChoice(UINT nID) { m_calls.push_back("choice " + std::to_string(nID)); }
    LRESULT OnUserDerived(WPARAM wParam, LPARAM lParam) {
        m_calls.push_back("derived user");
        return static_cast<LRESULT>(wParam + static_cast<WPARAM>(lParam));
    }
    LRESULT OnNotify(WPARAM wParam, LPARAM) {
        m_notified.push_back(wParam);
        m_notifyThreads.push_back(std::this_thread::get_id());
        return 0;
    }
    void OnSysCommand(UINT nID, LPARAM lParam) {
        m_sysCommands.push_back(nID);
        if ((nID & 0xFFF0) != IDM_ABOUT) CDialog::OnSysCommand(nID, lParam);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedDlg, CBaseDlg)
ON_BN_CLICKED(IDC_HOT, OnHot)
ON_COMMAND_RANGE(IDC_COM1_5V, IDC_COM2_RI, OnChoice)
ON_MESSAGE(WM_TEST_USER, OnUserDerived)
ON_REGISTERED_MESSAGE(g_uNotifyMsg, OnNotify)
ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

WPARAM Command(int nID, WORD nCode = BN_CLICKED) {
    return static_cast<WPARAM>(MAKELONG(static_cast<WORD>(nID), nCode));
}

TEST(MessageMap, CommandsAndMessagesFindTheFirstEntryAlongTheBaseMaps) {
    CDerivedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    dlg.SendMessage(WM_COMMAND, Command(IDC_BUTTON));
    dlg.SendMessage(WM_COMMAND, Command(IDC_HOT));
    dlg.SendMessage(WM_COMMAND, Command(IDC_COM2_12V));
    EXPECT_EQ(dlg.SendMessage(WM_TEST_USER, 40, 2), 42);
    // Notifications other than clicks are not commands; unknown ids go nowhere.
    dlg.SendMessage(WM_COMMAND, Command(IDC_HOT, EN_CHANGE));
    dlg.SendMessage(WM_COMMAND, Command(4242));
    EXPECT_EQ(dlg.m_calls, (std::vector<std::string>{"base button", "hot", "choice 1377", "derived user"}));
    EXPECT_TRUE(dlg.IsWindowVisible());
}

TEST(MessageMap, OkAndCancelFallBackToTheDialogsVirtualHandlers) {
    CBaseDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    dlg.SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(dlg.m_nOk, 1);
    EXPECT_FALSE(dlg.IsWindowVisible());

    CBaseDlg other;
    ASSERT_TRUE(other.Create(IDD_MAIN));
    other.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_EQ(other.m_nCancel, 1);
    EXPECT_EQ(other.m_nOk, 0);
}

TEST(MessageMap, ClicksOnControlsAreCommands) {
    CDerivedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    dlg.GetDlgItem(IDC_BUTTON)->SendMessage(BM_CLICK);
    // The label lying over the hot area lets the click through.
    const RECT hot = ClientRectOf(dlg, IDC_HOT);
    AfxSimulateClick(&dlg, hot.left + 10, hot.top + 5);
    // A hidden hot area takes nothing.
    const RECT hidden = ClientRectOf(dlg, IDC_HOT_HIDDEN);
    AfxSimulateClick(&dlg, hidden.left + 10, hidden.top + 10);
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_calls.size() >= 2; }));
    AfxPumpMessages(50);
    EXPECT_EQ(dlg.m_calls, (std::vector<std::string>{"base button", "hot"}));
}

TEST(PostedMessages, ArriveInOrderOnTheUserInterfaceThread) {
    CDerivedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    ASSERT_NE(g_uNotifyMsg, 0u);
    constexpr WPARAM kCount = 200;
    std::atomic<int> nRefused{0};
    std::thread poster([&] {
        for (WPARAM i = 0; i < kCount; ++i) {
            if (!PostMessageA(dlg.m_hWnd, g_uNotifyMsg, i, 0)) ++nRefused;
        }
    });
    const bool bAll = PumpUntil([&] { return dlg.m_notified.size() >= kCount; });
    poster.join();
    ASSERT_TRUE(bAll);
    EXPECT_EQ(nRefused, 0);
    for (WPARAM i = 0; i < kCount; ++i) ASSERT_EQ(dlg.m_notified[i], i);
    for (const auto& id : dlg.m_notifyThreads) EXPECT_EQ(id, std::this_thread::get_id());
}

class CEarlyEndDlg : public CDerivedDlg {
public:
    CEdit m_edit;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_FIELD, m_edit); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        for (WPARAM i = 0; i < 3; ++i) PostMessage(g_uNotifyMsg, i, 0);
        EndDialog(IDOK);
        return TRUE;
    }
};

TEST(PostedMessages, QueuedForAClosedDialogAreDropped) {
    CEarlyEndDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    const HWND hOld = dlg.m_edit.m_hWnd;
    EXPECT_EQ(hOld, nullptr);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    AfxPumpMessages(100);
    EXPECT_TRUE(dlg.m_notified.empty());
}

class CKeyDlg : public CBaseDlg {
public:
    CKeyDlg(UINT nIDTemplate, UINT nKey) : CBaseDlg(nIDTemplate), m_nKey(nKey) {}
    HWND m_hOpen = nullptr;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_hOpen = m_hWnd;
        AfxSimulateKey(this, m_nKey);
        return TRUE;
    }
    void OnPush() { m_calls.push_back("push"); }

    UINT m_nKey;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CKeyDlg, CBaseDlg)
ON_BN_CLICKED(IDC_PUSH, OnPush)
END_MESSAGE_MAP()

TEST(ModalLoop, EscapeIsTheCancelCommand) {
    CKeyDlg dlg(IDD_MAIN, VK_ESCAPE);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_nCancel, 1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    // The window is closed, not gone: a late post is refused.
    EXPECT_FALSE(PostMessageA(dlg.m_hOpen, g_uNotifyMsg, 0, 0));
}

TEST(ModalLoop, EnterIsTheOkCommandWhenNoPushButtonHasTheFocus) {
    CKeyDlg dlg(IDD_PLAIN, VK_RETURN);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nOk, 1);
}

TEST(ModalLoop, EnterPressesTheFocusedPushButton) {
    CKeyDlg dlg(IDD_BUTTONS, VK_RETURN);
    ASSERT_TRUE(dlg.Create(IDD_BUTTONS));
    ASSERT_TRUE(PumpUntil([&] { return !dlg.m_calls.empty(); }));
    EXPECT_EQ(dlg.m_calls, std::vector<std::string>{"push"});
    EXPECT_EQ(dlg.m_nOk, 0);
}

class CParentDlg : public CBaseDlg {
public:
    INT_PTR m_nChildResult = 0;
    RECT m_childRect{};
    std::string m_childFace;

protected:
    LRESULT OnOpenChild(WPARAM, LPARAM) {
        class CChildDlg : public CDialog {
        public:
            CChildDlg(CParentDlg& parent) : CDialog(IDD_BOX, &parent), m_parent(parent) {}

        protected:
            BOOL OnInitDialog() override {
                CDialog::OnInitDialog();
                CClientDC dc(this);
                char face[64] = {};
                dc.GetTextFace(sizeof face, face);
                m_parent.m_childFace = face;
                AfxSimulateKey(this, VK_RETURN);
                return TRUE;
            }
            void OnOK() override {
                GetWindowRect(&m_parent.m_childRect);
                CDialog::OnOK();
            }

        private:
            CParentDlg& m_parent;
        };
        CChildDlg child(*this);
        m_nChildResult = child.DoModal();
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CParentDlg, CBaseDlg)
ON_MESSAGE(WM_TEST_USER, OnOpenChild)
END_MESSAGE_MAP()

TEST(ModalLoop, ChildDialogRunsOverItsParentInTheTemplatesFace) {
    CParentDlg parent;
    ASSERT_TRUE(parent.Create(IDD_MAIN));
    parent.PostMessage(WM_TEST_USER);
    ASSERT_TRUE(PumpUntil([&] { return parent.m_nChildResult != 0; }));
    EXPECT_EQ(parent.m_nChildResult, IDOK);
    EXPECT_EQ(parent.m_nOk, 0);
    EXPECT_TRUE(parent.IsWindowVisible());
    // Centred over the parent, whose client is 1026 x 770 at the origin.
    EXPECT_NEAR((parent.m_childRect.left + parent.m_childRect.right) / 2, 513, 4);
    EXPECT_NEAR((parent.m_childRect.top + parent.m_childRect.bottom) / 2, 385, 20);
    EXPECT_EQ(parent.m_childFace, "AR PL UMing TW");
}

void PressRightAndChoose(CWnd& dlg, int nDowns) {
    AfxSimulateClick(&dlg, 600, 700, TRUE);
    AfxPumpMessages(100);
    for (int i = 0; i < nDowns; ++i) {
        AfxSimulateKey(&dlg, VK_DOWN);
        AfxPumpMessages(20);
    }
    AfxSimulateKey(&dlg, VK_RETURN);
}

TEST(SystemMenu, AppendedItemSendsItsSystemCommand) {
    CDerivedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    CMenu* pMenu = dlg.GetSystemMenu(FALSE);
    ASSERT_NE(pMenu, nullptr);
    EXPECT_TRUE(pMenu->AppendMenu(MF_SEPARATOR));
    EXPECT_TRUE(pMenu->AppendMenu(MF_STRING, IDM_ABOUT, "About..."));

    PressRightAndChoose(dlg, 2);  // past "Close" and the separator
    ASSERT_TRUE(PumpUntil([&] { return !dlg.m_sysCommands.empty(); }));
    EXPECT_EQ(dlg.m_sysCommands, std::vector<UINT>{IDM_ABOUT});
    EXPECT_EQ(dlg.m_nCancel, 0);
    EXPECT_TRUE(dlg.IsWindowVisible());
}

TEST(SystemMenu, CloseIsTheCancelCommand) {
    CDerivedDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    PressRightAndChoose(dlg, 1);
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_nCancel > 0; }));
    EXPECT_EQ(dlg.m_sysCommands, std::vector<UINT>{SC_CLOSE});
    EXPECT_FALSE(dlg.IsWindowVisible());
}

struct HookRecord {
    std::string text;
    std::string caption;
    UINT nType = 0;
    int nCalls = 0;
};
HookRecord g_hook;

int RecordingHook(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    g_hook.text = lpszText;
    g_hook.caption = lpszCaption ? lpszCaption : "(null)";
    g_hook.nType = nType;
    ++g_hook.nCalls;
    return 77;
}

class MessageBoxTest : public testing::Test {
protected:
    void SetUp() override {
        g_hook = {};
        AfxSetMessageBoxHook(RecordingHook);
    }
    void TearDown() override { AfxSetMessageBoxHook(nullptr); }
};

TEST_F(MessageBoxTest, BoxesGoToTheHookWithTheirTextCaptionAndType) {
    CBaseDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    EXPECT_EQ(dlg.MessageBox("Timeout!!", "Quillon", MB_OK), 77);
    EXPECT_EQ(g_hook.text, "Timeout!!");
    EXPECT_EQ(g_hook.caption, "Quillon");
    EXPECT_EQ(g_hook.nType, MB_OK);

    EXPECT_EQ(AfxMessageBox("Failed", MB_ICONERROR), 77);
    EXPECT_EQ(g_hook.text, "Failed");
    EXPECT_NE(g_hook.caption, "(null)");  // the application's name stands in
    EXPECT_EQ(g_hook.nType, MB_ICONERROR);
    EXPECT_EQ(g_hook.nCalls, 2);
}

class CEmptyListDlg : public CBaseDlg {
public:
    CComboBox m_cboPort;
    bool m_bConnected = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_SPEED, m_cboPort); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        CString strPort;
        m_cboPort.GetLBText(m_cboPort.GetCurSel(), strPort);
        m_bConnected = true;
        return TRUE;
    }
};

TEST_F(MessageBoxTest, ArgumentErrorEndsTheHandlerWithAnErrorBox) {
    CEmptyListDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    EXPECT_EQ(g_hook.nCalls, 1);
    EXPECT_EQ(g_hook.nType, MB_ICONERROR);
    EXPECT_EQ(g_hook.text, "The parameter is incorrect.");
    EXPECT_FALSE(dlg.m_bConnected);
    EXPECT_TRUE(dlg.IsWindowVisible());
}

class CTestApp : public CWinApp {
public:
    int m_nInits = 0;
    BOOL InitInstance() override {
        ++m_nInits;
        return FALSE;
    }
};

TEST(Application, TheOneInstanceRunsAndLoadsIcons) {
    CTestApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(AfxWinMain(0, nullptr), 0);
    EXPECT_EQ(app.m_nInits, 1);

    const HICON hIcon = app.LoadIcon(IDI_TEST);
    ASSERT_NE(hIcon, nullptr);
    EXPECT_EQ(app.LoadIcon(IDI_TEST), hIcon);
    EXPECT_EQ(app.LoadIcon(IDB_MISSING), nullptr);

    CBaseDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_MAIN));
    EXPECT_EQ(dlg.SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon)), 0);
    EXPECT_EQ(dlg.SetIcon(hIcon, FALSE), nullptr);
    EXPECT_EQ(dlg.SetIcon(nullptr, TRUE), hIcon);
}

}  // namespace
