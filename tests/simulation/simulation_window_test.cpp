// The simulation window on the offscreen platform, driven through its
// buttons: running, stopping, restarting, closing both ways, the animation's
// frames, graphs and their pictures, a failing formula, and the main
// window's "Simulate" button.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

#include "app/help_window.h"
#include "app/main_window.h"
#include "model/edits.h"
#include "simulation/sim_chart.h"
#include "simulation/sim_nets.h"
#include "simulation/simulation_window.h"
#include "test_support.h"

namespace {

QPushButton* button(const QWidget& w, const char* name)
{
    auto* b = w.findChild<QPushButton*>(QString::fromLatin1(name));
    EXPECT_NE(b, nullptr) << name;
    return b;
}

// Lets the window run until `done` holds (at most a few seconds).
template <class F> bool runUntil(F done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

struct TWindow
{
    explicit TWindow(TQRVDesigner& d) : w(d, nullptr, 1)
    {
        w.FrameMs = 0;
        w.MaxWaitMs = 0;
        w.MessageHook = [this](const QString& m) { Messages << m; };
        w.show();
    }
    TfmSimulation w;
    QStringList Messages;
};

double tokens(const TQRVDesigner& d, const char* place)
{
    return static_cast<TclsNode*>(d.FindObject(QString::fromLatin1(place)))->Value();
}

} // namespace

TEST(SimulationWindow, OpensCollapsedAndStopped)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    d.Graphs << "p2 - TOKENS";
    auto redPixels = [&] {
        return CountPixels(Picture(d), QRect(75, 5, 40, 20), [](QRgb px) { return IsColor(px, 0x0000FF); });
    };
    EXPECT_EQ(redPixels(), 0);
    TWindow t(d);
    EXPECT_TRUE(t.w.Stopped());
    EXPECT_TRUE(d.Simulating());
    EXPECT_GT(redPixels(), 100); // the enabled transition
    EXPECT_TRUE(t.w.ChartPages()->isHidden());
    EXPECT_EQ(t.w.TimeLabel()->text(), "Time: 00.00");
    EXPECT_EQ(t.w.SpeedSlider()->value(), 50);
    EXPECT_TRUE(button(t.w, "btStart")->isEnabled());
    // Elements with variables, sorted; the first chosen with its variables.
    QStringList objects;
    for (int i = 0; i < t.w.ObjectList()->count(); ++i)
        objects << t.w.ObjectList()->itemText(i);
    EXPECT_EQ(objects, (QStringList{"p1", "p2", "t1"}));
    EXPECT_EQ(t.w.PropertyList()->count(), 2);
    EXPECT_EQ(t.w.PropertyList()->currentText(), "TOKENS");
    ASSERT_EQ(t.w.Charts().size(), 1u);
    EXPECT_EQ(t.w.Charts()[0]->Chart()->title(), "p2 - TOKENS");
    EXPECT_EQ(t.w.Charts()[0]->PointCount(), 0);

    button(t.w, "btShow")->click();
    EXPECT_FALSE(t.w.ChartPages()->isHidden());
    EXPECT_EQ(button(t.w, "btShow")->text(), "Hide <<<");
    const int full = t.w.height();
    button(t.w, "btShow")->click();
    EXPECT_EQ(button(t.w, "btShow")->text(), "Show >>>");
    EXPECT_LT(t.w.height(), full);
}

