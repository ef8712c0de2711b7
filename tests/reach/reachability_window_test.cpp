// The reachability-graph window on the offscreen platform, driven through
// its buttons, and the main window's menu entries that follow it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "app/main_window.h"
#include "editor/designer_form.h"
#include "model/edits.h"
#include "model/element_builders.h"
#include "netfile/net_file.h"
#include "performance/steady_window.h"
#include "performance/transient_window.h"
#include "reach/current_graph.h"
#include "reach/reachability_window.h"
#include "test_support.h"

namespace {

template <class T> T* child(const QWidget& w, const char* name)
{
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

QPushButton* button(const QWidget& w, const char* name)
{
    return child<QPushButton>(w, name);
}

QString labelText(const QWidget& w, const char* name)
{
    return child<QLabel>(w, name)->text();
}

QString readFile(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

void loadExample(TQRVDesigner& d, const QString& name)
{
    ASSERT_EQ(LoadNetFile(d, ExamplesDir() + QLatin1Char('/') + name), "") << name.toStdString();
}

// The graph file the engine writes on its own for the same net and settings.
QString engineGraph(const QString& example, const TReachSettings& settings)
{
    TTestDesigner d;
    EXPECT_EQ(LoadNetFile(d, ExamplesDir() + QLatin1Char('/') + example), "");
    TReachEngine engine;
    engine.SetNet(&d);
    engine.Settings = settings;
    EXPECT_TRUE(engine.BuildClassical());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(engine.WriteGraph(buffer));
    return QString::fromLatin1(buffer.data());
}

// The values the places of the net hold, in the store's entry order.
std::vector<double> netValues(const TQRVDesigner& d, const TMarkList& store)
{
    std::vector<double> values;
    for (int i = 0; i < store.PlaceCount(); ++i)
        values.push_back(qobject_cast<TclsNode*>(d.FindObject(store.PlaceName(i)))->Value());
    return values;
}

std::vector<double> storeValues(const TMarkList& store, int mark)
{
    return std::vector<double>(store.Values(mark), store.Values(mark) + store.PlaceCount());
}

// A window over a net whose messages are collected.
struct TWindow
{
    explicit TWindow(TQRVDesigner& d) : W(d)
    {
        W.MessageHook = [this](const QString& m) { Messages << m; };
        W.AnimationPauseMs = 0;
    }
    void build() { button(W, "btBuild")->click(); }
    TfmAnalyze_1 W;
    QStringList Messages;
};

// p1 (1 token) --t1--> p2, and with `cycle` t2 takes it back.
void twoPlaceNet(TQRVDesigner& d, bool cycle)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 20, 20, "p1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 200, 20, "p2");
    auto* t1 = AddNode<TclsTransTimed>(d, 110, 20, "t1");
    p1->SetTokens(1);
    AddArc<TclsLinkNormal>(d, p1, t1);
    AddArc<TclsLinkNormal>(d, t1, p2);
    if (cycle) {
        auto* t2 = AddNode<TclsTransTimed>(d, 110, 120, "t2");
        AddArc<TclsLinkNormal>(d, p2, t2);
        AddArc<TclsLinkNormal>(d, t2, p1);
    }
}

} // namespace

TEST(ReachabilityWindow, StartsWithTheCaptionsAndDefaultsOfEveryControl)
{
    TTestDesigner d;
    twoPlaceNet(d, true);
    d.FindObject("p1")->SetGroup("Left");
    d.FindObject("t1")->SetGroup("left");
    d.FindObject("p2")->SetGroup("Right");
    TfmAnalyze_1 w(d);
    w.show();

    EXPECT_EQ(w.windowTitle(), "Reachability Graph");
    QStringList pages;
    for (int i = 0; i < w.Pages()->count(); ++i)
        pages << w.Pages()->tabText(i);
    EXPECT_EQ(pages, (QStringList{"Controls", "Reachability Graph", "Balance", "Stats"}));
    EXPECT_EQ(w.Pages()->currentIndex(), TfmAnalyze_1::pgControls);
    EXPECT_FALSE(w.Pages()->isTabVisible(TfmAnalyze_1::pgBalance));

    EXPECT_TRUE(child<QRadioButton>(w, "rbClassical")->isChecked());
    EXPECT_EQ(child<QRadioButton>(w, "rbTenzorial")->text(), "Tenzorial");
    const QSpinBox* limit = child<QSpinBox>(w, "seLimit");
    EXPECT_EQ(limit->minimum(), 1);
    EXPECT_EQ(limit->maximum(), 999999);
    EXPECT_EQ(limit->value(), 50000);
    const std::pair<const char*, const char*> checks[] = {
        {"cbReset", "    Reset initial marking on completion"},
        {"cbUnbounded", "    Enable unbounded net control "},
        {"cbPriority", "    Enable Priority Mode"},
        {"cbRemoveUnsteady", "    Remove unsteady  markings"},
        {"cbBalance", "    Balance calculation"},
        {"cbGroupSettings", "Group settings"}};
    for (const auto& [name, caption] : checks)
        EXPECT_EQ(child<QCheckBox>(w, name)->text(), caption);
    QStringList checked;
    for (const auto& [name, caption] : checks)
        if (child<QCheckBox>(w, name)->isChecked())
            checked << name;
    EXPECT_EQ(checked, (QStringList{"cbReset", "cbUnbounded"}));
    EXPECT_FALSE(child<QComboBox>(w, "cbGroup")->isEnabled());
    EXPECT_FALSE(child<QLabel>(w, "lbSelectGroup")->isEnabled());

    EXPECT_EQ(labelText(w, "lbNow"), "Now :");
    EXPECT_EQ(labelText(w, "lbStatus"), "idle");
    for (const char* b : {"btBuild", "btClose"})
        EXPECT_TRUE(button(w, b)->isEnabled()) << b;
    for (const char* b : {"btAnalyse", "btStop", "btSave", "btBack"})
        EXPECT_FALSE(button(w, b)->isEnabled()) << b;
    EXPECT_EQ(button(w, "btForward")->text(), ">>>");
    for (const char* l : {"lbTotalPositions", "lbTotalTransitions", "lbTotalLinks", "lbTotalMarkers",
                          "lbTotalMarkings", "lbSteadyMarkings"})
        EXPECT_EQ(labelText(w, l), "--------------") << l;
    EXPECT_TRUE(child<QLabel>(w, "lbWarning")->isHidden());
    EXPECT_TRUE(child<QLabel>(w, "lbLimitReached")->isHidden());
    EXPECT_EQ(w.GraphList()->model()->columnCount(), 4);
    EXPECT_TRUE(w.GraphList()->isColumnHidden(3));
    EXPECT_EQ(w.GraphList()->horizontalHeader()->sectionSize(1), 80);
    const QTreeWidget* counters = child<QTreeWidget>(w, "lvCounter");
    EXPECT_EQ(counters->headerItem()->text(0), "Transition");
    EXPECT_EQ(counters->headerItem()->text(1), "Counter");

    // Removing unsteady markings needs the priority rule; balances have a page.
    child<QCheckBox>(w, "cbRemoveUnsteady")->setChecked(true);
    EXPECT_TRUE(child<QCheckBox>(w, "cbPriority")->isChecked());
    child<QCheckBox>(w, "cbBalance")->setChecked(true);
    EXPECT_TRUE(w.Pages()->isTabVisible(TfmAnalyze_1::pgBalance));
    child<QCheckBox>(w, "cbBalance")->setChecked(false);
    EXPECT_FALSE(w.Pages()->isTabVisible(TfmAnalyze_1::pgBalance));

    // The group selector: lower-case labels, each once, sorted; choosing one
    // selects its members on the drawing, switching it off clears the selection.
    EXPECT_EQ(w.Groups(), (QStringList{"left", "right"}));
    auto* groups = child<QComboBox>(w, "cbGroup");
    EXPECT_EQ(groups->count(), 2);
    EXPECT_TRUE(d.Selection().isEmpty());
    child<QCheckBox>(w, "cbGroupSettings")->setChecked(true);
    EXPECT_TRUE(groups->isEnabled());
    groups->setCurrentIndex(0);
    EXPECT_EQ(d.Selection(), (QList<TQRVObject*>{d.FindObject("p1"), d.FindObject("t1")}));
    groups->setCurrentIndex(1);
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{d.FindObject("p2")});
    child<QCheckBox>(w, "cbGroupSettings")->setChecked(false);
    EXPECT_TRUE(d.Selection().isEmpty());
    EXPECT_FALSE(groups->isEnabled());
}

