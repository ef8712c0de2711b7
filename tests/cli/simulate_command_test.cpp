// quorvane-cli simulate: the plotted values of deterministic steps, the
// estimates of stochastic runs, and how it fails.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "netfile/net_file.h"
#include "simulation/sim_nets.h"

namespace {

// Saves a net built by `build` into the folder and returns its file name.
template <class F> QString saveNet(const QTemporaryDir& dir, const char* name, F build)
{
    TTestDesigner d;
    build(d);
    const QString file = dir.filePath(QString::fromLatin1(name));
    EXPECT_EQ(SaveNetFile(d, file), "");
    return file;
}

QString readText(const QString& fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

TEST(CliSimulate, DeterministicStepsAsCsv)
{
    QTemporaryDir dir;
    const QString net = saveNet(dir, "chain.pn2", [](TQRVDesigner& d) {
        TimedChain(d, "2", 3);
        d.Graphs << "p2 - TOKENS";
    });
    TRun r = runCli({"simulate", net, "--until", "2", "--plot", "p1 - TOKENS", "--plot", "p9 - TOKENS"});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, "time,p1 - TOKENS,p9 - TOKENS\n"
                     "0,3,\n"
                     "0.5,3,\n"
                     "1,2,\n"
                     "1.5,1,\n"
                     "2,0,\n");
    EXPECT_EQ(r.Err, "Steps: 5, firings: 3, model time: 2.5\n");

    // Without --plot: the net's own graphs; --firings stops after the third.
    const QString csv = dir.filePath("out.csv");
    r = runCli({"simulate", net, "--firings", "3", "--csv", csv});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(readText(csv), "time,p2 - TOKENS\n0,0\n0.5,0\n1,1\n1.5,2\n");

    // More firings than the net can make: it ends where the net is dead.
    r = runCli({"simulate", net, "--firings", "10"});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.endsWith("1.5,2\n2,3\n")) << r.Out.toStdString();
    EXPECT_EQ(r.Err, "At model time 2 no transition is enabled: the net is dead.\n"
                     "Steps: 4, firings: 3, model time: 2\n");
}

TEST(CliSimulate, DeterministicFailureWritesNothing)
{
    QTemporaryDir dir;
    const QString net =
        saveNet(dir, "bad.pn2", [](TQRVDesigner& d) { TimedChain(d, "1/(2 - p2_TOKENS)", 3); });
    const QString csv = dir.filePath("out.csv");
    QFile old(csv);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old\n");
    old.close();
    const TRun r = runCli({"simulate", net, "--until", "100", "--csv", csv});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains("the rate of transition t1 (\"1/(2 - p2_TOKENS)\") cannot be evaluated"))
        << r.Err.toStdString();
    EXPECT_EQ(readText(csv), "old\n");
}

TEST(CliSimulate, StochasticEstimates)
{
    QTemporaryDir dir;
    const QString net = saveNet(dir, "queue.pn2", [](TQRVDesigner& d) { QueueNet(d, 1, 1.25, 5); });
    const QStringList args{"simulate",   net,         "--stochastic",      "--until",  "20000",
                           "--warmup",   "10",        "--measure",         "tokens:q", "--measure",
                           "rate:serve", "--measure", "prob:q_TOKENS = 0", "--seed",   "5"};
    const TRun r = runCli(args);
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QStringList lines = r.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    const TQueueExact exact = QueueExact(1, 1.25, 5);
    const double expected[] = {exact.Length, exact.Throughput, 1 - exact.Throughput / 1.25};
    const char* descriptions[] = {"Average tokens count in q", "Average operation rate of serve",
                                  "in MacroState probabilityq_TOKENS = 0"};
    for (int i = 0; i < 3; ++i) {
        const QStringList f = lines[i].split('\t');
        ASSERT_EQ(f.size(), 4) << lines[i].toStdString();
        EXPECT_EQ(f[0], descriptions[i]);
        EXPECT_NEAR(f[1].toDouble(), expected[i], 2 * f[2].toDouble()) << lines[i].toStdString();
        EXPECT_EQ(f[3], "40");
    }
    EXPECT_TRUE(r.Err.contains("Net: compiled\nMethod: batch means, seed 5\n")) << r.Err.toStdString();

    // The same seed gives the same output; another seed another.
    EXPECT_EQ(runCli(args).Out, r.Out);
    QStringList other = args;
    other.last() = "6";
    EXPECT_NE(runCli(other).Out, r.Out);

    const QString csv = dir.filePath("estimates.csv");
    const TRun reps = runCli({"simulate", net, "--stochastic", "--replications", "5", "--firings", "2000",
                              "--measure", "tokens:q", "--csv", csv});
    ASSERT_EQ(reps.Status, 0) << reps.Err.toStdString();
    const QStringList rows = readText(csv).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], "measure,mean,half-width,samples");
    EXPECT_TRUE(rows[1].startsWith("Average tokens count in q,")) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].endsWith(",5"));
}

TEST(CliSimulate, RefusesBadArguments)
{
    QTemporaryDir dir;
    const QString net = saveNet(dir, "queue.pn2", [](TQRVDesigner& d) { QueueNet(d, 1, 2, 3); });
    struct
    {
        QStringList Args;
        int Status;
        const char* Message;
    } cases[] = {
        {{"simulate", net}, 2, "give --until T or --firings N"},
        {{"simulate", net, "--until", "0"}, 2, "--until needs a model time above 0"},
        {{"simulate", net, "--until", "1", "--measure", "tokens:q"}, 2, "need --stochastic"},
        {{"simulate", net, "--stochastic", "--plot", "q - TOKENS"}, 2, "--plot is for deterministic timing"},
        {{"simulate", net, "--stochastic", "--replications", "4"},
         2,
         "--replications needs the length of each"},
        {{"simulate", net, "--stochastic", "--replications", "1", "--until", "5"}, 2, "at least 2"},
        {{"simulate", net, "--stochastic", "--until", "5", "--measure", "tokens:zz"},
         1,
         "tokens:zz: the net has no place named zz"},
        {{"simulate", dir.filePath("missing.pn2"), "--until", "5"}, 1, "missing.pn2"},
        {{"simulate", net, "--until", "5", "--bogus"}, 2, "unknown option --bogus"},
    };
    for (const auto& c : cases) {
        const TRun r = runCli(c.Args);
        EXPECT_EQ(r.Status, c.Status) << c.Args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.contains(QString::fromLatin1(c.Message))) << r.Err.toStdString();
    }
}
