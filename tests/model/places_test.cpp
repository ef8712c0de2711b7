// Places: token and level rules, variables, name labels, file storage.
#include <gtest/gtest.h>

#include "model/class_registry.h"
#include "model/element_builders.h"
#include "model/text.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

TEST(Places, TokensRoundHalvesToEvenAndRefuseNegatives)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 0, 0);
    p->SetTokens(2.5);
    EXPECT_EQ(p->Tokens(), 2);
    p->SetTokens(3.5);
    EXPECT_EQ(p->Tokens(), 4);
    p->SetTokens(-1);
    EXPECT_EQ(p->Tokens(), 4);
    p->SetTokens(0.4);
    EXPECT_EQ(p->Tokens(), 0);
    p->SetTokens(std::nan(""));
    EXPECT_EQ(p->Tokens(), 0);
}

TEST(Places, LevelIsCappedByBoundMaxAndChangeLevelClamps)
{
    TTestDesigner d;
    auto* b = AddNode<TclsNodeContinuous>(d, 0, 0);
    EXPECT_EQ(b->BoundMin(), 0);
    EXPECT_EQ(b->BoundMax(), 10000);
    b->SetLevel(12000);
    EXPECT_EQ(b->Level(), 10000);
    b->SetBoundMax(500);
    EXPECT_EQ(b->Level(), 500);
    b->SetLevel(-3); // nothing but ChangeLevel keeps the level above BoundMin
    EXPECT_EQ(b->Level(), -3);

    b->SetBoundMax(10000);
    b->SetLevel(3);
    b->ChangeLevel(-5);
    EXPECT_EQ(b->Level(), 0);
    b->SetLevel(9998);
    b->ChangeLevel(5);
    EXPECT_EQ(b->Level(), 10000);
    // Each bound only holds in the direction of the change.
    b->SetBoundMin(20);
    b->SetLevel(10);
    b->ChangeLevel(1);
    EXPECT_EQ(b->Level(), 11);
}

TEST(Places, PublishTheirVariablesByNameWithoutRegardToCase)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 0, 0);
    p->SetTokens(7);
    p->Cost()->SetValue_Reference(2.5);
    ASSERT_EQ(p->VariableCount(), 2);
    EXPECT_EQ(p->VariableName(0), "TOKENS");
    EXPECT_EQ(p->VariableName(1), "COST");
    EXPECT_EQ(p->VariableValue("tokens"), 7);
    EXPECT_EQ(p->VariableValue("Cost"), 2.5);
    EXPECT_EQ(p->VariableValue("LEVEL"), 0);

    auto* b = AddNode<TclsNodeContinuous>(d, 0, 0);
    b->SetLevel(4.5);
    b->SetBoundMin(1);
    ASSERT_EQ(b->VariableCount(), 4);
    EXPECT_EQ(b->VariableName(0), "LEVEL");
    EXPECT_EQ(b->VariableName(3), "COST");
    EXPECT_EQ(b->VariableValue("level"), 4.5);
    EXPECT_EQ(b->VariableValue("BOUNDMIN"), 1);
    EXPECT_EQ(b->VariableValue("boundmax"), 10000);
    EXPECT_EQ(b->VariableValue("TOKENS"), 0);
    EXPECT_EQ(p->GetNamePrefix(), "p");
    EXPECT_EQ(b->GetNamePrefix(), "b");
    EXPECT_EQ(b->GetTypeCaption(), "Position");
}

TEST(Places, SizeSetsTheDiameterAndTheEllipticRegion)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 100, 100);
    EXPECT_EQ(p->Width(), 30);
    p->SetSize(Qrv::osVeryLarge);
    EXPECT_EQ(p->Width(), 50);
    EXPECT_EQ(p->Height(), 50);
    EXPECT_TRUE(p->GetRegion().contains(QPoint(125, 125)));
    EXPECT_TRUE(p->GetRegion().contains(QPoint(102, 125)));
    EXPECT_FALSE(p->GetRegion().contains(QPoint(103, 103))); // outside the circle, inside the box
    p->SetSize(Qrv::osVerySmall);
    EXPECT_EQ(p->Width(), 10);
    EXPECT_FALSE(p->GetRegion().contains(QPoint(125, 125)));
}

