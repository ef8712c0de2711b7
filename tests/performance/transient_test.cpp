// The transient analysis: the Poisson weights, uniformisation against an
// independent matrix exponential, and the engine's sweep over time on live nets.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>

#include "perf_test_support.h"
#include "performance/perf_listing.h"
#include "performance/transient_engine.h"

namespace {

QString kind(TValueKind k)
{
    return QString::fromLatin1(KindTexts::All[k]);
}

TSweepArgument times(double initial, double final, int count)
{
    TSweepArgument t;
    t.Text = QStringLiteral("Time");
    t.Count = count;
    t.Initial = initial;
    t.Step = (final - initial) / (count - 1);
    return t;
}

double valueAt(const TCalcEngine& e, int i, const QString& description)
{
    const int at = e.FindItem(description);
    EXPECT_GE(at, 0) << description.toStdString();
    return e.Result(i, 0, at);
}

// Row `start` of e^(Qt), by scaling and squaring a Taylor series in long
// double; the diagonal is minus the sum of the row's other elements.
std::vector<long double> denseTransient(const TSparseGenerator& g, int start, double t)
{
    const int n = g.Size;
    using TMatrix = std::vector<std::vector<long double>>;
    TMatrix a(static_cast<std::size_t>(n), std::vector<long double>(static_cast<std::size_t>(n), 0));
    long double norm = 0;
    for (int i = 0; i < n; ++i) {
        long double out = 0;
        for (int j = 0; j < n; ++j) {
            if (j == i)
                continue;
            a[i][j] = static_cast<long double>(g.Element(i, j)) * t;
            out += a[i][j];
        }
        a[i][i] = -out;
        norm = std::max(norm, 2 * out);
    }
    int squarings = 0;
    while (norm > 0.25L) {
        norm /= 2;
        ++squarings;
    }
    for (auto& row : a)
        for (long double& x : row)
            x = std::ldexp(x, -squarings);
    const auto multiply = [n](const TMatrix& x, const TMatrix& y) {
        TMatrix z(static_cast<std::size_t>(n), std::vector<long double>(static_cast<std::size_t>(n), 0));
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < n; ++k)
                for (int j = 0; j < n; ++j)
                    z[i][j] += x[i][k] * y[k][j];
        return z;
    };
    TMatrix e(static_cast<std::size_t>(n), std::vector<long double>(static_cast<std::size_t>(n), 0));
    TMatrix term = e;
    for (int i = 0; i < n; ++i)
        e[i][i] = term[i][i] = 1;
    for (int k = 1; k <= 30; ++k) {
        term = multiply(term, a);
        for (auto& row : term)
            for (long double& x : row)
                x /= k;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                e[i][j] += term[i][j];
    }
    for (int s = 0; s < squarings; ++s)
        e = multiply(e, e);
    return e[static_cast<std::size_t>(start)];
}

// p1 (one token) -> t1 (rate a) -> p2: M0 = [1,0] decays into the absorbing M1 = [0,1].
void decayNet(TPerfNet& n, const QString& rate)
{
    auto* p1 = n.place("p1", 1);
    auto* p2 = n.place("p2", 0);
    auto* t1 = n.timed("t1", rate);
    n.arc(p1, t1);
    n.arc(t1, p2);
}

// Records the status texts and asks to stop `pumps` pumps after the status `stopAfter`.
class TRecordingProgress : public TSilentProgress
{
public:
    TRecordingProgress(const QString& stopAfter, int pumps) : m_stopAfter(stopAfter), m_pumps(pumps) {}
    void Status(const QString& text) override
    {
        Statuses << text;
        m_seen = m_seen || text == m_stopAfter;
    }
    void Pump() override { m_pumps -= m_seen ? 1 : 0; }
    bool StopRequested() const override { return m_seen && m_pumps <= 0; }
    QStringList Statuses;

private:
    QString m_stopAfter;
    int m_pumps;
    bool m_seen = false;
};

} // namespace

