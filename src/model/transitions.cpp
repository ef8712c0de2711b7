// Transitions: immediate, exponentially timed and continuous.
#include "model/transitions.h"

#include <QPainter>

#include <cmath>
#include <utility>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/name_label.h"
#include "model/numbers.h"
#include "model/obj_size.h"
#include "model/places.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

namespace {

TQRVFormula* makeFormula(TQRVObject* owner, double reference, TFormulaKind kind)
{
    auto* f = new TQRVFormula(owner);
    f->SetValue_Reference(reference);
    f->SetKind(kind);
    return f;
}

} // namespace

// ---- TclsTrans -------------------------------------------------------------------

TclsTrans::TclsTrans(TQRVDesigner* designer)
    : TQRVNode(designer), m_priority(makeFormula(this, 1, fkReal)), m_guard(makeFormula(this, 1, fkBoolean))
{
    applySize();
}

QSizeF TclsTrans::BarSize(Qrv::TObjSize size)
{
    switch (size) {
    case Qrv::osVerySmall:
        return QSizeF(10, 5);
    case Qrv::osSmall:
        return QSizeF(20, 5);
    case Qrv::osNormal:
        return QSizeF(30, 10);
    case Qrv::osLarge:
        return QSizeF(40, 15);
    case Qrv::osVeryLarge:
        return QSizeF(50, 20);
    }
    return QSizeF(30, 10);
}

void TclsTrans::applySize()
{
    const QSizeF s = BarSize(m_size);
    SetBoundsDirect(m_left, m_top, s.width(), s.height());
    IncludeState(osDirty);
}

// ---- enabling and firing -------------------------------------------------------

bool TclsTrans::Open() const
{
    if (GuardValue() == 0)
        return false;
    for (const TclsLink* arc : InArcs) {
        const TclsNode* place = arc->SourcePlace();
        if (!place)
            continue;
        const double x = place->Value();
        switch (arc->Kind()) {
        case lkNormal:
        case lkFlow:
            if (!(x - place->LowerBound() >= arc->WeightValue()))
                return false;
            break;
        case lkContinuous:
            if (!(x > place->LowerBound()))
                return false;
            break;
        case lkIngibitor:
        case lkIngibitorContinuous:
            if (!(x < 1))
                return false;
            break;
        case lkIngibitorCounter:
        case lkIngibitorCounterContinuous:
            if (!(x < arc->WeightValue()))
                return false;
            break;
        case lkTest:
        case lkTestContinuous:
            if (!(x >= arc->WeightValue()))
                return false;
            break;
        }
    }
    for (const TclsLink* arc : OutArcs) {
        const TclsNode* place = arc->DestPlace();
        if (!place || !place->IsContinuous)
            continue;
        const auto* c = static_cast<const TclsNodeContinuous*>(place);
        if (arc->Kind() == lkContinuous) {
            if (!(c->Level() < c->BoundMax()))
                return false;
        } else if (arc->Kind() == lkFlow) {
            if (!(c->BoundMax() - c->Level() >= arc->WeightValue()))
                return false;
        }
    }
    return true;
}

bool TclsTrans::OpenOrFalse() const noexcept
{
    try {
        return Open();
    } catch (...) {
        return false;
    }
}

void TclsTrans::Fire()
{
    if (takeInputs())
        FireOutputs();
}

void TclsTrans::FireInputs()
{
    takeInputs();
}

bool TclsTrans::takeInputs()
{
    if (!Open())
        return false;
    ++FireCount;
    for (TclsLink* arc : InArcs) {
        TclsNode* place = arc->SourcePlace();
        if (!place || place->Value() >= OmegaValue)
            continue;
        if (arc->Kind() == lkNormal && !place->IsContinuous) {
            auto* d = static_cast<TclsNodeDiscrete*>(place);
            d->SetTokens(d->Tokens() - RoundHalfEven(arc->WeightValue()));
        } else if (arc->Kind() == lkFlow && place->IsContinuous) {
            auto* c = static_cast<TclsNodeContinuous*>(place);
            c->SetLevel(c->Level() - arc->WeightValue());
        }
    }
    return true;
}

