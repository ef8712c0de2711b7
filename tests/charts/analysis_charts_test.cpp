// The result charts inside the analysis windows: the preview follows the
// selected row while the results are valid, "3-D" opens the surface.
#include <gtest/gtest.h>

#include <QChart>
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cmath>

#include "charts/analysis_charts.h"
#include "charts/result_preview.h"
#include "charts/surface_window.h"
#include "performance/add_value_dialog.h"
#include "performance/analysis_parts.h"
#include "performance/perf_test_support.h"
#include "performance/steady_window.h"
#include "performance/transient_window.h"

namespace {

// An M/M/1/2 queue (arrivals t1 at the rate Lm1, service t2 at the rate
// Lm2), its graph file and its window.
struct TQueueWindow
{
    TPerfNet Net;
    QTemporaryDir Dir;
    QStringList Messages;
    std::unique_ptr<TStohAnalyze> Window;

    TQueueWindow()
    {
        MM1KNet(Net, 2, 1.0, 2.0);
        for (const char* name : {"t1", "t2"}) {
            auto* t = qobject_cast<TclsTransTimed*>(Net.Net.FindObject(name));
            const double rate = t->Rate()->Value_Actual();
            t->Rate()->SetFormula("RefV");
            t->Rate()->SetValue_Reference(rate);
        }
        TReachEngine reach;
        reach.SetNet(&Net.Net);
        reach.GraphFileName = Dir.filePath("current.rag");
        EXPECT_TRUE(reach.BuildClassical());
        Window = std::make_unique<TStohAnalyze>(Net.Net, Dir.filePath("current.rag"));
        Window->MessageHook = [this](const QString& m) { Messages << m; };
        Window->show();
    }

    TStohAnalyze& w() { return *Window; }
    TResultPreview& preview() { return *w().Charts()->Preview(); }

    // "Add" with every place for the first kind.
    void addTokensOfEveryPlace()
    {
        w().Values()->DialogHook = [](TfmAddElem& d) {
            d.show();
            d.ObjectBox()->setCurrentIndex(d.ObjectBox()->findText("P*"));
            Q_EMIT d.ObjectBox()->activated(d.ObjectBox()->currentIndex());
            return true;
        };
        QTest::mouseClick(w().Values()->AddButton(), Qt::LeftButton);
    }
    void sweep(TArgumentBox* arg, const QString& text, const QString& initial, const QString& final,
               const QString& steps)
    {
        QComboBox* box = arg->Selector();
        box->setCurrentIndex(box->findText(text));
        Q_EMIT box->activated(box->currentIndex());
        arg->InitialField()->setText(initial);
        arg->FinalField()->setText(final);
        arg->StepsField()->setText(steps);
    }
    void selectRow(const QString& object)
    {
        QTreeWidget* list = w().Values()->List();
        for (int r = 0; r < list->topLevelItemCount(); ++r)
            if (list->topLevelItem(r)->text(1) == object)
                list->setCurrentItem(list->topLevelItem(r));
    }
};

// The mean number of customers of the M/M/1/2 queue.
double meanQueue(double lambda, double mu)
{
    const double r = lambda / mu;
    return (r + 2 * r * r) / (1 + r + r * r);
}

QList<QLineSeries*> lineSeries(const QChart& chart)
{
    QList<QLineSeries*> list;
    for (QAbstractSeries* s : chart.series())
        list << qobject_cast<QLineSeries*>(s);
    return list;
}

} // namespace

