#include <vector>

#include "app/QuillonDlg.h"
#include "protocol/Assembly.h"
#include "protocol/Catalogue.h"
#include "workflows/Console.h"
#include "protocol/Requests.h"

using namespace quillon;

namespace {

constexpr DWORD kAnnouncementPauseMs = 20;
constexpr DWORD kLinkOpenDelayMs = 1000;

}  // namespace

int CQuillonDlg::ProcessReceivedData() {
    m_nReadLength = static_cast<int>(kReceiveBufferSize);
    std::vector<Byte> bytes(kReceiveBufferSize);
    DWORD dwRead = 0;
    m_serial.ReadData(bytes.data(), static_cast<DWORD>(bytes.size()), &dwRead);
    bytes.resize(dwRead);

    if (!bytes.empty()) {
        if (bytes[0] == 'F') {
            if (IsAnnouncement(CopyFrame(bytes))) {
                g_nPage = PAGE_TERMINAL_STATUS;
                ::Sleep(kAnnouncementPauseMs);
                ::Sleep(kLinkOpenDelayMs);
                OpenLink();
            }
        } else {
            DecodeFrames(bytes);
        }
        AppendConsole(CString(FormatReceiveDump(bytes)));
    }
    RefreshControls();
    return 0;
}

// Every frame of the read is decoded in turn; a frame cut at the end of the
// read is completed from the line.
void CQuillonDlg::DecodeFrames(std::vector<Byte>& bytes) {
    const auto readMore = [this, &bytes](std::size_t missing) {
        ::Sleep(kCompletionPauseMs);
        const std::size_t have = bytes.size();
        bytes.resize(have + missing);
        DWORD dwRead = 0;
        m_serial.ReadData(bytes.data() + have, static_cast<DWORD>(missing), &dwRead);
        bytes.resize(have + dwRead);
    };
    ForEachFrame(bytes, readMore, [this](const FrameBuffer& frame) {
        if (FrameChecksumOk(frame))
            DecodeFrame(frame);
        else
            AppendConsole("\r\n CS ERROR");
    });
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
            if (const SubCommandRow* pRow = FindSubCommand(frame[kSubCommandOffset])) DecodeValue(*pRow, frame);
            break;
        case kCommandComPowerReport:
            DecodeComPowerConfirmation(frame);
            break;
        default:
            break;
    }
}

void CQuillonDlg::OpenLink() {
    m_serial.WriteData(kLinkOpen, sizeof(kLinkOpen));
    ::PurgeComm(m_serial.GetCommHandle(), PURGE_TXCLEAR);
}
