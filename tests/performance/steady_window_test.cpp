// The steady-state window on the offscreen platform, driven through its controls.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "perf_test_support.h"
#include "performance/add_value_dialog.h"
#include "performance/analysis_parts.h"
#include "performance/steady_window.h"

namespace {

// An M/M/1/2 queue and its graph file.
struct TQueueFixture
{
    TPerfNet Net;
    QTemporaryDir Dir;
    QString Graph;
    QStringList Messages;

    TQueueFixture()
    {
        MM1KNet(Net, 2, 1.0, 2.0);
        auto* t1 = qobject_cast<TclsTransTimed*>(Net.Net.FindObject("t1"));
        t1->Rate()->SetFormula("RefV");
        t1->Rate()->SetValue_Reference(1.0);
        TReachEngine reach;
        reach.SetNet(&Net.Net);
        Graph = Dir.filePath("current.rag");
        reach.GraphFileName = Graph;
        EXPECT_TRUE(reach.BuildClassical());
    }
    void attach(TStohAnalyze& w)
    {
        w.MessageHook = [this](const QString& m) { Messages << m; };
        w.show();
    }
};

void choose(QComboBox* box, const QString& text)
{
    box->setCurrentIndex(box->findText(text));
    Q_EMIT box->activated(box->currentIndex());
}

} // namespace

TEST(SteadyWindow, StartsWithTheDefaultsAndTheStartRule)
{
    TQueueFixture f;
    TStohAnalyze w(f.Net.Net, f.Graph);
    f.attach(w);
    ASSERT_TRUE(w.GraphRead());
    EXPECT_EQ(w.windowTitle(), "Steady-state analysis");
    EXPECT_EQ(w.StatusLabel()->text(), "IdleNow: Idle");
    EXPECT_EQ(w.ToGoLabel()->text(), "Iterations to go :  N/A");
    EXPECT_TRUE(w.GaussButton()->isChecked());
    EXPECT_FALSE(w.PrecisionField()->isEnabled());
    EXPECT_EQ(w.PrecisionField()->text(), "0.000001");
    EXPECT_FALSE(w.StartButton()->isEnabled());
    EXPECT_FALSE(w.BuilderGroup()->isEnabled());
    EXPECT_FALSE(w.Argument2()->isEnabled());
    EXPECT_FALSE(w.Values()->ChangeButton()->isEnabled());
    EXPECT_EQ(w.Argument1()->Selector()->count(), 5); // None, Lm1, Lm2, M(p1), M(p2)
    w.SeidelButton()->setChecked(true);
    EXPECT_TRUE(w.PrecisionField()->isEnabled());
    w.IterativeButton()->setChecked(true);
    EXPECT_FALSE(w.PrecisionField()->isEnabled());
    EXPECT_TRUE(w.ResidualField()->isEnabled());
    // An "M(" argument opens the builder settings and counts its own steps.
    choose(w.Argument1()->Selector(), "M(p2)");
    EXPECT_TRUE(w.BuilderGroup()->isEnabled());
    EXPECT_FALSE(w.Argument1()->StepsField()->isEnabled());
    EXPECT_EQ(w.Argument1()->StepsField()->text(), "3");
    EXPECT_TRUE(w.Argument2()->isEnabled());
    choose(w.Argument1()->Selector(), "None");
    EXPECT_FALSE(w.BuilderGroup()->isEnabled());
}

