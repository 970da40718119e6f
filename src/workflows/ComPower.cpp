#include "workflows/ComPower.h"

#include "app/QuillonDlg.h"
#include "protocol/Requests.h"

using namespace quillon;

// All zero, which reads as RI, until the user chooses; never read back from the controller.
BYTE g_byComPowerBit[kComPortCount] = {};
BYTE g_byCom12VBit[kComPortCount] = {};

void CQuillonDlg::OnComChoice(UINT nID) {
    if (const auto choice = ComChoiceFor(nID)) {
        g_byComPowerBit[choice->nPort] = choice->byPowerBit;
        g_byCom12VBit[choice->nPort] = choice->by12VBit;
    }
    ApplyShowSteps(kComChoiceSteps);
}

void CQuillonDlg::OnComPortSet() {
    ApplyShowSteps(kComPortSetSteps);
}

void CQuillonDlg::OnComNo() {
    ApplyShowSteps(kComNoSteps);
}

// The prompt that answers this frame is decoded only after the handler returns, so the first
// "Yes" of a run finds the flag clear and asks for another click.
void CQuillonDlg::OnComYes() {
    ApplyShowSteps(kComYesSteps);
    if (g_bComConfirmAck) ApplyShowSteps(kComYesPromptedSteps);
    const Byte byPower = SumEntries(g_byComPowerBit);
    const Byte by12V = SumEntries(g_byCom12VBit);
    ::Sleep(kComPowerWaitMs);
    const auto frame = BuildComPowerRequest(byPower, by12V);
    WriteRequest(frame);
}

void CQuillonDlg::OnComConfirm() {
    WriteRequest(kComConfirm);
    ApplyShowSteps(kComConfirmSteps);
}
