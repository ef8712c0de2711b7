// Net fragments: what a copy takes, pasting into the same net and into
// another with clashing names, cut and paste, and fragments that cannot be read.
#include <gtest/gtest.h>

#include "model/element_builders.h"
#include "model/name_label.h"
#include "model/net_fragment.h"
#include "model/text.h"
#include "netfile/net_file.h"
#include "test_support.h"

namespace {

QString NetText(TQRVDesigner& d)
{
    d.Update();
    return NetToText(d);
}

// p1 -> t1 -> p2, both places with labels, and p2 -> t2.
struct TChain
{
    explicit TChain(TQRVDesigner& d, double left = 100)
    {
        p1 = AddNode<TclsNodeDiscrete>(d, left, 100, "p1");
        p1->SetTokensDirect(2);
        NameLabel::Create(*p1);
        t1 = AddNode<TclsTransTimed>(d, left + 150, 100, "t1");
        p2 = AddNode<TclsNodeDiscrete>(d, left + 300, 100, "p2");
        NameLabel::Create(*p2);
        a1 = AddArc<TclsLinkNormal>(d, p1, t1);
        a2 = AddArc<TclsLinkNormal>(d, t1, p2, "3");
        t2 = AddNode<TclsTransTimed>(d, left + 300, 250, "t2");
        a3 = AddArc<TclsLinkNormal>(d, p2, t2);
        d.SetSelection({});
        d.Edits().Clear();
    }
    TclsNodeDiscrete *p1, *p2;
    TclsTransTimed *t1, *t2;
    TclsLinkNormal *a1, *a2, *a3;
};

QStringList Names(const QList<TQRVObject*>& objects)
{
    QStringList names;
    for (const TQRVObject* o : objects)
        names << o->Name();
    return names;
}

} // namespace

TEST(NetFragment, CopyTakesLabelsAndTheArcsBetweenTheSelectedElementsOnly)
{
    TTestDesigner d;
    TChain net(d);
    // An arc selected without its ends is left out; one with both ends goes along.
    const QList<TQRVObject*> objects = FragmentObjects(d, {net.p1, net.t1, net.a3});
    EXPECT_EQ(Names(objects), (QStringList{"p1", "Textp1", "t1", net.a1->Name()}));

    // The text is a whole net file that reads back to the same elements.
    TTestDesigner other;
    ASSERT_EQ(NetFromText(other, FragmentText(objects)), "");
    EXPECT_EQ(other.ObjectCount(), 4);
    EXPECT_EQ(qobject_cast<TclsLink*>(other.FindObject(net.a1->Name()))->Source(), other.FindObject("p1"));
}

TEST(NetFragment, PastingIntoTheSameNetRenamesEverythingAndOffsetsIt)
{
    TTestDesigner d;
    TChain net(d);
    const QString before = NetText(d);
    const QString text = FragmentText(FragmentObjects(d, {net.p1, net.t1, net.p2}));
    ASSERT_EQ(PasteFragment(d, text, TPastePlace(), "Paste"), "");
    EXPECT_EQ(Names(d.Selection()), (QStringList{"p3", "Textp3", "t3", "p4", "Textp4", "L4", "L5"}));
    auto* p3 = qobject_cast<TclsNodeDiscrete*>(d.FindObject("p3"));
    ASSERT_NE(p3, nullptr);
    EXPECT_EQ(p3->Left(), net.p1->Left() + 20);
    EXPECT_EQ(p3->Top(), net.p1->Top() + 20);
    EXPECT_EQ(p3->Tokens(), 2);
    // Labels follow their places and show the new names; arcs follow their ends.
    auto* label = qobject_cast<TclsText*>(NameLabel::Find(*p3));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Text(), "p3");
    EXPECT_EQ(label->Left(), qobject_cast<TclsText*>(NameLabel::Find(*net.p1))->Left() + 20);
    auto* l5 = qobject_cast<TclsLink*>(d.FindObject("L5"));
    EXPECT_EQ(l5->Source(), d.FindObject("t3"));
    EXPECT_EQ(l5->Dest(), d.FindObject("p4"));
    EXPECT_EQ(l5->Weight()->Formula(), "3");

    // One step.
    EXPECT_EQ(d.Edits().Count(), 1);
    EXPECT_EQ(d.Edits().UndoText(), "Paste");
    const QString after = NetText(d);
    d.Edits().Undo();
    EXPECT_EQ(NetText(d), before);
    d.Edits().Redo();
    EXPECT_EQ(NetText(d), after);
}