TEST(SteadyWindow, AddsValuesSweepsARateAndListsTheResults)
{
    TQueueFixture f;
    TStohAnalyze w(f.Net.Net, f.Graph);
    f.attach(w);
    ASSERT_TRUE(w.GraphRead());
    // The dialog: the first kind, then every place.
    w.Values()->DialogHook = [](TfmAddElem& d) {
        d.show();
        EXPECT_EQ(d.KindBox()->currentText(), "Average tokens count in ");
        EXPECT_EQ(d.ObjectBox()->currentText(), "Select...");
        EXPECT_FALSE(d.SetButton()->isEnabled());
        d.ObjectBox()->setCurrentIndex(d.ObjectBox()->findText("P*"));
        Q_EMIT d.ObjectBox()->activated(d.ObjectBox()->currentIndex());
        EXPECT_TRUE(d.SetButton()->isEnabled());
        return true;
    };
    QTest::mouseClick(w.Values()->AddButton(), Qt::LeftButton);
    EXPECT_EQ(w.Values()->RowCount(), 2);
    EXPECT_TRUE(w.Values()->ClearButton()->isEnabled());
    // A macro-state condition through the dialog's own controls.
    w.Values()->DialogHook = [](TfmAddElem& d) {
        d.show();
        d.KindBox()->setCurrentIndex(6);
        Q_EMIT d.KindBox()->activated(6);
        EXPECT_TRUE(d.MacroPanel()->isVisible());
        EXPECT_EQ(d.ConditionBox()->text(), "Define...");
        EXPECT_FALSE(d.SetButton()->isEnabled());
        d.ConditionBox()->setFocus();
        d.ConditionBox()->setText("p1_TOKENS = 2");
        QTest::keyClick(d.ConditionBox(), Qt::Key_Return);
        EXPECT_TRUE(d.SetButton()->isEnabled());
        return true;
    };
    QTest::mouseClick(w.Values()->AddButton(), Qt::LeftButton);
    ASSERT_EQ(w.Values()->RowCount(), 3);

    EXPECT_FALSE(w.StartButton()->isEnabled());
    choose(w.Argument1()->Selector(), "Lm1");
    ASSERT_TRUE(w.StartButton()->isEnabled());
    w.Argument1()->InitialField()->setText("0");
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    EXPECT_EQ(w.Argument1()->InitialField()->text(), "0 ??");
    EXPECT_FALSE(w.Engine().ResultsValid);
    w.Argument1()->InitialField()->setText("1");
    w.Argument1()->FinalField()->setText("2");
    w.Argument1()->StepsField()->setText("2");
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    EXPECT_TRUE(f.Messages.isEmpty()) << f.Messages.join("\n").toStdString();
    EXPECT_TRUE(w.Engine().ResultsValid);
    EXPECT_EQ(w.StartButton()->text(), "Start");
    EXPECT_EQ(w.StatusLabel()->text(), "Now : Idle");
    // Lm1 = 1: pi = (4, 2, 1) / 7; Lm1 = 2: pi = (1, 1, 1) / 3.
    const QStringList lines = w.Listing()->toPlainText().split('\n');
    EXPECT_EQ(
        lines.mid(0, 7),
        QStringList({"", " Analyze successful.  Data listing follows.", "Argument Value (Lm1)",
                     "\tAverage tokens count in p1", "\t\tAverage tokens count in p2",
                     "\t\t\tin MacroState probabilityp1_TOKENS = 2", "1,0000\t0,5714\t1,4290\t0,1429"}));
    EXPECT_EQ(lines.value(7), "2,0000\t1,0000\t1,0000\t0,3333");
    EXPECT_TRUE(w.Listing()->isEnabled());
    // The rate is back where it was.
    EXPECT_EQ(qobject_cast<TclsTransTimed*>(f.Net.Net.FindObject("t1"))->Rate()->Value_Reference(), 1.0);
    w.AutoFileName = f.Dir.filePath("listing");
    w.SaveAs();
    QFile saved(f.Dir.filePath("listing.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("2,0000\t1,0000\t1,0000\t0,3333"));
    // Sorting by the object column, case-insensitively.
    w.Values()->List()->sortItems(1, Qt::AscendingOrder);
    EXPECT_EQ(w.Values()->List()->topLevelItem(0)->text(1), "p1");
    // Clear empties the list and invalidates the results.
    QTest::mouseClick(w.Values()->ClearButton(), Qt::LeftButton);
    EXPECT_EQ(w.Values()->RowCount(), 0);
    EXPECT_FALSE(w.Engine().ResultsValid);
    EXPECT_FALSE(w.StartButton()->isEnabled());
}

TEST(SteadyWindow, BreakStopsTheSweepWithoutAListing)
{
    TQueueFixture f;
    TStohAnalyze w(f.Net.Net, f.Graph);
    f.attach(w);
    w.Engine().AddItems(QString::fromLatin1(KindTexts::All[vkTokens]), "p1");
    w.Values()->Refill();
    choose(w.Argument1()->Selector(), "Lm1");
    // Enough points to outlast the pause between two looks at the events on any
    // machine (a small chain solves in microseconds).
    w.Argument1()->StepsField()->setText("200000");
    w.Engine().PointsLeft = nullptr;
    // Break pressed while the sweep runs: the first pump after a point sees it.
    QTimer::singleShot(0, &w, [&] { w.Start(); });
    w.Start();
    EXPECT_EQ(w.StartButton()->text(), "Start");
    // Between two points the sweep just stops; inside the solver it could not solve.
    EXPECT_TRUE(w.Engine().ResultsValid ||
                (f.Messages.size() == 1 && f.Messages[0].startsWith(PerfTexts::CouldNotSolve)))
        << f.Messages.join("\n").toStdString();
    EXPECT_EQ(w.Engine().Arg1Values.back(), 0.0); // stopped before the last point
    EXPECT_TRUE(w.Listing()->toPlainText().isEmpty());
}

TEST(SteadyWindow, RefusesAGraphWithDeadMarkings)
{
    TQueueFixture f;
    QFile dead(f.Dir.filePath("dead.rag"));
    ASSERT_TRUE(dead.open(QIODevice::WriteOnly));
    dead.write("PositionsList: p1;p2;\r\nM0 = [0,2] [t1>M1;\r\nM1 = [1,1] [\r\n");
    dead.close();
    TStohAnalyze w(f.Net.Net, dead.fileName());
    f.attach(w);
    EXPECT_FALSE(w.GraphRead());
    EXPECT_EQ(f.Messages, QStringList({"Petry Net contains dead markings. Calculation aborted!"}));
    EXPECT_FALSE(w.StartButton()->isEnabled());
}
