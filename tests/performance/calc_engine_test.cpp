// The engine on live nets: rates from the net, the values of every kind,
// sweeps over a rate and over an initial marking, the listing.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>

#include "perf_test_support.h"
#include "performance/perf_listing.h"
#include "reach/reach_test_support.h"

namespace {

QString kind(TValueKind k)
{
    return QString::fromLatin1(KindTexts::All[k]);
}

double valueOf(const TCalcEngine& e, const QString& description)
{
    const int at = e.FindItem(description);
    EXPECT_GE(at, 0) << description.toStdString();
    return e.Result(0, 0, at);
}

TSweepArgument none()
{
    return TSweepArgument();
}

// `count` points of argument `text` from `initial` on, `step` apart.
TSweepArgument argument(const char* text, int count, double initial, double step)
{
    TSweepArgument a;
    a.Text = text;
    a.Count = count;
    a.Initial = initial;
    a.Step = step;
    return a;
}

// Writes a graph file into `dir` and returns its name.
QString writeGraph(const QTemporaryDir& dir, const char* text)
{
    QFile f(dir.filePath("graph.rag"));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return f.fileName();
}

// p1 (`tokens` tokens) -> p2 by `forward` at rate 0.5 * tokens of p1, back by
// `back` at rate tokens of p2: the count in p2 is binomial(tokens, 1/3).
void closedPair(TPerfNet& n, int tokens, const QString& forward, const QString& back)
{
    auto* p1 = n.place("p1", tokens);
    auto* p2 = n.place("p2", 0);
    auto* t1 = n.timed(forward, "0.5 * p1_TOKENS");
    auto* t2 = n.timed(back, "p2_TOKENS");
    n.arc(p1, t1);
    n.arc(t1, p2);
    n.arc(p2, t2);
    n.arc(t2, p1);
}

} // namespace

TEST(CalcEngine, ValuesOfAnMM1KQueueMatchTheClosedForm)
{
    const int capacity = 4;
    const double lambda = 0.6, mu = 1.1;
    TPerfNet n;
    MM1KNet(n, capacity, lambda, mu);
    n.place("p3", 0); // never marked
    TCalcEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    qobject_cast<TclsNode*>(n.Net.FindObject("p1"))->Cost()->SetFormula("2.5");
    engine.AddItems(kind(vkTokens), "p1");
    engine.AddItems(kind(vkRate), "t2");
    // Both frequencies come from one pass over the markings.
    engine.AddItems(kind(vkFreq), "t2");
    engine.AddItems(kind(vkFreq), "t1");
    engine.AddItems(kind(vkStayTime), "p1");
    engine.AddItems(kind(vkCost), "p1");
    engine.AddItems(kind(vkMacroProbability), "p1_TOKENS >= 2");
    engine.AddItems(kind(vkMacroCost), "p1_TOKENS >= 2");
    const TSweepOutcome out = engine.RunSweep(none(), none());
    ASSERT_EQ(out.Kind, TSweepOutcome::Completed) << out.Message.toStdString();
    const std::vector<double> pi = MM1KProbabilities(capacity, lambda, mu);
    double mean = 0, high = 0, freq = 0, arrivals = 0, highCost = 0;
    for (int k = 0; k <= capacity; ++k) {
        mean += k * pi[static_cast<std::size_t>(k)];
        if (k >= 2) {
            high += pi[static_cast<std::size_t>(k)];
            highCost += pi[static_cast<std::size_t>(k)] * k * 2.5;
        }
        if (k > 0) // t2 enabled: the share of its rate in the outflow
            freq += pi[static_cast<std::size_t>(k)] * mu / ((k < capacity ? lambda : 0) + mu);
        if (k < capacity) // t1 enabled
            arrivals += pi[static_cast<std::size_t>(k)] * lambda / (lambda + (k > 0 ? mu : 0));
    }
    const double throughput = mu * (1 - pi[0]);
    EXPECT_NEAR(valueOf(engine, kind(vkTokens) + "p1"), mean, 1e-12);
    EXPECT_NEAR(valueOf(engine, kind(vkRate) + "t2"), throughput, 1e-12);
    EXPECT_NEAR(valueOf(engine, kind(vkFreq) + "t2"), freq, 1e-12);
    EXPECT_NEAR(valueOf(engine, kind(vkFreq) + "t1"), arrivals, 1e-12);
    // The stay time needs the inflow and the throughput of t1, which stay unlisted.
    EXPECT_NEAR(valueOf(engine, kind(vkInflow) + "p1"), lambda * (1 - pi[static_cast<std::size_t>(capacity)]),
                1e-12);
    EXPECT_NEAR(valueOf(engine, kind(vkStayTime) + "p1"), mean / throughput, 1e-10);
    EXPECT_FALSE(engine.Items[engine.FindItem(kind(vkInflow) + "p1")].Listed);
    EXPECT_NEAR(valueOf(engine, kind(vkCost) + "p1"), mean * 2.5, 1e-12);
    EXPECT_NEAR(valueOf(engine, kind(vkMacroProbability) + "p1_TOKENS >= 2"), high, 1e-12);
    EXPECT_NEAR(valueOf(engine, kind(vkMacroCost) + "p1_TOKENS >= 2"), highCost, 1e-12);
    // A stay time in a place nothing enters names the value and the point.
    engine.Items.clear();
    engine.AddItems(kind(vkStayTime), "p3");
    const TSweepOutcome failed = engine.RunSweep(none(), none());
    EXPECT_EQ(failed.Kind, TSweepOutcome::Failed);
    EXPECT_TRUE(
        failed.Message.contains("\"Average token stay time in p3\" cannot be computed at point (1, 1)"))
        << failed.Message.toStdString();
}

