#include "charts/result_preview.h"

#include <QChart>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>

#include <cmath>

#include "charts/big_chart_window.h"
#include "charts/chart_scale.h"
#include "charts/result_chart_picture.h"

namespace {

// A square of the series' colour: the marker of its points.
QImage squareMarker(const QColor& colour)
{
    QImage marker(2, 2, QImage::Format_ARGB32);
    marker.fill(colour);
    return marker;
}

void fitAxis(QValueAxis* axis, double lo, double hi, int maxTicks)
{
    const TAxisScale scale = NiceScale(lo, hi, maxTicks);
    axis->setRange(scale.Min, scale.Max);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(scale.Step);
    axis->setLabelFormat(QStringLiteral("%g"));
}

} // namespace

void FillResultChart(QChart& chart, const TResultChartData& data)
{
    chart.setTitle(data.Title);
    chart.removeAllSeries();
    for (int j = 0; j < data.Arg2Count(); ++j) {
        auto* series = new QLineSeries;
        series->setName(data.SeriesTitle(j));
        for (int i = 0; i < data.Arg1Count(); ++i) {
            const double x = data.Arg1Values[i], y = data.Value(i, j);
            if (std::isfinite(x) && std::isfinite(y))
                series->append(x, y);
        }
        chart.addSeries(series);
        const QColor colour = ResultSeriesColour(j);
        series->setPen(QPen(colour, 1));
        series->setPointsVisible(true);
        series->setMarkerSize(2);
        series->setLightMarker(squareMarker(colour));
    }
    FitChartAxes(chart, data.Arg1Text);
    chart.legend()->hide();
}

void FitChartAxes(QChart& chart, const QString& bottomTitle)
{
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
    double xLo = INFINITY, xHi = -INFINITY, yLo = INFINITY, yHi = -INFINITY;
    for (QAbstractSeries* s : chart.series()) {
        if (auto* xy = qobject_cast<QXYSeries*>(s)) {
            for (const QPointF& p : xy->points()) {
                xLo = std::min(xLo, p.x());
                xHi = std::max(xHi, p.x());
                yLo = std::min(yLo, p.y());
                yHi = std::max(yHi, p.y());
            }
        }
    }
    if (!(xLo <= xHi)) {
        xLo = yLo = 0;
        xHi = yHi = 1;
    }
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    x->setTitleText(bottomTitle);
    fitAxis(x, xLo, xHi, 8);
    fitAxis(y, yLo, yHi, 6);
    chart.addAxis(x, Qt::AlignBottom);
    chart.addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart.series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

QString BottomAxisTitle(const QChart& chart)
{
    const QList<QAbstractAxis*> axes = chart.axes(Qt::Horizontal);
    return axes.isEmpty() ? QString() : axes.first()->titleText();
}

TResultPreview::TResultPreview(QWidget* parent) : QChartView(new QChart, parent)
{
    setRenderHint(QPainter::Antialiasing);
    chart()->legend()->hide();
    setMinimumSize(200, 150);
    setToolTip(QStringLiteral("Double click for the big chart"));
}

bool TResultPreview::RowSelected(bool resultsValid, const std::function<TResultChartData()>& entryData)
{
    if (!resultsValid)
        return false;
    FillResultChart(*chart(), entryData());
    return true;
}

void TResultPreview::OpenBigChart()
{
    TChartForm form(*chart(), this);
    form.exec();
}

void TResultPreview::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        OpenBigChart();
        return;
    }
    QChartView::mouseDoubleClickEvent(event);
}
