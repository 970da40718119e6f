#include <cstdio>
#include <ctime>
#include <string>

#include "app/QuillonDlg.h"
#include "platform/afx/AfxFileDialog.h"
#include "quillon/Version.h"
#include "session/Report.h"

using namespace quillon;

std::string g_strReportPath;
int g_bExitAfterReport = 0;

namespace {

constexpr const char* kReportFilter = "JSON report (*.json)|*.json|Prometheus text (*.prom)|*.prom||";

}  // namespace

std::string CQuillonDlg::WriteReport(const std::string& strPath) {
    ReportHeader header;
    header.strDevice = m_strDevicePath;
    header.nTime = static_cast<std::int64_t>(std::time(nullptr));
    header.strVersion = kVersion;
    return WriteFileWhole(strPath, FormatReport(strPath, header, m_session));
}

// The option's report goes out once everything it holds has arrived.
void CQuillonDlg::OnSessionValues() {
    if (g_strReportPath.empty() || m_bReportWritten || !ReportReady(m_session)) return;
    m_bReportWritten = true;
    WriteReportOption();
    if (g_bExitAfterReport) PostMessage(WM_COMMAND, IDCANCEL);
}

void CQuillonDlg::WriteReportOption() {
    if (g_strReportPath.empty()) return;
    // The end of the run does not say again what the first report said.
    const std::string strError = WriteReport(g_strReportPath);
    if (!strError.empty() && strError != m_strReportError)
        std::fprintf(stderr, "quillon: %s\n", strError.c_str());
    m_strReportError = strError;
}

void CQuillonDlg::OnSaveReport() {
    CFileDialog dlgFile(FALSE, "json", "quillon-report.json", kReportFilter, this);
    if (dlgFile.DoModal() != IDOK) return;
    if (const std::string strError = WriteReport(dlgFile.GetPathName().Str()); !strError.empty())
        MessageBox(strError.c_str(), "Save report", MB_OK | MB_ICONERROR);
}
