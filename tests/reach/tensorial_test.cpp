// The tensorial construction: group labels and the group filter, the label
// and chain checks, the graph of nets made of groups against the classical
// build's, the interface of groups that share two transitions, and the net
// left exactly as it was however the build ends.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>

#include <random>

#include "model/edits.h"
#include "model/element_builders.h"
#include "netfile/net_file.h"
#include "reach/group_labels.h"
#include "reach/reach_engine.h"
#include "reach/tensorial_build.h"
#include "reach_test_support.h"

namespace {

// A net drawn group by group: every element gets its label.
struct TGroupNet
{
    TTestDesigner Net;

    TclsNodeDiscrete* place(const QString& name, double tokens, const QString& label)
    {
        auto* p = AddNode<TclsNodeDiscrete>(Net, 40.0 * Net.ObjectCount(), 0, name);
        p->SetTokensDirect(tokens);
        p->SetGroupDirect(label);
        return p;
    }
    TclsTrans* trans(const QString& name, const QString& label, bool immediate = false)
    {
        TclsTrans* t = immediate ? static_cast<TclsTrans*>(AddNode<TclsTransInstant>(Net, 0, 100, name))
                                 : AddNode<TclsTransTimed>(Net, 0, 100, name);
        t->SetGroupDirect(label);
        return t;
    }
    TclsLink* arc(TQRVObject* from, TQRVObject* to, const QString& label, TLinkKind kind = lkNormal,
                  int weight = 1)
    {
        TclsLink* a = AddArcOfKind(Net, kind, from, to, QString::number(weight));
        a->SetGroupDirect(label);
        return a;
    }
};

// Group 1: p1 (1 token) -t1-> p2 -ts-> p1; group 2: p3 (1 token) -ts-> p4 -t2-> p3.
// ts is shared: it needs p2 and p3.
void twoCycles(TGroupNet& n)
{
    auto* p1 = n.place("p1", 1, "g1");
    auto* p2 = n.place("p2", 0, "g1");
    auto* p3 = n.place("p3", 1, "g2");
    auto* p4 = n.place("p4", 0, "g2");
    auto* t1 = n.trans("t1", "g1");
    auto* ts = n.trans("ts", "s1-2");
    auto* t2 = n.trans("t2", "g2");
    n.arc(p1, t1, "g1");
    n.arc(t1, p2, "g1");
    n.arc(p2, ts, "g1");
    n.arc(ts, p1, "s1-2"); // an arc of a shared transition may carry its label
    n.arc(p3, ts, "g2");
    n.arc(ts, p4, "g2");
    n.arc(p4, t2, "g2");
    n.arc(t2, p3, "g2");
}

struct TBuilt
{
    TRecordingProgress Progress;
    TReachEngine Engine;
    bool Built = false;
    QString File;
    int Steps() const { return static_cast<int>(Progress.Statuses.count(TensorialTexts::Kronecker)); }
};

std::unique_ptr<TBuilt> build(TQRVDesigner& net, bool tensorial, qint64 limit = 50000)
{
    auto b = std::make_unique<TBuilt>();
    b->Engine.SetProgress(&b->Progress);
    b->Engine.SetNet(&net);
    b->Engine.Settings.Limit = limit;
    b->Built = tensorial ? b->Engine.BuildTensorial() : b->Engine.BuildClassical();
    if (b->Built) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(b->Engine.WriteGraph(buffer));
        b->File = QString::fromLatin1(buffer.data());
    }
    return b;
}

// Everything of the net that a build could disturb and a file does not show. A
// build leaves every arc list rebuilt from the whole net.
struct TNetState
{
    QString Text;
    QStringList Arcs; // per node: its arc lists, attached arcs and firing counter
    int Objects = 0;
    bool Changed = false;
    bool Updating = false;

