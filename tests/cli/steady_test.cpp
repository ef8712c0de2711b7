// quorvane-cli steady: values at one point, sweeps, files and refusals.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "cli_runner.h"
#include "model/element_builders.h"
#include "netfile/net_file.h"

namespace {

// An M/M/1/2 queue: p1 customers, p2 free places, arrivals t1 (rate 1), service t2 (rate 2).
QString writeQueue(const QTemporaryDir& dir)
{
    TTestDesigner d;
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 40, 40, "p1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 140, 40, "p2");
    p2->SetTokensDirect(2);
    auto* t1 = AddNode<TclsTransTimed>(d, 90, 120, "t1");
    auto* t2 = AddNode<TclsTransTimed>(d, 90, 200, "t2");
    t1->Rate()->SetFormula("RefV");
    t1->Rate()->SetValue_Reference(1);
    t2->Rate()->SetFormula("2");
    AddArc<TclsLinkNormal>(d, p2, t1);
    AddArc<TclsLinkNormal>(d, t1, p1);
    AddArc<TclsLinkNormal>(d, p1, t2);
    AddArc<TclsLinkNormal>(d, t2, p2);
    const QString name = dir.filePath("queue.pn2");
    EXPECT_TRUE(SaveNetFile(d, name).isEmpty());
    return name;
}

} // namespace

TEST(SteadyCommand, PrintsEachValueAtFullPrecision)
{
    QTemporaryDir dir;
    const QString net = writeQueue(dir);
    // pi = (4, 2, 1) / 7: mean 4/7, throughput of t2 2 * 3/7.
    const TRun run = runCli({"steady", net, "--measure", "tokens:p1", "--measure", "rate:t2"});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    const QStringList lines = run.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].section('\t', 0, 0), "Average tokens count in p1");
    EXPECT_NEAR(lines[0].section('\t', 1).toDouble(), 4.0 / 7, 1e-15);
    EXPECT_NEAR(lines[1].section('\t', 1).toDouble(), 6.0 / 7, 1e-15);
    EXPECT_TRUE(run.Err.contains("Markings: 3")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("Relative residual")) << run.Err.toStdString();
    for (const char* method : {"seidel", "iterative"}) {
        const TRun other = runCli({"steady", net, "--measure", "tokens:p1", "--method", method});
        ASSERT_EQ(other.Status, 0) << other.Err.toStdString();
        EXPECT_NEAR(other.Out.section('\t', 1).toDouble(), 4.0 / 7, 1e-9) << method;
    }
}

TEST(SteadyCommand, SweepWritesTheListingAndCsv)
{
    QTemporaryDir dir;
    const QString net = writeQueue(dir);
    const QString csv = dir.filePath("out.csv");
    const QString listing = dir.filePath("out.txt");
    const TRun run = runCli({"steady", net, "--measure", "tokens:P*", "--sweep", "Lm1=1:2:2", "--sweep",
                             "M(p2)=1:2", "--csv", csv, "--listing", listing});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    QFile f(listing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("Arg1 is :Lm1\r\nArg2 is :M(p2)\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\t1,0000\t2,0000\t\r\n")) << text.toStdString();
    QFile c(csv);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(c.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], "Lm1,M(p2),Average tokens count in p1,Average tokens count in p2");
    // Lm1 = 2, one free place: pi = (1, 1) / 2.
    EXPECT_EQ(rows[2], "2,1,0.5,0.5");
}

TEST(SteadyCommand, RefusesBadInputWithTheMessage)
{
    QTemporaryDir dir;
    const QString net = writeQueue(dir);
    QFile dead(dir.filePath("dead.rag"));
    ASSERT_TRUE(dead.open(QIODevice::WriteOnly));
    dead.write("PositionsList: p1;p2;\r\nM0 = [0,2] [t1>M1;\r\nM1 = [1,1] [\r\n");
    dead.close();
    TRun run = runCli({"steady", net, "--graph", dead.fileName()});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("Petry Net contains dead markings. Calculation aborted!"))
        << run.Err.toStdString();
    run = runCli({"steady", net, "--limit", "2"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("Markings limit Exceeded. Calculation aborted!")) << run.Err.toStdString();
    run = runCli({"steady", net, "--measure", "tokens:p7"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("no place p7"));
    run = runCli({"steady", net, "--sweep", "Lm9=1:2:3"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.contains("\"Lm9\" is not an argument"));
    run = runCli({"steady", net, "--method", "magic"});
    EXPECT_EQ(run.Status, 2);
}

TEST(SteadyCommand, DrawsTheChartAndTheSurfaceOfTheFirstValue)
{
    QTemporaryDir dir;
    const QString net = writeQueue(dir);
    const QString chart = dir.filePath("chart.svg"), surface = dir.filePath("surface.png");
    TRun run = runCli({"steady", net, "--measure", "tokens:p1", "--measure", "tokens:p2", "--sweep",
                       "Lm1=1:2:3", "--sweep", "M(p2)=1:2", "--chart", chart, "--surface", surface});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    // The chart of p1, one line per point of the second argument, named in the legend.
    QFile svg(chart);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(svg.readAll());
    QString text;
    int paths = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("path"))
            ++paths;
        else if (xml.isCharacters())
            text += xml.text() + QLatin1Char('|');
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(paths, 0);
    EXPECT_TRUE(text.contains("Average tokens count in p1|")) << text.toStdString();
    EXPECT_FALSE(text.contains("in p2")) << text.toStdString();
    EXPECT_TRUE(text.contains("M(p2) = 1|") && text.contains("M(p2) = 2|")) << text.toStdString();
    EXPECT_TRUE(text.contains("Lm1|")) << text.toStdString();
    const QImage image(surface);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(800, 600));

    // Without a sweep the pictures show the one point; .bmp is written too.
    run = runCli({"steady", net, "--measure", "rate:t2", "--chart", dir.filePath("one.bmp")});
    ASSERT_EQ(run.Status, 0) << run.Err.toStdString();
    EXPECT_FALSE(QImage(dir.filePath("one.bmp")).isNull());
}

TEST(SteadyCommand, RefusesAPictureItCannotWrite)
{
    QTemporaryDir dir;
    const QString net = writeQueue(dir);
    // An unknown extension is refused before anything is computed.
    TRun run = runCli({"steady", net, "--chart", dir.filePath("chart.gif")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.contains("the picture formats are .svg, .png and .bmp")) << run.Err.toStdString();
    EXPECT_FALSE(run.Err.contains("Markings:"));
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.gif")));
    run = runCli({"steady", net, "--surface"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_TRUE(run.Err.contains("--surface needs a value")) << run.Err.toStdString();
    // A folder that does not exist: the values are computed, the picture is not written.
    run = runCli({"steady", net, "--surface", dir.filePath("missing/surface.svg")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.contains("Cannot write")) << run.Err.toStdString();
}
