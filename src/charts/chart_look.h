// The look shared by the pictures of the result charts.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>

class QPainter;

struct TChartLook
{
    QFont Title; // 14 pixels, bold
    QFont Label; // 11 pixels
    QColor Text;
};

// Starts a picture in `area`: fills it white and smooths the lines; the
// fonts follow the painter's.
TChartLook BeginChartPicture(QPainter& painter, const QRectF& area);
