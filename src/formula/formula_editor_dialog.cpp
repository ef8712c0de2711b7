#include "formula/formula_editor_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "formula/formula.h"
#include "model/designer.h"
#include "model/interfaces.h"
#include "model/numbers.h"

namespace {

const char* const kFunctions[] = {"MIN",    "MAX",    "",       "ABS",  "EXP",  "FRAC", "INT",   "LN",
                                  "LOG",    "NOT",    "ROUND",  "SIGN", "SQRT", "SQR",  "TRUNC", "",
                                  "ARCCOS", "ARCSIN", "ARCTAN", "COS ", "SIN",  "TAN"};

const char* const kInsertProperty = "insertText";

} // namespace

TfmFormulaEditor::TfmFormulaEditor(TQRVFormula* formula, TQRVDesigner* designer, QWidget* parent)
    : QDialog(parent), m_formula(formula), m_designer(designer ? designer : formula->Designer())
{
    setObjectName(QStringLiteral("fmFormulaEditor"));
    setWindowTitle(QStringLiteral("Formula Editor"));

    m_trial = std::make_unique<TQRVFormula>(nullptr, m_designer);
    m_trial->SetKind(formula->Kind());
    m_trial->SetValue_Reference(formula->Value_Reference());
    m_trial->TrySetFormula(formula->Formula());

    auto* root = new QVBoxLayout(this);

    // The formula row.
    root->addWidget(new QLabel(QStringLiteral("Formula"), this));
    m_formulaBox = new QLineEdit(formula->Formula(), this);
    m_formulaBox->setObjectName(QStringLiteral("edFormula"));
    root->addWidget(m_formulaBox);
    auto* resultRow = new QHBoxLayout;
    auto* equal = new QPushButton(QStringLiteral("="), this);
    equal->setObjectName(QStringLiteral("btEvaluate"));
    equal->setAutoDefault(false);
    equal->setFocusPolicy(Qt::NoFocus);
    m_resultBox = new QLineEdit(this);
    m_resultBox->setObjectName(QStringLiteral("edResult"));
    m_resultBox->setReadOnly(true);
    m_boolean = new QCheckBox(QStringLiteral("Result Is Boolean"), this);
    m_boolean->setObjectName(QStringLiteral("cbBoolean"));
    resultRow->addWidget(equal);
    resultRow->addWidget(m_resultBox, 1);
    resultRow->addWidget(m_boolean);
    root->addLayout(resultRow);

    auto* panels = new QHBoxLayout;
    root->addLayout(panels, 1);

    // Functions and variables.
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Available functions"), this));
    m_functions = new QListWidget(this);
    m_functions->setObjectName(QStringLiteral("lbFunctions"));
    for (const char* f : kFunctions)
        m_functions->addItem(QString::fromLatin1(f));
    left->addWidget(m_functions, 1);
    left->addWidget(new QLabel(QStringLiteral("Object"), this));
    m_objects = new QComboBox(this);
    m_objects->setObjectName(QStringLiteral("cbObject"));
    left->addWidget(m_objects);
    left->addWidget(new QLabel(QStringLiteral("Available variables"), this));
    m_variables = new QListWidget(this);
    m_variables->setObjectName(QStringLiteral("lbVariables"));
    left->addWidget(m_variables, 1);
    panels->addLayout(left, 1);

    // Digits, OK and Cancel.
    auto* middle = new QVBoxLayout;
    auto* digits = new QGridLayout;
    const char* const digitCaptions[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "."};
    for (int i = 0; i < 11; ++i) {
        const QString c = QString::fromLatin1(digitCaptions[i]);
        digits->addWidget(addButton(c, c), i / 4, i % 4);
    }
    middle->addLayout(digits);
    middle->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btOK"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btCancel"));
    for (QPushButton* b : {ok, cancel}) {
        // Enter in the formula box evaluates; it must not close the dialog.
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    middle->addWidget(ok);
    middle->addWidget(cancel);
    panels->addLayout(middle);

    // Operators and constants.
    auto* right = new QVBoxLayout;
    auto* operators = new QGridLayout;
    struct TOperator
    {
        const char* Caption;
        const char* Insert;
        const char* Hint;
    };
    const TOperator ops[] = {{"+", "+", "sum"},
                             {"*", "*", "multiply"},
                             {"(", "(", ""},
                             {")", ")", ""},
                             {"-", "-", "minus"},
                             {"/", "/", "divide"},
                             {"<", "<", "Less than"},
                             {">", ">", "More than"},
                             {"!", "!", "not (logic)"},
                             {"=", "=", "equals (logic)"},
                             {"&&", "&", "AND (logic)"},
                             {"|", "|", "OR (logic)"}};
    for (int i = 0; i < 12; ++i)
        operators->addWidget(addButton(QString::fromLatin1(ops[i].Caption),
                                       QString::fromLatin1(ops[i].Insert), QString::fromLatin1(ops[i].Hint)),
                             i / 2, i % 2);
    right->addLayout(operators);
    right->addWidget(addButton(QStringLiteral("True"), QStringLiteral("True")));
    right->addWidget(addButton(QStringLiteral("False"), QStringLiteral("False")));
    auto* refValue = new QPushButton(QStringLiteral("Ref_Value"), this);
    refValue->setObjectName(QStringLiteral("btRefValue"));
    refValue->setAutoDefault(false);
    refValue->setFocusPolicy(Qt::NoFocus);
    right->addWidget(refValue);
    right->addStretch(1);
    panels->addLayout(right);

    connect(equal, &QPushButton::clicked, this, &TfmFormulaEditor::Evaluate);
    connect(m_formulaBox, &QLineEdit::returnPressed, this, &TfmFormulaEditor::Evaluate);
    connect(m_boolean, &QCheckBox::clicked, this, &TfmFormulaEditor::Evaluate);
    connect(refValue, &QPushButton::clicked, this, &TfmFormulaEditor::AppendRefValue);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_functions, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { InsertText(item->text() + QLatin1Char('(')); });
    connect(m_variables, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (m_objects->currentIndex() >= 0)
            InsertText(m_objects->currentText() + QLatin1Char('_') + item->text());
    });
    connect(m_objects, &QComboBox::currentIndexChanged, this, &TfmFormulaEditor::objectChosen);
    // The box is the window's focus widget before it is shown, so that it
    // gets the caret without having its text selected.
    m_formulaBox->setFocus();
}