TEST(NetFragment, PastingIntoAnotherNetRenamesOnlyWhatClashes)
{
    TTestDesigner source;
    TChain net(source);
    const QString text = FragmentText(FragmentObjects(source, {net.p2, net.t2}));

    // The other net has p1 ... p6, and a text named like p2's label.
    TTestDesigner d;
    for (int i = 1; i <= 6; ++i)
        AddNode<TclsNodeDiscrete>(d, 60 * i, 400, QStringLiteral("p%1").arg(i));
    auto* stray = new TclsText(&d);
    stray->SetNameDirect("Textp7");
    d.InsertObject(stray);
    d.Edits().Clear();
    const QString before = NetText(d);

    ASSERT_EQ(PasteFragment(d, text, TPastePlace(), "Paste"), "");
    // p2 clashes and p7's label name is taken: p8. t2 does not clash and keeps its name.
    EXPECT_EQ(Names(d.Selection()), (QStringList{"p8", "Textp8", "t2", net.a3->Name()}));
    auto* link = qobject_cast<TclsLink*>(d.FindObject(net.a3->Name()));
    EXPECT_EQ(link->Source(), d.FindObject("p8"));
    EXPECT_EQ(link->Dest(), d.FindObject("t2"));
    EXPECT_EQ(qobject_cast<TclsText*>(d.FindObject("Textp8"))->Text(), "p8");
    d.Edits().Undo();
    EXPECT_EQ(NetText(d), before);
}

TEST(NetFragment, CutAndPasteGiveTheNetBack)
{
    TTestDesigner d;
    TChain net(d);
    const QString original = NetText(d);
    const QList<TQRVObject*> all(d.ObjectList().begin(), d.ObjectList().end());
    const QString text = FragmentText(FragmentObjects(d, all));
    d.Edits().Delete(all, "Cut");
    EXPECT_EQ(d.ObjectCount(), 0);
    TPastePlace place;
    place.Offset = 0;
    ASSERT_EQ(PasteFragment(d, text, place, "Paste"), "");
    EXPECT_EQ(NetText(d), original);
    EXPECT_EQ(d.Edits().Count(), 2);
}

TEST(NetFragment, PastedElementsLandAtThePointOnTheGrid)
{
    TTestDesigner d;
    TChain net(d);
    const QString text = FragmentText(FragmentObjects(d, {net.t2}));
    TPastePlace place;
    place.AtPoint = true;
    place.Point = QPointF(523, 87);
    ASSERT_EQ(PasteFragment(d, text, place, "Paste"), "");
    ASSERT_EQ(d.Selection().size(), 1);
    // The top-left corner at the point, in whole grid steps.
    EXPECT_EQ(d.Selection().first()->Left(), 520);
    EXPECT_EQ(d.Selection().first()->Top(), 90);
}

TEST(NetFragment, AFragmentThatCannotBeReadChangesNothing)
{
    TTestDesigner d;
    TChain net(d);
    const QString before = NetText(d);
    for (const QString& text :
         {QString("just some text"), QString("<simulate />\r\n"),
          QString("<object class=\"TclsNoSuchThing\" name=\"x1\" />\r\n<simulate />\r\n"),
          QString("<object class=\"TclsNodeDiscrete\" name=\"p1\" size=\"osHuge\" "
                  "markers=\"0\">\r\n</object>\r\n<simulate />\r\n")}) {
        const QString error = PasteFragment(d, text, TPastePlace(), "Paste");
        EXPECT_TRUE(error.startsWith("The elements cannot be pasted: ")) << error.toStdString();
        EXPECT_EQ(NetText(d), before);
        EXPECT_EQ(d.Edits().Count(), 0);
    }
}
