#include "app/QuillonDlg.h"
#include "protocol/Requests.h"

using namespace quillon;

// A far end that stops taking bytes must not hold the window: a write that
// has not completed within its time fails, and like any failed request it is
// not retried; the port then refuses later writes at once until it has gone out.
LONG CQuillonDlg::WriteRequest(std::span<const Byte> request) {
    return m_serial.WriteData(request.data(), static_cast<DWORD>(request.size()), nullptr, nullptr,
                              kRequestWriteTimeoutMs);
}

void CQuillonDlg::OnAllStateContinuous() {
    WriteRequest(kAllStates);
}

void CQuillonDlg::OnAll() {
    WriteRequest(kAll);
}

void CQuillonDlg::OnClosePort() {
    m_serial.ClosePort();
    m_cboPort.EnableWindow(TRUE);
}
