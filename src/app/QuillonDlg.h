// The main dialog: the whole user interface. It owns the port, every control
// and text member, and the GDI objects. Its member functions are defined in
// the folder of their subsystem; they stay thin and call pure helpers.
#pragma once

#include "platform/afx/Afx.h"
#include <string>
#include <vector>

#include "protocol/Catalogue.h"
#include "protocol/Frame.h"
#include "res/Resource.h"
#include "serial/SerialMFC.h"
#include "session/SessionValues.h"
#include "ui/PageCode.h"
#include "ui/Pages.h"
#include "workflows/HistoryPlot.h"
#include "workflows/SendFrame.h"
#include "workflows/ShowSteps.h"

namespace quillon {
struct OsdStep;
}

// The thermal and power fields, 1253 to 1292, are bound as one array.
constexpr int kFirstSensorField = 1253;
constexpr int kSensorFieldCount = 40;

// The sensor history's sampling, once a second.
constexpr UINT_PTR kHistoryTimer = 1;
constexpr UINT kHistoryIntervalMs = 1000;

// Set by the decoder, never cleared; read by the setting dialogues and the painting.
extern int g_bOsdRequestAck;
extern int g_bOsdApplyAck;
extern int g_bComConfirmAck;
extern int g_bIoNoComPower;
extern int g_nVersionMask;
extern int g_bSerialListEnd;
extern BYTE g_byComPowerBit[8];
extern BYTE g_byCom12VBit[8];
// Where --report writes, empty for none; --exit-after-report leaves once it is written.
extern std::string g_strReportPath;
extern int g_bExitAfterReport;

class CQuillonDlg : public CDialog {
public:
    explicit CQuillonDlg(CWnd* pParent = nullptr);
    ~CQuillonDlg() override;

    // Start-up and connection.
    BOOL OnInitDialog() override;
    void ListPorts();
    void OnConnect();
    void ApplyLineSettings();
    void OnSysCommand(UINT nID, LPARAM lParam);
    HCURSOR OnQueryDragIcon();

    // Line events and the receive side.
    LRESULT OnSerialNotify(WPARAM wParam, LPARAM lParam);
    int ProcessReceivedData();
    void OpenLink();
    LONG RequestSerialNumber(int nIndex);
    // Every request goes out here, its write bounded in time.
    LONG WriteRequest(std::span<const quillon::Byte> request);

    // Status requests.
    void OnAllStateContinuous();
    void OnAll();
    void OnClosePort();

    // Pages, painting and colours.
    void OnPageTerminalStatus();
    void OnPageThermal();
    void OnPagePower();
    void OnPageIoCom();
    void OnPageIo();
    void OnExit2();
    void OnIn2();
    void OnPaint();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    LRESULT OnKickIdle(WPARAM wParam, LPARAM lParam);

    // The console log: appended to, bounded, shown at its end.
    void AppendConsole(const CString& strEntry);
    void ScrollConsoleToEnd();

    // COM-port supply and OSD dialogues, the console's commands, the exit question.
    void OnComChoice(UINT nID);
    void OnComPortSet();
    void OnComYes();
    void OnComNo();
    void OnComConfirm();
    void OnOsdOn();
    void OnOsdOff();
    void OnOsdOnYes();
    void OnOsdOffYes();
    void OnOsdOnNo();
    void OnOsdOffNo();
    void OnClear();
    quillon::SendTextResult ParseSendText();
    void OnSendFrame();
    void AppendConsoleMenu(CMenu* pSysMenu);
    // Whether the system command was one of the console's menu entries.
    bool OnConsoleMenu(UINT nID);
    void OnTimer(UINT_PTR nIDEvent);
    // After each read: the sensors' sampling goes on, or starts once a sensor has arrived.
    void KeepSampling();
    void OnSensorHistory();
    void OnExitPage();
    void OnExitYes();
    void OnExitNo();
    void OnOut2();
    void ApplyShowSteps(std::span<const quillon::ShowStep> steps);
    void RunOsdStep(const quillon::OsdStep& step);

    // The terminal report: the option's, after each read and at the end of the run, and the menu's.
    void OnSessionValues();
    void WriteReportOption();
    void OnSaveReport();
    // Empty, or the one line that says why the file was not written.
    std::string WriteReport(const std::string& strPath);

    quillon::Byte m_bySendFrame[quillon::kSendFrameSize] = {};
    int m_nSendTextLength = 0;
    // The custom frame's texts, as the send-frame box hands them over.
    CString m_strSendText;
    CString m_strSendCount = "1";

    CSerialMFC m_serial;
    CComboBox m_cboPort;
    CComboBox m_cboSpeed;
    CEdit m_editConsole;
    CTabCtrl m_tabMain;
    CString m_strConsole;
    int m_nReadLength = 4;
    // The read being decoded, and how much of it the console shows.
    std::vector<quillon::Byte> m_received;
    std::size_t m_nReceivedDumped = 0;

    // Terminal-status page.
    CString m_strMbVersion;
    CString m_strBiosVersion;
    CString m_strIoVersion;
    CString m_strDisplayVersion;
    CString m_strOperationHours;
    CString m_strStandbyHours;
    CString m_strAbnormalCount;
    CString m_strOnOffTotal;
    CString m_strSystemHours;
    CString m_strPlugInCount;
    CString m_strDisplayStandbyHours;
    CString m_strBacklightHours;
    CString m_strSerialNumbers;
    // Thermal and power fields, in control-id order from the first thermal field.
    CString m_strSensor[kSensorFieldCount];
    // I/O pages.
    CString m_strComPortState;
    CString m_strOsdState;
    CString m_strBacklight;
    CString m_strNotice;
    // The same values as numbers, for what a session keeps.
    quillon::SessionValues m_session;
    bool m_bReportWritten = false;
    // The history's timer runs, and something was read since its last tick.
    bool m_bSampling = false;
    bool m_bReadSinceSample = false;
    std::string m_strReportError;
    // The device of the port opened, for the report.
    std::string m_strDevicePath;
    // The sensors' last day, and the plot window's view of it.
    quillon::SensorHistory m_history;
    CHistoryPlot m_historyPlot{m_history};

    HICON m_hAppIcon = nullptr;
    COLORREF m_clrLabel = 0;
    CBrush m_brLabel;
    // The message font; released with the dialog.
    CFont m_fontLabel;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void SwitchPage(quillon::PageTile tile);
    // What the last paint showed, so that a change of either is painted.
    int m_nPaintedPage = -1;
    int m_bPaintedIoNoComPower = -1;
    // Refresh at the end of an event: members to controls, console at its end.
    void RefreshControls();
    void ProcessRead();
    // Dumps what the current read brought that the console does not show yet.
    void DumpReceived();
    void DecodeFrames(std::vector<quillon::Byte>& bytes);
    void DecodeFrame(quillon::FrameView frame);
    void OnShortFrame(quillon::ShortFrameAction action, quillon::FrameView frame);
    void DecodeSerialNumber(quillon::FrameView frame);
    void DecodeValue(const quillon::SubCommandRow& row, quillon::FrameView frame);
    void DecodeComPowerConfirmation(quillon::FrameView frame);
    void ShowComPowerReport(quillon::Byte byPower, quillon::Byte by12V);

    DECLARE_MESSAGE_MAP()
};
