// Transitions: enabling, firing, continuous flow, priorities, arc lists, storage.
#include <gtest/gtest.h>

#include "model/element_builders.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

namespace {

// One input place, one transition, one arc of `kind` between them.
struct TInputCase
{
    TLinkKind Kind;
    bool Continuous; // the place
    double Value;    // tokens or level
    double BoundMin;
    const char* Weight;
    bool Enabled;
};

std::ostream& operator<<(std::ostream& os, const TInputCase& c)
{
    return os << "kind " << int(c.Kind) << (c.Continuous ? " continuous" : " discrete") << " value "
              << c.Value << " bound " << c.BoundMin << " weight " << c.Weight;
}

TclsNode* addPlace(TQRVDesigner& d, bool continuous, double value, double boundMin = 0)
{
    if (continuous) {
        auto* b = AddNode<TclsNodeContinuous>(d, 0, 0);
        b->SetBoundMin(boundMin);
        b->SetLevel(value);
        return b;
    }
    auto* p = AddNode<TclsNodeDiscrete>(d, 0, 0);
    p->SetTokensDirect(value);
    return p;
}

} // namespace

TEST(Transitions, InputArcsEnableByTheirKind)
{
    const TInputCase cases[] = {
        // X - B >= w
        {lkNormal, false, 2, 0, "2", true},
        {lkNormal, false, 1, 0, "2", false},
        {lkNormal, false, 2, 0, "2.9", true}, // an integer weight: 2
        {lkNormal, true, 2.5, 0.5, "2", true},
        {lkNormal, true, 2.4, 0.5, "2", false},
        {lkFlow, true, 1.5, 0, "1.5", true},
        {lkFlow, true, 1.4, 0, "1.5", false},
        {lkFlow, false, 3, 0, "3", true},
        {lkFlow, false, 2, 0, "3", false},
        // X > B, whatever the weight
        {lkContinuous, true, 0.6, 0.5, "100", true},
        {lkContinuous, true, 0.5, 0.5, "1", false},
        {lkContinuous, false, 1, 0, "5", true},
        {lkContinuous, false, 0, 0, "1", false},
        // X < 1
        {lkIngibitor, false, 0, 0, "5", true},
        {lkIngibitor, false, 1, 0, "5", false},
        {lkIngibitorContinuous, true, 0.5, 0, "1", true},
        {lkIngibitorContinuous, true, 1, 0, "1", false},
        {lkIngibitorContinuous, false, 0, 0, "1", true},
        {lkIngibitor, true, 0.99, 0, "1", true},
        // X < w
        {lkIngibitorCounter, false, 2, 0, "3", true},
        {lkIngibitorCounter, false, 3, 0, "3", false},
        {lkIngibitorCounterContinuous, true, 2.4, 0, "2.5", true},
        {lkIngibitorCounterContinuous, true, 2.5, 0, "2.5", false},
        {lkIngibitorCounterContinuous, false, 2, 0, "3", true},
        {lkIngibitorCounter, true, 2.5, 0, "3", true},
        // X >= w
        {lkTest, false, 3, 0, "3", true},
        {lkTest, false, 2, 0, "3", false},
        {lkTestContinuous, true, 2, 0, "2.5", true}, // an integer weight: 2
        {lkTestContinuous, true, 1.9, 0, "2", false},
        {lkTest, true, 3.5, 0, "3", true},
        {lkTestContinuous, false, 2, 0, "2", true},
    };
    for (const TInputCase& c : cases) {
        TTestDesigner d;
        TclsNode* place = addPlace(d, c.Continuous, c.Value, c.BoundMin);
        auto* t = AddNode<TclsTransTimed>(d, 100, 0);
        AddArcOfKind(d, c.Kind, place, t, c.Weight);
        t->RebuildArcLists();
        EXPECT_EQ(t->Open(), c.Enabled) << c;
    }
}

TEST(Transitions, OutputArcsToContinuousPlacesRespectTheUpperBound)
{
    struct TOutputCase
    {
        TLinkKind Kind;
        double Level;
        const char* Weight;
        bool Enabled;
    };
    const TOutputCase cases[] = {
        {lkContinuous, 9.9, "100", true}, {lkContinuous, 10, "1", false}, {lkFlow, 8, "2", true},
        {lkFlow, 8, "2.5", false},        {lkNormal, 10, "5", true},      {lkTest, 10, "5", true},
    };
    for (const TOutputCase& c : cases) {
        TTestDesigner d;
        auto* t = AddNode<TclsTransContinuous>(d, 0, 0);
        auto* b = AddNode<TclsNodeContinuous>(d, 100, 0);
        b->SetBoundMax(10);
        b->SetLevel(c.Level);
        AddArcOfKind(d, c.Kind, t, b, c.Weight);
        t->RebuildArcLists();
        EXPECT_EQ(t->Open(), c.Enabled) << int(c.Kind) << " level " << c.Level;
    }
    // A discrete destination imposes nothing.
    TTestDesigner d;
    auto* t = AddNode<TclsTransTimed>(d, 0, 0);
    auto* p = AddNode<TclsNodeDiscrete>(d, 100, 0);
    p->SetTokens(1e6);
    AddArc<TclsLinkContinuous>(d, t, p);
    t->RebuildArcLists();
    EXPECT_TRUE(t->Open());
}

