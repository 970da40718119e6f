// The setting dialogues, the console's commands and the exit question of the
// real dialog, clicked as a user clicks: the bytes each click puts on the
// line and the controls it leaves shown.
#include <algorithm>
#include <functional>
#include <set>
#include <string>

#include "sim/Simulator.h"
#include "support/DialogFixture.h"

using namespace std::chrono_literals;
using quillon::Byte;
using quillon::sim::Config;
using quillon::sim::RequestKind;
using quillon::sim::Simulator;
using quillon::test::DialogTest;
using quillon::test::MessageBoxTexts;
using quillon::test::PeerDialogTest;
using quillon::test::Pty;
using Bytes = std::vector<Byte>;

namespace {

const Bytes kDisplayOn = {0xAA, 0x55, 0x18, 0x05, 0xA0, 0x00, 0x40, 0x10, 0x80, 0x1F, 0x3F, 0xF4, 0x07, 0x09,
                          0x3F, 0x89, 0x46, 0x46, 0x46, 0x46, 0x46, 0x46, 0x00, 0x00, 0x00, 0x5B, 0x00};
const Bytes kDisplayOff = {0xAA, 0x55, 0x18, 0x05, 0xA0, 0x00, 0x40, 0x10, 0x00, 0x7F, 0x00, 0xF4, 0x07, 0x09,
                           0x00, 0x89, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x00, 0x00, 0x00, 0x13, 0x00};
const Bytes kKeepOn = {0xAA, 0x55, 0x05, 0xD0, 0x0A, 0x00, 0xDF, 0x00};
const Bytes kKeepOff = {0xAA, 0x55, 0x05, 0xD0, 0x00, 0x00, 0xD5, 0x00};
const Bytes kComConfirm = {0xAA, 0x55, 0x05, 0xA0, 0x55, 0x00, 0xFA, 0x00};
const Bytes kStop = {0xAA, 0x55, 0x06, 0x80, 0x00, 0x00, 0x00, 0x86, 0x00};
const Bytes kAllStates = {0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x87, 0x00};
const Bytes kLinkClose = {0xAA, 0x55, 0x05, 0x01, 0x00, 0x00, 0x06, 0x00};

// The controls the two dialogues show and hide.
const std::set<int> kComControls = {1213, 1214, 1215, 1216, 1408, 1409, 1410, 1411, 1414};
const std::set<int> kOsdControls = {1217, 1218, 1219, 1220, 1221, 1222, 1408, 1409, 1410, 1411, 1414};

constexpr int ComChoice(int nPort, int nColumn) {
    return 1373 + 3 * (nPort - 1) + nColumn;
}
constexpr int k5V = 0;
constexpr int k12V = 1;
constexpr int kRI = 2;

}  // namespace

class WorkflowTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        std::fill(std::begin(g_byComPowerBit), std::end(g_byComPowerBit), 0);
        std::fill(std::begin(g_byCom12VBit), std::end(g_byCom12VBit), 0);
    }
    void TearDown() override {
        DialogTest::TearDown();
        if (m_sim) m_sim->Stop();
    }

    // The controller on COM1, the button not pressed: it answers requests all the same.
    Simulator& Connect(Config config = {}) {
        config.announceDelay.reset();
        m_sim = std::make_unique<Simulator>(std::move(config));
        MapPort(1, m_sim->DevicePath());
        m_sim->Start();
        OpenDialog();
        Pump(100ms);
        return *m_sim;
    }

    // A tile's command, as pressed on any data page.
    void Command(int nID) {
        ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, static_cast<WPARAM>(nID), 0);
        Pump(50ms);
    }

    // A click at the middle of the control's place: only a shown control can take it.
    void Click(int nID) {
        ASSERT_TRUE(Visible(nID)) << "control " << nID << " is not shown";
        RECT r{};
        m_dlg->GetDlgItem(nID)->GetWindowRect(&r);
        m_dlg->ScreenToClient(&r);
        AfxSimulateClick(m_dlg.get(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        Pump(50ms);
    }

    static bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            Pump(10ms);
        }
        return true;
    }

    std::set<int> ShownOf(const std::set<int>& ids) const {
        std::set<int> shown;
        for (int nID : ids)
            if (Visible(nID)) shown.insert(nID);
        return shown;
    }

    // The requests of the kind the controller took, once `count` of them came.
    std::vector<Bytes> Taken(RequestKind kind, std::size_t count) const {
        EXPECT_TRUE(m_sim->WaitForRequests(kind, count, 3s)) << quillon::sim::RequestName(kind);
        std::vector<Bytes> out;
        for (const auto& request : m_sim->Accepted())
            if (request.kind == kind) out.push_back(request.bytes);
        return out;
    }

    std::vector<RequestKind> Kinds() const {
        std::vector<RequestKind> kinds;
        for (const auto& request : m_sim->Accepted()) kinds.push_back(request.kind);
        return kinds;
    }

    std::string ControlText(int nID) const {
        CString text;
        m_dlg->GetDlgItem(nID)->GetWindowText(text);
        return text.Str();
    }

    std::unique_ptr<Simulator> m_sim;
};