TEST(ReachabilityWindow, BuildsTheExamplesAsTheEngineWritesThem)
{
    struct TCase
    {
        const char* File;
        bool RemoveUnsteady;
    };
    const TCase cases[] = {{"producer-consumer.pn2", false},   {"dining-philosophers.pn2", false},
                           {"stochastic-conflict.pn2", false}, {"stochastic-conflict.pn2", true},
                           {"readers-writers.pn2", false},     {"unbounded.pn2", false},
                           {"hybrid-tank.pn2", false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        TTestDesigner d;
        loadExample(d, c.File);
        TWindow t(d);
        child<QCheckBox>(t.W, "cbRemoveUnsteady")->setChecked(c.RemoveUnsteady);
        QFile::remove(CurrentGraphFile());
        t.build();

        EXPECT_TRUE(t.Messages.isEmpty()) << t.Messages.join('\n').toStdString();
        ASSERT_TRUE(t.W.Built());
        EXPECT_EQ(readFile(CurrentGraphFile()), engineGraph(c.File, t.W.Settings()));

        const TMarkList& store = *t.W.Engine().Store();
        const QAbstractItemModel* rows = t.W.GraphList()->model();
        ASSERT_EQ(rows->rowCount(), store.Count());
        EXPECT_EQ(rows->headerData(1, Qt::Horizontal).toString(), store.GetPositionsText());
        const int last = store.Count() - 1;
        const QStringList expected = t.W.Engine().GraphRow(last);
        for (int col = 0; col < 3; ++col)
            EXPECT_EQ(rows->index(last, col).data().toString(), expected[col]);
        EXPECT_EQ(t.W.SelectedMarking(), 0);
        EXPECT_EQ(t.W.Pages()->currentIndex(), TfmAnalyze_1::pgGraph);
        EXPECT_TRUE(
            QRegularExpression("^\\d+m \\d+s \\d{3}ms$").match(labelText(t.W, "lbElapsed")).hasMatch())
            << labelText(t.W, "lbElapsed").toStdString();

        EXPECT_EQ(labelText(t.W, "lbTotalMarkings"), QString::number(t.W.Engine().TotalMarkings()));
        EXPECT_EQ(labelText(t.W, "lbSteadyMarkings"),
                  c.RemoveUnsteady ? QString::number(store.Count()) : "n/a");
        EXPECT_EQ(labelText(t.W, "lbTotalPositions"), QString::number(t.W.Engine().Statistics().Places));
        for (const char* b : {"btBuild", "btAnalyse", "btSave", "btClose"})
            EXPECT_TRUE(button(t.W, b)->isEnabled()) << b;
        EXPECT_FALSE(button(t.W, "btStop")->isEnabled());
        EXPECT_EQ(child<QProgressBar>(t.W, "pbGauge")->value(), 100);
        EXPECT_FALSE(d.Updating());
    }
}

TEST(ReachabilityWindow, StopEndsALongBuildAndTheWindowStaysUsable)
{
    TTestDesigner d;
    loadExample(d, "unbounded.pn2");
    TWindow t(d);
    child<QCheckBox>(t.W, "cbUnbounded")->setChecked(false);
    child<QSpinBox>(t.W, "seLimit")->setValue(999999);
    QFile::remove(CurrentGraphFile());

    bool stopLive = false;
    QTimer::singleShot(50, &t.W, [&] {
        stopLive = button(t.W, "btStop")->isEnabled() && !button(t.W, "btBuild")->isEnabled() &&
                   !button(t.W, "btClose")->isEnabled() && !child<QSpinBox>(t.W, "seLimit")->isEnabled();
        button(t.W, "btStop")->click();
    });
    t.build();

    EXPECT_TRUE(stopLive) << "Stop is the one live control during the build";
    EXPECT_EQ(labelText(t.W, "lbStatus"), "Process aborted");
    EXPECT_FALSE(t.W.Built());
    EXPECT_FALSE(QFile::exists(CurrentGraphFile()));
    EXPECT_TRUE(t.Messages.isEmpty());
    EXPECT_EQ(t.W.GraphList()->model()->rowCount(), 0);
    EXPECT_EQ(child<QProgressBar>(t.W, "pbGauge")->value(), 0);
    EXPECT_FALSE(d.Updating());
    for (const char* b : {"btBuild", "btClose"})
        EXPECT_TRUE(button(t.W, b)->isEnabled()) << b;
    for (const char* b : {"btStop", "btAnalyse", "btSave"})
        EXPECT_FALSE(button(t.W, b)->isEnabled()) << b;
    EXPECT_TRUE(QRegularExpression("^0m \\d+s \\d{3}ms$").match(labelText(t.W, "lbElapsed")).hasMatch());

    // The next build runs as usual.
    child<QCheckBox>(t.W, "cbUnbounded")->setChecked(true);
    t.build();
    EXPECT_TRUE(t.W.Built());
    EXPECT_EQ(t.W.GraphList()->model()->rowCount(), 3);
    EXPECT_TRUE(QFile::exists(CurrentGraphFile()));

    // Closing the window during a build stops it first.
    child<QCheckBox>(t.W, "cbUnbounded")->setChecked(false);
    t.W.show();
    QTimer::singleShot(50, &t.W, [&] { t.W.reject(); });
    t.build();
    EXPECT_FALSE(t.W.isVisible());
    EXPECT_EQ(labelText(t.W, "lbStatus"), "Process aborted");
}

TEST(ReachabilityWindow, APartlyReducedGraphIsShownButNeitherWrittenNorAnalysed)
{
    TTestDesigner d;
    loadExample(d, "stochastic-conflict.pn2");
    TWindow t(d);
    child<QCheckBox>(t.W, "cbRemoveUnsteady")->setChecked(true);
    t.W.Engine().Settings.ArcBound = 1; // the removal gives up at once
    QFile::remove(CurrentGraphFile());
    t.build();

    ASSERT_EQ(t.Messages.size(), 1);
    EXPECT_TRUE(t.Messages[0].contains("only partly reduced"));
    EXPECT_FALSE(t.W.Built());
    EXPECT_FALSE(QFile::exists(CurrentGraphFile()));
    EXPECT_EQ(labelText(t.W, "lbStatus"), "Process aborted");
    EXPECT_GT(t.W.GraphList()->model()->rowCount(), 0);
    EXPECT_FALSE(button(t.W, "btAnalyse")->isEnabled());
    EXPECT_FALSE(button(t.W, "btSave")->isEnabled());
    EXPECT_TRUE(button(t.W, "btBuild")->isEnabled());
}

TEST(ReachabilityWindow, TheMarkingsLimitIsReportedAndTheGraphKept)
{
    TTestDesigner d;
    loadExample(d, "producer-consumer.pn2");
    TWindow t(d);
    child<QSpinBox>(t.W, "seLimit")->setValue(5);
    t.build();
    EXPECT_EQ(t.Messages, QStringList{ReachTexts::LimitMessage});
    EXPECT_TRUE(t.W.Built());
    EXPECT_FALSE(child<QLabel>(t.W, "lbWarning")->isHidden());
    EXPECT_FALSE(child<QLabel>(t.W, "lbLimitReached")->isHidden());
    EXPECT_TRUE(readFile(CurrentGraphFile()).contains("!!!Warning : Marking number limit exceeded"));
}

TEST(ReachabilityWindow, RowsWriteTheirMarkingIntoTheNetAndFiringsAnimateOnTheDrawing)
{
    TTestDesigner d;
    loadExample(d, "producer-consumer.pn2");
    TWindow t(d);
    t.build();
    ASSERT_TRUE(t.W.Built());
    const TMarkList& store = *t.W.Engine().Store();
    EXPECT_EQ(netValues(d, store), storeValues(store, 0));

    // Choosing a row writes its marking into the net and lists its arcs.
    const int mark = 3;
    t.W.GraphList()->setCurrentIndex(t.W.GraphList()->model()->index(mark, 1));
    EXPECT_EQ(netValues(d, store), storeValues(store, mark));
    QStringList names;
    for (int k = 0; k < store.ArcCount(mark); ++k)
        names << store.EdgeName(mark, k).toUpper();
    QStringList shown;
    for (int i = 0; i < t.W.TransitionBox()->count(); ++i)
        shown << t.W.TransitionBox()->itemText(i);
    EXPECT_EQ(shown, names);
    EXPECT_EQ(t.W.TransitionBox()->currentIndex(), 0);
    EXPECT_EQ(t.W.TransitionBox()->isEnabled(), names.size() != 1);

    // ">>>" moves tokens along the inputs, then the outputs, eleven positions
    // each, and steps to the marking the firing reaches.
    const int k = names.size() - 1;
    t.W.TransitionBox()->setCurrentIndex(k);
    auto* fired = qobject_cast<TclsTrans*>(d.FindObject(store.EdgeName(mark, k)));
    ASSERT_NE(fired, nullptr);
    QList<TclsLink*> inputs, outputs;
    for (TclsLink* a : fired->AttachedArcs)
        (a->DestObject() == fired ? inputs : outputs) << a;
    ASSERT_FALSE(inputs.isEmpty());
    ASSERT_FALSE(outputs.isEmpty());
    // Each redraw: the token positions of the inputs, then of the outputs.
    QList<QList<double>> frames;
    QObject::connect(&d, &TQRVDesigner::PaintRequested, &t.W, [&] {
        QList<double> frame;
        for (const TclsLink* a : inputs + outputs)
            frame << a->TokenPosition();
        frames << frame;
    });
    button(t.W, "btForward")->click();
    QList<QList<double>> expected;
    auto frame = [&](double in, double out) {
        QList<double> f;
        for (int i = 0; i < inputs.size(); ++i)
            f << in;
        for (int i = 0; i < outputs.size(); ++i)
            f << out;
        return f;
    };
    for (int step = 0; step <= 10; ++step)
        expected << frame(step / 10.0, 0);
    expected << frame(0, 0);
    for (int step = 0; step <= 10; ++step)
        expected << frame(0, step / 10.0);
    expected << frame(0, 0);
    ASSERT_GE(frames.size(), expected.size());
    EXPECT_EQ(frames.mid(0, expected.size()), expected);
    const int target = store.Arc(mark, k).Target;
    EXPECT_EQ(t.W.SelectedMarking(), target);
    EXPECT_EQ(netValues(d, store), storeValues(store, target));

    // "<<<" goes back along the markings shown: the one stepped from, then
    // the first (row 0, shown when the build ended).
    ASSERT_TRUE(button(t.W, "btBack")->isEnabled());
    QTest::mouseClick(button(t.W, "btBack"), Qt::LeftButton);
    EXPECT_EQ(t.W.SelectedMarking(), mark);
    EXPECT_EQ(netValues(d, store), storeValues(store, mark));
    QTest::mouseClick(button(t.W, "btBack"), Qt::LeftButton);
    EXPECT_EQ(t.W.SelectedMarking(), 0);
    EXPECT_EQ(netValues(d, store), storeValues(store, 0));
    EXPECT_FALSE(button(t.W, "btBack")->isEnabled());

    // Closing writes the initial marking back...
    t.W.reject();
    EXPECT_EQ(netValues(d, store), storeValues(store, 0));

    // ...unless told not to.
    TWindow keep(d);
    child<QCheckBox>(keep.W, "cbReset")->setChecked(false);
    keep.build();
    keep.W.SelectMarking(mark);
    const std::vector<double> chosen = storeValues(*keep.W.Engine().Store(), mark);
    keep.W.reject();
    EXPECT_EQ(netValues(d, *keep.W.Engine().Store()), chosen);
}

TEST(ReachabilityWindow, AMarkingKeptInTheNetOnClosingIsAnUnsavedEdit)
{
    TTestDesigner d;
    twoPlaceNet(d, true);
    auto tokens = [&d](const char* name) {
        return qobject_cast<TclsNodeDiscrete*>(d.FindObject(QString::fromLatin1(name)))->Tokens();
    };
    d.Edits().SetClean();

    // Back in the net's own marking on closing: nothing changed.
    TWindow same(d);
    child<QCheckBox>(same.W, "cbReset")->setChecked(false);
    same.build();
    same.W.SelectMarking(1);
    same.W.SelectMarking(0);
    same.W.reject();
    EXPECT_EQ(tokens("p1"), 1);
    EXPECT_FALSE(d.IsChanged());

    // Another marking stays in the net, to be saved like any edit.
    TWindow keep(d);
    child<QCheckBox>(keep.W, "cbReset")->setChecked(false);
    keep.build();
    keep.W.SelectMarking(1);
    keep.W.reject();
    EXPECT_EQ(tokens("p1"), 0);
    EXPECT_EQ(tokens("p2"), 1);
    EXPECT_TRUE(d.IsChanged());
    // ...as one step that undo takes back.
    EXPECT_EQ(d.Edits().UndoText(), "Marking of the Reachability Graph");
    d.Edits().Undo();
    EXPECT_EQ(tokens("p1"), 1);
    EXPECT_EQ(tokens("p2"), 0);
    EXPECT_FALSE(d.IsChanged());
    d.Edits().Redo();
    EXPECT_EQ(tokens("p1"), 0);

    // With the reset the initial marking comes back and nothing changed.
    d.ClearNet();
    twoPlaceNet(d, true);
    d.Edits().SetClean();
    TWindow reset(d);
    reset.build();
    reset.W.SelectMarking(1);
    reset.W.reject();
    EXPECT_EQ(tokens("p1"), 1);
    EXPECT_FALSE(d.IsChanged());
}

TEST(ReachabilityWindow, TheBalancePageListsTheContinuousPlaces)
{
    TTestDesigner d;
    loadExample(d, "hybrid-tank.pn2");
    TWindow t(d);
    child<QCheckBox>(t.W, "cbBalance")->setChecked(true);
    t.build();
    ASSERT_TRUE(t.W.Built());
    EXPECT_TRUE(t.W.Pages()->isTabVisible(TfmAnalyze_1::pgBalance));

    const QAbstractItemModel* rows = t.W.BalanceList()->model();
    const QStringList places = t.W.Engine().BalanceColumns();
    EXPECT_EQ(places, (QStringList{"b1", "b2", "b3"}));
    ASSERT_EQ(rows->columnCount(), 2 + places.size());
    ASSERT_EQ(rows->rowCount(), t.W.Engine().Store()->Count());
    EXPECT_EQ(rows->headerData(0, Qt::Horizontal).toString(), "#");
    EXPECT_EQ(rows->headerData(2, Qt::Horizontal).toString(), "b1");
    const QHeaderView* header = t.W.BalanceList()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(0), 30);
    EXPECT_EQ(header->sectionSize(1), 70);
    EXPECT_EQ(header->sectionSize(2), 30);
    for (int r = 0; r < rows->rowCount(); ++r) {
        const QStringList expected = t.W.Engine().BalanceRow(r);
        for (int c = 0; c < rows->columnCount(); ++c)
            EXPECT_EQ(rows->index(r, c).data().toString(), expected[c]);
    }
    EXPECT_FALSE(t.W.Engine().BalanceRow(0)[1].isEmpty()) << "the pump runs in the initial marking";
}

