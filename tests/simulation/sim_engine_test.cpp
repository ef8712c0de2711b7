// The simulation engine in deterministic and stochastic timing, on the live
// net: scheduling, the clock, the conflict order, failures.
#include <gtest/gtest.h>

#include <cmath>

#include "simulation/graph_names.h"
#include "simulation/sim_engine.h"
#include "simulation/sim_error.h"
#include "simulation/sim_nets.h"

namespace {

double tokens(const TQRVDesigner& d, const char* place)
{
    return static_cast<TclsNode*>(d.FindObject(QString::fromLatin1(place)))->Value();
}

} // namespace

TEST(SimEngine, ImmediateTransitionsFireWithoutTime)
{
    TTestDesigner d;
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 10, 10, "p1");
    p1->SetTokensDirect(3);
    auto* t1 = AddNode<TclsTransInstant>(d, 80, 10, "t1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 150, 10, "p2");
    AddArc<TclsLinkNormal>(d, p1, t1);
    AddArc<TclsLinkNormal>(d, t1, p2);

    TSimEngine e(d);
    EXPECT_EQ(e.Open(), "");
    EXPECT_EQ(e.DefaultStep(), 2147483647.0);
    for (int i = 0; i < 2; ++i) {
        e.Step();
        EXPECT_EQ(e.FiringList().size(), 1u);
        EXPECT_EQ(e.ModelTime(), 0.0);
        EXPECT_EQ(e.TimeStep(), 0.0);
    }
    e.Step();
    EXPECT_EQ(tokens(d, "p1"), 0);
    EXPECT_EQ(tokens(d, "p2"), 3);
    EXPECT_EQ(t1->FireCount, 3);
    // Disabled: the clock moves by the default step.
    EXPECT_EQ(e.ModelTime(), 2147483647.0);
}

TEST(SimEngine, TimedTransitionFiresOneOverRateAfterEnabling)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    TSimEngine e(d);
    e.Open();
    EXPECT_EQ(e.DefaultStep(), 0.5);
    std::vector<double> firedAt, clock;
    for (int i = 0; i < 7; ++i) {
        const double now = e.ModelTime();
        e.Step();
        if (!e.FiringList().empty())
            firedAt.push_back(now);
        clock.push_back(e.ModelTime());
    }
    EXPECT_EQ(firedAt, (std::vector<double>{0.5, 1.0, 1.5}));
    EXPECT_EQ(clock, (std::vector<double>{0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5}));
    EXPECT_EQ(tokens(d, "p2"), 3);
    // Disabled transitions are unscheduled.
    EXPECT_EQ(e.ScheduledTime(0), 0.0);
}

TEST(SimEngine, ConflictFollowsWeightSharesNotPriorities)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 10, 10, "p1");
    p->SetTokensDirect(1);
    auto* t1 = AddNode<TclsTransInstant>(d, 80, 10, "t1");
    auto* t2 = AddNode<TclsTransInstant>(d, 80, 60, "t2");
    t1->WeightSpeed()->SetFormula("1");
    t2->WeightSpeed()->SetFormula("3");
    t1->Priority()->SetFormula("9");
    for (TclsTrans* t : {static_cast<TclsTrans*>(t1), static_cast<TclsTrans*>(t2)}) {
        AddArc<TclsLinkNormal>(d, p, t);
        AddArc<TclsLinkNormal>(d, t, p);
    }
    TSimEngine e(d, 7);
    e.Open();
    EXPECT_DOUBLE_EQ(e.WeightShare(0), 0.25);
    EXPECT_DOUBLE_EQ(e.WeightShare(1), 0.75);
    for (int i = 0; i < 400; ++i) {
        e.Step();
        ASSERT_EQ(e.FiringList().size(), 1u);
        ASSERT_EQ(e.ModelTime(), 0.0);
    }
    EXPECT_EQ(t1->FireCount + t2->FireCount, 400);
    EXPECT_NEAR(t2->FireCount, 3 * t1->FireCount, 4);
    EXPECT_EQ(tokens(d, "p1"), 1);
}

TEST(SimEngine, UnfedImmediateTransitionsAreTriedLast)
{
    // t2 has no input place: its share is 0 and its key infinite; t1 is
    // tried first and takes p1's only token before t3 can.
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 10, 10, "p1");
    p->SetTokensDirect(1);
    auto* t1 = AddNode<TclsTransInstant>(d, 80, 10, "t1");
    auto* t2 = AddNode<TclsTransInstant>(d, 80, 60, "t2");
    auto* sink = AddNode<TclsNodeDiscrete>(d, 150, 10, "p2");
    AddArc<TclsLinkNormal>(d, p, t1);
    AddArc<TclsLinkNormal>(d, t1, sink);
    AddArc<TclsLinkNormal>(d, t2, sink);
    TSimEngine e(d, 3);
    e.Open();
    EXPECT_EQ(e.WeightShare(1), 0.0);
    EXPECT_TRUE(std::isinf(e.OrderKey(1)));
    for (int seed = 0; seed < 20; ++seed) {
        e.Random().Seed(static_cast<quint64>(seed));
        e.Restart();
        e.BeginStep();
        ASSERT_EQ(e.ReadyList().size(), 2u);
        EXPECT_EQ(e.ReadyList().back(), 1) << "seed " << seed;
        e.BeginOutputs();
        e.EndStep();
    }
}

