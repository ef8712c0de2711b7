// The build on the live net: firing the net's own transitions, compiled when
// every value is constant, with both giving the plain exploration's graph;
// continuous places, formulas that read the marking, errors, stepping.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>

#include <algorithm>
#include <cmath>
#include <random>

#include "allocation_failure.h"
#include "model/element_builders.h"
#include "netfile/net_file.h"
#include "reach/reach_engine.h"
#include "reach_test_support.h"

namespace {

// The net of a description, built from the net's own elements. `Actual` is
// the description with the values the net's formulas take (weights of
// normal, inhibitor and test arcs are whole numbers, guards 0 or 1).
struct TLiveNet
{
    TTestDesigner Net;
    std::vector<TclsNodeDiscrete*> Places;
    std::vector<TclsTrans*> Transitions;
    TTestNet Actual;

    explicit TLiveNet(const TTestNet& d) : Actual(d)
    {
        for (int i = 0; i < d.PlaceNames.size(); ++i) {
            auto* p = AddNode<TclsNodeDiscrete>(Net, 40.0 * i, 0, d.PlaceNames[i]);
            p->SetTokensDirect(d.Tokens[size_t(i)]);
            Places.push_back(p);
        }
        for (const TTestNet::TTransDesc& t : d.Trans) {
            TclsTrans* tr = nullptr;
            if (t.Class == tcImmediate) {
                auto* instant = AddNode<TclsTransInstant>(Net, 0, 100, t.Name);
                instant->WeightSpeed()->SetFormula(QString::number(t.WeightSpeed));
                tr = instant;
            } else {
                tr = AddNode<TclsTransTimed>(Net, 0, 100, t.Name);
            }
            tr->Guard()->SetFormula(QString::number(t.Guard));
            tr->Priority()->SetFormula(QString::number(t.Priority));
            TTestNet::TTransDesc& actual = Actual.Trans[Transitions.size()];
            actual.Guard = tr->Guard()->Value_Actual();
            actual.Priority = tr->Priority()->Value_Actual();
            if (auto* instant = dynamic_cast<TclsTransInstant*>(tr))
                actual.WeightSpeed = instant->WeightSpeed()->Value_Actual();
            for (size_t k = 0; k < t.In.size(); ++k)
                actual.In[k].Weight = AddArcOfKind(Net, t.In[k].Kind, Places[size_t(t.In[k].Place)], tr,
                                                   QString::number(t.In[k].Weight))
                                          ->Weight()
                                          ->Value_Actual();
            for (size_t k = 0; k < t.Out.size(); ++k)
                actual.Out[k].Weight = AddArcOfKind(Net, t.Out[k].Kind, tr, Places[size_t(t.Out[k].Place)],
                                                    QString::number(t.Out[k].Weight))
                                           ->Weight()
                                           ->Value_Actual();
            Transitions.push_back(tr);
        }
        EXPECT_TRUE(Net.Errors.isEmpty()) << Net.Errors.join("; ").toStdString();
    }
};

struct TLiveBuild
{
    TRecordingProgress Progress;
    TReachEngine Engine;
    bool Built = false;
};

std::unique_ptr<TLiveBuild> buildLive(TQRVDesigner& net,
                                      const std::function<void(TReachSettings&)>& adjust = {},
                                      bool keepUnsteady = false)
{
    auto b = std::make_unique<TLiveBuild>();
    if (keepUnsteady)
        b->Progress.StopOnStatus = QString::fromLatin1(ReachTexts::RemovingUnsteady);
    b->Engine.SetProgress(&b->Progress);
    b->Engine.SetNet(&net);
    if (adjust)
        adjust(b->Engine.Settings);
    b->Built = b->Engine.BuildClassical();
    return b;
}

void expectSameStore(const TMarkList& a, const TMarkList& b)
{
    ASSERT_EQ(a.PlaceNames(), b.PlaceNames());
    ASSERT_EQ(a.Count(), b.Count());
    ASSERT_EQ(a.ArcCount(), b.ArcCount());
    for (int m = 0; m < a.Count(); ++m) {
        ASSERT_EQ(a.GetLine(m, rmReduced), b.GetLine(m, rmReduced));
        ASSERT_EQ(a.Tangible(m), b.Tangible(m));
        for (int k = 0; k < a.ArcCount(m); ++k)
            ASSERT_EQ(a.Arc(m, k).Weight, b.Arc(m, k).Weight);
    }
    ASSERT_EQ(a.FireCounts, b.FireCounts);
}

QString graphFile(const TReachEngine& engine)
{
    return QString::fromLatin1(GraphBytes(engine));
}

} // namespace

