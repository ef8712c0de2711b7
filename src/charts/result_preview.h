// The "Graph preview" of the analysis windows: the results of the selected
// entry of the values list as line series, one per argument-2 point. A double
// click opens them in the big chart.
#pragma once

#include <QChartView>

#include <functional>

#include "charts/result_chart_data.h"

class QChart;

// Puts an entry's results into a chart: the description as title, one line
// series per argument-2 point titled "<argument 2> = <value>" with square
// markers of 2 × 2 pixels, argument 1's text under the bottom axis, no legend.
void FillResultChart(QChart& chart, const TResultChartData& data);

// Gives a chart new axes fitted to the series it holds, with round ticks and
// `bottomTitle` under the bottom axis.
void FitChartAxes(QChart& chart, const QString& bottomTitle);

// The title under a chart's bottom axis (empty when it has none).
QString BottomAxisTitle(const QChart& chart);

class TResultPreview : public QChartView
{
    Q_OBJECT
public:
    explicit TResultPreview(QWidget* parent = nullptr);

    // A row of the values list was selected. With valid results the chart
    // shows that entry (`entryData` is asked for it); before any calculation,
    // or after the list changed, the chart stays as it is. True when drawn.
    bool RowSelected(bool resultsValid, const std::function<TResultChartData()>& entryData);

    // Opens the big chart modally with the preview's series; they come back
    // when it closes.
    void OpenBigChart();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
