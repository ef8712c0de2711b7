// The stochastic simulator: the compiled net against the live one, the
// estimates against the closed forms of an M/M/1/K queue, and the coverage
// of the confidence intervals over many seeds.
#include <gtest/gtest.h>

#include <cmath>

#include "simulation/sim_nets.h"
#include "simulation/stochastic_estimator.h"
#include "simulation/stochastic_net.h"

namespace {

const double kLambda = 1.0, kMu = 1.25;
const int kCapacity = 5;

// A net with every kind of choice the simulator makes: immediate
// transitions of two priorities and unequal weights, timed ones in a race,
// inhibitor and test arcs, weights above 1.
void MixedNet(TQRVDesigner& d)
{
    auto* pool = AddNode<TclsNodeDiscrete>(d, 10, 10, "pool");
    pool->SetTokensDirect(6);
    auto* busy = AddNode<TclsNodeDiscrete>(d, 10, 60, "busy");
    auto* done = AddNode<TclsNodeDiscrete>(d, 10, 110, "done");
    auto* gate = AddNode<TclsNodeDiscrete>(d, 10, 160, "gate");
    gate->SetTokensDirect(1);
    auto* start = AddNode<TclsTransTimed>(d, 80, 10, "start");
    start->Rate()->SetFormula("1.5");
    auto* pairUp = AddNode<TclsTransTimed>(d, 80, 60, "pairUp");
    pairUp->Rate()->SetFormula("0.7");
    auto* left = AddNode<TclsTransInstant>(d, 80, 110, "left");
    auto* right = AddNode<TclsTransInstant>(d, 80, 160, "right");
    auto* urgent = AddNode<TclsTransInstant>(d, 80, 210, "urgent");
    left->WeightSpeed()->SetFormula("2");
    right->WeightSpeed()->SetFormula("5");
    urgent->Priority()->SetFormula("3");
    auto* back = AddNode<TclsTransTimed>(d, 80, 260, "back");
    back->Rate()->SetFormula("0.9");
    AddArc<TclsLinkNormal>(d, pool, start);
    AddArc<TclsLinkNormal>(d, start, busy);
    AddArc<TclsLinkNormal>(d, busy, pairUp, "2");
    AddArc<TclsLinkNormal>(d, pairUp, done, "2");
    AddArc<TclsLinkNormal>(d, done, left);
    AddArc<TclsLinkNormal>(d, done, right);
    AddArc<TclsLinkNormal>(d, left, pool);
    AddArc<TclsLinkNormal>(d, right, busy);
    AddArc<TclsLinkTest>(d, gate, left);
    AddArc<TclsLinkNormal>(d, done, urgent, "3");
    AddArc<TclsLinkNormal>(d, urgent, pool, "3");
    AddArc<TclsLinkIngibitor>(d, busy, back);
    AddArc<TclsLinkNormal>(d, back, gate);
    AddArc<TclsLinkNormal>(d, gate, start);
    AddArc<TclsLinkNormal>(d, start, gate);
}

TStochasticEstimator queueEstimator(TQRVDesigner& d)
{
    TStochasticEstimator e(d);
    EXPECT_EQ(e.AddMeasure("tokens:q"), "");
    EXPECT_EQ(e.AddMeasure("rate:serve"), "");
    EXPECT_EQ(e.AddMeasure("prob:q_TOKENS >= 5"), "");
    return e;
}

} // namespace

TEST(StochasticNet, PlaysTheSameTrajectoryAsTheLiveEngine)
{
    TTestDesigner compiledNet, liveNet;
    MixedNet(compiledNet);
    MixedNet(liveNet);
    TStochasticNet net;
    QString why;
    ASSERT_TRUE(net.Compile(compiledNet, &why)) << why.toStdString();
    TSimRandom random(42);
    net.Reset(random);

    TSimEngine engine(liveNet, 42);
    engine.Open();
    engine.SetStochastic(true);
    engine.Step();
    int immediate = 0;
    for (int i = 0; i < 3000; ++i) {
        ASSERT_FALSE(net.Dead());
        ASSERT_EQ(net.Delay(), engine.TimeStep()) << "event " << i;
        const int fired = net.Advance();
        engine.Step();
        ASSERT_EQ(engine.FiringList().size(), 1u);
        ASSERT_EQ(fired, engine.FiringList().front()) << "event " << i;
        immediate += engine.Kind(fired) == skImmediate;
        for (const char* name : {"pool", "busy", "done", "gate"})
            ASSERT_EQ(net.Value(net.PlaceIndex(compiledNet.FindObject(name))),
                      static_cast<TclsNode*>(liveNet.FindObject(name))->Value());
    }
    EXPECT_GT(immediate, 300);
}