TEST(SimEngine, OmegaPlacesKeepTheirTokens)
{
    TTestDesigner d;
    TimedChain(d, "1", 99999);
    TSimEngine e(d);
    e.Open();
    for (int i = 0; i < 5; ++i)
        e.Step();
    EXPECT_EQ(tokens(d, "p1"), 99999);
    EXPECT_EQ(tokens(d, "p2"), 4);
}

TEST(SimEngine, RestartPutsTheInitialMarkingBack)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    TSimEngine e(d);
    e.Open();
    for (int i = 0; i < 3; ++i)
        e.Step();
    EXPECT_FALSE(e.AtInitialMarking());
    e.Restart();
    EXPECT_TRUE(e.AtInitialMarking());
    EXPECT_EQ(e.ModelTime(), 0.0);
    EXPECT_EQ(e.PreviousTime(), 0.0);
    EXPECT_EQ(e.Transition(0)->FireCount, 0);
    EXPECT_EQ(e.ScheduledTime(0), 0.0);
    e.Step();
    EXPECT_EQ(e.ModelTime(), 0.5);
}

TEST(SimEngine, ZeroRateWaitsUntilTheRateIsPositive)
{
    // t1's rate is p2's token count; t2 puts a token into p2 at time 1.
    TTestDesigner d;
    TimedChain(d, "p2_TOKENS", 1);
    auto* p3 = AddNode<TclsNodeDiscrete>(d, 10, 80, "p3");
    p3->SetTokensDirect(1);
    auto* t2 = AddNode<TclsTransTimed>(d, 80, 80, "t2");
    AddArc<TclsLinkNormal>(d, p3, t2);
    AddArc<TclsLinkNormal>(d, t2, d.FindObject("p2"));
    TSimEngine e(d);
    e.Open();
    EXPECT_EQ(e.DefaultStep(), 1.0);
    std::vector<std::pair<double, QString>> fired;
    for (int i = 0; i < 4; ++i) {
        const double now = e.ModelTime();
        e.Step();
        for (int t : e.FiringList())
            fired.emplace_back(now, e.Transition(t)->Name());
    }
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[0], std::make_pair(1.0, QString("t2")));
    EXPECT_EQ(fired[1], std::make_pair(2.0, QString("t1")));
}

TEST(SimEngine, ContinuousTransitionsMoveFlowOverThePreviousStep)
{
    TTestDesigner d;
    auto* b1 = AddNode<TclsNodeContinuous>(d, 10, 10, "b1");
    b1->SetLevelDirect(10);
    auto* q1 = AddNode<TclsTransContinuous>(d, 80, 10, "q1");
    q1->Expectance()->SetFormula("2");
    auto* b2 = AddNode<TclsNodeContinuous>(d, 150, 10, "b2");
    AddArc<TclsLinkContinuous>(d, b1, q1);
    AddArc<TclsLinkContinuous>(d, q1, b2);
    TSimEngine e(d);
    e.Open();
    EXPECT_EQ(e.DefaultStep(), 1.0);
    e.Step(); // scheduled for time 1
    EXPECT_EQ(b1->Level(), 10);
    e.Step(); // ready at 1: two units over the step from 0 to 1
    EXPECT_EQ(b1->Level(), 8);
    EXPECT_EQ(b2->Level(), 2);
    EXPECT_EQ(q1->FireCount, 0);
    for (int i = 0; i < 10; ++i)
        e.Step();
    EXPECT_EQ(b1->Level(), 0); // clamped at the lower bound
    EXPECT_EQ(b2->Level(), 10);
}

TEST(SimEngine, FailingFormulaStopsTheStepAndNamesIt)
{
    // Both transitions are ready at time 1; t2's rate divides by zero once
    // t1 emptied p1. t1's firing is complete all the same.
    TTestDesigner d;
    TimedChain(d, "1", 1);
    auto* t2 = AddNode<TclsTransTimed>(d, 80, 80, "t2");
    t2->Rate()->SetFormula("1/p1_TOKENS");
    auto* p3 = AddNode<TclsNodeDiscrete>(d, 150, 80, "p3");
    AddArc<TclsLinkNormal>(d, t2, p3);
    TSimEngine e(d);
    EXPECT_EQ(e.Open(), "");
    e.Step();
    try {
        e.Step(); // t1 and t2 fire at 1; then t2's rate is read for the time step
        FAIL() << "the step should fail";
    } catch (const ESimError& error) {
        EXPECT_TRUE(error.Message.contains("the rate of transition t2 (\"1/p1_TOKENS\") cannot be evaluated"))
            << error.Message.toStdString();
        EXPECT_TRUE(error.Message.startsWith("The simulation stopped at model time 1:"))
            << error.Message.toStdString();
    }
    EXPECT_EQ(tokens(d, "p1") + tokens(d, "p2"), 1);
}