TEST_F(WorkflowTest, ComPortChoicesAreSentTwiceThenConfirmed) {
    Simulator& sim = Connect();
    Command(IDC_PAGE_IO_COM);
    EXPECT_TRUE(ShownOf(kComControls).empty());

    Click(ComChoice(1, k12V));
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1213}));
    Click(ComChoice(3, k5V));
    Click(IDC_COM_PORT_SET);
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1409, 1215, 1214}));

    // No prompt seen yet: the user is asked to click again.
    Click(IDC_COM_SET_YES);
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1215, 1214, 1414}));
    const Bytes frame = {0xAA, 0x55, 0x06, 0xA5, 0x05, 0x01, 0x00, 0xB1, 0x00};
    EXPECT_EQ(Taken(RequestKind::ComPower, 1), std::vector<Bytes>{frame});
    ASSERT_TRUE(PumpUntil([] { return g_bComConfirmAck != 0; }));
    EXPECT_EQ(m_dlg->m_strNotice, "\r\nPlease Press the Confirm");

    Click(IDC_COM_SET_YES);
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1216, 1408}));
    EXPECT_EQ(ControlText(IDC_EDIT_NOTICE), "\r\nPlease Press the Confirm");
    EXPECT_EQ(Taken(RequestKind::ComPower, 2), (std::vector<Bytes>{frame, frame}));

    Click(IDC_COM_CONFIRM);
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1408}));
    EXPECT_EQ(Taken(RequestKind::ComConfirm, 1), std::vector<Bytes>{kComConfirm});
    ASSERT_TRUE(PumpUntil([this] { return m_dlg->m_strNotice == "Please Process the Cold Reboot"; }));
    EXPECT_EQ(ControlText(IDC_EDIT_NOTICE), "Please Process the Cold Reboot");
    const std::string report = m_dlg->m_strComPortState.Str();
    EXPECT_NE(report.find(" COM1:  12V"), std::string::npos) << report;
    EXPECT_NE(report.find(" COM2:   RI"), std::string::npos) << report;
    EXPECT_NE(report.find(" COM3:   5V"), std::string::npos) << report;
    EXPECT_EQ(sim.GetState().com, (quillon::sim::ComChoice{0x05, 0x01}));
    EXPECT_TRUE(sim.Rejected().empty());
}

