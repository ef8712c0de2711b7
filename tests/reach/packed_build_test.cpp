// Markings kept as packed counts: the store's codes and their widening, the
// build on them against the build on doubles (growing counts, counts beyond
// what the fields hold), the graph file written in parallel chunks, the
// invariants that size the fields, group-filtered builds, and builds that
// run out of memory.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <random>

#include "allocation_failure.h"
#include "model/element_builders.h"
#include "reach/rag_file.h"
#include "reach/reach_engine.h"
#include "reach_test_support.h"

namespace {

// Builds the net twice, packed and on doubles; both must write the same file.
QByteArray buildBoth(const TTestNet& net, const std::function<void(TReachSettings&)>& adjust,
                     bool expectPacked)
{
    QByteArray files[2];
    for (int packed = 0; packed < 2; ++packed) {
        TReachEngine engine;
        engine.SetCompiledNet(net.compile());
        adjust(engine.Settings);
        engine.Settings.PackMarkings = packed == 1;
        EXPECT_TRUE(engine.BuildClassical());
        EXPECT_EQ(engine.UsedPackedMarkings(), packed == 1 && expectPacked);
        files[packed] = GraphBytes(engine);
    }
    EXPECT_EQ(files[0], files[1]);
    return files[1];
}

// A device that takes `room` bytes and then fails.
class TFullDevice : public QIODevice
{
public:
    explicit TFullDevice(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }
    qint64 Written = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override
    {
        if (Written + size > m_room)
            return -1;
        Written += size;
        return size;
    }

private:
    qint64 m_room;
};

} // namespace

TEST(PackedStore, CodesReadWidenAndUnpackAsTheirValues)
{
    // 30 places of 3 bits fill two words: fields never straddle a word.
    TMarkList store;
    QStringList names;
    for (int i = 1; i <= 30; ++i)
        names << QStringLiteral("p%1").arg(i);
    store.SetPlaces(names, std::vector<bool>(30, false));
    store.SetTransitions({"t1"});
    store.SetPacked(std::vector<int>(30, 3));
    EXPECT_EQ(store.Layout().Words(), 2);
    EXPECT_EQ(store.Layout().Word(21), 1);
    EXPECT_EQ(store.Layout().Shift(21), 0);

    std::mt19937 rng(3);
    std::vector<std::vector<double>> values;
    auto add = [&](const std::vector<qint64>& counts) {
        quint64* code = store.NewCode();
        store.Layout().Encode(counts.data(), code);
        return store.AddNewCode(store.Count() - 1, TCodeIndex::Key(code, store.Layout().Words()));
    };
    for (int m = 0; m < 200; ++m) {
        std::vector<qint64> counts(30);
        for (qint64& c : counts)
            c = rng() % 8;
        counts[29] = m % 8; // markings that differ in the second word only
        const std::vector<double> asDoubles(counts.begin(), counts.end());
        if (store.Find(asDoubles.data()) >= 0)
            continue;
        EXPECT_EQ(add(counts), static_cast<int>(values.size()));
        values.push_back(asDoubles);
    }
    store.AddEdge(0, 1, 0, 1.0);
    std::vector<double> outside(30, 0.0), fraction(30, 0.0);
    outside[0] = 8;
    fraction[0] = 0.5;
    EXPECT_EQ(store.Find(outside.data()), -1);
    EXPECT_EQ(store.Find(fraction.data()), -1);

    TMarkList doubles;
    doubles.SetPlaces(names, std::vector<bool>(30, false));
    doubles.SetTransitions({"t1"});
    for (const auto& v : values)
        doubles.Add(v.data());
    doubles.AddEdge(0, 1, 0, 1.0);
    auto expectSame = [&]() {
        for (int m = 0; m < doubles.Count(); ++m) {
            ASSERT_EQ(store.GetLine(m, rmReduced), doubles.GetLine(m, rmReduced));
            ASSERT_EQ(store.Find(values[std::size_t(m)].data()), m);
            ASSERT_EQ(store.Value(m, 29), values[std::size_t(m)][29]);
        }
        std::string a, b;
        store.AppendLines(a, 0, store.Count(), rmFull);
        doubles.AppendLines(b, 0, doubles.Count(), rmFull);
        ASSERT_EQ(a, b);
        EXPECT_EQ(store.MaxValue(), doubles.MaxValue());
    };
    expectSame();

    // Wider fields (ω needs 17 bits) keep every marking and its index.
    std::vector<int> bits(30, 3);
    bits[4] = 17;
    store.Repack(bits);
    EXPECT_EQ(store.Layout().Words(), 2);
    std::vector<qint64> omega(30, 0);
    omega[4] = 99999;
    add(omega);
    values.emplace_back(omega.begin(), omega.end());
    doubles.Add(values.back().data());
    expectSame();
    EXPECT_TRUE(store.GetValuesText(store.Count() - 1).startsWith("0,0,0,0,w,0"));
    EXPECT_THROW(store.Repack(std::vector<int>(30, 2)), std::logic_error);

    // Asking for the rows of doubles unpacks the store for good.
    EXPECT_EQ(store.Values(1)[29], values[1][29]);
    EXPECT_FALSE(store.Packed());
    expectSame();
}

