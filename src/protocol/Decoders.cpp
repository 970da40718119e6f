#include <array>

#include "app/QuillonDlg.h"
#include "protocol/Assembly.h"
#include "protocol/Requests.h"
#include "protocol/Values.h"
#include "session/SessionValues.h"
#include "workflows/Console.h"

using namespace quillon;

int g_bOsdRequestAck = 0;
int g_bOsdApplyAck = 0;
int g_bComConfirmAck = 0;
int g_bIoNoComPower = 0;
int g_nVersionMask = 0;
int g_bSerialListEnd = 0;

namespace {

constexpr int kVersionMaskMb = 1;
constexpr int kVersionMaskBios = 2;
constexpr int kVersionMaskIo = 4;
constexpr int kVersionMaskAll = kVersionMaskMb | kVersionMaskBios | kVersionMaskIo;
constexpr int kFirstSerialIndex = 10;
constexpr int kSerialIndexEnd = 48;
constexpr DWORD kSerialAnswerWaitMs = 10;
constexpr Byte kKindWithoutTrailingBreak = 48;

struct TextValue {
    ValueKind kind;
    CString CQuillonDlg::*pMember;
};

// Each version response but the display's marks itself in the version mask.
struct VersionValue {
    ValueKind kind;
    CString CQuillonDlg::*pMember;
    int nMaskBit;
};

constexpr VersionValue kVersions[] = {
    {ValueKind::MbVersion, &CQuillonDlg::m_strMbVersion, kVersionMaskMb},
    {ValueKind::BiosVersion, &CQuillonDlg::m_strBiosVersion, kVersionMaskBios},
    {ValueKind::IoVersion, &CQuillonDlg::m_strIoVersion, kVersionMaskIo},
    {ValueKind::DisplayVersion, &CQuillonDlg::m_strDisplayVersion, 0},
};

constexpr TextValue kHours[] = {
    {ValueKind::OperationHours, &CQuillonDlg::m_strOperationHours},
    {ValueKind::StandbyHours, &CQuillonDlg::m_strStandbyHours},
    {ValueKind::SystemHours, &CQuillonDlg::m_strSystemHours},
    {ValueKind::DisplayStandbyHours, &CQuillonDlg::m_strDisplayStandbyHours},
    {ValueKind::BacklightHours, &CQuillonDlg::m_strBacklightHours},
};

constexpr TextValue kByteCounts[] = {
    {ValueKind::AbnormalCount, &CQuillonDlg::m_strAbnormalCount},
    {ValueKind::PlugInCount, &CQuillonDlg::m_strPlugInCount},
};

template <typename Row, std::size_t N>
const Row* FindRow(const Row (&table)[N], ValueKind kind) {
    for (const auto& row : table) {
        if (row.kind == kind) return &row;
    }
    return nullptr;
}

// An I/O firmware whose version ends in "1c" has no COM-port supply selection.
bool IoVersionWithoutComPower(FrameView frame) {
    return frame[19] == '1' && frame[20] == 'c';
}

}  // namespace

void CQuillonDlg::OnShortFrame(ShortFrameAction action, FrameView) {
    switch (action) {
        case ShortFrameAction::RequestIoVersion:
            WriteRequest(kIoVersionRequest);
            break;
        case ShortFrameAction::None:
            break;
        case ShortFrameAction::ExitConfirm:
            g_nPage = PAGE_EXIT_CONFIRM;
            if (CWnd* pYes = GetDlgItem(IDCANCEL)) pYes->ShowWindow(SW_SHOW);
            break;
        case ShortFrameAction::OsdRequestAck:
            g_bOsdRequestAck = 1;
            break;
        case ShortFrameAction::OsdApplyAck:
            g_bOsdApplyAck = 1;
            break;
        case ShortFrameAction::ComConfirmPrompt:
            m_strNotice.Empty();
            m_strNotice += "\r\nPlease Press the Confirm";
            g_bComConfirmAck = 1;
            break;
    }
}

void CQuillonDlg::ShowComPowerReport(Byte byPower, Byte by12V) {
    m_strComPortState.Empty();
    m_strComPortState += FormatComPowerReport(byPower, by12V).c_str();
    RecordComPower(m_session, byPower, by12V);
}

void CQuillonDlg::DecodeComPowerConfirmation(FrameView frame) {
    m_strComPortState.Empty();
    m_strNotice.Empty();
    m_strNotice += "Please Process the Cold Reboot";
    ShowComPowerReport(frame[4], frame[5]);
}

