// Pictures of an entry's results without a window, for quorvane-cli: the big
// chart (one line series per argument-2 point) and the 3-D surface in its
// initial view.
#pragma once

#include <QColor>
#include <QRectF>
#include <QSize>
#include <QString>

#include "charts/result_chart_data.h"

class QPainter;

// The colour of the series of argument-2 point j, in the preview, the big
// chart and the pictures alike.
QColor ResultSeriesColour(int j);

// Draws the big chart into `area` on white: the title, the axes with their
// ticks and grid, the bottom-axis title, one line of width 2 with square
// markers per argument-2 point, and the legend at the bottom when there are
// two series or more. Values that are not finite are left out.
void RenderResultChart(const TResultChartData& data, QPainter& painter, const QRectF& area);

// Write by the extension (.svg, .png or .bmp). Empty on success, else the message.
QString SaveResultChart(const TResultChartData& data, const QString& fileName,
                        const QSize& size = QSize(800, 500));
QString SaveResultSurface(const TResultChartData& data, const QString& fileName,
                          const QSize& size = QSize(800, 600));
