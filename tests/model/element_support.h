// Helpers for element tests: creating elements as a click would, painting
// the net into an image and looking at it as a person would.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <cstdlib>

#include "model/class_registry.h"
#include "model/designer.h"

// The palette entry of an element class, without the registry.
template <class T> TQRVClassInfo ClassInfoOf()
{
    TQRVClassInfo info;
    info.Page = QStringLiteral("Test");
    info.Meta = &T::staticMetaObject;
    info.Create = [](TQRVDesigner* d) -> TQRVObject* { return new T(d); };
    return info;
}

// Creates an element with its top-left corner at a model point, as the
// container does for a click (named, sized by its class, placed).
template <class T> T* CreateAt(TQRVDesigner& designer, double left, double top)
{
    const TQRVClassInfo info = ClassInfoOf<T>();
    auto* object = static_cast<T*>(designer.CreateObject(&info, left, top, 0, 0));
    designer.Update();
    return object;
}

// The net drawn on white (or `background`), as the drawing surface shows it.
inline QImage PaintNet(const TQRVDesigner& designer, QSize size = QSize(400, 300),
                       const QColor& background = Qt::white)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    designer.DrawObjects(painter);
    painter.end();
    return image;
}

// Pixels of exactly colour `c` inside `area`.
inline int CountPixels(const QImage& image, const QRect& area, const QColor& c)
{
    const QRect r = area.intersected(image.rect());
    const QRgb wanted = c.rgb();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixel(x, y) == wanted)
                ++n;
    return n;
}

// Pixels inside `area` that show colour `c`, possibly blended with white as
// smoothed text edges are: same hue, clearly coloured.
inline int CountTinted(const QImage& image, const QRect& area, const QColor& c)
{
    const QRect r = area.intersected(image.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor p = QColor::fromRgb(image.pixel(x, y));
            if (p.hsvSaturation() > 80 && std::abs(p.hsvHue() - c.hsvHue()) < 15)
                ++n;
        }
    return n;
}

// Whether a pixel is noticeably darker than white (text ink, lines).
inline bool IsInk(QRgb p)
{
    return qGray(p) < 160;
}

// The bounding box of the ink inside `area` (empty when there is none).
inline QRect InkBox(const QImage& image, const QRect& area)
{
    const QRect r = area.intersected(image.rect());
    QRect box;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (IsInk(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}
