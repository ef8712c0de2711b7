// The preview and the big chart, driven as a user does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QFile>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "chart_test_data.h"
#include "charts/big_chart_window.h"
#include "charts/result_preview.h"

namespace {

QList<QLineSeries*> lineSeries(const QChart& chart)
{
    QList<QLineSeries*> list;
    for (QAbstractSeries* s : chart.series())
        list << qobject_cast<QLineSeries*>(s);
    return list;
}

// Double-clicks the preview and runs `inspect` on the big chart while it is
// open; the chart is closed with its "Close" button afterwards.
void withBigChart(TResultPreview& preview, const std::function<void(TChartForm&)>& inspect)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TChartForm*>(QApplication::activeModalWidget());
        if (!form)
            return;
        seen = true;
        inspect(*form);
        for (QPushButton* b : form->findChildren<QPushButton*>())
            if (b->text() == "Close")
                QTest::mouseClick(b, Qt::LeftButton);
        if (form->isVisible())
            form->reject();
    });
    QTest::mouseDClick(preview.viewport(), Qt::LeftButton, {}, preview.viewport()->rect().center());
    EXPECT_TRUE(seen);
}

} // namespace

TEST(ResultPreview, OneArgumentGivesOneSeriesAndABigChartWithoutLegend)
{
    TResultPreview preview;
    preview.resize(400, 300);
    preview.show();
    const TResultChartData d = SweepData(5, 1, [](int i, int) { return 0.5 * i; });
    ASSERT_TRUE(preview.RowSelected(true, [&] { return d; }));

    QChart& chart = *preview.chart();
    EXPECT_EQ(chart.title(), "Average tokens count in P1");
    EXPECT_FALSE(chart.legend()->isVisible());
    EXPECT_EQ(BottomAxisTitle(chart), "Lm1");
    const QList<QLineSeries*> series = lineSeries(chart);
    ASSERT_EQ(series.size(), 1);
    EXPECT_EQ(series[0]->name(), "None = 0");
    ASSERT_EQ(series[0]->count(), 5);
    EXPECT_EQ(series[0]->at(3), QPointF(4, 1.5));
    EXPECT_TRUE(series[0]->pointsVisible());
    EXPECT_EQ(series[0]->markerSize(), 2);
    EXPECT_EQ(series[0]->lightMarker().size(), QSize(2, 2));

    withBigChart(preview, [&](TChartForm& form) {
        EXPECT_EQ(form.windowTitle(), "Big chart");
        EXPECT_EQ(form.Chart()->title(), "Average tokens count in P1");
        EXPECT_EQ(BottomAxisTitle(*form.Chart()), "Lm1");
        ASSERT_EQ(form.Chart()->series().size(), 1);
        EXPECT_TRUE(preview.chart()->series().isEmpty());
        EXPECT_FALSE(form.Chart()->legend()->isVisible());
        EXPECT_EQ(lineSeries(*form.Chart())[0]->pen().widthF(), 2);
    });
    // Back in the preview, as drawn in the big chart.
    ASSERT_EQ(lineSeries(chart).size(), 1);
    EXPECT_EQ(lineSeries(chart)[0], series[0]);
    EXPECT_EQ(series[0]->pen().widthF(), 2);
    EXPECT_EQ(series[0]->attachedAxes().size(), 2);
    EXPECT_EQ(BottomAxisTitle(chart), "Lm1");
}

TEST(ResultPreview, TwoArgumentsGiveASeriesPerPointAndALegend)
{
    TResultPreview preview;
    preview.resize(400, 300);
    preview.show();
    const TResultChartData d = SweepData(4, 3, [](int i, int j) { return i + 10 * j; });
    ASSERT_TRUE(preview.RowSelected(true, [&] { return d; }));
    const QList<QLineSeries*> series = lineSeries(*preview.chart());
    ASSERT_EQ(series.size(), 3);
    EXPECT_EQ(series[0]->name(), "M(P2) = 10");
    EXPECT_EQ(series[2]->name(), "M(P2) = 30");
    EXPECT_EQ(series[2]->at(1), QPointF(2, 21));
    EXPECT_NE(series[0]->pen().color(), series[1]->pen().color());
    EXPECT_FALSE(preview.chart()->legend()->isVisible());
    QList<QColor> colours;
    for (QLineSeries* s : series)
        colours << s->pen().color();

    withBigChart(preview, [&](TChartForm& form) {
        EXPECT_EQ(lineSeries(*form.Chart()), series);
        EXPECT_TRUE(form.Chart()->legend()->isVisible());
        EXPECT_EQ(form.Chart()->legend()->alignment(), Qt::AlignBottom);
    });
    EXPECT_EQ(lineSeries(*preview.chart()), series);
    EXPECT_FALSE(preview.chart()->legend()->isVisible());
    for (int k = 0; k < series.size(); ++k)
        EXPECT_EQ(series[k]->pen().color(), colours[k]);
}

TEST(ResultPreview, DrawsOnlyWhileTheResultsAreValid)
{
    TResultPreview preview;
    bool asked = false;
    const TResultChartData first = SweepData(3, 1, [](int i, int) { return i; });
    // A row selected before any calculation draws nothing.
    EXPECT_FALSE(preview.RowSelected(false, [&] {
        asked = true;
        return first;
    }));
    EXPECT_FALSE(asked);
    EXPECT_TRUE(preview.chart()->series().isEmpty());
    EXPECT_TRUE(preview.chart()->title().isEmpty());

    // After the list changed, selecting another row leaves the last chart.
    ASSERT_TRUE(preview.RowSelected(true, [&] { return first; }));
    TResultChartData other = first;
    other.Title = "Average inflow rate in P1";
    EXPECT_FALSE(preview.RowSelected(false, [&] { return other; }));
    EXPECT_EQ(preview.chart()->title(), "Average tokens count in P1");
    EXPECT_EQ(preview.chart()->series().size(), 1);
}

TEST(ResultPreview, TheBigChartSavesOnWhiteAndKeepsItsOwnLook)
{
    QTemporaryDir dir;
    TResultPreview preview;
    const TResultChartData d = SweepData(6, 2, [](int i, int j) { return i * (j + 1); });
    ASSERT_TRUE(preview.RowSelected(true, [&] { return d; }));
    TChartForm form(*preview.chart());
    form.resize(600, 400);
    form.show();
    const QBrush face = form.Chart()->backgroundBrush();
    QStringList messages;
    form.MessageHook = [&](const QString& m) { messages << m; };

    form.AutoFileName = dir.filePath("chart.svg");
    form.SaveToFile();
    QFile svg(dir.filePath("chart.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_GT(CountSvgElements(svg.readAll(), "path"), 0);
    form.AutoFileName = dir.filePath("chart.png");
    form.SaveToFile();
    const QImage image(dir.filePath("chart.png"));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(form.Chart()->backgroundBrush(), face);
    EXPECT_TRUE(messages.isEmpty());

    // A name the picture writer does not know is refused; nothing is written.
    form.AutoFileName = dir.filePath("chart.gif");
    form.SaveToFile();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(".svg"));
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.gif")));
}
