#include "send/forms/TrafficChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

namespace {
// The time axis shows the last minute; older points scroll out of view.
constexpr int kVisibleTicks = 60;
} // namespace

// The view is built around its own chart: a view made without one would make a default
// chart, which setChart() would hand back unowned.
TrafficChart::TrafficChart(QWidget* parent) : QChartView(new QChart, parent) {
    setObjectName(QStringLiteral("Chart2"));
    // Room for the title and both axes' labels, which the chart cuts to "..." otherwise.
    setMinimumSize(320, 200);
    QChart* chart = this->chart();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setTitle(QStringLiteral("Traffic (KB/sec)"));
    chart->legend()->hide();
    m_upper = new QLineSeries(chart);
    m_area = new QAreaSeries(m_upper);
    m_area->setName(QStringLiteral("Traffic"));
    chart->addSeries(m_area);
    m_axisX = new QValueAxis(chart);
    m_axisX->setLabelFormat(QStringLiteral("%d"));
    m_axisY = new QValueAxis(chart);
    m_axisY->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(m_axisX, Qt::AlignBottom);
    chart->addAxis(m_axisY, Qt::AlignLeft);
    m_area->attachAxis(m_axisX);
    m_area->attachAxis(m_axisY);
    setRenderHint(QPainter::Antialiasing);
    reset();
}

void TrafficChart::reset() {
    m_upper->clear();
    m_maxValue = 0;
    addPoint(0, 0);
}

void TrafficChart::addPoint(int tick, int value) {
    m_upper->append(tick, value);
    // Keep memory flat over a long run: only the visible stretch is kept.
    if (m_upper->count() > kVisibleTicks * 2)
        m_upper->removePoints(0, m_upper->count() - kVisibleTicks);
    m_maxValue = std::max(m_maxValue, value);
    m_axisX->setRange(std::max(0, tick - kVisibleTicks), std::max(tick, 10));
    m_axisY->setRange(0, std::max(10, m_maxValue + m_maxValue / 10));
}

int TrafficChart::pointCount() const {
    return m_upper->count();
}

QPointF TrafficChart::lastPoint() const {
    return m_upper->count() > 0 ? m_upper->at(m_upper->count() - 1) : QPointF();
}
