// The net container: naming, lookup, hit testing, deletion, snapping, selection.
#include <gtest/gtest.h>

#include "formula/formula.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/places.h"
#include "stored_properties.h"
#include "test_support.h"

namespace {

// A minimal element: a rectangle hit region, an optional dependency on
// another object (as an arc depends on its ends) and an optional label.
class TTestBox : public TQRVObject, public IQRVStorable
{
    Q_OBJECT
public:
    using TQRVObject::TQRVObject;
    QString GetNamePrefix() const override { return Prefix; }
    QRV_TEST_STORABLE
    void UpdateRegion() override
    {
        ExcludeState(osDirty);
        m_region = QRegion(
            QRect(qRound(ScreenX()), qRound(ScreenY()), qRound(ScreenWidth()), qRound(ScreenHeight())));
    }
    void Notification(TQRVObject* o) override
    {
        if (o == DependsOn)
            IncludeState(osDoomed);
    }
    void Destroying() override
    {
        if (Label)
            Designer()->DestroyObject(Label);
    }
    QString Prefix = QStringLiteral("p");
    TQRVObject* DependsOn = nullptr;
    TQRVObject* Label = nullptr;
};

TQRVClassInfo boxClass()
{
    TQRVClassInfo info;
    info.Page = QStringLiteral("Test");
    info.Meta = &TTestBox::staticMetaObject;
    info.Create = [](TQRVDesigner* d) -> TQRVObject* { return new TTestBox(d); };
    return info;
}

TTestBox* addBox(TQRVDesigner& d, double l, double t, double w, double h, const QString& prefix = "p")
{
    auto* b = new TTestBox(&d);
    b->Prefix = prefix;
    b->SetNameDirect(d.UniqueName(prefix));
    b->SetBounds(l, t, w, h);
    d.InsertObject(b);
    d.Update();
    return b;
}

} // namespace

TEST(Designer, NamesNewObjectsWithTheLowestFreeNumber)
{
    TTestDesigner d;
    const TQRVClassInfo cls = boxClass();
    TQRVObject* p1 = d.CreateObject(&cls, 0, 0, 10, 10);
    TQRVObject* p2 = d.CreateObject(&cls, 20, 0, 10, 10);
    TQRVObject* p3 = d.CreateObject(&cls, 40, 0, 10, 10);
    EXPECT_EQ(p1->Name(), "p1");
    EXPECT_EQ(p2->Name(), "p2");
    EXPECT_EQ(p3->Name(), "p3");
    d.SelectObject(p2);
    d.DeleteSelected();
    EXPECT_EQ(d.CreateObject(&cls, 0, 0, 1, 1)->Name(), "p2");

    EXPECT_EQ(d.UniqueName("TText"), "Text1");
    EXPECT_EQ(d.UniqueName("T"), "T1");
    EXPECT_EQ(d.UniqueName("line42"), "line1");
    EXPECT_EQ(d.UniqueName(""), "");
    // Existing names are compared without regard to case.
    addBox(d, 0, 0, 1, 1, "Q");
    d.FindObject("Q1")->SetName("Text1");
    EXPECT_EQ(d.UniqueName("TTEXT"), "TEXT2");
}

TEST(Designer, FindsObjectsByNameWithoutRegardToCase)
{
    TTestDesigner d;
    TTestBox* p1 = addBox(d, 0, 0, 10, 10);
    EXPECT_EQ(d.FindObject("P1"), p1);
    EXPECT_EQ(d.FindObject("p1"), p1);
    EXPECT_EQ(d.FindObject("p2"), nullptr);
    EXPECT_EQ(d.FindObject(""), nullptr);

    // The index follows renames and deletions.
    p1->SetName("Alpha");
    EXPECT_EQ(d.FindObject("p1"), nullptr);
    EXPECT_EQ(d.FindObject("ALPHA"), p1);
    d.DestroyObject(p1);
    EXPECT_EQ(d.FindObject("alpha"), nullptr);
    EXPECT_EQ(d.ObjectCount(), 0);
}

TEST(Designer, RefusesUnusableNames)
{
    TTestDesigner d;
    TTestBox* a = addBox(d, 0, 0, 10, 10);
    TTestBox* b = addBox(d, 0, 0, 10, 10);
    const quint64 generation = d.NamesGeneration();
    b->SetName("P1"); // another object carries it
    b->SetName("1x");
    b->SetName("a b");
    b->SetName("");
    EXPECT_EQ(b->Name(), "p2");
    EXPECT_EQ(d.NamesGeneration(), generation);
    ASSERT_EQ(d.Errors.size(), 4);
    EXPECT_EQ(d.Errors.at(0), "''P1'' is not a valid component name");
    // Changing only the case of one's own name is allowed.
    a->SetName("P1");
    EXPECT_EQ(a->Name(), "P1");
    EXPECT_EQ(d.Errors.size(), 4);
}