void CQuillonDlg::DecodeValue(const SubCommandRow& row, FrameView frame) {
    RecordValue(m_session, row, frame);
    if (const SensorRow* pSensor = FindSensor(row.kind)) {
        CString& strField =
            m_strSensor[pSensor->nFirstField - kFirstSensorField + (frame[kSubCommandOffset] - row.byFirst)];
        strField.Empty();
        strField += FormatSensor(*pSensor, frame).c_str();
        return;
    }
    if (const VersionValue* pVersion = FindRow(kVersions, row.kind)) {
        CString& strVersion = this->*pVersion->pMember;
        strVersion.Empty();
        if (row.kind == ValueKind::IoVersion) {
            g_bIoNoComPower = IoVersionWithoutComPower(frame) ? 1 : 0;
            WriteRequest(kSerialNumberStart);
        }
        strVersion += FormatVersionText(frame).c_str();
        g_nVersionMask |= pVersion->nMaskBit;
        return;
    }
    if (const TextValue* pHours = FindRow(kHours, row.kind)) {
        CString& strHours = this->*pHours->pMember;
        strHours.Empty();
        strHours += FormatHours(ReadSigned32(frame)).c_str();
        if (row.kind == ValueKind::DisplayStandbyHours && g_nVersionMask != kVersionMaskAll)
            WriteRequest(kAllStates);
        return;
    }
    if (const TextValue* pCount = FindRow(kByteCounts, row.kind)) {
        (this->*pCount->pMember).Format("%d", frame[5]);
        return;
    }
    switch (row.kind) {
        case ValueKind::OnOffTotal:
            m_strOnOffTotal.Format("%d", ReadSigned32(frame));
            break;
        case ValueKind::ComPowerReport:
            ShowComPowerReport(frame[5], frame[6]);
            break;
        case ValueKind::OsdState:
            m_strOsdState = frame[5] == 0 ? "OFF" : "ON";
            break;
        case ValueKind::BacklightBrightness:
            m_strBacklight.Format("%d%c", frame[5], '%');
            break;
        default:
            break;
    }
}

LONG CQuillonDlg::RequestSerialNumber(int nIndex) {
    return WriteRequest(BuildSerialNumberRequest(nIndex));
}

// The controller answers one request per list index; the exchange runs here,
// inside the event, and each answer is read 10 ms after its request. A new
// exchange starts a fresh list. The read that brought the first answer is
// dumped before the exchange's own reads, in the order the bytes came; a
// request the line would not take ends the exchange.
void CQuillonDlg::DecodeSerialNumber(FrameView frame) {
    if (frame[9] != 0 || IsSerialListEnd(frame)) {
        WriteRequest(kAllStates);
        return;
    }
    g_bSerialListEnd = 0;
    m_strSerialNumbers = "System Serial No: ";
    m_strSerialNumbers += SerialNumberText(frame).c_str();
    StartSerialList(m_session, frame);
    DumpReceived();

    int nIndex = kFirstSerialIndex;
    for (; nIndex < kSerialIndexEnd && !g_bSerialListEnd; ++nIndex) {
        if (RequestSerialNumber(nIndex) == ERROR_TIMEOUT) break;
        ::Sleep(kSerialAnswerWaitMs);
        // A fresh buffer each time: an answer that has not come must not be
        // taken for the previous one.
        FrameBuffer answer{};
        DWORD dwRead = 0;
        m_serial.ReadData(answer.data(), static_cast<DWORD>(m_nReadLength), &dwRead);
        if (dwRead == 0) continue;
        AppendConsole(CString(FormatReceiveDump(std::span<const Byte>(answer.data(), dwRead))));

        const char* pszCaption = SerialAnswerCaption(std::span<const Byte>(answer.data(), dwRead));
        if (!pszCaption) continue;
        m_strSerialNumbers += "\r\n";
        if (IsSerialListEnd(answer)) {
            g_bSerialListEnd = 1;
            continue;
        }
        m_strSerialNumbers += pszCaption;
        m_strSerialNumbers += SerialNumberText(answer).c_str();
        RecordSerialNumber(m_session, answer);
        if (answer[9] != kKindWithoutTrailingBreak && answer[20] == 0) m_strSerialNumbers += "\r\n";
    }
    // A list cut short by the line is not a whole one.
    if (g_bSerialListEnd || nIndex == kSerialIndexEnd) EndSerialList(m_session);
    WriteRequest(kAllStates);
}