TEST(ReachLiveNet, CompiledAndLiveBuildsGiveThePlainExplorationsGraph)
{
    std::mt19937 rng(77);
    int compiled = 0;
    for (int i = 0; i < 300; ++i) {
        const TTestNet d = RandomTestNet(rng, i % 3 != 0);
        TReferenceSettings rs;
        rs.Limit = std::uniform_int_distribution<int>(1, 80)(rng);
        rs.Priority = rng() % 2;
        rs.Omega = rng() % 4 != 0;
        rs.Probabilities = rng() % 2;
        const bool reset = rng() % 2;
        auto settings = [&](TReachSettings& s) {
            s.Limit = rs.Limit;
            s.PriorityMode = rs.Priority;
            s.UnboundedControl = rs.Omega;
            s.RemoveUnsteady = rs.Probabilities;
            s.ResetInitialMarking = reset;
        };
        TLiveNet fast(d), slow(d);

        auto a = buildLive(fast.Net, settings, true);
        auto b = buildLive(
            slow.Net,
            [&](TReachSettings& s) {
                settings(s);
                s.LiveNetOnly = true;
            },
            true);
        SCOPED_TRACE(i);
        ASSERT_TRUE(a->Built && b->Built);
        compiled += a->Engine.UsedCompiledNet();
        EXPECT_FALSE(b->Engine.UsedCompiledNet());
        expectSameStore(*a->Engine.Store(), *b->Engine.Store());
        EXPECT_EQ(a->Engine.LimitReached(), b->Engine.LimitReached());
        EXPECT_EQ(a->Engine.NoDeadMarking(), b->Engine.NoDeadMarking());

        // The net is left as firing on it leaves it, counters included.
        for (size_t p = 0; p < fast.Places.size(); ++p)
            ASSERT_EQ(fast.Places[p]->Tokens(), slow.Places[p]->Tokens()) << "place " << p;
        for (size_t t = 0; t < fast.Transitions.size(); ++t)
            ASSERT_EQ(fast.Transitions[t]->FireCount, slow.Transitions[t]->FireCount);

        // And both are the plain exploration's graph.
        const TReferenceGraph g = ExploreReference(fast.Actual, rs);
        const TMarkList& st = *a->Engine.Store();
        ASSERT_EQ(st.Count(), static_cast<int>(g.Markings.size()));
        for (int m = 0; m < st.Count(); ++m) {
            for (int k = 0; k < st.PlaceCount(); ++k)
                ASSERT_EQ(st.Value(m, k), g.Markings[size_t(m)][size_t(k)]) << "marking " << m;
            ASSERT_EQ(st.ArcCount(m), static_cast<int>(g.Edges[size_t(m)].size()));
            for (int k = 0; k < st.ArcCount(m); ++k) {
                ASSERT_EQ(st.Arc(m, k).Target, g.Edges[size_t(m)][size_t(k)].Target);
                ASSERT_EQ(st.EdgeName(m, k), g.Edges[size_t(m)][size_t(k)].Transition);
                ASSERT_EQ(st.Arc(m, k).Weight, g.Edges[size_t(m)][size_t(k)].Weight);
            }
        }
    }
    EXPECT_EQ(compiled, 300); // every formula of these nets is a constant
}

