#include "app/QuillonDlg.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/AboutDlg.h"
#include "app/NoPortMessage.h"
#include "app/Startup.h"

using namespace quillon;

namespace {

// Text members bound to their controls, in template order.
struct TextBinding {
    int nID;
    CString CQuillonDlg::*pMember;
};

constexpr TextBinding kTextBindings[] = {
    {IDC_CONSOLE, &CQuillonDlg::m_strConsole},
    {IDC_EDIT_MB_VERSION, &CQuillonDlg::m_strMbVersion},
    {IDC_EDIT_BIOS_VERSION, &CQuillonDlg::m_strBiosVersion},
    {IDC_EDIT_IO_VERSION, &CQuillonDlg::m_strIoVersion},
    {IDC_EDIT_DISPLAY_VERSION, &CQuillonDlg::m_strDisplayVersion},
    {IDC_EDIT_OPERATION_SERVICE_HOURS, &CQuillonDlg::m_strOperationHours},
    {IDC_EDIT_STANDBY_SERVICE_HOURS, &CQuillonDlg::m_strStandbyHours},
    {IDC_EDIT_ABNORMAL_ONOFF_COUNT, &CQuillonDlg::m_strAbnormalCount},
    {IDC_EDIT_SERIAL_NUMBERS, &CQuillonDlg::m_strSerialNumbers},
    {IDC_EDIT_COM_PORT_STATE, &CQuillonDlg::m_strComPortState},
    {IDC_EDIT_ONOFF_TOTAL, &CQuillonDlg::m_strOnOffTotal},
    {IDC_EDIT_SYSTEM_OPERATION_HOURS, &CQuillonDlg::m_strSystemHours},
    {IDC_EDIT_DISPLAY_PLUGIN_TIME, &CQuillonDlg::m_strPlugInCount},
    {IDC_EDIT_DISPLAY_STANDBY_HOURS, &CQuillonDlg::m_strDisplayStandbyHours},
    {IDC_EDIT_BACKLIGHT_HOURS, &CQuillonDlg::m_strBacklightHours},
    {IDC_EDIT_OSD_FUNCTION, &CQuillonDlg::m_strOsdState},
    {IDC_EDIT_BACKLIGHT_BRIGHTNESS, &CQuillonDlg::m_strBacklight},
    {IDC_EDIT_NOTICE, &CQuillonDlg::m_strNotice},
};

constexpr int kMessageFontPoints = 140;
constexpr const char* kMessageFontFace = "Times New Roman";
constexpr COLORREF kLabelColour = 0xFFFFFF;

}  // namespace

BEGIN_MESSAGE_MAP(CQuillonDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_TIMER()
ON_WM_QUERYDRAGICON()
ON_COMMAND(IDOK, OnConnect)
ON_COMMAND(IDC_APPLY_LINE_SETTINGS, ApplyLineSettings)
ON_COMMAND(IDC_CLOSE_PORT, OnClosePort)
ON_COMMAND(IDC_OPEN_LINK, OpenLink)
ON_COMMAND(IDC_ALL_STATE_CONTINUOUS, OnAllStateContinuous)
ON_COMMAND(IDC_ALL, OnAll)
ON_REGISTERED_MESSAGE(g_uDefaultComMsg, OnSerialNotify)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
ON_COMMAND(IDC_PAGE_TERMINAL_STATUS, OnPageTerminalStatus)
ON_COMMAND(IDC_PAGE_THERMAL, OnPageThermal)
ON_COMMAND(IDC_PAGE_POWER, OnPagePower)
ON_COMMAND(IDC_PAGE_IO_COM, OnPageIoCom)
ON_COMMAND(IDC_PAGE_IO, OnPageIo)
ON_COMMAND(IDC_START_EXIT, OnExit2)
ON_COMMAND(IDC_START_EXIT_NO, OnIn2)
ON_COMMAND_RANGE(IDC_COM1_5V, IDC_COM8_RI, OnComChoice)
ON_COMMAND(IDC_COM_PORT_SET, OnComPortSet)
ON_COMMAND(IDC_COM_SET_YES, OnComYes)
ON_COMMAND(IDC_COM_SET_NO, OnComNo)
ON_COMMAND(IDC_COM_CONFIRM, OnComConfirm)
ON_COMMAND(IDC_OSD_ON, OnOsdOn)
ON_COMMAND(IDC_OSD_OFF, OnOsdOff)
ON_COMMAND(IDC_OSD_ON_YES, OnOsdOnYes)
ON_COMMAND(IDC_OSD_ON_NO, OnOsdOnNo)
ON_COMMAND(IDC_OSD_OFF_YES, OnOsdOffYes)
ON_COMMAND(IDC_OSD_OFF_NO, OnOsdOffNo)
ON_COMMAND(IDC_CLEAR_CONSOLE, OnClear)
ON_COMMAND(IDC_SEND_FRAME, OnSendFrame)
ON_COMMAND(IDC_PAGE_EXIT, OnExitPage)
ON_COMMAND(IDCANCEL, OnExitYes)
ON_COMMAND(IDC_EXIT_NO, OnExitNo)
ON_COMMAND(IDC_START_EXIT_YES, OnOut2)
END_MESSAGE_MAP()

CQuillonDlg::CQuillonDlg(CWnd* pParent) : CDialog(IDD_QUILLON_DIALOG, pParent) {
    m_hAppIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr;
}

// The port closes first: that stops the listener before any member it could reach goes away.
CQuillonDlg::~CQuillonDlg() { m_serial.ClosePort(); }

void CQuillonDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONSOLE, m_editConsole);
    DDX_Control(pDX, IDC_PORT, m_cboPort);
    DDX_Control(pDX, IDC_SPEED, m_cboSpeed);
    DDX_Control(pDX, IDC_TAB_MAIN, m_tabMain);
    for (const auto& binding : kTextBindings) DDX_Text(pDX, binding.nID, this->*binding.pMember);
    for (int i = 0; i < kSensorFieldCount; ++i) DDX_Text(pDX, kFirstSensorField + i, m_strSensor[i]);
}

