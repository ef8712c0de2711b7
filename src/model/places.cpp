// Places: discrete places hold tokens, continuous places a level between bounds.
#include "model/places.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariant>

#include <cmath>
#include <utility>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/name_label.h"
#include "model/numbers.h"
#include "model/obj_size.h"
#include "model/transitions.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

// ---- TclsNode ------------------------------------------------------------------

TclsNode::TclsNode(TQRVDesigner* designer) : TQRVNode(designer), m_cost(new TQRVFormula(this))
{
    applyDiameter();
}

double TclsNode::Diameter(Qrv::TObjSize size)
{
    switch (size) {
    case Qrv::osVerySmall:
        return 10;
    case Qrv::osSmall:
        return 20;
    case Qrv::osNormal:
        return 30;
    case Qrv::osLarge:
        return 40;
    case Qrv::osVeryLarge:
        return 50;
    }
    return 30;
}

void TclsNode::applyDiameter()
{
    const double d = Diameter(m_size);
    SetBoundsDirect(m_left, m_top, d, d);
    IncludeState(osDirty);
}

void TclsNode::SetSize(Qrv::TObjSize size)
{
    if (size == m_size)
        return;
    m_size = size;
    applyDiameter();
    MarkArcsDirty();
    DesignerUpdate();
}

void TclsNode::SetCost(TQRVFormula* formula)
{
    if (formula && formula != m_cost)
        m_cost->Assign(*formula);
}

void TclsNode::FinishPlacement(bool placed)
{
    TQRVObject::FinishPlacement(placed);
    applyDiameter();
    NameLabel::Create(*this);
    UpdateRegion();
}

void TclsNode::UpdateRegion()
{
    ExcludeState(osDirty);
    MarkArcsDirty();
    const double sx = ScreenX(), sy = ScreenY();
    const int x1 = qRound(sx), y1 = qRound(sy);
    const int x2 = qRound(sx + ScreenWidth()), y2 = qRound(sy + ScreenHeight());
    m_region = QRegion(QRect(x1, y1, x2 - x1, y2 - y1), QRegion::Ellipse);
}

void TclsNode::SaveToXml(TqibXMLNode& element) const
{
    SaveCommonAttributes(*this, element);
    // Places repeat their name among their own attributes.
    element.AddAttribute(QStringLiteral("name"), Name());
    element.AddAttribute(QStringLiteral("size"), ObjSizeName(m_size));
}

void TclsNode::LoadFromXml(const TqibXMLNode& element)
{
    LoadCommonAttributes(*this, element);
    SetSize(ReadObjSize(element));
}

// ---- TclsNodeDiscrete ----------------------------------------------------------

TclsNodeDiscrete::TclsNodeDiscrete(TQRVDesigner* designer) : TclsNode(designer) {}

void TclsNodeDiscrete::SetTokens(double value)
{
    if (value == m_tokens || value < 0 || std::isnan(value))
        return;
    m_tokens = RoundHalfEven(value);
    DesignerUpdate();
}

QString TclsNodeDiscrete::RefusedValue(const QByteArray& property, const QVariant& value) const
{
    if (property != "Tokens")
        return TclsNode::RefusedValue(property, value);
    const double tokens = value.toDouble();
    if (tokens >= 0 && tokens == std::floor(tokens))
        return QString();
    return QStringLiteral("''%1'' is not a number of tokens: use a whole number, 0 or more")
        .arg(FormatGeneral(tokens));
}

QString TclsNodeDiscrete::VariableName(int index) const
{
    switch (index) {
    case 0:
        return QStringLiteral("TOKENS");
    case 1:
        return QStringLiteral("COST");
    default:
        return QString();
    }
}

double TclsNodeDiscrete::VariableValueAt(int index) const
{
    switch (index) {
    case 0:
        return m_tokens;
    case 1:
        return m_cost->Value_Actual();
    default:
        return 0;
    }
}

void TclsNodeDiscrete::Draw(QPainter& painter, int mode)
{
    TQRVObject::Draw(painter, mode);
    const double sx = ScreenX(), sy = ScreenY(), sw = ScreenWidth(), sh = ScreenHeight();
    const int x1 = qRound(sx), y1 = qRound(sy);
    const QRect box(x1, y1, qRound(sx + sw) - x1, qRound(sy + sh) - y1);
    painter.setPen(QPen(IsHighlighted(mode) ? HighlightColor() : QColor(Qt::black), 2));
    painter.setBrush(Qt::white);
    painter.drawEllipse(box);
    if (m_tokens <= 0)
        return;

    const QPointF centre(sx + sw / 2, sy + sh / 2);
    if (m_tokens < 6) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::black);
        const int n = static_cast<int>(m_tokens);
        if (n == 1) {
            painter.drawEllipse(centre, sw / 8, sh / 8);
            return;
        }
        for (int i = 0; i < n; ++i) {
            const double a = 2 * M_PI * i / n;
            painter.drawEllipse(centre + QPointF(std::cos(a) * sw / 4, std::sin(a) * sh / 4), sw / 8, sh / 8);
        }
        return;
    }
    const double scale = Designer() ? Designer()->Scale() : 1.0;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(std::max(1, qRound(10 * scale)));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    painter.drawText(QRectF(sx, sy, sw, sh), Qt::AlignCenter | Qt::TextDontClip, FormatGeneral(m_tokens));
}

void TclsNodeDiscrete::SaveToXml(TqibXMLNode& element) const
{
    TclsNode::SaveToXml(element);
    element.AddAttribute(QStringLiteral("markers"), RealText(m_tokens));
    SaveFormula(element, QStringLiteral("cost"), *m_cost);
}

