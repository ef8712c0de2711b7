// Enumerations published by the element classes, and colour values.
#pragma once

#include <QColor>
#include <QObject>

namespace Qrv {
Q_NAMESPACE

// The size class of places and transitions.
enum TObjSize { osVerySmall, osSmall, osNormal, osLarge, osVeryLarge };
Q_ENUM_NS(TObjSize)

// Pen styles, numbered as net files store them.
enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
Q_ENUM_NS(TPenStyle)

// Brush styles, numbered as net files store them.
enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};
Q_ENUM_NS(TBrushStyle)

// Font styles; net files store the set as bits 0 to 3.
enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_FLAG_NS(TFontStyles)

} // namespace Qrv

Q_DECLARE_OPERATORS_FOR_FLAGS(Qrv::TFontStyles)

using Qrv::TObjSize;

// A colour given as 0xBBGGRR (blue, green and red bytes), as files store colours.
inline QColor BgrColor(quint32 bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

inline quint32 ColorToBgr(const QColor& c)
{
    return static_cast<quint32>(c.red()) | (static_cast<quint32>(c.green()) << 8) |
           (static_cast<quint32>(c.blue()) << 16);
}

// The highlight colour of selected elements.
inline QColor HighlightColor()
{
    return QColor(255, 0, 255);
}

Qt::PenStyle ToQtPenStyle(Qrv::TPenStyle style);
Qt::BrushStyle ToQtBrushStyle(Qrv::TBrushStyle style);