TEST(PoissonWeights, MatchTheDirectFormulaAndStayRightWhereTheExponentialUnderflows)
{
    for (double a : {0.5, 30.0, 2000.0}) {
        const TPoissonWeights w = PoissonWeights(a, 100000);
        long double sum = 0;
        for (std::size_t i = 0; i < w.Weights.size(); ++i) {
            const long double k = static_cast<long double>(w.Left) + static_cast<long double>(i);
            const long double exact =
                std::exp(k * std::log(static_cast<long double>(a)) - a - std::lgamma(k + 1));
            if (exact > 1e-200L) {
                EXPECT_NEAR(static_cast<double>(static_cast<long double>(w.Weights[i]) / exact), 1.0, 1e-12)
                    << a << " k=" << static_cast<double>(k);
            }
            sum += w.Weights[i];
        }
        EXPECT_NEAR(static_cast<double>(sum), 1.0, 1e-14) << a;
        EXPECT_LT(w.LeftOut, 1e-25);
    }
    // e^(-5000) is 0 in a double; the weights around the mean are not.
    const TPoissonWeights far = PoissonWeights(5000, 100000);
    EXPECT_GT(far.Left, 4000);
    EXPECT_NEAR(far.Weights[static_cast<std::size_t>(5000 - far.Left)], 1 / std::sqrt(2 * M_PI * 5000), 1e-5);
    EXPECT_EQ(PoissonWeights(0, 5).Weights, std::vector<double>{1.0});
}

TEST(PoissonWeights, TheNeededIndexIsTheSmallestCutWithinTheTolerance)
{
    for (double a : {3.0, 900.0, 2000.0}) {
        const qint64 needed = PoissonWeights(a, 1).NeededIndex;
        ASSERT_GT(needed, 0);
        EXPECT_LE(PoissonWeights(a, static_cast<int>(needed)).LeftOut, 1e-6) << a;
        EXPECT_GT(PoissonWeights(a, static_cast<int>(needed) - 1).LeftOut, 1e-6) << a;
    }
    // A cut before every term that counts leaves out everything.
    EXPECT_NEAR(PoissonWeights(900, 500).LeftOut, 1.0, 1e-12);
    EXPECT_EQ(PoissonWeights(1e10, 2147483647).NeededIndex, -1);
}

TEST(Uniformisation, MatchesADenseMatrixExponentialOnRandomChains)
{
    std::mt19937 rng(20240615);
    std::uniform_real_distribution<double> rate(0.05, 6.0);
    for (int round = 0; round < 6; ++round) {
        const int n = 3 + round * 2;
        std::vector<TRate> rates;
        std::uniform_int_distribution<int> state(0, n - 1);
        for (int k = 0; k < 3 * n; ++k) {
            const int from = state(rng);
            if (round % 2 == 1 && from == n - 1)
                continue; // the last marking absorbs
            rates.push_back({from, state(rng), rate(rng)});
        }
        const TSparseGenerator g = GeneratorOf(n, rates);
        const std::vector<double> at = {0.0, 0.1, 1.0, 3.7, 20.0};
        const double lambda = UniformisationRate(g, 1.0);
        ASSERT_GT(lambda, 0);
        std::vector<std::vector<double>> pi;
        TTransientReport report;
        ASSERT_TRUE(TransientProbabilities(g, lambda, 0, at, 100000, pi, nullptr, report));
        for (std::size_t i = 0; i < at.size(); ++i) {
            const std::vector<long double> exact = denseTransient(g, 0, at[i]);
            for (int k = 0; k < n; ++k)
                EXPECT_NEAR(pi[i][static_cast<std::size_t>(k)],
                            static_cast<double>(exact[static_cast<std::size_t>(k)]), 1e-10)
                    << "round " << round << " t=" << at[i] << " marking " << k;
        }
        // Another uniformisation rate gives the same probabilities.
        std::vector<std::vector<double>> wider;
        ASSERT_TRUE(TransientProbabilities(g, 2.5 * lambda, 0, at, 100000, wider, nullptr, report));
        for (std::size_t i = 0; i < at.size(); ++i)
            for (int k = 0; k < n; ++k)
                EXPECT_NEAR(wider[i][static_cast<std::size_t>(k)], pi[i][static_cast<std::size_t>(k)], 1e-12);
    }
}