TEST(ReachLiveNet, FastAndGeneralPathsWriteTheSameGraphFiles)
{
    // Random nets of every arc kind; some get a continuous place or a weight
    // that reads the marking, which only the net itself can answer. The build
    // on packed counts, the one on compiled doubles and the one firing the
    // net's own transitions must write the same bytes and leave the same net.
    std::mt19937 rng(4242);
    int packed = 0;
    for (int i = 0; i < 300; ++i) {
        const TTestNet d = RandomTestNet(rng, i % 4 != 0);
        const bool whole =
            std::all_of(d.Tokens.begin(), d.Tokens.end(), [](double v) { return v == std::floor(v); });
        const int extra =
            static_cast<int>(rng() % 4); // 1: a continuous place, 2: a weight reading the marking
        const unsigned extraSeed = rng();
        TReachSettings settings;
        // Mostly small graphs; every tenth one large enough for counts to outgrow their fields.
        settings.Limit = std::uniform_int_distribution<int>(1, i % 10 == 0 ? 600 : 80)(rng);
        settings.PriorityMode = rng() % 2;
        settings.UnboundedControl = rng() % 4 != 0;
        settings.RemoveUnsteady = rng() % 2;
        settings.ResetInitialMarking = rng() % 2;
        settings.BalanceCalculation = extra == 1 && rng() % 2;

        auto makeNet = [&]() {
            auto net = std::make_unique<TLiveNet>(d);
            std::mt19937 local(extraSeed);
            const auto any = [&](std::size_t n) { return static_cast<std::size_t>(local() % n); };
            if (extra == 1) {
                auto* b1 = AddNode<TclsNodeContinuous>(net->Net, 300, 0, "b1");
                b1->SetBoundMax(5);
                b1->SetLevel(local() % 2 ? 1 : 2.5);
                AddArcOfKind(net->Net, lkFlow, net->Transitions[any(net->Transitions.size())], b1, "1.5");
                const TLinkKind kinds[] = {lkContinuous, lkTestContinuous, lkFlow, lkIngibitorContinuous};
                AddArcOfKind(net->Net, kinds[any(4)], b1, net->Transitions[any(net->Transitions.size())],
                             "1");
            } else if (extra == 2) {
                const QString place = net->Places[any(net->Places.size())]->Name();
                AddArcOfKind(net->Net, lkNormal, net->Transitions[any(net->Transitions.size())],
                             net->Places[any(net->Places.size())], place + "_TOKENS");
            }
            return net;
        };
        auto fastNet = makeNet(), doubleNet = makeNet(), slowNet = makeNet();
        auto fast = buildLive(fastNet->Net, [&](TReachSettings& s) { s = settings; });
        auto doubles = buildLive(doubleNet->Net, [&](TReachSettings& s) {
            s = settings;
            s.PackMarkings = false;
        });
        auto slow = buildLive(slowNet->Net, [&](TReachSettings& s) {
            s = settings;
            s.LiveNetOnly = true;
        });
        SCOPED_TRACE(i);
        ASSERT_EQ(fast->Built, slow->Built);
        ASSERT_EQ(doubles->Built, slow->Built);
        EXPECT_EQ(fast->Progress.Messages, slow->Progress.Messages);
        // Packed exactly when every count is whole and every value a constant of discrete places.
        EXPECT_EQ(fast->Engine.UsedPackedMarkings(), whole && (extra == 0 || extra == 3));
        EXPECT_FALSE(doubles->Engine.UsedPackedMarkings());
        packed += fast->Engine.UsedPackedMarkings();
        for (TLiveBuild* b : {fast.get(), doubles.get()}) {
            ASSERT_EQ(graphFile(b->Engine), graphFile(slow->Engine));
            EXPECT_EQ(b->Engine.LimitReached(), slow->Engine.LimitReached());
            EXPECT_EQ(b->Engine.NoDeadMarking(), slow->Engine.NoDeadMarking());
            EXPECT_EQ(b->Engine.AnalyseBehaviour().Lines, slow->Engine.AnalyseBehaviour().Lines);
            for (int m = 0; m < slow->Engine.Store()->Count(); ++m)
                ASSERT_EQ(b->Engine.BalanceRow(m), slow->Engine.BalanceRow(m));
        }
        for (const auto* net : {fastNet.get(), doubleNet.get()}) {
            for (std::size_t p = 0; p < net->Places.size(); ++p)
                ASSERT_EQ(net->Places[p]->Tokens(), slowNet->Places[p]->Tokens()) << "place " << p;
            for (std::size_t t = 0; t < net->Transitions.size(); ++t)
                ASSERT_EQ(net->Transitions[t]->FireCount, slowNet->Transitions[t]->FireCount);
        }
    }
    EXPECT_GT(packed, 100);
}