TEST(SimulationWindow, RunsStopsAndPlots)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    TWindow t(d);
    t.w.ObjectList()->setCurrentText("p1");
    button(t.w, "btAddGraph")->click();
    EXPECT_EQ(d.Graphs, QStringList{"p1 - TOKENS"});
    EXPECT_TRUE(d.IsChanged());
    EXPECT_FALSE(t.w.ChartPages()->isHidden());

    button(t.w, "btStart")->click();
    EXPECT_FALSE(button(t.w, "btStart")->isEnabled());
    EXPECT_FALSE(button(t.w, "btRestart")->isEnabled());
    ASSERT_TRUE(runUntil([&] { return t.w.Engine().ModelTime() >= 3.5; }));
    button(t.w, "btStop")->click();
    ASSERT_TRUE(runUntil([&] { return button(t.w, "btStart")->isEnabled(); }));
    EXPECT_EQ(tokens(d, "p1"), 0);
    EXPECT_EQ(tokens(d, "p2"), 3);
    EXPECT_TRUE(t.Messages.isEmpty()) << t.Messages.join("\n").toStdString();

    // The points the steps plotted: three tokens at 0 and 0.5, then one less
    // per half unit, drawn as stairs.
    TSimChart* chart = t.w.Charts()[0];
    ASSERT_GE(chart->PointCount(), 6);
    const QList<QPointF> points = chart->Series()->points();
    EXPECT_EQ(points[0], QPointF(0, 3));
    EXPECT_EQ(points[1], QPointF(0, 3));
    EXPECT_EQ(points[2], QPointF(0.5, 3));
    EXPECT_EQ(points[3], QPointF(0.5, 2));
    EXPECT_EQ(points[4], QPointF(1.0, 2));
    EXPECT_EQ(t.w.TimeLabel()->text(), TfmSimulation::TimeCaption(t.w.Engine().ModelTime()));

    // RESTART: the marking and the clock back, the points kept, new ones from 0.
    const int before = chart->PointCount();
    button(t.w, "btRestart")->click();
    EXPECT_EQ(tokens(d, "p1"), 3);
    EXPECT_EQ(t.w.Engine().ModelTime(), 0.0);
    ASSERT_TRUE(runUntil([&] { return chart->PointCount() >= before + 2; }));
    button(t.w, "btStop")->click();
    EXPECT_EQ(chart->SeriesCount(), 2);
    EXPECT_EQ(chart->Series()->points().first(), QPointF(0, 3));

    button(t.w, "btCloseGraph")->click();
    EXPECT_TRUE(d.Graphs.isEmpty());
    EXPECT_TRUE(runUntil([&] { return t.w.Charts().empty(); }));
}

TEST(SimulationWindow, TimeCaptionsAndAnimationFrames)
{
    EXPECT_EQ(TfmSimulation::TimeCaption(3.5), "Time: 03.50");
    EXPECT_EQ(TfmSimulation::TimeCaption(123.456), "Time: 123.46");
    EXPECT_EQ(TfmSimulation::FramesPerPhase(100), 50);
    EXPECT_EQ(TfmSimulation::FramesPerPhase(0), 3);
    EXPECT_EQ(TfmSimulation::FramesPerPhase(50), 6);

    TTestDesigner d;
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 10, 10, "p1");
    p1->SetTokensDirect(5000);
    auto* t1 = AddNode<TclsTransInstant>(d, 80, 10, "t1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 150, 10, "p2");
    AddArc<TclsLinkNormal>(d, p1, t1);
    AddArc<TclsLinkNormal>(d, t1, p2);
    TWindow t(d);
    for (int position : {100, 0}) {
        t.w.SpeedSlider()->setValue(position);
        const double before = tokens(d, "p1");
        button(t.w, "btStart")->click();
        ASSERT_TRUE(runUntil([&] { return tokens(d, "p1") < before; }));
        button(t.w, "btStop")->click();
        ASSERT_TRUE(runUntil([&] { return button(t.w, "btStart")->isEnabled(); }));
        EXPECT_EQ(t.w.LastFrames(), TfmSimulation::FramesPerPhase(position)) << position;
    }
}

