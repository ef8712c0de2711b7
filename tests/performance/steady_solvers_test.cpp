// The generator and the solvers, against closed forms and against each other.
#include <gtest/gtest.h>

#include <cmath>

#include "perf_test_support.h"
#include "performance/steady_solvers.h"
#include "reach/reach_test_support.h"

namespace {

std::vector<double> solve(const TSparseGenerator& g, TSteadyMethod method, TSolveReport* report = nullptr,
                          IQRVProgress* progress = nullptr)
{
    TSteadySettings s;
    s.Method = method;
    s.Precision = 1e-13;
    s.Iterations = 100000;
    s.Tolerance = 1e-13;
    std::vector<double> x;
    TSolveReport r;
    const bool ok = SolveSteady(g, s, x, progress, r);
    EXPECT_TRUE(ok) << r.Message.toStdString();
    if (report)
        *report = r;
    return x;
}

const TSteadyMethod kMethods[] = {smGauss, smSeidel, smIterative};

} // namespace

TEST(SparseGenerator, SumsParallelEntriesAndKeepsSelfLoopsOnTheDiagonal)
{
    // 0 -> 1 twice (rates 1 and 2), 0 -> 0 (rate 4), 1 -> 0 (rate 5).
    const TSparseGenerator g = GeneratorOf(2, {{0, 1, 1}, {0, 1, 2}, {0, 0, 4}, {1, 0, 5}});
    EXPECT_EQ(g.Element(0, 1), 3);
    EXPECT_EQ(g.Element(1, 0), 5);
    EXPECT_EQ(g.Element(0, 0), -7);      // every entry leaves the diagonal
    EXPECT_EQ(g.BalanceDiagonal(0), -3); // but the balance keeps a self-loop out
    EXPECT_EQ(g.NonZeros(), 2);
    EXPECT_EQ(g.Element(5, 0), 0);
    // The self-loop changes nothing of the stationary probabilities: 5/8 and 3/8.
    for (TSteadyMethod m : kMethods) {
        const std::vector<double> x = solve(g, m);
        EXPECT_NEAR(x[0], 5.0 / 8, 1e-12);
        EXPECT_NEAR(x[1], 3.0 / 8, 1e-12);
    }
}

TEST(SteadySolvers, SingleMarkingAndTwoMarkings)
{
    const TSparseGenerator one = GeneratorOf(1, {{0, 0, 2}});
    for (TSteadyMethod m : kMethods)
        EXPECT_DOUBLE_EQ(solve(one, m)[0], 1.0);
    const double a = 0.7, b = 3.1;
    const TSparseGenerator two = GeneratorOf(2, {{0, 1, a}, {1, 0, b}});
    for (TSteadyMethod m : kMethods) {
        const std::vector<double> x = solve(two, m);
        EXPECT_NEAR(x[0], b / (a + b), 1e-12);
        EXPECT_NEAR(x[1], a / (a + b), 1e-12);
    }
}

