// Pictures drawn with a QPainter, as images, SVG documents and files chosen
// by their extension: the net, the result charts and the 3-D surface.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

using TPictureDrawer = std::function<void(QPainter&)>;

// An image of `size` on white; a null image when a bitmap of that size would
// be unreasonably large (over 32767 pixels a side or 2^28 pixels).
QImage PictureImage(const QSize& size, const TPictureDrawer& draw);
// An SVG document of `size` pixels (96 per inch).
QByteArray PictureSvg(const QSize& size, const QString& title, const TPictureDrawer& draw);

// Puts the picture on the clipboard as SVG together with a bitmap, so that
// programs that take either can paste it.
void CopyPictureToClipboard(const QSize& size, const QString& title, const TPictureDrawer& draw);

// Whether a file name ends in one of the picture extensions: .svg, .png, .bmp.
bool IsPictureFileName(const QString& fileName);

// Writes the picture by the file's extension (.svg, .png or .bmp) through
// SaveBytesSafely. Returns an empty text on success, otherwise the message.
QString SavePicture(const QString& fileName, const QSize& size, const QString& title,
                    const TPictureDrawer& draw);
