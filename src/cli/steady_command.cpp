// quorvane-cli steady: the stationary probabilities of a net's chain and the
// values computed from them, at one point or over a sweep of one or two arguments.
#include <QElapsedTimer>

#include <cmath>

#include "cli/cli_command.h"
#include "cli/console_progress.h"
#include "cli/perf_cli.h"
#include "cli/result_pictures.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/safe_save.h"
#include "model/transitions.h"
#include "performance/calc_engine.h"
#include "performance/perf_listing.h"
#include "reach/large_memory.h"

namespace {

const char* const kUsage =
    "Usage: quorvane-cli steady NET [--graph FILE.rag] [--measure SPEC]...\n"
    "                           [--sweep ARG=INITIAL:FINAL:STEPS [--sweep ARG=...]]\n"
    "                           [--method gauss|seidel|iterative] [--precision P] [--iterations N]\n"
    "                           [--limit N] [--priority] [--remove-unsteady | --keep-unsteady]\n"
    "                           [--no-omega] [--listing FILE.txt] [--csv FILE.csv]\n"
    "                           [--chart FILE] [--surface FILE]\n"
    "Solves the continuous-time Markov chain of NET's tangible markings for its\n"
    "stationary probabilities and prints the values asked for.\n"
    "The graph is built in memory as 'reach' builds it (--limit N markings, default\n"
    "10000000; --priority, --no-omega as there), or read from a graph file with --graph.\n"
    "When the net has immediate transitions its unsteady markings are removed unless\n"
    "--keep-unsteady is given.\n"
    "SPEC: tokens:P  inflow:P  staytime:P  cost:P  rate:T  freq:T  prob:FORMULA\n"
    "      probcost:FORMULA   (P* every place, T* every transition; default: tokens:P*\n"
    "      and rate:T*).\n"
    "ARG: an argument's own text, Lm3 (the rate of t3) or M(p2) (the initial tokens of\n"
    "p2, every whole number from INITIAL to FINAL; STEPS may be left out).\n"
    "--method: gauss (exact), seidel (falls back to gauss), iterative (large chains).\n"
    "Without it Gauss solves chains of up to 2000 markings, the iterative method larger ones.\n"
    "--precision: Seidel's precision (default 0.000001) or the iterative method's\n"
    "relative residual ||pi Q||_1 / (max|q_ii| ||pi||_1) (default 1e-10).\n"
    "--iterations: Seidel's budget of sweeps (default 100), the iterative method's\n"
    "(default 100000).\n"
    "Without a sweep one line per value: its description, a tab, its value. With a\n"
    "sweep the listing (or --listing FILE); --csv writes every value at full precision.\n"
    "--chart FILE draws the chart of the first value asked for, one line per point of\n"
    "the second argument; --surface FILE its 3-D surface. The picture is .svg, .png\n"
    "or .bmp by the extension.\n";

int runSteady(const QStringList& args, TCliContext& ctx)
{
    TArgs a(args);
    QString graphFile, method, precisionText, iterationsText, limitText, listing, csv, error, value;
    QStringList measures, sweeps;
    a.TakeOption(QStringLiteral("--graph"), graphFile, error);
    while (error.isEmpty() && a.TakeOption(QStringLiteral("--measure"), value, error))
        measures << value;
    while (error.isEmpty() && a.TakeOption(QStringLiteral("--sweep"), value, error))
        sweeps << value;
    const std::pair<const char*, QString*> options[] = {
        {"--method", &method},   {"--precision", &precisionText}, {"--iterations", &iterationsText},
        {"--limit", &limitText}, {"--listing", &listing},         {"--csv", &csv},
    };
    for (const auto& [name, text] : options)
        if (error.isEmpty())
            a.TakeOption(QString::fromLatin1(name), *text, error);
    TResultPictures pictures;
    if (error.isEmpty())
        pictures.Take(a, error);
    const bool priority = a.TakeFlag(QStringLiteral("--priority"));
    const bool removeUnsteady = a.TakeFlag(QStringLiteral("--remove-unsteady"));
    const bool keepUnsteady = a.TakeFlag(QStringLiteral("--keep-unsteady"));
    const bool noOmega = a.TakeFlag(QStringLiteral("--no-omega"));
    const auto usage = [&](const QString& why) {
        ctx.err << "quorvane-cli steady: " << why << "\n" << kUsage;
        return exitUsage;
    };
    if (const QString why = CheckCliCommandLine(a, error, removeUnsteady, keepUnsteady); !why.isEmpty())
        return usage(why);
    if (sweeps.size() > 2)
        return usage(QStringLiteral("at most two sweeps"));

    TSteadySettings solver;
    bool methodGiven = !method.isEmpty();
    if (method == QLatin1String("gauss"))
        solver.Method = smGauss;
    else if (method == QLatin1String("seidel"))
        solver.Method = smSeidel;
    else if (method == QLatin1String("iterative"))
        solver.Method = smIterative;
    else if (methodGiven)
        return usage(QStringLiteral("the method is gauss, seidel or iterative"));
    if (!precisionText.isEmpty()) {
        double p = 0;
        if (!ParseReal(precisionText, p) || !(p > 0) || p >= 1)
            return usage(QStringLiteral("the precision must be a number between 0 and 1"));
        solver.Precision = p;
        solver.Tolerance = p;
    }
    if (!iterationsText.isEmpty()) {
        int n = 0;
        if (!ParseInteger(iterationsText, n) || n < 1)
            return usage(QStringLiteral("the iterations must be a whole number from 1 on"));
        solver.Iterations = n;
        solver.MaxSweeps = n;
    }
    TReachSettings builder;
    builder.Limit = 10000000;
    if (!ParseCliLimit(limitText, builder, error))
        return usage(error);
    builder.UnboundedControl = !noOmega;
    builder.PriorityMode = priority;

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
    TCalcEngine engine(&net);
    engine.SetProgress(&progress);
    engine.Builder = builder;
    engine.Solver = solver;
    qint64 graphMs = 0;
    if (const int status = LoadCliGraph(engine, net, graphFile, builder, progress, ctx, graphMs))
        return status;
    clock.restart();
    ReportCliGraph(engine, ctx);

    // The values.
    if (measures.isEmpty())
        measures << QStringLiteral("tokens:P*") << QStringLiteral("rate:T*");
    QString why;
    if (const int status = AddCliMeasures(engine, measures, ctx, why))
        return status == exitUsage ? usage(why) : status;

    TSweepArgument arg1, arg2;
    for (int s = 0; s < sweeps.size(); ++s) {
        if (!ParseCliSweep(sweeps[s], engine, snNotZero, s == 0 ? arg1 : arg2, why))
            return usage(why);
    }
    engine.RebuildFile.clear();

    // Without a method: the exact elimination on small chains, where it is
    // quickest; above that the factors of chains of nets grow far faster than
    // the chain (bench/steady_bench), so the iterative method solves them.
    if (!methodGiven) {
        engine.Solver.Method = engine.MarkingCount() <= DenseGaussLimit ? smGauss : smIterative;
        ctx.err << "Method: "
                << (engine.Solver.Method == smGauss ? QStringLiteral("Gauss (exact)")
                                                    : QString::fromLatin1(SolverTexts::IterativeName))
                << "\n";
    }

    qint64 generatorMs = 0, solveMs = 0, measureMs = 0;
    int points = 0;
    engine.PointsLeft = [&](qint64) { ++points; };
    TSweepOutcome outcome;
    if (sweeps.isEmpty()) {
        // One point: the same steps as a sweep, timed one by one.
        engine.StartResults(1, 1);
        clock.restart();
        bool ok = engine.BuildGenerator();
        generatorMs = clock.restart();
        if (ok) {
            ok = engine.SolveSteadyState();
            solveMs = clock.restart();
            if (!ok) {
                outcome.Kind = TSweepOutcome::Failed;
                outcome.SolverFailed = true;
                outcome.Message = engine.LastError;
            } else {
                ok = engine.ComputeMeasures(0, 0);
                measureMs = clock.restart();
            }
        }
        if (!ok && outcome.Kind == TSweepOutcome::Completed) {
            outcome.Kind = engine.LastError.isEmpty() ? TSweepOutcome::Stopped : TSweepOutcome::Failed;
            outcome.Message = engine.LastError;
        }
        engine.ResultsValid = ok;
    } else {
        outcome = engine.RunSweep(arg1, arg2);
        solveMs = clock.restart();
    }
    ctx.err.flush();
    const TSolveReport& report = engine.LastSolve();
    if (const int status = ReportCliSweepEnd(outcome, ctx))
        return status;
    ctx.err << "Non-zeros: " << engine.Generator.NonZeros() + engine.Generator.Size << "\n"
            << "Solved by: " << report.Method << (report.FellBack ? " (Seidel did not converge)" : "")
            << "\n";
    if (report.Sweeps > 0)
        ctx.err << "Iterations: " << report.Sweeps << "\n";
    ctx.err << "Relative residual: " << QString::number(report.Residual, 'g', 3) << "\n";
    if (sweeps.isEmpty())
        ctx.err << "Time: reading the net " << CliSeconds(readMs) << ", graph " << CliSeconds(graphMs)
                << ", generator " << CliSeconds(generatorMs) << ", solution " << CliSeconds(solveMs)
                << ", values " << CliSeconds(measureMs) << "\n";
    else
        ctx.err << "Time: reading the net " << CliSeconds(readMs) << ", graph " << CliSeconds(graphMs)
                << ", sweep of " << points << " points " << CliSeconds(solveMs) << "\n";
    ctx.err.flush();

    const QString text1 = sweeps.isEmpty() ? QStringLiteral("None") : arg1.Text;
    const QString text2 = sweeps.size() < 2 ? QStringLiteral("None") : arg2.Text;
    if (const int status =
            WriteCliFile(csv, csv.isEmpty() ? QByteArray() : PerformanceCsv(engine, text1, text2), ctx))
        return status;
    if (!pictures.Write(engine, text1, text2, ctx))
        return exitBadInput;
    if (sweeps.isEmpty()) {
        for (int e = 0; e < engine.Items.size(); ++e)
            if (engine.Items[e].Listed)
                ctx.out << engine.Items[e].Description() << "\t" << ShortestNumber(engine.Result(0, 0, e))
                        << "\n";
    } else {
        if (const int status = WriteCliListing(PerformanceListing(engine, text1, text2), listing, ctx))
            return status;
    }
    ctx.out.flush();
    return exitOk;
}

const bool registered = RegisterCliCommand(
    {"steady", "stationary probabilities and performance values, over sweeps", kUsage, runSteady});

} // namespace
