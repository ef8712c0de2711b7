// The edit history: every change is one step; undoing it gives back the net
// file's text from before, redoing it the text from after.
#include <gtest/gtest.h>

#include <stdexcept>

#include "element_support.h"
#include "model/annotations.h"
#include "model/class_registry.h"
#include "model/designer_link.h"
#include "model/element_builders.h"
#include "model/name_label.h"
#include "model/text.h"
#include "netfile/net_file.h"
#include "test_support.h"

namespace {

QString NetText(TQRVDesigner& d)
{
    d.Update();
    return NetToText(d);
}

// Runs `edit` and checks that it made exactly one step, named `caption`
// when one is given, that undo gives back the text before and redo the text
// after, and that the "*" of unsaved changes follows.
void ExpectOneStep(TTestDesigner& d, const std::function<void()>& edit, const QString& caption = QString())
{
    d.Edits().SetClean();
    const QString before = NetText(d);
    const int steps = d.Edits().Count();
    edit();
    const QString after = NetText(d);
    ASSERT_NE(after, before) << "the edit changed nothing: " << caption.toStdString();
    ASSERT_EQ(d.Edits().Count(), steps + 1) << caption.toStdString();
    EXPECT_TRUE(d.IsChanged());
    if (!caption.isEmpty()) {
        EXPECT_EQ(d.Edits().UndoText(), caption);
    }
    d.Edits().Undo();
    EXPECT_EQ(NetText(d), before) << "undo " << caption.toStdString();
    EXPECT_FALSE(d.IsChanged());
    d.Edits().Redo();
    EXPECT_EQ(NetText(d), after) << "redo " << caption.toStdString();
    EXPECT_TRUE(d.IsChanged());
    EXPECT_TRUE(d.Errors.isEmpty()) << d.Errors.join(" / ").toStdString();
}

// A small net of every kind of connection: p1 -> t1 -> p2 with labels, an
// arc with a bend, two shapes with a connector, a frame and a line.
struct TSampleNet
{
    explicit TSampleNet(TTestDesigner& d)
    {
        p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
        NameLabel::Create(*p1);
        t1 = AddNode<TclsTransTimed>(d, 250, 100, "t1");
        NameLabel::Create(*t1);
        p2 = AddNode<TclsNodeDiscrete>(d, 400, 100, "p2");
        in = AddArc<TclsLinkNormal>(d, p1, t1);
        out = AddArc<TclsLinkNormal>(d, t1, p2, "2");
        // A bend in the second arc.
        out->ClearPoints();
        out->AddPoint(0, 0, true);
        out->AddPoint(0, 0, false);
        out->AddPoint(330, 200, true);
        out->AddPoint(0, 0, false);
        out->AddPoint(0, 0, true);
        out->IncludeState(osDirty);
        e1 = CreateAt<TclsEllipse>(d, 100, 300);
        e2 = CreateAt<TclsRoundRect>(d, 300, 300);
        link = new TclsDesignerLink(&d);
        link->SetNameDirect(d.UniqueName(link->GetNamePrefix()));
        d.InsertObject(link);
        link->SetSource(e1);
        link->SetTarget(e2);
        frame = CreateAt<TclsFrame>(d, 500, 300);
        line = CreateAt<TclsLine>(d, 600, 100);
        d.MarkAllDirty();
        d.Update();
        d.SetSelection({});
        d.Edits().Clear();
    }
    TclsNodeDiscrete* p1;
    TclsTransTimed* t1;
    TclsNodeDiscrete* p2;
    TclsLinkNormal* in;
    TclsLinkNormal* out;
    TclsEllipse* e1;
    TclsRoundRect* e2;
    TclsDesignerLink* link;
    TclsFrame* frame;
    TclsLine* line;
};

QPointF centre(const TQRVDesigner& d, const TQRVObject* o)
{
    return QPointF(d.ToScreenX(o->Left() + o->Width() / 2), d.ToScreenY(o->Top() + o->Height() / 2));
}

QPointF screen(const TQRVDesigner& d, const TPivotPoint* p)
{
    return QPointF(d.ToScreenX(p->X()), d.ToScreenY(p->Y()));
}

// Press, several moves and release, in screen pixels.
void dragMouse(TQRVDesigner& d, QPointF from, QPointF to, int moves = 5)
{
    d.LeftButtonDown(from.x(), from.y());
    for (int i = 1; i <= moves; ++i)
        d.MouseMoveTo(from.x() + (to.x() - from.x()) * i / moves, from.y() + (to.y() - from.y()) * i / moves);
    d.LeftButtonUp(to.x(), to.y());
}

void clickMouse(TQRVDesigner& d, QPointF at)
{
    d.LeftButtonDown(at.x(), at.y());
    d.LeftButtonUp(at.x(), at.y());
}

template <class T> void chooseClass(TQRVDesigner& d)
{
    d.SetCreationClass(TQRVClassRegistry::Instance().Find<T>());
}

} // namespace