TEST(StochasticNet, RefusesWhatItCannotExpress)
{
    TTestDesigner guarded;
    QueueNet(guarded, 1, 2, 3, true);
    TStochasticNet net;
    QString why;
    EXPECT_FALSE(net.Compile(guarded, &why));
    EXPECT_EQ(why, "the guard of arrive reads the marking");

    TTestDesigner continuous;
    AddNode<TclsNodeContinuous>(continuous, 10, 10, "b1");
    EXPECT_FALSE(net.Compile(continuous, &why));
    EXPECT_EQ(why, "the net has continuous places");

    // Rates that read the marking are fine: they are read on the live net.
    TTestDesigner rates;
    TimedChain(rates, "0.5 * p1_TOKENS", 3);
    EXPECT_TRUE(net.Compile(rates, &why));
}

TEST(StochasticEstimator, StudentQuantiles)
{
    EXPECT_NEAR(StudentQuantile975(1), 12.7062, 1e-4);
    EXPECT_NEAR(StudentQuantile975(19), 2.0930, 1e-4);
    EXPECT_NEAR(StudentQuantile975(40), 2.021075, 2e-6);
    EXPECT_NEAR(StudentQuantile975(60), 2.000298, 2e-6);
    EXPECT_NEAR(StudentQuantile975(120), 1.979930, 2e-6);
    EXPECT_NEAR(StudentQuantile975(1000), 1.962339, 2e-6);
}

TEST(StochasticEstimator, MeasuresAreParsedAndExpanded)
{
    TTestDesigner d;
    QueueNet(d, 1, 2, 3);
    TStochasticEstimator e(d);
    EXPECT_EQ(e.AddMeasure("tokens:P*"), "");
    EXPECT_EQ(e.AddMeasure("tokens:q"), ""); // already there
    EXPECT_EQ(e.AddMeasure("rate:T*"), "");
    EXPECT_EQ(e.AddMeasure("prob:q_TOKENS > 1"), "");
    ASSERT_EQ(e.Measures().size(), 4u);
    EXPECT_EQ(e.Measures()[0].Description(), "Average tokens count in q");
    EXPECT_EQ(e.Measures()[1].Description(), "Average operation rate of arrive");
    EXPECT_EQ(e.Measures()[3].Description(), "in MacroState probabilityq_TOKENS > 1");
    EXPECT_EQ(e.AddMeasure("tokens:serve"), "tokens:serve: the net has no place named serve");
    EXPECT_EQ(e.AddMeasure("rate:zz"), "rate:zz: the net has no transition named zz");
    EXPECT_EQ(e.AddMeasure("mean:q"), "mean:q: a measure is tokens:PLACE, rate:TRANSITION or prob:CONDITION");
    EXPECT_FALSE(e.AddMeasure("prob:q_TOKENS >").isEmpty());
    EXPECT_FALSE(e.AddMeasure("prob:zz_TOKENS > 1").isEmpty());
    EXPECT_EQ(e.Measures().size(), 4u);
}

