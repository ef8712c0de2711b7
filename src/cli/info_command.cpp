// quorvane-cli info: what a net holds, by kind.
#include <QFileInfo>

#include "cli/cli_command.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/transitions.h"

namespace {

const char* const usage = "Usage: quorvane-cli info NET\n\n"
                          "Lists what the net (.pn2 or .pnml) holds: places, transitions and arcs by\n"
                          "kind, the tokens of its discrete places (and the levels of its continuous\n"
                          "places), its other objects and the graphs its simulation plots.\n";

// Counts by kind, in a fixed order of kinds; prints the kinds that occur.
class TTally
{
public:
    explicit TTally(const QStringList& kinds) : m_kinds(kinds), m_counts(kinds.size(), 0) {}
    void Add(int kind) { ++m_counts[kind]; }
    int Total() const
    {
        int n = 0;
        for (int c : m_counts)
            n += c;
        return n;
    }
    QString Text() const
    {
        QStringList parts;
        for (qsizetype i = 0; i < m_kinds.size(); ++i)
            if (m_counts.at(i) > 0)
                parts << QStringLiteral("%1 %2").arg(m_kinds.at(i)).arg(m_counts.at(i));
        const QString total = QString::number(Total());
        return parts.isEmpty() ? total
                               : total + QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + u')';
    }

private:
    QStringList m_kinds;
    QList<int> m_counts;
};

int arcKindIndex(TLinkKind kind)
{
    switch (kind) {
    case lkNormal:
        return 0;
    case lkIngibitor:
        return 1;
    case lkIngibitorCounter:
        return 2;
    case lkTest:
        return 3;
    case lkContinuous:
        return 4;
    case lkFlow:
        return 5;
    case lkTestContinuous:
        return 6;
    case lkIngibitorContinuous:
        return 7;
    case lkIngibitorCounterContinuous:
        return 8;
    }
    return 0;
}

int runInfo(const QStringList& args, TCliContext& ctx)
{
    TArgs a(args);
    if (!a.UnknownOption().isEmpty() || a.Positional().size() != 1) {
        ctx.err << "usage: quorvane-cli info NET\n";
        return exitUsage;
    }
    const QString fileName = a.Positional().first();
    TQRVDesigner& net = NewCommandNet();
    if (!ReadCliNet(net, fileName, ctx))
        return exitBadInput;

    TTally places({QStringLiteral("discrete"), QStringLiteral("continuous")});
    TTally transitions({QStringLiteral("immediate"), QStringLiteral("timed"), QStringLiteral("continuous")});
    TTally arcs({QStringLiteral("normal"), QStringLiteral("inhibitor"), QStringLiteral("inhibitor counter"),
                 QStringLiteral("test"), QStringLiteral("continuous"), QStringLiteral("flow"),
                 QStringLiteral("continuous test"), QStringLiteral("continuous inhibitor"),
                 QStringLiteral("continuous inhibitor counter")});
    QMap<QString, int> others;
    double tokens = 0, level = 0;
    int unconnected = 0, continuousPlaces = 0;
    for (const TQRVObject* o : net.ObjectList()) {
        if (const auto* p = qobject_cast<const TclsNodeDiscrete*>(o)) {
            places.Add(0);
            tokens += p->Tokens();
        } else if (const auto* c = qobject_cast<const TclsNodeContinuous*>(o)) {
            places.Add(1);
            ++continuousPlaces;
            level += c->Level();
        } else if (qobject_cast<const TclsTransInstant*>(o)) {
            transitions.Add(0);
        } else if (qobject_cast<const TclsTransTimed*>(o)) {
            transitions.Add(1);
        } else if (qobject_cast<const TclsTransContinuous*>(o)) {
            transitions.Add(2);
        } else if (const auto* arc = qobject_cast<const TclsLink*>(o)) {
            arcs.Add(arcKindIndex(arc->Kind()));
            if (!arc->IsConnected())
                ++unconnected;
        } else {
            QString kind = o->ClassName();
            if (kind.startsWith(QLatin1String("Tcls")))
                kind = kind.mid(4);
            ++others[kind];
        }
    }

    ctx.out << "Net: " << QFileInfo(fileName).fileName() << "\n";
    ctx.out << "Places: " << places.Text() << "\n";
    ctx.out << "Transitions: " << transitions.Text() << "\n";
    ctx.out << "Arcs: " << arcs.Text() << "\n";
    if (unconnected > 0)
        ctx.out << "Arcs without both ends: " << unconnected << "\n";
    ctx.out << "Tokens: " << FormatGeneral(tokens) << "\n";
    if (continuousPlaces > 0)
        ctx.out << "Level: " << FormatGeneral(level) << "\n";
    int otherCount = 0;
    QStringList otherParts;
    for (auto it = others.cbegin(); it != others.cend(); ++it) {
        otherCount += it.value();
        otherParts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    }
    ctx.out << "Other objects: " << otherCount;
    if (otherCount > 0)
        ctx.out << " (" << otherParts.join(QStringLiteral(", ")) << ")";
    ctx.out << "\n";
    ctx.out << "Graphs: " << net.Graphs.size() << "\n";
    for (const QString& g : net.Graphs)
        ctx.out << "  " << g << "\n";
    return exitOk;
}

const bool registered = RegisterCliCommand(
    {"info", "list what a net holds: places, transitions and arcs by kind, tokens, graphs", usage, runInfo});

} // namespace