TEST(ReachabilityWindow, BehaviouralAnalysisFillsTheStatsPage)
{
    TTestDesigner d;
    twoPlaceNet(d, false); // ends in a dead marking
    TWindow t(d);
    t.build();
    ASSERT_TRUE(t.W.Built());
    EXPECT_FALSE(t.W.NoDeadMarking());
    button(t.W, "btAnalyse")->click();

    EXPECT_EQ(
        child<QPlainTextEdit>(t.W, "meBehaviour")->toPlainText().split('\n'),
        (QStringList{"The Net is 1-bounded, thus it is Safe", "The Net is Not Active",
                     "The Net is not Reinitialisible", "The Net is unSteady", "Analysis complete !!!"}));
    const QTreeWidget* counters = child<QTreeWidget>(t.W, "lvCounter");
    ASSERT_EQ(counters->topLevelItemCount(), 1);
    EXPECT_EQ(counters->topLevelItem(0)->text(0), "t1");
    EXPECT_EQ(counters->topLevelItem(0)->text(1), "1");
    EXPECT_EQ(labelText(t.W, "lbStatus"), " Analyze COMPLETE ");
    EXPECT_EQ(t.W.Pages()->currentIndex(), TfmAnalyze_1::pgStats);
    EXPECT_EQ(child<QProgressBar>(t.W, "pbGauge")->value(), 100);
    EXPECT_TRUE(button(t.W, "btBuild")->isEnabled());
    EXPECT_FALSE(button(t.W, "btStop")->isEnabled());
}

