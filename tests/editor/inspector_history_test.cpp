// Every write the inspector makes is one step of the edit history: the walk
// below edits every row of every element of a net holding every class, the
// way the inspector does (typing, the next value of a list, the dialogs), and
// checks that undo gives back the net file's text from before and redo the
// text from after. A write that went around the history fails it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "editor/property_inspector.h"
#include "formula/formula_editor_dialog.h"
#include "inspector_test_support.h"
#include "model/places.h"
#include "netfile/net_file.h"
#include "test_support.h"

namespace {

QString NetText(TQRVDesigner& d)
{
    d.Update();
    return NetToText(d);
}

class InspectorHistoryTest : public InspectorFixture
{
protected:
    void SetUp() override
    {
        InspectorFixture::SetUp();
        TPropertyContext& c = inspector->Context();
        c.ChooseFont = [](QFont& f) {
            f.setBold(!f.bold());
            return true;
        };
        c.ChooseColor = [](QColor& color) {
            color = color == QColor(Qt::red) ? QColor(Qt::blue) : QColor(Qt::red);
            return true;
        };
        c.EditStrings = [](QStringList& lines) {
            lines << QStringLiteral("more");
            return true;
        };
    }

    void SelectByName(const QString& name)
    {
        TQRVObject* o = designer.FindObject(name);
        ASSERT_NE(o, nullptr) << name.toStdString();
        designer.SelectObject(o);
    }

    // Expands the rows on the way to `path` ("Font.Style.fsBold").
    int Open(const QString& path)
    {
        const QStringList parts = path.split('.');
        for (int i = 1; i < parts.size(); ++i) {
            const int row = list->FindRow(parts.mid(0, i).join('.'));
            if (row < 0)
                return -1;
            if (!list->IsExpanded(row))
                list->Expand(row);
        }
        return list->FindRow(path);
    }

    // Every row path of the selection, sub-properties included.
    QStringList AllPaths()
    {
        for (bool more = true; more;) {
            more = false;
            for (int i = 0; i < list->RowCount(); ++i)
                if (list->IsExpandable(i) && !list->IsExpanded(i)) {
                    list->Expand(i);
                    more = true;
                }
        }
        return Names();
    }

    // A change of the row's value, made as the user would make it. False when
    // the row offers no way to change it.
    bool EditRow(int row)
    {
        list->SetCurrentRow(row);
        const TPropertyEditor& e = *list->Row(row).Editor;
        const TPropAttributes a = e.GetAttributes();
        if ((a & paValueList) || (a & paDialog)) {
            if (QByteArray(e.Type().name()).startsWith("TQRVFormula"))
                QTimer::singleShot(0, [] {
                    auto* dialog = qobject_cast<TfmFormulaEditor*>(QApplication::activeModalWidget());
                    ASSERT_NE(dialog, nullptr);
                    dialog->FormulaBox()->setText("4");
                    dialog->accept();
                });
            list->EditCurrent();
            return true;
        }
        if (a & paReadOnly)
            return false;
        const QString path = list->Row(row).Path;
        QString text = e.GetValue();
        if (path.endsWith(".Formula"))
            text = "2";
        else if (e.Type().id() == QMetaType::QString)
            text += "x";
        else
            text = QString::number(text.toDouble() + 1);
        list->Edit()->setText(text);
        list->Edit()->setModified(true);
        list->CommitEdit();
        return true;
    }
};

} // namespace

TEST_F(InspectorHistoryTest, EveryRowOfEveryElementIsEditedInOneUndoableStep)
{
    ASSERT_EQ(LoadNetFile(designer, TestDataDir() + "/every-class.pn2"), "");
    designer.Edits().Clear();
    const QString original = NetText(designer);
    const QStringList names = designer.GetComponentNames();
    int changed = 0;
    for (const QString& name : names) {
        SelectByName(name);
        const QStringList paths = AllPaths();
        for (const QString& path : paths) {
            SelectByName(name);
            const int row = Open(path);
            ASSERT_GE(row, 0) << path.toStdString();
            const int steps = designer.Edits().Count();
            if (!EditRow(row))
                continue;
            const QString after = NetText(designer);
            const std::string where = QString(name + "." + path).toStdString();
            if (after == original) {
                // Nothing changed (a value evaluated when shown): no step either.
                EXPECT_EQ(designer.Edits().Count(), steps) << where;
                continue;
            }
            ++changed;
            ASSERT_EQ(designer.Edits().Count(), steps + 1) << where;
            EXPECT_TRUE(designer.IsChanged()) << where;
            designer.Edits().Undo();
            ASSERT_EQ(NetText(designer), original) << "undo " << where;
            designer.Edits().Redo();
            ASSERT_EQ(NetText(designer), after) << "redo " << where;
            // Back to the net as it was, for the next row.
            designer.Edits().Undo();
            designer.Edits().Clear();
        }
    }
    EXPECT_TRUE(designer.Errors.isEmpty()) << designer.Errors.join(" / ").toStdString();
    // Every element has several rows that change the net: the walk reached them.
    EXPECT_GT(changed, 3 * names.size());
}

TEST_F(InspectorHistoryTest, AGroupEditIsOneStepAndTheNameOfTheRowNamesIt)
{
    auto* p1 = Add<TclsNodeDiscrete>("p1");
    auto* p2 = Add<TclsNodeDiscrete>("p2");
    p2->SetTokensDirect(2);
    Select({p1, p2});
    const QString before = NetText(designer);
    Type("Tokens", "5");
    EXPECT_EQ(p1->Tokens(), 5);
    EXPECT_EQ(p2->Tokens(), 5);
    EXPECT_EQ(designer.Edits().Count(), 1);
    EXPECT_EQ(designer.Edits().UndoText(), "Change Tokens");
    designer.Edits().Undo();
    EXPECT_EQ(NetText(designer), before);
    // The rows show the values the undo gave back.
    EXPECT_EQ(Value("Tokens"), "");

    // A formula's text is named by the property that holds it; a rename by the old name.
    designer.SelectObject(p1);
    ClickMark("Cost");
    Type("Cost.Formula", "3");
    EXPECT_EQ(designer.Edits().UndoText(), "Change Cost");
    Type("Name", "start");
    EXPECT_EQ(designer.Edits().UndoText(), "Rename p1");
    // A refused value is no step.
    const int steps = designer.Edits().Count();
    Type("Tokens", "many");
    EXPECT_EQ(designer.Edits().Count(), steps);
}