TEST(Uniformisation, ALongTimeStillSumsToOneAndReachesTheSteadyState)
{
    // An M/M/1/5 queue with rates 10 and 20: Λ = 30, so t = 2000 / 30 gives Λt = 2000.
    std::vector<TRate> rates;
    for (int k = 0; k < 5; ++k) {
        rates.push_back({k, k + 1, 10});
        rates.push_back({k + 1, k, 20});
    }
    const TSparseGenerator g = GeneratorOf(6, rates);
    const double lambda = UniformisationRate(g, 1);
    ASSERT_EQ(lambda, 30);
    std::vector<std::vector<double>> pi;
    TTransientReport report;
    const double t = 2000 / lambda;
    EXPECT_GT(PoissonWeights(lambda * t, 1).NeededIndex, 2000);
    ASSERT_TRUE(TransientProbabilities(g, lambda, 0, {t}, 100000, pi, nullptr, report));
    double sum = 0;
    for (double p : pi[0])
        sum += p;
    EXPECT_NEAR(sum, 1.0, 1e-12);
    const std::vector<double> steady = MM1KProbabilities(5, 10, 20);
    for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(pi[0][static_cast<std::size_t>(k)], steady[static_cast<std::size_t>(k)], 1e-11);
    EXPECT_LT(report.Cuts[0].LeftOut, 1e-25);
    EXPECT_LT(report.Powers, 3000); // the powers stop where the weights become negligible
}

TEST(TransEngine, DecayIntoAnAbsorbingMarking)
{
    const double a = 0.7;
    TPerfNet n;
    decayNet(n, QString::number(a, 'g', 17));
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine)) << engine.LastError.toStdString();
    ASSERT_EQ(engine.MarkingCount(), 2);
    engine.PowerCount = 200;
    engine.AddItems(kind(vkTokens), "P*");
    engine.AddItems(kind(vkMacroProbability), "p2_TOKENS = 1");
    const TSweepOutcome out = engine.RunTransientSweep(times(0, 10, 11), TSweepArgument());
    ASSERT_EQ(out.Kind, TSweepOutcome::Completed) << out.Message.toStdString();
    EXPECT_TRUE(engine.Warnings.isEmpty()) << engine.Warnings.join('\n').toStdString();
    EXPECT_EQ(engine.UniformRate, a);
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(engine.Arg1Values[static_cast<std::size_t>(i)], i);
        EXPECT_NEAR(valueAt(engine, i, kind(vkTokens) + "p1"), std::exp(-a * i), 1e-13) << i;
        EXPECT_NEAR(valueAt(engine, i, kind(vkMacroProbability) + "p2_TOKENS = 1"), 1 - std::exp(-a * i),
                    1e-13);
    }
    // At time 0 everything is in the initial marking, exactly.
    EXPECT_EQ(valueAt(engine, 0, kind(vkTokens) + "p1"), 1.0);
    EXPECT_EQ(valueAt(engine, 0, kind(vkTokens) + "p2"), 0.0);
    // The listing has the time points as rows.
    const QStringList listing = PerformanceListing(engine, "Time", "None");
    EXPECT_EQ(listing.mid(0, 6),
              QStringList({"", " Analyze successful.  Data listing follows.", "Argument Value (Time)",
                           "\tAverage tokens count in p1", "\t\tAverage tokens count in p2",
                           "\t\t\tin MacroState probabilityp2_TOKENS = 1"}));
    EXPECT_EQ(listing[6], "0,0000\t1,0000\t0,0000\t0,0000");
    EXPECT_EQ(listing[7], "1,0000\t" + ListingNumber(std::exp(-a)) + "\t" + ListingNumber(1 - std::exp(-a)) +
                              "\t" + ListingNumber(1 - std::exp(-a)));
    EXPECT_EQ(listing.size(), 2 + 1 + 3 + 11 + 1);
}