TEST(EditHistory, EveryKindOfChangeIsOneStepThatUndoAndRedoGiveBack)
{
    TTestDesigner d;
    TSampleNet net(d);
    ExpectOneStep(
        d, [&] { d.Edits().MoveBy({net.p1}, 30, 20); }, "Move p1");
    ExpectOneStep(
        d,
        [&] {
            d.Edits().MoveBy({net.p1, net.e1, net.out}, -10, 40);
        },
        "Move 3 Objects");
    // The selection itself handed in, as the arrow keys do: it changes while
    // the step is made, and the move must not be lost with it.
    d.SetSelection({net.p1, net.t1});
    ExpectOneStep(
        d, [&] { d.Edits().MoveBy(d.Selection(), 10, 0); }, "Move 2 Objects");
    EXPECT_EQ(d.Selection(), (QList<TQRVObject*>{net.p1, net.t1}));
    ExpectOneStep(
        d, [&] { EXPECT_TRUE(d.Edits().SetProperty({net.p1}, "Tokens", 4)); }, "Change Tokens");
    // A group edit: both places, one step.
    ExpectOneStep(d, [&] {
        d.Edits().SetProperty({net.p1, net.p2}, "Size", QVariant::fromValue(Qrv::osLarge));
    });
    ExpectOneStep(d, [&] { d.Edits().SetProperty({net.t1}, "Angle", 90.0); });
    ExpectOneStep(
        d, [&] { d.Edits().SetProperty({net.p2}, "ShowText", true); }, "Change ShowText");
    ExpectOneStep(d, [&] { d.Edits().SetProperty({net.p1}, "ShowText", false); });
    ExpectOneStep(
        d, [&] { EXPECT_EQ(d.Edits().Rename(net.p1, "start"), ""); }, "Rename p1");
    ExpectOneStep(
        d, [&] { d.Edits().Change("Change Weight", {net.in}, [&] { net.in->Weight()->SetFormula("3"); }); });
    ExpectOneStep(
        d, [&] { d.Edits().Change("Change Text", {net.frame}, [&] { net.frame->SetText("Stage"); }); });
    ExpectOneStep(
        d, [&] { d.Edits().Change("Change Pen", {net.line}, [&] { net.line->Pen()->SetColor(Qt::red); }); });
    ExpectOneStep(
        d, [&] { d.Edits().Delete({net.e1}); }, "Delete ellipse1");
}

TEST(EditHistory, DeletingTakesArcsAndLabelsAlongAndUndoPutsThemBackInTheirPlaces)
{
    // Arcs listed before their ends as well as after them.
    for (bool arcsFirst : {false, true}) {
        TTestDesigner d;
        TclsNodeDiscrete* p1 = nullptr;
        TclsTransTimed* t1 = nullptr;
        if (arcsFirst) {
            auto* arc = new TclsLinkNormal(&d);
            arc->SetNameDirect("L1");
            d.InsertObject(arc);
            p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
            t1 = AddNode<TclsTransTimed>(d, 300, 100, "t1");
            arc->SetSource(p1);
            arc->SetDest(t1);
        } else {
            p1 = AddNode<TclsNodeDiscrete>(d, 100, 100, "p1");
            t1 = AddNode<TclsTransTimed>(d, 300, 100, "t1");
            AddArc<TclsLinkNormal>(d, p1, t1);
        }
        NameLabel::Create(*p1);
        AddArc<TclsLinkNormal>(d, t1, p1, "2");
        AddNode<TclsNodeDiscrete>(d, 100, 300, "p9");
        const int count = d.ObjectCount();
        ExpectOneStep(
            d,
            [&] {
                d.SelectObject(p1);
                d.KeyDown(Qt::Key_Delete);
                // The place, its label and both arcs.
                EXPECT_EQ(d.ObjectCount(), count - 4);
            },
            "Delete p1");
        // The arcs found their ends again.
        d.Edits().Undo();
        auto* back = qobject_cast<TclsNodeDiscrete*>(d.FindObject("p1"));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->AttachedArcs.size(), 2);
        EXPECT_NE(NameLabel::Find(*back), nullptr);
        EXPECT_EQ(d.Selection(), QList<TQRVObject*>{back});
    }
}

