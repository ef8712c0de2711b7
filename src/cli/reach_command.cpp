// quorvane-cli reach: the reachability graph of a net, its graph file and
// its behavioural properties.
#include <QFile>

#include "cli/cli_command.h"
#include "cli/console_progress.h"
#include "model/designer.h"
#include "reach/reach_engine.h"

namespace {

const char* const kUsage =
    "Usage: quorvane-cli reach NET [-o FILE.rag | -o -] [--limit N] [--no-reset] [--no-omega]\n"
    "                          [--priority] [--remove-unsteady] [--balance] [--behaviour]\n"
    "       quorvane-cli reach NET --tensorial [-o FILE.rag | -o -] [--limit N] [--no-omega]\n"
    "                          [--balance] [--behaviour]\n"
    "Builds the reachability graph of NET by the classical method and prints the number\n"
    "of markings and arcs and the time taken. -o writes the graph file (- for standard\n"
    "output). --limit N stops at N markings (1 to 2147483647, default 50000).\n"
    "--no-reset leaves the net in the last marking, --no-omega switches the\n"
    "unbounded-net control off, --priority applies the priority rule,\n"
    "--remove-unsteady computes the weights of immediate transitions and removes the\n"
    "unsteady markings (it implies --priority), --balance records the enabled\n"
    "continuous transitions, --behaviour prints the behavioural properties and the\n"
    "transition counters.\n"
    "--tensorial builds the graph of each group of the net (the elements' group labels\n"
    "g1, g2, ..., and s1-2, ... for transitions two groups share) and combines them; the\n"
    "graph is written in full, without priorities, and the net keeps its marking.\n";

int runReach(const QStringList& args, TCliContext& ctx)
{
    TArgs a(args);
    QString output, limitText, error;
    const bool toFile = a.TakeOption(QStringLiteral("-o"), output, error);
    if (error.isEmpty())
        a.TakeOption(QStringLiteral("--limit"), limitText, error);
    TReachSettings settings;
    settings.ResetInitialMarking = !a.TakeFlag(QStringLiteral("--no-reset"));
    settings.UnboundedControl = !a.TakeFlag(QStringLiteral("--no-omega"));
    settings.PriorityMode = a.TakeFlag(QStringLiteral("--priority"));
    settings.RemoveUnsteady = a.TakeFlag(QStringLiteral("--remove-unsteady"));
    settings.BalanceCalculation = a.TakeFlag(QStringLiteral("--balance"));
    const bool behaviour = a.TakeFlag(QStringLiteral("--behaviour"));
    const bool tensorial = a.TakeFlag(QStringLiteral("--tensorial"));
    if (!error.isEmpty() || !a.UnknownOption().isEmpty() || a.Positional().size() != 1 ||
        (toFile && output.isEmpty())) {
        ctx.err << (error.isEmpty() ? (a.UnknownOption().isEmpty()
                                           ? QString()
                                           : QStringLiteral("quorvane-cli reach: unknown option ") +
                                                 a.UnknownOption() + "\n")
                                    : error + "\n")
                << kUsage;
        return exitUsage;
    }
    if (!limitText.isEmpty()) {
        bool ok = false;
        const qint64 limit = limitText.toLongLong(&ok);
        if (!ok || limit < 1 || limit > 2147483647) {
            ctx.err
                << "quorvane-cli reach: the markings' limit must be a whole number from 1 to 2147483647\n";
            return exitUsage;
        }
        settings.Limit = limit;
    }
    if (tensorial && (settings.PriorityMode || settings.RemoveUnsteady)) {
        ctx.err << "quorvane-cli reach: the tensorial construction has no priority mode and keeps unsteady "
                   "markings; leave out --priority and --remove-unsteady\n";
        return exitUsage;
    }
    if (settings.RemoveUnsteady)
        settings.PriorityMode = true;

    TQRVDesigner net;
    if (!ReadCliNet(net, a.Positional().first(), ctx))
        return exitBadInput;

    TConsoleProgress progress;
    TReachEngine engine;
    engine.SetProgress(&progress);
    engine.SetNet(&net);
    engine.Settings = settings;
    // The classical build writes its file itself, while it builds.
    const bool buildWrites = toFile && output != QLatin1String("-") && !tensorial;
    if (buildWrites)
        engine.GraphFileName = output;
    const bool built = tensorial ? engine.BuildTensorial() : engine.BuildClassical();
    ctx.err.flush();
    if (!built) {
        if (engine.Stopped())
            ctx.err << ReachTexts::Aborted << "\n";
        return exitBadInput;
    }
    if (!engine.RemovalComplete()) {
        ctx.err << "The removal of unsteady markings did not complete: no graph file was written.\n";
        return exitBadInput;
    }

    // With the graph on standard output the figures go to standard error.
    QTextStream& report = toFile && output == QLatin1String("-") ? ctx.err : ctx.out;
    if (toFile) {
        if (output == QLatin1String("-")) {
            QFile out;
            ctx.out.flush();
            if (!out.open(stdout, QIODevice::WriteOnly) || !engine.WriteGraph(out)) {
                ctx.err << "Cannot write the graph to standard output\n";
                return exitBadInput;
            }
        } else if (!buildWrites) {
            const QString failure = engine.WriteGraphFile(output);
            if (!failure.isEmpty()) {
                ctx.err << failure << "\n";
                return exitBadInput;
            }
        }
    }

    const TMarkList& st = *engine.Store();
    report << "Markings: " << engine.TotalMarkings() << "\n";
    if (settings.RemoveUnsteady)
        report << "Steady markings: " << st.Count() << "\n";
    report << "Arcs: " << st.ArcCount() << "\n";
    if (engine.LimitReached())
        report << "Markings limit reached!\n";
    report << "Time: " << TReachEngine::FormatElapsed(engine.ElapsedMs()) << "\n";

    if (behaviour) {
        const TBehaviour b = engine.AnalyseBehaviour();
        if (!b.Complete) {
            ctx.err << "The behavioural analysis was stopped.\n";
            return exitBadInput;
        }
        for (const QString& line : b.Lines)
            report << line << "\n";
        report << "Transition counter:\n";
        for (const auto& c : b.Counters)
            report << "  " << c.first << " " << c.second << "\n";
    }
    report.flush();
    return exitOk;
}

const bool registered = RegisterCliCommand(
    {"reach", "build the reachability graph and its behavioural properties", kUsage, runReach});

} // namespace