TEST(SteadySolvers, MM1KAndBirthDeathClosedFormsForEveryMethod)
{
    // An M/M/1/K queue on both sides of the dense limit, and a birth-death
    // chain whose rates change with the state.
    for (int capacity : {10, DenseGaussLimit + 500}) {
        const bool large = capacity > DenseGaussLimit;
        const double lambda = large ? 1.0 : 0.8, mu = large ? 1.02 : 1.3;
        std::vector<TRate> rates;
        for (int k = 0; k < capacity; ++k) {
            rates.push_back({k, k + 1, lambda});
            rates.push_back({k + 1, k, mu});
        }
        const TSparseGenerator g = GeneratorOf(capacity + 1, rates);
        const std::vector<double> exact = MM1KProbabilities(capacity, lambda, mu);
        for (TSteadyMethod m : kMethods) {
            if (large && m != smGauss) // the exact sparse path; iterations mix too slowly here
                continue;
            TSolveReport r;
            const std::vector<double> x = solve(g, m, &r);
            // Relative to the probability where it matters, absolute in the far tail.
            double worst = 0;
            for (int k = 0; k <= capacity; ++k)
                worst = std::max(
                    worst, std::fabs(x[static_cast<std::size_t>(k)] - exact[static_cast<std::size_t>(k)]) /
                               std::max(exact[static_cast<std::size_t>(k)], 1e-3));
            EXPECT_LT(worst, 1e-10) << capacity << " " << r.Method.toStdString();
        }
    }
    const int n = 60;
    std::vector<TRate> rates;
    for (int k = 0; k + 1 < n; ++k) {
        rates.push_back({k, k + 1, 2.0 + 0.1 * k});
        rates.push_back({k + 1, k, 1.0 + 0.2 * (k + 1)});
    }
    const TSparseGenerator g = GeneratorOf(n, rates);
    std::vector<double> exact(n, 1.0);
    double sum = 1;
    for (int k = 1; k < n; ++k) {
        exact[static_cast<std::size_t>(k)] =
            exact[static_cast<std::size_t>(k) - 1] * (2.0 + 0.1 * (k - 1)) / (1.0 + 0.2 * k);
        sum += exact[static_cast<std::size_t>(k)];
    }
    for (TSteadyMethod m : kMethods) {
        const std::vector<double> x = solve(g, m);
        for (int k = 0; k < n; ++k)
            EXPECT_NEAR(x[static_cast<std::size_t>(k)], exact[static_cast<std::size_t>(k)] / sum, 1e-11);
    }
}

TEST(SteadySolvers, RandomChainsAgreeBetweenMethods)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 5; ++round) {
        const int n = round < 4 ? 5 + 40 * round : DenseGaussLimit + 100;
        const TSparseGenerator g = RandomChain(rng, n, 3 * n);
        TSolveReport dense;
        std::vector<double> reference;
        if (n <= DenseGaussLimit) {
            ASSERT_TRUE(SolveDenseGauss(g, reference, nullptr, dense));
            std::vector<double> lu;
            TSolveReport r;
            ASSERT_TRUE(SolveSparseLu(g, lu, nullptr, r));
            for (int k = 0; k < n; ++k)
                EXPECT_NEAR(lu[static_cast<std::size_t>(k)] / reference[static_cast<std::size_t>(k)], 1.0,
                            1e-12);
        } else {
            ASSERT_TRUE(SolveSparseLu(g, reference, nullptr, dense));
        }
        EXPECT_LT(RelativeResidual(g, reference), 1e-12);
        // Agreement to 1e-10 of the largest probability.
        const double top = *std::max_element(reference.begin(), reference.end());
        for (TSteadyMethod m : {smSeidel, smIterative}) {
            const std::vector<double> x = solve(g, m);
            for (int k = 0; k < n; ++k)
                ASSERT_NEAR(x[static_cast<std::size_t>(k)], reference[static_cast<std::size_t>(k)],
                            1e-10 * top)
                    << n << " " << m;
        }
    }
}

TEST(SteadySolvers, BreakDuringBackSubstitutionFails)
{
    std::mt19937 rng(7);
    const TSparseGenerator g = RandomChain(rng, 50, 100);
    TRecordingProgress progress;
    progress.StopOnStatus = QString::fromLatin1(SolverTexts::Phase2);
    std::vector<double> x;
    TSolveReport r;
    EXPECT_FALSE(SolveDenseGauss(g, x, &progress, r));
    EXPECT_TRUE(r.Stopped);
    EXPECT_TRUE(progress.Statuses.contains(QString::fromLatin1(SolverTexts::Phase1)));
}

TEST(SteadySolvers, SeidelDivergingFromEveryStartFallsBackToGauss)
{
    // Rates of 10 and 20 leave a residual above 1 after the first step of every attempt.
    const TSparseGenerator g = GeneratorOf(3, {{0, 1, 10}, {1, 2, 20}, {2, 0, 15}, {1, 0, 12}});
    TSteadySettings s;
    s.Method = smSeidel;
    std::vector<double> x;
    TSolveReport r;
    ASSERT_TRUE(SolveSteady(g, s, x, nullptr, r));
    EXPECT_TRUE(r.FellBack);
    std::vector<double> exact;
    TSolveReport e;
    ASSERT_TRUE(SolveDenseGauss(g, exact, nullptr, e));
    for (int k = 0; k < 3; ++k)
        EXPECT_DOUBLE_EQ(x[static_cast<std::size_t>(k)], exact[static_cast<std::size_t>(k)]);
}