TEST(PackedBuild, GrowingCountsWidenTheirFields)
{
    // One place filled by one token per firing: without the unbounded-net
    // control it grows through every field width up to the limit.
    TTestNet counter;
    const int p1 = counter.place("p1", 0), p2 = counter.place("p2", 1);
    const int t1 = counter.trans("t1"), t2 = counter.trans("t2", tcImmediate);
    counter.out(t1, p1);
    counter.in(t2, p2, 1, lkTest);
    counter.out(t2, p1, 2);
    const QByteArray file = buildBoth(
        counter,
        [](TReachSettings& s) {
            s.UnboundedControl = false;
            s.Limit = 700;
        },
        true);
    EXPECT_TRUE(file.contains("M699 = [699,1] [\r\n"));

    // A count of 99999 or more is never changed again, so counts stay below
    // 99999 plus the largest weight: 32 bits hold every count the build meets.
    TTestNet huge;
    const int h1 = huge.place("p1", 1), h2 = huge.place("p2", 0);
    const int grow = huge.trans("t1");
    huge.in(grow, h1);
    huge.out(grow, h1);
    huge.out(grow, h2, 2147483647.0);
    const QByteArray hugeFile = buildBoth(
        huge, [](TReachSettings& s) { s.UnboundedControl = false; }, true);
    EXPECT_TRUE(hugeFile.endsWith("M0 = [1,0] [t1>M1;\r\nM1 = [1,2147483647] [t1>M1;\r\n\r\n"));

    // With the control, ω is a count like any other for the fields.
    buildBoth(
        huge, [](TReachSettings&) {}, true);
}

TEST(PackedBuild, TheGraphFileIsTheSameWhateverTheChunksAndThreads)
{
    // Enough markings for several chunks formatted in parallel: two places
    // filled by one token per firing each, up to the limit (well below ω).
    TTestNet grid;
    grid.out(grid.trans("t1"), grid.place("p1", 0));
    grid.out(grid.trans("t2"), grid.place("p2", 0));
    TReachEngine engine;
    engine.SetCompiledNet(grid.compile());
    engine.Settings.UnboundedControl = false;
    engine.Settings.Limit = 400000;
    ASSERT_TRUE(engine.BuildClassical());
    const TMarkList& st = *engine.Store();
    std::string expected = "; Reachability graph file. Generated by QRVP\r\n"
                           "; Generated from xxx petry net file.\r\n"
                           "!!!Warning : Marking number limit exceeded\r\n"
                           "Totally found markings number = 400000\r\n"
                           "PositionsList: p1;p2;\r\n";
    for (int m = 0; m < st.Count(); ++m) {
        st.AppendLine(expected, m, rmFull);
        expected += "\r\n";
    }
    expected += "\r\n";
    EXPECT_EQ(GraphBytes(engine).toStdString(), expected);

    // A device that fails halfway: the writers stop, the write fails.
    TFullDevice full(static_cast<qint64>(expected.size() / 2));
    EXPECT_FALSE(engine.WriteGraph(full));
    EXPECT_LT(full.Written, static_cast<qint64>(expected.size()));
    TFullDevice early(100);
    EXPECT_FALSE(WriteRagFile(st, rmFull, false, early));
}