    explicit TNetState(const TQRVDesigner& net)
        : Text(NetToText(net)), Objects(net.ObjectCount()), Changed(net.IsChanged()), Updating(net.Updating())
    {
        auto names = [](const QList<TclsLink*>& list) {
            QStringList out;
            for (const TclsLink* a : list)
                out << a->Name();
            return out.join(',');
        };
        for (const TQRVObject* o : net.ObjectList())
            if (const auto* node = qobject_cast<const TQRVNode*>(o)) {
                QString lists =
                    names(node->AttachedArcs) + "|" + names(node->InArcs) + "|" + names(node->OutArcs);
                if (const auto* t = qobject_cast<const TclsTrans*>(o))
                    lists += "|" + QString::number(t->FireCount);
                Arcs << o->Name() + ":" + lists;
            }
    }
    bool operator==(const TNetState& other) const
    {
        return Text == other.Text && Arcs == other.Arcs && Objects == other.Objects &&
               Changed == other.Changed && Updating == other.Updating;
    }
};

void expectClosedGraph(const TMarkList& st)
{
    for (int m = 0; m < st.Count(); ++m)
        for (int k = 0; k < st.ArcCount(m); ++k) {
            ASSERT_GE(st.Arc(m, k).Target, 0);
            ASSERT_LT(st.Arc(m, k).Target, st.Count());
        }
}

} // namespace

TEST(TensorialLabels, LabelsAreReadStrictly)
{
    struct
    {
        const char* text;
        TGroupLabelKind kind;
        int a, b;
    } cases[] = {
        {"g1", glGroup, 1, 0},      {"G12", glGroup, 12, 0},     {"s1-2", glShared, 1, 2},
        {"S3-2", glShared, 3, 2},   {"i1-2", glInterface, 1, 2}, {"g999", glGroup, 999, 0},
        {"", glInvalid, 0, 0},      {"g", glInvalid, 0, 0},      {"g0", glInvalid, 0, 0},
        {"g1000", glInvalid, 0, 0}, {"g1a", glInvalid, 0, 0},    {"g-1", glInvalid, 0, 0},
        {"s1", glInvalid, 0, 0},    {"s1-1", glInvalid, 0, 0},   {"s1-2-3", glInvalid, 0, 0},
        {"s-1-2", glInvalid, 0, 0}, {"x1", glInvalid, 0, 0},     {"g 1", glInvalid, 0, 0},
    };
    for (const auto& c : cases) {
        const TGroupLabel l = ParseGroupLabel(QString::fromLatin1(c.text));
        EXPECT_EQ(l.Kind, c.kind) << c.text;
        if (c.kind != glInvalid) {
            EXPECT_EQ(l.A, c.a) << c.text;
            EXPECT_EQ(l.B, c.b) << c.text;
        }
    }
}

TEST(TensorialLabels, TheFilterTakesEachGroupWithItsSideOfTheSharedTransitions)
{
    TGroupNet n;
    twoCycles(n);
    TQRVDesigner& d = n.Net;
    auto part = [&](const char* name, int group) { return GroupTakesPart(d.FindObject(name), group); };
    // Places and transitions of a group.
    EXPECT_TRUE(part("p1", 1));
    EXPECT_FALSE(part("p1", 2));
    EXPECT_TRUE(part("p1", -1));
    EXPECT_TRUE(part("t2", 2));
    EXPECT_FALSE(part("t2", 1));
    // The shared transition in both groups, not in a third, and in their interface.
    EXPECT_TRUE(part("ts", 1));
    EXPECT_TRUE(part("ts", 2));
    EXPECT_FALSE(part("ts", 3));
    EXPECT_TRUE(part("ts", InterfaceGroup(1, 2)));
    EXPECT_FALSE(part("ts", InterfaceGroup(2, 3)));
    EXPECT_FALSE(part("p1", InterfaceGroup(1, 2)));
    // An arc of the shared transition on its place's side, whatever its label.
    auto arcBetween = [&](const char* from, const char* to) -> const TQRVObject* {
        for (const TQRVObject* o : d.ObjectList())
            if (auto* a = qobject_cast<const TclsLink*>(o))
                if (a->SourceObject()->Name() == from && a->DestObject()->Name() == to)
                    return a;
        return nullptr;
    };
    const TQRVObject* back = arcBetween("ts", "p1"); // labelled s1-2
    EXPECT_TRUE(GroupTakesPart(back, 1));
    EXPECT_FALSE(GroupTakesPart(back, 2));
    EXPECT_FALSE(GroupTakesPart(back, InterfaceGroup(1, 2)));
    EXPECT_TRUE(GroupTakesPart(arcBetween("p3", "ts"), 2));
    EXPECT_FALSE(GroupTakesPart(arcBetween("p3", "ts"), 1));
    // Elements of an interface only in it.
    TclsNodeDiscrete* buffer = n.place("p9", 0, "i1-2");
    EXPECT_TRUE(GroupTakesPart(buffer, InterfaceGroup(1, 2)));
    EXPECT_FALSE(GroupTakesPart(buffer, 1));
    EXPECT_FALSE(GroupTakesPart(buffer, InterfaceGroup(2, 1)));
}