TEST_F(WorkflowTest, ComPortFramesCarryRiForEveryPortNotChosen) {
    Connect();
    Command(IDC_PAGE_IO_COM);
    Click(ComChoice(2, k5V));
    Click(IDC_COM_PORT_SET);
    Click(IDC_COM_SET_YES);
    ASSERT_TRUE(PumpUntil([] { return g_bComConfirmAck != 0; }));

    for (int nPort = 1; nPort <= 8; ++nPort) Click(ComChoice(nPort, k5V));
    Click(IDC_COM_PORT_SET);
    Click(IDC_COM_SET_YES);

    // "12V" then "RI" clears both of COM1's bits.
    Click(ComChoice(1, k12V));
    Click(ComChoice(1, kRI));
    Click(IDC_COM_PORT_SET);
    Click(IDC_COM_SET_YES);

    EXPECT_EQ(Taken(RequestKind::ComPower, 3), (std::vector<Bytes>{
                                                   {0xAA, 0x55, 0x06, 0xA5, 0x02, 0x00, 0x00, 0xAD, 0x00},
                                                   {0xAA, 0x55, 0x06, 0xA5, 0xFF, 0x00, 0x00, 0xAA, 0x00},
                                                   {0xAA, 0x55, 0x06, 0xA5, 0xFE, 0x00, 0x00, 0xA9, 0x00},
                                               }));
}

TEST_F(WorkflowTest, NoKeepsTheBusyMessageAndAChoiceKeepsConfirm) {
    Connect();
    Command(IDC_PAGE_IO_COM);
    Click(ComChoice(5, k12V));
    Click(IDC_COM_PORT_SET);
    Click(IDC_COM_SET_YES);
    Click(IDC_COM_SET_NO);
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1213, 1414}));

    ASSERT_TRUE(PumpUntil([] { return g_bComConfirmAck != 0; }));
    Click(IDC_COM_PORT_SET);
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1409, 1215, 1214, 1414}));
    Click(IDC_COM_SET_YES);
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1216, 1408}));

    Click(ComChoice(6, kRI));
    EXPECT_EQ(ShownOf(kComControls), (std::set<int>{1213, 1216, 1408}));
    EXPECT_EQ(Taken(RequestKind::ComPower, 2).size(), 2u);
    EXPECT_FALSE(m_sim->WaitForRequests(RequestKind::ComConfirm, 1, 100ms));
}

TEST_F(WorkflowTest, OsdOnWaitsForEachAcknowledgementAndEndsAskingForAColdReboot) {
    Simulator& sim = Connect();
    Command(IDC_PAGE_IO_COM);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1217, 1218}));

    Click(IDC_OSD_ON);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1217, 1218, 1414}));
    EXPECT_EQ(Taken(RequestKind::OsdDisplayOn, 1), std::vector<Bytes>{kDisplayOn});
    ASSERT_TRUE(PumpUntil([] { return g_bOsdRequestAck != 0; }));

    Click(IDC_OSD_ON);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1409, 1219, 1220}));
    Click(IDC_OSD_ON_YES);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1409, 1219, 1220, 1414}));
    EXPECT_EQ(Taken(RequestKind::OsdKeepOn, 1), std::vector<Bytes>{kKeepOn});
    ASSERT_TRUE(PumpUntil([] { return g_bOsdApplyAck != 0; }));

    Click(IDC_OSD_ON_YES);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1217, 1218, 1409, 1410}));
    EXPECT_EQ(Kinds(), (std::vector<RequestKind>{RequestKind::OsdDisplayOn, RequestKind::OsdDisplayOn,
                                                 RequestKind::OsdKeepOn, RequestKind::OsdKeepOn}));
    EXPECT_TRUE(sim.GetState().osdOn);
    EXPECT_TRUE(sim.Rejected().empty());
}

