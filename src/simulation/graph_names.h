// The quantities the simulation plots: a graph is named by an element, " - "
// and one of the element's variables ("P1 - TOKENS").
#pragma once

#include <QString>

class TQRVDesigner;
class TQRVObject;

// The element name and the variable name of a graph name: the text before
// the first "-" (blanks trimmed), and what follows that "-" and the blank
// after it.
struct TGraphName
{
    QString Object;
    QString Variable;
    static TGraphName Parse(const QString& name);
    // The graph name of an element's variable.
    static QString Compose(const QString& object, const QString& variable);
};

// The value a graph plots now: false when its element does not exist or
// publishes no variables (such a graph gets no point). Throws what reading
// the variable throws (a cost formula that fails).
bool GraphValue(const TQRVDesigner& net, const QString& graphName, double& value);
// GraphValue for a step's plot at model time `time`: a failure throws
// ESimError naming the graph, the element's formula and the reason.
bool PlotValue(const TQRVDesigner& net, const QString& graphName, double time, double& value);

// The element that names a formula or a measure, for messages: "transition t1".
QString ElementCaption(const TQRVObject* object);
