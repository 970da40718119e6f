#include "app/QuillonDlg.h"
#include "workflows/SendFrame.h"
#include "workflows/SendFrameDlg.h"

using namespace quillon;

namespace {

constexpr DWORD kSendFrameTimeoutMs = 3000;

constexpr const char* kSendTextTooLong =
    "The frame text is too long: a frame holds at most 256 bytes, that is 512 hexadecimal characters.\r\n"
    "Nothing was sent.";

struct ConsoleMenuEntry {
    UINT nID;
    const char* pszText;
};

// After the About entry, which stays where it is.
constexpr ConsoleMenuEntry kConsoleMenu[] = {
    {IDM_SEND_FRAME, "Send frame..."},
    {IDM_CLEAR_CONSOLE, "Clear console"},
    {IDM_SAVE_REPORT, "Save report..."},
};

}  // namespace

// The controls are not refreshed: the console shows the emptied log once a writer next adds to it.
void CQuillonDlg::OnClear() {
    m_strConsole.Empty();
}

SendTextResult CQuillonDlg::ParseSendText() {
    return quillon::ParseSendText(m_strSendText.Str(), m_bySendFrame, m_nSendTextLength);
}

// Written as typed: no checksum, no trailer. A text that does not parse sends the previous frame.
void CQuillonDlg::OnSendFrame() {
    const int nCount = RepeatCount(m_strSendCount.Str());
    if (ParseSendText() == SendTextResult::TooLong) {
        MessageBox(kSendTextTooLong, "Send frame", MB_OK | MB_ICONERROR);
        return;
    }
    const auto dwLength = static_cast<DWORD>(SendLength(m_nSendTextLength));
    for (int i = 0; i < nCount; ++i) {
        if (m_serial.WriteData(m_bySendFrame, dwLength, nullptr, nullptr, kSendFrameTimeoutMs) ==
            static_cast<LONG>(ERROR_TIMEOUT))
            MessageBox("Timeout!!");
    }
}

void CQuillonDlg::AppendConsoleMenu(CMenu* pSysMenu) {
    pSysMenu->AppendMenu(MF_SEPARATOR);
    for (const ConsoleMenuEntry& entry : kConsoleMenu)
        pSysMenu->AppendMenu(MF_STRING, entry.nID, entry.pszText);
}

bool CQuillonDlg::OnConsoleMenu(UINT nID) {
    switch (nID & 0xFFF0) {
        case IDM_SEND_FRAME: {
            CSendFrameDlg dlgSend(*this);
            dlgSend.DoModal();
            return true;
        }
        case IDM_CLEAR_CONSOLE:
            SendMessage(WM_COMMAND, IDC_CLEAR_CONSOLE);
            return true;
        case IDM_SAVE_REPORT:
            OnSaveReport();
            return true;
        default:
            return false;
    }
}