TEST(EditHistory, EveryMouseEditIsOneStep)
{
    TTestDesigner d;
    TSampleNet net(d);

    // Creating by clicks: a place comes with its name label.
    ExpectOneStep(
        d,
        [&] {
            chooseClass<TclsNodeDiscrete>(d);
            clickMouse(d, {600, 400});
            d.SetCreationClass(nullptr);
        },
        "Create p3");
    ExpectOneStep(d, [&] {
        chooseClass<TclsTransInstant>(d);
        clickMouse(d, {700, 400});
        d.SetCreationClass(nullptr);
    });
    for (auto create :
         {&chooseClass<TclsText>, &chooseClass<TclsFrame>, &chooseClass<TclsEllipse>, &chooseClass<TclsLine>})
        ExpectOneStep(d, [&] {
            create(d);
            clickMouse(d, {700, 600});
            d.SetCreationClass(nullptr);
        });

    // An arc placed by three clicks (one of them a bend) is one step; so is a
    // connector between the shapes.
    ExpectOneStep(
        d,
        [&] {
            chooseClass<TclsLinkNormal>(d);
            clickMouse(d, centre(d, net.p2));
            d.MouseMoveTo(450, 200);
            clickMouse(d, {450, 200});
            d.MouseMoveTo(centre(d, net.t1).x(), centre(d, net.t1).y());
            clickMouse(d, centre(d, net.t1));
            d.SetCreationClass(nullptr);
            EXPECT_EQ(d.Capture(), nullptr);
        },
        "Create L4");
    ExpectOneStep(d, [&] {
        chooseClass<TclsDesignerLink>(d);
        clickMouse(d, centre(d, net.e2));
        clickMouse(d, centre(d, net.e1));
        d.SetCreationClass(nullptr);
    });

    // A drag of many moves is one step, and a drag of the selection moves it all.
    ExpectOneStep(
        d,
        [&] {
            d.SelectObject(net.p1);
            dragMouse(d, centre(d, net.p1), centre(d, net.p1) + QPointF(60, 40), 12);
        },
        "Move p1");
    ExpectOneStep(
        d,
        [&] {
            d.SetSelection({net.p2, net.e1, net.frame});
            dragMouse(d, centre(d, net.e1), centre(d, net.e1) + QPointF(-30, 50));
        },
        "Move 3 Objects");

    // The handles of an arc, a connector, a frame, a shape and a line.
    ExpectOneStep(
        d,
        [&] {
            d.SetSelection({});
            const QPointF handle = screen(d, net.in->Points().at(1));
            dragMouse(d, handle, handle + QPointF(0, -50));
            EXPECT_EQ(net.in->Points().size(), 5);
        },
        "Bend " + net.in->Name());
    ExpectOneStep(
        d,
        [&] {
            d.RightButtonDown(screen(d, net.out->Points().at(2)).x(), screen(d, net.out->Points().at(2)).y());
            EXPECT_EQ(net.out->Points().size(), 3);
        },
        "Straighten " + net.out->Name());
    ExpectOneStep(d, [&] {
        const QPointF handle = screen(d, net.link->Points().at(1));
        dragMouse(d, handle, handle + QPointF(0, 60));
    });
    ExpectOneStep(
        d,
        [&] {
            const QPointF corner(d.ToScreenX(net.frame->Left() + net.frame->Width()),
                                 d.ToScreenY(net.frame->Top() + net.frame->Height()));
            dragMouse(d, corner, corner + QPointF(40, 30));
        },
        "Resize " + net.frame->Name());
    ExpectOneStep(
        d,
        [&] {
            const QPointF corner(d.ToScreenX(net.e2->Left() + net.e2->Width()),
                                 d.ToScreenY(net.e2->Top() + net.e2->Height()));
            dragMouse(d, corner, corner + QPointF(20, 40));
        },
        "Resize " + net.e2->Name());
    ExpectOneStep(
        d,
        [&] {
            const QPointF end(d.ToScreenX(net.line->Left() + net.line->Width()),
                              d.ToScreenY(net.line->Top() + net.line->Height()));
            dragMouse(d, end, end + QPointF(-50, 70));
        },
        "Resize " + net.line->Name());

    // The marker, with and without Ctrl.
    ExpectOneStep(
        d,
        [&] {
            chooseClass<TclsMarker>(d);
            clickMouse(d, centre(d, net.p2));
            d.SetCreationClass(nullptr);
        },
        "Add Token to p2");
    net.p2->SetTokensDirect(2);
    ExpectOneStep(
        d,
        [&] {
            chooseClass<TclsMarker>(d);
            d.SetModifiers(Qt::ControlModifier);
            clickMouse(d, centre(d, net.p2));
            d.SetModifiers({});
            d.SetCreationClass(nullptr);
        },
        "Take Token from p2");

    // Deleting by key.
    ExpectOneStep(
        d,
        [&] {
            d.SetSelection({net.t1, net.frame});
            d.KeyDown(Qt::Key_Delete);
        },
        "Delete 2 Objects");
}