TEST(SimulationWindow, CloseBoxKeepsTheMarkingCloseRestoresIt)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    {
        TWindow t(d);
        button(t.w, "btStart")->click();
        ASSERT_TRUE(runUntil([&] { return tokens(d, "p2") >= 1; }));
        // Refused while running.
        t.w.close();
        EXPECT_TRUE(t.w.isVisible());
        button(t.w, "btStop")->click();
        ASSERT_TRUE(runUntil([&] { return button(t.w, "btStart")->isEnabled(); }));
        const double kept = tokens(d, "p2");
        EXPECT_FALSE(d.IsChanged());
        t.w.close();
        EXPECT_FALSE(t.w.isVisible());
        EXPECT_EQ(tokens(d, "p2"), kept);
        EXPECT_TRUE(d.IsChanged());
        EXPECT_FALSE(d.Simulating());
    }
    // The marking kept is one step: undone, the net is the saved one again.
    EXPECT_EQ(d.Edits().UndoText(), "Marking of the Simulation");
    d.Edits().Undo();
    EXPECT_EQ(tokens(d, "p1"), 3);
    EXPECT_EQ(tokens(d, "p2"), 0);
    EXPECT_FALSE(d.IsChanged());
    d.Edits().Redo();
    EXPECT_GE(tokens(d, "p2"), 1);
    EXPECT_TRUE(d.IsChanged());
    d.Edits().SetClean();
    static_cast<TclsNodeDiscrete*>(d.FindObject("p1"))->SetTokensDirect(3);
    static_cast<TclsNodeDiscrete*>(d.FindObject("p2"))->SetTokensDirect(0);
    TWindow t(d);
    button(t.w, "btStart")->click();
    ASSERT_TRUE(runUntil([&] { return tokens(d, "p2") >= 1; }));
    button(t.w, "btClose")->click();
    EXPECT_FALSE(t.w.isVisible());
    EXPECT_EQ(tokens(d, "p1"), 3);
    EXPECT_EQ(tokens(d, "p2"), 0);
    EXPECT_FALSE(d.IsChanged());
}

TEST(SimulationWindow, GraphsAddedAndClosedAreUndoable)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    TWindow t(d);
    t.w.ObjectList()->setCurrentText("p1");
    button(t.w, "btAddGraph")->click();
    t.w.ObjectList()->setCurrentText("p2");
    button(t.w, "btAddGraph")->click();
    EXPECT_EQ(d.Graphs, (QStringList{"p1 - TOKENS", "p2 - TOKENS"}));
    EXPECT_EQ(d.Edits().UndoText(), "Add Graph p2 - TOKENS");

    Q_EMIT t.w.Charts()[0]->CloseRequested();
    EXPECT_EQ(d.Graphs, QStringList{"p2 - TOKENS"});
    EXPECT_EQ(d.Edits().UndoText(), "Remove Graph p1 - TOKENS");
    d.Edits().Undo();
    EXPECT_EQ(d.Graphs, (QStringList{"p1 - TOKENS", "p2 - TOKENS"}));
    d.Edits().Undo();
    d.Edits().Undo();
    EXPECT_TRUE(d.Graphs.isEmpty());
    EXPECT_FALSE(d.IsChanged());
}

TEST(SimulationWindow, FailingFormulaStopsWithAMessage)
{
    TTestDesigner d;
    TimedChain(d, "1", 2);
    static_cast<TclsTransTimed*>(d.FindObject("t1"))->Guard()->SetFormula("1/(2 - p2_TOKENS)");
    TWindow t(d);
    button(t.w, "btStart")->click();
    ASSERT_TRUE(runUntil([&] { return !t.Messages.isEmpty(); }));
    EXPECT_TRUE(t.Messages[0].contains("the guard of transition t1")) << t.Messages[0].toStdString();
    EXPECT_TRUE(t.w.Stopped());
    EXPECT_TRUE(button(t.w, "btStart")->isEnabled());
    EXPECT_TRUE(button(t.w, "btRestart")->isEnabled());
    EXPECT_EQ(tokens(d, "p1") + tokens(d, "p2"), 2);
}

TEST(SimulationWindow, GraphsOfMissingElementsGetNoPoints)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    d.Graphs << "p9 - TOKENS"
             << "t1 - Rate";
    TWindow t(d);
    button(t.w, "btStart")->click();
    ASSERT_TRUE(runUntil([&] { return t.w.Engine().ModelTime() >= 1; }));
    button(t.w, "btStop")->click();
    ASSERT_EQ(t.w.Charts().size(), 2u);
    EXPECT_EQ(t.w.Charts()[0]->PointCount(), 0);
    EXPECT_GE(t.w.Charts()[1]->PointCount(), 2);
    EXPECT_EQ(t.w.Charts()[1]->Series()->points().first(), QPointF(0, 2));
}

