// The drawing surface driven with mouse and key events, as a user draws.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "app/main_window.h"
#include "editor/component_palette.h"
#include "editor/designer_form.h"
#include "editor/property_inspector.h"
#include "model/arcs.h"
#include "model/edits.h"
#include "model/element_builders.h"
#include "model/name_label.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "test_support.h"

namespace {

class SurfaceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<TfmMain>(d);
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        surface = window->Surface()->viewport();
    }

    // Presses the palette button of a class (switching to its page first).
    void choose(const QString& className)
    {
        QTabBar* tabs = window->PaletteTabs();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            if (QToolButton* b = window->Palette()->ButtonFor(className)) {
                b->click();
                return;
            }
        }
        FAIL() << "no palette button for " << className.toStdString();
    }

    void click(QPoint at, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseClick(surface, button, mods, at);
    }

    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(surface, Qt::LeftButton, {}, from);
        const int steps = 4;
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(surface, from + (to - from) * i / steps);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, to);
    }

    // The centre of an object on the surface.
    QPoint at(const TQRVObject* o) const
    {
        return QPoint(qRound(d.ToScreenX(o->Left() + o->Width() / 2)),
                      qRound(d.ToScreenY(o->Top() + o->Height() / 2)));
    }

    template <class T> QList<T*> all() const
    {
        QList<T*> list;
        for (TQRVObject* o : d.ObjectList())
            if (auto* t = qobject_cast<T*>(o))
                list << t;
        return list;
    }

    TTestDesigner d;
    std::unique_ptr<TfmMain> window;
    QWidget* surface = nullptr;
};

} // namespace

TEST_F(SurfaceTest, AClickCreatesAnObjectCentredOnTheSnappedPoint)
{
    choose("TclsNodeDiscrete");
    click({104, 57});
    ASSERT_EQ(all<TclsNodeDiscrete>().size(), 1);
    TclsNodeDiscrete* p = all<TclsNodeDiscrete>().first();
    EXPECT_EQ(p->Name(), "p1");
    EXPECT_DOUBLE_EQ(p->Left() + p->Width() / 2, 100);
    EXPECT_DOUBLE_EQ(p->Top() + p->Height() / 2, 60);
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{p});
    // The class stays chosen: a second click makes another place.
    click({204, 57});
    EXPECT_EQ(all<TclsNodeDiscrete>().size(), 2);
    EXPECT_TRUE(d.IsChanged());
    EXPECT_TRUE(window->windowTitle().contains("* - Quorvane"));
}

TEST_F(SurfaceTest, DraggingMovesTheSelectionByGridSteps)
{
    choose("TclsNodeDiscrete");
    click({100, 100});
    click({200, 100});
    click({300, 300}, Qt::RightButton); // back to the pointer
    QList<TclsNodeDiscrete*> places = all<TclsNodeDiscrete>();
    ASSERT_EQ(places.size(), 2);
    d.SetSelection({places[0], places[1]});
    const double left0 = places[0]->Left(), left1 = places[1]->Left();

    // A press on a selected object keeps the whole selection and drags it.
    drag(at(places[0]), at(places[0]) + QPoint(14, 0));
    EXPECT_EQ(d.Selection().size(), 2);
    EXPECT_DOUBLE_EQ(places[0]->Left(), left0 + 10);
    EXPECT_DOUBLE_EQ(places[1]->Left(), left1 + 10);

    // A press on an unselected object inside a larger selection selects it alone.
    choose("TclsNodeDiscrete");
    click({100, 300});
    click({300, 300}, Qt::RightButton);
    TclsNodeDiscrete* third = all<TclsNodeDiscrete>().last();
    d.SetSelection({places[0], places[1]});
    click(at(third));
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{third});
}

TEST_F(SurfaceTest, AReleaseTheSurfaceNeverSawEndsTheDrag)
{
    // A message box opened while the button was down (a refused name
    // written when the inspector loses the focus) takes the release.
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 300, 100, "p2");
    auto moveWithoutButton = [this](QPoint to) {
        QMouseEvent move(QEvent::MouseMove, QPointF(to), surface->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(surface, &move);
    };
    const double left = p1->Left();
    QTest::mousePress(surface, Qt::LeftButton, {}, at(p1));
    moveWithoutButton(at(p1) + QPoint(40, 0));
    EXPECT_DOUBLE_EQ(p1->Left(), left) << "moves without the button drag nothing";
    moveWithoutButton(at(p1) + QPoint(80, 30));
    EXPECT_DOUBLE_EQ(p1->Left(), left);
    EXPECT_FALSE(d.DragActive());

    // Likewise for a rubber band: it ends where the pointer is.
    QTest::mousePress(surface, Qt::LeftButton, {}, {20, 20});
    moveWithoutButton(at(p2) + QPoint(30, 30));
    EXPECT_FALSE(d.RubberBandActive());
    EXPECT_TRUE(d.Selection().contains(p1) && d.Selection().contains(p2));
}