TEST(Designer, ObjectAtReturnsTheLastObjectInListOrder)
{
    TTestDesigner d;
    TTestBox* below = addBox(d, 0, 0, 50, 50);
    TTestBox* above = addBox(d, 20, 20, 50, 50);
    EXPECT_EQ(d.ObjectAt(30, 30), above);
    EXPECT_EQ(d.ObjectAt(10, 10), below);
    EXPECT_EQ(d.ObjectAt(100, 100), nullptr);
    // Hit testing follows scale and scroll.
    d.SetScale(2.0);
    EXPECT_EQ(d.ObjectAt(130, 130), above);
    d.SetScroll(100, 100);
    EXPECT_EQ(d.ObjectAt(30, 30), above);
    EXPECT_EQ(d.ObjectAt(-90, -90), below);
}

TEST(Designer, DeletionRemovesDependentsWhateverTheListOrder)
{
    for (bool dependentFirst : {false, true}) {
        TTestDesigner d;
        TTestBox* place = nullptr;
        TTestBox* arc = nullptr;
        if (dependentFirst) {
            arc = addBox(d, 0, 0, 1, 1, "L");
            place = addBox(d, 0, 0, 10, 10);
        } else {
            place = addBox(d, 0, 0, 10, 10);
            arc = addBox(d, 0, 0, 1, 1, "L");
        }
        arc->DependsOn = place;
        TTestBox* label = addBox(d, 20, 0, 5, 5, "TText");
        place->Label = label;
        TTestBox* other = addBox(d, 50, 50, 10, 10);
        // A chain: something that depends on the arc goes too.
        TTestBox* second = addBox(d, 0, 0, 1, 1, "L");
        second->DependsOn = arc;

        d.SelectObject(place);
        d.DeleteSelected();
        ASSERT_EQ(d.ObjectCount(), 1) << "dependent first: " << dependentFirst;
        EXPECT_EQ(d.Objects(0), other);
        EXPECT_TRUE(d.Selection().isEmpty());
        EXPECT_TRUE(d.IsChanged());
    }
}

TEST(Designer, DeleteWithNothingSelectedChangesNothing)
{
    TTestDesigner d;
    addBox(d, 0, 0, 10, 10);
    d.DeleteSelected();
    EXPECT_EQ(d.ObjectCount(), 1);
    EXPECT_FALSE(d.IsChanged());
}

TEST(Designer, SnapsToTheScaledGridHalvesToEven)
{
    TTestDesigner d;
    EXPECT_EQ(d.SnapX(104), 100);
    EXPECT_EQ(d.SnapX(105), 100); // 10.5 rounds to 10
    EXPECT_EQ(d.SnapX(115), 120); // 11.5 rounds to 12
    d.SetScale(1.5);
    EXPECT_DOUBLE_EQ(d.SnapX(22), 15);
    EXPECT_DOUBLE_EQ(d.SnapX(23), 30);
    EXPECT_DOUBLE_EQ(d.SnapY(23), 30);
}

TEST(Designer, ConvertsBetweenModelAndScreen)
{
    TTestDesigner d;
    d.SetScale(1.5);
    d.SetScroll(30, 60);
    EXPECT_DOUBLE_EQ(d.ToScreenX(100), 120);
    EXPECT_DOUBLE_EQ(d.ToScreenY(100), 90);
    EXPECT_DOUBLE_EQ(d.ToModelX(120), 100);
    EXPECT_DOUBLE_EQ(d.ToModelY(90), 100);
}

TEST(Designer, NothingIsUpdatedOrPaintedWhileUpdating)
{
    TTestDesigner d;
    int paints = 0;
    QObject::connect(&d, &TQRVDesigner::PaintRequested, [&] { ++paints; });
    TTestBox* b = addBox(d, 0, 0, 10, 10);
    paints = 0;
    d.SetUpdating(true);
    b->SetLeft(50);
    d.SetScale(2);
    EXPECT_EQ(paints, 0);
    EXPECT_TRUE(b->HasState(osDirty));
    d.SetUpdating(false);
    d.Update();
    EXPECT_EQ(paints, 1);
    EXPECT_FALSE(b->HasState(osDirty));
    EXPECT_TRUE(b->GetRegion().contains(QPoint(110, 10)));
}