TEST(TensorialLabels, RecordsListTheSharedTransitionsAndTheirPlacesBySide)
{
    TGroupNet n;
    twoCycles(n);
    auto* p5 = n.place("p5", 1, "g3");
    auto* t3 = n.trans("t3", "s2-3");
    n.arc(n.Net.FindObject("p4"), t3, "g2");
    n.arc(t3, n.Net.FindObject("p3"), "g2");
    n.arc(p5, t3, "g3");
    n.arc(t3, p5, "g3");
    const std::vector<TGroup> records = BuildGroupRecords(n.Net);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Shared[0], QStringList());
    EXPECT_EQ(records[0].Shared[1], QStringList{"ts"});
    EXPECT_EQ(records[0].Place[1], "p2");
    EXPECT_EQ(records[1].Shared[0], QStringList{"ts"});
    EXPECT_EQ(records[1].Shared[1], QStringList{"t3"});
    EXPECT_EQ(records[1].Place[0], "p3");
    EXPECT_EQ(records[1].Place[1], "p4");
    EXPECT_EQ(records[2].Shared[0], QStringList{"t3"});
    EXPECT_EQ(records[2].Place[0], "p5");

    TGroup r;
    r.Shared[1] = QStringList{"a", "b", "c"};
    EXPECT_EQ(r.RecordedTransition(1), "b");
    r.Shared[1] = QStringList{"a"};
    EXPECT_EQ(r.RecordedTransition(1), "a");
    EXPECT_EQ(r.RecordedTransition(0), "");
}

TEST(TensorialBuild, WrongLabelsAndTooFewGroupsBuildNothing)
{
    struct TCase
    {
        const char* what;
        std::function<void(TGroupNet&)> spoil;
        QString message; // the start of the message
    };
    const TCase cases[] = {
        {"a place without a label", [](TGroupNet& n) { n.Net.FindObject("p2")->SetGroupDirect(""); },
         "Group Index is incorrect !\np2 has no group label"},
        {"a malformed label", [](TGroupNet& n) { n.Net.FindObject("t1")->SetGroupDirect("g1x"); },
         "Group Index is incorrect !\nt1 has the group label \"g1x\""},
        {"a shared place", [](TGroupNet& n) { n.Net.FindObject("p4")->SetGroupDirect("s1-2"); },
         "Group Index is incorrect !\nThe place p4"},
        {"a label kept for the construction",
         [](TGroupNet& n) { n.Net.FindObject("t2")->SetGroupDirect("i1-2"); },
         "Group Index is incorrect !\nt2 has the group label \"i1-2\""},
        {"an arc to another group's transition",
         [](TGroupNet& n) { n.arc(n.Net.FindObject("p1"), n.Net.FindObject("t2"), "g1", lkTest); },
         "Group Index is incorrect !\nThe arc"},
        {"an arc labelled for another group",
         [](TGroupNet& n) { n.arc(n.Net.FindObject("p1"), n.Net.FindObject("t1"), "g2", lkTest); },
         "Group Index is incorrect !\nThe arc"},
        {"one group only",
         [](TGroupNet& n) {
             for (TQRVObject* o : n.Net.ObjectList())
                 if (!o->Group().isEmpty())
                     o->SetGroupDirect("g1");
         },
         TensorialTexts::NeedsTwoGroups},
        {"a group the chain does not reach",
         [](TGroupNet& n) {
             auto* p = n.place("p7", 1, "g4");
             auto* t = n.trans("t7", "g4");
             n.arc(p, t, "g4");
         },
         "Group 4 cannot take part"},
    };
    for (const TCase& c : cases) {
        TGroupNet n;
        twoCycles(n);
        c.spoil(n);
        const TNetState before(n.Net);
        auto b = build(n.Net, true);
        EXPECT_FALSE(b->Built) << c.what;
        EXPECT_EQ(b->Engine.Store(), nullptr) << c.what;
        ASSERT_EQ(b->Progress.Messages.size(), 1) << c.what;
        EXPECT_TRUE(b->Progress.Messages[0].startsWith(c.message)) << b->Progress.Messages[0].toStdString();
        EXPECT_EQ(b->Steps(), 0) << c.what;
        EXPECT_TRUE(TNetState(n.Net) == before) << c.what;
    }
}

