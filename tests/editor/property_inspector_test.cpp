// The inspector over element classes of the tests' own: which rows appear,
// how each kind of property shows and takes its value.
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QMenu>

#include "app/main_window.h"
#include "editor/inspector_test_objects.h"
#include "editor/inspector_test_support.h"
#include "model/designer.h"

using InspectorTest = InspectorFixture;

TEST_F(InspectorTest, OneObjectShowsItsEditablePropertiesSortedWithNameCurrent)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    designer.SelectObject(e);
    // objectName, Tag and the read-only Computed are not shown; the
    // read-only sub-objects are.
    EXPECT_EQ(Names(), QStringList({"Brush", "Caption", "Color", "Count", "Font", "Group", "Lines", "Name",
                                    "Pen", "Ratio", "Size", "Styles", "Visible", "Weight"}));
    EXPECT_EQ(list->CurrentPath(), "Name");
    EXPECT_EQ(list->Edit()->text(), "e1");
    EXPECT_EQ(inspector->SelectionStrip()->text(), "e1");
}

TEST_F(InspectorTest, SeveralObjectsShowOnlySharedMultiSelectProperties)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    TTestOther* o = Add<TTestOther>(QStringLiteral("o1"));
    Select({e, o});
    // Caption differs in type, Name and Weight are not multi-select.
    EXPECT_EQ(Names(), QStringList({"Count", "Group", "Ratio", "Size"}));
    EXPECT_EQ(list->CurrentPath(), QString());
    EXPECT_EQ(inspector->SelectionStrip()->text(), QString());

    designer.ClearSelection();
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_FALSE(list->Edit()->isVisible());
}

TEST_F(InspectorTest, DifferingValuesShowBlankAndTypingWritesAll)
{
    TTestElement* a = Add<TTestElement>(QStringLiteral("a"));
    TTestElement* b = Add<TTestElement>(QStringLiteral("b"));
    a->SetCount(1);
    b->SetCount(2);
    a->SetRatio(0.25);
    b->SetRatio(0.25);
    Select({a, b});
    EXPECT_EQ(Value("Count"), QString());
    EXPECT_EQ(Value("Ratio"), "0.25");

    int paints = 0;
    QObject::connect(&designer, &TQRVDesigner::PaintRequested, [&paints] { ++paints; });
    EXPECT_FALSE(designer.IsChanged());
    Type("Count", "3");
    EXPECT_EQ(a->Count(), 3);
    EXPECT_EQ(b->Count(), 3);
    EXPECT_EQ(Value("Count"), "3");
    EXPECT_TRUE(designer.IsChanged());
    EXPECT_GT(paints, 0);
    EXPECT_TRUE(designer.Errors.isEmpty());
}

TEST_F(InspectorTest, NumbersAreCheckedBeforeAnythingIsWritten)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    TTestOther* o = Add<TTestOther>(QStringLiteral("o1"));
    e->SetCount(7);
    designer.SelectObject(e);

    Type("Count", "99999999999");
    EXPECT_EQ(designer.Errors.value(0), "Value must be between -2147483648 and 2147483647");
    Type("Count", "seven");
    EXPECT_EQ(designer.Errors.value(1), "'seven' is not a valid integer value");
    EXPECT_EQ(e->Count(), 7);
    EXPECT_EQ(list->Edit()->text(), "7");
    EXPECT_FALSE(designer.IsChanged());

    Type("Ratio", "1e400");
    Type("Ratio", "nan");
    Type("Ratio", "inf");
    Type("Ratio", "1.5x");
    EXPECT_EQ(designer.Errors.mid(2), QStringList({"'1e400' is not a valid floating point value",
                                                   "'nan' is not a valid floating point value",
                                                   "'inf' is not a valid floating point value",
                                                   "'1.5x' is not a valid floating point value"}));
    EXPECT_EQ(e->Ratio(), 0.5);
    Type("Ratio", " 0.1 ");
    EXPECT_EQ(e->Ratio(), 0.1);
    EXPECT_EQ(Value("Ratio"), "0.1");

    designer.SelectObject(o);
    Type("Small", "40000");
    EXPECT_EQ(designer.Errors.last(), "Value must be between -32768 and 32767");
    Type("Small", "-32768");
    EXPECT_EQ(o->Small(), -32768);
}

