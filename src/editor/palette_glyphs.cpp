#include "editor/palette_glyphs.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace {

// Every picture is drawn on a 24 × 24 grid and scaled to the asked size.
using TGlyphPainter = std::function<void(QPainter&)>;

const QColor kArcBlue(0, 0, 255);
const QColor kContinuous(0x40, 0x40, 0x80);

void arrowHead(QPainter& p, QPointF tip, QPointF from, const QColor& c, bool open = false)
{
    const QPointF d = tip - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    const QPointF a = tip - 7 * u + 3 * n;
    const QPointF b = tip - 7 * u - 3 * n;
    if (open) {
        p.setPen(QPen(c, 1.4));
        p.drawLine(tip, a);
        p.drawLine(tip, b);
        return;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygonF{tip, a, b});
}

void arcLine(QPainter& p, const QColor& c, double width = 1.4, Qt::PenStyle style = Qt::SolidLine)
{
    p.setPen(QPen(c, width, style));
    p.drawLine(QPointF(3, 20), QPointF(21, 4));
}

void circleEnd(QPainter& p, QPointF centre, const QColor& c)
{
    p.setPen(QPen(c, 1.4));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 3, 3);
}

// An inhibitor arc: a line ending in a circle.
void inhibitor(QPainter& p, const QColor& c)
{
    p.setPen(QPen(c, 1.4));
    p.drawLine(QPointF(3, 20), QPointF(17, 7.5));
    circleEnd(p, QPointF(19, 6), c);
}

// An inhibitor counter arc: an arrowhead before the circle.
void inhibitorCounter(QPainter& p, const QColor& c)
{
    p.setPen(QPen(c, 1.4));
    p.drawLine(QPointF(3, 20), QPointF(15, 9.5));
    arrowHead(p, QPointF(16.5, 8), QPointF(3, 20), c);
    circleEnd(p, QPointF(19.5, 5.5), c);
}

void place(QPainter& p, bool continuous)
{
    p.setPen(QPen(continuous ? kContinuous : Qt::black, 1.6));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 12), 9, 9);
    if (continuous) {
        p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x8E, 0xC6, 0xC6));
        p.drawChord(QRectF(6, 6, 12, 12), 200 * 16, 140 * 16);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
    }
}

void bar(QPainter& p, const QColor& fill, const QColor& pen, double w)
{
    p.setPen(QPen(pen, 1.4));
    p.setBrush(fill);
    p.drawRect(QRectF(12 - w / 2, 3, w, 18));
}