TEST(TensorialBuild, TwoGroupsAndOneSharedTransitionGiveTheClassicalGraphInOneStep)
{
    TGroupNet n;
    twoCycles(n);
    auto classical = build(n.Net, false);
    auto tensorial = build(n.Net, true);
    ASSERT_TRUE(tensorial->Built) << tensorial->Progress.Messages.join("; ").toStdString();
    EXPECT_EQ(tensorial->Steps(), 1);
    EXPECT_EQ(tensorial->File, classical->File);
    EXPECT_EQ(tensorial->File, "; Reachability graph file. Generated by QRVP\r\n"
                               "; Generated from xxx petry net file.\r\n"
                               "Totally found markings number = 4\r\n"
                               "PositionsList: p1;p2;p3;p4;\r\n"
                               "M0 = [1,0,1,0] [t1>M1;\r\n"
                               "M1 = [0,1,1,0] [ts>M2;\r\n"
                               "M2 = [1,0,0,1] [t1>M3;t2>M0;\r\n"
                               "M3 = [0,1,0,1] [t2>M1;\r\n"
                               "\r\n");
    EXPECT_EQ(tensorial->Engine.Store()->FireCounts, classical->Engine.Store()->FireCounts);
    EXPECT_TRUE(tensorial->Engine.NoDeadMarking());
    const QStringList statuses = tensorial->Progress.Statuses;
    EXPECT_GT(statuses.indexOf(TensorialTexts::RemoveUnsteady), statuses.indexOf(TensorialTexts::Kronecker));
    EXPECT_EQ(statuses.last(), TensorialTexts::PrepareStatistics);
    // The whole net's figures, as the classical build gives them.
    EXPECT_EQ(tensorial->Engine.Statistics().Places, 4);
    EXPECT_EQ(tensorial->Engine.Statistics().Links, 8);
    EXPECT_EQ(tensorial->Engine.Statistics().Markers, 2);
    // The behavioural analysis works on the combined graph.
    const TBehaviour verdict = tensorial->Engine.AnalyseBehaviour();
    EXPECT_TRUE(verdict.Live);
    EXPECT_TRUE(verdict.Reinitialisable);
}

TEST(TensorialBuild, KeepsOnlyTheMarkingsTheNetReaches)
{
    // Each group alone has two markings; ts moves both tokens at once and
    // nothing moves them back: of the four pairs, the net reaches two.
    TGroupNet n;
    auto* p1 = n.place("p1", 1, "g1");
    auto* p2 = n.place("p2", 0, "g1");
    auto* p3 = n.place("p3", 1, "g2");
    auto* p4 = n.place("p4", 0, "g2");
    auto* ts = n.trans("ts", "s1-2");
    n.arc(p1, ts, "g1");
    n.arc(ts, p2, "g1");
    n.arc(p3, ts, "g2");
    n.arc(ts, p4, "g2");
    auto t = build(n.Net, true);
    ASSERT_TRUE(t->Built);
    EXPECT_EQ(t->Engine.TotalMarkings(), 2);
    EXPECT_EQ(t->File, build(n.Net, false)->File);
    EXPECT_FALSE(t->Engine.NoDeadMarking());
    const TBehaviour verdict = t->Engine.AnalyseBehaviour();
    EXPECT_FALSE(verdict.Reinitialisable);
}