TEST(CalcEngine, MarkingDependentRatesAndDuplicateNames)
{
    // p1 -> p2 at rate 0.5 * tokens of p1 (three independent tokens), p2 -> p1 at rate 1:
    // the count in p2 is binomial(3, 1/3).
    TPerfNet n;
    closedPair(n, 3, "T1", "T12");
    TCalcEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    engine.AddItems(kind(vkTokens), "P*");
    engine.AddItems(kind(vkRate), "T*");
    ASSERT_EQ(engine.RunSweep(none(), none()).Kind, TSweepOutcome::Completed)
        << engine.LastError.toStdString();
    EXPECT_NEAR(valueOf(engine, kind(vkTokens) + "p2"), 1.0, 1e-12);
    // T1 counts only markings with an entry for T1, not those of T12.
    EXPECT_NEAR(valueOf(engine, kind(vkRate) + "T1"), 0.5 * 2.0, 1e-12);
    EXPECT_NEAR(valueOf(engine, kind(vkRate) + "T12"), 1.0, 1e-12);
}

TEST(CalcEngine, MarkingDependentRatesByTheIterativeMethod)
{
    // The same closed chain with many tokens: the count in p2 is binomial(N, 1/3).
    // With 100 tokens the rates take few values (kept as indexes), with 400 many.
    for (const int tokens : {100, 400}) {
        TPerfNet n;
        closedPair(n, tokens, "t1", "t2");
        TCalcEngine engine(&n.Net);
        ASSERT_TRUE(n.load(engine));
        engine.Solver.Method = smIterative;
        engine.Solver.Tolerance = 1e-13;
        engine.AddItems(kind(vkTokens), "p2");
        engine.AddItems(kind(vkRate), "t1");
        ASSERT_EQ(engine.RunSweep(none(), none()).Kind, TSweepOutcome::Completed)
            << engine.LastError.toStdString();
        EXPECT_EQ(engine.Generator.RateIndex.empty(), tokens > 100);
        EXPECT_EQ(engine.Markings.Tokens.Bytes(), tokens > 255 ? 2 : 1);
        EXPECT_NEAR(valueOf(engine, kind(vkTokens) + "p2"), tokens / 3.0, 1e-9 * tokens);
        EXPECT_NEAR(valueOf(engine, kind(vkRate) + "t1"), tokens / 3.0, 1e-9 * tokens);
        // The probability of every count against the binomial distribution.
        const int at = engine.Markings.PlaceNames.indexOf("p2");
        ASSERT_GE(at, 0);
        for (int k = 0; k < engine.MarkingCount(); ++k) {
            const int c = engine.Markings.Token(k, at);
            const double log = std::lgamma(tokens + 1.0) - std::lgamma(c + 1.0) -
                               std::lgamma(tokens - c + 1.0) + c * std::log(1.0 / 3) +
                               (tokens - c) * std::log(2.0 / 3);
            EXPECT_NEAR(engine.MarkProbability[static_cast<std::size_t>(k)], std::exp(log), 1e-11) << c;
        }
    }
}