TEST_F(WorkflowTest, OsdNoSendsTheOtherDisplayFrameAndOffEndsWithItsMessage) {
    Simulator& sim = Connect();
    Command(IDC_PAGE_IO_COM);
    Click(IDC_OSD_OFF);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1217, 1218, 1414}));
    ASSERT_TRUE(PumpUntil([] { return g_bOsdRequestAck != 0; }));

    Click(IDC_OSD_OFF);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1409, 1221, 1222}));
    Click(IDC_OSD_OFF_NO);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1217, 1218}));
    Click(IDC_OSD_ON);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1409, 1219, 1220}));
    Click(IDC_OSD_ON_NO);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1217, 1218}));

    Click(IDC_OSD_OFF);
    Click(IDC_OSD_OFF_YES);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1409, 1221, 1222, 1414}));
    ASSERT_TRUE(PumpUntil([] { return g_bOsdApplyAck != 0; }));
    Click(IDC_OSD_OFF_YES);
    EXPECT_EQ(ShownOf(kOsdControls), (std::set<int>{1217, 1218, 1409, 1411}));

    EXPECT_EQ(Taken(RequestKind::OsdKeepOff, 2), (std::vector<Bytes>{kKeepOff, kKeepOff}));
    EXPECT_EQ(Taken(RequestKind::OsdDisplayOff, 4), (std::vector<Bytes>(4, kDisplayOff)));
    EXPECT_EQ(Kinds(), (std::vector<RequestKind>{RequestKind::OsdDisplayOff, RequestKind::OsdDisplayOff,
                                                 RequestKind::OsdDisplayOn, RequestKind::OsdDisplayOn,
                                                 RequestKind::OsdDisplayOff, RequestKind::OsdDisplayOff,
                                                 RequestKind::OsdKeepOff, RequestKind::OsdKeepOff}));
    EXPECT_FALSE(sim.GetState().osdOn);
}

TEST_F(WorkflowTest, ExitPausesTheStreamThenYesClosesTheLink) {
    // Late enough to see the pause before the acknowledgement ends it.
    Config config;
    config.faults.ackDelay = 1500ms;
    Simulator& sim = Connect(config);
    Command(IDC_PAGE_IO_COM);
    Click(IDC_OSD_OFF);
    Click(IDC_PAGE_EXIT);
    EXPECT_EQ(Taken(RequestKind::AllStatesStop, 1), std::vector<Bytes>{kStop});
    EXPECT_EQ(g_nPage, PAGE_IO_COM);
    EXPECT_TRUE(Visible(IDC_EXIT_NO));
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
    for (std::size_t i = 0; i < pTemplate->nItems; ++i) {
        const AFX_DLGITEM& item = pTemplate->pItems[i];
        const bool bDialogue = (item.nID >= 1213 && item.nID <= 1222) ||
                               (item.nID >= 1373 && item.nID <= 1396) ||
                               (item.nID >= 1408 && item.nID <= 1414);
        if (std::string(item.lpszClass) == "EDIT" || bDialogue) {
            EXPECT_FALSE(Visible(static_cast<int>(item.nID))) << "control " << item.nID;
        }
    }

    ASSERT_TRUE(PumpUntil([] { return g_nPage == PAGE_EXIT_CONFIRM; }));
    Pump(50ms);
    EXPECT_TRUE(Visible(IDCANCEL));
    EXPECT_TRUE(Visible(IDC_EXIT_NO));
    Click(IDCANCEL);
    EXPECT_EQ(Taken(RequestKind::LinkClose, 1), std::vector<Bytes>{kLinkClose});
    EXPECT_FALSE(m_dlg->IsWindowVisible());
    EXPECT_TRUE(sim.Rejected().empty());
}

TEST_F(WorkflowTest, NoAsksForTheStatesAgainAndReturnsToTheTerminalStatusPage) {
    Connect();
    Command(IDC_PAGE_POWER);
    Click(IDC_PAGE_EXIT);
    ASSERT_TRUE(PumpUntil([] { return g_nPage == PAGE_EXIT_CONFIRM; }));
    Pump(50ms);
    Click(IDC_EXIT_NO);
    EXPECT_EQ(Taken(RequestKind::AllStatesStart, 1), std::vector<Bytes>{kAllStates});
    EXPECT_EQ(g_nPage, PAGE_TERMINAL_STATUS);
    EXPECT_FALSE(Visible(IDC_EXIT_NO));
    EXPECT_TRUE(Visible(IDC_EDIT_MB_VERSION));
    EXPECT_TRUE(Visible(IDC_EDIT_SERIAL_NUMBERS));
    EXPECT_TRUE(Visible(IDC_CONSOLE));
    EXPECT_TRUE(m_dlg->IsWindowVisible());
}