TEST_F(InspectorTest, EnumerationsAndBooleans)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    designer.SelectObject(e);
    EXPECT_EQ(Value("Visible"), "False");
    DoubleClickValue("Visible");
    EXPECT_TRUE(e->Visible());
    EXPECT_EQ(Value("Visible"), "True");
    DoubleClickValue("Visible");
    EXPECT_FALSE(e->Visible());

    // Typed identifiers, in any case; unknown ones are refused.
    Type("Size", "oslarge");
    EXPECT_EQ(e->Size(), Qrv::osLarge);
    EXPECT_EQ(Value("Size"), "osLarge");
    Type("Size", "osHuge");
    EXPECT_EQ(designer.Errors, QStringList({"Invalid property value"}));
    EXPECT_EQ(e->Size(), Qrv::osLarge);
    EXPECT_EQ(list->Edit()->text(), "osLarge");

    // Double-clicking steps to the next value and wraps round.
    DoubleClickValue("Size");
    EXPECT_EQ(e->Size(), Qrv::osVeryLarge);
    DoubleClickValue("Size");
    EXPECT_EQ(e->Size(), Qrv::osVerySmall);
}

TEST_F(InspectorTest, DropDownOffersTheIdentifiersAndKeysGoToIt)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    designer.SelectObject(e);
    Click("Size");
    ASSERT_TRUE(list->Button()->isVisible());
    EXPECT_FALSE(list->Button()->Ellipsis());
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    ASSERT_TRUE(list->DroppedDown());
    QStringList items;
    for (int i = 0; i < list->ValueList()->count(); ++i)
        items << list->ValueList()->item(i)->text();
    EXPECT_EQ(items, QStringList({"osVerySmall", "osSmall", "osNormal", "osLarge", "osVeryLarge"}));
    EXPECT_EQ(list->ValueList()->currentItem()->text(), "osNormal");

    // A second press closes it without writing.
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    EXPECT_FALSE(list->DroppedDown());
    EXPECT_EQ(e->Size(), Qrv::osNormal);

    // Up and Down move in the list, not between rows; Enter writes.
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    QTest::keyClick(list->Edit(), Qt::Key_Down);
    EXPECT_EQ(list->CurrentPath(), "Size");
    QTest::keyClick(list->Edit(), Qt::Key_Return);
    EXPECT_FALSE(list->DroppedDown());
    EXPECT_EQ(e->Size(), Qrv::osLarge);

    // Esc closes without writing; a click on an entry writes it.
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    QTest::keyClick(list->Edit(), Qt::Key_Up);
    QTest::keyClick(list->Edit(), Qt::Key_Escape);
    EXPECT_EQ(e->Size(), Qrv::osLarge);
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    QListWidgetItem* item = list->ValueList()->item(0);
    QTest::mouseClick(list->ValueList()->viewport(), Qt::LeftButton, {},
                      list->ValueList()->visualItemRect(item).center());
    EXPECT_EQ(e->Size(), Qrv::osVerySmall);
    EXPECT_TRUE(designer.IsChanged());
}

TEST_F(InspectorTest, SetsExpandIntoOneBooleanRowPerElement)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    e->SetStyles(Qrv::fsBold | Qrv::fsUnderline);
    designer.SelectObject(e);
    EXPECT_EQ(Value("Styles"), "[fsBold,fsUnderline]");
    EXPECT_TRUE(list->IsExpandable(RowOf("Styles")));
    EXPECT_FALSE(list->IsExpanded(RowOf("Styles")));

    ClickMark("Styles");
    EXPECT_EQ(Names().mid(RowOf("Styles"), 5), QStringList({"Styles", "Styles.fsBold", "Styles.fsItalic",
                                                            "Styles.fsStrikeOut", "Styles.fsUnderline"}));
    EXPECT_EQ(list->RowLevel(RowOf("Styles.fsBold")), 1);
    EXPECT_EQ(Value("Styles.fsItalic"), "False");
    DoubleClickValue("Styles.fsItalic");
    Type("Styles.fsBold", "false");
    EXPECT_EQ(e->Styles(), Qrv::fsItalic | Qrv::fsUnderline);
    EXPECT_EQ(Value("Styles"), "[fsItalic,fsUnderline]");

    // The set's own text cannot be typed.
    Click("Styles");
    EXPECT_TRUE(list->Edit()->isReadOnly());
    ClickMark("Styles");
    EXPECT_EQ(list->FindRow("Styles.fsBold"), -1);
    EXPECT_EQ(list->CurrentPath(), "Styles");
}

