// Removal of unsteady markings, checked on hand-made graphs and against a
// literal implementation of the bypass steps with texts for names and weights.
#include <gtest/gtest.h>

#include <random>

#include "reach/reach_engine.h"
#include "reach_test_support.h"

namespace {

struct TGraphArc
{
    int Source, Target, Transition;
    double Weight;
};

std::unique_ptr<TMarkList> makeStore(int count, const std::vector<bool>& tangible,
                                     const std::vector<TGraphArc>& arcs, int transitions = 4)
{
    auto st = std::make_unique<TMarkList>();
    st->SetPlaces({"p1"}, {false});
    QStringList names;
    for (int t = 1; t <= transitions; ++t)
        names << QStringLiteral("t%1").arg(t);
    st->SetTransitions(names);
    st->Limit = 1000000;
    for (int m = 0; m < count; ++m) {
        const double v = m;
        st->Add(&v);
        st->SetTangible(m, tangible[size_t(m)]);
    }
    for (const TGraphArc& a : arcs)
        st->AddEdge(a.Source, a.Target, a.Transition, a.Weight);
    return st;
}

QStringList graphLines(const TMarkList& st)
{
    QStringList out;
    for (int m = 0; m < st.Count(); ++m)
        out << st.GetLine(m, rmReduced);
    return out;
}

// The removal step by step as markings with lists of names, weight texts,
// successors and predecessors.
struct TNaiveMark
{
    double Value;
    bool Tangible;
    QStringList Names, Rates;
    std::vector<TNaiveMark*> Successors, Predecessors;
};

void naiveBypass(TNaiveMark* p, TNaiveMark* v)
{
    const auto at = std::find(p->Successors.begin(), p->Successors.end(), v);
    if (at == p->Successors.end())
        return;
    const auto k = at - p->Successors.begin();
    const QString name = p->Names[int(k)];
    const double weight = p->Rates[int(k)].toDouble();
    p->Successors.erase(at);
    p->Names.removeAt(int(k));
    p->Rates.removeAt(int(k));
    const size_t count = v->Successors.size();
    for (size_t j = 0; j < count; ++j) {
        TNaiveMark* s = v->Successors[j];
        if (s == p || s == v)
            continue;
        p->Successors.push_back(s);
        p->Names << name + "," + v->Names[int(j)];
        p->Rates << QString::number(weight * v->Rates[int(j)].toDouble(), 'g', 15);
        s->Predecessors.push_back(p);
    }
}

QStringList naiveRemoval(int count, const std::vector<bool>& tangible, const std::vector<TGraphArc>& arcs)
{
    std::vector<std::unique_ptr<TNaiveMark>> own;
    std::vector<TNaiveMark*> marks;
    for (int m = 0; m < count; ++m) {
        own.push_back(std::make_unique<TNaiveMark>());
        own.back()->Value = m;
        own.back()->Tangible = tangible[size_t(m)];
        marks.push_back(own.back().get());
    }
    for (const TGraphArc& a : arcs) {
        TNaiveMark* p = marks[size_t(a.Source)];
        p->Successors.push_back(marks[size_t(a.Target)]);
        p->Names << QStringLiteral("t%1").arg(a.Transition + 1);
        p->Rates << QString::number(a.Weight, 'g', 15);
        marks[size_t(a.Target)]->Predecessors.push_back(p);
    }
    for (size_t k = 1; k < marks.size(); ++k) {
        TNaiveMark* v = marks[k];
        if (v->Tangible)
            continue;
        // A self-loop of V is dropped like every arc back into V: V is not
        // bypassed into itself.
        for (size_t i = 0; i < v->Predecessors.size(); ++i)
            if (v->Predecessors[i] != v)
                naiveBypass(v->Predecessors[i], v);
        for (TNaiveMark* s : v->Successors) {
            auto at = std::find(s->Predecessors.begin(), s->Predecessors.end(), v);
            if (at != s->Predecessors.end())
                s->Predecessors.erase(at);
        }
        marks.erase(marks.begin() + long(k));
        --k;
    }
    QStringList out;
    for (size_t m = 0; m < marks.size(); ++m) {
        QString line = QStringLiteral("M%1 = [%2] [").arg(m).arg(marks[m]->Value);
        QString rates;
        for (size_t j = 0; j < marks[m]->Successors.size(); ++j) {
            const auto target =
                std::find(marks.begin(), marks.end(), marks[m]->Successors[j]) - marks.begin();
            line += marks[m]->Names[int(j)] + ">M" + QString::number(target) + ";";
            rates += QString::number(marks[m]->Rates[int(j)].toDouble(), 'g', 15) + ";";
        }
        out << line + "\\\\" + rates;
    }
    return out;
}

// The reduced lines with the weights written as the naive texts write them.
QStringList comparableLines(const TMarkList& st)
{
    QStringList out;
    for (int m = 0; m < st.Count(); ++m) {
        QString rates;
        for (int k = 0; k < st.ArcCount(m); ++k)
            rates += QString::number(st.Arc(m, k).Weight, 'g', 15) + ";";
        out << QStringLiteral("M%1 = [%2] [").arg(m).arg(st.GetValuesText(m)) + st.GetLinksText(m) + "\\\\" +
                   rates;
    }
    return out;
}

} // namespace

