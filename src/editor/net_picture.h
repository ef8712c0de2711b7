// Pictures of a net: the surface's drawing rendered into an image or an SVG
// document, for File, Export, the clipboard and quorvane-cli export.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QPainter;
class TQRVDesigner;

// The size in pixels of the net drawn at `scale`.
QSize NetPictureSize(TQRVDesigner& designer, double scale);
// Draws the net at `scale` with its model origin at the painter's origin, as
// the drawing surface draws it; the view's own scale and scroll are restored.
void RenderNet(TQRVDesigner& designer, QPainter& painter, double scale);

// A null image when the net at `scale` is too large for a bitmap (more than
// 32767 pixels a side or 2^28 pixels in all).
QImage NetImage(TQRVDesigner& designer, double scale);
QByteArray NetSvg(TQRVDesigner& designer, double scale);

// Writes the picture by the file's extension: .svg, .png or .bmp. Returns an
// empty text on success, otherwise the message.
QString ExportNetPicture(TQRVDesigner& designer, const QString& fileName, double scale = 1.0);