TfmFormulaEditor::~TfmFormulaEditor() = default;

QPushButton* TfmFormulaEditor::addButton(const QString& caption, const QString& insert, const QString& hint)
{
    auto* b = new QPushButton(caption, this);
    b->setProperty(kInsertProperty, insert);
    b->setAutoDefault(false);
    // The formula box keeps the focus and its caret.
    b->setFocusPolicy(Qt::NoFocus);
    b->setMinimumWidth(28);
    b->setMaximumWidth(72);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    connect(b, &QPushButton::clicked, this, [this, insert] { InsertText(insert); });
    m_pad.append(b);
    return b;
}

QPushButton* TfmFormulaEditor::PadButton(const QString& caption) const
{
    for (QPushButton* b : m_pad)
        if (b->property(kInsertProperty).toString() == caption)
            return b;
    return nullptr;
}

QString TfmFormulaEditor::Text() const
{
    return m_formulaBox->text();
}

void TfmFormulaEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fillObjects();
}

void TfmFormulaEditor::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    if (!visible)
        return;
    // Showing a dialog gives its focus widget a Tab-like focus, which would
    // select the whole text: the caret goes to the end instead.
    m_formulaBox->deselect();
    m_formulaBox->setCursorPosition(static_cast<int>(m_formulaBox->text().size()));
}

void TfmFormulaEditor::fillObjects()
{
    const QSignalBlocker block(m_objects);
    m_objects->clear();
    m_variables->clear();
    if (!m_designer)
        return;
    for (TQRVObject* o : m_designer->ObjectList()) {
        auto* vars = dynamic_cast<IQRVVariables*>(o);
        if (vars && vars->VariableCount() > 0)
            m_objects->addItem(o->Name());
    }
    m_objects->setCurrentIndex(-1);
}

void TfmFormulaEditor::objectChosen(int index)
{
    m_variables->clear();
    if (index < 0 || !m_designer)
        return;
    auto* vars = dynamic_cast<IQRVVariables*>(m_designer->FindObject(m_objects->itemText(index)));
    if (!vars)
        return;
    for (int i = 0; i < vars->VariableCount(); ++i)
        m_variables->addItem(vars->VariableName(i));
}

void TfmFormulaEditor::InsertText(const QString& piece)
{
    m_formulaBox->setFocus();
    m_formulaBox->deselect();
    m_formulaBox->insert(piece);
}

void TfmFormulaEditor::AppendRefValue()
{
    m_formulaBox->setFocus();
    m_formulaBox->deselect();
    m_formulaBox->end(false);
    m_formulaBox->insert(QStringLiteral("RefV"));
}

void TfmFormulaEditor::report(const QString& text)
{
    if (m_designer)
        m_designer->ShowError(text);
    else
        QMessageBox::critical(this, QStringLiteral("Error"), text);
}

void TfmFormulaEditor::Evaluate()
{
    const QString error = m_trial->TrySetFormula(Text());
    if (!error.isEmpty())
        report(error);
    double value = 0;
    QString failure;
    if (!m_trial->TryValue(value, &failure)) {
        m_resultBox->setText(failure);
        return;
    }
    if (m_boolean->isChecked())
        m_resultBox->setText(value != 0 ? QStringLiteral("True") : QStringLiteral("False"));
    else
        m_resultBox->setText(FormatGeneral(value));
}

bool TfmFormulaEditor::Execute(TQRVFormula* formula, TQRVDesigner* designer, QWidget* parent)
{
    if (!formula)
        return false;
    TfmFormulaEditor dialog(formula, designer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QString before = formula->Formula();
    const QString error = formula->TrySetFormula(dialog.Text());
    if (!error.isEmpty()) {
        dialog.report(error);
        return false;
    }
    return formula->Formula() != before;
}