TEST(Designer, ClickCreatesSelectsAndKeepsTheClass)
{
    TTestDesigner d;
    const TQRVClassInfo cls = boxClass();
    d.SetCreationClass(&cls);
    d.LeftButtonDown(104, 57);
    d.LeftButtonUp(104, 57);
    d.LeftButtonDown(204, 57);
    ASSERT_EQ(d.ObjectCount(), 2);
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{d.Objects(1)});
    EXPECT_EQ(d.CreationClass(), &cls);
    // A right click returns to selection mode.
    int resets = 0;
    QObject::connect(&d, &TQRVDesigner::PaletteResetRequested, [&] { ++resets; });
    d.RightButtonDown(500, 500);
    EXPECT_EQ(d.CreationClass(), nullptr);
    EXPECT_EQ(resets, 1);
}

TEST(Designer, DragMovesTheWholeSelectionByGridSteps)
{
    TTestDesigner d;
    TTestBox* a = addBox(d, 100, 100, 20, 20);
    TTestBox* b = addBox(d, 200, 100, 20, 20);
    d.SetSelection({a, b});
    d.LeftButtonDown(110, 110); // on a, which is selected: the selection stays
    EXPECT_EQ(d.Selection().size(), 2);
    d.MouseMoveTo(117, 110);
    d.MouseMoveTo(124, 110);
    d.LeftButtonUp(124, 110);
    EXPECT_EQ(a->Left(), 110);
    EXPECT_EQ(b->Left(), 210);
    EXPECT_FALSE(a->HasState(osDragging));

    // A click on an unselected object inside the selection selects it alone.
    TTestBox* c = addBox(d, 300, 100, 20, 20);
    d.SetSelection({a, b});
    d.LeftButtonDown(310, 110);
    d.LeftButtonUp(310, 110);
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{c});

    // Scrolling during a drag (the wheel) keeps the objects under the pointer.
    d.SetSelection({a});
    d.LeftButtonDown(110, 110);
    d.MouseMoveTo(124, 110);
    EXPECT_EQ(a->Left(), 120);
    d.SetScroll(40, 0); // the pointer stays where it is on the screen
    d.MouseMoveTo(124, 110);
    EXPECT_EQ(a->Left(), 160);
    d.MouseMoveTo(70, 110); // back over the model point where the drag began
    d.LeftButtonUp(70, 110);
    EXPECT_EQ(a->Left(), 110);
}

TEST(Designer, RubberBandSelectsByBoundingBoxInEitherDirection)
{
    TTestDesigner d;
    TTestBox* a = addBox(d, 10, 10, 20, 20);
    TTestBox* b = addBox(d, 100, 100, 20, 20);
    TTestBox* c = addBox(d, 300, 300, 20, 20);
    d.LeftButtonDown(150, 150);
    d.MouseMoveTo(20, 20);
    d.LeftButtonUp(5, 5);
    EXPECT_EQ(d.Selection(), (QList<TQRVObject*>{a, b}));
    EXPECT_FALSE(d.RubberBandActive());
    Q_UNUSED(c)
}

TEST(Designer, NameServicesFindObjectsAndNameSubObjects)
{
    TTestDesigner d;
    TTestBox* p1 = addBox(d, 0, 0, 10, 10);
    TTestBox* text = addBox(d, 0, 0, 10, 10, "TText");
    EXPECT_EQ(d.GetComponent("P1"), p1);
    EXPECT_EQ(d.GetComponent("fmDesignerForm.Text1"), text);
    EXPECT_EQ(d.GetComponent("nothing"), nullptr);
    EXPECT_EQ(d.GetComponentName(p1), "p1");
    EXPECT_EQ(d.GetComponentName(nullptr), "");
    EXPECT_EQ(d.GetComponentNames(), (QStringList{"p1", "Text1"}));
    EXPECT_EQ(d.GetComponentNames(&TQRVDesigner::staticMetaObject), QStringList{});
    EXPECT_EQ(d.GetObjectName(p1), "p1");
    QObject stray;
    EXPECT_EQ(d.GetObjectName(&stray), "Error");
    auto* place = new TclsNodeDiscrete(&d);
    place->SetNameDirect("p7");
    d.InsertObject(place);
    EXPECT_EQ(d.GetObjectName(place->Cost()), "p7.Cost");
}

#include "designer_test.moc"