TEST(TransEngine, AFiringBackIntoTheSameMarkingLosesNoProbability)
{
    TPerfNet n;
    decayNet(n, "1");
    auto* loop = n.timed("t2", "5");
    n.arc(n.Net.FindObject("p1"), loop);
    n.arc(loop, n.Net.FindObject("p1"));
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    engine.PowerCount = 300;
    engine.AddItems(kind(vkTokens), "P*");
    ASSERT_EQ(engine.RunTransientSweep(times(0, 4, 5), TSweepArgument()).Kind, TSweepOutcome::Completed);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(valueAt(engine, i, kind(vkTokens) + "p1"), std::exp(-1.0 * i), 1e-13);
        EXPECT_NEAR(valueAt(engine, i, kind(vkTokens) + "p1") + valueAt(engine, i, kind(vkTokens) + "p2"), 1,
                    1e-13);
    }
}

TEST(TransEngine, ValuesOverTimeReachTheSteadyStateOnes)
{
    const int capacity = 4;
    const double lambda = 0.6, mu = 1.1;
    TPerfNet n;
    MM1KNet(n, capacity, lambda, mu);
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    engine.PowerCount = 2000;
    engine.AddItems(kind(vkTokens), "p1");
    engine.AddItems(engine.KindNames[vkFreq], "T*");
    engine.AddItems(kind(vkRate), "t2");
    EXPECT_EQ(engine.Items[1].Description(), "Average operation freq oft1");
    ASSERT_EQ(engine.RunTransientSweep(times(0, 300, 2), TSweepArgument()).Kind, TSweepOutcome::Completed);
    // At time 0 the queue is empty and only arrivals can happen.
    EXPECT_EQ(valueAt(engine, 0, kind(vkTokens) + "p1"), 0.0);
    EXPECT_NEAR(valueAt(engine, 0, "Average operation freq oft1"), 1.0, 1e-15);
    EXPECT_EQ(valueAt(engine, 0, "Average operation freq oft2"), 0.0);
    // Long after, the stationary values.
    const std::vector<double> pi = MM1KProbabilities(capacity, lambda, mu);
    double mean = 0, freq = 0;
    for (int k = 0; k <= capacity; ++k) {
        mean += k * pi[static_cast<std::size_t>(k)];
        if (k > 0)
            freq += pi[static_cast<std::size_t>(k)] * mu / ((k < capacity ? lambda : 0) + mu);
    }
    EXPECT_NEAR(valueAt(engine, 1, kind(vkTokens) + "p1"), mean, 1e-10);
    EXPECT_NEAR(valueAt(engine, 1, kind(vkRate) + "t2"), mu * (1 - pi[0]), 1e-10);
    EXPECT_NEAR(valueAt(engine, 1, "Average operation freq oft2"), freq, 1e-10);
    EXPECT_TRUE(engine.Warnings.isEmpty());
}

TEST(TransEngine, TooSmallAPrecisionIndexIsNamedWithTheIndexNeeded)
{
    TPerfNet n;
    MM1KNet(n, 3, 1.0, 2.0); // Λ = 3
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    engine.PowerCount = 40;
    engine.AddItems(kind(vkTokens), "p1");
    ASSERT_EQ(engine.RunTransientSweep(times(0, 20, 3), TSweepArgument()).Kind, TSweepOutcome::Completed);
    // Λt = 0 and 30 fit into 40 powers only within the tolerance at t = 0.
    ASSERT_EQ(engine.Warnings.size(), 2) << engine.Warnings.join('\n').toStdString();
    const qint64 need10 = PoissonWeights(30, 1).NeededIndex;
    EXPECT_TRUE(
        engine.Warnings[0].startsWith("At time 10 the series cut after the precision index 40 leaves out"))
        << engine.Warnings[0].toStdString();
    EXPECT_TRUE(engine.Warnings[0].endsWith(
        QStringLiteral("a precision index of at least %1 is needed.").arg(need10)));
    EXPECT_TRUE(engine.Warnings[1].startsWith("At time 20"));
    // With enough powers there is nothing to say.
    engine.PowerCount = static_cast<int>(PoissonWeights(60, 1).NeededIndex);
    ASSERT_EQ(engine.RunTransientSweep(times(0, 20, 3), TSweepArgument()).Kind, TSweepOutcome::Completed);
    EXPECT_TRUE(engine.Warnings.isEmpty());
    // The precision index 0 is read as 1 (one power), which leaves out most of t = 10.
    int k = 99;
    EXPECT_TRUE(ReadPrecisionIndex("0", k));
    EXPECT_EQ(k, 1);
    engine.PowerCount = k;
    ASSERT_EQ(engine.RunTransientSweep(times(0, 20, 3), TSweepArgument()).Kind, TSweepOutcome::Completed);
    EXPECT_EQ(engine.PowersUsed, 1);
    EXPECT_EQ(engine.Warnings.size(), 2);
    // Left to itself the engine takes as many powers as the latest time point needs.
    engine.AutomaticPowers = true;
    ASSERT_EQ(engine.RunTransientSweep(times(0, 20, 3), TSweepArgument()).Kind, TSweepOutcome::Completed);
    EXPECT_EQ(engine.PowersUsed, PoissonWeights(60, 1).NeededIndex);
    EXPECT_TRUE(engine.Warnings.isEmpty());
}

