// "Edit object properties": the classes of the net and their shared numbers.
#include <QComboBox>
#include <QTableWidget>

#include "editor/group_properties_window.h"
#include "editor/inspector_test_objects.h"
#include "editor/inspector_test_support.h"

namespace {

QStringList Items(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

TEST(GroupPropertiesTest, ListsClassesOnceAndTheirNumericProperties)
{
    TTestDesigner designer;
    for (const char* name : {"e1", "e2", "e3"}) {
        auto* e = new TTestElement(&designer);
        e->SetNameDirect(QString::fromLatin1(name));
        designer.InsertObject(e);
    }
    auto* o = new TTestOther(&designer);
    o->SetNameDirect(QStringLiteral("o1"));
    designer.InsertObject(o);

    TfmEditObjectsProperties window(designer);
    window.show();
    EXPECT_EQ(window.windowTitle(), "Edit object properties");
    EXPECT_EQ(Items(window.ClassList()), QStringList({"TTestElement", "TTestOther"}));
    EXPECT_EQ(window.ClassList()->currentIndex(), -1);

    // Strings, enumerations, Booleans, sets, objects and formulas are not listed.
    window.ChooseClass(QStringLiteral("TTestElement"));
    EXPECT_EQ(Items(window.PropertyList()), QStringList({"e1.Count", "e1.Ratio"}));
    // A class with a single object.
    window.ChooseClass(QStringLiteral("TTestOther"));
    EXPECT_EQ(Items(window.PropertyList()), QStringList({"o1.Caption", "o1.Count", "o1.Ratio", "o1.Small"}));

    // The grid shows each element with its value of the chosen property.
    EXPECT_EQ(window.Grid()->rowCount(), 10);
    EXPECT_EQ(window.Grid()->columnCount(), 2);
    ASSERT_NE(window.Grid()->item(0, 0), nullptr);
    EXPECT_EQ(window.Grid()->item(0, 0)->text(), "o1");
    EXPECT_EQ(window.Grid()->item(1, 0), nullptr);

    // An empty net offers nothing.
    designer.DeleteAll();
    window.FillClasses();
    EXPECT_EQ(window.ClassList()->count(), 0);
    EXPECT_EQ(window.PropertyList()->count(), 0);
}
