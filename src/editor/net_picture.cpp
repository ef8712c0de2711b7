#include "editor/net_picture.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QSignalBlocker>
#include <QSvgGenerator>

#include <cmath>

#include "model/designer.h"
#include "model/safe_save.h"

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
    const QSize size = extentAt(designer, scale);
    // A bitmap beyond these would take gigabytes, or more than there is.
    constexpr qint64 kMostSide = 32767;
    constexpr qint64 kMostPixels = qint64(1) << 28;
    if (size.width() > kMostSide || size.height() > kMostSide ||
        qint64(size.width()) * size.height() > kMostPixels)
        return QImage();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    designer.DrawObjects(painter);
    return image;
}

QByteArray NetSvg(TQRVDesigner& designer, double scale)
{
    TViewOverride view(designer, scale);
    const QSize size = extentAt(designer, scale);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("Petri net"));
    svg.setDescription(QStringLiteral("Drawn by Quorvane"));
    {
        QPainter painter(&svg);
        designer.DrawObjects(painter);
    }
    return bytes;
}

QString ExportNetPicture(TQRVDesigner& designer, const QString& fileName, double scale)
{
    if (!(scale > 0) || scale > 20)
        return QStringLiteral("The scale must be above 0 and at most 20.");
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    QByteArray bytes;
    if (suffix == QLatin1String("svg")) {
        bytes = NetSvg(designer, scale);
    } else if (suffix == QLatin1String("png") || suffix == QLatin1String("bmp")) {
        const QImage image = NetImage(designer, scale);
        if (image.isNull())
            return QStringLiteral("Cannot make the picture for %1: the net is too large for a bitmap at "
                                  "this scale; export it as .svg or at a smaller scale.")
                .arg(QFileInfo(fileName).fileName());
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, suffix == QLatin1String("png") ? "PNG" : "BMP"))
            return QStringLiteral("Cannot make the picture for %1.").arg(fileName);
    } else {
        return QStringLiteral("Cannot write %1: the picture formats are .svg, .png and .bmp.").arg(fileName);
    }
    return SaveBytesSafely(fileName, bytes);
}
