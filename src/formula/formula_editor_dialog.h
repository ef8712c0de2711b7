// The "Formula Editor": composes the text of one formula from typed text and
// from buttons and list entries that insert pieces of it, and evaluates it on
// the spot. The formula itself changes only when the dialog closes with OK.
#pragma once

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class TQRVDesigner;
class TQRVFormula;

class TfmFormulaEditor : public QDialog
{
    Q_OBJECT
public:
    // `designer` resolves object names and reports errors; the formula's own
    // container when none is given.
    TfmFormulaEditor(TQRVFormula* formula, TQRVDesigner* designer, QWidget* parent = nullptr);
    ~TfmFormulaEditor() override;

    // Shows the dialog modally on `formula`. On OK its text is written to the
    // formula, which validates it (an invalid text is reported and the
    // formula keeps its text). True when the formula took a new text.
    static bool Execute(TQRVFormula* formula, TQRVDesigner* designer, QWidget* parent = nullptr);

    QString Text() const;
    // Validates the text as the formula would and shows the value; an
    // invalid text is reported and the value of the last valid one shown.
    void Evaluate();
    // Inserts `piece` at the caret and puts the caret after it.
    void InsertText(const QString& piece);
    // Appends "RefV" at the end of the text, wherever the caret is.
    void AppendRefValue();

    QLineEdit* FormulaBox() const { return m_formulaBox; }
    QLineEdit* ResultBox() const { return m_resultBox; }
    QCheckBox* BooleanBox() const { return m_boolean; }
    QListWidget* Functions() const { return m_functions; }
    QComboBox* ObjectList() const { return m_objects; }
    QListWidget* Variables() const { return m_variables; }
    // The pad button with that caption (the AND button is "&").
    QPushButton* PadButton(const QString& caption) const;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillObjects();
    void objectChosen(int index);
    void report(const QString& text);
    QPushButton* addButton(const QString& caption, const QString& insert, const QString& hint = QString());

    TQRVFormula* m_formula;
    TQRVDesigner* m_designer;
    // Evaluation works on this copy (same reference value, kind and net), so
    // that Cancel leaves the formula as it was.
    std::unique_ptr<TQRVFormula> m_trial;
    QLineEdit* m_formulaBox = nullptr;
    QLineEdit* m_resultBox = nullptr;
    QCheckBox* m_boolean = nullptr;
    QListWidget* m_functions = nullptr;
    QComboBox* m_objects = nullptr;
    QListWidget* m_variables = nullptr;
    QList<QPushButton*> m_pad;
};