TEST(ReachabilityWindow, SaveGraphWritesTheNameAsTypedAndReportsFailures)
{
    TTestDesigner d;
    twoPlaceNet(d, true);
    TWindow t(d);
    child<QCheckBox>(t.W, "cbRemoveUnsteady")->setChecked(true);
    t.build();
    // The graph is written as it was built, whatever the box says now.
    child<QCheckBox>(t.W, "cbRemoveUnsteady")->setChecked(false);
    QTemporaryDir dir;
    t.W.AutoFileName = dir.filePath("graph");
    button(t.W, "btSave")->click();
    EXPECT_TRUE(readFile(dir.filePath("graph")).contains("M0 = [1,0] [t1>M1;\\\\1;\r\n"));
    EXPECT_EQ(readFile(dir.filePath("graph")), readFile(CurrentGraphFile()));
    EXPECT_FALSE(QFile::exists(dir.filePath("graph.rag")));

    t.W.AutoFileName = dir.filePath("missing/graph.rag");
    button(t.W, "btSave")->click();
    EXPECT_EQ(t.Messages, QStringList{"Error saving graph"});
}

TEST(ReachabilityWindow, TheTensorialChoiceBuildsTheGroupsGraphAndSwitchesItsSettings)
{
    TTestDesigner d;
    loadExample(d, "two-groups.pn2");
    const QString before = NetToText(d);
    TWindow t(d);
    child<QRadioButton>(t.W, "rbTenzorial")->setChecked(true);
    child<QCheckBox>(t.W, "cbRemoveUnsteady")->setChecked(true); // checks priority mode too
    QFile::remove(CurrentGraphFile());
    t.build();

    EXPECT_TRUE(t.Messages.isEmpty()) << t.Messages.join('\n').toStdString();
    ASSERT_TRUE(t.W.Built());
    EXPECT_FALSE(child<QCheckBox>(t.W, "cbPriority")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(t.W, "cbRemoveUnsteady")->isChecked());
    EXPECT_EQ(labelText(t.W, "lbStatus"), "Prepare statistics !");
    // The graph of the classical build, in full.
    TReachSettings classical = t.W.Settings();
    EXPECT_EQ(readFile(CurrentGraphFile()), engineGraph("two-groups.pn2", classical));
    EXPECT_EQ(t.W.GraphList()->model()->rowCount(), 12);
    EXPECT_EQ(labelText(t.W, "lbTotalMarkings"), "12");
    EXPECT_EQ(labelText(t.W, "lbSteadyMarkings"), "n/a");
    EXPECT_EQ(labelText(t.W, "lbTotalPositions"), "6");
    EXPECT_EQ(t.W.Pages()->currentIndex(), TfmAnalyze_1::pgGraph);
    for (const char* b : {"btBuild", "btAnalyse", "btSave", "btClose"})
        EXPECT_TRUE(button(t.W, b)->isEnabled()) << b;
    EXPECT_FALSE(d.Updating());
    // Stepping works on the combined graph; the net shows the marking stepped to.
    t.W.SelectMarking(1);
    EXPECT_EQ(netValues(d, *t.W.Engine().Store()), storeValues(*t.W.Engine().Store(), 1));
    button(t.W, "btAnalyse")->click();
    EXPECT_TRUE(child<QPlainTextEdit>(t.W, "meBehaviour")->toPlainText().contains("The Net Is Active"));
    t.W.reject();
    EXPECT_EQ(NetToText(d), before) << "the initial marking is back on closing";
}

