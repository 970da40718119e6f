#include "workflows/Exit.h"

#include "app/QuillonDlg.h"
#include "protocol/Requests.h"

using namespace quillon;

// The controller's acknowledgement, decoded after this returns, opens the exit question.
void CQuillonDlg::OnExitPage() {
    WriteRequest(kAllStatesStop);
    ::Sleep(kExitPauseMs);
    ApplyShowSteps(kExitPageSteps);
}

// Also Esc and closing the window, on every page; the dialog ends even if the write fails.
void CQuillonDlg::OnExitYes() {
    WriteRequest(kLinkClose);
    EndDialog(IDCANCEL);
}

void CQuillonDlg::OnExitNo() {
    WriteRequest(kAllStates);
    for (DWORD dwWait : kExitNoWaitsMs) ::Sleep(dwWait);
    OnPageTerminalStatus();
}

// The link was never opened on the start page's way out: nothing to close.
void CQuillonDlg::OnOut2() {
    EndDialog(IDCANCEL);
}