TEST_F(SurfaceTest, ARightClickCancelsAnUnfinishedArc)
{
    choose("TclsNodeDiscrete");
    click({100, 100});
    choose("TclsLinkNormal");
    const int before = d.ObjectCount();
    click({100, 100}); // the arc starts at the place
    EXPECT_EQ(d.ObjectCount(), before + 1);
    QTest::mouseMove(surface, {180, 140});
    click({180, 140}, Qt::RightButton);
    EXPECT_EQ(d.ObjectCount(), before);
    EXPECT_TRUE(all<TclsLinkNormal>().isEmpty());
    EXPECT_EQ(d.Capture(), nullptr);
    EXPECT_TRUE(window->Palette()->PointerButton()->isChecked());
    EXPECT_EQ(d.CreationClass(), nullptr);
}

TEST_F(SurfaceTest, DeleteRemovesTheSelectionAndNothingWhenNothingIsSelected)
{
    choose("TclsNodeDiscrete");
    click({100, 100});
    click({300, 300}, Qt::RightButton);
    d.Edits().SetClean();
    d.ClearSelection();
    const int count = d.ObjectCount();
    QTest::keyClick(window->Surface(), Qt::Key_Delete);
    EXPECT_EQ(d.ObjectCount(), count);
    EXPECT_FALSE(d.IsChanged());

    click({100, 100});
    QTest::keyClick(window->Surface(), Qt::Key_Delete);
    EXPECT_TRUE(all<TclsNodeDiscrete>().isEmpty());
    EXPECT_TRUE(all<TclsText>().isEmpty()); // the name label goes with its place
}

TEST_F(SurfaceTest, EveryMouseEditOfAnArcMarksTheNetChanged)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    auto* t1 = AddNode<TclsTransTimed>(d, 300, 100, "t1");
    auto* arc = AddArc<TclsLinkNormal>(d, p1, t1);
    auto screen = [this](const TPivotPoint* p) {
        return QPoint(qRound(d.ToScreenX(p->X())), qRound(d.ToScreenY(p->Y())));
    };

    // Dragging the middle handle away makes a bend.
    d.Edits().SetClean();
    ASSERT_EQ(arc->Points().size(), 3);
    const QPoint handle = screen(arc->Points().at(1));
    drag(handle, handle + QPoint(0, 40));
    ASSERT_EQ(arc->Points().size(), 5);
    EXPECT_TRUE(d.IsChanged());

    // A right click on the bend removes it again.
    d.Edits().SetClean();
    const TPivotPoint* bend = arc->Points().at(2);
    ASSERT_TRUE(bend->Stationar());
    click(screen(bend), Qt::RightButton);
    EXPECT_EQ(arc->Points().size(), 3);
    EXPECT_TRUE(d.IsChanged());
    EXPECT_TRUE(window->windowTitle().contains("* - Quorvane"));

    // A right click on an arc's plain handle changes nothing.
    d.Edits().SetClean();
    click(screen(arc->Points().at(1)), Qt::RightButton);
    EXPECT_EQ(arc->Points().size(), 3);
    EXPECT_FALSE(d.IsChanged());
}

