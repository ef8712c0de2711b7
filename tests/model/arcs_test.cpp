// Arcs and designer links: connection rules, placing and editing with the
// mouse through the container, geometry, deletion with their ends, storage.
#include <gtest/gtest.h>

#include "model/class_registry.h"
#include "model/designer_link.h"
#include "model/element_builders.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

namespace {

// One object of each kind an arc can meet.
struct TEnds
{
    explicit TEnds(TQRVDesigner& d)
        : P(AddNode<TclsNodeDiscrete>(d, 0, 0)), B(AddNode<TclsNodeContinuous>(d, 0, 100)),
          T(AddNode<TclsTransInstant>(d, 100, 0)), TT(AddNode<TclsTransTimed>(d, 100, 100)),
          Q(AddNode<TclsTransContinuous>(d, 100, 200))
    {
    }
    QList<TQRVObject*> All() const { return {P, B, T, TT, Q}; }
    TclsNodeDiscrete* P;
    TclsNodeContinuous* B;
    TclsTransInstant* T;
    TclsTransTimed* TT;
    TclsTransContinuous* Q;
};

TclsLink* newArc(TQRVDesigner& d, TLinkKind kind)
{
    TclsLink* arc = AddArcOfKind(d, kind, nullptr, nullptr);
    return arc;
}

} // namespace

TEST(ArcRules, EveryKindTellsWhereItMayStart)
{
    TTestDesigner d;
    TEnds e(d);
    const QString wp = "Wrong position", wt = "Wrong transition", wpt = "Wrong position type",
                  st = "Can't start from transition";
    // Columns: discrete place, continuous place, immediate, timed, continuous transition.
    const QList<std::pair<TLinkKind, QStringList>> rows = {
        {lkNormal, {"", wp, "", "", wt}},
        {lkIngibitor, {"", wpt, st, st, st}},
        {lkIngibitorCounter, {"", wpt, st, st, st}},
        {lkTest, {"", wpt, st, st, st}},
        {lkTestContinuous, {wpt, "", st, st, st}},
        {lkIngibitorContinuous, {wpt, "", st, st, st}},
        {lkIngibitorCounterContinuous, {wpt, "", st, st, st}},
        {lkContinuous, {wp, "", wt, wt, ""}},
        {lkFlow, {wp, "", "", "", wt}},
    };
    for (const auto& [kind, expected] : rows) {
        TclsLink* arc = newArc(d, kind);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(arc->TestStart(e.All().at(i)), expected.at(i))
                << "kind " << int(kind) << " column " << i;
    }
}

TEST(ArcRules, EveryKindTellsWhereItMayEnd)
{
    TTestDesigner d;
    TEnds e(d);
    const QString co = "Can not end at continuous object", mt = "Must end at transition",
                  dob = "Can not end at discrete object";
    const QList<std::pair<TLinkKind, QStringList>> rows = {
        {lkNormal, {"", co, "", "", co}},
        {lkIngibitor, {mt, mt, "", "", ""}},
        {lkIngibitorCounter, {mt, mt, "", "", ""}},
        {lkTest, {mt, mt, "", "", ""}},
        {lkTestContinuous, {mt, mt, "", "", ""}},
        {lkIngibitorContinuous, {mt, mt, "", "", ""}},
        {lkIngibitorCounterContinuous, {mt, mt, "", "", ""}},
        {lkContinuous, {dob, "", dob, dob, ""}},
        {lkFlow, {"Can not end at discrete position", "", "", "", "Can not end at continuous transition"}},
    };
    for (const auto& [kind, expected] : rows) {
        for (int i = 0; i < 5; ++i) {
            // A source of the other sort, so that only the kind's own rule speaks.
            TclsLink* arc = newArc(d, kind);
            arc->SetSource(i < 2 ? static_cast<TQRVObject*>(e.TT) : e.P);
            EXPECT_EQ(arc->TestEnd(e.All().at(i)), expected.at(i)) << "kind " << int(kind) << " column " << i;
        }
    }
    // The common check starts a new line after the kind's message.
    TclsLink* arc = newArc(d, lkNormal);
    arc->SetSource(e.P);
    EXPECT_EQ(arc->TestEnd(e.P), "\rCan't link position to position");
    EXPECT_EQ(arc->TestEnd(e.B), "Can not end at continuous object\rCan't link position to position");
    arc = newArc(d, lkTest);
    arc->SetSource(e.T);
    EXPECT_EQ(arc->TestEnd(e.TT), "\rCan't link transition to transition");
}