TEST(RemoveUnsteady, PathsThroughUnsteadyMarkingsBecomeArcs)
{
    // M0 -t1-> V1 -t2 (0.5)-> M2, V1 -t3 (0.5)-> M3; M2 and M3 return to M0.
    TReachEngine engine;
    engine.AdoptStore(makeStore(4, {true, false, true, true},
                                {{0, 1, 0, 1}, {1, 2, 1, 0.5}, {1, 3, 2, 0.5}, {2, 0, 3, 1}, {3, 0, 3, 1}}));
    EXPECT_TRUE(engine.RemoveUnsteady());
    EXPECT_EQ(graphLines(*engine.Store()), QStringList({"M0 = [0] [t1,t2>M1;t1,t3>M2;\\\\0.5;0.5;",
                                                        "M1 = [2] [t4>M0;\\\\1;", "M2 = [3] [t4>M0;\\\\1;"}));
    EXPECT_FALSE(engine.LimitWarning()); // a store made elsewhere has no limit
}

TEST(RemoveUnsteady, TheInitialMarkingStaysAndReturnsAreDropped)
{
    // M0 is unsteady itself; V1 leads back to M0 (dropped) and on to M2.
    TReachEngine engine;
    TRecordingProgress progress;
    engine.SetProgress(&progress);
    engine.AdoptStore(
        makeStore(3, {false, false, true}, {{0, 1, 0, 0.25}, {1, 0, 1, 1}, {1, 2, 2, 0.2}, {2, 2, 3, 1}}));
    EXPECT_TRUE(engine.RemoveUnsteady());
    EXPECT_EQ(graphLines(*engine.Store()),
              QStringList({"M0 = [0] [t1,t3>M1;\\\\0.05;", "M1 = [2] [t4>M1;\\\\1;"}));
    EXPECT_EQ(progress.Statuses, QStringList("Phase 3 Removing unsteady markings."));
    EXPECT_EQ(engine.Store()->Find(engine.Store()->Values(1)), 1); // the index follows the new numbering
}

TEST(RemoveUnsteady, ASelfLoopOfAnUnsteadyMarkingIsDroppedForEveryPredecessor)
{
    // M1 and M2 both lead into the unsteady V3, which loops on itself
    // before it goes on to M4: both get the same arc.
    TReachEngine engine;
    engine.AdoptStore(makeStore(5, {true, true, true, false, true},
                                {{0, 1, 0, 1},
                                 {0, 2, 0, 1},
                                 {1, 3, 0, 1},
                                 {2, 3, 1, 1},
                                 {3, 3, 2, 0.5},
                                 {3, 4, 3, 0.5},
                                 {4, 0, 0, 1}}));
    EXPECT_TRUE(engine.RemoveUnsteady());
    EXPECT_EQ(graphLines(*engine.Store()),
              QStringList({"M0 = [0] [t1>M1;t1>M2;\\\\1;1;", "M1 = [1] [t1,t4>M3;\\\\0.5;",
                           "M2 = [2] [t2,t4>M3;\\\\0.5;", "M3 = [4] [t1>M0;\\\\1;"}));
}