TEST(ReachLiveNet, GraphFilesOfTheExamples)
{
    TTestDesigner net;
    auto* p1 = AddNode<TclsNodeDiscrete>(net, 0, 0);
    auto* t1 = AddNode<TclsTransTimed>(net, 0, 50);
    AddArc<TclsLinkNormal>(net, p1, t1);
    p1->SetTokens(1);
    auto b = buildLive(net);
    ASSERT_TRUE(b->Built);
    EXPECT_EQ(graphFile(b->Engine), "; Reachability graph file. Generated by QRVP\r\n"
                                    "; Generated from xxx petry net file.\r\n"
                                    "Totally found markings number = 2\r\n"
                                    "PositionsList: p1;\r\n"
                                    "M0 = [1] [t1>M1;\r\n"
                                    "M1 = [0] [\r\n"
                                    "\r\n");
    EXPECT_EQ(p1->Tokens(), 1); // the initial marking is written back
    EXPECT_EQ(t1->FireCount, 1);
    EXPECT_EQ(b->Engine.Statistics().Places, 1);
    EXPECT_EQ(b->Engine.Statistics().Transitions, 1);
    EXPECT_EQ(b->Engine.Statistics().Links, 1);
    EXPECT_EQ(b->Engine.Statistics().Markers, 1);
    EXPECT_FALSE(net.Updating());

    auto* p2 = AddNode<TclsNodeDiscrete>(net, 40, 0);
    auto* t2 = AddNode<TclsTransTimed>(net, 40, 50);
    AddArc<TclsLinkNormal>(net, t1, p2);
    AddArc<TclsLinkNormal>(net, p2, t2);
    AddArc<TclsLinkNormal>(net, t2, p1);
    b = buildLive(net, [](TReachSettings& s) {
        s.RemoveUnsteady = true;
        s.PriorityMode = true;
    });
    ASSERT_TRUE(b->Built);
    EXPECT_TRUE(
        graphFile(b->Engine).endsWith("M0 = [1,0] [t1>M1;\\\\1;\r\nM1 = [0,1] [t2>M0;\\\\1;\r\n\r\n"));

    // Without the reset the net keeps the marking the last firing left.
    b = buildLive(net, [](TReachSettings& s) { s.ResetInitialMarking = false; });
    EXPECT_EQ(p1->Tokens(), 1);
    EXPECT_EQ(p2->Tokens(), 0);
    // Stepping writes a marking into the net.
    b->Engine.ApplyMarking(1);
    EXPECT_EQ(p1->Tokens(), 0);
    EXPECT_EQ(p2->Tokens(), 1);
    b->Engine.ApplyMarking(0);
    EXPECT_EQ(b->Engine.CreateMarkingFromNet().GetValuesText(), "1,0");
}

TEST(ReachLiveNet, FormulasThatReadTheMarkingAreEvaluatedOnTheNet)
{
    // t1 moves p1's tokens to p2 all at once: its weight reads p1.
    TTestDesigner net;
    auto* p1 = AddNode<TclsNodeDiscrete>(net, 0, 0);
    auto* p2 = AddNode<TclsNodeDiscrete>(net, 40, 0);
    auto* t1 = AddNode<TclsTransTimed>(net, 0, 50);
    AddArc<TclsLinkNormal>(net, p1, t1, "p1_TOKENS");
    AddArc<TclsLinkNormal>(net, t1, p2, "p1_TOKENS");
    auto* t2 = AddNode<TclsTransTimed>(net, 40, 50);
    AddArc<TclsLinkNormal>(net, p2, t2);
    AddArc<TclsLinkNormal>(net, t2, p1);
    p1->SetTokens(3);
    auto b = buildLive(net);
    ASSERT_TRUE(b->Built);
    EXPECT_FALSE(b->Engine.UsedCompiledNet());
    QStringList lines;
    for (int m = 0; m < b->Engine.Store()->Count(); ++m)
        lines << b->Engine.Store()->GetLine(m, rmFull);
    // The weight is read again before each arc: the output arc sees p1 emptied.
    EXPECT_EQ(lines.first(), "M0 = [3,0] [t1>M1;");
    EXPECT_EQ(b->Engine.Store()->GetValuesText(1), "0,0");
}

