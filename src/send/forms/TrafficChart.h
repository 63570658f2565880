#pragma once
#include <QChartView>

class QAreaSeries;
class QLineSeries;
class QValueAxis;

// The traffic chart of the run display (Chart2): "Traffic (KB/sec)" with one area
// series "Traffic"; the traffic timer adds a point each second.
class TrafficChart : public QChartView {
    Q_OBJECT
public:
    explicit TrafficChart(QWidget* parent = nullptr);

    // Empties the chart and starts it with one point at 0.
    void reset();
    // Adds a point: the tick is its label on the time axis, the value its height.
    void addPoint(int tick, int value);

    int pointCount() const;
    QPointF lastPoint() const;
    QAreaSeries* series() const { return m_area; }

private:
    QLineSeries* m_upper;
    QAreaSeries* m_area;
    QValueAxis* m_axisX;
    QValueAxis* m_axisY;
    int m_maxValue = 0;
};
