#include "performance/add_value_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "formula/formula.h"
#include "formula/formula_editor_dialog.h"

namespace {

const QString kSelect = QStringLiteral("Select...");
const QString kDefine = QStringLiteral("Define...");

bool isMacroKind(int index)
{
    return index == 6 || index == 7;
}

} // namespace

TfmAddElem::TfmAddElem(TQRVDesigner* net, const QStringList& places, const QStringList& transitions,
                       const QStringList& kinds, QWidget* parent)
    : QDialog(parent), m_net(net), m_places(places), m_transitions(transitions), m_kinds(kinds)
{
    setWindowTitle(QStringLiteral("Create/Modify Element"));
    setObjectName(QStringLiteral("TfmAddElem"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Type of Value"), this));
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("cbKind"));
    m_kind->addItem(kSelect);
    layout->addWidget(m_kind);
    m_objectsRow = new QWidget(this);
    auto* objects = new QVBoxLayout(m_objectsRow);
    objects->setContentsMargins(0, 0, 0, 0);
    objects->addWidget(new QLabel(QStringLiteral("Available objects"), m_objectsRow));
    m_objects = new QComboBox(m_objectsRow);
    m_objects->setObjectName(QStringLiteral("cbObjects"));
    m_objects->addItem(kSelect);
    objects->addWidget(m_objects);
    layout->addWidget(m_objectsRow);
    m_macro = new QWidget(this);
    m_macro->setObjectName(QStringLiteral("pnMacroState"));
    auto* macro = new QHBoxLayout(m_macro);
    macro->setContentsMargins(0, 0, 0, 0);
    macro->addWidget(new QLabel(QStringLiteral("MacroState:"), m_macro));
    m_condition = new QLineEdit(QStringLiteral("Describe..."), m_macro);
    m_condition->setObjectName(QStringLiteral("edCondition"));
    m_condition->installEventFilter(this);
    macro->addWidget(m_condition, 1);
    m_edit = new QPushButton(QStringLiteral("..."), m_macro);
    m_edit->setObjectName(QStringLiteral("btEdit"));
    m_edit->setAutoDefault(false);
    macro->addWidget(m_edit);
    m_macro->hide();
    layout->addWidget(m_macro);
    auto* buttons = new QHBoxLayout;
    m_set = new QPushButton(QStringLiteral("Set"), this);
    m_set->setObjectName(QStringLiteral("btSet"));
    m_set->setDefault(true);
    m_discard = new QPushButton(QStringLiteral("Discard"), this);
    m_discard->setObjectName(QStringLiteral("btDiscard"));
    m_discard->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(m_set);
    buttons->addWidget(m_discard);
    layout->addLayout(buttons);

    connect(m_kind, &QComboBox::activated, this, &TfmAddElem::kindChosen);
    connect(m_objects, &QComboBox::activated, this, [this](int index) {
        if (m_objects->itemText(index) != QLatin1String("Choose"))
            m_set->setEnabled(true);
    });
    connect(m_edit, &QPushButton::clicked, this, &TfmAddElem::EditCondition);
    connect(m_set, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_discard, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmAddElem::Preset(const QString& kindText, const QString& objectText)
{
    m_kind->clear();
    m_kind->addItems(m_kinds);
    const int k = std::max(0, static_cast<int>(m_kinds.indexOf(kindText)));
    m_kind->setCurrentIndex(k);
    m_presetObject = objectText;
    if (k == 4 || k == 5)
        fillObjects(m_transitions, QStringLiteral("T*"));
    else if (!isMacroKind(k))
        fillObjects(m_places, QStringLiteral("P*"));
    const int at = m_objects->findText(objectText);
    if (at >= 0)
        m_objects->setCurrentIndex(at);
}

void TfmAddElem::showEvent(QShowEvent* event)
{
    if (m_kind->count() == 1 && m_kind->currentText() == kSelect) {
        m_kind->clear();
        m_kind->addItems(m_kinds);
        m_kind->setCurrentIndex(0);
        fillObjects(m_places, QStringLiteral("P*"));
        m_objects->insertItem(0, kSelect);
        m_objects->setCurrentIndex(0);
    }
    if (!m_presetObject.isEmpty() && isMacroKind(m_kind->currentIndex())) {
        setObjectsVisible(false);
        m_condition->setText(m_presetObject);
    } else {
        setObjectsVisible(true);
    }
    if (m_objectsRow->isVisibleTo(this))
        m_set->setEnabled(m_objects->currentText() != kSelect);
    QDialog::showEvent(event);
}

void TfmAddElem::fillObjects(const QStringList& names, const QString& all)
{
    QStringList sorted = names;
    sorted << all;
    sorted.sort(Qt::CaseInsensitive);
    m_objects->clear();
    m_objects->addItems(sorted);
}

void TfmAddElem::setObjectsVisible(bool visible)
{
    m_objectsRow->setVisible(visible);
    m_macro->setVisible(!visible);
}

void TfmAddElem::kindChosen(int index)
{
    if (index == 4 || index == 5) {
        fillObjects(m_transitions, QStringLiteral("T*"));
    } else if (isMacroKind(index)) {
        m_objects->clear();
        m_objects->setEnabled(false);
        setObjectsVisible(false);
        m_condition->setText(kDefine);
        m_set->setEnabled(false);
        return;
    } else {
        fillObjects(m_places, QStringLiteral("P*"));
    }
    m_objects->setEnabled(true);
    setObjectsVisible(true);
    m_set->setEnabled(true);
    m_objects->setCurrentIndex(0);
}

bool TfmAddElem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_condition) {
        if (event->type() == QEvent::FocusIn) {
            m_set->setEnabled(false);
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // Enter confirms a condition that reads as a formula.
                TQRVFormula f(nullptr, m_net);
                m_set->setEnabled(f.TrySetFormula(m_condition->text()).isEmpty() &&
                                  f.Formula() == m_condition->text());
                return true;
            }
            m_set->setEnabled(false);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfmAddElem::EditCondition()
{
    TQRVFormula f(nullptr, m_net);
    f.SetFormula(m_condition->text() == kDefine || m_condition->text() == QLatin1String("Describe...")
                     ? QStringLiteral("True")
                     : m_condition->text());
    f.SetValue_Reference(1.0);
    if (TfmFormulaEditor::Execute(&f, m_net, this)) {
        m_condition->setText(f.Formula());
        m_set->setEnabled(true);
    }
}

QString TfmAddElem::KindText() const
{
    return m_kind->currentText();
}

QString TfmAddElem::ObjectText() const
{
    return m_objectsRow->isVisibleTo(this) ? m_objects->currentText() : m_condition->text();
}
