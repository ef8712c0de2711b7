#include "netfile/pnml_view.h"

#include <cmath>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/name_label.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/text.h"

namespace PnmlView {

namespace {
// The largest whole number written as such (beyond it doubles skip integers).
constexpr double kLargestWhole = 9.0e15;

qint64 wholeNumber(double value, qint64 least)
{
    if (!(value >= static_cast<double>(least)))
        return least;
    return static_cast<qint64>(std::min(RoundHalfEven(value), kLargestWhole));
}
} // namespace

QPointF Position(const TQRVObject& node)
{
    return QPointF(node.Left() + node.Width() / 2, node.Top() + node.Height() / 2);
}

QString Name(const TQRVObject& node)
{
    if (const auto* label = qobject_cast<const TclsText*>(NameLabel::Find(node)))
        return label->Text();
    return node.Name();
}

qint64 Marking(const TclsNode& place)
{
    return wholeNumber(place.Value(), 0);
}

qint64 Inscription(const TclsLink& arc)
{
    double value = 1;
    if (!arc.Weight()->TryValue(value))
        value = 1;
    return wholeNumber(value, 1);
}

QList<QPointF> Bends(const TQRVLinkBase& arc)
{
    QList<QPointF> bends;
    const auto& points = arc.Points();
    for (int i = 1; i + 1 < points.size(); ++i)
        if (points.at(i)->Stationar())
            bends.append(QPointF(points.at(i)->X(), points.at(i)->Y()));
    return bends;
}

bool IsPnmlArc(const TQRVObject& object)
{
    const auto* arc = qobject_cast<const TclsLink*>(&object);
    if (!arc)
        return false;
    return (arc->SourcePlace() && arc->DestTrans()) || (arc->SourceTrans() && arc->DestPlace());
}

bool SameCoordinate(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(a));
}

} // namespace PnmlView