TEST(ArcRules, EndsMustBeDistinctPlacesOrTransitions)
{
    TTestDesigner d;
    TEnds e(d);
    TclsLink* arc = newArc(d, lkNormal);
    arc->SetSource(e.P);
    arc->SetDest(e.P);
    EXPECT_EQ(arc->Dest(), nullptr);
    auto* other = AddNode<TclsNodeDiscrete>(d, 0, 0);
    arc->SetDest(other);
    EXPECT_EQ(arc->Dest(), other);
    EXPECT_EQ(arc->Weight()->Kind(), fkInteger);
    EXPECT_EQ(newArc(d, lkFlow)->Weight()->Kind(), fkReal);
    EXPECT_EQ(newArc(d, lkTestContinuous)->Weight()->Kind(), fkInteger);
    EXPECT_EQ(arc->Weight()->Value_Actual(), 1);
    EXPECT_EQ(arc->GetNamePrefix(), "L");
}

class ArcPlacing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        p1 = AddNode<TclsNodeDiscrete>(d, 40, 40);  // centre (55, 55)
        t1 = AddNode<TclsTransTimed>(d, 205, 55);   // centre (220, 60)
        p2 = AddNode<TclsNodeDiscrete>(d, 40, 240); // centre (55, 255)
        QObject::connect(&d, &TQRVDesigner::PaletteResetRequested, [this] { ++paletteResets; });
    }
    void choose(const QString& className)
    {
        d.SetCreationClass(TQRVClassRegistry::Instance().Find(className));
    }
    void click(double x, double y)
    {
        d.LeftButtonDown(x, y);
        d.LeftButtonUp(x, y);
    }
    TclsLink* onlyArc() const
    {
        TclsLink* found = nullptr;
        for (TQRVObject* o : d.ObjectList())
            if (auto* a = qobject_cast<TclsLink*>(o))
                found = a;
        return found;
    }
    TTestDesigner d;
    TclsNodeDiscrete* p1 = nullptr;
    TclsTransTimed* t1 = nullptr;
    TclsNodeDiscrete* p2 = nullptr;
    int paletteResets = 0;
};

TEST_F(ArcPlacing, ClicksChooseTheSourceBendsAndTheDestination)
{
    choose("TclsLinkNormal");
    click(300, 300); // empty space: silently nothing
    EXPECT_EQ(onlyArc(), nullptr);
    EXPECT_TRUE(d.Errors.isEmpty());

    click(55, 55);
    TclsLink* arc = onlyArc();
    ASSERT_NE(arc, nullptr);
    EXPECT_EQ(d.Capture(), arc);
    EXPECT_TRUE(arc->HasState(osPlacing));
    EXPECT_EQ(arc->Source(), p1);
    ASSERT_EQ(arc->Points().size(), 3);

    d.MouseMoveTo(118, 153);
    EXPECT_EQ(arc->LastPoint()->X(), 120);
    EXPECT_EQ(arc->LastPoint()->Y(), 150);
    EXPECT_TRUE(d.Selection().isEmpty());
    click(118, 153); // a bend
    ASSERT_EQ(arc->Points().size(), 5);

    d.MouseMoveTo(218, 58); // over t1: selected as a hint
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{t1});
    click(218, 58);
    EXPECT_EQ(arc->Dest(), t1);
    EXPECT_FALSE(arc->HasState(osPlacing));
    EXPECT_EQ(d.Capture(), nullptr);

    const auto& pts = arc->Points();
    ASSERT_EQ(pts.size(), 5);
    EXPECT_EQ(QList<bool>({pts[0]->Stationar(), pts[1]->Stationar(), pts[2]->Stationar(), pts[3]->Stationar(),
                           pts[4]->Stationar()}),
              QList<bool>({true, false, true, false, true}));
    EXPECT_EQ(QPointF(pts[2]->X(), pts[2]->Y()), QPointF(120, 150));
    // The ends sit on the boundaries of the place and the bar.
    EXPECT_NEAR(QLineF(QPointF(55, 55), QPointF(pts[0]->X(), pts[0]->Y())).length(), 15, 1.5);
    EXPECT_NEAR(pts[4]->Y(), 64.5, 1);
    EXPECT_NEAR(pts[4]->X(), 215, 1.5);
    // Handles sit midway; the arc is hit at its inner points only.
    EXPECT_EQ(pts[1]->X(), (pts[0]->X() + pts[2]->X()) / 2);
    EXPECT_EQ(d.ObjectAt(120, 150), arc);
    EXPECT_EQ(d.ObjectAt(pts[3]->RX() + 4, pts[3]->RY() - 4), arc);
    const double length = 1 + QLineF(pts[0]->X(), pts[0]->Y(), 120, 150).length() +
                          QLineF(120, 150, pts[4]->X(), pts[4]->Y()).length();
    EXPECT_NEAR(arc->Length(), length, 1e-9);

    // The palette keeps the class; a right click returns to the pointer.
    d.RightButtonDown(400, 400);
    EXPECT_EQ(paletteResets, 1);
    EXPECT_EQ(onlyArc(), arc);
}

