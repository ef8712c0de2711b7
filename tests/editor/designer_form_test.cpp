// The drawing surface driven with mouse and key events, as a user draws.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
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
#include "model/arcs.h"
#include "model/edits.h"
#include "model/element_builders.h"
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
    EXPECT_TRUE(window->windowTitle().endsWith('*'));
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
    EXPECT_TRUE(window->windowTitle().endsWith('*'));

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
    EXPECT_TRUE(window->windowTitle().startsWith(file + " - Quorvane - "));
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