class PlaceLabels : public ::testing::Test
{
protected:
    void SetUp() override
    {
        d.SetCreationClass(TQRVClassRegistry::Instance().Find<TclsNodeDiscrete>());
        d.LeftButtonDown(104, 57);
        d.LeftButtonUp(104, 57);
        d.SetCreationClass(nullptr);
        place = qobject_cast<TclsNodeDiscrete*>(d.FindObject("p1"));
    }
    TTestDesigner d;
    TclsNodeDiscrete* place = nullptr;
};

TEST_F(PlaceLabels, AClickPlacesACentredPlaceWithItsLabelAtItsRight)
{
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->Left() + place->Width() / 2, 100);
    EXPECT_EQ(place->Top() + place->Height() / 2, 60);
    auto* label = qobject_cast<TclsText*>(d.FindObject("Textp1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Text(), "p1");
    EXPECT_EQ(label->Left(), place->Left() + place->Width() + 10);
    EXPECT_EQ(label->Top(), place->Top());
    EXPECT_TRUE(place->ShowText());
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{place});
    EXPECT_EQ(d.ObjectCount(), 2);
}

TEST_F(PlaceLabels, ShowTextRemovesAndRecreatesTheLabel)
{
    place->SetShowText(false);
    EXPECT_FALSE(place->ShowText());
    EXPECT_EQ(d.FindObject("Textp1"), nullptr);
    EXPECT_EQ(d.Selection(), QList<TQRVObject*>{place});
    place->SetShowText(true);
    EXPECT_TRUE(place->ShowText());
    EXPECT_EQ(d.ObjectCount(), 2);
    // Showing it again does not make a second one.
    place->SetShowText(true);
    EXPECT_EQ(d.ObjectCount(), 2);

    // Deleting the label object makes ShowText false.
    d.SelectObject(d.FindObject("Textp1"));
    d.DeleteSelected();
    EXPECT_FALSE(place->ShowText());
    EXPECT_EQ(d.ObjectCount(), 1);
}

TEST_F(PlaceLabels, TheLabelFollowsMovesAndGoesWithThePlace)
{
    TQRVObject* label = place->Label();
    const double labelLeft = label->Left();
    place->MoveBy(20, 0);
    EXPECT_EQ(label->Left(), labelLeft + 20);
    // A selected label moves on its own.
    d.SetSelection({place, label});
    place->MoveBy(20, 0);
    EXPECT_EQ(label->Left(), labelLeft + 20);

    // A drag restores from the saved positions each time.
    EXPECT_EQ(label->Left() - place->Left(), 20);
    d.SelectObject(place);
    const double x0 = place->ScreenX() + 15, y0 = place->ScreenY() + 15;
    const double placeLeft = place->Left();
    d.LeftButtonDown(x0, y0);
    d.MouseMoveTo(x0 + 22, y0);
    d.MouseMoveTo(x0 + 44, y0);
    d.LeftButtonUp(x0 + 44, y0);
    EXPECT_EQ(place->Left(), placeLeft + 40);
    EXPECT_EQ(label->Left() - place->Left(), 20);

    // Renaming takes the label along while it shows the old name.
    place->SetName("q");
    EXPECT_TRUE(place->ShowText());
    EXPECT_EQ(d.FindObject("Textp1"), nullptr);
    EXPECT_EQ(d.FindObject("Textq"), label);
    EXPECT_EQ(qobject_cast<TclsText*>(label)->Text(), "q");

    d.SelectObject(place);
    d.DeleteSelected();
    EXPECT_EQ(d.ObjectCount(), 0); // the label goes with its place
}

