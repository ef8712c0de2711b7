// Pictures of a chart, for the windows that show charts: a file by its
// extension (PNG, BMP or SVG) and the clipboard (SVG together with a
// bitmap, so that any program can paste it). While a picture is taken the
// chart's, its plot area's and its legend's backgrounds are white.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QChart;
class QWidget;

// The chart at its current size (640 × 400 when it has none yet).
QImage ChartImage(QChart& chart);
QByteArray ChartSvg(QChart& chart);

// Writes the picture by the file's extension (.png, .bmp or .svg) through
// SaveBytesSafely. Returns an empty text on success, otherwise the message.
QString SaveChartPicture(QChart& chart, const QString& fileName);
// Puts the picture on the clipboard.
void CopyChartToClipboard(QChart& chart);

// The filter of a save dialog for chart pictures.
QString ChartPictureFilter();

// Asks for a picture's file name with the save dialog "Save picture" (which
// asks before overwriting). A name without an extension takes that of the
// chosen filter ("PNG image (*.png)" gives ".png"). Empty when cancelled.
QString AskPictureFileName(QWidget* parent, const QString& filters);