TEST(PackedBuild, PlaceInvariantsHoldForEveryTransitionAndBoundTheCounts)
{
    std::mt19937 rng(11);
    int found = 0;
    for (int i = 0; i < 400; ++i) {
        const TTestNet net = RandomTestNet(rng, true);
        const auto compiled = net.compile();
        std::vector<double> bounds;
        const std::vector<double> weights = compiled->PositiveInvariant(&bounds);
        if (weights.empty())
            continue;
        ++found;
        ASSERT_EQ(weights.size(), static_cast<std::size_t>(compiled->PlaceCount()));
        for (int t = 0; t < compiled->TransitionCount(); ++t) {
            if (compiled->Class(t) == tcContinuous)
                continue;
            double change = 0;
            for (int a = compiled->InputBegin(t); a < compiled->OutputEnd(t); ++a) {
                const auto& arc = compiled->Arcs()[std::size_t(a)];
                if (arc.Kind == lkNormal)
                    change +=
                        (a < compiled->InputEnd(t) ? -1 : 1) * weights[std::size_t(arc.Place)] * arc.Rounded;
            }
            ASSERT_EQ(change, 0) << "net " << i << " transition " << t;
        }
        for (std::size_t p = 0; p < bounds.size(); ++p)
            ASSERT_GE(bounds[p], compiled->Initial()[p]);
    }
    EXPECT_GT(found, 20);

    // A ring of places has one invariant, whatever its size; a long one is
    // given up rather than searched for in quadratic time.
    auto ring = [](int n) {
        TCompiledNet net;
        for (int i = 0; i < n; ++i)
            net.AddPlace(QStringLiteral("p%1").arg(i + 1), i == 0 ? 1 : 0);
        for (int i = 0; i < n; ++i) {
            const int t = net.AddTransition(QStringLiteral("t%1").arg(i + 1), tcTimed);
            net.AddInputArc(t, i, lkNormal, 1);
            net.AddOutputArc(t, (i + 1) % n, lkNormal, 1);
        }
        net.Finish();
        return net.PositiveInvariant();
    };
    EXPECT_EQ(ring(50), std::vector<double>(50, 1.0));
    EXPECT_TRUE(ring(20000).empty());
}

TEST(PackedBuild, AGroupFilteredBuildTakesTheGroupsPlacesTransitionsAndArcs)
{
    // p1 -> t1 -> p2 in group "a"; t2 moves p2 back to p1 but is in group "b".
    TTestDesigner net;
    auto* p1 = AddNode<TclsNodeDiscrete>(net, 0, 0);
    auto* p2 = AddNode<TclsNodeDiscrete>(net, 40, 0);
    auto* t1 = AddNode<TclsTransTimed>(net, 0, 50);
    auto* t2 = AddNode<TclsTransTimed>(net, 40, 50);
    auto* in = AddArc<TclsLinkNormal>(net, p1, t1);
    auto* out = AddArc<TclsLinkNormal>(net, t1, p2);
    auto* back1 = AddArc<TclsLinkNormal>(net, p2, t2);
    AddArc<TclsLinkNormal>(net, t2, p1);
    for (TQRVObject* o :
         {static_cast<TQRVObject*>(p1), static_cast<TQRVObject*>(p2), static_cast<TQRVObject*>(t1),
          static_cast<TQRVObject*>(in), static_cast<TQRVObject*>(out)})
        o->SetGroupDirect("a");
    t2->SetGroupDirect("b");
    back1->SetGroupDirect("a");
    p1->SetTokens(2);

    TReachEngine engine;
    engine.SetNet(&net);
    engine.SelectedGroup = 0;
    engine.GroupFilter = [](const TQRVObject* o) { return o->Group() == QLatin1String("a"); };
    ASSERT_TRUE(engine.PrepareBuild());
    while (engine.ExpandPass()) {
    }
    const TMarkList& st = *engine.Store();
    EXPECT_EQ(st.TransitionNames(), QStringList("t1"));
    ASSERT_EQ(st.Count(), 3);
    EXPECT_EQ(st.GetLine(0, rmFull), "M0 = [2,0] [t1>M1;");
    EXPECT_EQ(st.GetLine(2, rmFull), "M2 = [0,2] [");
    EXPECT_EQ(t1->InArcs, QList<TclsLink*>{in});
    EXPECT_EQ(p2->OutArcs, QList<TclsLink*>{back1});
    EXPECT_EQ(p2->InArcs, QList<TclsLink*>{out});
}