TEST(EditHistory, GesturesThatChangeNothingLeaveNoStep)
{
    TTestDesigner d;
    TSampleNet net(d);
    const QString before = NetText(d);
    // A click on an object, a drag back to where it started, a band.
    const QPointF start = centre(d, net.p1);
    clickMouse(d, start);
    d.LeftButtonDown(start.x(), start.y());
    d.MouseMoveTo(start.x() + 40, start.y());
    d.MouseMoveTo(start.x(), start.y());
    d.LeftButtonUp(start.x(), start.y());
    dragMouse(d, {5, 5}, {700, 700});
    // An arc begun and cancelled with the right button; Delete with nothing selected.
    chooseClass<TclsLinkNormal>(d);
    clickMouse(d, centre(d, net.p1));
    d.MouseMoveTo(300, 300);
    clickMouse(d, {300, 300});
    d.RightButtonDown(300, 300);
    EXPECT_EQ(d.CreationClass(), nullptr);
    d.SetSelection({});
    d.KeyDown(Qt::Key_Delete);
    EXPECT_EQ(d.Edits().Count(), 0);
    EXPECT_FALSE(d.IsChanged());
    EXPECT_EQ(NetText(d), before);
}

TEST(EditHistory, UndoDuringAGestureEndsItFirst)
{
    TTestDesigner d;
    TSampleNet net(d);
    d.Edits().MoveBy({net.p2}, 10, 0);
    const QString before = NetText(d);
    // An arc half placed is cancelled, then the move is undone.
    chooseClass<TclsLinkNormal>(d);
    clickMouse(d, centre(d, net.p1));
    d.MouseMoveTo(300, 300);
    ASSERT_NE(d.Capture(), nullptr);
    d.Edits().Undo();
    EXPECT_EQ(d.Capture(), nullptr);
    EXPECT_EQ(d.Edits().Count(), 1);
    EXPECT_FALSE(d.Edits().CanUndo());
    d.Edits().Redo();
    EXPECT_EQ(NetText(d), before);

    // A drag under way is let go and kept as its own step before the undo.
    d.SetCreationClass(nullptr);
    d.SelectObject(net.t1);
    d.LeftButtonDown(centre(d, net.t1).x(), centre(d, net.t1).y());
    d.MouseMoveTo(centre(d, net.t1).x() + 50, centre(d, net.t1).y());
    d.Edits().Undo();
    EXPECT_FALSE(d.DragActive());
    EXPECT_EQ(NetText(d), before);
    EXPECT_EQ(d.Edits().RedoText(), "Move t1");
}

TEST(EditHistory, TheUnsavedMarkFollowsTheCleanState)
{
    TTestDesigner d;
    TSampleNet net(d);
    QList<bool> marks;
    QObject::connect(&d, &TQRVDesigner::ChangedStateChanged, [&](bool changed) { marks << changed; });
    EXPECT_FALSE(d.IsChanged());
    d.Edits().MoveBy({net.p1}, 10, 0);
    d.Edits().MoveBy({net.p1}, 10, 0);
    EXPECT_TRUE(d.IsChanged());
    d.Edits().SetClean(); // saved here
    EXPECT_FALSE(d.IsChanged());
    d.Edits().Undo();
    EXPECT_TRUE(d.IsChanged());
    d.Edits().Redo();
    EXPECT_FALSE(d.IsChanged());
    EXPECT_EQ(marks, (QList<bool>{true, false, true, false}));

    // A new step after undoing past the saved state can never lead back to it.
    d.Edits().Undo();
    d.Edits().MoveBy({net.t1}, 0, 10);
    d.Edits().Undo();
    EXPECT_TRUE(d.IsChanged());

    // A new net forgets the history.
    d.ClearNet();
    EXPECT_FALSE(d.Edits().CanUndo());
    EXPECT_FALSE(d.IsChanged());
}

