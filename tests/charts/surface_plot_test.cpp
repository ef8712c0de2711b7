// The 3-D surface: its box, its colour classes, its view and its pictures.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>

#include "chart_test_data.h"
#include "charts/surface_plot.h"
#include "model/safe_save.h"

TEST(SurfacePlot, TheBoxReachesZeroAndHoldsEveryPoint)
{
    // Positive values: the minima are the smallest coordinates, the maxima the largest.
    TSurfacePlot positive(SweepData(4, 3, [](int i, int j) { return 2.0 + i + 0.5 * j; }));
    EXPECT_EQ(positive.Box().XMin, 1);
    EXPECT_EQ(positive.Box().XMax, 4);
    EXPECT_EQ(positive.Box().YMin, 10);
    EXPECT_EQ(positive.Box().YMax, 30);
    EXPECT_EQ(positive.Box().ZMin, 2);
    EXPECT_EQ(positive.Box().ZMax, 6);

    // Negative values: the upper bound stays at 0.
    TSurfacePlot negative(SweepData(3, 3, [](int i, int j) { return -5.0 + i - j; }));
    EXPECT_EQ(negative.Box().ZMin, -7);
    EXPECT_EQ(negative.Box().ZMax, 0);

    // Without a second argument the one y value is 0: minimum and maximum.
    TSurfacePlot line(SweepData(5, 1, [](int i, int) { return i * i; }));
    EXPECT_EQ(line.Box().YMin, 0);
    EXPECT_EQ(line.Box().YMax, 0);
    EXPECT_EQ(line.Box().ZMin, 0);
    EXPECT_EQ(line.Box().ZMax, 16);
}

TEST(SurfacePlot, ColourClassesFollowTheHeight)
{
    // Heights 0 … 12 over the first argument: twelve classes of width 1.
    TSurfacePlot plot(SweepData(13, 2, [](int i, int) { return i; }));
    EXPECT_EQ(plot.ColourClass(0, 0), 0);
    EXPECT_EQ(plot.ColourClass(6, 1), 6);
    EXPECT_EQ(plot.ColourClass(11, 0), 11);
    EXPECT_EQ(plot.ColourClass(12, 0), 11); // the top falls into the last class
    EXPECT_EQ(SurfaceColourClass(6.99, 0, 12), 6);
    EXPECT_EQ(SurfaceColourClass(-3.5, -6, 0), 5);
    EXPECT_EQ(SurfaceClassColour(0), QColor(116, 159, 203));
    EXPECT_EQ(SurfaceClassColour(6), QColor(96, 213, 134));
    EXPECT_EQ(SurfaceClassColour(11), QColor(244, 237, 172));

    // Equal values, zero or not, and ranges below 1e-10 are all class 0.
    for (double v : {0.0, 5.0, -2.0}) {
        TSurfacePlot flat(SweepData(4, 3, [v](int, int) { return v; }));
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(flat.ColourClass(i, j), 0) << v;
    }
    TSurfacePlot tiny(SweepData(3, 3, [](int i, int) { return 1.0 + i * 1e-11; }));
    EXPECT_EQ(tiny.ColourClass(2, 2), 0);
    EXPECT_EQ(SurfaceColourClass(NAN, 0, 1), 0);
}

TEST(SurfacePlot, AViewStepChangesThePictureAndTheOppositeStepRestoresIt)
{
    TSurfacePlot plot(SweepData(6, 5, [](int i, int j) { return std::sin(i * 0.7) + 0.3 * j; }));
    EXPECT_EQ(plot.RotY, 45);
    EXPECT_EQ(plot.RotZ, 45);
    const QSize size(320, 240);
    const QImage initial = plot.Image(size);
    plot.TurnUp(1);
    EXPECT_NE(plot.Image(size), initial);
    plot.TurnUp(-1);
    EXPECT_EQ(plot.Image(size), initial);
    plot.TurnLeft(1);
    EXPECT_NE(plot.Image(size), initial);
    plot.TurnLeft(-1);
    plot.ZoomIn(1);
    EXPECT_NE(plot.Image(size), initial);
    plot.ZoomIn(-1);
    EXPECT_EQ(plot.Image(size), initial);

    // The height of the viewpoint stops at the poles.
    plot.TurnUp(1000);
    EXPECT_EQ(plot.RotY, 90);
}

TEST(SurfacePlot, TheSvgHoldsAShapePerGridCell)
{
    TSurfacePlot plot(SweepData(5, 4, [](int i, int j) { return i * j; }));
    EXPECT_EQ(plot.CellCount(), 12);
    EXPECT_EQ(CountSvgElements(plot.Svg(QSize(400, 300)), QStringLiteral("path")), 12);
    plot.Fill = false;
    EXPECT_EQ(CountSvgElements(plot.Svg(QSize(400, 300)), QStringLiteral("path")), 12);

    // A value that is not a number leaves out the cells around it, and nothing else.
    TResultChartData holed = SweepData(5, 4, [](int i, int j) { return i + j; });
    holed.Values[2][1] = NAN;
    EXPECT_EQ(CountSvgElements(TSurfacePlot(holed).Svg(QSize(400, 300)), QStringLiteral("path")), 8);
}

TEST(SurfacePlot, DegenerateGridsDrawWithoutFailing)
{
    // No points at all, a single point, one argument only, rows shorter than the grid.
    TResultChartData empty;
    TResultChartData one = SweepData(1, 1, [](int, int) { return 3; });
    TResultChartData line = SweepData(5, 1, [](int i, int) { return i; });
    TResultChartData ragged = SweepData(3, 3, [](int, int) { return 1; });
    ragged.Values[1].resize(1);
    for (const TResultChartData* d : {&empty, &one, &line, &ragged}) {
        TSurfacePlot plot(*d);
        EXPECT_FALSE(plot.Image(QSize(200, 150)).isNull());
        EXPECT_EQ(CountSvgElements(plot.Svg(QSize(200, 150)), QStringLiteral("svg")), 1);
    }
    EXPECT_EQ(TSurfacePlot(ragged).ColourClass(1, 2), 0); // a missing value reads as 0
}

TEST(SurfacePlot, SavesByExtensionAndKeepsTheOldFileOnFailure)
{
    QTemporaryDir dir;
    TSurfacePlot plot(SweepData(4, 4, [](int i, int j) { return i - j; }));
    for (const char* name : {"s.svg", "s.png", "s.bmp"})
        EXPECT_EQ(plot.Save(dir.filePath(name), QSize(300, 200)), "") << name;
    EXPECT_EQ(QImage(dir.filePath("s.png")).size(), QSize(300, 200));
    EXPECT_EQ(QImage(dir.filePath("s.bmp")).size(), QSize(300, 200));

    const QString kept = dir.filePath("kept.emf");
    ASSERT_EQ(SaveBytesSafely(kept, "old"), "");
    EXPECT_TRUE(plot.Save(kept, QSize(300, 200)).contains("picture formats"));
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "old");
}