TEST(SimEngine, FailureAfterInputsWereTakenStillProducesTheOutputs)
{
    // t1 (immediate) takes p1's token; t2 (immediate, tried after it: its
    // share is 0) has a guard that fails once p1 is empty.
    TTestDesigner d;
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 10, 10, "p1");
    p1->SetTokensDirect(1);
    auto* t1 = AddNode<TclsTransInstant>(d, 80, 10, "t1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 150, 10, "p2");
    AddArc<TclsLinkNormal>(d, p1, t1);
    AddArc<TclsLinkNormal>(d, t1, p2);
    auto* t2 = AddNode<TclsTransInstant>(d, 80, 80, "t2");
    t2->Guard()->SetFormula("1/p1_TOKENS");
    TSimEngine e(d);
    e.Open();
    try {
        e.BeginStep();
        FAIL() << "the step should fail";
    } catch (const ESimError& error) {
        EXPECT_TRUE(error.Message.contains("the guard of transition t2")) << error.Message.toStdString();
    }
    EXPECT_EQ(p1->Tokens(), 0);
    EXPECT_EQ(p2->Tokens(), 1);
}

TEST(SimEngine, StochasticTimingDrawsExponentialDelays)
{
    // One timed transition of rate 4 with plenty of tokens: the mean of
    // the delays is 1/4 within a few standard errors.
    TTestDesigner d;
    TimedChain(d, "4", 5000);
    TSimEngine e(d, 11);
    e.Open();
    e.SetStochastic(true);
    e.Step(); // chooses the first firing
    double sum = 0;
    const int n = 4000;
    for (int i = 0; i < n; ++i) {
        sum += e.ModelTime() - e.PreviousTime();
        e.Step();
        ASSERT_EQ(e.FiringList().size(), 1u);
    }
    EXPECT_NEAR(sum / n, 0.25, 4 * 0.25 / std::sqrt(n));
    EXPECT_EQ(tokens(d, "p2"), n);
}

TEST(SimEngine, StochasticTimingFiresImmediateByPriorityThenWeight)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 10, 10, "p1");
    p->SetTokensDirect(1);
    auto* low = AddNode<TclsTransInstant>(d, 80, 10, "low");
    auto* a = AddNode<TclsTransInstant>(d, 80, 60, "a");
    auto* b = AddNode<TclsTransInstant>(d, 80, 110, "b");
    low->Priority()->SetFormula("0");
    a->Priority()->SetFormula("2");
    b->Priority()->SetFormula("2");
    a->WeightSpeed()->SetFormula("1");
    b->WeightSpeed()->SetFormula("3");
    auto* timed = AddNode<TclsTransTimed>(d, 80, 160, "slow");
    for (TclsTrans* t : std::initializer_list<TclsTrans*>{low, a, b, timed}) {
        AddArc<TclsLinkNormal>(d, p, t);
        AddArc<TclsLinkNormal>(d, t, p);
    }
    TSimEngine e(d, 5);
    e.Open();
    e.SetStochastic(true);
    for (int i = 0; i < 4001; ++i)
        e.Step();
    EXPECT_EQ(e.ModelTime(), 0.0);
    EXPECT_EQ(low->FireCount, 0);
    EXPECT_EQ(timed->FireCount, 0);
    EXPECT_EQ(a->FireCount + b->FireCount, 4000);
    // Binomial(4000, 0.75): standard deviation 27.
    EXPECT_NEAR(b->FireCount, 3000, 110);
}

TEST(SimGraphs, NamesAndValues)
{
    TTestDesigner d;
    TimedChain(d, "2.5", 3);
    const TGraphName g = TGraphName::Parse("p1 - TOKENS");
    EXPECT_EQ(g.Object, "p1");
    EXPECT_EQ(g.Variable, "TOKENS");
    EXPECT_EQ(TGraphName::Compose("t1", "Rate"), "t1 - Rate");
    double v = 0;
    EXPECT_TRUE(GraphValue(d, "p1 - TOKENS", v));
    EXPECT_EQ(v, 3);
    EXPECT_TRUE(GraphValue(d, "t1 - Rate", v));
    EXPECT_EQ(v, 2.5);
    EXPECT_FALSE(GraphValue(d, "p9 - TOKENS", v));
    EXPECT_FALSE(GraphValue(d, "L1 - TOKENS", v)); // arcs publish no variables

    // A plot that cannot be read names the graph and the formula.
    auto* p1 = static_cast<TclsNode*>(d.FindObject("p1"));
    ASSERT_EQ(p1->Cost()->TrySetFormula("1/(p2_TOKENS - 3)"), "");
    static_cast<TclsNodeDiscrete*>(d.FindObject("p2"))->SetTokensDirect(3);
    try {
        PlotValue(d, "p1 - COST", 2.5, v);
        FAIL() << "the plot should fail";
    } catch (const ESimError& e) {
        EXPECT_TRUE(
            e.Message.startsWith("The graph p1 - COST cannot be plotted at model time 2.5: the cost of "
                                 "place p1 (\"1/(p2_TOKENS - 3)\") cannot be evaluated: "))
            << e.Message.toStdString();
    }
}