TEST_F(InspectorTest, SubObjectsExpandIntoTheirProperties)
{
    TTestElement* a = Add<TTestElement>(QStringLiteral("a"));
    TTestElement* b = Add<TTestElement>(QStringLiteral("b"));
    designer.SelectObject(a);
    EXPECT_EQ(Value("Pen"), "(TQRVPen)");
    EXPECT_EQ(Value("Font"), "(TQRVFont)");
    Click("Pen");
    QMenu* menu = inspector->LocalMenu();
    const QPoint at = list->NameRect(RowOf("Pen")).center();
    QContextMenuEvent ev(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list->viewport(), &ev);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(inspector->MenuAction("actExpand")->isEnabled());
    EXPECT_FALSE(inspector->MenuAction("actCollapse")->isEnabled());
    inspector->MenuAction("actExpand")->trigger();
    menu->hide();
    EXPECT_EQ(Names().mid(RowOf("Pen"), 3), QStringList({"Pen", "Pen.Color", "Pen.Style"}));

    Type("Pen.Style", "psDot");
    EXPECT_EQ(a->Pen()->Style(), Qrv::psDot);

    // Expansion and the current row survive a change of selection.
    designer.SelectObject(b);
    EXPECT_EQ(list->CurrentPath(), "Pen.Style");
    EXPECT_EQ(Value("Pen.Style"), "psSolid");

    // With both selected the sub-rows write to both.
    Select({a, b});
    Type("Pen.Style", "psDash");
    EXPECT_EQ(a->Pen()->Style(), Qrv::psDash);
    EXPECT_EQ(b->Pen()->Style(), Qrv::psDash);

    ClickMark("Font");
    Type("Font.Size", "14");
    EXPECT_EQ(a->Font()->Size(), 14);
    EXPECT_EQ(b->Font()->Size(), 14);
    EXPECT_EQ(Value("Font.Style"), "[]");
}

TEST_F(InspectorTest, ColorsByNameNumberAndDialog)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    designer.SelectObject(e);
    EXPECT_EQ(Value("Color"), "Black");
    Type("Color", "red");
    EXPECT_EQ(e->Color(), QColor(255, 0, 0));
    EXPECT_EQ(Value("Color"), "Red");
    // Numbers are blue, green, red bytes, as the net file stores colours.
    Type("Color", "$0080FF");
    EXPECT_EQ(e->Color(), QColor(255, 128, 0));
    EXPECT_EQ(Value("Color"), "$0080FF");
    Type("Color", "#102030");
    EXPECT_EQ(e->Color(), QColor(0x10, 0x20, 0x30));
    Type("Color", "purplish");
    Type("Color", "$1000000");
    EXPECT_EQ(designer.Errors, QStringList({"Invalid property value", "Invalid property value"}));
    EXPECT_EQ(e->Color(), QColor(0x10, 0x20, 0x30));

    Click("Color");
    EXPECT_FALSE(list->Button()->Ellipsis());
    inspector->Context().ChooseColor = [](QColor& c) {
        EXPECT_EQ(c, QColor(0x10, 0x20, 0x30));
        c = QColor(0, 0, 255);
        return true;
    };
    DoubleClickValue("Color");
    EXPECT_EQ(e->Color(), QColor(0, 0, 255));
    EXPECT_EQ(list->Edit()->text(), "Blue");
}

