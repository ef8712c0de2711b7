// The formula editor: composing by buttons and lists, evaluating, and what
// OK and Cancel leave in the formula.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "editor/inspector_test_objects.h"
#include "editor/inspector_test_support.h"
#include "formula/formula_editor_dialog.h"

namespace {

class FormulaEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        element = new TTestElement(&designer);
        element->SetNameDirect(QStringLiteral("e1"));
        designer.InsertObject(element);
        formula = element->Weight();
    }
    // A shown dialog on `formula`.
    std::unique_ptr<TfmFormulaEditor> Open()
    {
        auto dialog = std::make_unique<TfmFormulaEditor>(formula, &designer);
        dialog->show();
        return dialog;
    }
    void Press(TfmFormulaEditor& d, const QString& caption)
    {
        QPushButton* b = d.PadButton(caption);
        ASSERT_NE(b, nullptr) << caption.toStdString();
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void DoubleClick(QListWidget* list, const QString& entry)
    {
        const QList<QListWidgetItem*> items = list->findItems(entry, Qt::MatchExactly);
        ASSERT_FALSE(items.isEmpty()) << entry.toStdString();
        const QPoint at = list->visualItemRect(items.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }
    void Evaluate(TfmFormulaEditor& d)
    {
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btEvaluate")), Qt::LeftButton);
    }

    TTestDesigner designer;
    TTestElement* element = nullptr;
    TQRVFormula* formula = nullptr;
};

} // namespace

TEST_F(FormulaEditorTest, OpensOnTheFormulaTextWithTheCaretAtItsEnd)
{
    auto d = Open();
    EXPECT_EQ(d->windowTitle(), "Formula Editor");
    EXPECT_EQ(d->FormulaBox()->text(), "RefV");
    EXPECT_EQ(d->FormulaBox()->cursorPosition(), 4);
    EXPECT_FALSE(d->FormulaBox()->hasSelectedText());
    EXPECT_EQ(d->ResultBox()->text(), QString());
    EXPECT_EQ(d->Functions()->count(), 22);
    EXPECT_EQ(d->Functions()->item(19)->text(), "COS ");
}

TEST_F(FormulaEditorTest, PadsInsertAtTheCaret)
{
    auto d = Open();
    d->FormulaBox()->clear();
    Press(*d, "1");
    Press(*d, "+");
    Press(*d, "2");
    EXPECT_EQ(d->FormulaBox()->text(), "1+2");
    Evaluate(*d);
    EXPECT_EQ(d->ResultBox()->text(), "3");

    // In the middle of the text: the caret ends after the inserted piece.
    d->FormulaBox()->setText("ab");
    d->FormulaBox()->setCursorPosition(1);
    Press(*d, "&");
    EXPECT_EQ(d->FormulaBox()->text(), "a&b");
    EXPECT_EQ(d->FormulaBox()->cursorPosition(), 2);
    d->FormulaBox()->setCursorPosition(1);
    DoubleClick(d->Functions(), "SQRT");
    EXPECT_EQ(d->FormulaBox()->text(), "aSQRT(&b");
    EXPECT_EQ(d->FormulaBox()->cursorPosition(), 6);
    QTest::mouseClick(d->PadButton("True"), Qt::LeftButton);
    EXPECT_EQ(d->FormulaBox()->text(), "aSQRT(True&b");

    // The blank entry inserts a bracket alone; "COS " keeps its blank.
    d->FormulaBox()->clear();
    DoubleClick(d->Functions(), "");
    DoubleClick(d->Functions(), "COS ");
    EXPECT_EQ(d->FormulaBox()->text(), "(COS (");

    // Ref_Value appends, wherever the caret is.
    d->FormulaBox()->setText("2*");
    d->FormulaBox()->setCursorPosition(0);
    QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btRefValue")), Qt::LeftButton);
    EXPECT_EQ(d->FormulaBox()->text(), "2*RefV");
}

TEST_F(FormulaEditorTest, ResultIsBoolean)
{
    auto d = Open();
    d->FormulaBox()->setText("0");
    QTest::mouseClick(d->BooleanBox(), Qt::LeftButton);
    EXPECT_TRUE(d->BooleanBox()->isChecked());
    EXPECT_EQ(d->ResultBox()->text(), "False");
    d->FormulaBox()->setText("0.5");
    QTest::keyClick(d->FormulaBox(), Qt::Key_Return);
    EXPECT_EQ(d->ResultBox()->text(), "True");
    // Enter evaluates without closing the dialog.
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->result(), 0);
}

