// The sensor history as the plot window reads it: one line per quantity,
// one plot per group.
#pragma once

#include "platform/afx/AfxPlot.h"
#include "session/SensorHistory.h"

class CHistoryPlot final : public CPlotSource {
public:
    explicit CHistoryPlot(const quillon::SensorHistory& history) : m_history(history) {}

    std::uint64_t Added() const override { return m_history.Added(); }
    std::size_t Count() const override { return m_history.Size(); }
    std::int64_t Time(std::size_t i) const override { return m_history[i].nTime; }
    float Value(std::size_t i, std::size_t nLine) const override { return m_history[i].afValue[nLine]; }
    std::string Export(const std::string& strPath) const override;

    static const AFX_PLOT_VIEW& View();

private:
    const quillon::SensorHistory& m_history;
};
