// The inspector and the class property window on the net's own places and
// transitions.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include "app/main_window.h"
#include "editor/group_properties_window.h"
#include "editor/inspector_test_support.h"
#include "formula/formula.h"
#include "model/element_support.h"
#include "model/places.h"
#include "model/transitions.h"

using InspectorPlacesTest = InspectorFixture;

TEST_F(InspectorPlacesTest, RowsOfPlaces)
{
    auto* p = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    auto* b = CreateAt<TclsNodeContinuous>(designer, 120, 20);
    designer.SelectObject(p);
    EXPECT_EQ(Names(), QStringList({"Cost", "Group", "Name", "ShowText", "Size", "Tokens"}));
    EXPECT_EQ(list->CurrentPath(), "Name");
    EXPECT_EQ(list->Edit()->text(), p->Name());

    // Balance can only be read: not shown.
    designer.SelectObject(b);
    EXPECT_EQ(Names(),
              QStringList({"BoundMax", "BoundMin", "Cost", "Group", "Level", "Name", "ShowText", "Size"}));

    // Together: the common multi-select properties only.
    Select({p, b});
    EXPECT_EQ(Names(), QStringList({"Group", "ShowText", "Size"}));
}

TEST_F(InspectorPlacesTest, TokensOfTwoPlaces)
{
    auto* p1 = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    auto* p2 = CreateAt<TclsNodeDiscrete>(designer, 120, 20);
    p1->SetTokens(1);
    p2->SetTokens(2);
    designer.Edits().SetClean();
    Select({p1, p2});
    EXPECT_EQ(Value("Tokens"), QString());
    Type("Tokens", "3");
    EXPECT_EQ(p1->Tokens(), 3);
    EXPECT_EQ(p2->Tokens(), 3);
    EXPECT_EQ(Value("Tokens"), "3");
    EXPECT_TRUE(designer.IsChanged());
    EXPECT_TRUE(designer.Errors.isEmpty());
}

TEST_F(InspectorPlacesTest, ShowTextSizeAndTheCurrentRow)
{
    auto* p1 = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    auto* p2 = CreateAt<TclsNodeDiscrete>(designer, 120, 20);
    designer.SelectObject(p1);
    // A placed place shows its name label.
    ASSERT_TRUE(p1->ShowText());
    EXPECT_EQ(Value("ShowText"), "True");
    DoubleClickValue("ShowText");
    EXPECT_FALSE(p1->ShowText());
    EXPECT_EQ(Value("ShowText"), "False");
    DoubleClickValue("ShowText");
    EXPECT_TRUE(p1->ShowText());
    EXPECT_EQ(Value("ShowText"), "True");
    EXPECT_EQ(list->CurrentPath(), "ShowText");

    // Writing ShowText makes each place in turn the single selection and
    // adds or removes objects: the rows wait until the write is done.
    Select({p1, p2});
    Type("ShowText", "False");
    EXPECT_FALSE(p1->ShowText());
    EXPECT_FALSE(p2->ShowText());
    ASSERT_EQ(designer.Selection().size(), 1);
    EXPECT_EQ(Value("Name"), designer.Selection().first()->Name());
    EXPECT_EQ(list->CurrentPath(), "ShowText");
    designer.SelectObject(p1);

    Click("Size");
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    QStringList items;
    for (int i = 0; i < list->ValueList()->count(); ++i)
        items << list->ValueList()->item(i)->text();
    items.sort();
    EXPECT_EQ(items, QStringList({"osLarge", "osNormal", "osSmall", "osVeryLarge", "osVerySmall"}));
    QTest::keyClick(list->Edit(), Qt::Key_Escape);

    // The current row stays on Size as the selection moves to the other place.
    designer.SelectObject(p2);
    EXPECT_EQ(list->CurrentPath(), "Size");
    EXPECT_EQ(list->Edit()->text(), "osNormal");
    Type("Size", "osLarge");
    EXPECT_EQ(p2->Size(), Qrv::osLarge);
    EXPECT_EQ(p1->Size(), Qrv::osNormal);
}

TEST_F(InspectorPlacesTest, InvalidCostFormulaAndTakenNameAreRefused)
{
    auto* p1 = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    auto* p2 = CreateAt<TclsNodeDiscrete>(designer, 120, 20);
    p1->SetTokens(4);
    designer.Edits().SetClean();
    designer.SelectObject(p2);
    ClickMark("Cost");
    Type("Cost.Formula", "2*(" + p1->Name() + "_TOKENS");
    EXPECT_EQ(designer.Errors, QStringList({"Bracketing Error"}));
    EXPECT_EQ(p2->Cost()->Formula(), "RefV");
    EXPECT_EQ(list->Edit()->text(), "RefV");
    EXPECT_FALSE(designer.IsChanged());
    Type("Cost.Formula", "2*" + p1->Name() + "_TOKENS");
    EXPECT_EQ(Value("Cost.Value_Actual"), "8");

    const QString name = p2->Name();
    Type("Name", p1->Name().toUpper());
    EXPECT_EQ(designer.Errors.last(), "''" + p1->Name().toUpper() + "'' is not a valid component name");
    EXPECT_EQ(p2->Name(), name);
    EXPECT_EQ(Value("Name"), name);
}

TEST(GroupPropertiesPlacesTest, ClassesOfTheNetAndTheTokensOfDiscretePlaces)
{
    TTestDesigner designer;
    CreateAt<TclsTransTimed>(designer, 200, 20);
    CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    CreateAt<TclsNodeDiscrete>(designer, 120, 20);
    TfmEditObjectsProperties window(designer);
    window.show();
    QStringList classes;
    for (int i = 0; i < window.ClassList()->count(); ++i)
        classes << window.ClassList()->itemText(i);
    // The name labels are text objects of the net too.
    EXPECT_EQ(classes, QStringList({"TclsNodeDiscrete", "TclsText", "TclsTransTimed"}));

    window.ChooseClass(QStringLiteral("TclsNodeDiscrete"));
    ASSERT_EQ(window.PropertyList()->count(), 1);
    EXPECT_TRUE(window.PropertyList()->itemText(0).endsWith(QStringLiteral(".Tokens")));
}

TEST(InspectorInMainWindowTest, EditsMarkTheNetChangedAndObjectsPropertyOpensTheClassWindow)
{
    TTestDesigner designer;
    TfmMain window(designer);
    window.show();
    auto* p = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    designer.Edits().SetClean();
    designer.SelectObject(p);
    TPropListBox* list = window.Inspector()->List();
    const int row = list->FindRow(QStringLiteral("Tokens"));
    ASSERT_GE(row, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->NameRect(row).center());
    list->Edit()->selectAll();
    QTest::keyClicks(list->Edit(), "5");
    QTest::keyClick(list->Edit(), Qt::Key_Return);
    EXPECT_EQ(p->Tokens(), 5);
    EXPECT_TRUE(window.windowTitle().endsWith(QLatin1Char('*')));

    QString opened;
    QTimer::singleShot(0, [&opened] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        opened = w->windowTitle();
        w->close();
    });
    window.Action(QStringLiteral("actObjectProperty"))->trigger();
    EXPECT_EQ(opened, "Edit object properties");
}