TEST_F(FormulaEditorTest, InvalidTextShowsTheMessageAndThePreviousValue)
{
    formula->SetValue_Reference(6);
    auto d = Open();
    d->FormulaBox()->setText("NoSuchName");
    Evaluate(*d);
    EXPECT_EQ(designer.Errors, QStringList({"Unknown Variable"}));
    EXPECT_EQ(d->ResultBox()->text(), "6");
    EXPECT_EQ(d->FormulaBox()->text(), "NoSuchName");

    // After a valid text, a failing one shows the value of the valid one.
    d->FormulaBox()->setText("2*(3+4)");
    Evaluate(*d);
    EXPECT_EQ(d->ResultBox()->text(), "14");
    d->FormulaBox()->setText("2*(3");
    Evaluate(*d);
    d->FormulaBox()->setText("1/0");
    Evaluate(*d);
    EXPECT_EQ(designer.Errors.mid(1), QStringList({"Bracketing Error", "Division by Zero"}));
    EXPECT_EQ(d->ResultBox()->text(), "14");
    // Negative values show as 0, as the formula gives them.
    d->FormulaBox()->setText("2-5");
    Evaluate(*d);
    EXPECT_EQ(d->ResultBox()->text(), "0");
    EXPECT_EQ(formula->Formula(), "RefV");
}

TEST_F(FormulaEditorTest, ObjectsAndVariables)
{
    auto* counter = new TTestCounter(&designer);
    counter->SetNameDirect(QStringLiteral("P1"));
    counter->SetTokens(4);
    designer.InsertObject(counter);
    auto* second = new TTestCounter(&designer);
    second->SetNameDirect(QStringLiteral("A2"));
    designer.InsertObject(second);

    auto d = Open();
    // Only objects that offer variables, in object order; none chosen.
    QComboBox* objects = d->ObjectList();
    ASSERT_EQ(objects->count(), 2);
    EXPECT_EQ(objects->itemText(0), "P1");
    EXPECT_EQ(objects->itemText(1), "A2");
    EXPECT_EQ(objects->currentIndex(), -1);
    EXPECT_EQ(d->Variables()->count(), 0);

    objects->setCurrentIndex(0);
    ASSERT_EQ(d->Variables()->count(), 2);
    EXPECT_EQ(d->Variables()->item(0)->text(), "TOKENS");
    EXPECT_EQ(d->Variables()->item(1)->text(), "COST");
    d->FormulaBox()->clear();
    DoubleClick(d->Variables(), "TOKENS");
    EXPECT_EQ(d->FormulaBox()->text(), "P1_TOKENS");
    Evaluate(*d);
    EXPECT_EQ(d->ResultBox()->text(), "4");
}

TEST_F(FormulaEditorTest, OkWritesThroughTheFormulaAndCancelKeepsIt)
{
    formula->SetFormula(QStringLiteral("5"));
    {
        // Evaluated, then cancelled: the formula keeps its text.
        auto d = Open();
        d->FormulaBox()->setText("8");
        Evaluate(*d);
        EXPECT_EQ(d->ResultBox()->text(), "8");
        QTest::keyClick(d->FormulaBox(), Qt::Key_Escape);
        EXPECT_EQ(d->result(), QDialog::Rejected);
        EXPECT_EQ(formula->Formula(), "5");
    }

    QString typed = QStringLiteral("7");
    bool cancel = false;
    auto answer = [&] {
        auto* d = qobject_cast<TfmFormulaEditor*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->FormulaBox()->setText(typed);
        QTest::mouseClick(
            d->findChild<QPushButton*>(cancel ? QStringLiteral("btCancel") : QStringLiteral("btOK")),
            Qt::LeftButton);
    };
    QTimer::singleShot(0, answer);
    EXPECT_TRUE(TfmFormulaEditor::Execute(formula, &designer));
    EXPECT_EQ(formula->Formula(), "7");

    // An invalid text closed with OK is refused by the formula.
    typed = QStringLiteral("NoSuchName");
    QTimer::singleShot(0, answer);
    EXPECT_FALSE(TfmFormulaEditor::Execute(formula, &designer));
    EXPECT_EQ(formula->Formula(), "7");
    EXPECT_EQ(designer.Errors, QStringList({"Unknown Variable"}));

    typed = QStringLiteral("9");
    cancel = true;
    QTimer::singleShot(0, answer);
    EXPECT_FALSE(TfmFormulaEditor::Execute(formula, &designer));
    EXPECT_EQ(formula->Formula(), "7");
}

using FormulaRowTest = InspectorFixture;

TEST_F(FormulaRowTest, EllipsisOpensTheFormulaEditor)
{
    TTestElement* e = Add<TTestElement>(QStringLiteral("e1"));
    designer.SelectObject(e);
    Click("Weight");
    QString shown;
    QTimer::singleShot(0, [&shown] {
        auto* d = qobject_cast<TfmFormulaEditor*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        shown = d->FormulaBox()->text();
        d->FormulaBox()->setText("12");
        d->accept();
    });
    QTest::mouseClick(list->Button(), Qt::LeftButton);
    EXPECT_EQ(shown, "RefV");
    EXPECT_EQ(e->Weight()->Formula(), "12");
    EXPECT_TRUE(designer.IsChanged());
    ClickMark("Weight");
    EXPECT_EQ(Value("Weight.Value_Actual"), "12");
}