TEST(SteadySolvers, ZeroPivotNamesTheMarkingAndIterationLimitsAreReported)
{
    // Two closed classes {0,1} and {2,3}: no unique solution.
    const TSparseGenerator g = GeneratorOf(4, {{0, 1, 1}, {1, 0, 1}, {2, 3, 1}, {3, 2, 1}});
    std::vector<double> x;
    TSolveReport r;
    EXPECT_FALSE(SolveDenseGauss(g, x, nullptr, r));
    EXPECT_TRUE(r.Message.contains("zero pivot at marking M")) << r.Message.toStdString();
    // Too few iterations: the iterative method says how far it got.
    std::mt19937 rng(3);
    const TSparseGenerator big = RandomChain(rng, 3000, 9000);
    TSteadySettings s;
    s.Method = smIterative;
    s.MaxSweeps = 2;
    s.Tolerance = 1e-14;
    TSolveReport it;
    EXPECT_FALSE(SolveSteady(big, s, x, nullptr, it));
    EXPECT_TRUE(it.Message.contains("after 2 iterations")) << it.Message.toStdString();
}

TEST(SteadySolvers, IterativeMethodOnFewDistinctRatesSplitOverCores)
{
    // Two independent birth-death queues on a grid, large enough to be swept
    // on every core: pi(a, b) is proportional to 0.5^a 0.8^b. Rates from a
    // small set are kept as indexes; the arrivals of the first queue come as
    // two entries of 0.5 each, which add up.
    const int side = 113;
    const auto at = [&](int a, int b) { return a * side + b; };
    std::vector<TRate> rates;
    for (int a = 0; a < side; ++a) {
        for (int b = 0; b < side; ++b) {
            if (a + 1 < side) {
                rates.push_back({at(a, b), at(a + 1, b), 0.5});
                rates.push_back({at(a, b), at(a + 1, b), 0.5});
                rates.push_back({at(a + 1, b), at(a, b), 2.0});
            }
            if (b + 1 < side) {
                rates.push_back({at(a, b), at(a, b + 1), 0.8});
                rates.push_back({at(a, b + 1), at(a, b), 1.0});
            }
        }
    }
    const TSparseGenerator g = GeneratorOf(side * side, rates);
    ASSERT_FALSE(g.RateIndex.empty());
    ASSERT_EQ(g.RateIndex.size(), g.Value.size());
    EXPECT_EQ(g.NonZeros(), 4 * side * (side - 1));
    EXPECT_EQ(g.Element(at(0, 0), at(1, 0)), 1.0);
    for (std::size_t k = 0; k < g.Value.size(); ++k)
        ASSERT_EQ(g.Rates[g.RateIndex[k]], g.Value[k]);
    std::vector<double> exact(static_cast<std::size_t>(side * side));
    double sum = 0;
    for (int a = 0; a < side; ++a)
        for (int b = 0; b < side; ++b)
            sum += exact[static_cast<std::size_t>(at(a, b))] = std::pow(0.5, a) * std::pow(0.8, b);
    for (double& v : exact)
        v /= sum;
    for (TIterativeKind kind : {ikDefault, ikGaussSeidel}) {
        TSteadySettings s;
        s.Method = smIterative;
        s.Kind = kind;
        s.Tolerance = 1e-13;
        std::vector<double> x;
        TSolveReport r;
        ASSERT_TRUE(SolveSteady(g, s, x, nullptr, r)) << r.Message.toStdString();
        // The residual reported is the one of the solution returned.
        EXPECT_LE(r.Residual, 1e-13);
        EXPECT_DOUBLE_EQ(r.Residual, RelativeResidual(g, x));
        for (std::size_t k = 0; k < exact.size(); ++k)
            ASSERT_NEAR(x[k], exact[k], 1e-10 * exact[0]) << kind << " " << k;
    }
    // Rates drawn from a continuum are kept as they are.
    std::mt19937 rng(99);
    EXPECT_TRUE(RandomChain(rng, 500, 1500).RateIndex.empty());
}

