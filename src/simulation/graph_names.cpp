#include "simulation/graph_names.h"

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/transitions.h"
#include "simulation/sim_error.h"

TGraphName TGraphName::Parse(const QString& name)
{
    const int dash = name.indexOf(QLatin1Char('-'));
    if (dash < 0)
        return {name.trimmed(), QString()};
    return {name.left(dash).trimmed(), name.mid(dash + 2)};
}

QString TGraphName::Compose(const QString& object, const QString& variable)
{
    return object + QStringLiteral(" - ") + variable;
}

bool GraphValue(const TQRVDesigner& net, const QString& graphName, double& value)
{
    const TGraphName g = TGraphName::Parse(graphName);
    const auto* variables = dynamic_cast<const IQRVVariables*>(net.FindObject(g.Object));
    if (!variables)
        return false;
    value = variables->VariableValue(g.Variable.toUpper());
    return true;
}

bool PlotValue(const TQRVDesigner& net, const QString& graphName, double time, double& value)
{
    try {
        return GraphValue(net, graphName, value);
    } catch (const std::exception& e) {
        const auto* parser = dynamic_cast<const ERxParserError*>(&e);
        QString reason = parser ? parser->Message : QString::fromStdString(e.what());
        const TQRVObject* o = net.FindObject(TGraphName::Parse(graphName).Object);
        if (const auto* t = qobject_cast<const TclsTrans*>(o)) {
            reason = DescribeFailure(t, reason);
        } else if (const auto* p = qobject_cast<const TclsNode*>(o)) {
            double v = 0;
            QString error;
            if (!p->Cost()->TryValue(v, &error))
                reason = QStringLiteral("the cost of %1 (\"%2\") cannot be evaluated: %3")
                             .arg(ElementCaption(p), p->Cost()->Formula(), error);
        }
        throw ESimError(QStringLiteral("The graph %1 cannot be plotted at model time %2: %3.")
                            .arg(graphName, FormatGeneral(time), reason));
    }
}

QString ElementCaption(const TQRVObject* object)
{
    if (!object)
        return QString();
    QString kind = QStringLiteral("element");
    if (qobject_cast<const TclsNode*>(object))
        kind = QStringLiteral("place");
    else if (qobject_cast<const TclsTrans*>(object))
        kind = QStringLiteral("transition");
    else if (qobject_cast<const TclsLink*>(object))
        kind = QStringLiteral("arc");
    return kind + QLatin1Char(' ') + object->Name();
}
