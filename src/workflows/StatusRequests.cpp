#include "app/QuillonDlg.h"
#include "protocol/Requests.h"

using namespace quillon;

void CQuillonDlg::OnAllStateContinuous() { m_serial.WriteData(kAllStates, sizeof(kAllStates)); }

void CQuillonDlg::OnAll() { m_serial.WriteData(kAll, sizeof(kAll)); }

void CQuillonDlg::OnClosePort() {
    m_serial.ClosePort();
    m_cboPort.EnableWindow(TRUE);
}