TEST(StochasticEstimator, BatchMeansAgreeWithTheQueueClosedForms)
{
    const TQueueExact exact = QueueExact(kLambda, kMu, kCapacity);
    for (bool guarded : {false, true}) {
        TTestDesigner d;
        QueueNet(d, kLambda, kMu, kCapacity, guarded);
        TStochasticEstimator e = queueEstimator(d);
        TEstimateSettings s;
        s.Until = guarded ? 20000 : 100000;
        s.Warmup = 50;
        s.Seed = 3;
        ASSERT_EQ(e.Run(s), "");
        EXPECT_EQ(e.Compiled(), !guarded);
        ASSERT_EQ(e.Results().size(), 3u);
        const double expected[] = {exact.Length, exact.Throughput, exact.Full};
        for (int m = 0; m < 3; ++m) {
            const TSimEstimate& r = e.Results()[static_cast<std::size_t>(m)];
            EXPECT_EQ(r.Samples, 40);
            // Twice the half-width: a 95 % interval misses one time in twenty.
            EXPECT_NEAR(r.Mean, expected[m], 2 * r.HalfWidth) << r.Description.toStdString();
            EXPECT_LT(r.HalfWidth, 0.1 * expected[m]) << r.Description.toStdString();
        }
        EXPECT_NEAR(e.ObservedTime(), s.Until, 1e-6 * s.Until);
        // The net is left as it was.
        EXPECT_EQ(static_cast<TclsNode*>(d.FindObject("q"))->Value(), 0);
    }
}

TEST(StochasticEstimator, ReplicationIntervalsCoverTheTruthNinetyFivePercentOfTheTime)
{
    const TQueueExact exact = QueueExact(kLambda, kMu, kCapacity);
    TTestDesigner d;
    QueueNet(d, kLambda, kMu, kCapacity);
    const int seeds = 300;
    int coveredLength = 0, coveredThroughput = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        TStochasticEstimator e(d);
        e.AddMeasure("tokens:q");
        e.AddMeasure("rate:serve");
        TEstimateSettings s;
        s.Replications = 10;
        s.Until = 200;
        s.Warmup = 20;
        s.Seed = static_cast<quint64>(seed);
        ASSERT_EQ(e.Run(s), "");
        const auto& r = e.Results();
        ASSERT_EQ(r[0].Samples, 10);
        coveredLength += std::fabs(r[0].Mean - exact.Length) <= r[0].HalfWidth;
        coveredThroughput += std::fabs(r[1].Mean - exact.Throughput) <= r[1].HalfWidth;
    }
    // Binomial(300, 0.95): standard deviation 1.3 %.
    EXPECT_GE(coveredLength, 0.90 * seeds);
    EXPECT_LE(coveredLength, 0.99 * seeds);
    EXPECT_GE(coveredThroughput, 0.90 * seeds);
    EXPECT_LE(coveredThroughput, 0.99 * seeds);
}

TEST(StochasticEstimator, BatchMeanIntervalsCoverTheTruth)
{
    const TQueueExact exact = QueueExact(kLambda, kMu, kCapacity);
    TTestDesigner d;
    QueueNet(d, kLambda, kMu, kCapacity);
    const int seeds = 150;
    int covered = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        TStochasticEstimator e(d);
        e.AddMeasure("tokens:q");
        TEstimateSettings s;
        s.Until = 4000;
        s.Warmup = 20;
        s.Seed = static_cast<quint64>(seed);
        ASSERT_EQ(e.Run(s), "");
        covered += std::fabs(e.Results()[0].Mean - exact.Length) <= e.Results()[0].HalfWidth;
    }
    EXPECT_GE(covered, 0.88 * seeds);
    EXPECT_LE(covered, 0.995 * seeds);
}

TEST(StochasticEstimator, StopsAtThePrecisionAsked)
{
    TTestDesigner d;
    QueueNet(d, kLambda, kMu, kCapacity);
    TStochasticEstimator e = queueEstimator(d);
    TEstimateSettings s;
    s.Precision = 0.05;
    s.Seed = 9;
    ASSERT_EQ(e.Run(s), "");
    for (const TSimEstimate& r : e.Results()) {
        EXPECT_LE(r.HalfWidth, 0.05 * r.Mean) << r.Description.toStdString();
        EXPECT_GE(r.Samples, 20);
        EXPECT_LE(r.Samples, 40);
    }
    // Replications go on past the minimum until the precision is reached.
    TStochasticEstimator more = queueEstimator(d);
    s.Replications = 2;
    s.Until = 100;
    ASSERT_EQ(more.Run(s), "");
    EXPECT_GT(more.Results()[0].Samples, 2);
    for (const TSimEstimate& r : more.Results())
        EXPECT_LE(r.HalfWidth, 0.05 * r.Mean) << r.Description.toStdString();
}