TEST(ReachMemory, AnAllocationFailureEndsTheBuildWithItsMessage)
{
    // A stochastic net on the live net: its preparation, build, removal of
    // unsteady markings and graph file, failing at every allocation in turn.
    auto makeNet = [](TTestDesigner& net) {
        auto* pool = AddNode<TclsNodeDiscrete>(net, 0, 0);
        auto* route = AddNode<TclsNodeDiscrete>(net, 40, 0);
        auto* queue = AddNode<TclsNodeDiscrete>(net, 80, 0);
        auto* arrive = AddNode<TclsTransTimed>(net, 0, 50);
        auto* send = AddNode<TclsTransInstant>(net, 40, 50);
        auto* drop = AddNode<TclsTransInstant>(net, 60, 50);
        auto* serve = AddNode<TclsTransTimed>(net, 80, 50);
        AddArc<TclsLinkNormal>(net, pool, arrive);
        AddArc<TclsLinkNormal>(net, arrive, route);
        AddArc<TclsLinkNormal>(net, route, send);
        AddArc<TclsLinkNormal>(net, send, queue);
        AddArc<TclsLinkNormal>(net, route, drop);
        AddArc<TclsLinkNormal>(net, drop, pool);
        AddArc<TclsLinkNormal>(net, queue, serve);
        AddArc<TclsLinkNormal>(net, serve, pool);
        pool->SetTokens(3);
        return pool;
    };
    QTemporaryDir dir;
    auto build = [&](long failAt, TRecordingProgress& progress, bool& failed, QByteArray& file) {
        TTestDesigner net;
        auto* pool = makeNet(net);
        TReachEngine engine;
        engine.SetProgress(&progress);
        engine.SetNet(&net);
        engine.Settings.RemoveUnsteady = true;
        engine.Settings.PriorityMode = true;
        engine.GraphFileName = dir.filePath("graph.rag");
        QFile::remove(engine.GraphFileName);
        bool built;
        progress.Percents.reserve(1000); // the recorder allocates nothing while memory fails
        {
            TAllocationFailure failure(failAt - 1);
            built = engine.BuildClassical();
            failed = failure.Happened();
        }
        // The net stays as it was, whatever happened.
        EXPECT_EQ(pool->Tokens(), 3);
        EXPECT_FALSE(net.Updating());
        QFile written(engine.GraphFileName);
        file = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
        return built && engine.RemovalComplete();
    };
    TRecordingProgress reference;
    bool failed = false;
    QByteArray expected;
    ASSERT_TRUE(build(0, reference, failed, expected));
    ASSERT_FALSE(expected.isEmpty());
    int failures = 0;
    for (long n = 1;; ++n) {
        TRecordingProgress progress;
        QByteArray file;
        const bool complete = build(n, progress, failed, file);
        if (!failed) {
            EXPECT_TRUE(complete);
            break;
        }
        ++failures;
        SCOPED_TRACE(n);
        if (complete) {
            // The failure cost nothing: the result is whole.
            EXPECT_EQ(file, expected);
        } else {
            // It ended with its message, and no graph file.
            ASSERT_EQ(progress.Messages.size(), 1);
            EXPECT_TRUE(progress.Messages[0].contains("not enough memory"))
                << progress.Messages[0].toStdString();
            EXPECT_TRUE(file.isEmpty() || file == expected);
        }
    }
    EXPECT_GT(failures, 50);
}