namespace {

// A full graph of a birth-death chain: "up" from k to k + 1, "down" back,
// and, when `twin`, a second arrival "up2" beside every "up".
TChainGraph birthDeathGraph(int n, bool twin)
{
    TChainGraph graph;
    graph.MarkingCount = n;
    graph.Labels << QStringLiteral("up") << QStringLiteral("down") << QStringLiteral("up2");
    graph.EntryStart.push_back(0);
    for (int k = 0; k < n; ++k) {
        if (k + 1 < n) {
            graph.EntryTarget.push_back(k + 1);
            graph.EntryLabel.push_back(0);
            if (twin) {
                graph.EntryTarget.push_back(k + 1);
                graph.EntryLabel.push_back(2);
            }
        }
        if (k > 0) {
            graph.EntryTarget.push_back(k - 1);
            graph.EntryLabel.push_back(1);
        }
        graph.EntryStart.push_back(static_cast<qint64>(graph.EntryTarget.size()));
    }
    return graph;
}

} // namespace

TEST(SparseGenerator, RatesOfFullGraphsAreIndexedWithoutValuesUnlessEntriesAddUp)
{
    // Large enough to be built and iterated on every core.
    const int n = 30000;
    TLabelRates rates;
    rates.Static = {1.0, 0.25, 1.0};
    rates.Dynamic = {0, 0, 0};
    for (bool twin : {false, true}) {
        TSparseGenerator g;
        bool stopped = false;
        ASSERT_TRUE(BuildSparseGenerator(birthDeathGraph(n, twin), rates, g, nullptr, stopped).isEmpty());
        ASSERT_FALSE(g.RateIndex.empty());
        // Without twins every element is one label's rate; with them the
        // arrivals add up to 2, which no label has.
        EXPECT_EQ(g.Value.empty(), !twin);
        const double up = twin ? 2.0 : 1.0;
        const double down = 0.25;
        EXPECT_EQ(g.NonZeros(), 2 * (n - 1));
        EXPECT_EQ(g.Element(0, 1), up);
        EXPECT_EQ(g.Element(1, 0), down);
        EXPECT_EQ(g.Element(7, 7), -(up + down));
        EXPECT_EQ(g.Element(0, 2), 0.0);
        for (int j = 0; j < n; ++j)
            for (qint32 k = g.ColumnStart[static_cast<std::size_t>(j)];
                 k < g.ColumnStart[static_cast<std::size_t>(j) + 1]; ++k)
                ASSERT_EQ(g.ValueAt(k), g.RowIndex[static_cast<std::size_t>(k)] < j ? up : down) << j;
        // pi_k ~ (up / down)^k, exactly by the factorisation, to the residual by the iteration.
        for (TSteadyMethod method : {smGauss, smIterative}) {
            TSteadySettings s;
            s.Method = method;
            std::vector<double> x;
            TSolveReport r;
            ASSERT_TRUE(SolveSteady(g, s, x, nullptr, r)) << r.Message.toStdString();
            ASSERT_EQ(x.size(), static_cast<std::size_t>(n));
            EXPECT_LE(r.Residual, 1e-10);
            const double tolerance = method == smGauss ? 1e-14 : 1e-8;
            const double q = down / up;
            for (int m = 0; m < 40; ++m)
                ASSERT_NEAR(x[static_cast<std::size_t>(n - 1 - m)], (1 - q) * std::pow(q, m), tolerance)
                    << method << " " << m;
        }
    }
}

