// quorvane-cli transient: the listing over time, the CSV file, the warning of
// a series cut too early, and refusals.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cmath>

#include "cli_runner.h"
#include "model/element_builders.h"
#include "netfile/net_file.h"

namespace {

// p1 (one token) -> t1 (rate RefV = 1) -> p2: the token leaves p1 after an
// exponential time and stays in p2.
QString writeDecay(const QTemporaryDir& dir)
{
    TTestDesigner d;
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 40, 40, "p1");
    AddNode<TclsNodeDiscrete>(d, 140, 40, "p2");
    p1->SetTokensDirect(1);
    auto* t1 = AddNode<TclsTransTimed>(d, 90, 120, "t1");
    t1->Rate()->SetFormula("RefV");
    t1->Rate()->SetValue_Reference(1);
    AddArc<TclsLinkNormal>(d, p1, t1);
    AddArc<TclsLinkNormal>(d, t1, d.FindObject("p2"));
    const QString name = dir.filePath("decay.pn2");
    EXPECT_TRUE(SaveNetFile(d, name).isEmpty());
    return name;
}

QStringList readLines(const QString& name)
{
    QFile f(name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

TEST(TransientCommand, ListsTheTimePointsAndWritesEveryValueToTheCsv)
{
    QTemporaryDir dir;
    const QString net = writeDecay(dir);
    const QString csv = dir.filePath("out.csv");
    const TRun run = runCli({"transient", net, "--measure", "tokens:P*", "--time", "0:2:5", "--csv", csv});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split('\n');
    ASSERT_GE(lines.size(), 10);
    EXPECT_EQ(lines.mid(0, 5),
              QStringList({"", " Analyze successful.  Data listing follows.", "Argument Value (Time)",
                           "\tAverage tokens count in p1", "\t\tAverage tokens count in p2"}));
    EXPECT_EQ(lines[5], "0,0000\t1,0000\t0,0000");
    EXPECT_EQ(lines[6], "0,5000\t0,6065\t0,3935");
    EXPECT_EQ(lines[9], "2,0000\t0,1353\t0,8647");
    EXPECT_TRUE(run.Err.contains("Uniformisation rate: 1")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("Precision index: ")) << run.Err.toStdString();
    EXPECT_FALSE(run.Err.contains("Warning"));
    const QStringList rows = readLines(csv);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0], "time,Average tokens count in p1,Average tokens count in p2");
    for (int i = 0; i < 5; ++i) {
        const QStringList cells = rows[i + 1].split(',');
        ASSERT_EQ(cells.size(), 3);
        EXPECT_EQ(cells[0].toDouble(), 0.5 * i);
        EXPECT_NEAR(cells[1].toDouble(), std::exp(-0.5 * i), 1e-14);
    }
}

TEST(TransientCommand, SweepsASecondArgumentAndReadsAGraphWithAnAbsorbingMarking)
{
    QTemporaryDir dir;
    const QString net = writeDecay(dir);
    QFile rag(dir.filePath("g.rag"));
    ASSERT_TRUE(rag.open(QIODevice::WriteOnly));
    rag.write("PositionsList: p1;p2;\r\nM0 = [1,0] [t1>M1;\r\nM1 = [0,1] [\r\n");
    rag.close();
    const QString csv = dir.filePath("out.csv");
    const QString listing = dir.filePath("out.txt");
    const TRun run = runCli({"transient", net, "--graph", rag.fileName(), "--measure", "tokens:p1", "--time",
                             "0:1:2", "--sweep", "Lm1=1:2:2", "--csv", csv, "--listing", listing});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty());
    const QString text = readLines(listing).join('\n');
    EXPECT_TRUE(text.contains("Arg1 is :Time\r\nArg2 is :Lm1\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("1,0000\t0,3679\t0,1353")) << text.toStdString();
    const QStringList rows = readLines(csv);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], "time,Lm1,Average tokens count in p1");
    EXPECT_TRUE(rows[4].startsWith("1,2,0.1353352832366")) << rows[4].toStdString();
}

TEST(TransientCommand, NamesTheTimePointsATooSmallPrecisionIndexCuts)
{
    QTemporaryDir dir;
    const QString net = writeDecay(dir);
    // The chain is fast enough: Λ = 1 while the token is in p1; t = 100 needs about 150 powers.
    const TRun run = runCli({"transient", net, "--time", "0:100:3", "--precision-index", "20"});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    EXPECT_TRUE(
        run.Err.contains("Warning: At time 50 the series cut after the precision index 20 leaves out"))
        << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("Warning: At time 100 ")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("a precision index of at least ")) << run.Err.toStdString();
}

TEST(TransientCommand, RefusesBadInputWithTheMessage)
{
    QTemporaryDir dir;
    const QString net = writeDecay(dir);
    TRun run = runCli({"transient", net, "--precision-index", "2.5"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.contains("the precision index must be a whole number, not \"2.5\""))
        << run.Err.toStdString();
    run = runCli({"transient", net, "--time", "0:x:5"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.contains("\"x\" is not a number")) << run.Err.toStdString();
    run = runCli({"transient", net, "--time", "-5:5:3"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.contains("no time point may lie before 0")) << run.Err.toStdString();
    run = runCli({"transient", net, "--coefficient", "abc"});
    EXPECT_EQ(run.Status, 2);
    run = runCli({"transient", net, "--sweep", "Lm1=1:2:2", "--sweep", "M(p1)=1:2"});
    EXPECT_EQ(run.Status, 2);
    // No timed activity at all: a clear message, no division by zero.
    TTestDesigner still;
    AddNode<TclsNodeDiscrete>(still, 40, 40, "p1");
    const QString stillNet = dir.filePath("still.pn2");
    ASSERT_TRUE(SaveNetFile(still, stillNet).isEmpty());
    run = runCli({"transient", stillNet, "--measure", "tokens:p1"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("every outflow rate is 0")) << run.Err.toStdString();
}

TEST(TransientCommand, DrawsTheChartAndTheSurfaceOverTime)
{
    QTemporaryDir dir;
    const QString net = writeDecay(dir);
    const QString chart = dir.filePath("chart.svg"), surface = dir.filePath("surface.png");
    TRun run = runCli({"transient", net, "--measure", "tokens:p1", "--time", "0:2:5", "--sweep", "Lm1=1:2:2",
                       "--chart", chart, "--surface", surface});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    QFile svg(chart);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(svg.readAll());
    QString text;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::Characters)
            text += xml.text() + QLatin1Char('|');
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(text.contains("Average tokens count in p1|")) << text.toStdString();
    EXPECT_TRUE(text.contains("|Time|")) << text.toStdString();
    EXPECT_TRUE(text.contains("Lm1 = 1|") && text.contains("Lm1 = 2|")) << text.toStdString();
    EXPECT_FALSE(QImage(surface).isNull());

    run = runCli({"transient", net, "--surface", dir.filePath("surface.jpg")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.contains("the picture formats are .svg, .png and .bmp")) << run.Err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("surface.jpg")));
}