TEST(Transitions, TheGuardDecidesFirst)
{
    TTestDesigner d;
    auto* t = AddNode<TclsTransInstant>(d, 0, 0);
    t->RebuildArcLists();
    EXPECT_TRUE(t->Open()); // no arcs, guard 1
    t->Guard()->SetFormula("0");
    EXPECT_FALSE(t->Open());
    auto* p = AddNode<TclsNodeDiscrete>(d, 100, 0);
    p->SetTokens(10);
    AddArc<TclsLinkNormal>(d, p, t);
    t->RebuildArcLists();
    EXPECT_FALSE(t->Open());
    t->Guard()->SetValue_Reference(0.1);
    t->Guard()->SetFormula("RefV");
    EXPECT_TRUE(t->Open());
}

TEST(Transitions, ConstantWeightsFollowChangesOfTheirFormula)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 0, 0);
    p->SetTokens(2);
    auto* t = AddNode<TclsTransTimed>(d, 100, 0);
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p, t, "2");
    t->RebuildArcLists();
    EXPECT_TRUE(t->Open());
    arc->Weight()->SetFormula("3");
    EXPECT_FALSE(t->Open());
    arc->Weight()->SetFormula("RefV");
    arc->Weight()->SetValue_Reference(2);
    EXPECT_TRUE(t->Open());
    arc->Weight()->SetValue_Reference(2.9); // an integer weight: 2
    EXPECT_TRUE(t->Open());
    arc->Weight()->SetValue_Reference(-4); // never negative
    EXPECT_EQ(arc->WeightValue(), 0);
    arc->Weight()->SetFormula("p1_TOKENS");
    EXPECT_EQ(arc->WeightValue(), 2);
    EXPECT_TRUE(t->Open());
}

TEST(Transitions, FiringMovesTokensAndLevelsByArcKind)
{
    TTestDesigner d;
    auto* t = AddNode<TclsTransTimed>(d, 100, 100);
    auto* in = AddNode<TclsNodeDiscrete>(d, 0, 0);
    auto* inLevel = AddNode<TclsNodeContinuous>(d, 0, 50);
    auto* tested = AddNode<TclsNodeDiscrete>(d, 0, 100);
    auto* out = AddNode<TclsNodeDiscrete>(d, 200, 0);
    auto* outLevel = AddNode<TclsNodeContinuous>(d, 200, 50);
    auto* flowFromDiscrete = AddNode<TclsNodeDiscrete>(d, 0, 150);
    in->SetTokens(5);
    inLevel->SetLevel(4);
    tested->SetTokens(3);
    outLevel->SetBoundMax(10);
    outLevel->SetLevel(9);
    flowFromDiscrete->SetTokens(4);
    AddArc<TclsLinkNormal>(d, in, t, "3.5"); // an integer weight: 3
    AddArc<TclsLinkFlow>(d, inLevel, t, "1.5");
    AddArc<TclsLinkTest>(d, tested, t, "2");
    AddArc<TclsLinkFlow>(d, flowFromDiscrete, t, "1");
    AddArc<TclsLinkNormal>(d, t, out, "2");
    AddArc<TclsLinkFlow>(d, t, outLevel, "0.5");
    t->RebuildArcLists();
    t->Fire();
    EXPECT_EQ(t->FireCount, 1);
    EXPECT_EQ(in->Tokens(), 2);
    EXPECT_EQ(inLevel->Level(), 2.5);
    EXPECT_EQ(tested->Tokens(), 3);
    EXPECT_EQ(flowFromDiscrete->Tokens(), 4); // a flow arc moves levels only
    EXPECT_EQ(out->Tokens(), 2);
    EXPECT_EQ(outLevel->Level(), 9.5);

    // Not enabled: nothing happens.
    t->Fire();
    EXPECT_EQ(t->FireCount, 1);
    EXPECT_EQ(out->Tokens(), 2);
}