TEST(CalcEngine, PathEntriesTakeTheirFirstTransitionsRate)
{
    TPerfNet n;
    n.place("p1", 1);
    n.place("p2", 0);
    n.timed("t1", "2");
    n.timed("t3", "5");
    n.timed("t4", "1");
    TCalcEngine engine(&n.Net);
    // Read through a file, as the window does.
    QTemporaryDir dir;
    ASSERT_TRUE(engine.ReadGraphFile(writeGraph(
        dir,
        "PositionsList: p1;p2;\nM0 = [1,0] [t1,t3>M1;t1,t4>M0;\\\\0.25;0.75;\nM1 = [0,1] [t4>M0;\\\\1;\n")))
        << engine.LastError.toStdString();
    ASSERT_TRUE(engine.BuildGenerator());
    EXPECT_DOUBLE_EQ(engine.Generator.Element(0, 1), 2 * 0.25);
    EXPECT_DOUBLE_EQ(engine.Generator.Element(0, 0), -2.0); // the path back counts as a firing
    engine.AddItems(kind(vkRate), "t1");
    engine.AddItems(kind(vkRate), "t3");
    ASSERT_EQ(engine.RunSweep(none(), none()).Kind, TSweepOutcome::Completed);
    // pi = (2/3, 1/3): t1 fires in M0 at 2, t3 starts no entry.
    EXPECT_NEAR(valueOf(engine, kind(vkRate) + "t1"), 2.0 * 2 / 3, 1e-12);
    EXPECT_EQ(valueOf(engine, kind(vkRate) + "t3"), 0.0);
}

TEST(CalcEngine, CountsBeyondABytePartWayThroughAGraphFile)
{
    // A ring of four markings, each left at rate 1: every marking has
    // probability 1/4. Counts of 300 and 70000 after smaller ones.
    TPerfNet n;
    auto* p1 = n.place("p1", 3);
    auto* t1 = n.timed("t1", "1");
    n.arc(p1, t1);
    n.arc(t1, p1);
    p1->Cost()->SetFormula("2");
    TCalcEngine engine(&n.Net);
    QTemporaryDir dir;
    ASSERT_TRUE(engine.ReadGraphFile(writeGraph(dir, "PositionsList: p1;\nM0 = [3] [t1>M1;\nM1 = [300] "
                                                     "[t1>M2;\nM2 = [7] [t1>M3;\nM3 = [70000] [t1>M0;\n")))
        << engine.LastError.toStdString();
    EXPECT_EQ(engine.Markings.Token(1, 0), 300);
    EXPECT_EQ(engine.Markings.Token(3, 0), 70000);
    engine.AddItems(kind(vkTokens), "p1");
    engine.AddItems(kind(vkCost), "p1");
    engine.AddItems(kind(vkMacroProbability), "p1_TOKENS > 255");
    engine.AddItems(kind(vkMacroCost), "p1_TOKENS > 255");
    ASSERT_EQ(engine.RunSweep(none(), none()).Kind, TSweepOutcome::Completed)
        << engine.LastError.toStdString();
    const double mean = (3 + 300 + 7 + 70000) / 4.0;
    EXPECT_NEAR(valueOf(engine, kind(vkTokens) + "p1"), mean, 1e-12 * mean);
    EXPECT_NEAR(valueOf(engine, kind(vkCost) + "p1"), 2 * mean, 1e-12 * mean);
    EXPECT_NEAR(valueOf(engine, kind(vkMacroProbability) + "p1_TOKENS > 255"), 0.5, 1e-12);
    EXPECT_NEAR(valueOf(engine, kind(vkMacroCost) + "p1_TOKENS > 255"), 2 * (300 + 70000) / 4.0,
                1e-12 * mean);
}

TEST(CalcEngine, RefusesGraphsItCannotAnalyse)
{
    TPerfNet n;
    n.place("p1", 1);
    n.timed("t1", "1");
    TCalcEngine engine(&n.Net);
    QTemporaryDir dir;
    const auto write = [&](const char* text) { return writeGraph(dir, text); };
    EXPECT_FALSE(engine.ReadGraphFile(write("PositionsList: p1;\nM0 = [1] [t1>M1;\nM1 = [0] [\n")));
    EXPECT_EQ(engine.LastError, GraphTexts::DeadMarkings);
    EXPECT_EQ(engine.LastReadResult(), grDeadMarking);
    EXPECT_FALSE(engine.ReadGraphFile(write("PositionsList: p9;\nM0 = [1] [t1>M0;\n")));
    EXPECT_TRUE(engine.LastError.contains("place p9")) << engine.LastError.toStdString();
    EXPECT_FALSE(engine.ReadGraphFile(write("PositionsList: p1;\nM0 = [1] [t7>M0;\n")));
    EXPECT_TRUE(engine.LastError.contains("transition t7")) << engine.LastError.toStdString();
    AddNode<TclsNodeContinuous>(n.Net, 300, 300, "b1");
    EXPECT_FALSE(engine.ReadGraphFile(write("PositionsList: p1;b1;\nM0 = [1,0] [t1>M0;\n")));
    EXPECT_TRUE(engine.LastError.contains("continuous place b1")) << engine.LastError.toStdString();
}

