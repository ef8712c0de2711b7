// The big chart drawn without a window, as quorvane-cli writes it.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>

#include "chart_test_data.h"
#include "charts/result_chart_picture.h"
#include "editor/picture_file.h"

namespace {

QByteArray chartSvg(const TResultChartData& data)
{
    return PictureSvg(QSize(640, 400), data.Title,
                      [&](QPainter& p) { RenderResultChart(data, p, QRectF(0, 0, 640, 400)); });
}

// The pixels of a series colour in a picture.
int pixelsOf(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

// The parts of an analysis engine that the charts read.
struct TFakeItem
{
    QString KindText, ObjectName;
    QString Description() const { return KindText + ObjectName; }
};
struct TFakeEngine
{
    std::vector<TFakeItem> Items;
    int Arg1Count = 0, Arg2Count = 0;
    std::vector<double> Arg1Values, Arg2Values;
    double Result(int i, int j, int e) const { return 100 * e + 10 * i + j; }
};

} // namespace

TEST(ResultChartPicture, TakesAnEntryOfAnEngine)
{
    TFakeEngine engine;
    engine.Items = {{"Average tokens count in ", "P1"}, {"Average operation rate of ", "T2"}};
    engine.Arg1Count = 3;
    engine.Arg2Count = 2;
    engine.Arg1Values = {1, 2, 3};
    engine.Arg2Values = {5, 6};
    const TResultChartData d = ResultChartDataOf(engine, 1, "Lm1", "M(P3)");
    EXPECT_EQ(d.Title, "Average operation rate of T2");
    EXPECT_EQ(d.KindText, "Average operation rate of ");
    EXPECT_EQ(d.Arg1Text, "Lm1");
    EXPECT_EQ(d.SeriesTitle(1), "M(P3) = 6");
    ASSERT_EQ(d.Arg1Count(), 3);
    ASSERT_EQ(d.Arg2Count(), 2);
    EXPECT_EQ(d.Value(2, 1), 121);
    EXPECT_EQ(d.Value(0, 0), 100);
    EXPECT_EQ(d.Value(3, 0), 0); // outside the grid

    // No such entry, or counts beyond the values stored: nothing is read past them.
    EXPECT_EQ(ResultChartDataOf(engine, 2, "Lm1", "None").Arg1Count(), 0);
    engine.Arg1Count = 7;
    EXPECT_EQ(ResultChartDataOf(engine, 0, "Lm1", "None").Arg1Count(), 3);
}

TEST(ResultChartPicture, SeriesTitlesNameTheSecondArgument)
{
    TResultChartData d = SweepData(3, 2, [](int i, int j) { return i + j; });
    d.Arg2Values = {1.23456, 20000};
    EXPECT_EQ(d.SeriesTitle(0), "M(P2) = 1.235");
    EXPECT_EQ(d.SeriesTitle(1), "M(P2) = 2E4");
    EXPECT_EQ(SweepData(3, 1, [](int, int) { return 1; }).SeriesTitle(0), "None = 0");
}

TEST(ResultChartPicture, TheLegendAppearsWithTwoSeriesOrMore)
{
    const QByteArray one = chartSvg(SweepData(4, 1, [](int i, int) { return i; }));
    EXPECT_TRUE(one.contains("Average tokens count in P1"));
    EXPECT_TRUE(one.contains("Lm1"));
    EXPECT_FALSE(one.contains("None = 0"));

    const QByteArray three = chartSvg(SweepData(4, 3, [](int i, int j) { return i * j; }));
    for (const char* title : {"M(P2) = 10", "M(P2) = 20", "M(P2) = 30"})
        EXPECT_TRUE(three.contains(title)) << title;
}

TEST(ResultChartPicture, EachSeriesIsDrawnInItsColour)
{
    const TResultChartData d = SweepData(5, 2, [](int i, int j) { return j == 0 ? i : 10 - i; });
    const QImage image = PictureImage(QSize(640, 400), [&](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, false);
        RenderResultChart(d, p, QRectF(0, 0, 640, 400));
    });
    EXPECT_GT(pixelsOf(image, ResultSeriesColour(0)), 100);
    EXPECT_GT(pixelsOf(image, ResultSeriesColour(1)), 100);
    EXPECT_NE(ResultSeriesColour(0), ResultSeriesColour(1));
}

TEST(ResultChartPicture, OddValuesAndFilesAreHandled)
{
    QTemporaryDir dir;
    // Values that are not finite are left out; flat and empty results still draw.
    TResultChartData holed = SweepData(5, 2, [](int i, int) { return i; });
    holed.Values[2][0] = NAN;
    holed.Values[3][1] = INFINITY;
    EXPECT_EQ(SaveResultChart(holed, dir.filePath("holed.png")), "");
    EXPECT_EQ(SaveResultChart(SweepData(3, 1, [](int, int) { return 7; }), dir.filePath("flat.svg")), "");
    EXPECT_EQ(SaveResultChart(TResultChartData(), dir.filePath("empty.bmp")), "");
    EXPECT_EQ(QImage(dir.filePath("holed.png")).size(), QSize(800, 500));
    EXPECT_EQ(SaveResultSurface(holed, dir.filePath("surface.png")), "");
    EXPECT_EQ(QImage(dir.filePath("surface.png")).size(), QSize(800, 600));

    EXPECT_TRUE(SaveResultChart(holed, dir.filePath("chart.txt")).startsWith("Cannot write"));
    EXPECT_TRUE(SaveResultChart(holed, dir.filePath("no/such/chart.png")).startsWith("Cannot write"));
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.txt")));
}