TEST(Transitions, PlacesAtOmegaAreNeverChanged)
{
    TTestDesigner d;
    auto* in = AddNode<TclsNodeDiscrete>(d, 0, 0);
    auto* t = AddNode<TclsTransInstant>(d, 100, 0);
    auto* out = AddNode<TclsNodeDiscrete>(d, 200, 0);
    in->SetTokens(OmegaValue);
    out->SetTokens(OmegaValue + 1);
    AddArc<TclsLinkNormal>(d, in, t, "2");
    AddArc<TclsLinkNormal>(d, t, out, "2");
    t->RebuildArcLists();
    t->Fire();
    EXPECT_EQ(t->FireCount, 1);
    EXPECT_EQ(in->Tokens(), OmegaValue);
    EXPECT_EQ(out->Tokens(), OmegaValue + 1);
}

TEST(Transitions, FiringInTwoHalves)
{
    TTestDesigner d;
    auto* in = AddNode<TclsNodeDiscrete>(d, 0, 0);
    auto* t = AddNode<TclsTransTimed>(d, 100, 0);
    auto* out = AddNode<TclsNodeDiscrete>(d, 200, 0);
    in->SetTokens(1);
    AddArc<TclsLinkNormal>(d, in, t);
    AddArc<TclsLinkNormal>(d, t, out);
    t->RebuildArcLists();
    t->FireInputs();
    EXPECT_EQ(in->Tokens(), 0);
    EXPECT_EQ(out->Tokens(), 0);
    EXPECT_EQ(t->FireCount, 1);
    t->FireInputs(); // not enabled any more
    EXPECT_EQ(t->FireCount, 1);
    t->FireOutputs();
    t->FireOutputs(); // no test
    EXPECT_EQ(out->Tokens(), 2);
    t->RebuildArcLists();
    EXPECT_EQ(t->FireCount, 0);
}

TEST(Transitions, ContinuousFlowAndBalance)
{
    TTestDesigner d;
    auto* source = AddNode<TclsNodeContinuous>(d, 0, 0);
    auto* q = AddNode<TclsTransContinuous>(d, 100, 0);
    auto* sink = AddNode<TclsNodeContinuous>(d, 200, 0);
    auto* feeder = AddNode<TclsTransContinuous>(d, 100, 100);
    source->SetLevel(10);
    sink->SetBoundMax(1);
    q->Expectance()->SetFormula("2");
    AddArc<TclsLinkContinuous>(d, source, q, "1.5");
    AddArc<TclsLinkContinuous>(d, q, sink, "3");
    AddArc<TclsLinkContinuous>(d, feeder, source, "0.5");
    d.RebuildArcLists();

    // Feeder in at 0.5 x 1, q out at 1.5 x 2.
    EXPECT_EQ(source->Balance(), 0.5 - 3);
    EXPECT_EQ(sink->Balance(), 6);
    q->FlowOut(0.5);
    EXPECT_EQ(source->Level(), 8.5);
    q->FlowIn(0.5);
    EXPECT_EQ(sink->Level(), 1); // ChangeLevel clamps at BoundMax
    EXPECT_EQ(q->FireCount, 0);
    // The sink is full: q stops, and the balances follow.
    EXPECT_FALSE(q->Open());
    EXPECT_EQ(source->Balance(), 0.5);
    EXPECT_EQ(sink->Balance(), 0);
}

TEST(Transitions, ComparePriorityOrdersByClassThenPriority)
{
    TTestDesigner d;
    auto* a = AddNode<TclsTransTimed>(d, 0, 0);
    auto* b = AddNode<TclsTransTimed>(d, 0, 0);
    auto* i = AddNode<TclsTransInstant>(d, 0, 0);
    b->Priority()->SetFormula("2");
    EXPECT_EQ(TclsTrans::ComparePriority(a, b), 1);
    EXPECT_EQ(TclsTrans::ComparePriority(b, a), 0);
    EXPECT_EQ(TclsTrans::ComparePriority(a, a), 2);
    EXPECT_EQ(TclsTrans::ComparePriority(i, a), 0);
    EXPECT_EQ(TclsTrans::ComparePriority(a, i), 1);
}