TEST_F(WorkflowTest, ATileLeavesTheExitQuestionWithoutAWord) {
    Connect();
    Command(IDC_PAGE_THERMAL);
    Click(IDC_PAGE_EXIT);
    ASSERT_TRUE(PumpUntil([] { return g_nPage == PAGE_EXIT_CONFIRM; }));
    Pump(50ms);
    Click(IDC_PAGE_POWER);
    Pump(300ms);
    EXPECT_EQ(g_nPage, PAGE_POWER);
    EXPECT_EQ(Kinds(), std::vector<RequestKind>{RequestKind::AllStatesStop});
}

// "Exit" on the terminal-status page offers YES and NO over the question's picture whether the
// acknowledgement comes at once (handled before the page paints again) or after idle paints of the
// page. Back on the page through its tile, YES keeps its visibility beneath the serial list, and a
// click there reaches the list, not YES.
TEST_F(WorkflowTest, ExitOnTheTerminalStatusPageOffersYesAndNoHoweverLateTheAcknowledgement) {
    for (const auto ackDelay : {0ms, 1500ms}) {
        SCOPED_TRACE("acknowledgement after " + std::to_string(ackDelay.count()) + " ms");
        Config config;
        config.faults.ackDelay = ackDelay;
        Connect(config);
        Command(IDC_PAGE_TERMINAL_STATUS);
        Click(IDC_PAGE_EXIT);
        ASSERT_TRUE(PumpUntil([] { return g_nPage == PAGE_EXIT_CONFIRM; }));
        Pump(50ms);
        EXPECT_TRUE(Visible(IDCANCEL));
        EXPECT_TRUE(Visible(IDC_EXIT_NO));
        for (int nID : {IDC_EDIT_MB_VERSION, IDC_EDIT_SERIAL_NUMBERS, IDC_CONSOLE, IDC_STATIC_MB_VERSION})
            EXPECT_FALSE(Visible(nID)) << "control " << nID;

        Click(IDC_PAGE_TERMINAL_STATUS);
        EXPECT_TRUE(Visible(IDC_EDIT_SERIAL_NUMBERS));
        Click(IDCANCEL);
        Pump(100ms);
        EXPECT_TRUE(m_dlg->IsWindowVisible());

        Click(IDC_PAGE_EXIT);
        ASSERT_TRUE(PumpUntil([] { return g_nPage == PAGE_EXIT_CONFIRM; }));
        Pump(50ms);
        Click(IDCANCEL);
        EXPECT_EQ(Taken(RequestKind::LinkClose, 1), std::vector<Bytes>{kLinkClose});
        EXPECT_FALSE(m_dlg->IsWindowVisible());
        m_sim->Stop();
        m_dlg.reset();
    }
}

