// The transient window on the offscreen platform, driven through its controls.
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
#include <QTextBrowser>

#include <cmath>

#include "app/help_window.h"
#include "perf_test_support.h"
#include "performance/add_value_dialog.h"
#include "performance/analysis_parts.h"
#include "performance/transient_window.h"

namespace {

// p1 (one token) -> t1 (rate RefV = ln 2) -> p2, and the graph file of it:
// the token is still in p1 at time t with probability 2^(-t).
struct TDecayFixture
{
    TPerfNet Net;
    QTemporaryDir Dir;
    QString Graph;
    QStringList Messages;

    TDecayFixture()
    {
        auto* p1 = Net.place("p1", 1);
        auto* p2 = Net.place("p2", 0);
        auto* t1 = Net.timed("t1", "RefV");
        t1->Rate()->SetValue_Reference(std::log(2.0));
        Net.arc(p1, t1);
        Net.arc(t1, p2);
        TReachEngine reach;
        reach.SetNet(&Net.Net);
        Graph = Dir.filePath("current.rag");
        reach.GraphFileName = Graph;
        EXPECT_TRUE(reach.BuildClassical());
    }
    void attach(TTransAnalyze& w)
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

void setRange(TArgumentBox* box, const char* initial, const char* final, const char* steps)
{
    box->InitialField()->setText(initial);
    box->FinalField()->setText(final);
    box->StepsField()->setText(steps);
}

} // namespace

TEST(TransientWindow, StartsWithTheDefaultsOfItsOwn)
{
    TDecayFixture f;
    TTransAnalyze w(f.Net.Net, f.Graph);
    f.attach(w);
    ASSERT_TRUE(w.GraphRead()) << f.Messages.join('\n').toStdString();
    EXPECT_TRUE(f.Messages.isEmpty());
    EXPECT_EQ(w.windowTitle(), "Transient analysis");
    EXPECT_EQ(w.StatusLabel()->text(), "Now: Idle");
    EXPECT_EQ(w.ToGoLabel()->text(), "Iterations to go :  N/A");
    EXPECT_TRUE(w.StartButton()->isEnabled());
    // Time is argument 1, fixed; its fields are always open.
    QComboBox* time = w.Argument1()->Selector();
    EXPECT_EQ(time->currentText(), "Time");
    EXPECT_EQ(time->count(), 1);
    EXPECT_EQ(time->itemText(0), "None");
    EXPECT_FALSE(time->isEnabled());
    EXPECT_EQ(w.Argument1()->title(), "Argument 1");
    for (QLineEdit* e :
         {w.Argument1()->InitialField(), w.Argument1()->FinalField(), w.Argument1()->StepsField()})
        EXPECT_TRUE(e->isEnabled());
    EXPECT_EQ(w.Argument1()->InitialField()->text(), "0");
    EXPECT_EQ(w.Argument1()->FinalField()->text(), "100");
    EXPECT_EQ(w.Argument1()->StepsField()->text(), "10");
    // Argument 2 waits for a choice; only the builder settings are closed.
    EXPECT_TRUE(w.Argument2()->isEnabled());
    EXPECT_EQ(w.Argument2()->Selector()->count(), 4); // None, Lm1, M(p1), M(p2)
    EXPECT_FALSE(w.Argument2()->InitialField()->isEnabled());
    EXPECT_EQ(w.Argument2()->FinalField()->text(), "10");
    EXPECT_EQ(w.Argument2()->StepsField()->text(), "11");
    EXPECT_FALSE(w.BuilderGroup()->isEnabled());
    EXPECT_EQ(w.CoefficientField()->text(), "1");
    EXPECT_EQ(w.PrecisionIndexField()->text(), "500");
    EXPECT_EQ(w.findChild<QRadioButton*>("rbGauss"), nullptr) << "no Method group";
    EXPECT_NE(w.PreviewGroup(), nullptr);
    choose(w.Argument2()->Selector(), "M(p1)");
    EXPECT_TRUE(w.BuilderGroup()->isEnabled());
    EXPECT_TRUE(w.Argument2()->InitialField()->isEnabled());
    choose(w.Argument2()->Selector(), "None");
    EXPECT_FALSE(w.BuilderGroup()->isEnabled());
    // F1 opens the window's own manual page, which explains the frequency.
    QTest::keyClick(&w, Qt::Key_F1);
    auto* help = w.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->Browser()->source().toString().endsWith("topic-210.html"));
    EXPECT_TRUE(help->Browser()->toPlainText().contains("Average operation freq of"));
}