TEST(ReachLiveNet, AFormulaThatFailsEndsTheBuildWithItsMessage)
{
    TTestDesigner net;
    auto* p1 = AddNode<TclsNodeDiscrete>(net, 0, 0);
    auto* t1 = AddNode<TclsTransTimed>(net, 0, 50);
    AddArc<TclsLinkNormal>(net, p1, t1);
    AddArc<TclsLinkNormal>(net, t1, p1);
    t1->Guard()->SetFormula("1/(1-p1_TOKENS)");
    p1->SetTokens(1);
    auto b = buildLive(net);
    EXPECT_FALSE(b->Built);
    ASSERT_EQ(b->Progress.Messages.size(), 1);
    EXPECT_EQ(b->Progress.Statuses.last(), "Process aborted");
    EXPECT_EQ(p1->Tokens(), 1);
    EXPECT_FALSE(net.Updating());

    // A failure while the initial marking is read (the guard of a continuous
    // transition, asked for with balance calculation) leaves the net's
    // marking as it was.
    TTestDesigner hybrid;
    auto* d1 = AddNode<TclsNodeDiscrete>(hybrid, 0, 0);
    auto* c1 = AddNode<TclsNodeContinuous>(hybrid, 40, 0);
    c1->SetBoundMax(10);
    auto* q1 = AddNode<TclsTransContinuous>(hybrid, 40, 50);
    AddArcOfKind(hybrid, lkContinuous, c1, q1, "1");
    q1->Guard()->SetFormula("1/(1-p1_TOKENS)");
    d1->SetTokens(1);
    c1->SetLevel(4);
    auto h = buildLive(hybrid, [](TReachSettings& s) { s.BalanceCalculation = true; });
    EXPECT_FALSE(h->Built);
    ASSERT_EQ(h->Progress.Messages.size(), 1);
    EXPECT_EQ(d1->Tokens(), 1);
    EXPECT_EQ(c1->Level(), 4);
    EXPECT_FALSE(hybrid.Updating());
}

// Memory that runs out at any allocation of the preparation (reading the net,
// compiling it, the store, the conflict sets) ends the build with its message;
// the net keeps its marking and is drawn again.
TEST(ReachLiveNet, RunningOutOfMemoryWhilePreparingEndsWithTheMessage)
{
    TTestNet d;
    const int p1 = d.place("p1", 2), p2 = d.place("p2", 0), p3 = d.place("p3", 1);
    const int t1 = d.trans("t1"), t2 = d.trans("t2", tcImmediate);
    d.in(t1, p1);
    d.out(t1, p2);
    d.in(t2, p2);
    d.in(t2, p3, 1, lkTest);
    d.out(t2, p1);
    int failed = 0;
    for (long long after = 0;; after += 7) {
        TLiveNet net(d);
        auto b = std::make_unique<TLiveBuild>();
        b->Engine.SetProgress(&b->Progress);
        b->Engine.SetNet(&net.Net);
        b->Engine.Settings.Limit = 1;
        bool happened = false;
        {
            TAllocationFailure failure(after);
            b->Built = b->Engine.BuildClassical();
            happened = TAllocationFailure::Happened();
        }
        if (!happened) {
            EXPECT_TRUE(b->Built);
            break;
        }
        EXPECT_EQ(net.Places[0]->Tokens(), 2) << after;
        EXPECT_EQ(net.Places[2]->Tokens(), 1) << after;
        EXPECT_FALSE(net.Net.Updating()) << after;
        if (b->Built)
            continue; // an allocation that could be done without
        ++failed;
        EXPECT_EQ(b->Progress.Messages, QStringList{"There is not enough memory for the reachability graph. "
                                                    "Lower the markings' limit and build again."})
            << after;
    }
    EXPECT_GT(failed, 5);
}