TEST_F(SurfaceTest, ANetDrawnByClicksSurvivesSavingAndLoading)
{
    // Two places and two transitions in a cycle: p1 -> t1 -> p2 -> t2 -> p1.
    choose("TclsNodeDiscrete");
    click({100, 100});
    click({300, 200});
    choose("TclsTransTimed");
    click({300, 100});
    click({100, 200});
    QList<TclsNodeDiscrete*> p = all<TclsNodeDiscrete>();
    QList<TclsTransTimed*> t = all<TclsTransTimed>();
    ASSERT_EQ(p.size(), 2);
    ASSERT_EQ(t.size(), 2);

    choose("TclsLinkNormal");
    const QList<QPair<TQRVObject*, TQRVObject*>> arcs = {
        {p[0], t[0]}, {t[0], p[1]}, {p[1], t[1]}, {t[1], p[0]}};
    for (const auto& [from, to] : arcs) {
        click(at(from));
        QTest::mouseMove(surface, at(to));
        click(at(to));
    }
    // One token, by the marker.
    choose("TclsMarker");
    click(at(p[0]));
    click({500, 500}, Qt::RightButton);

    QList<TclsLinkNormal*> links = all<TclsLinkNormal>();
    ASSERT_EQ(links.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(links[i]->Source(), arcs[i].first) << i;
        EXPECT_EQ(links[i]->Dest(), arcs[i].second) << i;
        EXPECT_EQ(links[i]->Points().size(), 3) << i;
    }
    EXPECT_EQ(p[0]->Tokens(), 1);
    EXPECT_EQ(d.Capture(), nullptr);

    QTemporaryDir dir;
    const QString file = dir.filePath("cycle.pn2");
    window->AutoFileName = file;
    ASSERT_TRUE(window->Save());
    EXPECT_EQ(window->FileName(), file);
    EXPECT_FALSE(d.IsChanged());
    const QString saved = NetToText(d);

    TTestDesigner other;
    ASSERT_EQ(LoadNetFile(other, file), "");
    EXPECT_EQ(NetToText(other), saved);
    t[0]->RebuildArcLists();
    t[1]->RebuildArcLists();
    EXPECT_TRUE(t[0]->Open());
    EXPECT_FALSE(t[1]->Open());

    // Open in the window reads it back and names it in the caption.
    window->AutoAnswer = QMessageBox::No;
    window->NewNet();
    EXPECT_EQ(d.ObjectCount(), 0);
    ASSERT_TRUE(window->OpenFile(file));
    EXPECT_EQ(NetToText(d), saved);
    EXPECT_EQ(window->windowTitle(), "cycle.pn2 - " + TfmMain::ProgramName());
}

TEST_F(SurfaceTest, HitTestingFollowsScaleAndScroll)
{
    choose("TclsNodeDiscrete");
    click({200, 150});
    click({400, 150});
    click({600, 600}, Qt::RightButton);
    QList<TclsNodeDiscrete*> p = all<TclsNodeDiscrete>();
    ASSERT_EQ(p.size(), 2);

    for (const char* scale : {"40%", "150%", "100%"}) {
        window->ScaleBox()->setCurrentText(scale);
        for (TclsNodeDiscrete* place : p) {
            d.ClearSelection();
            click(at(place));
            EXPECT_EQ(d.Selection(), QList<TQRVObject*>{place}) << scale;
        }
        // A rubber band around both selects both (with their name labels),
        // one around the first only the first.
        drag(at(p[0]) - QPoint(30, 30), at(p[1]) + QPoint(30, 30));
        EXPECT_TRUE(d.Selection().contains(p[0]) && d.Selection().contains(p[1])) << scale;
        drag(at(p[0]) - QPoint(25, 25), at(p[0]) + QPoint(2, 2));
        EXPECT_EQ(d.Selection(), QList<TQRVObject*>{p[0]}) << scale;
    }

    d.ClearSelection();
    window->Surface()->ScrollTo(50, 40);
    EXPECT_EQ(d.ScrollX(), 50);
    EXPECT_EQ(d.ScrollY(), 40);
    click(at(p[1]));
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{p[1]});
    EXPECT_EQ(at(p[1]), QPoint(400 - 50, 150 - 40));
}

TEST_F(SurfaceTest, CtrlWheelZoomsAroundThePointer)
{
    choose("TclsNodeDiscrete");
    click({300, 200});
    click({600, 600}, Qt::RightButton);
    TclsNodeDiscrete* place = all<TclsNodeDiscrete>().first();
    const QPoint before = at(place);
    QWheelEvent wheel(QPointF(before), window->Surface()->mapToGlobal(before), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(surface, &wheel);
    EXPECT_EQ(window->ScaleBox()->currentText(), "120%");
    EXPECT_DOUBLE_EQ(d.Scale(), 1.2);
    // The place stays under the pointer.
    EXPECT_LE((at(place) - before).manhattanLength(), 2);
}

TEST_F(SurfaceTest, TheWindowWithANetIsWorthLookingAt)
{
    // A picture of the program for anyone to look at, in the build folder.
    const QString example = ExamplesDir() + "/producer-consumer.pn2";
    if (QFile::exists(example)) {
        ASSERT_TRUE(window->OpenFile(example));
    } else {
        choose("TclsNodeDiscrete");
        click({100, 100});
        choose("TclsTransTimed");
        click({250, 100});
        choose("TclsLinkNormal");
        click({100, 100});
        click({250, 100});
    }
    // With a place selected, the inspector shows what it publishes.
    if (!all<TclsNodeDiscrete>().isEmpty())
        d.SelectObject(all<TclsNodeDiscrete>().first());
    QApplication::processEvents();
    const QImage shot = window->grab().toImage();
    shot.save(QStringLiteral(QUORVANE_TEST_OUTPUT) + "/main-window.png");
    // Not blank: more than one colour, and something drawn on the surface.
    const QImage area = window->Surface()->viewport()->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < area.height(); y += 2)
        for (int x = 0; x < area.width(); x += 2)
            colours.insert(area.pixel(x, y));
    EXPECT_GT(colours.size(), 3);
}