TEST(TransientWindow, ListsTheValuesAtTheTimePoints)
{
    TDecayFixture f;
    TTransAnalyze w(f.Net.Net, f.Graph);
    f.attach(w);
    // An empty values list: Start does nothing.
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    EXPECT_TRUE(w.Listing()->toPlainText().isEmpty());
    EXPECT_TRUE(f.Messages.isEmpty());
    // The dialog offers this window's frequency text.
    w.Values()->DialogHook = [](TfmAddElem& d) {
        d.show();
        EXPECT_EQ(d.KindBox()->itemText(5), "Average operation freq of");
        d.ObjectBox()->setCurrentIndex(d.ObjectBox()->findText("P*"));
        Q_EMIT d.ObjectBox()->activated(d.ObjectBox()->currentIndex());
        return true;
    };
    QTest::mouseClick(w.Values()->AddButton(), Qt::LeftButton);
    ASSERT_EQ(w.Values()->RowCount(), 2);
    setRange(w.Argument1(), "0", "3", "4");
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    EXPECT_TRUE(f.Messages.isEmpty()) << f.Messages.join('\n').toStdString();
    EXPECT_TRUE(w.Engine().ResultsValid);
    EXPECT_EQ(w.StartButton()->text(), "Start");
    EXPECT_EQ(w.StatusLabel()->text(), "Now : Idle");
    const QStringList lines = w.Listing()->toPlainText().split('\n');
    EXPECT_EQ(lines.mid(0, 9),
              QStringList({"", " Analyze successful.  Data listing follows.", "Argument Value (Time)",
                           "\tAverage tokens count in p1", "\t\tAverage tokens count in p2",
                           "0,0000\t1,0000\t0,0000", "1,0000\t0,5000\t0,5000", "2,0000\t0,2500\t0,7500",
                           "3,0000\t0,1250\t0,8750"}));
    EXPECT_TRUE(w.Listing()->isEnabled());
    w.AutoFileName = f.Dir.filePath("listing");
    w.SaveAs();
    QFile saved(f.Dir.filePath("listing.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("3,0000\t0,1250\t0,8750"));

    // A second argument: the rate doubled halves the half-life; the rate is restored.
    choose(w.Argument2()->Selector(), "Lm1");
    setRange(w.Argument2(), "0.6931471805599453", "1.3862943611198906", "2");
    setRange(w.Argument1(), "0", "1", "2");
    QTest::mouseClick(w.StartButton(), Qt::LeftButton);
    EXPECT_TRUE(f.Messages.isEmpty()) << f.Messages.join('\n').toStdString();
    const QString two = w.Listing()->toPlainText();
    EXPECT_TRUE(two.contains("Arg1 is :Time\nArg2 is :Lm1\n")) << two.toStdString();
    EXPECT_TRUE(two.contains("1,0000\t0,5000\t0,2500")) << two.toStdString();
    EXPECT_EQ(qobject_cast<TclsTransTimed*>(f.Net.Net.FindObject("t1"))->Rate()->Value_Reference(),
              std::log(2.0));
}

TEST(TransientWindow, NamesFieldsThatDoNotReadAndSeriesCutTooEarly)
{
    TDecayFixture f;
    TTransAnalyze w(f.Net.Net, f.Graph);
    f.attach(w);
    w.Engine().AddItems(QString::fromLatin1(KindTexts::All[vkTokens]), "p2");
    w.Values()->Refill();
    const auto start = [&] {
        f.Messages.clear();
        QTest::mouseClick(w.StartButton(), Qt::LeftButton);
        return f.Messages.join('\n');
    };
    w.PrecisionIndexField()->setText("2.5");
    EXPECT_EQ(start(), "\"precision index\": \"2.5\" is not a whole number.");
    EXPECT_TRUE(w.Listing()->toPlainText().isEmpty());
    w.PrecisionIndexField()->setText("500");
    w.Argument1()->FinalField()->setText("soon");
    EXPECT_EQ(start(), "\"Final\" of \"Argument 1\": \"soon\" is not a number.");
    w.Argument1()->FinalField()->setText("10");
    w.Argument1()->InitialField()->setText("-1");
    EXPECT_TRUE(start().contains("no time point may lie before 0"));
    w.Argument1()->InitialField()->setText("0");
    // A coefficient that is not a number counts as 1; a precision index of 0 as 1.
    w.CoefficientField()->setText("fast");
    w.PrecisionIndexField()->setText("0");
    const QString warning = start();
    EXPECT_EQ(w.Engine().Coefficient, 1.0);
    EXPECT_EQ(w.Engine().PowersUsed, 1);
    EXPECT_TRUE(warning.startsWith("At time 1,1111") || warning.startsWith("At time 1.1111"))
        << warning.toStdString();
    EXPECT_TRUE(warning.contains("a precision index of at least")) << warning.toStdString();
    EXPECT_FALSE(w.Listing()->toPlainText().isEmpty()) << "the listing keeps its form";
}

TEST(TransientWindow, BreakPutsTheCaptionBackAtOnceAndStartsNothingUntilStopped)
{
    TDecayFixture f;
    TTransAnalyze w(f.Net.Net, f.Graph);
    f.attach(w);
    w.Engine().AddItems(QString::fromLatin1(KindTexts::All[vkTokens]), "p1");
    w.Values()->Refill();
    int points = 0;
    QString captionAfterBreak;
    w.WhileRunning = [&] {
        if (++points != 3)
            return;
        EXPECT_EQ(w.StartButton()->text(), "Break");
        w.Start(); // Break
        captionAfterBreak = w.StartButton()->text();
        w.Start(); // refused: the sweep has not stopped yet
        EXPECT_TRUE(w.Running());
    };
    w.Start();
    EXPECT_EQ(captionAfterBreak, "Start");
    EXPECT_EQ(points, 3) << "the sweep left at the first stop check, and no second one ran";
    EXPECT_FALSE(w.Running());
    EXPECT_TRUE(w.Engine().ResultsValid);
    EXPECT_TRUE(w.Listing()->toPlainText().isEmpty());
    EXPECT_TRUE(f.Messages.isEmpty());
}

TEST(TransientWindow, ANetWithoutTimedActivityIsReported)
{
    TPerfNet n;
    n.place("p1", 1);
    QTemporaryDir dir;
    TReachEngine reach;
    reach.SetNet(&n.Net);
    reach.GraphFileName = dir.filePath("current.rag");
    ASSERT_TRUE(reach.BuildClassical());
    TTransAnalyze w(n.Net, reach.GraphFileName);
    QStringList messages;
    w.MessageHook = [&](const QString& m) { messages << m; };
    w.show();
    ASSERT_TRUE(w.GraphRead());
    w.Engine().AddItems(QString::fromLatin1(KindTexts::All[vkTokens]), "p1");
    w.Values()->Refill();
    w.Start();
    EXPECT_EQ(messages, QStringList({TransTexts::NoActivity}));
    EXPECT_EQ(w.StatusLabel()->text(), "Now : Idle");
    EXPECT_EQ(w.StartButton()->text(), "Start");
}
