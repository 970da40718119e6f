#include "workflows/Osd.h"

#include "app/QuillonDlg.h"

using namespace quillon;

namespace {

// The flag each kind of step waits for, in OsdAck order.
constexpr const int* kAckFlags[] = {nullptr, &g_bOsdRequestAck, &g_bOsdApplyAck};

}  // namespace

// An acknowledgement is decoded only between handlers, so the flag tested here
// answers an earlier click, never this step's own write.
void CQuillonDlg::RunOsdStep(const OsdStep& step) {
    ApplyShowSteps(step.before);
    WriteRequest(step.frame);
    if (step.dwWaitMs) ::Sleep(step.dwWaitMs);
    const int* pFlag = kAckFlags[static_cast<std::size_t>(step.ack)];
    if (pFlag && *pFlag) ApplyShowSteps(step.acknowledged);
}

void CQuillonDlg::OnOsdOn() {
    RunOsdStep(kOsdOnStep);
}

void CQuillonDlg::OnOsdOff() {
    RunOsdStep(kOsdOffStep);
}

void CQuillonDlg::OnOsdOnYes() {
    RunOsdStep(kOsdOnYesStep);
}

void CQuillonDlg::OnOsdOffYes() {
    RunOsdStep(kOsdOffYesStep);
}

void CQuillonDlg::OnOsdOnNo() {
    RunOsdStep(kOsdOnNoStep);
}

void CQuillonDlg::OnOsdOffNo() {
    RunOsdStep(kOsdOffNoStep);
}