TEST_F(InspectorTest, FontAndStringListDialogs)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    e->SetLines({"one", "two"});
    designer.SelectObject(e);

    Click("Font");
    EXPECT_TRUE(list->Button()->isVisible());
    EXPECT_TRUE(list->Button()->Ellipsis());
    bool cancel = true;
    inspector->Context().ChooseFont = [&cancel](QFont& f) {
        f.setPointSize(20);
        f.setBold(true);
        return !cancel;
    };
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    EXPECT_EQ(e->Font()->Size(), 10);
    EXPECT_FALSE(designer.IsChanged());
    cancel = false;
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    EXPECT_EQ(e->Font()->Size(), 20);
    EXPECT_TRUE(e->Font()->Style().testFlag(Qrv::fsBold));
    EXPECT_TRUE(designer.IsChanged());

    EXPECT_EQ(Value("Lines"), "(QStringList)");
    inspector->Context().EditStrings = [](QStringList& lines) {
        EXPECT_EQ(lines, QStringList({"one", "two"}));
        lines << "three";
        return true;
    };
    DoubleClickValue("Lines");
    EXPECT_EQ(e->Lines(), QStringList({"one", "two", "three"}));
}

TEST_F(InspectorTest, RenamingGoesThroughTheContainer)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    Add<TTestElement>(QStringLiteral("Other"));
    designer.SelectObject(e);
    EXPECT_EQ(inspector->ObjectList()->count(), 2);

    Type("Name", "OTHER");
    Type("Name", "1st");
    EXPECT_EQ(designer.Errors, QStringList({"a net element is already called ''Other''",
                                            "''1st'' is not a valid name: use letters, digits and _"}));
    EXPECT_EQ(e->Name(), "e1");
    EXPECT_EQ(list->Edit()->text(), "e1");
    EXPECT_FALSE(designer.IsChanged());

    Type("Name", "Alpha");
    EXPECT_EQ(e->Name(), "Alpha");
    EXPECT_EQ(designer.FindObject("alpha"), e);
    EXPECT_TRUE(designer.IsChanged());
    // The object list and the strip follow the new name; the row stays current.
    EXPECT_EQ(inspector->ObjectList()->itemText(0), "Alpha");
    EXPECT_EQ(inspector->SelectionStrip()->text(), "Alpha");
    EXPECT_EQ(list->CurrentPath(), "Name");
}

TEST_F(InspectorTest, ObjectListSelectsOnTheSurface)
{
    Add<TTestElement>(QStringLiteral("zeta"));
    TTestElement* alpha = Add<TTestElement>(QStringLiteral("Alpha"));
    Add<TTestOther>(QStringLiteral("mid"));
    QComboBox* objects = inspector->ObjectList();
    EXPECT_EQ(objects->count(), 3);
    EXPECT_EQ(objects->itemText(0), "Alpha");
    EXPECT_EQ(objects->itemText(1), "mid");
    EXPECT_EQ(objects->itemText(2), "zeta");
    EXPECT_EQ(objects->currentIndex(), -1);
    // A click on the strip drops the list down.
    QTest::mouseClick(inspector->SelectionStrip(), Qt::LeftButton);
    EXPECT_TRUE(objects->view()->isVisible());
    objects->hidePopup();

    objects->setCurrentIndex(0);
    Q_EMIT objects->textActivated(QStringLiteral("Alpha"));
    ASSERT_EQ(designer.Selection().size(), 1);
    EXPECT_EQ(designer.Selection().first(), alpha);
    EXPECT_EQ(inspector->SelectionStrip()->text(), "Alpha");
    EXPECT_EQ(Value("Name"), "Alpha");
}

TEST_F(InspectorTest, TypedValueIsWrittenWhenTheSelectionMovesOn)
{
    TTestElement* a = Add<TTestElement>(QStringLiteral("a"));
    TTestElement* b = Add<TTestElement>(QStringLiteral("b"));
    designer.SelectObject(a);
    Click("Count");
    list->Edit()->selectAll();
    QTest::keyClicks(list->Edit(), "12");
    designer.SelectObject(b);
    EXPECT_EQ(a->Count(), 12);
    EXPECT_EQ(b->Count(), 0);
    EXPECT_EQ(list->CurrentPath(), "Count");
    EXPECT_EQ(list->Edit()->text(), "0");

    // Moving to another row writes too.
    list->Edit()->selectAll();
    QTest::keyClicks(list->Edit(), "5");
    QTest::keyClick(list->Edit(), Qt::Key_Down);
    EXPECT_EQ(b->Count(), 5);
    EXPECT_EQ(list->CurrentPath(), "Font");
}

