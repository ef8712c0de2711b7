// The inspector and the class property window on the net's own places and
// transitions.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/main_window.h"
#include "editor/group_properties_window.h"
#include "editor/inspector_test_support.h"
#include "formula/formula.h"
#include "model/element_support.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"
#include "netfile/net_file.h"

using InspectorPlacesTest = InspectorFixture;

TEST_F(InspectorPlacesTest, TypingReplacesTheValueAndEnterOrEscDecide)
{
    auto* p1 = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    auto* p2 = CreateAt<TclsNodeDiscrete>(designer, 120, 20);
    p1->SetTokens(2);
    designer.Edits().SetClean();
    designer.SelectObject(p1);
    // A click on the row puts the whole value under the cursor: typing replaces it.
    Click("Tokens");
    EXPECT_EQ(list->Edit()->selectedText(), "2");
    QTest::keyClicks(list->Edit(), "5");
    QTest::keyClick(list->Edit(), Qt::Key_Return);
    EXPECT_EQ(p1->Tokens(), 5);
    // Esc puts back what the place holds.
    QTest::keyClicks(list->Edit(), "7");
    EXPECT_EQ(list->Edit()->text(), "7");
    QTest::keyClick(list->Edit(), Qt::Key_Escape);
    EXPECT_EQ(list->Edit()->text(), "5");
    EXPECT_EQ(list->Edit()->selectedText(), "5");
    EXPECT_EQ(p1->Tokens(), 5);
    // Coming back to the value with the mouse selects it all again.
    inspector->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(inspector.get()));
    inspector->ObjectList()->setFocus();
    ASSERT_FALSE(list->Edit()->hasFocus());
    QTest::mouseClick(list->Edit(), Qt::LeftButton, {}, list->Edit()->rect().center());
    EXPECT_TRUE(list->Edit()->hasFocus());
    EXPECT_EQ(list->Edit()->selectedText(), "5");
    // A further click places the cursor, to change part of the value.
    QTest::mouseClick(list->Edit(), Qt::LeftButton, {}, list->Edit()->rect().center());
    EXPECT_EQ(list->Edit()->selectedText(), "");

    // Counts that are negative or not whole are refused, and the user hears why.
    designer.Edits().SetClean();
    Type("Tokens", "-1");
    Type("Tokens", "2.5");
    EXPECT_EQ(designer.Errors,
              QStringList({"''-1'' is not a number of tokens: use a whole number, 0 or more",
                           "''2.5'' is not a number of tokens: use a whole number, 0 or more"}));
    EXPECT_EQ(p1->Tokens(), 5);
    EXPECT_EQ(list->Edit()->text(), "5");
    EXPECT_FALSE(designer.IsChanged());
    // For two places: one message, neither place changed.
    designer.Errors.clear();
    Select({p1, p2});
    Type("Tokens", "-3");
    EXPECT_EQ(designer.Errors.size(), 1);
    EXPECT_EQ(p1->Tokens(), 5);
    EXPECT_EQ(p2->Tokens(), 0);
}

TEST_F(InspectorPlacesTest, FormulaRowsShowTheirTextAndValue)
{
    auto* p1 = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    auto* t1 = CreateAt<TclsTransTimed>(designer, 120, 20);
    p1->SetTokens(2);
    designer.SelectObject(t1);
    EXPECT_EQ(Value("Rate"), "1 (RefV)");
    t1->Rate()->SetValue_Reference(1.5);
    EXPECT_EQ(Value("Rate"), "1.5 (RefV)");
    ClickMark("Rate");
    Type("Rate.Formula", p1->Name().toUpper() + "_TOKENS*2");
    EXPECT_EQ(Value("Rate"), p1->Name().toUpper() + "_TOKENS*2 = 4");
    Type("Rate.Formula", "3");
    EXPECT_EQ(Value("Rate"), "3");
}