const QHash<QString, TGlyphPainter>& painters()
{
    static const QHash<QString, TGlyphPainter> table = {
        {"TclsNodeDiscrete", [](QPainter& p) { place(p, false); }},
        {"TclsNodeContinuous", [](QPainter& p) { place(p, true); }},
        {"TclsTransInstant", [](QPainter& p) { bar(p, Qt::black, Qt::black, 3); }},
        {"TclsTransTimed", [](QPainter& p) { bar(p, kArcBlue, kArcBlue, 7); }},
        {"TclsTransContinuous",
         [](QPainter& p) {
             bar(p, Qt::white, kContinuous, 8);
             p.drawLine(QPointF(12, 4), QPointF(12, 20));
         }},
        {"TclsLinkNormal",
         [](QPainter& p) {
             arcLine(p, kArcBlue);
             arrowHead(p, QPointF(21, 4), QPointF(3, 20), kArcBlue);
         }},
        {"TclsLinkIngibitor", [](QPainter& p) { inhibitor(p, kArcBlue); }},
        {"TclsLinkIngibitorCounter", [](QPainter& p) { inhibitorCounter(p, kArcBlue); }},
        {"TclsLinkTest",
         [](QPainter& p) {
             arcLine(p, kArcBlue, 1.4, Qt::DotLine);
             arrowHead(p, QPointF(21, 4), QPointF(3, 20), kArcBlue);
         }},
        {"TclsLinkContinuous",
         [](QPainter& p) {
             p.setPen(QPen(kContinuous, 1.2));
             p.drawLine(QPointF(2, 18.5), QPointF(19.5, 2.5));
             p.drawLine(QPointF(4.5, 21.5), QPointF(22, 5.5));
             arrowHead(p, QPointF(21.5, 3.5), QPointF(3, 20), kContinuous, true);
         }},
        {"TclsLinkFlow",
         [](QPainter& p) {
             arcLine(p, kContinuous, 2.6);
             arrowHead(p, QPointF(21, 4), QPointF(3, 20), kContinuous);
         }},
        {"TclsLinkTestContinuous",
         [](QPainter& p) {
             arcLine(p, kContinuous, 1.4, Qt::DotLine);
             arrowHead(p, QPointF(21, 4), QPointF(3, 20), kContinuous);
         }},
        {"TclsLinkIngibitorContinuous", [](QPainter& p) { inhibitor(p, kContinuous); }},
        {"TclsLinkIngibitorCounterContinuous", [](QPainter& p) { inhibitorCounter(p, kContinuous); }},
        {"TclsMarker",
         [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::black);
             p.drawEllipse(QPointF(9, 14), 5, 5);
             p.setPen(QPen(Qt::black, 2));
             p.drawLine(QPointF(18, 3), QPointF(18, 11));
             p.drawLine(QPointF(14, 7), QPointF(22, 7));
         }},
        {"TclsLine",
         [](QPainter& p) {
             p.setPen(QPen(Qt::black, 1.6));
             p.drawLine(QPointF(3, 20), QPointF(21, 4));
         }},
        {"TclsRoundRect",
         [](QPainter& p) {
             p.setPen(QPen(Qt::black, 1.4));
             p.setBrush(QColor(255, 255, 220));
             p.drawRoundedRect(QRectF(2, 5, 20, 14), 4, 4);
         }},
        {"TclsEllipse",
         [](QPainter& p) {
             p.setPen(QPen(Qt::black, 1.4));
             p.setBrush(QColor(255, 255, 220));
             p.drawEllipse(QRectF(2, 5, 20, 14));
         }},
        {"TclsDesignerLink",
         [](QPainter& p) {
             p.setPen(QPen(Qt::black, 1.2));
             p.setBrush(Qt::white);
             p.drawEllipse(QRectF(1, 14, 9, 7));
             p.drawRoundedRect(QRectF(14, 2, 9, 7), 2, 2);
             p.drawLine(QPointF(8, 15), QPointF(15, 9));
             arrowHead(p, QPointF(15, 9), QPointF(8, 15), Qt::black);
         }},
        {"TclsText",
         [](QPainter& p) {
             QFont f(QStringLiteral("Serif"));
             f.setPixelSize(18);
             f.setBold(true);
             p.setFont(f);
             p.setPen(Qt::black);
             p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("A"));
         }},
        {"TclsFrame",
         [](QPainter& p) {
             p.setPen(QPen(Qt::black, 1.2));
             p.setBrush(Qt::NoBrush);
             p.drawRect(QRectF(2, 6, 20, 15));
             p.fillRect(QRectF(5, 3, 10, 6), Qt::white);
             p.setPen(QPen(Qt::black, 1.6));
             p.drawLine(QPointF(6, 6), QPointF(14, 6));
         }},
        {"RACPPOINTER",
         [](QPainter& p) {
             QPainterPath arrow;
             arrow.moveTo(7, 3);
             arrow.lineTo(7, 19);
             arrow.lineTo(11, 15);
             arrow.lineTo(14, 21);
             arrow.lineTo(16.5, 20);
             arrow.lineTo(13.5, 14);
             arrow.lineTo(18.5, 14);
             arrow.closeSubpath();
             p.setPen(QPen(Qt::black, 1.2));
             p.setBrush(Qt::white);
             p.drawPath(arrow);
         }},
        {"RACPLEFT",
         [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::black);
             p.drawPolygon(QPolygonF{QPointF(16, 5), QPointF(16, 19), QPointF(8, 12)});
         }},
        {"RACPRIGHT",
         [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(Qt::black);
             p.drawPolygon(QPolygonF{QPointF(8, 5), QPointF(8, 19), QPointF(16, 12)});
         }},
        {"TclsDEFAULT",
         [](QPainter& p) {
             p.setPen(QPen(Qt::darkGray, 1.4));
             p.setBrush(QColor(230, 230, 230));
             p.drawRect(QRectF(4, 4, 16, 16));
             p.setPen(Qt::black);
             p.drawText(QRectF(4, 4, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
         }},
    };
    return table;
}

} // namespace

bool HasPaletteGlyph(const QString& name)
{
    return painters().contains(name);
}

QIcon PaletteGlyph(const QString& name, int size)
{
    const auto& table = painters();
    auto it = table.find(name);
    if (it == table.end())
        it = table.find(QStringLiteral("TclsDEFAULT"));
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    it.value()(p);
    p.end();
    return QIcon(pixmap);
}
