// quorvane-cli export: pictures of a net by the file's extension.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "model/arcs.h"
#include "model/places.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "test_support.h"

namespace {

QString writeNet(const QTemporaryDir& dir)
{
    TTestDesigner d;
    auto* p = new TclsNodeDiscrete(&d);
    p->SetNameDirect("p1");
    p->SetBoundsDirect(20, 20, 30, 30);
    p->SetTokensDirect(3);
    d.InsertObject(p);
    auto* t = new TclsTransTimed(&d);
    t->SetNameDirect("t1");
    t->SetBoundsDirect(120, 30, 30, 10);
    d.InsertObject(t);
    auto* a = new TclsLinkNormal(&d);
    a->SetNameDirect("L1");
    d.InsertObject(a);
    a->SetSource(p);
    a->SetDest(t);
    d.MarkAllDirty();
    d.Update();
    const QString file = dir.filePath("net.pn2");
    EXPECT_EQ(SaveNetFile(d, file), "");
    return file;
}

} // namespace

TEST(CliExport, DrawsTheNetIntoEachFormat)
{
    QTemporaryDir dir;
    const QString net = writeNet(dir);

    TRun r = runCli({"export", net, "-o", dir.filePath("net.png")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QImage png(dir.filePath("net.png"));
    ASSERT_FALSE(png.isNull());
    EXPECT_GE(png.width(), 150);
    EXPECT_GE(png.height(), 50);
    // The place is drawn: black pixels where its outline is.
    bool black = false;
    for (int x = 15; x < 60 && !black; ++x)
        black = png.pixelColor(x, 35) == Qt::black;
    EXPECT_TRUE(black);

    r = runCli({"export", net, "-o", dir.filePath("big.bmp"), "--scale", "2"});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QImage bmp(dir.filePath("big.bmp"));
    EXPECT_GE(bmp.width(), 2 * 150);

    r = runCli({"export", net, "-o", dir.filePath("net.svg")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QFile svg(dir.filePath("net.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_TRUE(text.contains("<svg"));
    EXPECT_TRUE(text.contains("</svg>"));
}

TEST(CliExport, RefusesWhatItCannotDo)
{
    QTemporaryDir dir;
    const QString net = writeNet(dir);
    EXPECT_EQ(runCli({"export", net}).Status, 2);
    EXPECT_EQ(runCli({"export", net, "-o", dir.filePath("x.png"), "--scale", "0"}).Status, 2);
    EXPECT_EQ(runCli({"export", net, "-o", dir.filePath("x.png"), "--scale", "many"}).Status, 2);
    TRun r = runCli({"export", net, "-o", dir.filePath("x.gif")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(".svg, .png and .bmp")) << r.Err.toStdString();
    r = runCli({"export", dir.filePath("missing.pn2"), "-o", dir.filePath("x.png")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));

    // A place far out makes a bitmap of more pixels than there is memory for:
    // refused with the way out, which works.
    const QString far = dir.filePath("far.pn2");
    ASSERT_TRUE(WriteFileBytes(far, "<object class=\"TclsNodeDiscrete\" name=\"p1\" left=\"900000\" "
                                    "top=\"900000\" width=\"30\" height=\"30\" group=\"\" name=\"p1\" "
                                    "size=\"osNormal\" markers=\"0\">\r\n"
                                    "  <cost formula=\"RefV\" Value_Reference=\"0\" Value_Actual=\"0\" />\r\n"
                                    "</object>\r\n<simulate />\r\n"));
    r = runCli({"export", far, "-o", dir.filePath("far.png")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(
        r.Err.contains("Cannot make the picture for far.png: the net is too large for a bitmap at this "
                       "scale; export it as .svg or at a smaller scale."))
        << r.Err.toStdString();
    EXPECT_FALSE(r.Err.contains("QPainter")) << r.Err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("far.png")));
    EXPECT_EQ(runCli({"export", far, "-o", dir.filePath("far.svg")}).Status, 0);
}