TEST(SteadySolvers, ExtrapolatedSweepsAgreeWithTheExactSolutionInNoMoreSweeps)
{
    // The default iteration starts each sweep from a combination of the last
    // two sweeps' results. On random chains and on a birth-death chain with
    // state-dependent rates it must reach the exact solution to the
    // tolerance, and never take more than a few sweeps beyond plain
    // over-relaxed sweeps.
    std::mt19937 rng(515);
    std::vector<TSparseGenerator> chains;
    for (int n : {12, 150, 1500})
        chains.push_back(RandomChain(rng, n, 3 * n));
    std::vector<TRate> birthDeath;
    for (int k = 0; k + 1 < 100; ++k) {
        birthDeath.push_back({k, k + 1, 1.0 + 0.01 * k});
        birthDeath.push_back({k + 1, k, 2.0 + 0.005 * k});
    }
    chains.push_back(GeneratorOf(100, birthDeath));
    for (std::size_t c = 0; c < chains.size(); ++c) {
        const TSparseGenerator& g = chains[c];
        std::vector<double> exact;
        TSolveReport e;
        ASSERT_TRUE(SolveDenseGauss(g, exact, nullptr, e));
        const double top = *std::max_element(exact.begin(), exact.end());
        int sweeps[2] = {0, 0};
        for (TIterativeKind kind : {ikDefault, ikSor}) {
            TSteadySettings s;
            s.Method = smIterative;
            s.Kind = kind;
            s.Omega = 1.2;
            s.Tolerance = 1e-12;
            std::vector<double> x;
            TSolveReport r;
            ASSERT_TRUE(SolveSteady(g, s, x, nullptr, r)) << c << " " << r.Message.toStdString();
            EXPECT_LE(r.Residual, 1e-12);
            for (std::size_t k = 0; k < exact.size(); ++k)
                ASSERT_NEAR(x[k], exact[k], 1e-10 * top) << c << " " << kind << " " << k;
            sweeps[kind == ikDefault ? 0 : 1] = r.Sweeps;
        }
        EXPECT_LE(sweeps[0], sweeps[1] + 3) << c;
    }
}

TEST(SteadySolvers, ExtrapolationGivesWayWhenOverRelaxationFails)
{
    // Over-relaxed sweeps take every value of the first chain to 0 by the
    // second sweep, and crawl on the second chain: the iteration drops the
    // over-relaxation and the extrapolation where they fail, and converges
    // to the exact solution in every kind; with too few sweeps it says so.
    const std::vector<std::vector<TRate>> chains = {
        {{0, 1, 0.1}, {1, 2, 1}, {2, 3, 100}, {3, 0, 0.1}, {2, 2, 1}, {2, 3, 1}, {0, 0, 1}, {3, 2, 1}},
        {{0, 1, 100},
         {1, 2, 0.1},
         {2, 3, 100},
         {3, 4, 10},
         {4, 5, 0.1},
         {5, 0, 100},
         {5, 0, 1},
         {5, 4, 1},
         {5, 5, 1},
         {0, 5, 1},
         {1, 1, 0.01},
         {2, 0, 0.01}}};
    for (const std::vector<TRate>& rates : chains) {
        int n = 0;
        for (const TRate& t : rates)
            n = std::max({n, t.From + 1, t.To + 1});
        const TSparseGenerator g = GeneratorOf(n, rates);
        std::vector<double> exact;
        TSolveReport e;
        ASSERT_TRUE(SolveDenseGauss(g, exact, nullptr, e));
        TSteadySettings s;
        s.Method = smIterative;
        s.Tolerance = 1e-14;
        std::vector<double> x;
        TSolveReport r;
        for (TIterativeKind kind : {ikSor, ikGaussSeidel}) {
            s.Kind = kind;
            TSolveReport q;
            EXPECT_TRUE(SolveSteady(g, s, x, nullptr, q)) << kind << q.Message.toStdString();
        }
        s.Kind = ikDefault;
        ASSERT_TRUE(SolveSteady(g, s, x, nullptr, r)) << r.Message.toStdString();
        EXPECT_LE(r.Residual, 1e-14);
        for (int k = 0; k < n; ++k)
            EXPECT_NEAR(x[static_cast<std::size_t>(k)], exact[static_cast<std::size_t>(k)], 1e-10) << k;
        s.MaxSweeps = 1;
        TSolveReport few;
        EXPECT_FALSE(SolveSteady(g, s, x, nullptr, few));
        EXPECT_TRUE(few.Message.contains("after 1 iterations")) << few.Message.toStdString();
    }
}