TEST(ReachabilityWindow, TheTensorialChoiceExplainsWhatItNeeds)
{
    TTestDesigner d;
    twoPlaceNet(d, true);
    TWindow t(d);
    child<QRadioButton>(t.W, "rbTenzorial")->setChecked(true);
    t.build();
    ASSERT_EQ(t.Messages.size(), 1);
    EXPECT_TRUE(t.Messages[0].startsWith("Group Index is incorrect !\n")) << t.Messages[0].toStdString();
    EXPECT_FALSE(t.W.Built());
    EXPECT_EQ(t.W.Engine().Store(), nullptr);
    EXPECT_FALSE(button(t.W, "btSave")->isEnabled());
    EXPECT_TRUE(button(t.W, "btBuild")->isEnabled());

    for (TQRVObject* o : d.ObjectList())
        o->SetGroupDirect("g1");
    t.Messages.clear();
    t.build();
    ASSERT_EQ(t.Messages.size(), 1);
    EXPECT_TRUE(t.Messages[0].startsWith("The tensorial construction needs groups 1 and 2"));
    EXPECT_FALSE(t.W.Built());
}

TEST(ReachabilityWindow, TheMainWindowsPerformanceEntriesFollowTheGraph)
{
    TTestDesigner d;
    TfmMain main(d);
    main.AutoAnswer = 1;
    QMenu* performance = main.findChild<QMenu*>("mnPerformance");
    QAction* steady = main.Action("actSteady");
    ASSERT_TRUE(main.Action("actReachability")->isEnabled());

    // Opens the window, builds (or not) and closes it.
    auto run = [&](bool build) {
        QTimer::singleShot(0, &main, [&main, build] {
            auto* w = main.findChild<TfmAnalyze_1*>();
            EXPECT_NE(w, nullptr);
            if (!w) {
                if (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
                return;
            }
            EXPECT_TRUE(w->isVisible());
            if (build)
                w->BuildGraph();
            w->SelectMarking(1);
            w->reject();
        });
        main.Action("actReachability")->trigger();
        EXPECT_EQ(main.findChild<TfmAnalyze_1*>(), nullptr) << "the window is freed";
        EXPECT_FALSE(d.Updating());
    };

    twoPlaceNet(d, false);
    run(true);
    EXPECT_TRUE(performance->isEnabled());
    EXPECT_FALSE(steady->isEnabled()) << "a dead marking";
    EXPECT_EQ(qobject_cast<TclsNodeDiscrete*>(d.FindObject("p1"))->Tokens(), 1) << "initial marking again";
    // The transient analysis takes the dead marking as an absorbing state.
    QAction* transient = main.Action("actTransient");
    ASSERT_TRUE(transient->isEnabled());
    d.Errors.clear();
    std::function<void()> probeTransient = [&] {
        auto* w = main.findChild<TTransAnalyze*>();
        if (!w || QApplication::activeModalWidget() != w) {
            QTimer::singleShot(10, &main, probeTransient);
            return;
        }
        EXPECT_TRUE(w->GraphRead());
        EXPECT_EQ(w->Engine().MarkingCount(), 2);
        w->reject();
    };
    QTimer::singleShot(0, &main, probeTransient);
    transient->trigger();
    EXPECT_EQ(main.findChild<TTransAnalyze*>(), nullptr) << "the window is freed";
    EXPECT_TRUE(d.Errors.isEmpty()) << d.Errors.join("\n").toStdString();

    d.ClearNet();
    twoPlaceNet(d, true);
    run(true);
    EXPECT_TRUE(performance->isEnabled());
    EXPECT_TRUE(steady->isEnabled());
    // Steady Analysis opens its window on the graph just built.
    d.Errors.clear();
    // The window reads the graph while it is being shown: look once it is the modal window.
    std::function<void()> probe = [&] {
        auto* w = main.findChild<TStohAnalyze*>();
        if (!w || QApplication::activeModalWidget() != w) {
            QTimer::singleShot(10, &main, probe);
            return;
        }
        EXPECT_TRUE(w->GraphRead());
        EXPECT_EQ(w->Engine().MarkingCount(), 2);
        w->reject();
    };
    QTimer::singleShot(0, &main, probe);
    steady->trigger();
    EXPECT_EQ(main.findChild<TStohAnalyze*>(), nullptr) << "the window is freed";
    EXPECT_TRUE(d.Errors.isEmpty()) << d.Errors.join("\n").toStdString();

    // Closing without a build allows neither analysis.
    run(false);
    EXPECT_FALSE(performance->isEnabled());
    EXPECT_FALSE(steady->isEnabled());
    EXPECT_FALSE(transient->isEnabled());
}

TEST(ReachabilityWindow, TheValuesColumnFitsItsHeaderAndItsWidestValue)
{
    TTestDesigner d;
    twoPlaceNet(d, true);
    // A place of a long name, and counts of many digits.
    auto* big = AddNode<TclsNodeDiscrete>(d, 20, 200, "p00003_with_a_long_name");
    big->SetTokens(1234567);
    TWindow t(d);
    t.W.show();
    t.build();
    ASSERT_TRUE(t.W.Built());
    const TMarkList& store = *t.W.Engine().Store();
    const QHeaderView* header = t.W.GraphList()->horizontalHeader();
    const int width = header->sectionSize(1);
    const QFontMetrics metrics(t.W.GraphList()->font());
    EXPECT_GE(width, header->sectionSizeHint(1));
    for (int m = 0; m < store.Count(); ++m)
        EXPECT_GT(width, metrics.horizontalAdvance(store.GetValuesText(m))) << m;
    // Not wider than it needs to be.
    int widest = header->sectionSizeHint(1);
    for (int m = 0; m < store.Count(); ++m)
        widest = std::max(widest, metrics.horizontalAdvance(store.GetValuesText(m)));
    EXPECT_LE(width, widest + 40);
}

TEST(ReachabilityWindow, OpensBesideTheDrawingNotOverIt)
{
    TTestDesigner d;
    TfmMain main(d);
    main.AutoAnswer = 1;
    const QRect screen = main.screen()->availableGeometry();
    // A main window that leaves the screen's right part free, with the net at its left.
    main.setGeometry(screen.left(), screen.top(), screen.width() / 2, screen.height() * 3 / 4);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    // A small net down the surface's left edge.
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 10, 20, "p1");
    auto* t1 = AddNode<TclsTransTimed>(d, 10, 90, "t1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 10, 150, "p2");
    p1->SetTokens(1);
    AddArc<TclsLinkNormal>(d, p1, t1);
    AddArc<TclsLinkNormal>(d, t1, p2);
    QRect net;
    for (const TQRVObject* o : d.ObjectList())
        net |= o->DrawnBounds();
    net.translate(main.Surface()->viewport()->mapToGlobal(QPoint(0, 0)));

    QRect placed;
    QTimer::singleShot(0, &main, [&main, &placed] {
        if (auto* w = main.findChild<TfmAnalyze_1*>()) {
            placed = w->frameGeometry();
            w->reject();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    main.Action("actReachability")->trigger();
    ASSERT_TRUE(placed.isValid());
    EXPECT_FALSE(placed.intersects(net)) << "the net stays in sight while stepping";
    EXPECT_TRUE(screen.contains(placed.topLeft()));
}
