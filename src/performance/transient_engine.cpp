#include "performance/transient_engine.h"

#include <cmath>

#include "model/designer.h"
#include "model/numbers.h"
#include "model/progress.h"

namespace {

// More points than this per argument is not a sweep anyone means.
constexpr double kMostPoints = 1000000;

} // namespace

TTransEngine::TTransEngine(TQRVDesigner* net) : TCalcEngine(net)
{
    KindNames[vkFreq] = QString::fromLatin1(TransTexts::FreqKind);
    AllowDeadMarkings = true;
}

TSweepOutcome TTransEngine::RunTransientSweep(const TSweepArgument& time, const TSweepArgument& arg2)
{
    TSweepOutcome outcome;
    Warnings.clear();
    StartResults(time.Count, arg2.Count);
    // The time points, reached by adding the step as the sweep steps them.
    std::vector<double> times(static_cast<std::size_t>(Arg1Count));
    double t = time.Initial;
    for (double& at : times) {
        at = t;
        t += time.Step;
    }
    const double remembered2 = ReadArgument(arg2.Text);
    const bool wasUpdating = Net()->Updating();
    Net()->SetUpdating(true);
    IQRVProgress& progress = *Progress();
    const auto fail = [&] {
        outcome.Kind = TSweepOutcome::Failed;
        outcome.Message = LastError;
    };
    if (Coefficient < 1 && Coefficient > 0)
        Warnings << QStringLiteral("The normalization coeficient %1 is below 1: the uniformised matrix has "
                                   "negative elements, the terms of the series cancel, and the values lose "
                                   "accuracy as the time grows.")
                        .arg(FormatGeneral(Coefficient));
    bool stop = false;
    std::vector<std::vector<double>> atTime;
    double a2 = arg2.Initial;
    for (int j = 0; j < Arg2Count && !stop; ++j) {
        if (!ApplyArgument(arg2.Text, a2) || !BuildGenerator()) {
            fail();
            break;
        }
        progress.Status(QString::fromLatin1(TransTexts::FillingMatrix));
        progress.Pump();
        UniformRate = UniformisationRate(Generator, Coefficient);
        if (UniformRate == 0 || !std::isfinite(UniformRate)) {
            LastError = UniformRate == 0 ? QString::fromLatin1(TransTexts::NoActivity)
                                         : QStringLiteral("A marking's outflow rate is not a finite number. "
                                                          "Calculation aborted!");
            fail();
            break;
        }
        PowersUsed = std::max(1, PowerCount);
        if (AutomaticPowers) {
            QString tooLong;
            PowersUsed = 1;
            for (double at : times) {
                const qint64 need = PoissonWeights(UniformRate * at, 1).NeededIndex;
                if (need < 0 && tooLong.isEmpty())
                    tooLong = QStringLiteral("At time %1 (Λt = %2) the series needs more terms than any "
                                             "precision index allows. Calculation aborted!")
                                  .arg(FormatGeneral(at), FormatGeneral(UniformRate * at, 6));
                PowersUsed = std::max<int>(PowersUsed, static_cast<int>(need));
            }
            if (!tooLong.isEmpty()) {
                LastError = tooLong;
                fail();
                break;
            }
        }
        const double need = static_cast<double>(MarkingCount()) * 8.0 * (static_cast<double>(Arg1Count) + 3);
        const double free = FreeMemoryBytes();
        if (free > 0 && need > 0.8 * free) {
            LastError = QStringLiteral("The probabilities of %1 markings at %2 time points need %3 MB, more "
                                       "than the %4 MB of free memory. Use fewer time points.")
                            .arg(MarkingCount())
                            .arg(Arg1Count)
                            .arg(std::ceil(need / 1048576.0))
                            .arg(std::floor(free / 1048576.0));
            fail();
            break;
        }
        progress.Status(QString::fromLatin1(TransTexts::PreparingVectors));
        TTransientReport report;
        if (!TransientProbabilities(Generator, UniformRate, 0, times, PowersUsed, atTime, &progress,
                                    report)) {
            stop = true;
            break;
        }
        PowersFormed = report.Powers;
        for (const TTimeCut& cut : report.Cuts) {
            if (cut.LeftOut <= TransientMassTolerance)
                continue;
            const QString where = arg2.Text == QLatin1String("None")
                                      ? QString()
                                      : QStringLiteral("With %1 = %2: ").arg(arg2.Text, FormatGeneral(a2));
            Warnings << where + TransientCutWarning(cut, PowersUsed);
        }
        for (int i = 0; i < Arg1Count; ++i) {
            MarkProbability.swap(atTime[static_cast<std::size_t>(i)]);
            std::vector<double>().swap(atTime[static_cast<std::size_t>(i)]);
            if (!ComputeMeasures(i, j)) {
                fail();
                break;
            }
            Arg1Values[static_cast<std::size_t>(i)] = times[static_cast<std::size_t>(i)];
            if (PointsLeft)
                PointsLeft(static_cast<qint64>(Arg1Count) * Arg2Count -
                           (static_cast<qint64>(j) * Arg1Count + i));
            progress.Pump();
            if (progress.StopRequested()) {
                stop = true;
                break;
            }
        }
        if (outcome.Kind != TSweepOutcome::Completed)
            break;
        Arg2Values[static_cast<std::size_t>(j)] = a2;
        a2 += arg2.Step;
        progress.Pump();
        if (progress.StopRequested())
            stop = true;
    }
    // The probabilities of every time point and the matrix are not kept.
    std::vector<std::vector<double>>().swap(atTime);
    Generator.Clear();
    if (outcome.Kind == TSweepOutcome::Failed && outcome.Message.isEmpty())
        outcome.Kind = TSweepOutcome::Stopped; // Break during the generator or a rebuild
    const QString failure = LastError;
    const bool restored = ApplyArgument(arg2.Text, remembered2);
    Net()->SetUpdating(wasUpdating);
    return FinishSweep(outcome, failure, restored, stop);
}