TEST_F(WorkflowTest, EscapeAndClosingTheWindowCloseTheLinkOnAnyPage) {
    Connect();
    AfxSimulateKey(m_dlg.get(), VK_ESCAPE);
    Pump(100ms);
    EXPECT_EQ(Taken(RequestKind::LinkClose, 1), std::vector<Bytes>{kLinkClose});
    EXPECT_FALSE(m_dlg->IsWindowVisible());

    // A fresh dialog, on another page.
    m_sim->Stop();
    m_dlg.reset();
    Connect();
    Command(IDC_PAGE_IO_COM);
    ::SendMessageA(m_dlg->m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(Taken(RequestKind::LinkClose, 1), std::vector<Bytes>{kLinkClose});
    EXPECT_FALSE(m_dlg->IsWindowVisible());
}

TEST_F(WorkflowTest, TheStartScreensExitQuestionSendsNothing) {
    Simulator& sim = Connect();
    Click(IDC_START_EXIT);
    Click(IDC_START_EXIT_NO);
    EXPECT_EQ(g_nPage, PAGE_WAIT_ACTIVATION);
    Click(IDC_START_EXIT);
    Click(IDC_START_EXIT_YES);
    EXPECT_FALSE(m_dlg->IsWindowVisible());
    Pump(200ms);
    EXPECT_TRUE(sim.Accepted().empty());
    EXPECT_TRUE(sim.Rejected().empty());
}

// ---- the console's commands, against a bare line ------------------------------------------

namespace {

// Right-click, then down the system menu: Close, About, Send frame..., Clear console.
void ChooseFromMenu(CWnd& dlg, int nDowns) {
    AfxSimulateClick(&dlg, 600, 700, TRUE);
    AfxPumpMessages(100);
    for (int i = 0; i < nDowns; ++i) {
        AfxSimulateKey(&dlg, VK_DOWN);
        AfxPumpMessages(20);
    }
    AfxSimulateKey(&dlg, VK_RETURN);
}
constexpr int kSendFrameEntry = 3;
constexpr int kClearConsoleEntry = 4;

// What the send-frame box shows when it opens, and what the user types into it before Enter.
struct SendBoxScript {
    std::string typed;
    std::string countShown;
    int nOpened = 0;
};
SendBoxScript g_script;

void TypeIntoSendBox(CDialog* pDialog, UINT nIDTemplate) {
    ++g_script.nOpened;
    if (nIDTemplate == IDD_SEND_FRAME) {
        CString count;
        pDialog->GetDlgItem(IDC_SEND_COUNT)->GetWindowText(count);
        g_script.countShown = count.Str();
        for (char c : g_script.typed) AfxSimulateKey(pDialog, c == ' ' ? VK_SPACE : static_cast<UINT>(c));
        AfxPumpMessages(100);
        AfxSimulateKey(pDialog, VK_RETURN);
        AfxPumpMessages(100);
    }
    pDialog->EndDialog(IDCANCEL);
}

}  // namespace

class ConsoleTest : public PeerDialogTest {
protected:
    void Send(const char* pszText, const char* pszCount) {
        m_dlg->m_strSendText = pszText;
        m_dlg->m_strSendCount = pszCount;
        ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, IDC_SEND_FRAME, 0);
    }

    Bytes Line(std::chrono::milliseconds time = 200ms) const { return m_peer.Drain(time); }
};

TEST_F(ConsoleTest, CustomFramesGoOutAsTypedAndTheirCount) {
    Send(" aa55 0501 ", "1");
    EXPECT_EQ(Line(), (Bytes{0xAA, 0x55, 0x00, 0x50}));
    EXPECT_EQ(m_dlg->m_nSendTextLength, 9);
    Send("AA5", "1");
    EXPECT_EQ(Line(), (Bytes{0xAA}));
    Send("0102", "3 times");
    EXPECT_EQ(Line(), (Bytes{0x01, 0x02, 0x01, 0x02, 0x01, 0x02}));
    // A blank text sends the previous frame again.
    Send("  ", "1");
    EXPECT_EQ(Line(), (Bytes{0x01, 0x02}));

    for (const char* pszCount : {"0", "", "once", "-1"}) {
        Send("AA55", pszCount);
        EXPECT_TRUE(Line(100ms).empty()) << "count \"" << pszCount << "\"";
    }
    // One character is a frame of no bytes.
    Send("7", "2");
    EXPECT_TRUE(Line().empty());
    EXPECT_TRUE(MessageBoxTexts().empty());
}

