#include "charts/chart_look.h"

#include <QPainter>

TChartLook BeginChartPicture(QPainter& painter, const QRectF& area)
{
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    TChartLook look{painter.font(), painter.font(), QColor(0x40, 0x40, 0x44)};
    look.Title.setPixelSize(14);
    look.Title.setBold(true);
    look.Label.setPixelSize(11);
    return look;
}
