#include <vector>

#include "app/QuillonDlg.h"
#include "protocol/Assembly.h"
#include "protocol/Catalogue.h"
#include "protocol/Requests.h"
#include "workflows/Console.h"

using namespace quillon;

namespace {

constexpr DWORD kAnnouncementPauseMs = 20;
constexpr DWORD kLinkOpenDelayMs = 1000;
// Eight full reads are more than a driver's queue holds.
constexpr int kReadsPerEvent = 8;

// Reads up to `dwLength` bytes, waiting at most `dwWaitMs` for them: the
// rest of a frame is taken as soon as it is there, and a stream cut into
// pieces does not keep the window waiting behind it.
DWORD ReadWithin(CSerial& serial, Byte* pBuffer, DWORD dwLength, DWORD dwWaitMs) {
    const HANDLE hPort = serial.GetCommHandle();
    COMMTIMEOUTS atOnce{};
    if (!::GetCommTimeouts(hPort, &atOnce)) return 0;
    COMMTIMEOUTS within = atOnce;
    within.ReadIntervalTimeout = 0;
    within.ReadTotalTimeoutMultiplier = 0;
    within.ReadTotalTimeoutConstant = dwWaitMs;
    DWORD dwRead = 0;
    if (::SetCommTimeouts(hPort, &within)) {
        serial.ReadData(pBuffer, dwLength, &dwRead);
        ::SetCommTimeouts(hPort, &atOnce);
    }
    return dwRead;
}

}  // namespace

// A notification comes only when bytes arrive, so a read that filled the
// buffer is followed by another, each decoded and dumped on its own, until the
// driver's queue is empty. A line that keeps it full gets its reads in turns,
// with the messages that queued meanwhile in between.
int CQuillonDlg::ProcessReceivedData() {
    m_nReadLength = static_cast<int>(kReceiveBufferSize);
    bool bFull = false;
    for (int nRead = 0; nRead < kReadsPerEvent; ++nRead) {
        m_received.assign(kReceiveBufferSize, 0);
        DWORD dwRead = 0;
        m_serial.ReadData(m_received.data(), static_cast<DWORD>(m_received.size()), &dwRead);
        m_received.resize(dwRead);
        m_nReceivedDumped = 0;
        bFull = dwRead == kReceiveBufferSize;
        if (dwRead > 0) ProcessRead();
        if (!bFull) break;
    }
    m_received.clear();
    if (bFull) PostMessage(g_uDefaultComMsg, EV_RXCHAR);
    RefreshControls();
    OnSessionValues();
    KeepSampling();
    return 0;
}

void CQuillonDlg::ProcessRead() {
    if (IsAnnouncement(CopyFrame(m_received))) {
        // As the terminal-status tile: no control of the page it leaves stays live.
        SwitchPage(PageTile::TerminalStatus);
        ::Sleep(kAnnouncementPauseMs);
        ::Sleep(kLinkOpenDelayMs);
        OpenLink();
    } else {
        DecodeFrames(m_received);
    }
    DumpReceived();
}

void CQuillonDlg::DumpReceived() {
    if (m_nReceivedDumped >= m_received.size()) return;
    AppendConsole(CString(FormatReceiveDump(std::span<const Byte>(m_received).subspan(m_nReceivedDumped))));
    m_nReceivedDumped = m_received.size();
}

// Every frame of the read is decoded in turn; a frame cut at the end of the
// read is completed from the line.
void CQuillonDlg::DecodeFrames(std::vector<Byte>& bytes) {
    const auto readMore = [this, &bytes](std::size_t missing) {
        const std::size_t have = bytes.size();
        bytes.resize(have + missing);
        bytes.resize(have + ReadWithin(m_serial, bytes.data() + have, static_cast<DWORD>(missing),
                                       kCompletionPauseMs));
    };
    ForEachFrame(
        bytes, readMore, [this](const FrameBuffer& frame) { DecodeFrame(frame); },
        [this] { AppendConsole("\r\n CS ERROR"); });
}

void CQuillonDlg::DecodeFrame(FrameView frame) {
    if (IsShortFrame(frame)) {
        if (const auto action = FindShortFrameAction(frame)) OnShortFrame(*action, frame);
        return;
    }
    switch (frame[kFrameCommandOffset]) {
        case kCommandSerialNumber:
            DecodeSerialNumber(frame);
            break;
        case kCommandValue:
            if (CarriesComPowerReport(frame)) ShowComPowerReport(frame[13], frame[14]);
            if (const SubCommandRow* pRow = FindSubCommand(frame[kSubCommandOffset]))
                DecodeValue(*pRow, frame);
            break;
        case kCommandComPowerReport:
            DecodeComPowerConfirmation(frame);
            break;
        default:
            break;
    }
}

void CQuillonDlg::OpenLink() {
    WriteRequest(kLinkOpen);
    ::PurgeComm(m_serial.GetCommHandle(), PURGE_TXCLEAR);
}