TEST(AnalysisCharts, ThePreviewShowsTheSelectedRowOfTheLastCalculation)
{
    TQueueWindow f;
    ASSERT_TRUE(f.w().GraphRead());
    EXPECT_EQ(f.preview().parentWidget(), f.w().PreviewGroup());
    f.addTokensOfEveryPlace();
    ASSERT_EQ(f.w().Values()->RowCount(), 2);

    // Before any calculation a selected row draws nothing and "3-D" opens nothing.
    int surfaces = 0;
    TResultChartData shown;
    f.w().Charts()->SurfaceHook = [&](Tfm3dMath& form) {
        ++surfaces;
        shown = form.Plot().Data();
    };
    f.selectRow("p1");
    EXPECT_TRUE(f.preview().chart()->series().isEmpty());
    QTest::mouseClick(f.w().Values()->ThreeDButton(), Qt::LeftButton);
    EXPECT_EQ(surfaces, 0);

    // Lm1 over 1 … 2 in 3 points, Lm2 over 2 … 4 in 2 points. The row
    // selected before the calculation shows its results when it ends.
    f.sweep(f.w().Argument1(), "Lm1", "1", "2", "3");
    f.sweep(f.w().Argument2(), "Lm2", "2", "4", "2");
    QTest::mouseClick(f.w().StartButton(), Qt::LeftButton);
    ASSERT_TRUE(f.w().Engine().ResultsValid) << f.Messages.join('\n').toStdString();
    QChart& chart = *f.preview().chart();
    EXPECT_EQ(chart.title(), "Average tokens count in p1");
    EXPECT_EQ(BottomAxisTitle(chart), "Lm1");
    QList<QLineSeries*> series = lineSeries(chart);
    ASSERT_EQ(series.size(), 2);
    EXPECT_EQ(series[0]->name(), "Lm2 = 2");
    EXPECT_EQ(series[1]->name(), "Lm2 = 4");
    ASSERT_EQ(series[1]->count(), 3);
    EXPECT_DOUBLE_EQ(series[1]->at(1).x(), 1.5);
    EXPECT_NEAR(series[1]->at(1).y(), meanQueue(1.5, 4), 1e-12);

    // The other row: p2 holds the free places, 2 − the queue.
    f.selectRow("p2");
    series = lineSeries(chart);
    EXPECT_EQ(chart.title(), "Average tokens count in p2");
    ASSERT_EQ(series.size(), 2);
    EXPECT_NEAR(series[0]->at(2).y(), 2 - meanQueue(2, 2), 1e-12);

    // "3-D": the surface of the selected entry, captioned by its kind.
    QTest::mouseClick(f.w().Values()->ThreeDButton(), Qt::LeftButton);
    ASSERT_EQ(surfaces, 1);
    EXPECT_EQ(shown.KindText, "Average tokens count in ");
    ASSERT_EQ(shown.Arg1Count(), 3);
    ASSERT_EQ(shown.Arg2Count(), 2);
    EXPECT_DOUBLE_EQ(shown.Arg2Values[1], 4);
    EXPECT_NEAR(shown.Value(0, 1), 2 - meanQueue(1, 4), 1e-12);

    // Deleting a row keeps the values of the others where they belong.
    f.selectRow("p1");
    QTest::mouseClick(f.w().Values()->DeleteButton(), Qt::LeftButton);
    ASSERT_EQ(f.w().Values()->RowCount(), 1);
    f.selectRow("p2");
    series = lineSeries(chart);
    EXPECT_EQ(chart.title(), "Average tokens count in p2");
    ASSERT_EQ(series.size(), 2);
    EXPECT_NEAR(series[0]->at(0).y(), 2 - meanQueue(1, 2), 1e-12);

    // After "Add" the results are stale: nothing is redrawn, "3-D" opens nothing.
    f.w().Values()->DialogHook = [](TfmAddElem& d) {
        d.show();
        d.KindBox()->setCurrentIndex(4);
        Q_EMIT d.KindBox()->activated(4);
        d.ObjectBox()->setCurrentIndex(d.ObjectBox()->findText("t2"));
        Q_EMIT d.ObjectBox()->activated(d.ObjectBox()->currentIndex());
        return true;
    };
    QTest::mouseClick(f.w().Values()->AddButton(), Qt::LeftButton);
    ASSERT_EQ(f.w().Values()->RowCount(), 2);
    f.selectRow("t2");
    EXPECT_EQ(chart.title(), "Average tokens count in p2");
    QTest::mouseClick(f.w().Values()->ThreeDButton(), Qt::LeftButton);
    EXPECT_EQ(surfaces, 1);
}

TEST(AnalysisCharts, TheTransientWindowDrawsOverTime)
{
    // p1 (one token) -> t1 (rate 1) -> p2: p1 holds its token at time t with probability e^(-t).
    TPerfNet net;
    auto* p1 = net.place("p1", 1);
    auto* p2 = net.place("p2", 0);
    auto* t1 = net.timed("t1", "1");
    net.arc(p1, t1);
    net.arc(t1, p2);
    QTemporaryDir dir;
    TReachEngine reach;
    reach.SetNet(&net.Net);
    reach.GraphFileName = dir.filePath("current.rag");
    ASSERT_TRUE(reach.BuildClassical());
    TTransAnalyze w(net.Net, dir.filePath("current.rag"));
    QStringList messages;
    w.MessageHook = [&](const QString& m) { messages << m; };
    w.show();
    ASSERT_TRUE(w.GraphRead()) << messages.join('\n').toStdString();
    TResultPreview& preview = *w.Charts()->Preview();
    EXPECT_EQ(preview.parentWidget(), w.PreviewGroup());

    w.Values()->DialogHook = [](TfmAddElem& d) {
        d.show();
        d.ObjectBox()->setCurrentIndex(d.ObjectBox()->findText("p1"));
        Q_EMIT d.ObjectBox()->activated(d.ObjectBox()->currentIndex());
        return true;
    };
    QTest::mouseClick(w.Values()->AddButton(), Qt::LeftButton);
    ASSERT_EQ(w.Values()->RowCount(), 1);
    w.Values()->List()->setCurrentItem(w.Values()->List()->topLevelItem(0));
    w.Argument1()->InitialField()->setText("0");
    w.Argument1()->FinalField()->setText("2");
    w.Argument1()->StepsField()->setText("5");
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    ASSERT_TRUE(w.Engine().ResultsValid) << messages.join('\n').toStdString();

    QChart& chart = *preview.chart();
    EXPECT_EQ(chart.title(), "Average tokens count in p1");
    EXPECT_EQ(BottomAxisTitle(chart), "Time");
    const QList<QLineSeries*> series = lineSeries(chart);
    ASSERT_EQ(series.size(), 1);
    EXPECT_EQ(series[0]->name(), "None = 0");
    ASSERT_EQ(series[0]->count(), 5);
    EXPECT_DOUBLE_EQ(series[0]->at(2).x(), 1);
    EXPECT_NEAR(series[0]->at(2).y(), std::exp(-1.0), 1e-9);

    int surfaces = 0;
    w.Charts()->SurfaceHook = [&](Tfm3dMath& form) {
        ++surfaces;
        EXPECT_EQ(form.windowTitle(), "Average tokens count in ");
        EXPECT_EQ(form.Plot().Data().Arg1Text, "Time");
    };
    QTest::mouseClick(w.Values()->ThreeDButton(), Qt::LeftButton);
    EXPECT_EQ(surfaces, 1);
}