TEST(ReachLiveNet, APlaceNameWithoutNumberStopsTheBuild)
{
    TTestDesigner net;
    AddNode<TclsNodeDiscrete>(net, 0, 0, "pA");
    auto b = buildLive(net);
    EXPECT_FALSE(b->Built);
    ASSERT_EQ(b->Progress.Messages.size(), 1);
    EXPECT_TRUE(b->Progress.Messages[0].contains("\"pA\""));
}

TEST(ReachLiveNet, ContinuousPlacesRecordBalancesAndEnabledContinuousTransitions)
{
    // A timed transition pours 2.5 into b1 (bounded by 5); a continuous
    // transition drains b1 while it holds anything.
    TTestDesigner net;
    auto* p1 = AddNode<TclsNodeDiscrete>(net, 0, 0);
    auto* b1 = AddNode<TclsNodeContinuous>(net, 40, 0);
    b1->SetBoundMax(5);
    auto* t1 = AddNode<TclsTransTimed>(net, 0, 50);
    AddArc<TclsLinkNormal>(net, p1, t1);
    AddArc<TclsLinkNormal>(net, t1, p1);
    AddArcOfKind(net, lkFlow, t1, b1, "2.5");
    auto* q1 = AddNode<TclsTransContinuous>(net, 40, 50);
    AddArcOfKind(net, lkContinuous, b1, q1, "1");
    q1->Expectance()->SetFormula("2");
    p1->SetTokens(1);
    auto b = buildLive(net, [](TReachSettings& s) {
        s.BalanceCalculation = true;
        s.UnboundedControl = false;
    });
    ASSERT_TRUE(b->Built);
    EXPECT_FALSE(b->Engine.UsedCompiledNet());
    const TMarkList& st = *b->Engine.Store();
    ASSERT_EQ(st.Count(), 3);
    EXPECT_EQ(st.GetValuesText(1), "1,2.5");
    EXPECT_EQ(st.GetValuesText(2), "1,5");
    EXPECT_EQ(b->Engine.BalanceColumns(), QStringList("b1"));
    EXPECT_EQ(b->Engine.BalanceRow(0), QStringList({"M0", "", "0"}));
    EXPECT_EQ(b->Engine.BalanceRow(1), QStringList({"M1", "q1", "-2"}));
    EXPECT_EQ(st.FireCounts, (std::vector<qint64>{2, 0}));
}

TEST(ReachLiveNet, NetsOfOtherToolsBuildTheSameOnTheNetAndCompiled)
{
    const QString dir = SharedPnmlDir();
    if (dir.isEmpty())
        GTEST_SKIP() << "no shared nets";
    int compared = 0, read = 0;
    for (const QString& file : QDir(dir).entryList({"*.pnml"}, QDir::Files, QDir::Name)) {
        SCOPED_TRACE(file.toStdString());
        TTestDesigner fast, slow;
        if (!LoadNetFile(fast, QDir(dir).filePath(file)).isEmpty() ||
            !LoadNetFile(slow, QDir(dir).filePath(file)).isEmpty())
            continue;
        ++read;
        auto a = buildLive(fast, [](TReachSettings& s) { s.Limit = 3000; });
        auto b = buildLive(slow, [](TReachSettings& s) {
            s.Limit = 3000;
            s.LiveNetOnly = true;
        });
        ASSERT_EQ(a->Built, b->Built);
        if (!a->Built)
            continue;
        expectSameStore(*a->Engine.Store(), *b->Engine.Store());
        ++compared;
    }
    if (read == 0)
        GTEST_SKIP() << "the shared nets cannot be read";
    EXPECT_GT(compared, 0);
}