void TclsTrans::FireOutputs()
{
    for (TclsLink* arc : OutArcs) {
        TclsNode* place = arc->DestPlace();
        if (!place || place->Value() >= OmegaValue)
            continue;
        if (arc->Kind() == lkNormal && !place->IsContinuous) {
            auto* d = static_cast<TclsNodeDiscrete*>(place);
            d->SetTokens(d->Tokens() + RoundHalfEven(arc->WeightValue()));
        } else if (arc->Kind() == lkFlow && place->IsContinuous) {
            auto* c = static_cast<TclsNodeContinuous*>(place);
            c->SetLevel(c->Level() + arc->WeightValue());
        }
    }
}

int TclsTrans::ComparePriority(const TclsTrans* a, const TclsTrans* b)
{
    if (a->metaObject() == b->metaObject()) {
        const double pa = a->PriorityValue();
        const double pb = b->PriorityValue();
        if (pb < pa)
            return 0;
        if (pb > pa)
            return 1;
        return 2;
    }
    return qobject_cast<const TclsTransInstant*>(a) ? 0 : 1;
}

// ---- attributes ------------------------------------------------------------------

void TclsTrans::SetSize(Qrv::TObjSize size)
{
    if (size == m_size)
        return;
    m_size = size;
    applySize();
    MarkArcsDirty();
    DesignerUpdate();
}

void TclsTrans::SetAngle(double angle)
{
    if (angle == m_angle)
        return;
    m_angle = angle;
    IncludeState(osDirty);
    MarkArcsDirty();
    DesignerUpdate();
}

void TclsTrans::SetPriority(TQRVFormula* formula)
{
    if (formula && formula != m_priority)
        m_priority->Assign(*formula);
}

void TclsTrans::SetGuard(TQRVFormula* formula)
{
    if (formula && formula != m_guard)
        m_guard->Assign(*formula);
}

// ---- element operations ----------------------------------------------------------

void TclsTrans::FinishPlacement(bool placed)
{
    TQRVObject::FinishPlacement(placed);
    applySize();
    NameLabel::Create(*this);
    UpdateRegion();
}

void TclsTrans::SizeChanged()
{
    applySize();
    DesignerUpdate();
}

QPolygon TclsTrans::BarPolygon() const
{
    const double sx = ScreenX(), sy = ScreenY(), sw = ScreenWidth(), sh = ScreenHeight();
    const double theta = M_PI * m_angle / 180;
    const double c = std::cos(theta), s = std::sin(theta);
    const QPointF corners[4] = {{-sw / 2, sh / 2}, {sw / 2, sh / 2}, {sw / 2, -sh / 2}, {-sw / 2, -sh / 2}};
    QPolygon polygon(4);
    for (int i = 0; i < 4; ++i) {
        const double x = c * corners[i].x() - s * corners[i].y();
        const double y = s * corners[i].x() + c * corners[i].y();
        polygon.setPoint(i, qRound(sx + sw / 2 + x), qRound(sy + sh / 2 + y));
    }
    return polygon;
}

void TclsTrans::UpdateRegion()
{
    m_region = QRegion(BarPolygon(), Qt::WindingFill);
    MarkArcsDirty();
    ExcludeState(osDirty);
}

