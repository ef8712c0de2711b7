// The structural analysis window on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "model/element_builders.h"
#include "structural/imf_file.h"
#include "structural/invariants_window.h"
#include "structural_nets.h"
#include "test_support.h"

namespace {

QPushButton* button(TfmInvar& w, const char* name)
{
    return w.findChild<QPushButton*>(QString::fromLatin1(name));
}

bool showsNotFound(TfmInvar& w)
{
    return w.findChild<QStackedWidget*>()->currentWidget() == w.NotFoundLabel();
}

} // namespace

TEST(InvariantsWindow, OpensOnTheIncidenceMatrixWithTheVerdictsHidden)
{
    TTestDesigner d;
    TfmInvar w(d);
    ASSERT_TRUE(w.BuildIncidence(TwoPlaceCycle().Net));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    EXPECT_EQ(w.windowTitle(), "Structural Analysis");
    EXPECT_EQ(w.minimumWidth(), 540);
    QStringList tabs;
    for (int i = 0; i < w.Tabs()->count(); ++i)
        tabs << w.Tabs()->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"P Incidence matrix", "S-b-S matrix", "P Invariant matrix",
                                 "T Incidence matrix", "S-b-S matrix", "T Invariant matrix"}));
    EXPECT_EQ(w.Tabs()->currentIndex(), 0);
    EXPECT_FALSE(w.Memo()->isVisible());
    for (const char* b : {"btCalculate", "btStep", "btSave", "btClose"})
        EXPECT_TRUE(button(w, b)->isEnabled()) << b;
    EXPECT_FALSE(button(w, "btStop")->isEnabled());

    const QTableView* grid = w.Grid();
    EXPECT_EQ(grid->horizontalHeader()->defaultSectionSize(), 40);
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 20);
    const QAbstractItemModel* m = grid->model();
    ASSERT_EQ(m->rowCount(), 2);
    ASSERT_EQ(m->columnCount(), 2);
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "t1");
    EXPECT_EQ(m->headerData(1, Qt::Vertical).toString(), "p2");
    EXPECT_EQ(m->index(0, 0).data().toString(), "-1");
    EXPECT_EQ(m->index(1, 0).data().toString(), "1");
}

TEST(InvariantsWindow, CalculateShowsInvariantsOrTheRedNotice)
{
    TTestDesigner d;
    TfmInvar w(d);
    TNetBuilder b = TwoPlaceCycle(1, 1);
    b.Place("p3").Trans("t3").Arc("p3", "t3");
    ASSERT_TRUE(w.BuildIncidence(b.Net));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    QTest::mouseClick(button(w, "btCalculate"), Qt::LeftButton);
    EXPECT_TRUE(w.Memo()->isVisible());
    EXPECT_EQ(w.Memo()->toPlainText(),
              "The Net is Not Bounded !\nThe Net is Dead !\nThe Net is Reinitialisible !");

    w.Tabs()->setCurrentIndex(2);
    EXPECT_FALSE(showsNotFound(w));
    EXPECT_EQ(w.Grid()->model()->rowCount(), 1);
    EXPECT_EQ(w.Grid()->model()->headerData(0, Qt::Vertical).toString(), "Inv 1");
    EXPECT_EQ(w.Grid()->model()->index(0, 2).data().toString(), "0");
    w.Tabs()->setCurrentIndex(5);
    EXPECT_FALSE(showsNotFound(w));

    // A place that is only consumed: neither kind of invariant.
    TNetBuilder consumed;
    consumed.Place("p1", 1).Trans("t1").Arc("p1", "t1");
    ASSERT_TRUE(w.BuildIncidence(consumed.Net));
    EXPECT_EQ(w.Tabs()->currentIndex(), 0);
    EXPECT_FALSE(w.Memo()->isVisible());
    w.Calculate();
    for (int tab : {1, 2, 4, 5}) {
        w.Tabs()->setCurrentIndex(tab);
        EXPECT_TRUE(showsNotFound(w)) << tab;
    }
    EXPECT_EQ(w.NotFoundLabel()->text(), "Invariants Not Found !");
    EXPECT_TRUE(w.NotFoundLabel()->font().bold());
    EXPECT_EQ(w.NotFoundLabel()->palette().color(QPalette::WindowText), QColor(Qt::red));
    w.Tabs()->setCurrentIndex(3);
    EXPECT_FALSE(showsNotFound(w));
}

