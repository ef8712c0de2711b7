#include "simulation/graph_names.h"

#include "model/arcs.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/places.h"
#include "model/transitions.h"

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
