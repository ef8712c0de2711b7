// Nets of places, transitions and arcs through the net file and back.
#include <gtest/gtest.h>

#include "model/element_builders.h"
#include "model/text.h"
#include "netfile/net_file.h"

namespace {

// A small net of every kind of node, arcs with a bend, labels and graphs.
void buildNet(TTestDesigner& d)
{
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 20, 20);
    auto* b1 = AddNode<TclsNodeContinuous>(d, 20, 200);
    auto* t1 = AddNode<TclsTransInstant>(d, 200, 30);
    auto* t2 = AddNode<TclsTransTimed>(d, 200, 120);
    auto* q1 = AddNode<TclsTransContinuous>(d, 200, 200);
    p1->SetTokens(3);
    p1->Cost()->SetFormula("p1_TOKENS");
    b1->SetLevel(2.5);
    t2->SetAngle(90);
    t2->Rate()->SetValue_Reference(0.5);
    auto* label = new TclsText(&d);
    label->SetNameDirect("Textp1");
    label->SetTextDirect("p1");
    label->SetBoundsDirect(60, 20, 0, 0);
    label->RecomputeSize();
    d.InsertObject(label);
    AddArc<TclsLinkNormal>(d, p1, t1, "2");
    TclsLink* back = AddArc<TclsLinkNormal>(d, t2, p1);
    AddArc<TclsLinkIngibitor>(d, AddNode<TclsNodeDiscrete>(d, 20, 120), t2);
    AddArc<TclsLinkContinuous>(d, b1, q1, "1.5");
    AddArc<TclsLinkFlow>(d, q1, b1);
    // A bend on the arc back.
    const QPointF at(back->PointByIndex(1)->RX(), back->PointByIndex(1)->RY());
    d.LeftButtonDown(at.x(), at.y());
    d.MouseMoveTo(at.x() + 40, at.y() + 40);
    d.LeftButtonUp(at.x() + 40, at.y() + 40);
    d.Graphs << "p1 - TOKENS";
    d.MarkAllDirty();
    d.Update();
}

} // namespace

TEST(ElementFiles, ANetReadBackIsWrittenByteForByte)
{
    TTestDesigner d;
    buildNet(d);
    const QString text = NetToText(d);
    EXPECT_TRUE(text.startsWith("<object class=\"TclsNodeDiscrete\" name=\"p1\" "));
    EXPECT_TRUE(text.contains("<object class=\"TclsLinkNormal\" name=\"L2\" "));
    EXPECT_EQ(text.count("<point "), 17);

    TTestDesigner again;
    ASSERT_EQ(NetFromText(again, text), "");
    EXPECT_EQ(again.ObjectCount(), d.ObjectCount());
    EXPECT_EQ(NetToText(again).toStdString(), text.toStdString());

    // The arcs found their ends, and the net works as before.
    auto* p1 = qobject_cast<TclsNodeDiscrete*>(again.FindObject("p1"));
    auto* t1 = qobject_cast<TclsTrans*>(again.FindObject("t1"));
    ASSERT_TRUE(p1 && t1);
    EXPECT_EQ(p1->Cost()->Value_Actual(), 3);
    again.RebuildArcLists();
    EXPECT_EQ(p1->OutArcs.size(), 1);
    EXPECT_EQ(p1->InArcs.size(), 1);
    EXPECT_TRUE(t1->Open());
    t1->Fire();
    EXPECT_EQ(p1->Tokens(), 1);
    EXPECT_TRUE(p1->ShowText());
    auto* bent = qobject_cast<TclsLink*>(again.FindObject("L2"));
    ASSERT_EQ(bent->Points().size(), 5);
    EXPECT_TRUE(bent->PointByIndex(2)->Stationar());
}