TEST(CalcEngine, SweepsOverARateAndOverAnInitialMarking)
{
    TPerfNet n;
    MM1KNet(n, 2, 0.5, 1.0);
    TCalcEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    engine.AddItems(kind(vkTokens), "p1");
    auto* t1 = qobject_cast<TclsTransTimed*>(n.Net.FindObject("t1"));
    t1->Rate()->SetFormula("RefV");
    t1->Rate()->SetValue_Reference(0.5);
    const TSweepArgument rate = argument("Lm1", 3, 0.5, 0.25);
    const TSweepArgument cards = argument("M(p2)", 3, 1, 1);
    QTemporaryDir dir;
    engine.RebuildFile = dir.filePath("current.rag");
    int left = 0;
    engine.PointsLeft = [&](qint64 l) { left = static_cast<int>(l); };
    const TSweepOutcome out = engine.RunSweep(rate, cards);
    ASSERT_EQ(out.Kind, TSweepOutcome::Completed) << out.Message.toStdString();
    EXPECT_EQ(left, 1);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(engine.Arg2Values[static_cast<std::size_t>(j)], j + 1);
        for (int i = 0; i < 3; ++i) {
            const double lambda = 0.5 + 0.25 * i;
            const std::vector<double> pi = MM1KProbabilities(j + 1, lambda, 1.0);
            double mean = 0;
            for (int k = 0; k <= j + 1; ++k)
                mean += k * pi[static_cast<std::size_t>(k)];
            EXPECT_NEAR(engine.Result(i, j, 0), mean, 1e-12) << i << "," << j;
        }
    }
    // The arguments are back: the rate and the graph of two free places.
    EXPECT_EQ(t1->Rate()->Value_Reference(), 0.5);
    EXPECT_EQ(engine.MarkingCount(), 3);
    EXPECT_TRUE(QFile::exists(engine.RebuildFile));
    EXPECT_TRUE(engine.ResultsValid);
    const QStringList listing = PerformanceListing(engine, "Lm1", "M(p2)");
    EXPECT_EQ(listing.mid(0, 9),
              QStringList({"", " Analyze successful.  Data listing follows.", "",
                           "\tResults for Average tokens count in p1", "Arg1 is :Lm1", "Arg2 is :M(p2)",
                           "Arg1 values are in 1st column, Arg2 values are in 1st line",
                           "\t1,0000\t2,0000\t3,0000\t", ""}));
    EXPECT_EQ(listing.value(9), "0,5000\t" + ListingNumber(engine.Result(0, 0, 0)) + "\t" +
                                    ListingNumber(engine.Result(0, 1, 0)) + "\t" +
                                    ListingNumber(engine.Result(0, 2, 0)));
}

TEST(CalcEngine, SweepOverRatesByTheIterativeMethodStartsFromThePointsBefore)
{
    // Arrivals from 0.25 to 2.25 against services at 1 and then 1.5, into a
    // queue of 40 places: the probabilities of the long queues grow by
    // orders of magnitude from point to point, so the straight line through
    // two solutions falls below 0 for some markings.
    const int capacity = 40;
    TPerfNet n;
    MM1KNet(n, capacity, 0.25, 1.0);
    for (const char* name : {"t1", "t2"}) {
        auto* t = qobject_cast<TclsTransTimed*>(n.Net.FindObject(name));
        t->Rate()->SetFormula("RefV");
        t->Rate()->SetValue_Reference(name[1] == '1' ? 0.25 : 1.0);
    }
    TCalcEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    engine.AddItems(kind(vkTokens), "p1");
    engine.Solver.Method = smIterative;
    const TSweepOutcome out = engine.RunSweep(argument("Lm1", 5, 0.25, 0.5), argument("Lm2", 2, 1.0, 0.5));
    ASSERT_EQ(out.Kind, TSweepOutcome::Completed) << out.Message.toStdString();
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 5; ++i) {
            const std::vector<double> pi = MM1KProbabilities(capacity, 0.25 + 0.5 * i, 1.0 + 0.5 * j);
            double mean = 0;
            for (int k = 0; k <= capacity; ++k)
                mean += k * pi[static_cast<std::size_t>(k)];
            EXPECT_NEAR(engine.Result(i, j, 0), mean, 1e-7 * mean) << i << "," << j;
        }
    EXPECT_FALSE(engine.Solver.WarmStart);
    // The last point from the points before it took fewer sweeps than the
    // same chain from the uniform start.
    const int warmSweeps = engine.LastSolve().Sweeps;
    const double warmMean = engine.Result(4, 1, 0);
    ASSERT_TRUE(engine.SolveSteadyState());
    EXPECT_LT(warmSweeps, engine.LastSolve().Sweeps);
    ASSERT_TRUE(engine.ComputeMeasures(0, 0));
    EXPECT_NEAR(engine.Result(0, 0, 0), warmMean, 1e-7 * warmMean);
}