TEST_F(InspectorTest, DeletedObjectsLeaveNoDanglingRows)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    designer.SelectObject(e);
    ClickMark("Font");
    designer.DestroyObject(e);
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(inspector->ObjectList()->count(), 0);
}

TEST_F(InspectorTest, HiddenInspectorCatchesUpWhenShown)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    inspector->hide();
    designer.SelectObject(e);
    EXPECT_EQ(list->RowCount(), 0);
    inspector->show();
    EXPECT_EQ(list->CurrentPath(), "Name");
}

TEST_F(InspectorTest, SplitStartsAtHalfAndStaysWithinItsLimits)
{
    EXPECT_EQ(list->SplitPosition(), list->width() / 2);
    const int x = list->SplitPosition();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, QPoint(x + 2, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), list->viewport()->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &move);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(list->SplitPosition(), list->MinSplit());
    list->SetSplitPosition(10000);
    EXPECT_EQ(list->SplitPosition(), list->MaxSplit());
    EXPECT_GT(list->MaxSplit(), list->MinSplit());
}

TEST_F(InspectorTest, LocalMenuHideAndStayOnTop)
{
    QStringList captions;
    for (QAction* a : inspector->LocalMenu()->actions())
        if (!a->isSeparator())
            captions << a->text();
    EXPECT_EQ(captions, QStringList({"E&xpand", "&Collapse", "&Stay on top", "&Hide", "H&elp"}));
    int hides = 0;
    QList<bool> onTop;
    QObject::connect(inspector.get(), &TfmPropertyInspector::HideRequested, [&hides] { ++hides; });
    QObject::connect(inspector.get(), &TfmPropertyInspector::StayOnTopToggled,
                     [&onTop](bool b) { onTop << b; });
    inspector->MenuAction("actHide")->trigger();
    inspector->MenuAction("actStayOnTop")->trigger();
    inspector->MenuAction("actStayOnTop")->trigger();
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(onTop, QList<bool>({true, false}));
}

TEST_F(InspectorTest, FormulaRowExpandsIntoTextValueAndReference)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    designer.SelectObject(e);
    // The row shows the text with its value.
    EXPECT_EQ(Value("Weight"), "0 (RefV)");
    Click("Weight");
    EXPECT_TRUE(list->Button()->isVisible());
    EXPECT_TRUE(list->Button()->Ellipsis());
    // Typing into the formula row itself has no effect.
    Type("Weight", "7");
    EXPECT_EQ(e->Weight()->Formula(), "RefV");
    EXPECT_EQ(list->Edit()->text(), "0 (RefV)");
    EXPECT_TRUE(list->Edit()->isReadOnly());
    EXPECT_FALSE(designer.IsChanged());

    ClickMark("Weight");
    EXPECT_EQ(Names().mid(RowOf("Weight"), 4),
              QStringList({"Weight", "Weight.Formula", "Weight.Value_Actual", "Weight.Value_Reference"}));
    Type("Weight.Value_Reference", "2.5");
    EXPECT_EQ(e->Weight()->Value_Reference(), 2.5);
    EXPECT_EQ(Value("Weight.Value_Actual"), "2.5");
    EXPECT_EQ(Value("Weight"), "2.5 (RefV)");
    Type("Weight.Formula", "4");
    EXPECT_EQ(e->Weight()->Formula(), "4");
    EXPECT_EQ(Value("Weight.Value_Actual"), "4");
    EXPECT_EQ(Value("Weight"), "4");
    Type("Weight.Formula", "RefV*2");
    EXPECT_EQ(Value("Weight"), "RefV*2 = 5");
    Type("Weight.Formula", "4");
    EXPECT_TRUE(designer.IsChanged());

    // A text that does not evaluate is refused with the parser's message.
    Type("Weight.Formula", "NoSuchName");
    EXPECT_EQ(designer.Errors, QStringList({"Unknown Variable"}));
    EXPECT_EQ(e->Weight()->Formula(), "4");
    EXPECT_EQ(list->Edit()->text(), "4");
    Type("Weight.Value_Actual", "9");
    EXPECT_EQ(Value("Weight.Value_Actual"), "4");
    EXPECT_EQ(designer.Errors.size(), 1);
}

