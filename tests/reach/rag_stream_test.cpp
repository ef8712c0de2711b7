// The graph file written while the build goes on: the same bytes as the file
// written afterwards (whether the lines went out early, the header came out
// longer than foreseen, fields widened meanwhile or the build left the
// writer behind), and a stopped build or a full disk keeps the old file.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <random>

#include "reach/rag_file.h"
#include "reach/reach_engine.h"
#include "reach_test_support.h"
#include "test_support.h"

namespace {

// `counters` places counting from 0 to `top` and back, one by one.
TTestNet counters(int count, int top)
{
    TTestNet n;
    for (int i = 1; i <= count; ++i) {
        const int p = n.place(QStringLiteral("p%1").arg(i), 0);
        const int q = n.place(QStringLiteral("q%1").arg(i), top);
        const int up = n.trans(QStringLiteral("up%1").arg(i));
        const int down = n.trans(QStringLiteral("down%1").arg(i));
        n.in(up, q);
        n.out(up, p);
        n.in(down, p);
        n.out(down, q);
    }
    return n;
}

// One place filled one token at a time: no invariant bounds it, so its
// field widens as it grows.
TTestNet filling()
{
    TTestNet n;
    n.out(n.trans("t1"), n.place("p1", 0));
    return n;
}

// Builds with the graph file written by the build, and checks it against
// the file written afterwards. Returns the file.
QByteArray buildWritten(const TTestNet& net, const std::function<void(TReachSettings&)>& adjust,
                        const QString& fileName)
{
    TReachEngine engine;
    engine.SetCompiledNet(net.compile());
    adjust(engine.Settings);
    engine.GraphFileName = fileName;
    EXPECT_TRUE(engine.BuildClassical());
    const QByteArray file = ReadFileBytes(fileName);
    EXPECT_EQ(file, GraphBytes(engine));
    return file;
}

} // namespace

TEST(RagStream, TheFileWrittenDuringTheBuildIsTheFileWrittenAfterIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath("current.rag");

    // Thousands of markings, the writer started early (a count of four
    // digits is known from the thousandth marking on) and kept busy.
    buildWritten(
        counters(5, 5), [](TReachSettings& s) { s.Limit = 9999; }, name);
    // The header longer than foreseen: the limit is reached.
    const QByteArray limited = buildWritten(
        counters(5, 5), [](TReachSettings& s) { s.Limit = 5000; }, name);
    EXPECT_TRUE(limited.contains("!!!Warning : Marking number limit exceeded\r\n"));
    buildWritten(
        counters(3, 3), [](TReachSettings& s) { s.Limit = 99; }, name);
    buildWritten(
        counters(3, 3), [](TReachSettings& s) { s.Limit = 64; }, name);
    // Fields widened while the lines are written.
    const QByteArray filled = buildWritten(
        filling(),
        [](TReachSettings& s) {
            s.Limit = 700;
            s.UnboundedControl = false;
        },
        name);
    EXPECT_TRUE(filled.endsWith("M698 = [698] [t1>M699;\r\nM699 = [699] [\r\n\r\n"));

    // Random nets of every arc kind, with priorities, ω and the removal of
    // unsteady markings (which writes its file afterwards).
    std::mt19937 rng(20261207);
    for (int i = 0; i < 300; ++i) {
        const TTestNet net = RandomTestNet(rng, i % 4 != 0);
        const int limit = std::uniform_int_distribution<int>(1, 300)(rng);
        const bool priority = rng() % 2, omega = rng() % 4 != 0, remove = rng() % 5 == 0;
        SCOPED_TRACE(i);
        buildWritten(
            net,
            [&](TReachSettings& s) {
                s.Limit = limit;
                s.PriorityMode = priority || remove;
                s.UnboundedControl = omega;
                s.RemoveUnsteady = remove;
            },
            name);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"current.rag"});
}

TEST(RagStream, LinesGoOutEarlyOnlyWhenTheHeaderComesOutAsForeseen)
{
    // A finished store stands for a build at its end.
    TReachEngine engine;
    engine.SetCompiledNet(counters(4, 4).compile());
    engine.Settings.Limit = 999;
    ASSERT_TRUE(engine.BuildClassical());
    TMarkList& st = *engine.Store();
    ASSERT_EQ(st.Count(), 625);
    st.Reserve(1000, 100000);
    QTemporaryDir dir;
    const QString name = dir.filePath("graph.rag");
    const QByteArray expected = GraphBytes(engine);
    for (const bool warning : {false, true}) {
        TRagStream stream(st, name);
        ASSERT_EQ(stream.OpenError(), "");
        stream.Publish();
        EXPECT_TRUE(stream.Overlapped());
        EXPECT_EQ(stream.Finish(rmFull, warning), "");
        const QByteArray file = ReadFileBytes(name);
        if (warning) {
            EXPECT_EQ(file,
                      QByteArray(expected).replace("Totally", "!!!Warning : Marking number limit exceeded\r\n"
                                                              "Totally"));
        } else {
            EXPECT_EQ(file, expected);
        }
    }
    // Fewer digits than the limit's: nothing goes out before the end.
    st.Limit = 10000;
    TRagStream early(st, name);
    early.Publish();
    EXPECT_FALSE(early.Overlapped());
    EXPECT_EQ(early.Finish(rmFull, false), "");
    EXPECT_EQ(ReadFileBytes(name), expected);
}

TEST(RagStream, AStoppedBuildOrAFullDiskKeepsThePreviousFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath("current.rag");
    const QByteArray previous = "; the graph of an earlier build\r\n";
    const TTestNet net = counters(5, 5);

    // A build of the net that writes its graph to `name` over `previous`.
    const auto failedBuild = [&](TReachEngine& engine, TRecordingProgress& progress) {
        EXPECT_TRUE(WriteFileBytes(name, previous));
        engine.SetProgress(&progress);
        engine.SetCompiledNet(net.compile());
        engine.Settings.Limit = 9999;
        engine.GraphFileName = name;
        EXPECT_FALSE(engine.BuildClassical());
    };

    for (const long pumps : {10L, 3000L, 7000L}) {
        TRecordingProgress progress;
        progress.StopAfterPumps = pumps;
        TReachEngine engine;
        failedBuild(engine, progress);
        EXPECT_TRUE(engine.Stopped());
        EXPECT_EQ(ReadFileBytes(name), previous) << pumps;
    }

    // The lines written early need room beyond the first 100 KB.
    for (const qint64 room : {0, 1000, 100000}) {
        TFullDisk full(room);
        TRecordingProgress progress;
        TReachEngine engine;
        failedBuild(engine, progress);
        EXPECT_EQ(progress.Messages, QStringList{"Cannot write current.rag: No space left on device"})
            << room;
        EXPECT_EQ(ReadFileBytes(name), previous) << room;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"current.rag"});
}
