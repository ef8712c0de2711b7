// quorvane-cli transient: the values of a net's chain at points in time,
// from the initial marking at time 0, optionally over a second argument.
#include <QElapsedTimer>

#include <cmath>

#include "cli/cli_command.h"
#include "cli/console_progress.h"
#include "cli/perf_cli.h"
#include "cli/result_pictures.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "performance/perf_listing.h"
#include "performance/transient_engine.h"
#include "reach/large_memory.h"

namespace {

const char* const kUsage =
    "Usage: quorvane-cli transient NET [--graph FILE.rag] [--measure SPEC]...\n"
    "                              [--time INITIAL:FINAL:STEPS] [--sweep ARG=INITIAL:FINAL:STEPS]\n"
    "                              [--coefficient C] [--precision-index K] [--limit N]\n"
    "                              [--remove-unsteady | --keep-unsteady]\n"
    "                              [--listing FILE.txt] [--csv FILE.csv]\n"
    "                              [--chart FILE] [--surface FILE]\n"
    "Computes the probabilities of NET's tangible markings at points in time, starting\n"
    "in the initial marking at time 0, by uniformisation, and the values asked for at\n"
    "each of them. Markings without successor are absorbing states.\n"
    "The graph is built in memory as 'reach' builds it (--limit N markings, default\n"
    "10000000), or read from a graph file with --graph. When the net has immediate\n"
    "transitions its unsteady markings are removed unless --keep-unsteady is given.\n"
    "SPEC: tokens:P  inflow:P  staytime:P  cost:P  rate:T  freq:T  prob:FORMULA\n"
    "      probcost:FORMULA   (P* every place, T* every transition; default: tokens:P*\n"
    "      and rate:T*).\n"
    "--time: the time points, STEPS of them from INITIAL to FINAL (default 0:100:10).\n"
    "--sweep: a second argument, Lm3 (the rate of t3) or M(p2) (the initial tokens of\n"
    "p2, every whole number from INITIAL to FINAL; STEPS may be left out).\n"
    "--coefficient: the uniformisation rate is C times the largest outflow rate of a\n"
    "marking (default 1).\n"
    "--precision-index: the series is cut after the power K. Without it K is as large\n"
    "as keeping the left-out probability below 1e-6 at every time point needs; with a\n"
    "smaller K each time point that leaves out more is named on stderr.\n"
    "Prints the listing (or writes it with --listing); --csv writes every value at full\n"
    "precision, one row per point.\n"
    "--chart FILE draws the chart of the first value asked for over time, one line per\n"
    "point of the second argument; --surface FILE its 3-D surface. The picture is\n"
    ".svg, .png or .bmp by the extension.\n";

int runTransient(const QStringList& args, TCliContext& ctx)
{
    TArgs a(args);
    QString graphFile, timeText, coefficientText, indexText, limitText, listing, csv, error, value;
    QStringList measures, sweeps;
    a.TakeOption(QStringLiteral("--graph"), graphFile, error);
    while (error.isEmpty() && a.TakeOption(QStringLiteral("--measure"), value, error))
        measures << value;
    while (error.isEmpty() && a.TakeOption(QStringLiteral("--sweep"), value, error))
        sweeps << value;
    const std::pair<const char*, QString*> options[] = {
        {"--time", &timeText},
        {"--coefficient", &coefficientText},
        {"--precision-index", &indexText},
        {"--limit", &limitText},
        {"--listing", &listing},
        {"--csv", &csv},
    };
    for (const auto& [name, text] : options)
        if (error.isEmpty())
            a.TakeOption(QString::fromLatin1(name), *text, error);
    TResultPictures pictures;
    if (error.isEmpty())
        pictures.Take(a, error);
    const bool removeUnsteady = a.TakeFlag(QStringLiteral("--remove-unsteady"));
    const bool keepUnsteady = a.TakeFlag(QStringLiteral("--keep-unsteady"));
    const auto usage = [&](const QString& why) {
        ctx.err << "quorvane-cli transient: " << why << "\n" << kUsage;
        return exitUsage;
    };
    if (const QString why = CheckCliCommandLine(a, error, removeUnsteady, keepUnsteady); !why.isEmpty())
        return usage(why);
    if (sweeps.size() > 1)
        return usage(QStringLiteral("time is the first argument: at most one sweep"));

    TSweepArgument time;
    time.Text = QStringLiteral("Time");
    {
        const QStringList parts = timeText.isEmpty() ? QStringList{"0", "100", "10"} : timeText.split(':');
        QString why;
        if (parts.size() != 3)
            return usage(QStringLiteral("--time reads INITIAL:FINAL:STEPS, not \"%1\"").arg(timeText));
        if (ReadTransientRange(parts[0], parts[1], parts[2], false, time, why) >= 0)
            return usage(QStringLiteral("--time: ") + why);
        const QString before = CheckTimeRange(time);
        if (!before.isEmpty())
            return usage(before);
    }
    double coefficient = 1;
    if (!coefficientText.isEmpty() &&
        (!ParseReal(coefficientText, coefficient) || !(coefficient > 0) || !std::isfinite(coefficient)))
        return usage(
            QStringLiteral("the coefficient must be a number above 0, not \"%1\"").arg(coefficientText));
    int powers = 0;
    if (!indexText.isEmpty() && !ReadPrecisionIndex(indexText, powers))
        return usage(QStringLiteral("the precision index must be a whole number, not \"%1\"").arg(indexText));
    TReachSettings builder;
    builder.Limit = 10000000;
    if (!ParseCliLimit(limitText, builder, error))
        return usage(error);

    QElapsedTimer clock;
    clock.start();
    TQRVDesigner net;
    if (!ReadCliNet(net, a.Positional().first(), ctx))
        return exitBadInput;
    ChooseUnsteadyRemoval(net, removeUnsteady, keepUnsteady, builder);
    const qint64 readMs = clock.restart();

    TConsoleProgress progress;
    // The pages of the graph, freed once it is copied, serve the generator and
    // the solver.
    TLargeMemoryScope keepPages;
    TTransEngine engine(&net);
    engine.SetProgress(&progress);
    engine.Builder = builder;
    engine.Coefficient = coefficient;
    engine.PowerCount = powers;
    engine.AutomaticPowers = indexText.isEmpty();
    qint64 graphMs = 0;
    if (const int status = LoadCliGraph(engine, net, graphFile, builder, progress, ctx, graphMs))
        return status;
    ReportCliGraph(engine, ctx);

    if (measures.isEmpty())
        measures << QStringLiteral("tokens:P*") << QStringLiteral("rate:T*");
    QString why;
    if (const int status = AddCliMeasures(engine, measures, ctx, why))
        return status == exitUsage ? usage(why) : status;
    TSweepArgument arg2;
    if (!sweeps.isEmpty() && !ParseCliSweep(sweeps.first(), engine, snAnyNumber, arg2, why))
        return usage(why);
    engine.RebuildFile.clear();

    clock.restart();
    const TSweepOutcome outcome = engine.RunTransientSweep(time, arg2);
    const qint64 sweepMs = clock.elapsed();
    ctx.err.flush();
    if (const int status = ReportCliSweepEnd(outcome, ctx))
        return status;
    ctx.err << "Uniformisation rate: " << FormatGeneral(engine.UniformRate) << "\n"
            << "Precision index: " << engine.PowersUsed
            << (engine.AutomaticPowers ? " (the left-out probability stays below 1e-6)" : "")
            << ", powers formed: " << engine.PowersFormed << "\n";
    for (const QString& warning : std::as_const(engine.Warnings))
        ctx.err << "Warning: " << warning << "\n";
    ctx.err << "Time: reading the net " << CliSeconds(readMs) << ", graph " << CliSeconds(graphMs) << ", "
            << engine.Arg1Count * engine.Arg2Count << " points " << CliSeconds(sweepMs) << "\n";
    ctx.err.flush();

    const QString text2 = sweeps.isEmpty() ? QStringLiteral("None") : arg2.Text;
    if (const int status = WriteCliFile(
            csv, csv.isEmpty() ? QByteArray() : PerformanceCsv(engine, QStringLiteral("time"), text2), ctx))
        return status;
    if (!pictures.Write(engine, time.Text, text2, ctx))
        return exitBadInput;
    if (const int status = WriteCliListing(PerformanceListing(engine, time.Text, text2), listing, ctx))
        return status;
    ctx.out.flush();
    return exitOk;
}

const bool registered = RegisterCliCommand(
    {"transient", "probabilities and performance values at points in time", kUsage, runTransient});

} // namespace