TEST(InvariantsWindow, SteppingEndsWithTheVerdicts)
{
    TTestDesigner d;
    TfmInvar w(d);
    // A ring of three places and three transitions.
    TNetBuilder ring;
    ring.Place("p1", 2).Place("p2").Place("p3").Trans("t1").Trans("t2").Trans("t3");
    ring.Arc("p1", "t1").Arc("t1", "p2").Arc("p2", "t2").Arc("t2", "p3").Arc("p3", "t3").Arc("t3", "p1");
    ASSERT_TRUE(w.BuildIncidence(ring.Net));
    w.show();
    w.Tabs()->setCurrentIndex(4);
    QTest::mouseClick(button(w, "btStep"), Qt::LeftButton);
    EXPECT_TRUE(w.Engine().StepMode);
    EXPECT_FALSE(w.Memo()->isVisible());
    // After the first step the working matrix holds t2 and the combination of t3 and t1.
    ASSERT_EQ(w.Grid()->model()->rowCount(), 2);
    EXPECT_EQ(w.Grid()->model()->headerData(0, Qt::Vertical).toString(), "t2");
    EXPECT_EQ(w.Grid()->model()->headerData(1, Qt::Vertical).toString(), "(3,1)");
    EXPECT_EQ(w.Grid()->model()->columnCount(), 2);
    for (int i = 0; i < 10 && !w.Memo()->isVisible(); ++i)
        QTest::mouseClick(button(w, "btStep"), Qt::LeftButton);
    ASSERT_TRUE(w.Memo()->isVisible());
    EXPECT_EQ(w.Memo()->toPlainText(),
              "The Net is Bounded, K=2 !\nThe Net is Live !\nThe Net is Reinitialisible !");
}

TEST(InvariantsWindow, StopEndsTheComputationAndTheWindowStaysUsable)
{
    TTestDesigner d;
    TfmInvar w(d);
    QStringList messages;
    w.MessageHook = [&](const QString& m) { messages << m; };
    ASSERT_TRUE(w.BuildIncidence(TwoPlaceCycle().Net));
    w.show();
    QTimer::singleShot(0, &w, [&] {
        EXPECT_TRUE(w.Busy());
        EXPECT_TRUE(button(w, "btStop")->isEnabled());
        EXPECT_FALSE(button(w, "btCalculate")->isEnabled());
        QTest::mouseClick(button(w, "btStop"), Qt::LeftButton);
    });
    w.Calculate();
    EXPECT_FALSE(w.Busy());
    EXPECT_EQ(messages, (QStringList{"The computation of the P-invariants was stopped.\n"
                                     "The computation of the T-invariants was stopped."}));
    EXPECT_EQ(w.Memo()->toPlainText(), messages.value(0));
    EXPECT_TRUE(button(w, "btCalculate")->isEnabled());

    w.Calculate();
    EXPECT_EQ(w.Memo()->toPlainText(),
              "The Net is Bounded, K=1 !\nThe Net is Live !\nThe Net is Reinitialisible !");

    // Closing during a computation stops it first.
    ASSERT_TRUE(w.BuildIncidence(TwoPlaceCycle().Net));
    messages.clear();
    QTimer::singleShot(0, &w, [&] { w.close(); });
    w.Calculate();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(messages.isEmpty());
}

TEST(InvariantsWindow, SavesTheGridOnDisplay)
{
    TTestDesigner d;
    TfmInvar w(d);
    QStringList messages;
    w.MessageHook = [&](const QString& m) { messages << m; };
    ASSERT_TRUE(w.BuildIncidence(TwoPlaceCycle().Net));
    w.Calculate();
    w.Tabs()->setCurrentIndex(5);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    w.AutoFileName = dir.filePath("cycle");
    QTest::mouseClick(button(w, "btSave"), Qt::LeftButton);
    QFile f(dir.filePath("cycle.imf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), ImfText(w.Engine().TInvariants, false));
    EXPECT_TRUE(messages.isEmpty());

    w.AutoFileName = dir.filePath("no/such/folder/x.imf");
    w.SaveToFile();
    EXPECT_EQ(messages.size(), 1);
}

TEST(InvariantsWindow, MainWindowRefusesANetWithoutStructure)
{
    TTestDesigner d;
    TfmMain w(d);
    w.AutoAnswer = QMessageBox::Ok;
    QAction* action = w.Action("actStructural");
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->isEnabled());
    action->trigger();
    EXPECT_EQ(d.Errors, QStringList{"Not structure !"});
    EXPECT_EQ(w.findChild<TfmInvar*>(), nullptr);
}

TEST(InvariantsWindow, MainWindowOpensItModallyOnTheNet)
{
    TTestDesigner d;
    TfmMain w(d);
    w.AutoAnswer = QMessageBox::Ok;
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 0, 0, "p1");
    auto* t1 = AddNode<TclsTransTimed>(d, 50, 0, "t1");
    AddArc<TclsLinkNormal>(d, p1, t1);

    QString seen;
    QTimer::singleShot(0, &w, [&] {
        auto* invar = qobject_cast<TfmInvar*>(QApplication::activeModalWidget());
        ASSERT_NE(invar, nullptr);
        seen = invar->windowTitle() + ":" + invar->Grid()->model()->index(0, 0).data().toString();
        invar->close();
    });
    w.Action("actStructural")->trigger();
    EXPECT_EQ(seen, "Structural Analysis:-1");
    EXPECT_TRUE(d.Errors.isEmpty());
    EXPECT_EQ(w.findChild<TfmInvar*>(), nullptr);
}