TEST_F(InspectorPlacesTest, ARenamedPlaceTakesTheLabelThatShowsItsNameAlong)
{
    auto* p1 = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    auto* t1 = CreateAt<TclsTransTimed>(designer, 120, 20);
    ASSERT_TRUE(p1->ShowText());
    designer.SelectObject(p1);
    Type("Name", "inlet");
    EXPECT_EQ(p1->Name(), "inlet");
    EXPECT_EQ(designer.FindObject("Textp1"), nullptr);
    auto* label = qobject_cast<TclsText*>(designer.FindObject("Textinlet"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Text(), "inlet");
    EXPECT_TRUE(p1->ShowText());
    EXPECT_TRUE(designer.Errors.isEmpty());

    // Saved and read again, label and name stay in step.
    QTemporaryDir dir;
    const QString file = dir.filePath("renamed.pn2");
    ASSERT_EQ(SaveNetFile(designer, file), "");
    TTestDesigner other;
    ASSERT_EQ(LoadNetFile(other, file), "");
    auto* read = qobject_cast<TclsNodeDiscrete*>(other.FindObject("inlet"));
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->ShowText());
    EXPECT_EQ(qobject_cast<TclsText*>(other.FindObject("Textinlet"))->Text(), "inlet");
    // Renamed once more there, the label follows again.
    read->SetName("outlet");
    EXPECT_EQ(qobject_cast<TclsText*>(other.FindObject("Textoutlet"))->Text(), "outlet");

    // A label the user retyped is left alone; the transition then shows no label of its own.
    auto* tLabel = qobject_cast<TclsText*>(designer.FindObject("Textt1"));
    ASSERT_NE(tLabel, nullptr);
    tLabel->SetText("fires on demand");
    designer.SelectObject(t1);
    Type("Name", "fire");
    EXPECT_EQ(t1->Name(), "fire");
    EXPECT_EQ(designer.FindObject("Textt1"), tLabel);
    EXPECT_EQ(tLabel->Text(), "fires on demand");
    EXPECT_FALSE(t1->ShowText());
}

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
    // From very small to very large, as a user reads sizes.
    EXPECT_EQ(items, QStringList({"osVerySmall", "osSmall", "osNormal", "osLarge", "osVeryLarge"}));
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
    EXPECT_EQ(designer.Errors.last(), "a net element is already called ''" + p1->Name() + "''");
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

TEST(GroupPropertiesPlacesTest, ApplyWritesEveryElementOfTheClassInOneStep)
{
    TTestDesigner designer;
    auto* p1 = CreateAt<TclsNodeDiscrete>(designer, 20, 20);
    auto* p2 = CreateAt<TclsNodeDiscrete>(designer, 120, 20);
    CreateAt<TclsTransTimed>(designer, 200, 20);
    p2->SetTokensDirect(4);
    designer.Edits().Clear();
    TfmEditObjectsProperties window(designer);
    window.show();
    window.ChooseClass(QStringLiteral("TclsNodeDiscrete"));
    EXPECT_EQ(window.Grid()->item(1, 1)->text(), "4");
    auto* apply = window.findChild<QPushButton*>(QStringLiteral("btApply"));
    ASSERT_NE(apply, nullptr);

    window.ValueEdit()->setText(QStringLiteral("3"));
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_EQ(p1->Tokens(), 3);
    EXPECT_EQ(p2->Tokens(), 3);
    EXPECT_EQ(window.Grid()->item(1, 1)->text(), "3");
    EXPECT_EQ(designer.Edits().Count(), 1);
    EXPECT_EQ(designer.Edits().UndoText(), "Change Tokens");
    designer.Edits().Undo();
    EXPECT_EQ(p1->Tokens(), 0);
    EXPECT_EQ(p2->Tokens(), 4);

    // A refused value says why and changes nothing; so does text that is no number.
    for (const char* text : {"-2", "1.5", "many"}) {
        designer.Errors.clear();
        window.ValueEdit()->setText(QString::fromLatin1(text));
        QTest::keyClick(window.ValueEdit(), Qt::Key_Return);
        EXPECT_EQ(designer.Errors.size(), 1) << text;
        EXPECT_EQ(p1->Tokens(), 0) << text;
        EXPECT_EQ(p2->Tokens(), 4) << text;
    }
    EXPECT_EQ(designer.Edits().Count(), 1);
    EXPECT_TRUE(designer.Edits().CanRedo());
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
    EXPECT_TRUE(window.windowTitle().contains("* - Quorvane"));

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