int ReadTransientRange(const QString& initial, const QString& final, const QString& steps, bool marking,
                       TSweepArgument& arg, QString& why)
{
    const QString texts[3] = {initial, final, steps};
    double v[3] = {0, 0, 0};
    for (int k = 0; k < (marking ? 2 : 3); ++k) {
        if (!ParseReal(texts[k], v[k]) || !std::isfinite(v[k])) {
            why = QStringLiteral("\"%1\" is not a number").arg(texts[k]);
            return k;
        }
    }
    if (marking)
        v[2] = v[1] - v[0] + 1;
    const double count = std::round(v[2]);
    if (count > kMostPoints) {
        why = QStringLiteral("%1 points are more than the %2 a sweep can have")
                  .arg(FormatGeneral(count))
                  .arg(FormatGeneral(kMostPoints));
        return marking ? 1 : 2;
    }
    arg.Count = std::max(2, static_cast<int>(count));
    arg.Initial = v[0];
    arg.Step = (v[1] - v[0]) / (arg.Count - 1);
    return -1;
}

QString CheckTimeRange(const TSweepArgument& time)
{
    const double last = time.Initial + time.Step * (time.Count - 1);
    if (time.Initial < 0 || last < 0)
        return QStringLiteral("The time points run from %1 to %2: the chain starts in its initial marking at "
                              "time 0, so no time point may lie before 0.")
            .arg(FormatGeneral(time.Initial), FormatGeneral(last));
    return QString();
}

double ReadCoefficient(const QString& text)
{
    double c = 0;
    if (!ParseReal(text, c) || !(c > 0) || !std::isfinite(c))
        return 1;
    return c;
}

bool ReadPrecisionIndex(const QString& text, int& powers)
{
    int k = 0;
    if (!ParseInteger(text, k))
        return false;
    powers = std::max(1, k);
    return true;
}
