#include "editor/group_properties_window.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

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

    connect(m_classes, &QComboBox::textActivated, this, &TfmEditObjectsProperties::ChooseClass);
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
    m_properties->clear();
}

void TfmEditObjectsProperties::ChooseClass(const QString& className)
{
    m_properties->clear();
    QList<QObject*> objects;
    for (TQRVObject* o : m_designer.ObjectList())
        if (o->ClassName() == className)
            objects.append(o);
    if (objects.isEmpty())
        return;
    // Each entry names the first object of the class and the property.
    const QString prefix = static_cast<TQRVObject*>(objects.first())->Name() + QLatin1Char('.');
    for (const auto& editor : CollectPropertyEditors(m_context, objects))
        if (IsSimpleType(editor->Type()))
            m_properties->addItem(prefix + editor->GetName());
}
