// quorvane-cli simulate: the simulation without a window. Deterministic
// timing writes the plotted values of every step; stochastic timing
// estimates measures with confidence intervals.
#include <QElapsedTimer>
#include <QFile>

#include <charconv>
#include <cmath>

#include "cli/cli_command.h"
#include "cli/console_progress.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/safe_save.h"
#include "simulation/graph_names.h"
#include "simulation/sim_engine.h"
#include "simulation/sim_error.h"
#include "simulation/stochastic_estimator.h"

namespace {

const char* const kUsage =
    "Usage: quorvane-cli simulate NET [--until T | --firings N] [--plot \"P1 - TOKENS\"]...\n"
    "                             [--csv FILE] [--seed S]\n"
    "       quorvane-cli simulate NET --stochastic [--until T] [--firings N] [--precision REL]\n"
    "                             [--replications R] [--warmup W] [--measure SPEC]...\n"
    "                             [--csv FILE] [--seed S]\n"
    "Deterministic timing (the simulation window's, without animation and waits) runs\n"
    "steps until the model time passes T or N transitions fired (without T also once no\n"
    "transition is enabled), and writes CSV: a row \"time\" and the graph names, then one\n"
    "row per step with the values the step plots (empty for a graph whose element does\n"
    "not exist). The graphs are the --plot names, else the net's own graphs, else the\n"
    "tokens or level of every place. The CSV goes to FILE, or to standard output.\n"
    "--stochastic estimates measures by simulation with exponentially distributed delays:\n"
    "SPEC is tokens:P (mean tokens of place P), rate:T (firings of T per time unit) or\n"
    "prob:CONDITION (the share of time a formula is true); P* and T* stand for every\n"
    "place and transition (default: tokens:P* and rate:T*). It prints one line per\n"
    "measure: description, mean, half-width of the 95 % confidence interval and the\n"
    "number of samples, tab-separated (--csv writes them as CSV instead). Without\n"
    "--replications it runs batch means on one long run; with R >= 2 it runs R\n"
    "independent replications, each of model time T or N firings. The run stops at T,\n"
    "at N, or once every half-width is at most REL times its mean (with replications:\n"
    "after at least R); without any of them it stops at a precision of 0.01. A run that\n"
    "waits for the precision ends after 100000000 firings at most, and says so.\n"
    "--warmup W drops the first W units of model time of every run. --seed S (default 1)\n"
    "seeds the random numbers: the same seed gives the same output.\n";

// The shortest text that reads back to the same double.
QString shortest(double v)
{
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return QString::fromLatin1(buffer, static_cast<int>(r.ptr - buffer));
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Writes the output to a file (only when complete) or to standard output.
bool deliver(const QByteArray& bytes, const QString& csv, TCliContext& ctx)
{
    if (csv.isEmpty()) {
        ctx.out << QString::fromUtf8(bytes);
        ctx.out.flush();
        return true;
    }
    const QString error = SaveBytesSafely(csv, bytes);
    if (!error.isEmpty()) {
        ctx.err << error << "\n";
        return false;
    }
    return true;
}

int usageError(TCliContext& ctx, const QString& message)
{
    ctx.err << "quorvane-cli simulate: " << message << "\n" << kUsage;
    return exitUsage;
}

int runDeterministic(TQRVDesigner& net, double until, qint64 firings, QStringList graphs, quint64 seed,
                     const QString& csv, TCliContext& ctx)
{
    if (graphs.isEmpty())
        graphs = net.Graphs;
    if (graphs.isEmpty())
        for (const TQRVObject* o : net.ObjectList())
            if (const auto* p = qobject_cast<const TclsNode*>(o))
                graphs << TGraphName::Compose(p->Name(), p->VariableName(0));

    TSimEngine engine(net, seed);
    const QString problems = engine.Open();
    if (!problems.isEmpty())
        ctx.err << "warning: " << problems << "\n";
    QByteArray out = "time";
    for (const QString& g : graphs)
        out += ',' + csvField(g).toUtf8();
    out += '\n';

    qint64 steps = 0, fired = 0, still = 0;
    try {
        for (;;) {
            if (until > 0 && engine.ModelTime() > until)
                break;
            if (firings > 0 && fired >= firings)
                break;
            // The step's plot: the values before it fires.
            out += shortest(engine.ModelTime()).toUtf8();
            for (const QString& g : graphs) {
                out += ',';
                double value = 0;
                if (PlotValue(net, g, engine.ModelTime(), value))
                    out += shortest(value).toUtf8();
            }
            out += '\n';
            if (engine.Dead() && until == 0) {
                // Only a limit of firings was given: the net will not reach it.
                ctx.err << "At model time " << FormatGeneral(engine.ModelTime())
                        << " no transition is enabled: the net is dead.\n";
                break;
            }
            const double before = engine.ModelTime();
            engine.Step();
            ++steps;
            fired += static_cast<qint64>(engine.FiringList().size());
            still = engine.ModelTime() == before ? still + 1 : 0;
            if (still > 10000000)
                throw ESimError(
                    QStringLiteral("At model time %1 the net fired 10000000 steps without time passing: "
                                   "it has a loop of immediate transitions.")
                        .arg(FormatGeneral(before)));
        }
    } catch (const ESimError& e) {
        engine.PutInitialMarking();
        ctx.err << e.Message << "\n";
        return exitBadInput;
    }
    engine.PutInitialMarking();
    if (!deliver(out, csv, ctx))
        return exitBadInput;
    ctx.err << "Steps: " << steps << ", firings: " << fired
            << ", model time: " << FormatGeneral(engine.ModelTime()) << "\n";
    return exitOk;
}

int runStochastic(TQRVDesigner& net, const TEstimateSettings& settings, const QStringList& specs,
                  const QString& csv, TCliContext& ctx)
{
    TStochasticEstimator estimator(net);
    for (const QString& spec : specs) {
        const QString error = estimator.AddMeasure(spec);
        if (!error.isEmpty()) {
            ctx.err << error << "\n";
            return exitBadInput;
        }
    }
    TConsoleProgress progress;
    QElapsedTimer clock;
    clock.start();
    const QString error = estimator.Run(settings, &progress);
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (!error.isEmpty()) {
        ctx.err << error << "\n";
        return exitBadInput;
    }
    QByteArray out;
    if (!csv.isEmpty())
        out = "measure,mean,half-width,samples\n";
    for (const TSimEstimate& e : estimator.Results()) {
        if (csv.isEmpty())
            out += QStringLiteral("%1\t%2\t%3\t%4\n")
                       .arg(e.Description, FormatGeneral(e.Mean, 8),
                            std::isinf(e.HalfWidth) ? QStringLiteral("inf") : FormatGeneral(e.HalfWidth, 3))
                       .arg(e.Samples)
                       .toUtf8();
        else
            out += QStringLiteral("%1,%2,%3,%4\n")
                       .arg(csvField(e.Description), shortest(e.Mean), shortest(e.HalfWidth))
                       .arg(e.Samples)
                       .toUtf8();
    }
    if (!deliver(out, csv, ctx))
        return exitBadInput;
    ctx.err << (estimator.Compiled()
                    ? QStringLiteral("Net: compiled")
                    : QStringLiteral("Net: live (") + estimator.LiveReason() + QLatin1Char(')'))
            << "\n"
            << (settings.Replications >= 2 ? QStringLiteral("Method: independent replications")
                                           : QStringLiteral("Method: batch means"))
            << ", seed " << settings.Seed << "\n"
            << "Firings: " << estimator.Firings()
            << ", model time observed: " << FormatGeneral(estimator.ObservedTime(), 6) << "\n"
            << "Time: " << FormatGeneral(seconds, 3) << " s";
    if (seconds > 0)
        ctx.err << " (" << FormatGeneral(estimator.Firings() / seconds, 3) << " firings per second)";
    ctx.err << "\n";
    for (const QString& r : estimator.Remarks())
        ctx.err << r << "\n";
    return exitOk;
}

int runSimulate(const QStringList& args, TCliContext& ctx)
{
    TArgs a(args);
    QString error, untilText, firingsText, seedText, csv, precisionText, replicationsText, warmupText, value;
    QStringList plots, measures;
    const bool stochastic = a.TakeFlag(QStringLiteral("--stochastic"));
    a.TakeOption(QStringLiteral("--until"), untilText, error);
    a.TakeOption(QStringLiteral("--firings"), firingsText, error);
    a.TakeOption(QStringLiteral("--seed"), seedText, error);
    const bool toFile = a.TakeOption(QStringLiteral("--csv"), csv, error);
    a.TakeOption(QStringLiteral("--precision"), precisionText, error);
    a.TakeOption(QStringLiteral("--replications"), replicationsText, error);
    a.TakeOption(QStringLiteral("--warmup"), warmupText, error);
    while (error.isEmpty() && a.TakeOption(QStringLiteral("--plot"), value, error))
        plots << value;
    while (error.isEmpty() && a.TakeOption(QStringLiteral("--measure"), value, error))
        measures << value;
    if (!error.isEmpty())
        return usageError(ctx, error);
    if (!a.UnknownOption().isEmpty())
        return usageError(ctx, QStringLiteral("unknown option ") + a.UnknownOption());
    if (a.Positional().size() != 1)
        return usageError(ctx, QStringLiteral("name one net"));
    if (toFile && csv.isEmpty())
        return usageError(ctx, QStringLiteral("--csv needs a file name"));
    if (!stochastic && !(precisionText.isEmpty() && replicationsText.isEmpty() && warmupText.isEmpty() &&
                         measures.isEmpty()))
        return usageError(
            ctx, QStringLiteral("--precision, --replications, --warmup and --measure need --stochastic"));
    if (stochastic && !plots.isEmpty())
        return usageError(ctx, QStringLiteral("--plot is for deterministic timing"));

    auto positive = [](const QString& text, double& v) {
        return ParseReal(text, v) && v > 0 && std::isfinite(v);
    };
    TEstimateSettings settings;
    if (!untilText.isEmpty() && !positive(untilText, settings.Until))
        return usageError(ctx, QStringLiteral("--until needs a model time above 0"));
    if (!firingsText.isEmpty()) {
        bool ok = false;
        settings.Firings = firingsText.toLongLong(&ok);
        if (!ok || settings.Firings < 1)
            return usageError(ctx, QStringLiteral("--firings needs a whole number above 0"));
    }
    if (!seedText.isEmpty()) {
        bool ok = false;
        settings.Seed = seedText.toULongLong(&ok);
        if (!ok)
            return usageError(ctx,
                              QStringLiteral("--seed needs a whole number from 0 to 18446744073709551615"));
    }
    if (!precisionText.isEmpty() && !positive(precisionText, settings.Precision))
        return usageError(ctx, QStringLiteral("--precision needs a relative half-width above 0"));
    if (!replicationsText.isEmpty()) {
        bool ok = false;
        settings.Replications = replicationsText.toInt(&ok);
        if (!ok || settings.Replications < 2)
            return usageError(ctx, QStringLiteral("--replications needs a whole number of at least 2"));
    }
    if (!warmupText.isEmpty() &&
        !(ParseReal(warmupText, settings.Warmup) && settings.Warmup >= 0 && std::isfinite(settings.Warmup)))
        return usageError(ctx, QStringLiteral("--warmup needs a model time of 0 or more"));
    if (!stochastic && settings.Until == 0 && settings.Firings == 0)
        return usageError(ctx, QStringLiteral("give --until T or --firings N"));
    if (stochastic && settings.Replications >= 2 && settings.Until == 0 && settings.Firings == 0)
        return usageError(
            ctx, QStringLiteral("--replications needs the length of each: --until T or --firings N"));
    if (stochastic && settings.Until == 0 && settings.Firings == 0 && settings.Precision == 0)
        settings.Precision = 0.01;

    TQRVDesigner net;
    if (!ReadCliNet(net, a.Positional().first(), ctx))
        return exitBadInput;
    if (stochastic)
        return runStochastic(net, settings, measures, csv, ctx);
    return runDeterministic(net, settings.Until, settings.Firings, plots, settings.Seed, csv, ctx);
}

const bool registered =
    RegisterCliCommand({"simulate", "simulate a net: plotted values per step, or estimates with intervals",
                        kUsage, runSimulate});

} // namespace