TEST_F(SurfaceTest, ShiftAndCtrlClicksAndBandsAddToTheSelection)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 300, 100, "p2");
    auto* p3 = AddNode<TclsNodeDiscrete>(d, 500, 100, "p3");
    click(at(p1));
    click(at(p2), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(d.Selection(), (QList<TQRVObject*>{p1, p2}));
    click(at(p3), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(d.Selection(), (QList<TQRVObject*>{p1, p2, p3}));
    // Clicked again with a modifier, an element leaves the selection.
    click(at(p2), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(d.Selection(), (QList<TQRVObject*>{p1, p3}));
    // The inspector hears of each change: two places show no name row.
    EXPECT_EQ(window->Inspector()->List()->FindRow("Name"), -1);

    // A band with Shift adds what it touches; without, it replaces.
    click(at(p3), Qt::LeftButton, Qt::ShiftModifier);
    QTest::mousePress(surface, Qt::LeftButton, Qt::ShiftModifier, at(p2) - QPoint(25, 25));
    QTest::mouseMove(surface, at(p2) + QPoint(5, 5));
    QTest::mouseRelease(surface, Qt::LeftButton, Qt::ShiftModifier, at(p2) + QPoint(5, 5));
    EXPECT_EQ(d.Selection(), (QList<TQRVObject*>{p1, p2}));
    drag(at(p3) - QPoint(25, 25), at(p3) + QPoint(5, 5));
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{p3});

    // Edit, Select All (Ctrl+A) takes every element, labels and arcs too.
    AddArc<TclsLinkNormal>(d, p1, AddNode<TclsTransTimed>(d, 200, 300, "t1"));
    window->activateWindow();
    window->Surface()->setFocus();
    QTest::keyClick(window->Surface(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(d.Selection().size(), d.ObjectCount());
}

TEST_F(SurfaceTest, EscCancelsWhatIsBeingPlacedAndReturnsToThePointer)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    choose("TclsLinkNormal");
    const int before = d.ObjectCount();
    click(at(p1));
    QTest::mouseMove(surface, {260, 200});
    click({260, 200}); // a bend
    EXPECT_EQ(d.ObjectCount(), before + 1);
    QTest::keyClick(window->Surface(), Qt::Key_Escape);
    EXPECT_EQ(d.ObjectCount(), before);
    EXPECT_EQ(d.Capture(), nullptr);
    EXPECT_FALSE(d.Edits().StepOpen());
    EXPECT_FALSE(d.Edits().CanUndo());
    EXPECT_EQ(d.CreationClass(), nullptr);
    EXPECT_TRUE(window->Palette()->PointerButton()->isChecked());
    // A click now selects instead of creating.
    click(at(p1));
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{p1});
    EXPECT_EQ(d.ObjectCount(), before);

    // Esc with a place tool chosen: the pointer again, nothing made.
    choose("TclsTransTimed");
    QTest::keyClick(window->Surface(), Qt::Key_Escape);
    click({400, 400});
    EXPECT_EQ(d.ObjectCount(), before);
}

TEST_F(SurfaceTest, AnArcIsPickedAlongEverySegmentAtAnyScale)
{
    // p1 -> t1 along three segments: right, down, right.
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 85, 85, "p1");  // centre (100, 100)
    auto* t1 = AddNode<TclsTransTimed>(d, 385, 295, "t1");  // centre (400, 300)
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 235, 85, "p2"); // on the first segment
    auto* arc = AddArc<TclsLinkNormal>(d, p1, t1);
    arc->ClearPoints();
    const QList<QPointF> corners = {{100, 100}, {300, 100}, {300, 300}, {400, 300}};
    for (int i = 0; i < corners.size(); ++i) {
        if (i > 0)
            arc->AddPoint(0, 0, false);
        arc->AddPoint(corners[i].x(), corners[i].y(), true);
    }
    arc->IncludeState(osDirty);
    d.Update();
    ASSERT_EQ(arc->Points().size(), 7);

    auto screen = [this](QPointF model) {
        return QPoint(qRound(d.ToScreenX(model.x())), qRound(d.ToScreenY(model.y())));
    };
    for (const char* scale : {"40%", "150%"}) {
        window->ScaleBox()->setCurrentText(scale);
        for (int s = 0; s + 1 < corners.size(); ++s) {
            const QPointF a = corners[s], b = corners[s + 1];
            const QPointF along = (b - a) / QLineF(a, b).length();
            const QPoint normal(qRound(-along.y()), qRound(along.x()));
            // A quarter of the way (away from the handle in the middle),
            // and three quarters, clear of the places at the ends.
            for (double f : {0.3, 0.7}) {
                const QPoint on = screen(a + f * (b - a));
                if (d.ObjectAt(on.x(), on.y()) == p2)
                    continue; // where the arc crosses p2, see below
                d.ClearSelection();
                click(on + 3 * normal);
                EXPECT_EQ(d.Selection(), QList<TQRVObject*>{arc}) << scale << " segment " << s << " at " << f;
                d.ClearSelection();
                click(on + 7 * normal);
                EXPECT_TRUE(d.Selection().isEmpty()) << scale << " segment " << s << " at " << f;
            }
        }
        // Where the arc passes over a place, the place wins.
        d.ClearSelection();
        click(screen({250, 100}));
        EXPECT_EQ(d.Selection(), QList<TQRVObject*>{p2}) << scale;
    }
}

