#include "editor/picture_file.h"

#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QSvgGenerator>

#include "model/safe_save.h"

QImage PictureImage(const QSize& size, const TPictureDrawer& draw)
{
    // A bitmap beyond these would take gigabytes, or more than there is.
    constexpr qint64 kMostSide = 32767;
    constexpr qint64 kMostPixels = qint64(1) << 28;
    if (size.width() > kMostSide || size.height() > kMostSide ||
        qint64(size.width()) * size.height() > kMostPixels)
        return QImage();
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    draw(painter);
    return image;
}

QByteArray PictureSvg(const QSize& size, const QString& title, const TPictureDrawer& draw)
{
    const QSize extent = size.expandedTo(QSize(1, 1));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(extent);
    svg.setViewBox(QRect(QPoint(0, 0), extent));
    svg.setResolution(96);
    svg.setTitle(title);
    svg.setDescription(QStringLiteral("Drawn by Quorvane"));
    {
        QPainter painter(&svg);
        draw(painter);
    }
    return bytes;
}

void CopyPictureToClipboard(const QSize& size, const QString& title, const TPictureDrawer& draw)
{
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/svg+xml"), PictureSvg(size, title, draw));
    const QImage image = PictureImage(size, draw);
    if (!image.isNull())
        data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
}

bool IsPictureFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("svg") || suffix == QLatin1String("png") || suffix == QLatin1String("bmp");
}

QString SavePicture(const QString& fileName, const QSize& size, const QString& title,
                    const TPictureDrawer& draw)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    QByteArray bytes;
    if (suffix == QLatin1String("svg")) {
        bytes = PictureSvg(size, title, draw);
    } else if (suffix == QLatin1String("png") || suffix == QLatin1String("bmp")) {
        const QImage image = PictureImage(size, draw);
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
