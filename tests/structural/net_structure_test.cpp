// What the structural analysis reads of a net drawn from elements.
#include <gtest/gtest.h>

#include "model/element_builders.h"
#include "structural/invariants.h"

TEST(NetStructure, ReadsPlacesTransitionsAndArcsOfTheNet)
{
    TTestDesigner d;
    auto* p1 = AddNode<TclsNodeDiscrete>(d, 0, 0, "p1");
    auto* b1 = AddNode<TclsNodeContinuous>(d, 100, 0, "b1");
    auto* t1 = AddNode<TclsTransTimed>(d, 50, 0, "t1");
    auto* t2 = AddNode<TclsTransInstant>(d, 50, 80, "t2");
    p1->SetTokensDirect(3);
    b1->SetLevel(2.6);
    AddArcOfKind(d, lkNormal, p1, t1, "2");
    AddArcOfKind(d, lkIngibitor, p1, t2);
    AddArcOfKind(d, lkTest, p1, t2, "3");
    AddArcOfKind(d, lkFlow, t1, b1, "0.5");
    // A weight that follows the marking: its reference value stands for it.
    TclsLink* back = AddArcOfKind(d, lkNormal, t2, p1, "p1_TOKENS + 1");
    back->Weight()->SetValue_Reference(4);
    // An arc without its destination is left out.
    auto* loose = new TclsLinkNormal(&d);
    loose->SetNameDirect(d.UniqueName(loose->GetNamePrefix()));
    d.InsertObject(loose);
    loose->SetSource(p1);

    const TNetStructure s = ReadNetStructure(d);
    ASSERT_EQ(s.Places.size(), 2);
    EXPECT_EQ(s.Places[0].Name, "p1");
    EXPECT_EQ(s.Places[0].Value, 3);
    EXPECT_EQ(s.Places[1].Value, 2.6);
    EXPECT_EQ(s.Transitions, (QStringList{"t1", "t2"}));
    ASSERT_EQ(s.Arcs.size(), 5);

    TQRVInvariants inv;
    ASSERT_TRUE(inv.BuildIncidence(s));
    // Rows b1, p1; columns t1, t2.
    EXPECT_EQ(inv.PIncidence.RowLabels, (QStringList{"", "b1", "p1"}));
    EXPECT_EQ(inv.PIncidence.Get(1, 0), -2);
    EXPECT_EQ(inv.PIncidence.Get(1, 1), -3 + 4); // test arc in, back arc out
    EXPECT_EQ(inv.PIncidence.Get(0, 0), 0.5);
    EXPECT_EQ(inv.PIncidence.Get(0, 1), 0);
    EXPECT_EQ(inv.InitialTokens, (std::vector<double>{3, 3}));
}