TEST(TensorialBuild, RandomNetsOfChainedGroupsGiveTheClassicalGraph)
{
    // Two or three groups in a chain, neighbours joined by one or two shared
    // transitions. Every transition moves one token within each group it
    // takes part in, so that each group is bounded on its own; test and
    // inhibitor arcs add conditions.
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int interfaces = 0, steps = 0;
    for (int round = 0; round < 300; ++round) {
        TGroupNet n;
        const int groups = pick(2, 3);
        struct TPlan
        {
            int Group;
            bool Place;
        };
        std::vector<std::vector<int>> placeNumbers(static_cast<size_t>(groups) + 1);
        std::vector<TPlan> plan;
        int placeCount = 0;
        for (int g = 1; g <= groups; ++g)
            for (int k = pick(1, 3); k > 0; --k)
                plan.push_back({g, true});
        for (int g = 1; g <= groups; ++g)
            for (int k = pick(0, 3); k > 0; --k)
                plan.push_back({g, false});
        std::shuffle(plan.begin(), plan.end(), rng);
        // Place numbers in another order than the net's.
        std::vector<int> numbers;
        for (const TPlan& p : plan)
            if (p.Place)
                numbers.push_back(++placeCount);
        std::shuffle(numbers.begin(), numbers.end(), rng);
        std::vector<TclsNodeDiscrete*> places;
        std::vector<int> placeGroup;
        int transitionCount = 0;
        auto placeOf = [&](int g) {
            std::vector<int> in;
            for (size_t i = 0; i < places.size(); ++i)
                if (placeGroup[i] == g)
                    in.push_back(static_cast<int>(i));
            return places[static_cast<size_t>(in[static_cast<size_t>(pick(0, int(in.size()) - 1))])];
        };
        // Places first (their groups must exist before transitions pick them).
        for (const TPlan& p : plan)
            if (p.Place) {
                const int number = numbers[places.size()];
                places.push_back(n.place(QStringLiteral("p%1").arg(number), pick(0, 2),
                                         QStringLiteral("g%1").arg(p.Group)));
                placeGroup.push_back(p.Group);
            }
        auto conditions = [&](TclsTrans* t, int g) {
            if (pick(0, 4) == 0)
                n.arc(placeOf(g), t, QStringLiteral("g%1").arg(g), lkTest, pick(1, 2));
            if (pick(0, 5) == 0)
                n.arc(placeOf(g), t, QStringLiteral("g%1").arg(g), lkIngibitorCounter, pick(1, 3));
        };
        auto moveIn = [&](TclsTrans* t, int g, const QString& arcLabel) {
            const int w = pick(0, 5) == 0 ? 2 : 1;
            n.arc(placeOf(g), t, arcLabel, lkNormal, w);
            n.arc(t, placeOf(g), arcLabel, lkNormal, w);
            conditions(t, g);
        };
        for (const TPlan& p : plan)
            if (!p.Place) {
                TclsTrans* t = n.trans(QStringLiteral("t%1").arg(++transitionCount),
                                       QStringLiteral("g%1").arg(p.Group), pick(0, 4) == 0);
                moveIn(t, p.Group, QStringLiteral("g%1").arg(p.Group));
            }
        for (int g = 1; g < groups; ++g) {
            const int shared = pick(0, 3) == 0 ? 2 : 1;
            interfaces += shared == 2;
            for (int s = 0; s < shared; ++s) {
                const QString label = QStringLiteral("s%1-%2").arg(g).arg(g + 1);
                TclsTrans* t = n.trans(QStringLiteral("t%1").arg(++transitionCount), label, pick(0, 4) == 0);
                moveIn(t, g, pick(0, 1) ? label : QStringLiteral("g%1").arg(g));
                moveIn(t, g + 1, pick(0, 1) ? label : QStringLiteral("g%1").arg(g + 1));
            }
        }

        auto classical = build(n.Net, false);
        const TNetState before(n.Net);
        auto tensorial = build(n.Net, true);
        ASSERT_TRUE(classical->Built);
        ASSERT_TRUE(tensorial->Built)
            << round << ": " << tensorial->Progress.Messages.join("; ").toStdString();
        EXPECT_EQ(tensorial->Steps(), groups - 1);
        steps += tensorial->Steps();
        ASSERT_EQ(tensorial->File, classical->File) << "net " << round << "\n"
                                                    << NetToText(n.Net).toStdString();
        ASSERT_EQ(tensorial->Engine.Store()->FireCounts, classical->Engine.Store()->FireCounts) << round;
        ASSERT_EQ(tensorial->Engine.NoDeadMarking(), classical->Engine.NoDeadMarking()) << round;
        ASSERT_TRUE(TNetState(n.Net) == before) << round;
        for (int m = 0; m < tensorial->Engine.Store()->Count(); ++m)
            ASSERT_EQ(tensorial->Engine.Store()->Tangible(m), classical->Engine.Store()->Tangible(m));
    }
    EXPECT_GT(interfaces, 20); // the interface graph took part often enough
    EXPECT_GT(steps, 400);
}

