// Start-up, connection and line-event dispatch of the real dialog.
#include <stdio_ext.h>

#include <cstdio>
#include <set>

#include "protocol/Frame.h"
#include "support/DialogFixture.h"

using namespace std::chrono_literals;
using quillon::test::DialogTest;
using quillon::test::MessageBoxTexts;
using quillon::test::Pty;

namespace {

LRESULT Notify(CQuillonDlg& dlg, WPARAM wParam) { return ::SendMessageA(dlg.m_hWnd, g_uDefaultComMsg, wParam, 0); }

std::vector<CString> PortList(CQuillonDlg& dlg) {
    std::vector<CString> names;
    for (int i = 0; i < dlg.m_cboPort.GetCount(); ++i) {
        CString name;
        dlg.m_cboPort.GetLBText(i, name);
        names.push_back(name);
    }
    return names;
}

}  // namespace

TEST_F(DialogTest, StartsOnTheStartScreenWithOnlyTheStartControls) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    const std::set<UINT> expected{1000, 1010, 1015, 1020, 1022, 1236, 1210, 1211, 1212, 1026};
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialogTemplate(IDD_QUILLON_DIALOG);
    ASSERT_NE(pTemplate, nullptr);
    for (std::size_t i = 0; i < pTemplate->nItems; ++i) {
        const UINT nID = pTemplate->pItems[i].nID;
        EXPECT_EQ(Visible(static_cast<int>(nID)), expected.count(nID) == 1) << "control " << nID;
    }
    EXPECT_EQ(g_nPage, PAGE_WAIT_ACTIVATION);
    EXPECT_EQ(dlg.m_tabMain.GetItemCount(), 8);
    EXPECT_EQ(dlg.m_nReadLength, 4);
    EXPECT_EQ(dlg.m_cboSpeed.GetCurSel(), 0);
    CString speed;
    dlg.m_cboSpeed.GetLBText(0, speed);
    EXPECT_EQ(speed, "115200");
    EXPECT_TRUE(MessageBoxTexts().empty());
}

TEST_F(DialogTest, ListsTheOpenablePortsAndOpensTheFirst) {
    Pty com3;
    Pty com5;
    MapPort(3, com3.Path());
    MapPort(5, com5.Path());
    CQuillonDlg& dlg = OpenDialog();
    EXPECT_EQ(PortList(dlg), (std::vector<CString>{"COM3", "COM5"}));
    EXPECT_EQ(dlg.m_cboPort.GetCurSel(), 0);
    EXPECT_FALSE(dlg.m_cboPort.IsWindowEnabled());
    ASSERT_TRUE(dlg.m_serial.IsOpen());
    EXPECT_EQ(dlg.m_serial.QuerySpeed(), 115200);
    EXPECT_EQ(dlg.m_serial.QueryDataBits(), 8);
    EXPECT_EQ(dlg.m_serial.QueryParity(), NOPARITY);
    EXPECT_EQ(dlg.m_serial.QueryStopBits(), ONESTOPBIT);
    EXPECT_EQ(dlg.m_serial.QueryEventMask(), 0x1FDu);
    // It is COM3 that is held: COM5 can still be opened by another program.
    EXPECT_EQ(CSerial::ProbePort("COM3"), CSerial::ProbeBusy);
    EXPECT_EQ(CSerial::ProbePort("COM5"), CSerial::ProbeOk);
}

TEST_F(DialogTest, APortHeldElsewhereIsNotListed) {
    Pty com2;
    Pty com4;
    MapPort(2, com2.Path());
    MapPort(4, com4.Path());
    CSerial holder;
    ASSERT_EQ(holder.OpenPort("COM2"), 0);
    CQuillonDlg& dlg = OpenDialog();
    EXPECT_EQ(PortList(dlg), (std::vector<CString>{"COM4"}));
}

TEST_F(DialogTest, NoPortGivesOneMessageAndTheStartScreen) {
    CQuillonDlg& dlg = OpenDialog();
    ASSERT_EQ(MessageBoxTexts().size(), 1u);
    EXPECT_NE(MessageBoxTexts()[0].find("No serial port"), std::string::npos);
    EXPECT_FALSE(dlg.m_serial.IsOpen());
    EXPECT_EQ(g_nPage, PAGE_WAIT_ACTIVATION);
    EXPECT_TRUE(Visible(1210));
    EXPECT_FALSE(Visible(1004));
    // Initialisation went on after the message: the speed list is filled.
    EXPECT_EQ(dlg.m_cboSpeed.GetCount(), 7);
}

