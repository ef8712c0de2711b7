#include "charts/result_chart_picture.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "charts/chart_look.h"
#include "charts/chart_scale.h"
#include "charts/surface_plot.h"
#include "editor/picture_file.h"

namespace {

constexpr QRgb kSeriesColours[] = {0x209fdf, 0x99ca53, 0xf6a625, 0x6d5fd5, 0xbf593e,
                                   0x1b6ea0, 0x6e9a2c, 0xc07a0c, 0x4537a8, 0x8c3a26};
const QColor kGrid(0xe2, 0xe2, 0xe6);
const QColor kFrame(0xa8, 0xa8, 0xb0);

struct TLegendEntry
{
    QString Text;
    QColor Colour;
    double Width;
};

} // namespace

QColor ResultSeriesColour(int j)
{
    constexpr int count = sizeof(kSeriesColours) / sizeof(kSeriesColours[0]);
    return QColor(kSeriesColours[((j % count) + count) % count]);
}

void RenderResultChart(const TResultChartData& data, QPainter& painter, const QRectF& area)
{
    painter.save();
    const TChartLook look = BeginChartPicture(painter, area);
    const QFont& titleFont = look.Title;
    const QFont& labelFont = look.Label;
    const QFontMetricsF titleMetrics(titleFont), labels(labelFont);
    const double margin = 12;
    QRectF room = area.adjusted(margin, margin, -margin, -margin);

    // The title on top.
    painter.setPen(look.Text);
    if (!data.Title.isEmpty()) {
        painter.setFont(titleFont);
        const double h = titleMetrics.height();
        painter.drawText(QRectF(room.left(), room.top(), room.width(), h), Qt::AlignHCenter, data.Title);
        room.setTop(room.top() + h + 8);
    }

    // The legend at the bottom, in rows of entries that fit.
    const int seriesCount = data.Arg2Count();
    painter.setFont(labelFont);
    if (seriesCount >= 2) {
        const double box = 10, gap = 16, lineHeight = labels.height() + 4;
        std::vector<std::vector<TLegendEntry>> rows(1);
        double rowWidth = 0;
        for (int j = 0; j < seriesCount; ++j) {
            TLegendEntry e{data.SeriesTitle(j), ResultSeriesColour(j), 0};
            e.Width = box + 4 + labels.horizontalAdvance(e.Text);
            if (!rows.back().empty() && rowWidth + gap + e.Width > room.width()) {
                rows.emplace_back();
                rowWidth = 0;
            }
            rowWidth += (rows.back().empty() ? 0 : gap) + e.Width;
            rows.back().push_back(e);
        }
        double y = room.bottom() - rows.size() * lineHeight;
        room.setBottom(y - 6);
        for (const auto& row : rows) {
            double width = 0;
            for (const TLegendEntry& e : row)
                width += e.Width;
            width += gap * (row.size() - 1);
            double x = room.center().x() - width / 2;
            for (const TLegendEntry& e : row) {
                painter.fillRect(QRectF(x, y + (lineHeight - box) / 2, box, box), e.Colour);
                painter.setPen(look.Text);
                painter.drawText(QRectF(x + box + 4, y, e.Width - box - 4, lineHeight), Qt::AlignVCenter,
                                 e.Text);
                x += e.Width + gap;
            }
            y += lineHeight;
        }
    }

    // The ranges of the values shown.
    double xLo = INFINITY, xHi = -INFINITY, yLo = INFINITY, yHi = -INFINITY;
    for (int i = 0; i < data.Arg1Count(); ++i) {
        const double x = data.Arg1Values[i];
        if (!std::isfinite(x))
            continue;
        for (int j = 0; j < seriesCount; ++j) {
            const double y = data.Value(i, j);
            if (!std::isfinite(y))
                continue;
            xLo = std::min(xLo, x);
            xHi = std::max(xHi, x);
            yLo = std::min(yLo, y);
            yHi = std::max(yHi, y);
        }
    }
    if (!(xLo <= xHi)) {
        xLo = yLo = 0;
        xHi = yHi = 1;
    }

    // The bottom-axis title, the tick labels and the plot.
    if (!data.Arg1Text.isEmpty()) {
        painter.setPen(look.Text);
        const double h = labels.height();
        painter.drawText(QRectF(room.left(), room.bottom() - h, room.width(), h), Qt::AlignHCenter,
                         data.Arg1Text);
        room.setBottom(room.bottom() - h - 4);
    }
    const TAxisScale ys = NiceScale(yLo, yHi, std::clamp(static_cast<int>(room.height() / 50), 3, 11));
    const std::vector<double> yTicks = TicksWithin(ys.Min, ys.Max, ys.Step);
    double labelWidth = 0;
    for (double t : yTicks)
        labelWidth = std::max(labelWidth, labels.horizontalAdvance(TickLabel(t)));
    QRectF plot =
        room.adjusted(labelWidth + 8, labels.height() / 2,
                      -labels.horizontalAdvance(QStringLiteral("0000")) / 2, -(labels.height() + 6));
    if (plot.width() < 10 || plot.height() < 10) {
        painter.restore();
        return;
    }
    const TAxisScale xs = NiceScale(xLo, xHi, std::clamp(static_cast<int>(plot.width() / 80), 3, 11));
    const std::vector<double> xTicks = TicksWithin(xs.Min, xs.Max, xs.Step);
    auto toScreen = [&](double x, double y) {
        return QPointF(plot.left() + (x - xs.Min) / (xs.Max - xs.Min) * plot.width(),
                       plot.bottom() - (y - ys.Min) / (ys.Max - ys.Min) * plot.height());
    };
    painter.setPen(QPen(kGrid, 1));
    for (double t : xTicks)
        painter.drawLine(toScreen(t, ys.Min), toScreen(t, ys.Max));
    for (double t : yTicks)
        painter.drawLine(toScreen(xs.Min, t), toScreen(xs.Max, t));
    painter.setPen(QPen(kFrame, 1));
    painter.drawRect(plot);
    painter.setPen(look.Text);
    for (double t : xTicks) {
        const QPointF p = toScreen(t, ys.Min);
        const QString text = TickLabel(t);
        const double w = labels.horizontalAdvance(text);
        painter.drawText(QRectF(p.x() - w / 2 - 2, p.y() + 4, w + 4, labels.height()), Qt::AlignCenter, text);
    }
    for (double t : yTicks) {
        const QPointF p = toScreen(xs.Min, t);
        painter.drawText(QRectF(room.left(), p.y() - labels.height() / 2, labelWidth, labels.height()),
                         Qt::AlignRight | Qt::AlignVCenter, TickLabel(t));
    }

    // The series: lines of width 2 through the finite points, 2 × 2 squares on them.
    painter.setClipRect(plot.adjusted(-2, -2, 2, 2));
    for (int j = 0; j < seriesCount; ++j) {
        const QColor colour = ResultSeriesColour(j);
        QPainterPath line;
        std::vector<QPointF> points;
        bool open = false;
        for (int i = 0; i < data.Arg1Count(); ++i) {
            const double x = data.Arg1Values[i], y = data.Value(i, j);
            if (!std::isfinite(x) || !std::isfinite(y)) {
                open = false;
                continue;
            }
            const QPointF p = toScreen(x, y);
            if (open)
                line.lineTo(p);
            else
                line.moveTo(p);
            open = true;
            points.push_back(p);
        }
        painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(line);
        for (const QPointF& p : points)
            painter.fillRect(QRectF(p.x() - 1, p.y() - 1, 2, 2), colour);
    }
    painter.restore();
}

QString SaveResultChart(const TResultChartData& data, const QString& fileName, const QSize& size)
{
    return SavePicture(fileName, size, data.Title, [&](QPainter& painter) {
        RenderResultChart(data, painter, QRectF(QPointF(0, 0), QSizeF(size)));
    });
}

QString SaveResultSurface(const TResultChartData& data, const QString& fileName, const QSize& size)
{
    return TSurfacePlot(data).Save(fileName, size);
}