TEST_F(ArcPlacing, ARefusedEndIsReportedAndPlacingGoesOn)
{
    choose("TclsLinkNormal");
    click(55, 55);
    TclsLink* arc = onlyArc();
    click(55, 255);
    EXPECT_EQ(d.Errors, QStringList{"\rCan't link position to position"});
    EXPECT_EQ(arc->Dest(), nullptr);
    EXPECT_EQ(d.Capture(), arc);
    EXPECT_EQ(arc->Points().size(), 3);

    // A right click cancels the unfinished arc.
    d.RightButtonDown(55, 255);
    EXPECT_EQ(onlyArc(), nullptr);
    EXPECT_EQ(d.Capture(), nullptr);
    EXPECT_EQ(d.CreationClass(), nullptr);
    EXPECT_EQ(d.ObjectCount(), 3);
}

TEST_F(ArcPlacing, ARefusedStartIsReportedAndTheArcDiscarded)
{
    choose("TclsLinkIngibitor");
    click(220, 60);
    EXPECT_EQ(d.Errors, QStringList{"Can't start from transition"});
    EXPECT_EQ(onlyArc(), nullptr);
    EXPECT_EQ(d.Capture(), nullptr);
    choose("TclsLinkContinuous");
    click(55, 55);
    EXPECT_EQ(d.Errors.last(), "Wrong position");
    EXPECT_EQ(onlyArc(), nullptr);
}

TEST_F(ArcPlacing, DraggingTheHandleBendsAndARightClickStraightens)
{
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p1, t1);
    ASSERT_EQ(arc->Points().size(), 3);
    TPivotPoint* handle = arc->PointByIndex(1);
    const QPointF at(handle->RX(), handle->RY());

    // Pressed and released in place: still straight.
    d.LeftButtonDown(at.x(), at.y());
    EXPECT_EQ(d.Capture(), arc);
    d.LeftButtonUp(at.x(), at.y());
    EXPECT_EQ(arc->Points().size(), 3);
    EXPECT_EQ(d.Capture(), nullptr);

    // Dragged elsewhere: a bend with a handle on each side.
    d.LeftButtonDown(at.x(), at.y());
    d.MouseMoveTo(at.x() + 7, at.y() + 40);
    d.MouseMoveTo(at.x() + 31, at.y() + 80);
    d.LeftButtonUp(at.x() + 31, at.y() + 80);
    ASSERT_EQ(arc->Points().size(), 5);
    TPivotPoint* bend = arc->PointByIndex(2);
    EXPECT_EQ(bend, handle);
    EXPECT_TRUE(bend->Stationar());
    EXPECT_EQ(bend->Y(), d.SnapY(at.y() + 80));
    EXPECT_FALSE(arc->PointByIndex(1)->Stationar());
    EXPECT_FALSE(arc->PointByIndex(3)->Stationar());
    EXPECT_EQ(d.ObjectAt(bend->RX(), bend->RY()), arc);

    // A right click on the bend removes it.
    d.RightButtonDown(bend->RX(), bend->RY());
    ASSERT_EQ(arc->Points().size(), 3);
    EXPECT_FALSE(arc->PointByIndex(1)->Stationar());
    d.Update();
    EXPECT_NEAR(arc->PointByIndex(1)->Y(), 57.5, 1.5); // back in the middle
    // A right click on a handle changes nothing.
    d.RightButtonDown(arc->PointByIndex(1)->RX(), arc->PointByIndex(1)->RY());
    EXPECT_EQ(arc->Points().size(), 3);
}