TEST(TensorialBuild, GroupsSharingTwoTransitionsBuildTheirInterfaceAndLeaveNoTraceOfIt)
{
    // A client (group 1) sends a request and waits for the reply of a server
    // (group 2): both transitions are shared, which makes an interface graph
    // with the buffer place.
    TGroupNet n;
    auto* idle = n.place("p1", 2, "g1");
    auto* waiting = n.place("p2", 0, "g1");
    auto* serving = n.place("p3", 1, "g2");
    auto* busy = n.place("p4", 0, "g2");
    auto* request = n.trans("t1", "s1-2");
    auto* reply = n.trans("t2", "s1-2");
    n.arc(idle, request, "g1");
    n.arc(request, waiting, "g1");
    n.arc(waiting, reply, "s1-2");
    n.arc(reply, idle, "g1");
    n.arc(serving, request, "g2");
    n.arc(request, busy, "g2");
    n.arc(busy, reply, "g2");
    n.arc(reply, serving, "s1-2");

    // What the net holds while the build runs.
    QStringList seen;
    QObject::connect(&n.Net, &TQRVDesigner::ObjectsChanged, [&] {
        if (const auto* buffer = qobject_cast<const TclsNodeDiscrete*>(n.Net.FindObject("p9999")))
            seen << buffer->Group() + " " + QString::number(buffer->Tokens());
    });
    n.Net.RebuildArcLists();
    const TNetState before(n.Net);
    auto t = build(n.Net, true);
    ASSERT_TRUE(t->Built) << t->Progress.Messages.join("; ").toStdString();
    // The place comes, then its two arcs; then the arcs and the place go. The
    // buffer starts with the largest value that p3 (group 2's place of the
    // first shared arc) takes and p1 (group 1's) takes too.
    ASSERT_EQ(seen.size(), 5);
    EXPECT_EQ(seen.first(), "i1-2 1");
    EXPECT_EQ(n.Net.FindObject("p9999"), nullptr);
    EXPECT_TRUE(TNetState(n.Net) == before);

    const TMarkList& st = *t->Engine.Store();
    expectClosedGraph(st);
    EXPECT_EQ(st.PlaceNames(), (QStringList{"p1", "p2", "p3", "p4"}));
    EXPECT_EQ(st.GetValuesText(0), "2,0,1,0");
    EXPECT_EQ(t->File, build(n.Net, false)->File);
    EXPECT_EQ(t->Engine.TotalMarkings(), 2);
}

