#include "cli/perf_cli.h"

#include <QElapsedTimer>

#include <cmath>

#include "model/designer.h"
#include "model/numbers.h"
#include "model/safe_save.h"
#include "model/transitions.h"
#include "performance/calc_engine.h"
#include "reach/large_memory.h"

namespace {

struct TKindSpec
{
    const char* Name;
    TValueKind Kind;
};
const TKindSpec kKinds[] = {
    {"tokens", vkTokens}, {"inflow", vkInflow}, {"staytime", vkStayTime},     {"cost", vkCost},
    {"rate", vkRate},     {"freq", vkFreq},     {"prob", vkMacroProbability}, {"probcost", vkMacroCost},
};

} // namespace

QString CliSeconds(qint64 ms)
{
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 3) + QStringLiteral(" s");
}

int AddCliMeasures(TCalcEngine& engine, const QStringList& specs, TCliContext& ctx, QString& usage)
{
    for (const QString& m : specs) {
        const int colon = m.indexOf(QLatin1Char(':'));
        const QString kindName = m.left(colon);
        const QString object = colon < 0 ? QString() : m.mid(colon + 1);
        const TKindSpec* spec = nullptr;
        for (const TKindSpec& k : kKinds)
            if (kindName == QLatin1String(k.Name))
                spec = &k;
        if (!spec || object.isEmpty()) {
            usage = QStringLiteral("\"%1\" is not a value (SPEC)").arg(m);
            return exitUsage;
        }
        const bool placeKind = spec->Kind <= vkCost;
        const bool transKind = spec->Kind == vkRate || spec->Kind == vkFreq;
        if (placeKind && object != QLatin1String("P*")) {
            bool found = false;
            for (const auto& p : std::as_const(engine.PlaceNames))
                found = found || NameKey(p.first) == NameKey(object);
            if (!found) {
                ctx.err << "The graph has no place " << object << ".\n";
                return exitBadInput;
            }
        }
        if (transKind && object != QLatin1String("T*")) {
            bool found = false;
            for (const auto& t : std::as_const(engine.TransitionNames))
                found = found || NameKey(t.first) == NameKey(object);
            if (!found) {
                ctx.err << "The net has no transition " << object << ".\n";
                return exitBadInput;
            }
        }
        if ((placeKind && object == QLatin1String("T*")) || (transKind && object == QLatin1String("P*"))) {
            usage = QStringLiteral("\"%1\" is not a value (SPEC)").arg(m);
            return exitUsage;
        }
        engine.AddItems(engine.KindNames.value(spec->Kind), object);
    }
    return exitOk;
}

bool ParseCliSweep(const QString& text, const TCalcEngine& engine, TSweepNumbers numbers, TSweepArgument& arg,
                   QString& error)
{
    const int eq = text.lastIndexOf(QLatin1Char('='));
    if (eq <= 0) {
        error = QStringLiteral("a sweep reads ARG=INITIAL:FINAL:STEPS, not \"%1\"").arg(text);
        return false;
    }
    arg.Text = text.left(eq);
    if (arg.Text == QLatin1String("None") || !engine.ArgumentTexts().contains(arg.Text)) {
        error = QStringLiteral("\"%1\" is not an argument of this net; they are: %2")
                    .arg(arg.Text, engine.ArgumentTexts().mid(1).join(QStringLiteral(", ")));
        return false;
    }
    const QStringList parts = text.mid(eq + 1).split(QLatin1Char(':'));
    const bool marking = engine.IsMarkingArgument(arg.Text);
    if (parts.size() != 3 && !(marking && parts.size() == 2)) {
        error = QStringLiteral("a sweep reads ARG=INITIAL:FINAL:STEPS, not \"%1\"").arg(text);
        return false;
    }
    double v[3] = {0, 0, 0};
    for (int k = 0; k < parts.size(); ++k) {
        if (!ParseReal(parts[k], v[k]) || !std::isfinite(v[k]) || (numbers == snNotZero && v[k] == 0)) {
            error = QString::fromLatin1(numbers == snNotZero
                                            ? "\"%1\" in the sweep \"%2\" must be a number other than 0"
                                            : "\"%1\" in the sweep \"%2\" must be a number")
                        .arg(parts[k], text);
            return false;
        }
    }
    if (marking)
        v[2] = v[1] - v[0] + 1;
    if (std::fabs(v[2]) > 1e6) {
        error = QStringLiteral("the sweep \"%1\" has more than 1000000 points").arg(text);
        return false;
    }
    arg.Count = std::max(2, static_cast<int>(std::lround(v[2])));
    arg.Initial = v[0];
    arg.Step = (v[1] - v[0]) / (arg.Count - 1);
    return true;
}