TEST(TransEngine, FieldsAreReadAsTheWindowReadsThem)
{
    EXPECT_EQ(ReadCoefficient("2.5"), 2.5);
    for (const char* text : {"0", "-3", "abc", ""})
        EXPECT_EQ(ReadCoefficient(text), 1.0) << text;
    int k = 0;
    EXPECT_TRUE(ReadPrecisionIndex(" 750 ", k));
    EXPECT_EQ(k, 750);
    EXPECT_TRUE(ReadPrecisionIndex("-4", k));
    EXPECT_EQ(k, 1);
    for (const char* text : {"2.5", "abc", "", "1e3"})
        EXPECT_FALSE(ReadPrecisionIndex(text, k)) << text;
    TSweepArgument arg;
    QString why;
    EXPECT_EQ(ReadTransientRange("0", "100", "10", false, arg, why), -1);
    EXPECT_EQ(arg.Count, 10);
    EXPECT_DOUBLE_EQ(arg.Step, 100.0 / 9);
    EXPECT_EQ(ReadTransientRange("0", "1", "0.4", false, arg, why), -1);
    EXPECT_EQ(arg.Count, 2);
    EXPECT_EQ(ReadTransientRange("1", "x", "5", false, arg, why), 1);
    EXPECT_EQ(why, "\"x\" is not a number");
    EXPECT_EQ(ReadTransientRange("1", "3", "", true, arg, why),
              -1); // Steps of an "M(" argument: Final − Initial + 1
    EXPECT_EQ(arg.Count, 3);
    EXPECT_EQ(ReadTransientRange("0", "1", "1e9", false, arg, why), 2);
    EXPECT_TRUE(CheckTimeRange(times(0, 5, 2)).isEmpty());
    EXPECT_FALSE(CheckTimeRange(times(-1, 5, 2)).isEmpty());
    EXPECT_FALSE(CheckTimeRange(times(5, -1, 2)).isEmpty());
}

TEST(TransEngine, ACoefficientAboveOneChangesNothingButTheRate)
{
    TPerfNet n;
    MM1KNet(n, 3, 1.0, 2.0);
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    engine.PowerCount = 1000;
    engine.AddItems(kind(vkTokens), "p1");
    ASSERT_EQ(engine.RunTransientSweep(times(0, 5, 6), TSweepArgument()).Kind, TSweepOutcome::Completed);
    const std::vector<double> plain = engine.Results;
    EXPECT_EQ(engine.UniformRate, 3);
    engine.Coefficient = 4;
    ASSERT_EQ(engine.RunTransientSweep(times(0, 5, 6), TSweepArgument()).Kind, TSweepOutcome::Completed);
    EXPECT_EQ(engine.UniformRate, 12);
    for (std::size_t i = 0; i < plain.size(); ++i)
        EXPECT_NEAR(engine.Results[i], plain[i], 1e-12);
    // Below 1 the matrix has negative elements: said, not hidden.
    engine.Coefficient = 0.5;
    ASSERT_EQ(engine.RunTransientSweep(times(0, 5, 6), TSweepArgument()).Kind, TSweepOutcome::Completed);
    ASSERT_FALSE(engine.Warnings.isEmpty());
    EXPECT_TRUE(engine.Warnings[0].contains("below 1"));
}