TEST(SimulationWindow, ChartPictures)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    d.Graphs << "p1 - TOKENS";
    TWindow t(d);
    button(t.w, "btStart")->click();
    ASSERT_TRUE(runUntil([&] { return t.w.Engine().ModelTime() >= 1; }));
    button(t.w, "btStop")->click();

    QTemporaryDir dir;
    for (const char* suffix : {"png", "bmp", "svg"}) {
        const QString file = dir.filePath(QStringLiteral("chart.") + QLatin1String(suffix));
        t.w.AutoFileName = file;
        button(t.w, "btSave")->click();
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << suffix;
        const QByteArray head = f.read(64);
        if (QLatin1String(suffix) == QLatin1String("png"))
            EXPECT_TRUE(head.startsWith("\x89PNG"));
        else if (QLatin1String(suffix) == QLatin1String("bmp"))
            EXPECT_TRUE(head.startsWith("BM"));
        else
            EXPECT_TRUE(head.contains("<?xml"));
    }
    // A name of another kind is refused and writes nothing.
    t.w.AutoFileName = dir.filePath("chart.txt");
    button(t.w, "btSave")->click();
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.txt")));
    ASSERT_EQ(t.Messages.size(), 1);
    EXPECT_TRUE(t.Messages[0].startsWith("Cannot write ")) << t.Messages[0].toStdString();
    // On a disk that fills up the picture that was there stays, and the
    // message says why.
    for (const char* suffix : {"png", "bmp", "svg"}) {
        const QString file = dir.filePath(QStringLiteral("chart.") + QLatin1String(suffix));
        const QByteArray before = ReadFileBytes(file);
        ASSERT_GT(before.size(), 100);
        {
            TFullDisk full(100);
            t.w.AutoFileName = file;
            button(t.w, "btSave")->click();
        }
        EXPECT_EQ(ReadFileBytes(file), before) << suffix;
        EXPECT_EQ(t.Messages.last(),
                  QStringLiteral("Cannot write chart.%1: No space left on device").arg(suffix));
    }
    EXPECT_EQ(t.Messages.size(), 4);

    button(t.w, "btCopy")->click();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasImage());
    EXPECT_TRUE(data->data("image/svg+xml").contains("<svg"));
    // The window colours come back after the picture.
    EXPECT_TRUE(t.w.Stopped());
}

TEST(SimulationWindow, StochasticTimingRuns)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    TWindow t(d);
    t.w.StochasticBox()->setChecked(true);
    EXPECT_TRUE(t.w.Engine().Stochastic());
    button(t.w, "btStart")->click();
    EXPECT_FALSE(t.w.StochasticBox()->isEnabled());
    ASSERT_TRUE(runUntil([&] { return tokens(d, "p2") == 3; }));
    button(t.w, "btStop")->click();
    EXPECT_GT(t.w.Engine().ModelTime(), 0.0);
}

TEST(SimulationWindow, HelpShowsTheSimulationPage)
{
    TTestDesigner d;
    TWindow t(d);
    QTest::keyClick(&t.w, Qt::Key_F1);
    auto* help = t.w.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->Browser()->source().toString().endsWith("topic-300.html"));
    EXPECT_TRUE(help->Browser()->toPlainText().contains("Simulation"));
}

TEST(SimulationWindow, MainWindowSimulateButtonOpensIt)
{
    TTestDesigner d;
    TimedChain(d, "2", 3);
    TfmMain main(d);
    QAction* simulate = main.findChild<QAction*>("btSimulate");
    ASSERT_NE(simulate, nullptr);
    EXPECT_TRUE(simulate->isEnabled());
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<TfmSimulation*>(QApplication::activeModalWidget());
        seen = w != nullptr && d.Simulating();
        if (w)
            button(*w, "btClose")->click();
    });
    simulate->trigger();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(d.Simulating());
}