void TclsNodeDiscrete::LoadFromXml(const TqibXMLNode& element)
{
    TclsNode::LoadFromXml(element);
    // A count is read as a whole number. Counts beyond the integer range are
    // written as whole reals ("3000000000", "1E15") and read back as such, so
    // that every net that was saved can be opened again.
    const QString markers = RequiredAttribute(element, QStringLiteral("markers")).Value;
    double tokens = 0;
    if (ParseReal(markers, tokens) && tokens == std::trunc(tokens) && std::abs(tokens) > 2147483647.0)
        m_tokens = tokens;
    else
        m_tokens = ReadInteger(element, QStringLiteral("markers"));
    LoadFormula(element, QStringLiteral("cost"), *m_cost, true);
}

// ---- TclsNodeContinuous --------------------------------------------------------

TclsNodeContinuous::TclsNodeContinuous(TQRVDesigner* designer) : TclsNode(designer)
{
    IsContinuous = true;
}

void TclsNodeContinuous::SetBoundMax(double v)
{
    m_boundMax = v;
    if (m_level > m_boundMax)
        m_level = m_boundMax;
}

void TclsNodeContinuous::SetLevel(double v)
{
    m_level = v;
    if (m_level > m_boundMax)
        m_level = m_boundMax;
}

void TclsNodeContinuous::ChangeLevel(double delta)
{
    double l = m_level + delta;
    if (l < m_boundMin && delta < 0)
        l = m_boundMin;
    if (l > m_boundMax && delta > 0)
        l = m_boundMax;
    SetLevel(l);
}

double TclsNodeContinuous::Balance() const
{
    double b = 0;
    for (const TclsLink* arc : InArcs) {
        const TclsTrans* t = arc->SourceTrans();
        if (arc->Kind() == lkContinuous && t && t->IsContinuous && t->Open())
            b += arc->WeightValue() * static_cast<const TclsTransContinuous*>(t)->ExpectanceValue();
    }
    for (const TclsLink* arc : OutArcs) {
        const TclsTrans* t = arc->DestTrans();
        if (arc->Kind() == lkContinuous && t && t->IsContinuous && t->Open())
            b -= arc->WeightValue() * static_cast<const TclsTransContinuous*>(t)->ExpectanceValue();
    }
    return b;
}

double TclsNodeContinuous::BalanceOrZero() const noexcept
{
    try {
        return Balance();
    } catch (...) {
        return 0;
    }
}

QString TclsNodeContinuous::VariableName(int index) const
{
    switch (index) {
    case 0:
        return QStringLiteral("LEVEL");
    case 1:
        return QStringLiteral("BOUNDMIN");
    case 2:
        return QStringLiteral("BOUNDMAX");
    case 3:
        return QStringLiteral("COST");
    default:
        return QString();
    }
}

double TclsNodeContinuous::VariableValueAt(int index) const
{
    switch (index) {
    case 0:
        return m_level;
    case 1:
        return m_boundMin;
    case 2:
        return m_boundMax;
    case 3:
        return m_cost->Value_Actual();
    default:
        return 0;
    }
}

void TclsNodeContinuous::Draw(QPainter& painter, int mode)
{
    TQRVObject::Draw(painter, mode);
    const int sx = qRound(ScreenX()), sy = qRound(ScreenY());
    const int sw = qRound(ScreenWidth()), sh = qRound(ScreenHeight());
    const bool hl = IsHighlighted(mode);
    painter.setPen(QPen(hl ? HighlightColor() : BgrColor(ContinuousColor), 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRect(sx, sy, sw, sh));
    painter.drawEllipse(QRect(sx + 3, sy + 3, sw - 6, sh - 6));

    // The fill rises from the bottom in proportion to Level / BoundMax.
    const double r = m_boundMax != 0 ? m_level / m_boundMax : 0;
    const double h = sh - 6;
    const double fillTop = sy + 3 + h - std::nearbyint(h) * r;
    const double fillBottom = sy + sh - 3;
    if (fillTop < fillBottom) {
        QPainterPath ellipse;
        ellipse.addEllipse(QRectF(sx + 4, sy + 3, sw - 7, sh - 6));
        QPainterPath band;
        band.addRect(QRectF(sx + 3, fillTop, sw - 6, fillBottom - fillTop));
        painter.fillPath(ellipse.intersected(band), hl ? HighlightColor() : BgrColor(LevelColor));
    }

    if (m_level != 0) {
        const double scale = Designer() ? Designer()->Scale() : 1.0;
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(std::max(1, qRound(9 * scale)));
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.setBackgroundMode(Qt::TransparentMode);
        painter.drawText(QRectF(sx, sy, sw, sh), Qt::AlignCenter | Qt::TextDontClip,
                         FormatGeneral(m_level, 3));
    }
}

void TclsNodeContinuous::SaveToXml(TqibXMLNode& element) const
{
    TclsNode::SaveToXml(element);
    element.AddAttribute(QStringLiteral("boundmin"), RealText(m_boundMin));
    element.AddAttribute(QStringLiteral("boundmax"), RealText(m_boundMax));
    element.AddAttribute(QStringLiteral("level"), RealText(m_level));
    SaveFormula(element, QStringLiteral("cost"), *m_cost);
}

void TclsNodeContinuous::LoadFromXml(const TqibXMLNode& element)
{
    TclsNode::LoadFromXml(element);
    ReadOptionalReal(element, QStringLiteral("boundmin"), m_boundMin);
    ReadOptionalReal(element, QStringLiteral("boundmax"), m_boundMax);
    ReadOptionalReal(element, QStringLiteral("level"), m_level);
    LoadFormula(element, QStringLiteral("cost"), *m_cost, true);
}