TEST(PlaceStorage, DiscretePlacesRoundTripWithTheirNameTwice)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 85, 45);
    p->SetSize(Qrv::osLarge);
    p->SetTokens(12);
    p->SetGroup("g");
    p->Cost()->SetFormula("2.5");
    const QString text = SavedText(*p);
    EXPECT_EQ(text, "<object name=\"p1\" left=\"85\" top=\"45\" width=\"40\" height=\"40\" group=\"g\" "
                    "name=\"p1\" size=\"osLarge\" markers=\"12\">\r\n"
                    "  <cost formula=\"2.5\" Value_Reference=\"0\" Value_Actual=\"2.5\" />\r\n"
                    "</object>\r\n");
    auto back = LoadedElement<TclsNodeDiscrete>(d, text);
    EXPECT_EQ(back->Tokens(), 12);
    EXPECT_EQ(back->Size(), Qrv::osLarge);
    EXPECT_EQ(back->Group(), "g");
    EXPECT_EQ(back->Cost()->Formula(), "2.5");
    EXPECT_EQ(SavedText(*back), text);
}

TEST(PlaceStorage, CountsBeyondTheIntegerRangeReadBack)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 0, 0);
    for (double tokens : {3e9, 1e15, 4e20}) {
        p->SetTokens(tokens);
        const QString text = SavedText(*p);
        std::unique_ptr<TclsNodeDiscrete> back;
        ASSERT_NO_THROW(back = LoadedElement<TclsNodeDiscrete>(d, text)) << text.toStdString();
        EXPECT_EQ(back->Tokens(), tokens);
        EXPECT_EQ(SavedText(*back), text);
    }
    // Within the integer range only whole numbers written as such are read.
    const QString cost = "<cost formula=\"RefV\" Value_Reference=\"0\" Value_Actual=\"0\" />";
    for (const char* bad : {"2.5", "1E3", "3000000000.5"})
        EXPECT_THROW(LoadedElement<TclsNodeDiscrete>(
                         d, QStringLiteral("<object name=\"p1\" size=\"osNormal\" markers=\"") + bad + "\">" +
                                cost + "</object>"),
                     TNetFileError)
            << bad;
}

TEST(PlaceStorage, ContinuousPlacesRoundTripAndReadValuesAsTheyStand)
{
    TTestDesigner d;
    const QString text = "<object name=\"b1\" left=\"10\" top=\"20\" width=\"30\" height=\"30\" group=\"\" "
                         "name=\"b1\" size=\"OSNORMAL\" boundmin=\"1.5\" boundmax=\"100\" level=\"250\">\r\n"
                         "  <cost formula=\"RefV\" Value_Reference=\"3\" Value_Actual=\"3\" />\r\n"
                         "</object>\r\n";
    auto b = LoadedElement<TclsNodeContinuous>(d, text);
    EXPECT_EQ(b->BoundMin(), 1.5);
    EXPECT_EQ(b->BoundMax(), 100);
    EXPECT_EQ(b->Level(), 250); // stored as read, without the cap
    EXPECT_EQ(b->Cost()->Value_Actual(), 3);
    QString again = text;
    again.replace("OSNORMAL", "osNormal");
    EXPECT_EQ(SavedText(*b), again);
}

TEST(PlaceStorage, RequiredPartsMissingOrMalformedStopReading)
{
    TTestDesigner d;
    const QString cost = "<cost formula=\"RefV\" Value_Reference=\"0\" Value_Actual=\"0\" />";
    const QStringList bad = {
        "<object size=\"osNormal\" markers=\"1\">" + cost + "</object>",
        "<object name=\"p1\" markers=\"1\">" + cost + "</object>",
        "<object name=\"p1\" size=\"huge\" markers=\"1\">" + cost + "</object>",
        "<object name=\"p1\" size=\"osNormal\">" + cost + "</object>",
        "<object name=\"p1\" size=\"osNormal\" markers=\"x\">" + cost + "</object>",
        "<object name=\"p1\" size=\"osNormal\" markers=\"1\" />",
        "<object name=\"p1\" left=\"a\" size=\"osNormal\" markers=\"1\">" + cost + "</object>",
    };
    for (const QString& text : bad)
        EXPECT_THROW(LoadedElement<TclsNodeDiscrete>(d, text), TNetFileError) << text.toStdString();
    auto p = LoadedElement<TclsNodeDiscrete>(
        d, "<object name=\"p1\" left=\"12,5\" size=\"osNormal\" markers=\"3\">" + cost + "</object>");
    EXPECT_EQ(p->Left(), 12.5);
}