TEST(EditHistory, StepsNestAndAFailedChangeIsPutBack)
{
    TTestDesigner d;
    TSampleNet net(d);
    const QString before = NetText(d);
    // A change inside a change is one step, named by the outer one.
    d.Edits().Change("Arrange", {net.p1}, [&] {
        d.Edits().MoveBy({net.p1}, 10, 10);
        d.Edits().SetProperty({net.t1}, "Angle", 45.0);
    });
    EXPECT_EQ(d.Edits().Count(), 1);
    EXPECT_EQ(d.Edits().UndoText(), "Arrange");
    d.Edits().Undo();
    EXPECT_EQ(NetText(d), before);

    // A change that throws half way leaves the net as it was, and no step.
    d.Edits().Clear();
    EXPECT_THROW(d.Edits().Change("Broken", {net.p1},
                                  [&] {
                                      d.Edits().MoveBy({net.p1}, 10, 10);
                                      d.DeleteObjects({net.t1});
                                      throw std::runtime_error("stop");
                                  }),
                 std::runtime_error);
    EXPECT_EQ(NetText(d), before);
    EXPECT_EQ(d.Edits().Count(), 0);
    EXPECT_FALSE(d.IsChanged());
    ASSERT_NE(d.FindObject("t1"), nullptr);
    EXPECT_EQ(qobject_cast<TclsTrans*>(d.FindObject("t1"))->AttachedArcs.size(), 2);
}

TEST(EditHistory, ObjectsDestroyedWithoutBeingNamedComeBackWithTheirArcs)
{
    TTestDesigner d;
    TSampleNet net(d);
    // The change names nothing; the transition takes its arcs and label along.
    ExpectOneStep(
        d, [&] { d.Edits().Change("Remove", {}, [&] { d.DeleteObjects({net.t1}); }); }, "Remove");
    d.Edits().Undo();
    auto* t1 = qobject_cast<TclsTrans*>(d.FindObject("t1"));
    ASSERT_NE(t1, nullptr);
    EXPECT_EQ(t1->AttachedArcs.size(), 2);
    EXPECT_NE(NameLabel::Find(*t1), nullptr);
}

TEST(EditHistory, ANetChangedBehindItsBackIsNotUndoneWrongly)
{
    TTestDesigner d;
    TSampleNet net(d);
    d.Edits().MoveBy({net.p2}, 10, 0);
    // Deleted without the history: the step no longer fits the net.
    d.DeleteObjects({net.p1});
    const QString now = NetText(d);
    d.Edits().Undo();
    EXPECT_EQ(NetText(d), now);
    ASSERT_EQ(d.Errors.size(), 1);
    EXPECT_TRUE(d.Errors.first().contains("changed outside the edit history"));
    EXPECT_FALSE(d.Edits().CanUndo());
    EXPECT_TRUE(d.IsChanged());
}

TEST(EditHistory, PointsComeBackExactlyOffTheGrid)
{
    TTestDesigner d;
    TSampleNet net(d);
    // A move by half a grid step puts the bend off the grid; a file read
    // would snap it, a step undone or redone must not.
    d.Edits().MoveBy({net.out}, 5, 5);
    ExpectOneStep(d, [&] { d.Edits().Rename(net.p2, "sink"); });
    const QString arc = net.out->Name();
    ExpectOneStep(d, [&] { d.Edits().Delete({net.t1}); });
    d.Edits().Undo();
    // The arc was made anew, with its bend where it was.
    auto* back = qobject_cast<TclsLinkNormal*>(d.FindObject(arc));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->Points().size(), 5);
    EXPECT_EQ(back->Points().at(2)->X(), 335);
}

TEST(EditHistory, AMarkingLeftByAnAnalysisIsOneStepOfItsPlaces)
{
    TTestDesigner d;
    TSampleNet net(d);
    auto* b1 = AddNode<TclsNodeContinuous>(d, 500, 500, "b1");
    d.Edits().Clear();
    const QString before = NetText(d);
    // The analysis wrote into the places directly.
    net.p1->SetTokensDirect(7);
    b1->SetLevelDirect(2.5);
    d.Edits().LeaveMarking("Marking", {{net.p1, 0.0}, {net.p2, 0.0}, {b1, 0.0}});
    const QString after = NetText(d);
    EXPECT_NE(after, before);
    EXPECT_EQ(d.Edits().Count(), 1);
    d.Edits().Undo();
    EXPECT_EQ(NetText(d), before);
    d.Edits().Redo();
    EXPECT_EQ(NetText(d), after);
    // A marking equal to the one before is no step.
    d.Edits().LeaveMarking("Marking", {{net.p1, 7.0}, {net.p2, 0.0}});
    EXPECT_EQ(d.Edits().Count(), 1);
}