TEST_F(DialogTest, ConnectAgainKeepsThePortAndDiscardsUnreadBytes) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    Pump(50ms);
    const HANDLE hBefore = dlg.m_serial.GetCommHandle();
    ASSERT_TRUE(com1.Write({0xAA, 0x55, 0x05, 0x01, 0x01, 0x00, 0x07}));
    std::this_thread::sleep_for(100ms);
    ::SendMessageA(dlg.m_hWnd, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dlg.m_serial.GetCommHandle(), hBefore);
    Pump(300ms);
    EXPECT_EQ(dlg.m_strConsole.Find("RxChar"), -1);
    // Nothing was decoded, so nothing was answered.
    EXPECT_TRUE(com1.Drain(100ms).empty());
}

TEST_F(DialogTest, ClosePortCommandClosesAndEnablesTheSelector) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    ::SendMessageA(dlg.m_hWnd, WM_COMMAND, 1003, 0);
    EXPECT_FALSE(dlg.m_serial.IsOpen());
    EXPECT_TRUE(dlg.m_cboPort.IsWindowEnabled());
    EXPECT_EQ(CSerial::ProbePort("COM1"), CSerial::ProbeOk);
}

TEST_F(DialogTest, ModemLineEventWritesItsLineAndTrace) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    testing::internal::CaptureStdout();
    Notify(dlg, EV_CTS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "cts\n");
    // A pseudo-terminal has no modem lines: the state reads 0.
    EXPECT_TRUE(dlg.m_strConsole.Str().ends_with("\r\nCTS change: 0"));
}

TEST_F(DialogTest, TransmitEmptyOnlyTraces) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    testing::internal::CaptureStdout();
    Notify(dlg, EV_TXEMPTY);
    Notify(dlg, EV_RXCHAR);  // nothing waiting
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "send\nrecv\n");
    EXPECT_TRUE(dlg.m_strConsole.IsEmpty());
}

TEST_F(DialogTest, TraceLinesReachStandardOutputWithinADisplayFrame) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    // As the program runs them: buffered, whatever the output is, and handed on by the dialog.
    std::fflush(stdout);
    std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    testing::internal::CaptureStdout();
    for (WPARAM event : {EV_TXEMPTY, EV_TXEMPTY, EV_CTS, EV_TXEMPTY}) Notify(dlg, event);
    Pump(100ms);
    EXPECT_EQ(__fpending(stdout), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "send\nsend\ncts\nsend\n");
}

TEST_F(DialogTest, BatchOfSeveralEventsRunsEachOfThem) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    Pump(50ms);
    ASSERT_TRUE(com1.Write({0xAA, 0x55, 0x06, 0x80, 0x01, 0x00, 0x00, 0x87}));
    std::this_thread::sleep_for(100ms);
    testing::internal::CaptureStdout();
    Notify(dlg, EV_RXCHAR | EV_CTS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "recv\ncts\n");
    EXPECT_EQ(dlg.m_strConsole.Str(), "\r\nRxChar(8): AA 55 06 80 01 00 00 87\r\nCTS change: 0");
}

namespace {

std::vector<UINT>& ModalTemplates() {
    static std::vector<UINT> templates;
    return templates;
}

void CloseModalAtOnce(CDialog* pDialog, UINT nIDTemplate) {
    ModalTemplates().push_back(nIDTemplate);
    pDialog->EndDialog(IDOK);
}

}  // namespace

TEST_F(DialogTest, SystemCommandsSixteenToThirtyOneOpenTheAboutBox) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    ModalTemplates().clear();
    AfxSetModalHook(&CloseModalAtOnce);
    for (UINT nID = 16; nID <= 31; ++nID) ::SendMessageA(dlg.m_hWnd, WM_SYSCOMMAND, nID, 0);
    ::SendMessageA(dlg.m_hWnd, WM_SYSCOMMAND, 32, 0);
    AfxSetModalHook(nullptr);
    EXPECT_EQ(ModalTemplates(), std::vector<UINT>(16, IDD_ABOUTBOX));
    EXPECT_TRUE(dlg.IsWindowVisible());
}

TEST_F(DialogTest, WindowAndAboutBoxShowTheApplicationIcon) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    EXPECT_NE(dlg.m_hAppIcon, nullptr);
    EXPECT_EQ(dlg.OnQueryDragIcon(), dlg.m_hAppIcon);
    const AFX_DLGTEMPLATE* pAbout = AfxFindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(pAbout, nullptr);
    bool bIconNamed = false;
    for (std::size_t i = 0; i < pAbout->nItems; ++i) {
        if (pAbout->pItems[i].lpszCaption && std::string(pAbout->pItems[i].lpszCaption) == "#128") bIconNamed = true;
    }
    EXPECT_TRUE(bIconNamed);
    EXPECT_NE(AfxFindImageResource(IDI_ABOUT).pData, nullptr);
}

TEST_F(DialogTest, EscapeEndsTheDialog) {
    Pty com1;
    MapPort(1, com1.Path());
    CQuillonDlg& dlg = OpenDialog();
    ModalTemplates().clear();
    AfxSimulateKey(&dlg, VK_ESCAPE);
    Pump(100ms);
    EXPECT_FALSE(dlg.IsWindowVisible());
}
