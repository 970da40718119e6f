#include <array>
#include <cstdio>
#include <ctime>

#include "app/QuillonDlg.h"
#include "session/HistoryCsv.h"

using namespace quillon;

namespace {

// Indexed by SensorGroup.
constexpr const char* kPlotTitles[] = {"Temperatures", "Fan speed", "Voltages", "Current and power"};

constexpr std::array<AFX_PLOT_LINE, kSensorQuantityCount> PlotLines() {
    std::array<AFX_PLOT_LINE, kSensorQuantityCount> lines{};
    for (std::size_t i = 0; i < kSensorQuantityCount; ++i) {
        const SensorQuantity& quantity = kSensorQuantities[i];
        lines[i] = {quantity.pszName, quantity.pszUnit, static_cast<std::size_t>(quantity.group)};
    }
    return lines;
}

constexpr auto kPlotLines = PlotLines();

constexpr AFX_PLOT_VIEW kHistoryView{"Sensor history", kPlotTitles, kPlotLines, "Export CSV...",
                                     "CSV files (*.csv);;All files (*)"};

}  // namespace

std::string CHistoryPlot::Export(const std::string& strPath) const {
    return ExportHistoryCsv(strPath, m_history);
}

const AFX_PLOT_VIEW& CHistoryPlot::View() {
    return kHistoryView;
}

// The sampling runs while the link brings values: a line gone quiet (the exit question, a
// controller that stopped) costs no wake-up a second.
void CQuillonDlg::KeepSampling() {
    m_bReadSinceSample = true;
    if (m_bSampling || !AnySensorSeen(m_session)) return;
    m_bSampling = SetTimer(kHistoryTimer, kHistoryIntervalMs) != 0;
}

// Once a second: the latest value of every sensor, while the link brings them. A second without
// anything read takes its sample and stops the timer, until the line brings more.
void CQuillonDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kHistoryTimer) return;
    if (m_serial.IsOpen() && AnySensorSeen(m_session)) {
        const SensorSample sample = SampleSensors(m_session, std::time(nullptr));
        m_history.Add(sample);
        if (const std::string strError = g_historyFile.Append(sample); !strError.empty())
            std::fprintf(stderr, "quillon: %s\n", strError.c_str());
    }
    if (!m_bReadSinceSample) {
        KillTimer(kHistoryTimer);
        m_bSampling = false;
    }
    m_bReadSinceSample = false;
}

void CQuillonDlg::OnSensorHistory() {
    CString strError;
    if (!AfxShowPlotWindow(this, CHistoryPlot::View(), m_historyPlot, strError))
        MessageBox(("The sensor history cannot be shown: " + strError.Str()).c_str(), "Sensor history",
                   MB_OK | MB_ICONERROR);
}