TEST_F(ArcPlacing, ARightClickWhileAPointIsDraggedKeepsThePoints)
{
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p1, t1);
    TPivotPoint* handle = arc->PointByIndex(1);
    QPointF at(handle->RX(), handle->RY());
    d.LeftButtonDown(at.x(), at.y());
    d.MouseMoveTo(at.x() + 20, at.y() + 60);
    d.LeftButtonUp(at.x() + 20, at.y() + 60);
    ASSERT_EQ(arc->Points().size(), 5);
    TPivotPoint* bend = arc->PointByIndex(2);

    // The handle before the bend is pulled onto it, and the right button
    // pressed there while the left one is still held.
    handle = arc->PointByIndex(1);
    at = QPointF(handle->RX(), handle->RY());
    d.LeftButtonDown(at.x(), at.y());
    ASSERT_EQ(arc->ActivePoint, handle);
    d.MouseMoveTo(bend->RX(), bend->RY());
    d.RightButtonDown(bend->RX(), bend->RY());
    EXPECT_EQ(arc->Points().size(), 5);
    d.MouseMoveTo(bend->RX() + 30, bend->RY());
    d.LeftButtonUp(bend->RX() + 30, bend->RY());
    EXPECT_EQ(arc->ActivePoint, nullptr);
    EXPECT_EQ(arc->Points().size(), 7);
}

TEST_F(ArcPlacing, DraggingAHandleSidewaysAlongOneAxisBendsToo)
{
    // A vertical arc whose handle is pulled straight to the side.
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p1, AddNode<TclsTransTimed>(d, 40, 150));
    TPivotPoint* handle = arc->PointByIndex(1);
    const QPointF at(handle->RX(), handle->RY());
    d.LeftButtonDown(at.x(), at.y());
    d.MouseMoveTo(at.x() + 50, at.y());
    d.LeftButtonUp(at.x() + 50, at.y());
    EXPECT_EQ(arc->Points().size(), 5);
}

TEST_F(ArcPlacing, DeletingAnEndRemovesItsArcsWhateverTheListOrder)
{
    // An arc before its ends in the list, and one after.
    auto* early = new TclsLinkTest(&d);
    d.InsertObject(early);
    auto* p3 = AddNode<TclsNodeDiscrete>(d, 300, 300);
    early->SetSource(p3);
    early->SetDest(t1);
    TclsLink* late = AddArc<TclsLinkNormal>(d, t1, p3);
    TclsLink* other = AddArc<TclsLinkNormal>(d, p1, t1);
    Q_UNUSED(late)
    d.SelectObject(p3);
    d.DeleteSelected();
    EXPECT_EQ(d.IndexOf(early), -1);
    EXPECT_EQ(onlyArc(), other);
    EXPECT_EQ(t1->AttachedArcs, QList<TclsLink*>{other});

    d.SelectObject(t1);
    d.DeleteSelected();
    EXPECT_EQ(onlyArc(), nullptr);
    EXPECT_TRUE(p1->AttachedArcs.isEmpty());
}

TEST_F(ArcPlacing, AnArcFollowsItsEndsAndMovesWithTheSelection)
{
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p1, t1);
    t1->MoveBy(0, 100);
    d.Update();
    EXPECT_NEAR(arc->LastPoint()->Y(), t1->Top(), 1); // now entering the bar from above

    // Dragged together with its ends, every point moves by the same steps.
    d.SetSelection({p1, t1, arc});
    const QPointF bendBefore(arc->PointByIndex(1)->X(), arc->PointByIndex(1)->Y());
    d.LeftButtonDown(55, 55);
    d.MouseMoveTo(55 + 24, 55 + 17);
    d.LeftButtonUp(55 + 24, 55 + 17);
    EXPECT_EQ(p1->Left(), 60);
    EXPECT_NEAR(arc->PointByIndex(1)->X(), bendBefore.x() + 20, 1e-9);
    EXPECT_NEAR(arc->PointByIndex(1)->Y(), bendBefore.y() + 20, 1e-9);
}

