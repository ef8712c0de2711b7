#include "editor/net_picture.h"

#include <QPainter>
#include <QSignalBlocker>

#include <cmath>

#include "editor/picture_file.h"
#include "model/designer.h"

namespace {

// Puts the view at `scale` without scroll while it lives, and back afterwards.
class TViewOverride
{
public:
    TViewOverride(TQRVDesigner& d, double scale)
        : m_d(d), m_block(&d), m_scale(d.Scale()), m_x(d.ScrollX()), m_y(d.ScrollY()),
          m_updating(d.Updating())
    {
        m_d.SetUpdating(false);
        m_d.SetScroll(0, 0);
        m_d.SetScale(scale);
        m_d.MarkAllDirty();
        m_d.Update();
    }
    ~TViewOverride()
    {
        m_d.SetScale(m_scale);
        m_d.SetScroll(m_x, m_y);
        m_d.MarkAllDirty();
        m_d.Update();
        m_d.SetUpdating(m_updating);
    }

private:
    TQRVDesigner& m_d;
    QSignalBlocker m_block;
    double m_scale;
    int m_x, m_y;
    bool m_updating;
};

QSize extentAt(TQRVDesigner& d, double scale)
{
    // Arcs learn their bounding boxes while they draw: draw once first.
    QImage scratch(1, 1, QImage::Format_ARGB32);
    {
        QPainter p(&scratch);
        d.DrawObjects(p);
    }
    const QSize model = d.NetExtent();
    const int margin = 4;
    return QSize(std::max(1, static_cast<int>(std::ceil(model.width() * scale)) + margin),
                 std::max(1, static_cast<int>(std::ceil(model.height() * scale)) + margin));
}

} // namespace

QSize NetPictureSize(TQRVDesigner& designer, double scale)
{
    TViewOverride view(designer, scale);
    return extentAt(designer, scale);
}

void RenderNet(TQRVDesigner& designer, QPainter& painter, double scale)
{
    TViewOverride view(designer, scale);
    designer.DrawObjects(painter);
}

QImage NetImage(TQRVDesigner& designer, double scale)
{
    TViewOverride view(designer, scale);
    return PictureImage(extentAt(designer, scale), [&](QPainter& painter) { designer.DrawObjects(painter); });
}

QByteArray NetSvg(TQRVDesigner& designer, double scale)
{
    TViewOverride view(designer, scale);
    return PictureSvg(extentAt(designer, scale), QStringLiteral("Petri net"),
                      [&](QPainter& painter) { designer.DrawObjects(painter); });
}

QString ExportNetPicture(TQRVDesigner& designer, const QString& fileName, double scale)
{
    if (!(scale > 0) || scale > 20)
        return QStringLiteral("The scale must be above 0 and at most 20.");
    if (!IsPictureFileName(fileName))
        return QStringLiteral("Cannot write %1: the picture formats are .svg, .png and .bmp.").arg(fileName);
    TViewOverride view(designer, scale);
    return SavePicture(fileName, extentAt(designer, scale), QStringLiteral("Petri net"),
                       [&](QPainter& painter) { designer.DrawObjects(painter); });
}