TEST_F(ConsoleTest, AFrameTextLongerThanTheBufferIsRefusedAndNothingIsSent) {
    Send("A5A5", "1");
    ASSERT_EQ(Line().size(), 2u);
    Send(std::string(513, 'B').c_str(), "1");
    EXPECT_TRUE(Line().empty());
    ASSERT_EQ(MessageBoxTexts().size(), 1u);
    EXPECT_NE(MessageBoxTexts()[0].find("256 bytes"), std::string::npos) << MessageBoxTexts()[0];
    EXPECT_EQ(m_dlg->m_nSendTextLength, 4);

    // 512 characters are a full buffer.
    Send(std::string(512, 'C').c_str(), "1");
    EXPECT_EQ(Line(), Bytes(256, 0xCC));
    EXPECT_EQ(MessageBoxTexts().size(), 1u);
}

TEST_F(ConsoleTest, AWriteThatCannotCompleteShowsTimeoutOncePerRepetition) {
    ASSERT_EQ(m_dlg->m_serial.ConfigureFlowControl(CSerial::FlowSoftware), 0);
    ASSERT_TRUE(m_peer.Write({0x13}));  // XOFF: the port may send nothing more
    Pump(200ms);
    const auto start = std::chrono::steady_clock::now();
    Send("AA55", "2");
    // The second repetition finds the line held up by the first and waits no time-out of its own.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
    EXPECT_EQ(MessageBoxTexts(), (std::vector<std::string>{"Timeout!!", "Timeout!!"}));
}

TEST_F(ConsoleTest, ClearEmptiesTheLogAndTheConsoleShowsItAtTheNextEntry) {
    ASSERT_TRUE(m_peer.Write({0x01, 0x02, 0x03}));
    Pump(300ms);
    ASSERT_EQ(m_dlg->m_strConsole, "\r\nRxChar(3): 01 02 03");

    ChooseFromMenu(*m_dlg, kClearConsoleEntry);
    Pump(100ms);
    EXPECT_TRUE(m_dlg->m_strConsole.IsEmpty());
    CString shown;
    m_dlg->GetDlgItem(IDC_CONSOLE)->GetWindowText(shown);
    EXPECT_EQ(shown, "\r\nRxChar(3): 01 02 03");

    ASSERT_TRUE(m_peer.Write({0x04}));
    Pump(300ms);
    m_dlg->GetDlgItem(IDC_CONSOLE)->GetWindowText(shown);
    EXPECT_EQ(shown, "\r\nRxChar(1): 04");
}

TEST_F(ConsoleTest, TheSendFrameBoxOpensFromTheMenuAndSendsWhatIsTyped) {
    g_script = {"AA55 0201", "", 0};
    AfxSetModalHook(&TypeIntoSendBox);
    ChooseFromMenu(*m_dlg, kSendFrameEntry);
    const Bytes got = PumpUntilReceived(m_peer, 4, 3s);
    AfxSetModalHook(nullptr);
    EXPECT_EQ(g_script.nOpened, 1);
    EXPECT_EQ(g_script.countShown, "1");
    // " 0" and "20" are the pairs after AA 55; the last 1 is left over.
    EXPECT_EQ(got, (Bytes{0xAA, 0x55, 0x00, 0x20}));
    EXPECT_EQ(m_dlg->m_strSendText, "AA55 0201");
    EXPECT_TRUE(Line(100ms).empty());
    EXPECT_TRUE(m_dlg->IsWindowVisible());
}

TEST_F(ConsoleTest, TheSendFrameBoxOpensWithTheLastTextWholeAndTypingKeepsIt) {
    std::string last;
    for (int i = 0; i < 200; ++i) last += "AB";
    m_dlg->m_strSendText = last.c_str();
    m_dlg->m_strSendCount = "1";
    // Typed at the start of the text, where the box puts the cursor.
    g_script = {"CD", "", 0};
    AfxSetModalHook(&TypeIntoSendBox);
    ChooseFromMenu(*m_dlg, kSendFrameEntry);
    const Bytes got = PumpUntilReceived(m_peer, 201, 3s);
    AfxSetModalHook(nullptr);
    Bytes expected(201, 0xAB);
    expected[0] = 0xCD;
    EXPECT_EQ(got, expected);
    EXPECT_EQ(m_dlg->m_strSendText, ("CD" + last).c_str());
}