namespace {

// An arc read from a file element into the net, its ends resolved.
template <class T> T* loadInto(TQRVDesigner& d, const QString& text)
{
    T* o = LoadedElement<T>(d, text).release();
    d.InsertObject(o);
    o->Loaded();
    d.Update();
    return o;
}

} // namespace

TEST_F(ArcPlacing, ArcsRoundTripWithTheirNameTwiceAndEveryPoint)
{
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p1, t1, "2");
    const QString text = SavedText(*arc);
    EXPECT_TRUE(text.startsWith("<object name=\"L1\" left=\""));
    EXPECT_TRUE(text.contains("group=\"\" name=\"L1\" src=\"p1\" dst=\"t1\">\r\n"
                              "  <weight formula=\"2\" Value_Reference=\"1\" Value_Actual=\"2\" />\r\n"
                              "  <point x=\""));
    EXPECT_EQ(text.count("<point "), 3);
    EXPECT_TRUE(text.contains("big=\"0\""));

    d.DestroyObject(arc);
    TclsLink* back = loadInto<TclsLinkNormal>(d, text);
    EXPECT_EQ(back->Source(), p1);
    EXPECT_EQ(back->Dest(), t1);
    EXPECT_EQ(back->WeightValue(), 2);
    EXPECT_EQ(SavedText(*back), text);
}

TEST_F(ArcPlacing, LoadedPointsAreSnappedAndRequiredPartsChecked)
{
    const QString weight = "<weight formula=\"RefV\" Value_Reference=\"1\" Value_Actual=\"1\" />";
    TclsLink* arc = loadInto<TclsLinkNormal>(d, "<object name=\"L7\" src=\"p1\" dst=\"t1\">" + weight +
                                                    "<point x=\"0\" y=\"0\" big=\"1\" />"
                                                    "<point x=\"0\" y=\"0\" big=\"FALSE\" />"
                                                    "<point x=\"123\" y=\"147\" big=\"TRUE\" />"
                                                    "<point x=\"0\" y=\"0\" big=\"0\" />"
                                                    "<point x=\"0\" y=\"0\" big=\"1\" />"
                                                    "</object>");
    ASSERT_EQ(arc->Points().size(), 5);
    EXPECT_EQ(QPointF(arc->PointByIndex(2)->X(), arc->PointByIndex(2)->Y()), QPointF(120, 150));
    EXPECT_TRUE(arc->PointByIndex(2)->Stationar());

    const QStringList bad = {
        "<object src=\"p1\" dst=\"t1\">" + weight + "</object>",
        "<object name=\"L8\" dst=\"t1\">" + weight + "</object>",
        "<object name=\"L8\" src=\"p1\">" + weight + "</object>",
        "<object name=\"L8\" src=\"p1\" dst=\"t1\" />",
        "<object name=\"L8\" src=\"p1\" dst=\"t1\">" + weight + "<point x=\"1\" y=\"1\" /></object>",
        "<object name=\"L8\" src=\"p1\" dst=\"t1\">" + weight + "<point y=\"1\" big=\"1\" /></object>",
    };
    for (const QString& text : bad)
        EXPECT_THROW(loadInto<TclsLinkNormal>(d, text), TNetFileError) << text.toStdString();
}

