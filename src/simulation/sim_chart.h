// One chart tab of the simulation window: a stair-step chart of one graph
// over model time, and below it a bar with "Save to file", "Copy to
// clipboard" and "Close Graph".
#pragma once

#include <QWidget>

class QChart;
class QChartView;
class QLineSeries;
class QPushButton;
class QValueAxis;

class TSimChart : public QWidget
{
    Q_OBJECT
public:
    explicit TSimChart(const QString& graph, QWidget* parent = nullptr);

    QString Graph() const { return m_graph; }
    QChart* Chart() const { return m_chart; }
    // The line of the current run (each run after a restart has its own).
    QLineSeries* Series() const { return m_series; }
    int SeriesCount() const;

    // Appends a plotted point. A value holds over the interval that ends at
    // its time (the marking a step plots is the one the previous step left),
    // so the line rises or falls at the previous point and runs level to
    // this one. A point earlier than the last (the clock started again)
    // begins a new line.
    void AddPoint(double time, double value);
    void ClearPoints();
    int PointCount() const { return m_points; }

Q_SIGNALS:
    void SaveRequested();
    void CopyRequested();
    void CloseRequested();

private:
    void fitAxes();
    void newSeries();

    QString m_graph;
    QChart* m_chart;
    QChartView* m_view;
    QLineSeries* m_series;
    QValueAxis* m_x;
    QValueAxis* m_y;
    int m_points = 0;
    double m_lastTime = 0;
    double m_minTime = 0, m_maxTime = 0, m_minValue = 0, m_maxValue = 0;
};
