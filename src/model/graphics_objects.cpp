#include "model/graphics_objects.h"

#include <cmath>

#include "model/designer.h"
#include "model/qrv_object.h"

Qt::PenStyle ToQtPenStyle(Qrv::TPenStyle style)
{
    switch (style) {
    case Qrv::psSolid:
    case Qrv::psInsideFrame:
        return Qt::SolidLine;
    case Qrv::psDash:
        return Qt::DashLine;
    case Qrv::psDot:
        return Qt::DotLine;
    case Qrv::psDashDot:
        return Qt::DashDotLine;
    case Qrv::psDashDotDot:
        return Qt::DashDotDotLine;
    case Qrv::psClear:
        return Qt::NoPen;
    }
    return Qt::SolidLine;
}

Qt::BrushStyle ToQtBrushStyle(Qrv::TBrushStyle style)
{
    switch (style) {
    case Qrv::bsSolid:
        return Qt::SolidPattern;
    case Qrv::bsClear:
        return Qt::NoBrush;
    case Qrv::bsHorizontal:
        return Qt::HorPattern;
    case Qrv::bsVertical:
        return Qt::VerPattern;
    case Qrv::bsFDiagonal:
        return Qt::FDiagPattern;
    case Qrv::bsBDiagonal:
        return Qt::BDiagPattern;
    case Qrv::bsCross:
        return Qt::CrossPattern;
    case Qrv::bsDiagCross:
        return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

QColor ColorFromValue(qint32 value)
{
    if (value >= 0)
        return BgrColor(static_cast<quint32>(value));
    switch (value & 0xFF) {
    case 5:  // window
    case 14: // highlight text
        return Qt::white;
    case 15: // button face
    case 4:  // menu
        return QColor(240, 240, 240);
    case 13: // highlight
        return QColor(0, 120, 215);
    case 16: // button shadow
    case 17: // grey text
        return QColor(160, 160, 160);
    default: // window text, button text, captions
        return Qt::black;
    }
}

// ---- font -------------------------------------------------------------------

void TQRVFont::SetColor(const QColor& c)
{
    SetColorValue(static_cast<qint32>(ColorToBgr(c)));
}

void TQRVFont::SetColorValue(qint32 value)
{
    if (value == m_colorValue)
        return;
    m_colorValue = value;
    Q_EMIT Changed();
}

namespace {
// Whether a font name may be stored; reports the refusal to the owner's container.
bool acceptFontName(const QObject* font, const QString& name)
{
    if (IsStorableText(name))
        return true;
    const auto* owner = qobject_cast<const TQRVObject*>(font->parent());
    if (owner && owner->Designer())
        owner->Designer()->ShowError(UnstorableTextMessage(QStringLiteral("A font name")));
    return false;
}
} // namespace

void TQRVFont::SetName(const QString& n)
{
    if (n == m_name || n.isEmpty() || !acceptFontName(this, n))
        return;
    m_name = n;
    Q_EMIT Changed();
}

void TQRVFont::SetSize(int s)
{
    if (s == m_size || s == 0)
        return;
    m_size = s;
    Q_EMIT Changed();
}

void TQRVFont::SetStyle(Qrv::TFontStyles s)
{
    if (s == m_style)
        return;
    m_style = s;
    Q_EMIT Changed();
}

void TQRVFont::Assign(const TQRVFont& other)
{
    m_colorValue = other.m_colorValue;
    m_name = other.m_name;
    m_size = other.m_size;
    m_style = other.m_style;
    Q_EMIT Changed();
}

QFont TQRVFont::ToQFont(double scale) const
{
    QFont f(m_name);
    // A negative size is a height in pixels rather than points.
    const double size = std::nearbyint(std::abs(m_size) * scale);
    if (m_size < 0)
        f.setPixelSize(size < 1 ? 1 : static_cast<int>(size));
    else
        f.setPointSizeF(size < 1 ? 1 : size);
    f.setBold(m_style.testFlag(Qrv::fsBold));
    f.setItalic(m_style.testFlag(Qrv::fsItalic));
    f.setUnderline(m_style.testFlag(Qrv::fsUnderline));
    f.setStrikeOut(m_style.testFlag(Qrv::fsStrikeOut));
    return f;
}

void TQRVFont::FromQFont(const QFont& font)
{
    // A family the file cannot hold refuses the whole font.
    if (!acceptFontName(this, font.family()))
        return;
    if (!font.family().isEmpty())
        m_name = font.family();
    if (font.pointSize() > 0)
        m_size = font.pointSize();
    Qrv::TFontStyles s;
    if (font.bold())
        s |= Qrv::fsBold;
    if (font.italic())
        s |= Qrv::fsItalic;
    if (font.underline())
        s |= Qrv::fsUnderline;
    if (font.strikeOut())
        s |= Qrv::fsStrikeOut;
    m_style = s;
    Q_EMIT Changed();
}

// ---- pen --------------------------------------------------------------------

void TQRVPen::SetColor(const QColor& c)
{
    SetColorValue(static_cast<qint32>(ColorToBgr(c)));
}

void TQRVPen::SetColorValue(qint32 value)
{
    if (value == m_colorValue)
        return;
    m_colorValue = value;
    Q_EMIT Changed();
}

void TQRVPen::SetStyle(Qrv::TPenStyle s)
{
    if (s == m_style)
        return;
    m_style = s;
    Q_EMIT Changed();
}

void TQRVPen::Assign(const TQRVPen& other)
{
    m_colorValue = other.m_colorValue;
    m_style = other.m_style;
    Q_EMIT Changed();
}

QPen TQRVPen::ToQPen() const
{
    return QPen(Color(), 1, ToQtPenStyle(m_style));
}

// ---- brush ------------------------------------------------------------------

void TQRVBrush::SetColor(const QColor& c)
{
    SetColorValue(static_cast<qint32>(ColorToBgr(c)));
}

void TQRVBrush::SetColorValue(qint32 value)
{
    if (value == m_colorValue)
        return;
    m_colorValue = value;
    Q_EMIT Changed();
}

void TQRVBrush::SetStyle(Qrv::TBrushStyle s)
{
    if (s == m_style)
        return;
    m_style = s;
    Q_EMIT Changed();
}

void TQRVBrush::Assign(const TQRVBrush& other)
{
    m_colorValue = other.m_colorValue;
    m_style = other.m_style;
    Q_EMIT Changed();
}

QBrush TQRVBrush::ToQBrush() const
{
    return QBrush(Color(), ToQtBrushStyle(m_style));
}
