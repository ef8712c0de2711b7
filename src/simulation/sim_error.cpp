#include "simulation/sim_error.h"

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/transitions.h"
#include "simulation/graph_names.h"

namespace {

// The message for `formula` when it fails now; empty when it evaluates.
QString failureOf(const TQRVFormula* formula, const QString& what)
{
    double value = 0;
    QString error;
    if (!formula || formula->TryValue(value, &error))
        return QString();
    return QStringLiteral("%1 (\"%2\") cannot be evaluated: %3").arg(what, formula->Formula(), error);
}

} // namespace

QString DescribeFailure(const TclsTrans* t, const QString& error)
{
    QStringList found;
    auto probe = [&](const TQRVFormula* f, const QString& what) {
        if (found.isEmpty()) {
            const QString m = failureOf(f, what);
            if (!m.isEmpty())
                found << m;
        }
    };
    const QString self = ElementCaption(t);
    probe(t->Guard(), QStringLiteral("the guard of ") + self);
    for (const TclsLink* arc : t->InArcs)
        probe(arc->Weight(), QStringLiteral("the weight of ") + ElementCaption(arc));
    for (const TclsLink* arc : t->OutArcs)
        probe(arc->Weight(), QStringLiteral("the weight of ") + ElementCaption(arc));
    if (const auto* timed = qobject_cast<const TclsTransTimed*>(t))
        probe(timed->Rate(), QStringLiteral("the rate of ") + self);
    if (const auto* instant = qobject_cast<const TclsTransInstant*>(t))
        probe(instant->WeightSpeed(), QStringLiteral("the weight of ") + self);
    if (const auto* continuous = qobject_cast<const TclsTransContinuous*>(t))
        probe(continuous->Expectance(), QStringLiteral("the expectance of ") + self);
    if (!found.isEmpty())
        return found.first();
    return QStringLiteral("a formula read by %1 cannot be evaluated: %2").arg(self, error);
}