TEST(Transitions, ArcListsHoldConnectedArcsInNetOrder)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 0, 0);
    auto* t = AddNode<TclsTransTimed>(d, 100, 0);
    auto* u = AddNode<TclsTransTimed>(d, 100, 100);
    TclsLink* a1 = AddArc<TclsLinkNormal>(d, p, t);
    TclsLink* a2 = AddArc<TclsLinkTest>(d, p, u);
    TclsLink* a3 = AddArc<TclsLinkNormal>(d, t, p);
    TclsLink* a4 = AddArc<TclsLinkIngibitor>(d, p, t);
    a2->SetGroup("B");
    // An arc with one end only takes no part.
    auto* loose = new TclsLinkNormal(&d);
    d.InsertObject(loose);
    loose->SetSource(p);

    d.RebuildArcLists();
    EXPECT_EQ(p->OutArcs, (QList<TclsLink*>{a1, a2, a4}));
    EXPECT_EQ(p->InArcs, QList<TclsLink*>{a3});
    EXPECT_EQ(t->InArcs, (QList<TclsLink*>{a1, a4}));
    EXPECT_EQ(t->OutArcs, QList<TclsLink*>{a3});

    // The one-pass rebuild gives what each node's own rebuild gives, filter included.
    auto groupA = [](const TclsLink* arc, void*) { return arc->Group() != "B"; };
    d.RebuildArcLists(groupA, nullptr);
    const QList<TclsLink*> pOut = p->OutArcs, uIn = u->InArcs;
    p->RebuildArcLists(groupA, nullptr);
    u->RebuildArcLists(groupA, nullptr);
    EXPECT_EQ(pOut, p->OutArcs);
    EXPECT_EQ(p->OutArcs, (QList<TclsLink*>{a1, a4}));
    EXPECT_EQ(uIn, u->InArcs);
    EXPECT_TRUE(u->InArcs.isEmpty());

    // A destroyed or redirected arc leaves the lists at once.
    d.RebuildArcLists();
    d.DestroyObject(a4);
    EXPECT_EQ(t->InArcs, QList<TclsLink*>{a1});
    a1->SetDest(u);
    EXPECT_TRUE(t->InArcs.isEmpty());
    EXPECT_EQ(p->OutArcs, (QList<TclsLink*>{a1, a2}));
}

TEST(TransitionStorage, EachKindRoundTripsItsFormulas)
{
    TTestDesigner d;
    auto* i = AddNode<TclsTransInstant>(d, 10, 20);
    i->SetAngle(45);
    i->WeightSpeed()->SetFormula("50");
    i->SetSize(Qrv::osSmall);
    const QString instant = SavedText(*i);
    EXPECT_EQ(instant, "<object name=\"t1\" left=\"10\" top=\"20\" width=\"20\" height=\"5\" group=\"\" "
                       "size=\"osSmall\" angle=\"45\">\r\n"
                       "  <guard formula=\"RefV\" Value_Reference=\"1\" Value_Actual=\"1\" />\r\n"
                       "  <priority formula=\"RefV\" Value_Reference=\"1\" Value_Actual=\"1\" />\r\n"
                       "  <speed formula=\"50\" Value_Reference=\"100\" Value_Actual=\"50\" />\r\n"
                       "</object>\r\n");
    auto i2 = LoadedElement<TclsTransInstant>(d, instant);
    EXPECT_EQ(i2->Angle(), 45);
    EXPECT_EQ(i2->WeightSpeed()->Formula(), "50");
    EXPECT_EQ(SavedText(*i2), instant);

    auto* t = AddNode<TclsTransTimed>(d, 0, 0);
    t->Rate()->SetFormula("0.25");
    EXPECT_EQ(t->VariableValue("RATE"), 0.25);
    const QString timed = SavedText(*t);
    EXPECT_TRUE(timed.contains("<rate formula=\"0.25\""));
    EXPECT_EQ(SavedText(*LoadedElement<TclsTransTimed>(d, timed)), timed);

    auto* q = AddNode<TclsTransContinuous>(d, 0, 0);
    q->Dispersion()->SetFormula("3");
    const QString cont = SavedText(*q);
    EXPECT_TRUE(cont.contains("<expectance formula=\"RefV\" Value_Reference=\"1\" Value_Actual=\"1\" />\r\n"
                              "  <dispersion formula=\"3\""));
    EXPECT_EQ(SavedText(*LoadedElement<TclsTransContinuous>(d, cont)), cont);
}

TEST(TransitionStorage, OptionalFormulasKeepTheirDefaultsAndRequiredOnesStopReading)
{
    TTestDesigner d;
    auto t = LoadedElement<TclsTransTimed>(d, "<object name=\"t1\" size=\"osLarge\" />");
    EXPECT_EQ(t->Size(), Qrv::osLarge);
    EXPECT_EQ(t->Width(), 40);
    EXPECT_EQ(t->Rate()->Value_Actual(), 1);
    EXPECT_EQ(t->Guard()->Kind(), fkBoolean);
    EXPECT_THROW(LoadedElement<TclsTransTimed>(d, "<object name=\"t1\" />"), TNetFileError);
    EXPECT_THROW(LoadedElement<TclsTransInstant>(d, "<object name=\"t1\" size=\"osNormal\" />"),
                 TNetFileError);
    EXPECT_THROW(LoadedElement<TclsTransTimed>(d, "<object name=\"t1\" size=\"osNormal\" angle=\"x\" />"),
                 TNetFileError);
}