TEST(TransEngine, ANetWithoutTimedActivityIsRefusedWithAMessage)
{
    TPerfNet n;
    n.place("p1", 1);
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine)) << engine.LastError.toStdString();
    engine.AddItems(kind(vkTokens), "p1");
    const TSweepOutcome out = engine.RunTransientSweep(times(0, 10, 3), TSweepArgument());
    EXPECT_EQ(out.Kind, TSweepOutcome::Failed);
    EXPECT_EQ(out.Message, TransTexts::NoActivity);
    EXPECT_FALSE(engine.ResultsValid);
}

TEST(TransEngine, SweepsASecondArgumentAndRestoresIt)
{
    TPerfNet n;
    decayNet(n, "RefV");
    auto* t1 = qobject_cast<TclsTransTimed*>(n.Net.FindObject("t1"));
    t1->Rate()->SetValue_Reference(0.25);
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    engine.AutomaticPowers = true;
    engine.AddItems(kind(vkTokens), "p1");
    TSweepArgument rate;
    rate.Text = "Lm1";
    rate.Count = 3;
    rate.Initial = 1;
    rate.Step = 1;
    int left = -1;
    engine.PointsLeft = [&](qint64 l) { left = static_cast<int>(l); };
    ASSERT_EQ(engine.RunTransientSweep(times(0, 2, 3), rate).Kind, TSweepOutcome::Completed);
    EXPECT_EQ(left, 1);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(engine.Arg2Values[static_cast<std::size_t>(j)], j + 1);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(engine.Result(i, j, 0), std::exp(-(j + 1.0) * i), 1e-13) << i << "," << j;
    }
    EXPECT_EQ(t1->Rate()->Value_Reference(), 0.25);
    const QStringList listing = PerformanceListing(engine, "Time", "Lm1");
    EXPECT_EQ(listing.mid(2, 6),
              QStringList({"", "\tResults for Average tokens count in p1", "Arg1 is :Time", "Arg2 is :Lm1",
                           "Arg1 values are in 1st column, Arg2 values are in 1st line",
                           "\t1,0000\t2,0000\t3,0000\t"}));
}

TEST(TransEngine, BreakWhilePreparingThePowersStopsTheSweep)
{
    TPerfNet n;
    MM1KNet(n, 3, 1.0, 2.0);
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    TRecordingProgress progress(TransTexts::PreparingVectors, 3);
    engine.SetProgress(&progress);
    engine.PowerCount = 1000;
    engine.AddItems(kind(vkTokens), "p1");
    const TSweepOutcome out = engine.RunTransientSweep(times(0, 100, 3), TSweepArgument());
    EXPECT_EQ(out.Kind, TSweepOutcome::Stopped);
    EXPECT_TRUE(progress.Statuses.contains(TransTexts::FillingMatrix));
    EXPECT_TRUE(progress.Statuses.contains(TransTexts::PreparingVectors));
    EXPECT_EQ(engine.Generator.Size, 0); // the matrix is not kept
}

TEST(TransEngine, AGraphFileWithAMarkingWithoutSuccessorIsRead)
{
    TPerfNet n;
    decayNet(n, "2");
    QTemporaryDir dir;
    QFile f(dir.filePath("current.rag"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Totally found markings number = 2\nPositionsList: p1;p2;\nM0 = [1,0] [t1>M1;\nM1 = [0,1] [\n");
    f.close();
    TCalcEngine steady(&n.Net);
    EXPECT_FALSE(steady.ReadGraphFile(f.fileName()));
    EXPECT_EQ(steady.LastError, GraphTexts::DeadMarkings);
    TTransEngine engine(&n.Net);
    ASSERT_TRUE(engine.ReadGraphFile(f.fileName())) << engine.LastError.toStdString();
    ASSERT_EQ(engine.MarkingCount(), 2);
    ASSERT_TRUE(engine.BuildGenerator());
    EXPECT_EQ(engine.Generator.Diagonal[1], 0.0);
    EXPECT_EQ(engine.Generator.Element(0, 1), 2.0);
}