QString CheckCliCommandLine(const TArgs& args, const QString& optionError, bool removeUnsteady,
                            bool keepUnsteady)
{
    if (!optionError.isEmpty())
        return optionError;
    if (!args.UnknownOption().isEmpty())
        return QStringLiteral("unknown option ") + args.UnknownOption();
    if (args.Positional().size() != 1)
        return QStringLiteral("name one net");
    if (removeUnsteady && keepUnsteady)
        return QStringLiteral("--remove-unsteady and --keep-unsteady exclude each other");
    return {};
}

void ReportCliGraph(const TCalcEngine& engine, TCliContext& ctx)
{
    ctx.err << "Markings: " << engine.MarkingCount() << ", entries: " << engine.Markings.EntryCount() << "\n";
    if (engine.HoldsUnsteadyMarkings())
        ctx.err << "Warning: the graph holds unsteady markings; the weights of immediate transitions are "
                   "taken as rates.\n";
}

int ReportCliSweepEnd(const TSweepOutcome& outcome, TCliContext& ctx)
{
    if (outcome.Kind == TSweepOutcome::Stopped) {
        ctx.err << ReachTexts::Aborted << "\n";
        return exitBadInput;
    }
    if (outcome.Kind == TSweepOutcome::Failed) {
        if (outcome.SolverFailed)
            ctx.err << PerfTexts::CouldNotSolve << "\n";
        if (!outcome.Message.isEmpty())
            ctx.err << outcome.Message << "\n";
        return exitBadInput;
    }
    return exitOk;
}

bool ParseCliLimit(const QString& text, TReachSettings& builder, QString& error)
{
    if (text.isEmpty())
        return true;
    bool ok = false;
    const qint64 limit = text.toLongLong(&ok);
    if (!ok || limit < 1 || limit > 2147483647) {
        error = QStringLiteral("the markings' limit must be a whole number from 1 to 2147483647");
        return false;
    }
    builder.Limit = limit;
    return true;
}

void ChooseUnsteadyRemoval(const TQRVDesigner& net, bool remove, bool keep, TReachSettings& builder)
{
    bool immediate = false;
    for (TQRVObject* o : net.ObjectList())
        immediate = immediate || qobject_cast<TclsTransInstant*>(o);
    builder.RemoveUnsteady = remove || (immediate && !keep);
    if (builder.RemoveUnsteady)
        builder.PriorityMode = true;
}

int LoadCliGraph(TCalcEngine& engine, TQRVDesigner& net, const QString& graphFile,
                 const TReachSettings& builder, IQRVProgress& progress, TCliContext& ctx, qint64& ms)
{
    QElapsedTimer clock;
    clock.start();
    if (!graphFile.isEmpty()) {
        if (!engine.ReadGraphFile(graphFile)) {
            ctx.err.flush();
            ctx.err << (engine.LastError.isEmpty() ? QString::fromLatin1(ReachTexts::Aborted)
                                                   : engine.LastError)
                    << "\n";
            return exitBadInput;
        }
        ms = clock.elapsed();
        ctx.err << "Graph read from " << graphFile << " in " << CliSeconds(ms) << "\n";
        return exitOk;
    }
    TReachEngine reach;
    reach.SetProgress(&progress);
    reach.SetNet(&net);
    reach.Settings = builder;
    bool built = false;
    {
        // The build runs on one core; the other has the pages of the
        // marking store and of the chain copied from it provided meanwhile.
        TWarmAhead warm(ChainPagesAhead);
        built = reach.BuildClassical();
    }
    ctx.err.flush();
    if (!built) {
        if (reach.Stopped())
            ctx.err << ReachTexts::Aborted << "\n";
        return exitBadInput;
    }
    if (!reach.RemovalComplete()) {
        ctx.err << "The removal of unsteady markings did not complete.\n";
        return exitBadInput;
    }
    if (reach.LimitReached()) {
        ctx.err << GraphTexts::LimitExceeded << "\n";
        return exitBadInput;
    }
    if (!engine.LoadGraph(*reach.Store(), reach.GraphMode() == rmReduced)) {
        ctx.err << engine.LastError << "\n";
        return exitBadInput;
    }
    ms = clock.elapsed();
    ctx.err << "Graph built in " << CliSeconds(ms) << "\n";
    return exitOk;
}

int WriteCliFile(const QString& file, const QByteArray& bytes, TCliContext& ctx)
{
    if (file.isEmpty())
        return exitOk;
    const QString failure = SaveBytesSafely(file, bytes);
    if (failure.isEmpty())
        return exitOk;
    ctx.err << failure << "\n";
    return exitBadInput;
}

int WriteCliListing(const QStringList& lines, const QString& file, TCliContext& ctx)
{
    if (!file.isEmpty())
        return WriteCliFile(file, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8(),
                            ctx);
    for (const QString& line : lines)
        ctx.out << line << "\n";
    return exitOk;
}