TEST(TensorialBuild, TheNetIsLeftAsItWasHoweverTheBuildEnds)
{
    QTemporaryDir dir;
    auto makeNet = [](TGroupNet& n) {
        twoCycles(n);
        // A second pair of shared transitions, for the interface graph.
        auto* p5 = n.place("p5", 1, "g1");
        auto* p6 = n.place("p6", 1, "g2");
        auto* ta = n.trans("ta", "s1-2");
        auto* tb = n.trans("tb", "s1-2");
        for (TclsTrans* t : {ta, tb}) {
            n.arc(p5, t, "g1");
            n.arc(t, p5, "g1");
            n.arc(p6, t, "g2");
            n.arc(t, p6, "g2");
        }
        n.Net.Edits().SetClean();
    };
    struct TEnd
    {
        const char* what;
        std::function<void(TGroupNet&, TRecordingProgress&)> arrange;
        bool built;
    };
    const TEnd ends[] = {
        {"completed", [](TGroupNet&, TRecordingProgress&) {}, true},
        {"stopped in the first group's build",
         [](TGroupNet&, TRecordingProgress& p) { p.StopAfterPumps = 2; }, false},
        {"stopped while the interface place exists",
         [](TGroupNet& n, TRecordingProgress& p) {
             QObject::connect(&n.Net, &TQRVDesigner::ObjectsChanged, [&n, &p] {
                 if (n.Net.FindObject("p9999"))
                     p.Stop = true;
             });
         },
         false},
        {"stopped while combining",
         [](TGroupNet&, TRecordingProgress& p) { p.StopOnStatus = TensorialTexts::Kronecker; }, false},
        {"failing in the second group's build",
         [](TGroupNet& n, TRecordingProgress&) {
             // t2 adds a token to p3 and takes none: group 2 grows without bound.
             n.arc(n.Net.FindObject("t2"), n.Net.FindObject("p4"), "g2");
         },
         false},
    };
    for (const TEnd& e : ends) {
        TGroupNet n;
        makeNet(n);
        TRecordingProgress progress;
        e.arrange(n, progress);
        const QString file = dir.filePath("net.pn2");
        ASSERT_EQ(SaveNetFile(n.Net, file), "");
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        f.close();
        n.Net.RebuildArcLists();
        const TNetState before(n.Net);

        TReachEngine engine;
        engine.SetProgress(&progress);
        engine.SetNet(&n.Net);
        EXPECT_EQ(engine.BuildTensorial(), e.built) << e.what;
        EXPECT_EQ(engine.Built(), e.built) << e.what;
        EXPECT_EQ(engine.Store() != nullptr, e.built) << e.what;
        EXPECT_EQ(progress.Messages.isEmpty(), e.built || QString(e.what).startsWith("stopped")) << e.what;

        EXPECT_TRUE(TNetState(n.Net) == before) << e.what;
        const QString again = dir.filePath("again.pn2");
        ASSERT_EQ(SaveNetFile(n.Net, again), "");
        QFile g(again);
        ASSERT_TRUE(g.open(QIODevice::ReadOnly));
        EXPECT_EQ(g.readAll(), bytes) << e.what;
    }
}

TEST(TensorialBuild, StopInAGroupBuildAbortsTheWholeBuild)
{
    TGroupNet n;
    twoCycles(n);
    TRecordingProgress progress;
    progress.StopAfterPumps = 1;
    TReachEngine engine;
    engine.SetProgress(&progress);
    engine.SetNet(&n.Net);
    EXPECT_FALSE(engine.BuildTensorial());
    EXPECT_TRUE(engine.Stopped());
    EXPECT_EQ(progress.Statuses.last(), ReachTexts::Aborted);
    EXPECT_EQ(progress.Statuses.count(TensorialTexts::Kronecker), 0);
    EXPECT_EQ(progress.Percents.back(), 0);
}

TEST(TensorialBuild, TheMarkingsLimitHoldsForGroupsAndForTheCombinedGraph)
{
    // Group 1 alone has 3 markings, group 2 has 2; the net 6.
    TGroupNet n;
    auto* a = n.place("p1", 2, "g1");
    auto* b = n.place("p2", 0, "g1");
    auto* c = n.place("p3", 1, "g2");
    auto* d = n.place("p4", 0, "g2");
    auto* ta = n.trans("t1", "g1");
    auto* tb = n.trans("t2", "g1");
    auto* ts = n.trans("t3", "s1-2");
    auto* tc = n.trans("t4", "g2");
    n.arc(a, ta, "g1");
    n.arc(ta, b, "g1");
    n.arc(b, tb, "g1");
    n.arc(tb, a, "g1");
    n.arc(a, ts, "g1");
    n.arc(ts, a, "g1");
    n.arc(c, ts, "g2");
    n.arc(ts, d, "g2");
    n.arc(d, tc, "g2");
    n.arc(tc, c, "g2");
    for (qint64 limit : {1, 3, 4, 6, 7}) {
        auto t = build(n.Net, true, limit);
        auto k = build(n.Net, false, limit);
        ASSERT_TRUE(t->Built) << limit;
        EXPECT_EQ(t->Engine.LimitReached(), limit <= 6) << limit;
        EXPECT_EQ(t->Engine.LimitWarning(), limit <= 6) << limit;
        EXPECT_TRUE(t->File.contains("!!!Warning") == (limit <= 6)) << limit;
        EXPECT_TRUE(t->Progress.Messages.contains(ReachTexts::LimitMessage) == (limit <= 6)) << limit;
        expectClosedGraph(*t->Engine.Store());
        // Where every group graph is complete, the graph stops where the classical one does.
        if (limit > 3) {
            EXPECT_EQ(t->File, k->File) << limit;
            EXPECT_TRUE(t->Engine.NoDeadMarking()) << "a marking left unexpanded is no dead one";
        }
    }
}

