// quorvane-cli info and convert: what they print, what they write, and how they fail.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "test_support.h"

namespace {

QString example(const char* name)
{
    return QDir(ExamplesDir()).filePath(QString::fromLatin1(name));
}

QByteArray readBytes(const QString& fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(CliInfo, ListsTheNetByKind)
{
    TRun r = runCli({"info", example("hybrid-tank.pn2")});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, "Net: hybrid-tank.pn2\n"
                     "Places: 5 (discrete 2, continuous 3)\n"
                     "Transitions: 4 (timed 3, continuous 1)\n"
                     "Arcs: 10 (normal 4, test 1, continuous 2, flow 2, continuous inhibitor counter 1)\n"
                     "Tokens: 1\n"
                     "Level: 520\n"
                     "Other objects: 13 (Frame 1, Text 12)\n"
                     "Graphs: 0\n");

    r = runCli({"info", TestDataDir() + "/every-class.pn2"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(r.Out.contains("Transitions: 3 (immediate 1, timed 1, continuous 1)\n"));
    EXPECT_TRUE(r.Out.contains("Graphs: 2\n  p1 - TOKENS\n  b1 - LEVEL\n")) << r.Out.toStdString();
}

TEST(CliInfo, ReadsPnmlAndSaysWhatWasDropped)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("reset.pnml");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "<pnml xmlns=\"http://www.pnml.org/version-2009/grammar/pnml\"><net id=\"n\" "
        "type=\"http://www.pnml.org/version-2009/grammar/ptnet\"><page id=\"g\">"
        "<place id=\"a\"><initialMarking><text>4</text></initialMarking></place><transition id=\"t\"/>"
        "<arc id=\"x\" source=\"a\" target=\"t\" type=\"reset\"/><arc id=\"y\" source=\"t\" target=\"a\"/>"
        "</page></net></pnml>");
    f.close();
    const TRun r = runCli({"info", file});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(
        r.Out.contains("Places: 1 (discrete 1)\nTransitions: 1 (timed 1)\nArcs: 1 (normal 1)\nTokens: 4\n"))
        << r.Out.toStdString();
    EXPECT_TRUE(r.Err.startsWith("warning: Reset arcs were dropped")) << r.Err.toStdString();
}

TEST(CliConvert, WritesEachFormatByItsExtension)
{
    QTemporaryDir dir;
    const QString pnml = dir.filePath("net.pnml"), back = dir.filePath("back.PN2");
    TRun r = runCli({"convert", example("readers-writers.pn2"), pnml});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(readBytes(pnml).startsWith("<?xml"));
    EXPECT_TRUE(r.Err.contains("warning: PNML knows only ordinary arcs")) << r.Err.toStdString();
    r = runCli({"convert", pnml, back});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(readBytes(back), readBytes(example("readers-writers.pn2")));
}

TEST(CliConvert, FailsWithStatusOneOnBadInputAndTwoOnBadUsage)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out.pn2");
    QFile previous(out);
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("keep me");
    previous.close();

    const QString broken = dir.filePath("broken.pnml");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<pnml><net id=\"n\"><page id=\"p\"><place id=\"a\"></page></net></pnml>");
    f.close();
    TRun r = runCli({"convert", broken, out});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains("Cannot read broken.pnml")) << r.Err.toStdString();
    EXPECT_EQ(readBytes(out), "keep me");

    r = runCli({"convert", dir.filePath("missing.pn2"), out});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains("no such file"));
    r = runCli({"convert", example("unbounded.pn2"), dir.filePath("no/such/folder/x.pn2")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains("Cannot write"));
    r = runCli({"info", broken});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "");

    EXPECT_EQ(runCli({"convert", example("unbounded.pn2")}).Status, 2);
    EXPECT_EQ(runCli({"convert", example("unbounded.pn2"), dir.filePath("x.txt")}).Status, 2);
    EXPECT_EQ(runCli({"convert", "--fast", example("unbounded.pn2"), out}).Status, 2);
    EXPECT_EQ(runCli({"info"}).Status, 2);
    EXPECT_EQ(runCli({"info", "a.pn2", "b.pn2"}).Status, 2);
    EXPECT_EQ(readBytes(out), "keep me");
    const TRun help = runCli({"convert", "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.contains("quorvane-cli convert IN OUT"));
}

// A file that is not a whole net ends every command with exit status 1 and
// the reason, and nothing is written.
TEST(CliNetFiles, EveryCommandRefusesAFileThatIsNotAWholeNet)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString notNets = TestDataDir() + "/not-a-net/";
    for (const QString& file : QDir(notNets).entryList(QDir::Files)) {
        const TRun r = runCli({"info", notNets + file});
        EXPECT_EQ(r.Status, 1) << file.toStdString();
        EXPECT_TRUE(r.Err.startsWith(file + " is not a net file: ")) << r.Err.toStdString();
        EXPECT_TRUE(r.Out.isEmpty()) << r.Out.toStdString();
    }
    // Under a net file's name, so that every command takes it.
    QTemporaryDir in;
    ASSERT_TRUE(in.isValid());
    const QString notes = in.filePath("notes.pn2");
    ASSERT_TRUE(QFile::copy(notNets + "notes.txt", notes));
    const QString out = dir.filePath("out");
    const QList<QStringList> commands = {
        {"convert", notes, out + ".pn2"},          {"export", notes, "-o", out + ".svg"},
        {"invariants", notes, "-o", out + ".imf"}, {"reach", notes, "-o", out + ".rag"},
        {"eval", "P1_TOKENS", "--net", notes},
    };
    for (const QStringList& args : commands) {
        const TRun r = runCli(args);
        EXPECT_EQ(r.Status, 1) << args.first().toStdString();
        EXPECT_TRUE(
            r.Err.contains("notes.pn2 is not a net file: it has no list of charts at its end (line 3)"))
            << args.first().toStdString() << ": " << r.Err.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}