TEST(CalcEngine, InitialMarkingArgumentBeyondTheWidthOfTheCounts)
{
    // Marking 0 of a graph of single-byte counts takes 300 and then 70000
    // free places: the counts widen, and each graph is rebuilt from the
    // whole count. Arrivals as fast as services: p1 holds 0 ... K customers
    // alike, K / 2 on average.
    TPerfNet n;
    MM1KNet(n, 2, 1.0, 1.0);
    TCalcEngine engine(&n.Net);
    ASSERT_TRUE(n.load(engine));
    EXPECT_EQ(engine.Markings.Tokens.Bytes(), 1);
    engine.AddItems(kind(vkTokens), "p1");
    const TSweepArgument cards = argument("M(p2)", 2, 300, 69700);
    QTemporaryDir dir;
    engine.RebuildFile = dir.filePath("current.rag");
    engine.Builder.Limit = 100000;
    const TSweepOutcome out = engine.RunSweep(none(), cards);
    ASSERT_EQ(out.Kind, TSweepOutcome::Completed) << out.Message.toStdString();
    EXPECT_NEAR(engine.Result(0, 0, 0), 150.0, 1e-9 * 150);
    EXPECT_NEAR(engine.Result(0, 1, 0), 35000.0, 1e-9 * 35000);
    // Back to two free places, in single bytes again.
    EXPECT_EQ(engine.MarkingCount(), 3);
    EXPECT_EQ(engine.Markings.Tokens.Bytes(), 1);
}

TEST(PerfListing, OneArgumentFormInGroupsOfFour)
{
    TCalcEngine engine(nullptr);
    for (int p = 1; p <= 5; ++p)
        engine.Items.append({kind(vkTokens), QStringLiteral("p%1").arg(p), true});
    engine.Items.insert(1, {kind(vkRate), "t1", false}); // unlisted: never shown
    engine.Arg1Count = 5;
    engine.Arg2Count = 1;
    engine.Arg1Values = {1, 1.75, 2.5, 3.25, 4};
    engine.Arg2Values = {0};
    engine.Results.assign(5 * 6, 0.0);
    for (int i = 0; i < 5; ++i)
        for (int e = 0; e < 6; ++e)
            engine.ResultAt(i, 0, e) = (e + 1) * 0.123456 + i;
    engine.ResultAt(0, 0, 0) = 0.00004999;
    const QStringList lines = PerformanceListing(engine, "Lm1", "None");
    const QStringList expected = {
        "",
        " Analyze successful.  Data listing follows.",
        "Argument Value (Lm1)",
        "\tAverage tokens count in p1",
        "\t\tAverage tokens count in p2",
        "\t\t\tAverage tokens count in p3",
        "\t\t\t\tAverage tokens count in p4",
        "1,0000\t0,0000\t0,3704\t0,4938\t0,6173",
        "1,7500\t1,1230\t1,3700\t1,4940\t1,6170",
    };
    EXPECT_EQ(lines.mid(0, 9), expected);
    EXPECT_EQ(lines.size(), 2 + (1 + 4 + 5 + 1) + (1 + 1 + 5 + 1));
    EXPECT_EQ(lines[12], "");
    EXPECT_EQ(lines[13], "Argument Value (Lm1)");
    EXPECT_EQ(lines[14], "\tAverage tokens count in p5");
    EXPECT_EQ(lines[19], "4,0000\t4,7410");
}

TEST(PerfListing, NumbersHaveFourSignificantDigits)
{
    EXPECT_EQ(ListingNumber(1.75), "1,7500");
    EXPECT_EQ(ListingNumber(123.456), "123,5000");
    EXPECT_EQ(ListingNumber(0.000123456), "0,0001");
    EXPECT_EQ(ListingNumber(0.00004999), "0,0000");
    EXPECT_EQ(ListingNumber(-0.00001), "0,0000");
    EXPECT_EQ(ListingNumber(12345.6), "1,235E+0004");
    EXPECT_EQ(ShortestNumber(0.1), "0.1");
    EXPECT_EQ(ShortestNumber(1.0 / 3), "0.3333333333333333");
}