TEST(TensorialBuild, CombiningRecordsTheContinuousTransitionsEnabledInBothGraphs)
{
    // Two graphs given as stores: a continuous transition "c" takes part in
    // both, "d" only in the accumulated one.
    TMarkList acc, grp;
    acc.SetPlaces({"b1"}, {true});
    acc.SetTransitions({"t1", "c", "d"});
    grp.SetPlaces({"p1"}, {false});
    grp.SetTransitions({"c"});
    const double v0 = 1, v1 = 2, bal0 = 0.5, bal1 = -0.5;
    acc.SetOpenContinuous(acc.Add(&v0, &bal0), "c,d");
    acc.SetOpenContinuous(acc.Add(&v1, &bal1, 0), "d");
    acc.AddEdge(0, 1, 0, 1);
    const double g0 = 3;
    grp.SetOpenContinuous(grp.Add(&g0), "c");
    TCombineOrder order{{"p1", "b1"}, {"t1", "c", "d"}, {true, false, false}};
    TSilentProgress silent;
    const TCombineResult r = CombineGraphs(acc, grp, order, 100, true, silent);
    ASSERT_TRUE(r.Store);
    const TMarkList& st = *r.Store;
    ASSERT_EQ(st.Count(), 2);
    EXPECT_EQ(st.PlaceNames(), (QStringList{"p1", "b1"}));
    EXPECT_EQ(st.GetValuesText(0), "3,1");
    EXPECT_EQ(st.Balance(0, 1), 0.5);
    EXPECT_EQ(st.Balance(1, 1), -0.5);
    EXPECT_EQ(st.OpenContinuous(0), "c,d");
    EXPECT_EQ(st.OpenContinuous(1), "d");
    EXPECT_TRUE(st.Tangible(0));
    EXPECT_FALSE(st.Tangible(1));
}

TEST(TensorialBuild, CombiningFindsPairsOfLargeGraphs)
{
    // Two chains of 2,100 markings moved on by one shared transition: of the
    // 4.4 million pairs the diagonal is reached. A self-loop of the
    // accumulated graph leads back to known markings.
    const int n = 2100;
    TMarkList acc, grp;
    acc.SetPlaces({"p1"}, {false});
    acc.SetTransitions({"s", "d"});
    grp.SetPlaces({"p2"}, {false});
    grp.SetTransitions({"s"});
    for (int i = 0; i < n; ++i) {
        const double v = i;
        acc.Add(&v, nullptr, i - 1);
        grp.Add(&v, nullptr, i - 1);
    }
    for (int i = 0; i < n; ++i) {
        acc.AddEdge(i, i, 1, 1);
        if (i + 1 < n)
            acc.AddEdge(i, i + 1, 0, 1);
        if (i + 1 < n)
            grp.AddEdge(i, i + 1, 0, 1);
    }
    TCombineOrder order{{"p1", "p2"}, {"d", "s"}, {true, true}};
    TSilentProgress silent;
    const TCombineResult r = CombineGraphs(acc, grp, order, 1 << 30, false, silent);
    ASSERT_TRUE(r.Store);
    const TMarkList& st = *r.Store;
    ASSERT_EQ(st.Count(), n);
    EXPECT_EQ(st.TransitionNames(), (QStringList{"d", "s"}));
    for (int m = 0; m < n; m += 419) {
        EXPECT_EQ(st.GetValuesText(m), QStringLiteral("%1,%1").arg(m));
        ASSERT_EQ(st.ArcCount(m), m + 1 < n ? 2 : 1);
        EXPECT_EQ(st.Arc(m, 0).Target, m); // d, first in net order
        if (m + 1 < n) {
            EXPECT_EQ(st.Arc(m, 1).Target, m + 1);
        }
    }
    EXPECT_EQ(st.FireCounts, (std::vector<qint64>{n, n - 1}));
    EXPECT_FALSE(r.DeadMarking);
}