TEST_F(ArcPlacing, AnArcWhoseEndsAreMissingTakesNoPartAndKeepsTheirNames)
{
    const QString text = "<object name=\"L5\" src=\"p1\" dst=\"gone\">"
                         "<weight formula=\"RefV\" Value_Reference=\"1\" Value_Actual=\"1\" />"
                         "<point x=\"0\" y=\"0\" big=\"1\" /><point x=\"0\" y=\"0\" big=\"0\" />"
                         "<point x=\"100\" y=\"100\" big=\"1\" /></object>";
    TclsLink* arc = loadInto<TclsLinkNormal>(d, text);
    EXPECT_EQ(arc->Source(), p1);
    EXPECT_EQ(arc->Dest(), nullptr);
    EXPECT_TRUE(arc->GetRegion().isEmpty());
    d.RebuildArcLists();
    EXPECT_TRUE(p1->OutArcs.isEmpty());
    QImage picture(300, 300, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    arc->Draw(painter, dmNormal);
    painter.end();
    EXPECT_EQ(CountPixels(picture, picture.rect(), [](QRgb c) { return (c & 0xFFFFFF) != 0xFFFFFF; }), 0);
    EXPECT_TRUE(SavedText(*arc).contains("src=\"p1\" dst=\"gone\""));
    // A source that is no place or transition stays empty as well.
    auto* text2 = new TclsLinkNormal(&d);
    text2->SourceName = "L5";
    text2->DestName = "t1";
    d.InsertObject(text2);
    text2->Loaded();
    EXPECT_EQ(text2->Source(), nullptr);
    EXPECT_EQ(text2->Dest(), t1);
}

// ---- designer links ----------------------------------------------------------------

namespace {

// A filled shape with a rectangular region.
class TTestShape : public TQRVDesign
{
    Q_OBJECT
public:
    using TQRVDesign::TQRVDesign;
    void UpdateRegion() override
    {
        ExcludeState(osDirty);
        m_region = QRegion(
            QRect(qRound(ScreenX()), qRound(ScreenY()), qRound(ScreenWidth()), qRound(ScreenHeight())));
    }
};

TTestShape* addShape(TQRVDesigner& d, double left, double top)
{
    auto* s = new TTestShape(&d);
    s->SetNameDirect(d.UniqueName("ellipse"));
    s->SetBounds(left, top, 100, 50);
    d.InsertObject(s);
    d.Update();
    return s;
}

} // namespace

TEST(DesignerLinks, ArePlacedBetweenShapesLikeArcs)
{
    TTestDesigner d;
    TTestShape* a = addShape(d, 0, 0);     // centre (50, 25)
    TTestShape* b = addShape(d, 300, 200); // centre (350, 225)
    auto* place = AddNode<TclsNodeDiscrete>(d, 200, 0);
    d.SetCreationClass(TQRVClassRegistry::Instance().Find<TclsDesignerLink>());
    d.LeftButtonDown(215, 15); // a place is no shape: discarded without a message
    EXPECT_EQ(d.ObjectCount(), 3);
    d.LeftButtonDown(50, 25);
    d.LeftButtonUp(50, 25);
    ASSERT_EQ(d.ObjectCount(), 4);
    auto* link = qobject_cast<TclsDesignerLink*>(d.Objects(3));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Source(), a);
    d.MouseMoveTo(50, 200);
    d.LeftButtonDown(50, 200); // a bend
    d.LeftButtonUp(50, 200);
    d.LeftButtonDown(350, 225);
    EXPECT_EQ(link->Target(), b);
    EXPECT_FALSE(link->HasState(osPlacing));
    EXPECT_EQ(link->Points().size(), 5);
    EXPECT_NEAR(link->LastPoint()->X(), 300, 1); // on b's left edge
    EXPECT_TRUE(d.Errors.isEmpty());
    Q_UNUSED(place)

    // Stored like an arc, with "src" and "dst".
    TqibXMLNode node("object");
    link->SaveToXml(node);
    EXPECT_EQ(node.GetAttribute("src")->Value, "ellipse1");
    EXPECT_EQ(node.GetAttribute("dst")->Value, "ellipse2");
    EXPECT_NE(node.GetNamedNode("weight"), nullptr);

    // It follows a shape that moved, and goes when a shape goes.
    b->SetBounds(400, 200, 100, 50);
    d.Update();
    QImage image(600, 400, QImage::Format_RGB32);
    QPainter painter(&image);
    d.DrawObjects(painter);
    EXPECT_NEAR(link->LastPoint()->X(), 400, 1);
    d.SelectObject(a);
    d.DeleteSelected();
    EXPECT_EQ(d.IndexOf(link), -1);
}

#include "arcs_test.moc"
