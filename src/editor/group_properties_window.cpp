#include "editor/group_properties_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "model/designer.h"

namespace {

// Integer, character and floating-point properties are listed; strings,
// enumerations, sets, objects and formulas are not.
bool IsSimpleType(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::QChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

TfmEditObjectsProperties::TfmEditObjectsProperties(TQRVDesigner& designer, QWidget* parent)
    : QDialog(parent), m_designer(designer)
{
    setObjectName(QStringLiteral("fmEditObjectsProperties"));
    setWindowTitle(QStringLiteral("Edit object properties"));
    m_context.Designer = &m_designer;
    m_context.DialogParent = this;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select object class"), this));
    m_classes = new QComboBox(this);
    m_classes->setObjectName(QStringLiteral("cbClass"));
    layout->addWidget(m_classes);
    layout->addWidget(new QLabel(QStringLiteral("Select property name"), this));
    m_properties = new QComboBox(this);
    m_properties->setObjectName(QStringLiteral("cbProperty"));
    layout->addWidget(m_properties);
    m_grid = new QTableWidget(10, 2, this);
    m_grid->setObjectName(QStringLiteral("sgValues"));
    m_grid->setColumnWidth(0, 64);
    m_grid->setColumnWidth(1, 90);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    layout->addWidget(m_grid, 1);

    // A value for the chosen property of every element of the class, written in one step.
    auto* row = new QHBoxLayout;
    m_value = new QLineEdit(this);
    m_value->setObjectName(QStringLiteral("edValue"));
    m_value->setPlaceholderText(QStringLiteral("New value for every element"));
    m_apply = new QPushButton(QStringLiteral("Apply"), this);
    m_apply->setObjectName(QStringLiteral("btApply"));
    // Enter in the value field applies through the field alone: were the
    // button the dialog's default as well, one Enter would apply twice.
    m_apply->setAutoDefault(false);
    row->addWidget(m_value, 1);
    row->addWidget(m_apply);
    layout->addLayout(row);

    connect(m_classes, &QComboBox::textActivated, this, &TfmEditObjectsProperties::ChooseClass);
    connect(m_properties, &QComboBox::currentIndexChanged, this, &TfmEditObjectsProperties::ShowValues);
    connect(m_apply, &QPushButton::clicked, this, &TfmEditObjectsProperties::Apply);
    connect(m_value, &QLineEdit::returnPressed, this, &TfmEditObjectsProperties::Apply);
    resize(320, 360);
}

void TfmEditObjectsProperties::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FillClasses();
}

void TfmEditObjectsProperties::FillClasses()
{
    QStringList classes;
    for (TQRVObject* o : m_designer.ObjectList())
        if (!classes.contains(o->ClassName()))
            classes << o->ClassName();
    classes.sort();
    const QSignalBlocker block(m_classes);
    m_classes->clear();
    m_classes->addItems(classes);
    m_classes->setCurrentIndex(-1);
    m_className.clear();
    m_properties->clear();
}

void TfmEditObjectsProperties::ChooseClass(const QString& className)
{
    m_className = className;
    m_properties->clear();
    QList<QObject*> objects;
    for (TQRVObject* o : m_designer.ObjectList())
        if (o->ClassName() == className)
            objects.append(o);
    if (objects.isEmpty())
        return;
    // Each entry names the first object of the class and the property.
    const QString prefix = static_cast<TQRVObject*>(objects.first())->Name() + QLatin1Char('.');
    const QSignalBlocker block(m_properties);
    for (const auto& editor : CollectPropertyEditors(m_context, objects))
        if (IsSimpleType(editor->Type()))
            m_properties->addItem(prefix + editor->GetName());
    m_properties->setCurrentIndex(m_properties->count() > 0 ? 0 : -1);
    ShowValues();
}

QList<QObject*> TfmEditObjectsProperties::classObjects() const
{
    QList<QObject*> objects;
    for (TQRVObject* o : m_designer.ObjectList())
        if (o->ClassName() == m_className)
            objects.append(o);
    return objects;
}

std::unique_ptr<TPropertyEditor> TfmEditObjectsProperties::chosenEditor(const QList<QObject*>& objects) const
{
    const QString entry = m_properties->currentText();
    const QString name = entry.mid(entry.indexOf(QLatin1Char('.')) + 1);
    if (objects.isEmpty() || name.isEmpty())
        return nullptr;
    for (auto& editor : CollectPropertyEditors(m_context, objects))
        if (editor->GetName() == name)
            return std::move(editor);
    return nullptr;
}

void TfmEditObjectsProperties::ShowValues()
{
    m_grid->clearContents();
    const QList<QObject*> objects = classObjects();
    const std::unique_ptr<TPropertyEditor> editor = chosenEditor(objects);
    m_apply->setEnabled(editor != nullptr);
    if (!editor)
        return;
    m_grid->setRowCount(std::max<int>(10, static_cast<int>(objects.size())));
    for (qsizetype i = 0; i < objects.size(); ++i) {
        const QList<QObject*> one{objects.at(i)};
        const std::unique_ptr<TPropertyEditor> single = chosenEditor(one);
        const int r = static_cast<int>(i);
        m_grid->setItem(r, 0, new QTableWidgetItem(static_cast<TQRVObject*>(objects.at(i))->Name()));
        m_grid->setItem(r, 1, new QTableWidgetItem(single ? single->GetValue() : QString()));
    }
    if (editor->AllValuesEqual())
        m_value->setText(editor->GetValue());
}

bool TfmEditObjectsProperties::Apply()
{
    const std::unique_ptr<TPropertyEditor> editor = chosenEditor(classObjects());
    if (!editor)
        return false;
    // The editor checks and converts the text as the inspector does, says
    // why a value is refused, and writes every element in one step.
    const bool written = editor->SetValue(m_value->text().trimmed());
    ShowValues();
    return written;
}
