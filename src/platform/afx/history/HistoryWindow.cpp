// The plot window: one chart per plot of the view, each with a time axis and an axis per unit,
// brought up to the source at most twice a second while it is shown and not at all while hidden.

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGridLayout>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/afx/AfxPlot.h"

namespace {

constexpr int kRefreshMs = 500;
// A single sample still spans a readable stretch of time.
constexpr qint64 kShortestSpanMs = 60'000;
constexpr int kColumns = 2;

QString FromUtf8(const char* psz) {
    return QString::fromUtf8(psz ? psz : "");
}

struct PlotLine {
    QLineSeries* pSeries;
    QValueAxis* pAxis;
};

struct Plot {
    QChart* pChart;
    QDateTimeAxis* pTime;
    std::vector<QValueAxis*> axes;
};

class PlotWindow final : public QWidget {
public:
    PlotWindow(QWidget* pOwner, const AFX_PLOT_VIEW& view, CPlotSource& source)
        : QWidget(pOwner, Qt::Window), m_source(source) {
        setWindowTitle(FromUtf8(view.pszTitle));
        auto* pLayout = new QGridLayout(this);
        for (std::size_t i = 0; i < view.plotTitles.size(); ++i) {
            auto* pChart = new QChart;
            pChart->setTitle(FromUtf8(view.plotTitles[i]));
            pChart->legend()->setAlignment(Qt::AlignBottom);
            auto* pTime = new QDateTimeAxis;
            pTime->setFormat("HH:mm:ss");
            pTime->setTitleText("Time");
            pChart->addAxis(pTime, Qt::AlignBottom);
            auto* pView = new QChartView(pChart);
            pView->setMinimumSize(560, 320);
            pLayout->addWidget(pView, static_cast<int>(i) / kColumns, static_cast<int>(i) % kColumns);
            m_plots.push_back({pChart, pTime, {}});
        }
        for (const AFX_PLOT_LINE& line : view.lines) AddLine(line);

        auto* pExport = new QPushButton(FromUtf8(view.pszExportCaption));
        m_pStatus = new QLabel;
        const int nRow = (static_cast<int>(m_plots.size()) + kColumns - 1) / kColumns;
        pLayout->addWidget(m_pStatus, nRow, 0);
        pLayout->addWidget(pExport, nRow, kColumns - 1, Qt::AlignRight);
        connect(pExport, &QPushButton::clicked, this,
                [this, caption = FromUtf8(view.pszExportCaption), filter = FromUtf8(view.pszExportFilter)] {
                    Export(caption, filter);
                });

        m_pTimer = new QTimer(this);
        m_pTimer->setInterval(kRefreshMs);
        connect(m_pTimer, &QTimer::timeout, this, [this] { Refresh(); });
    }

protected:
    void showEvent(QShowEvent* pEvent) override {
        QWidget::showEvent(pEvent);
        Refresh();
        m_pTimer->start();
    }
    void hideEvent(QHideEvent* pEvent) override {
        m_pTimer->stop();
        QWidget::hideEvent(pEvent);
    }
    void keyPressEvent(QKeyEvent* pEvent) override {
        if (pEvent->key() == Qt::Key_Escape) {
            close();
            return;
        }
        QWidget::keyPressEvent(pEvent);
    }

private:
    void AddLine(const AFX_PLOT_LINE& line) {
        Plot& plot = m_plots.at(line.nPlot);
        const QString unit = FromUtf8(line.pszUnit);
        auto it = std::find_if(plot.axes.begin(), plot.axes.end(),
                               [&unit](const QValueAxis* pAxis) { return pAxis->titleText() == unit; });
        if (it == plot.axes.end()) {
            auto* pAxis = new QValueAxis;
            pAxis->setTitleText(unit);
            plot.pChart->addAxis(pAxis, plot.axes.empty() ? Qt::AlignLeft : Qt::AlignRight);
            it = plot.axes.insert(plot.axes.end(), pAxis);
        }
        auto* pSeries = new QLineSeries;
        pSeries->setName(FromUtf8(line.pszName));
        plot.pChart->addSeries(pSeries);
        pSeries->attachAxis(plot.pTime);
        pSeries->attachAxis(*it);
        m_lines.push_back({pSeries, *it});
    }

    // Appends what came since the last look and drops what the source no longer holds.
    void Refresh() {
        const std::uint64_t nAdded = m_source.Added();
        const std::size_t nCount = m_source.Count();
        if (nAdded == m_nSeen || nCount == 0) return;
        const std::size_t nNew = static_cast<std::size_t>(std::min<std::uint64_t>(nAdded - m_nSeen, nCount));
        m_nSeen = nAdded;
        const qreal oldest = static_cast<qreal>(m_source.Time(0)) * 1000;
        for (std::size_t nLine = 0; nLine < m_lines.size(); ++nLine) {
            QList<QPointF> points;
            points.reserve(static_cast<qsizetype>(nNew));
            for (std::size_t i = nCount - nNew; i < nCount; ++i) {
                const float fValue = m_source.Value(i, nLine);
                // No value yet: a gap, not a fall to zero.
                if (!std::isnan(fValue)) points.append({static_cast<qreal>(m_source.Time(i)) * 1000, fValue});
            }
            QLineSeries* pSeries = m_lines[nLine].pSeries;
            int nGone = 0;
            while (nGone < pSeries->count() && pSeries->at(nGone).x() < oldest) ++nGone;
            if (nGone > 0) pSeries->removePoints(0, nGone);
            pSeries->append(points);
        }
        const qint64 nFirstMs = m_source.Time(0) * 1000;
        const qint64 nLastMs = std::max<qint64>(m_source.Time(nCount - 1) * 1000, nFirstMs + kShortestSpanMs);
        for (const Plot& plot : m_plots)
            plot.pTime->setRange(QDateTime::fromMSecsSinceEpoch(nFirstMs),
                                 QDateTime::fromMSecsSinceEpoch(nLastMs));
        FitValueAxes();
    }

    void FitValueAxes() {
        for (const Plot& plot : m_plots) {
            for (QValueAxis* pAxis : plot.axes) {
                qreal low = std::numeric_limits<qreal>::max();
                qreal high = std::numeric_limits<qreal>::lowest();
                for (const PlotLine& line : m_lines) {
                    if (line.pAxis != pAxis) continue;
                    for (const QPointF& point : line.pSeries->points()) {
                        low = std::min(low, point.y());
                        high = std::max(high, point.y());
                    }
                }
                if (low > high) continue;
                const qreal margin =
                    high > low ? (high - low) * 0.1 : std::max<qreal>(std::abs(high) * 0.1, 1);
                pAxis->setRange(low - margin, high + margin);
            }
        }
    }

    void Export(const QString& caption, const QString& filter) {
        const QString path = QFileDialog::getSaveFileName(this, caption, "sensor-history.csv", filter);
        if (path.isEmpty()) return;
        const std::string error = m_source.Export(path.toStdString());
        m_pStatus->setText(error.empty() ? "Saved to " + path : QString::fromStdString(error));
    }

    CPlotSource& m_source;
    std::vector<Plot> m_plots;
    std::vector<PlotLine> m_lines;
    QLabel* m_pStatus = nullptr;
    QTimer* m_pTimer = nullptr;
    std::uint64_t m_nSeen = 0;
};

}  // namespace

extern "C" Q_DECL_EXPORT QWidget* AfxCreatePlotWindow(QWidget* pOwner, const AFX_PLOT_VIEW* pView,
                                                      CPlotSource* pSource) {
    return new PlotWindow(pOwner, *pView, *pSource);
}
