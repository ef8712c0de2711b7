// Behavioural properties: the verdict lines for the classic cases, and home
// states from strongly connected components against the reachability
// relation computed by a search from every marking.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "reach/reach_engine.h"
#include "reach_test_support.h"

namespace {

TBehaviour analyse(const TTestNet& net, TRecordingProgress* progress = nullptr)
{
    TReachEngine engine;
    if (progress)
        engine.SetProgress(progress);
    engine.SetCompiledNet(net.compile());
    EXPECT_TRUE(engine.BuildClassical());
    return engine.AnalyseBehaviour();
}

} // namespace

TEST(Behaviour, ASelfLoopNetIsSafeActiveAndSteady)
{
    TTestNet n;
    const int p1 = n.place("p1", 1);
    const int t1 = n.trans("t1");
    n.in(t1, p1);
    n.out(t1, p1);
    TRecordingProgress progress;
    const TBehaviour b = analyse(n, &progress);
    EXPECT_TRUE(b.Complete);
    EXPECT_EQ(b.Lines, QStringList({"The Net is 1-bounded, thus it is Safe", "The Net Is Active",
                                    "The Net is Reinitialisible", "The Net works in Steady Mode !",
                                    "Analysis complete !!!"}));
    EXPECT_EQ(b.Counters, (QList<QPair<QString, qint64>>{{"t1", 1}}));
    EXPECT_TRUE(progress.Statuses.contains("Phase 3. Bulding up connections Array... "));
    EXPECT_EQ(progress.Statuses.last(), "Phase 4. Analizing behavioural properties");
}

TEST(Behaviour, VerdictsForEmptyDeadBoundedAndUnboundedNets)
{
    TTestNet empty;
    const int e1 = empty.place("p1", 0);
    const int et = empty.trans("t1");
    empty.in(et, e1);
    EXPECT_EQ(analyse(empty).Lines,
              QStringList({"Warning !! No markers found in positions !!", "The Net is Not Active",
                           "Warning: There are dead transitions!", "The Net is Reinitialisible",
                           "The Net is unSteady", "Analysis complete !!!"}));

    TTestNet dead; // p1 -> t1 -> p2, then nothing
    const int d1 = dead.place("p1", 1), d2 = dead.place("p2", 0);
    const int dt = dead.trans("t1");
    dead.in(dt, d1);
    dead.out(dt, d2);
    EXPECT_EQ(analyse(dead).Lines, QStringList({"The Net is 1-bounded, thus it is Safe",
                                                "The Net is Not Active", "The Net is not Reinitialisible",
                                                "The Net is unSteady", "Analysis complete !!!"}));

    TTestNet three; // three tokens move between two places
    const int a = three.place("p1", 3), c = three.place("p2", 0);
    const int t1 = three.trans("t1"), t2 = three.trans("t2");
    three.in(t1, a);
    three.out(t1, c);
    three.in(t2, c);
    three.out(t2, a);
    const TBehaviour b3 = analyse(three);
    EXPECT_EQ(b3.Lines.first(), "The Net is 3-bounded, but not safe!");
    EXPECT_EQ(b3.Lines[1], "The Net Is Active");
    EXPECT_EQ(b3.Lines[3], "The Net works in Steady Mode !"); // bounded is enough, safe is not needed
}

TEST(Behaviour, AnUnboundedNetIsNotBounded)
{
    TTestNet n;
    n.out(n.trans("t1"), n.place("p1", 0));
    const TBehaviour b = analyse(n);
    EXPECT_EQ(b.Lines.first(), "The Net is Not bounded!");
    EXPECT_FALSE(b.Bounded);
    EXPECT_FALSE(b.Reinitialisable);
}

TEST(Behaviour, StopEndsWithoutVerdicts)
{
    TTestNet n;
    n.out(n.trans("t1"), n.place("p1", 0));
    TReachEngine engine;
    TRecordingProgress progress;
    engine.SetProgress(&progress);
    engine.SetCompiledNet(n.compile());
    ASSERT_TRUE(engine.BuildClassical());
    progress.Stop = true;
    const TBehaviour b = engine.AnalyseBehaviour();
    EXPECT_FALSE(b.Complete);
    EXPECT_TRUE(b.Lines.isEmpty());
}

TEST(Behaviour, HomeStatesAreTheMarkingsEveryMarkingReaches)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 800; ++round) {
        const int n = std::uniform_int_distribution<int>(1, 30)(rng);
        auto st = std::make_unique<TMarkList>();
        st->SetPlaces({"p1"}, {false});
        st->SetTransitions({"t1"});
        st->FireCounts[0] = 1;
        std::vector<std::vector<int>> succ(static_cast<size_t>(n));
        for (int m = 0; m < n; ++m) {
            const double v = m;
            st->Add(&v);
        }
        // Every other graph leads each marking back to marking 0 (an arc to
        // some earlier marking), while marking 0 need not reach them all.
        const bool returning = round % 2 == 1;
        const int density = int(rng() % 3);
        for (int m = 0; m < n; ++m) {
            std::vector<int> targets;
            if (returning && m > 0)
                targets.push_back(int(rng() % unsigned(m)));
            for (int k = int(rng() % unsigned(2 + density)); k > 0; --k)
                targets.push_back(int(rng() % unsigned(n)));
            std::shuffle(targets.begin(), targets.end(), rng);
            for (int t : targets) {
                st->AddEdge(m, t, 0, 1);
                succ[size_t(m)].push_back(t);
            }
        }
        // The relation: a search from every marking.
        std::vector<std::vector<bool>> reach(size_t(n), std::vector<bool>(size_t(n), false));
        for (int i = 0; i < n; ++i) {
            std::vector<int> queue{i};
            reach[size_t(i)][size_t(i)] = true;
            for (size_t q = 0; q < queue.size(); ++q)
                for (int s : succ[size_t(queue[q])])
                    if (!reach[size_t(i)][size_t(s)]) {
                        reach[size_t(i)][size_t(s)] = true;
                        queue.push_back(s);
                    }
        }
        TReachEngine engine;
        engine.AdoptStore(std::move(st));
        const TBehaviour b = engine.AnalyseBehaviour();
        ASSERT_TRUE(b.Complete);
        bool live = true;
        for (int j = 0; j < n; ++j) {
            bool home = true;
            for (int k = 0; k < n; ++k)
                home = home && reach[size_t(k)][size_t(j)];
            ASSERT_EQ(engine.Store()->HomeState(j), home) << "round " << round << " marking " << j;
            live = live && home;
        }
        EXPECT_EQ(b.Live, live);
        EXPECT_EQ(b.Reinitialisable, engine.Store()->HomeState(0));
    }
}