TEST_F(SurfaceTest, TheStatusLineShowsThePromptThePointerAndTheSelection)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    auto* t1 = AddNode<TclsTransTimed>(d, 300, 100, "t1");
    QLabel* prompt = window->PromptLabel();
    EXPECT_EQ(prompt->text(), "Click to select, Shift+click to add; drag to move");

    // The pointer's position in model units, whatever the scale.
    QTest::mouseMove(surface, {200, 150});
    EXPECT_EQ(window->PositionLabel()->text(), "X 200  Y 150");
    window->ScaleBox()->setCurrentText("50%");
    QTest::mouseMove(surface, {100, 60});
    EXPECT_EQ(window->PositionLabel()->text(), "X 200  Y 120");
    window->ScaleBox()->setCurrentText("100%");

    // Linking: the source first, then the target.
    choose("TclsLinkNormal");
    EXPECT_EQ(prompt->text(), "Click on source object");
    click(at(p1));
    EXPECT_EQ(prompt->text(), "Click on the target");
    QTest::mouseMove(surface, at(t1));
    click(at(t1));
    EXPECT_EQ(all<TclsLinkNormal>().size(), 1);
    EXPECT_EQ(prompt->text(), "Click on source object");
    choose("TclsNodeDiscrete");
    EXPECT_EQ(prompt->text(), "Click where the discrete place goes");
    QTest::keyClick(window->Surface(), Qt::Key_Escape);
    EXPECT_EQ(prompt->text(), "Click to select, Shift+click to add; drag to move");

    // The number of selected elements: the arc just drawn, kept by Esc.
    EXPECT_EQ(window->SelectionLabel()->text(), "1 selected");
    click({600, 500});
    EXPECT_EQ(window->SelectionLabel()->text(), "");
    click(at(p1));
    EXPECT_EQ(window->SelectionLabel()->text(), "1 selected");
    click(at(t1), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(window->SelectionLabel()->text(), "2 selected");
    click({600, 500});
    EXPECT_EQ(window->SelectionLabel()->text(), "");
}