TEST(StochasticEstimator, PrecisionOutOfReachEndsAtTheFiringsCap)
{
    TTestDesigner d;
    QueueNet(d, kLambda, kMu, kCapacity);
    for (int replications : {0, 2}) {
        TStochasticEstimator e = queueEstimator(d);
        TEstimateSettings s;
        s.Precision = 1e-9;
        s.MaxFirings = 50000;
        s.Replications = replications;
        s.Firings = replications ? 1000 : 0;
        ASSERT_EQ(e.Run(s), "");
        EXPECT_GE(e.Firings(), 50000);
        EXPECT_LT(e.Firings(), 52000);
        EXPECT_EQ(e.Remarks().last(), "The precision asked for was not reached within 50000 firings.");
        EXPECT_GT(e.Results()[0].HalfWidth, 0);
    }
}

TEST(StochasticEstimator, SameSeedSameEstimates)
{
    TTestDesigner d;
    MixedNet(d);
    TEstimateSettings s;
    s.Firings = 20000;
    s.Seed = 77;
    TStochasticEstimator a(d), b(d), live(d);
    ASSERT_EQ(a.Run(s), "");
    ASSERT_EQ(b.Run(s), "");
    s.LiveNetOnly = true;
    ASSERT_EQ(live.Run(s), "");
    EXPECT_FALSE(live.Compiled());
    ASSERT_EQ(a.Results().size(), b.Results().size());
    for (std::size_t m = 0; m < a.Results().size(); ++m) {
        EXPECT_EQ(a.Results()[m].Mean, b.Results()[m].Mean);
        EXPECT_EQ(a.Results()[m].HalfWidth, b.Results()[m].HalfWidth);
        // The live net plays the same trajectory.
        EXPECT_NEAR(a.Results()[m].Mean, live.Results()[m].Mean, 1e-9 * (1 + std::fabs(a.Results()[m].Mean)));
    }
}

TEST(StochasticEstimator, DeadNetsAndEndlessImmediateLoops)
{
    TTestDesigner d;
    TimedChain(d, "1", 3);
    TStochasticEstimator e(d);
    e.AddMeasure("tokens:p2");
    e.AddMeasure("rate:t1");
    TEstimateSettings s;
    s.Precision = 0.01;
    ASSERT_EQ(e.Run(s), "");
    EXPECT_EQ(e.Results()[0].Mean, 3);
    EXPECT_EQ(e.Results()[0].HalfWidth, 0);
    EXPECT_EQ(e.Results()[1].Mean, 0);
    ASSERT_EQ(e.Remarks().size(), 1);
    EXPECT_TRUE(e.Remarks()[0].startsWith("The net is dead from model time "))
        << e.Remarks()[0].toStdString();

    TTestDesigner loop;
    auto* p = AddNode<TclsNodeDiscrete>(loop, 10, 10, "p1");
    p->SetTokensDirect(1);
    auto* t = AddNode<TclsTransInstant>(loop, 80, 10, "t1");
    AddArc<TclsLinkNormal>(loop, p, t);
    AddArc<TclsLinkNormal>(loop, t, p);
    TStochasticEstimator spin(loop);
    EXPECT_TRUE(spin.Run(s).contains("loop of immediate transitions"));

    TStochasticEstimator none(loop);
    EXPECT_EQ(none.Run(TEstimateSettings()),
              "The simulation needs a limit: a model time, a number of firings or a precision.");
    TEstimateSettings reps;
    reps.Replications = 3;
    reps.Precision = 0.1;
    EXPECT_EQ(none.Run(reps), "Independent replications need a length: a model time or a number of firings.");
}

TEST(StochasticEstimator, FailingRateIsNamed)
{
    TTestDesigner d;
    TimedChain(d, "1 / (3 - p2_TOKENS)", 5);
    TStochasticEstimator e(d);
    TEstimateSettings s;
    s.Until = 100;
    const QString error = e.Run(s);
    EXPECT_TRUE(error.contains("the rate of transition t1 (\"1 / (3 - p2_TOKENS)\") cannot be evaluated"))
        << error.toStdString();
    EXPECT_EQ(static_cast<TclsNode*>(d.FindObject("p1"))->Value(), 5);
}