TEST(RemoveUnsteady, RandomGraphsMatchTheStepByStepRemoval)
{
    std::mt19937 rng(99);
    const double weights[] = {1, 0.5, 0.25, 0.2, 1.0 / 3, 0.7};
    for (int round = 0; round < 1500; ++round) {
        const int n = std::uniform_int_distribution<int>(1, 25)(rng);
        std::vector<bool> tangible;
        for (int m = 0; m < n; ++m)
            tangible.push_back(rng() % 2 == 0);
        std::vector<TGraphArc> arcs;
        for (int m = 0; m < n; ++m)
            for (int k = int(rng() % 4); k > 0; --k)
                arcs.push_back({m, int(rng() % unsigned(n)), int(rng() % 4), weights[rng() % 6]});
        TReachEngine engine;
        auto store = makeStore(n, tangible, arcs);
        // Weights as the store keeps them (what their texts read back as).
        for (TGraphArc& a : arcs)
            a.Weight = store->StoredWeight(a.Weight);
        engine.AdoptStore(std::move(store));
        ASSERT_TRUE(engine.RemoveUnsteady());
        ASSERT_EQ(comparableLines(*engine.Store()), naiveRemoval(n, tangible, arcs)) << "round " << round;
    }
}

TEST(RemoveUnsteady, TheArcBoundEndsTheRemovalWithAMessage)
{
    // A chain of unsteady markings, each with two arcs to the next: every
    // bypass doubles the arcs into the rest of the chain.
    std::vector<bool> tangible(12, false);
    tangible[0] = tangible[11] = true;
    std::vector<TGraphArc> arcs;
    for (int m = 0; m < 11; ++m) {
        arcs.push_back({m, m + 1, 0, 0.5});
        arcs.push_back({m, m + 1, 1, 0.5});
    }
    arcs.push_back({11, 0, 2, 1});
    auto run = [&](qint64 bound, TRecordingProgress& progress) {
        auto engine = std::make_unique<TReachEngine>();
        engine->SetProgress(&progress);
        engine->Settings.ArcBound = bound;
        engine->AdoptStore(makeStore(12, tangible, arcs));
        engine->RemoveUnsteady();
        return engine;
    };
    TRecordingProgress unbounded;
    auto whole = run(1 << 20, unbounded);
    EXPECT_TRUE(whole->RemovalComplete());
    EXPECT_EQ(whole->Store()->Count(), 2);
    EXPECT_EQ(whole->Store()->ArcCount(0), 2048);
    EXPECT_EQ(whole->Store()->Arc(0, 0).Weight, 1.0 / 2048);

    TRecordingProgress bounded;
    auto partial = run(100, bounded);
    EXPECT_FALSE(partial->RemovalComplete());
    ASSERT_EQ(bounded.Messages.size(), 1);
    EXPECT_TRUE(bounded.Messages[0].contains("100 arcs"));
    EXPECT_LE(partial->Store()->ArcCount(), 100);
    // What is left is a consistent graph: every arc leads to a stored marking.
    const TMarkList& st = *partial->Store();
    for (int m = 0; m < st.Count(); ++m)
        for (int k = 0; k < st.ArcCount(m); ++k)
            ASSERT_TRUE(st.Arc(m, k).Target >= 0 && st.Arc(m, k).Target < st.Count());
    EXPECT_GT(st.Count(), 2);
}

TEST(RemoveUnsteady, StopLeavesAPartlyReducedGraph)
{
    std::vector<bool> tangible{true, false, false, false, true};
    std::vector<TGraphArc> arcs{{0, 1, 0, 1}, {1, 2, 1, 1}, {2, 3, 2, 1}, {3, 4, 3, 1}, {4, 0, 0, 1}};
    TReachEngine engine;
    TRecordingProgress progress;
    progress.StopAfterPumps = 3; // during the third marking
    engine.SetProgress(&progress);
    engine.AdoptStore(makeStore(5, tangible, arcs));
    EXPECT_FALSE(engine.RemoveUnsteady());
    EXPECT_EQ(graphLines(*engine.Store()), QStringList({"M0 = [0] [t1,t2,t3>M1;\\\\1;",
                                                        "M1 = [3] [t4>M2;\\\\1;", "M2 = [4] [t1>M0;\\\\1;"}));
}