TEST_F(InspectorTest, FormulaValueThatNoLongerEvaluatesShowsTheReason)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    TTestCounter* c = Add<TTestCounter>(QStringLiteral("c1"));
    c->SetTokens(3);
    e->Weight()->SetFormula(QStringLiteral("c1_TOKENS"));
    designer.SelectObject(e);
    ClickMark("Weight");
    EXPECT_EQ(Value("Weight.Value_Actual"), "3");
    EXPECT_EQ(Value("Weight"), "c1_TOKENS = 3");
    designer.DestroyObject(c);
    EXPECT_EQ(Value("Weight.Value_Actual"), "Unknown Variable");
    EXPECT_EQ(Value("Weight.Formula"), "c1_TOKENS");
    EXPECT_EQ(Value("Weight"), "c1_TOKENS (Unknown Variable)");
}

TEST_F(InspectorTest, FormulaOfAPlainSubObjectShowsTheFormulaRows)
{
    TTestOther* o = Add<TTestOther>(QStringLiteral("o1"));
    TTestCounter* c = Add<TTestCounter>(QStringLiteral("c1"));
    o->Settings()->Limit()->SetFormula(QStringLiteral("c1_TOKENS"));
    designer.DestroyObject(c);
    designer.SelectObject(o);
    ClickMark("Settings");
    EXPECT_EQ(Value("Settings.Limit"), "(TQRVFormula)");
    ClickMark("Settings.Limit");
    EXPECT_EQ(Names().mid(RowOf("Settings.Limit") + 1, 3),
              QStringList({"Settings.Limit.Formula", "Settings.Limit.Value_Actual",
                           "Settings.Limit.Value_Reference"}));
    EXPECT_EQ(Value("Settings.Limit.Value_Actual"), "Unknown Variable");
    Type("Settings.Limit.Formula", "2");
    EXPECT_EQ(Value("Settings.Limit.Value_Actual"), "2");
}

TEST(InspectorInMainWindowTest, DockHoldsTheInspector)
{
    TTestDesigner designer;
    TfmMain window(designer);
    window.show();
    QDockWidget* dock = window.InspectorDock();
    ASSERT_EQ(dock->widget(), window.Inspector());
    EXPECT_EQ(dock->windowTitle(), "Object Inspector");
    EXPECT_TRUE(window.Action("actObjectProperty")->isEnabled());

    ASSERT_TRUE(dock->isVisible());
    window.Inspector()->MenuAction("actHide")->trigger();
    EXPECT_FALSE(dock->isVisible());
    window.ToggleInspector();
    EXPECT_TRUE(dock->isVisible());

    window.Inspector()->MenuAction("actStayOnTop")->trigger();
    EXPECT_TRUE(dock->isFloating());
    EXPECT_TRUE(dock->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    window.Inspector()->MenuAction("actStayOnTop")->trigger();
    EXPECT_FALSE(dock->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(InspectorTest, KeysMoveThroughRowsAndKeepTheCurrentOneInView)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    inspector->resize(320, 120);
    designer.SelectObject(e);
    const int visible = list->viewport()->height() / list->RowHeight();
    ASSERT_LT(visible, list->RowCount());
    Click("Brush");
    for (int i = 0; i < list->RowCount() + 2; ++i)
        QTest::keyClick(list->Edit(), Qt::Key_Down);
    EXPECT_EQ(list->CurrentPath(), "Weight");
    EXPECT_TRUE(list->viewport()->rect().contains(list->RowRect(list->CurrentRow())));
    EXPECT_TRUE(list->Edit()->geometry().intersects(list->RowRect(list->CurrentRow())));
    QTest::keyClick(list->Edit(), Qt::Key_PageUp);
    QTest::keyClick(list->Edit(), Qt::Key_PageUp);
    QTest::keyClick(list->Edit(), Qt::Key_PageUp);
    QTest::keyClick(list->Edit(), Qt::Key_PageUp);
    EXPECT_EQ(list->CurrentPath(), "Brush");
    EXPECT_EQ(list->RowRect(0).top(), 0);
}