BOOL CQuillonDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        const char* pszAbout = AfxFindStringResource(IDS_ABOUTBOX);
        if (pszAbout && *pszAbout) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, pszAbout);
        }
        AppendConsoleMenu(pSysMenu);
        pSysMenu->AppendMenu(MF_STRING, IDM_SENSOR_HISTORY, "Sensor history...");
    }
    SetIcon(m_hAppIcon, TRUE);
    SetIcon(m_hAppIcon, FALSE);

    m_nReadLength = 4;
    m_clrLabel = kLabelColour;
    m_brLabel.CreateSolidBrush(m_clrLabel);

    CFont pointFont;
    pointFont.CreatePointFont(kMessageFontPoints, kMessageFontFace);
    LOGFONTA logFont{};
    pointFont.GetLogFont(&logFont);
    m_fontLabel.CreateFontIndirect(&logFont);
    for (UINT nID : kMessageFontControls) {
        if (CWnd* pControl = GetDlgItem(static_cast<int>(nID))) pControl->SetFont(&m_fontLabel, TRUE);
    }

    ListPorts();
    g_nPage = PAGE_WAIT_ACTIVATION;

    for (int i = 0; i < 8; ++i) {
        CString strTab;
        strTab.Format("Tab%d", i + 1);
        m_tabMain.InsertItem(i, strTab);
    }

    for (const auto& range : kStartHidden) {
        for (UINT nID = range.nFirst; nID <= range.nLast; ++nID) {
            if (CWnd* pControl = GetDlgItem(static_cast<int>(nID))) pControl->ShowWindow(SW_HIDE);
        }
    }

    for (const char* pszSpeed : kSpeedTexts) m_cboSpeed.AddString(pszSpeed);
    m_cboSpeed.SetCurSel(0);

    OnConnect();
    return TRUE;
}

void CQuillonDlg::ListPorts() {
    for (int n = 1; n <= kPortCount; ++n) {
        CString strName;
        strName.Format("COM%d", n);
        if (CSerial::ProbePort(strName) == CSerial::ProbeOk) m_cboPort.AddString(strName);
    }
    m_cboPort.SetCurSel(0);
}

void CQuillonDlg::OnConnect() {
    std::vector<std::string> listed;
    for (int i = 0; i < m_cboPort.GetCount(); ++i) {
        CString strName;
        m_cboPort.GetLBText(i, strName);
        listed.push_back(strName.Str());
    }
    const auto reportNoPort = [this, &listed] {
        const std::vector<PortFailure> failures = PortFailures(kPortCount, listed);
        std::fputs(ForStandardError(NoPortMessage(failures, "\n")).c_str(), stderr);
        MessageBox(NoPortMessage(failures, "\r\n").c_str(), "Quillon", MB_OK | MB_ICONERROR);
    };
    const int nSel = m_cboPort.GetCurSel();
    if (nSel == CB_ERR) {
        reportNoPort();
        return;
    }
    CString strPort;
    m_cboPort.GetLBText(nSel, strPort);

    // Said once, when this run of the sequence opened the port: the OK command runs it again.
    if (m_serial.OpenForWindow(strPort, this, 0, 0, 0, 0) == ERROR_SUCCESS) {
        m_strDevicePath = win32::ResolvePort(strPort).path;
        const std::string report =
            OpenedPortReport(PortFailures(kPortCount, listed), strPort.Str(), m_strDevicePath);
        std::fputs(report.c_str(), stderr);
    } else if (!m_serial.IsOpen()) {
        // Gone or taken since it was listed: its open recorded why.
        std::erase(listed, strPort.Str());
        reportNoPort();
    }
    ApplyLineSettings();
    m_serial.SetEventMask(EV_RXCHAR | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR | EV_RING);
    m_serial.ConfigureReadMode(CSerial::ReadReturnAtOnce);
    m_cboPort.EnableWindow(FALSE);
    UpdateData(FALSE);
    m_serial.PurgeBuffers();
}

void CQuillonDlg::ApplyLineSettings() {
    m_serial.ConfigureLine(SpeedForIndex(m_cboSpeed.GetCurSel()), 8, NOPARITY, ONESTOPBIT);
}

void CQuillonDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if (OnConsoleMenu(nID)) return;
    if ((nID & 0xFFF0) == IDM_SENSOR_HISTORY) {
        OnSensorHistory();
        return;
    }
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout(this);
        dlgAbout.DoModal();
        return;
    }
    CDialog::OnSysCommand(nID, lParam);
}

HCURSOR CQuillonDlg::OnQueryDragIcon() { return m_hAppIcon; }

void CQuillonDlg::RefreshControls() {
    UpdateData(FALSE);
    ScrollConsoleToEnd();
}