TEST_F(SurfaceTest, ArrowKeysMoveTheSelectionOneGridStepPerPress)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    auto* t1 = AddNode<TclsTransTimed>(d, 200, 100, "t1");
    AddArc<TclsLinkNormal>(d, p1, t1);
    NameLabel::Create(*p1);
    d.Edits().Clear();
    window->activateWindow();
    window->Surface()->setFocus();
    const TQRVObject* label = NameLabel::Find(*p1);
    ASSERT_NE(label, nullptr);
    const QPointF labelAt(label->Left(), label->Top());

    d.SetSelection({p1, t1});
    QTest::keyClick(window->Surface(), Qt::Key_Right);
    QTest::keyClick(window->Surface(), Qt::Key_Down);
    QTest::keyClick(window->Surface(), Qt::Key_Down);
    EXPECT_EQ(p1->Left(), 110);
    EXPECT_EQ(p1->Top(), 120);
    EXPECT_EQ(t1->Left(), 210);
    // The name label goes along; each press is one step.
    EXPECT_EQ(QPointF(label->Left(), label->Top()), labelAt + QPointF(10, 20));
    EXPECT_EQ(d.Edits().Count(), 3);
    EXPECT_EQ(d.Edits().UndoText(), "Move 2 Objects");
    d.Edits().Undo();
    EXPECT_EQ(p1->Top(), 110);
    QTest::keyClick(window->Surface(), Qt::Key_Left);
    QTest::keyClick(window->Surface(), Qt::Key_Up);
    EXPECT_EQ(p1->Left(), 100);
    EXPECT_EQ(p1->Top(), 100);

    // Without a selection the keys scroll and change nothing.
    d.ClearSelection();
    const int steps = d.Edits().Count();
    QTest::keyClick(window->Surface(), Qt::Key_Down);
    EXPECT_EQ(d.Edits().Count(), steps);
    EXPECT_EQ(p1->Top(), 100);
}

TEST_F(SurfaceTest, TheContextMenuActsOnTheElementOrOnEmptySpace)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
    auto* p2 = AddNode<TclsNodeDiscrete>(d, 300, 100, "p2");
    NameLabel::Create(*p1);
    d.Edits().Clear();
    auto captions = [this] {
        QStringList list;
        for (QAction* a : window->ContextMenu()->actions())
            if (!a->isSeparator())
                list << a->text();
        return list;
    };
    auto trigger = [this](const QString& caption) {
        for (QAction* a : window->ContextMenu()->actions())
            if (a->text() == caption) {
                EXPECT_TRUE(a->isEnabled()) << caption.toStdString();
                a->trigger();
                window->ContextMenu()->hide();
                return;
            }
        ADD_FAILURE() << "no " << caption.toStdString();
    };

    // On an element: it becomes the selection, and the commands act on it.
    click(at(p1), Qt::RightButton);
    ASSERT_NE(window->ContextMenu(), nullptr);
    EXPECT_TRUE(window->ContextMenu()->isVisible());
    EXPECT_EQ(captions(), (QStringList{"&Properties", "&Delete", "Cu&t", "&Copy"}));
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{p1});
    auto* dock = window->findChild<QDockWidget*>();
    ASSERT_NE(dock, nullptr);
    dock->hide();
    trigger("&Properties");
    EXPECT_TRUE(dock->isVisible());
    EXPECT_EQ(window->Inspector()->List()->Edit()->text(), "p1");

    click(at(p1), Qt::RightButton);
    trigger("&Copy");
    click(at(p2), Qt::RightButton);
    trigger("&Delete");
    EXPECT_EQ(d.FindObject("p2"), nullptr);
    EXPECT_EQ(d.Edits().UndoText(), "Delete p2");

    // On empty space: Paste puts the copy where the menu opened; Select All.
    const QPoint empty(500, 400);
    click(empty, Qt::RightButton);
    EXPECT_EQ(captions(), (QStringList{"&Paste", "Select All"}));
    trigger("&Paste");
    ASSERT_EQ(d.Selection().size(), 2); // the place and its label
    const TQRVObject* pasted = nullptr;
    for (TQRVObject* o : d.Selection())
        if (qobject_cast<TclsNodeDiscrete*>(o))
            pasted = o;
    ASSERT_NE(pasted, nullptr);
    EXPECT_NE(pasted, p1);
    EXPECT_NEAR(pasted->Left(), d.ToModelX(empty.x()), 10);
    EXPECT_NEAR(pasted->Top(), d.ToModelY(empty.y()), 10);
    EXPECT_EQ(d.Edits().UndoText(), "Paste");
    click(empty + QPoint(0, 150), Qt::RightButton);
    trigger("Select All");
    EXPECT_EQ(d.Selection().size(), d.ObjectCount());

    // A right click that cancels a tool opens no menu.
    window->ContextMenu()->hide();
    choose("TclsTransTimed");
    click(empty, Qt::RightButton);
    EXPECT_FALSE(window->ContextMenu()->isVisible());
    EXPECT_EQ(d.CreationClass(), nullptr);
}