void TclsTrans::Draw(QPainter& painter, int mode)
{
    TQRVObject::Draw(painter, mode);
    const bool hl = IsHighlighted(mode);
    QColor pen = hl ? HighlightColor() : BgrColor(BarColor);
    QColor brush = pen;
    // Continuous transitions: an outline in their own colour on white.
    if (IsContinuous) {
        pen = hl ? HighlightColor() : BgrColor(ContinuousColor);
        brush = Qt::white;
    }
    if (Designer() && Designer()->Simulating()) {
        // A formula that cannot be evaluated shows the transition as not enabled.
        if (OpenOrFalse()) {
            pen = BgrColor(EnabledColor);
            if (!IsContinuous)
                brush = pen;
        }
    }
    painter.setPen(QPen(pen, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(brush);
    painter.drawPolygon(BarPolygon());
}

void TclsTrans::SaveToXml(TqibXMLNode& element) const
{
    SaveCommonAttributes(*this, element);
    element.AddAttribute(QStringLiteral("size"), ObjSizeName(m_size));
    element.AddAttribute(QStringLiteral("angle"), RealText(m_angle));
    SaveFormula(element, QStringLiteral("guard"), *m_guard);
    SaveFormula(element, QStringLiteral("priority"), *m_priority);
}

void TclsTrans::LoadFromXml(const TqibXMLNode& element)
{
    LoadCommonAttributes(*this, element);
    SetSize(ReadObjSize(element));
    ReadOptionalReal(element, QStringLiteral("angle"), m_angle);
    LoadFormula(element, QStringLiteral("guard"), *m_guard, false);
    LoadFormula(element, QStringLiteral("priority"), *m_priority, false);
}

// ---- immediate transitions -------------------------------------------------------

TclsTransInstant::TclsTransInstant(TQRVDesigner* designer)
    : TclsTrans(designer), m_weightSpeed(makeFormula(this, 100, fkReal))
{
}

void TclsTransInstant::SetWeightSpeed(TQRVFormula* formula)
{
    if (formula && formula != m_weightSpeed)
        m_weightSpeed->Assign(*formula);
}

void TclsTransInstant::SaveToXml(TqibXMLNode& element) const
{
    TclsTrans::SaveToXml(element);
    SaveFormula(element, QStringLiteral("speed"), *m_weightSpeed);
}

void TclsTransInstant::LoadFromXml(const TqibXMLNode& element)
{
    TclsTrans::LoadFromXml(element);
    LoadFormula(element, QStringLiteral("speed"), *m_weightSpeed, true);
}

// ---- timed transitions -----------------------------------------------------------

TclsTransTimed::TclsTransTimed(TQRVDesigner* designer)
    : TclsTrans(designer), m_rate(makeFormula(this, 1, fkReal))
{
}

void TclsTransTimed::SetRate(TQRVFormula* formula)
{
    if (!formula || formula == m_rate)
        return;
    double now = 0, given = 0;
    const bool sameValue = m_rate->TryValue(now) && formula->TryValue(given) && now == given;
    if (sameValue && formula->Formula() == m_rate->Formula())
        return;
    m_rate->Assign(*formula);
    applySize();
    DesignerUpdate();
}

QString TclsTransTimed::VariableName(int index) const
{
    return index == 0 ? QStringLiteral("Rate") : QString();
}

double TclsTransTimed::VariableValueAt(int index) const
{
    return index == 0 ? m_rate->Value_Actual() : 0.0;
}

void TclsTransTimed::SaveToXml(TqibXMLNode& element) const
{
    TclsTrans::SaveToXml(element);
    SaveFormula(element, QStringLiteral("rate"), *m_rate);
}

void TclsTransTimed::LoadFromXml(const TqibXMLNode& element)
{
    TclsTrans::LoadFromXml(element);
    LoadFormula(element, QStringLiteral("rate"), *m_rate, false);
}

// ---- continuous transitions ------------------------------------------------------

TclsTransContinuous::TclsTransContinuous(TQRVDesigner* designer)
    : TclsTrans(designer), m_expectance(makeFormula(this, 1, fkReal)),
      m_dispersion(makeFormula(this, 1, fkReal))
{
    IsContinuous = true;
}

void TclsTransContinuous::SetExpectance(TQRVFormula* formula)
{
    if (formula && formula != m_expectance)
        m_expectance->Assign(*formula);
}

void TclsTransContinuous::SetDispersion(TQRVFormula* formula)
{
    if (formula && formula != m_dispersion)
        m_dispersion->Assign(*formula);
}

void TclsTransContinuous::FlowOut(double dt)
{
    const double e = ExpectanceValue();
    for (TclsLink* arc : InArcs) {
        TclsNode* place = arc->SourcePlace();
        if (arc->Kind() == lkContinuous && place && place->IsContinuous)
            static_cast<TclsNodeContinuous*>(place)->ChangeLevel(-e * arc->WeightValue() * dt);
    }
}

void TclsTransContinuous::FlowIn(double dt)
{
    const double e = ExpectanceValue();
    for (TclsLink* arc : OutArcs) {
        TclsNode* place = arc->DestPlace();
        if (arc->Kind() == lkContinuous && place && place->IsContinuous)
            static_cast<TclsNodeContinuous*>(place)->ChangeLevel(arc->WeightValue() * e * dt);
    }
}

void TclsTransContinuous::SaveToXml(TqibXMLNode& element) const
{
    TclsTrans::SaveToXml(element);
    SaveFormula(element, QStringLiteral("expectance"), *m_expectance);
    SaveFormula(element, QStringLiteral("dispersion"), *m_dispersion);
}

void TclsTransContinuous::LoadFromXml(const TqibXMLNode& element)
{
    TclsTrans::LoadFromXml(element);
    LoadFormula(element, QStringLiteral("expectance"), *m_expectance, false);
    LoadFormula(element, QStringLiteral("dispersion"), *m_dispersion, false);
}
