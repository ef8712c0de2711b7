#include "editor/property_editors.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <limits>

#include "formula/formula.h"
#include "formula/formula_editor_dialog.h"
#include "model/designer.h"
#include "model/edits.h"
#include "model/graphics_objects.h"
#include "model/numbers.h"
#include "model/qrv_object.h"

// ---- context -------------------------------------------------------------------

void TPropertyContext::ShowError(const QString& text) const
{
    if (Designer) {
        Designer->ShowError(text);
        return;
    }
    QMessageBox::critical(DialogParent, QStringLiteral("Error"), text);
}

void TPropertyContext::NotifyWritten() const
{
    if (Written)
        Written();
}

// ---- helpers -------------------------------------------------------------------

namespace {

bool IsQObjectPointer(QMetaType type)
{
    return (type.flags() & QMetaType::PointerToQObject) != 0;
}

// Whether a pointer property points to objects of class `cls`.
bool PointsTo(QMetaType type, const QMetaObject& cls)
{
    const QMetaObject* mo = type.metaObject();
    return IsQObjectPointer(type) && mo && mo->inherits(&cls);
}

bool IsIntegerType(int id)
{
    switch (id) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// The value of an enumeration or flag variant, whatever its storage size.
qint64 EnumValue(const QVariant& v)
{
    const void* data = v.constData();
    switch (v.metaType().sizeOf()) {
    case 1:
        return *static_cast<const qint8*>(data);
    case 2:
        return *static_cast<const qint16*>(data);
    case 4:
        return *static_cast<const qint32*>(data);
    case 8:
        return *static_cast<const qint64*>(data);
    default:
        return v.toLongLong();
    }
}

// A variant of enumeration or flag type `type` holding `value`.
QVariant EnumVariant(QMetaType type, qint64 value)
{
    const qint8 v1 = static_cast<qint8>(value);
    const qint16 v2 = static_cast<qint16>(value);
    const qint32 v4 = static_cast<qint32>(value);
    switch (type.sizeOf()) {
    case 1:
        return QVariant(type, &v1);
    case 2:
        return QVariant(type, &v2);
    case 4:
        return QVariant(type, &v4);
    case 8:
        return QVariant(type, &value);
    default:
        return QVariant(value);
    }
}

QString Quoted(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

// ---- base ------------------------------------------------------------------------

TPropertyEditor::TPropertyEditor(const TPropertyContext& context, const QList<QObject*>& objects,
                                 const QMetaProperty& property)
    : m_context(context), m_name(property.name()), m_type(property.metaType())
{
    for (QObject* o : objects)
        m_objects.append(QPointer<QObject>(o));
}

TPropertyEditor::~TPropertyEditor() = default;

QList<QObject*> TPropertyEditor::Objects() const
{
    QList<QObject*> list;
    for (const QPointer<QObject>& o : m_objects)
        if (o)
            list.append(o.data());
    return list;
}

QMetaProperty TPropertyEditor::PropertyOf(const QObject* object) const
{
    const QMetaObject* mo = object->metaObject();
    return mo->property(mo->indexOfProperty(m_name.constData()));
}

QVariant TPropertyEditor::Read(const QObject* object) const
{
    return PropertyOf(object).read(object);
}

QString TPropertyEditor::GetValue() const
{
    const QList<QObject*> objects = Objects();
    return objects.isEmpty() ? QString() : ValueText(objects.first());
}

bool TPropertyEditor::AllValuesEqual() const
{
    const QList<QObject*> objects = Objects();
    if (objects.size() < 2)
        return true;
    const QString first = ValueText(objects.first());
    for (int i = 1; i < objects.size(); ++i)
        if (ValueText(objects.at(i)) != first)
            return false;
    return true;
}

bool TPropertyEditor::Convert(const QString& text, QVariant& value, QString&) const
{
    value = text;
    return true;
}

namespace {

// The element of the net an object belongs to: itself, or the element that
// owns it (a formula, a font); none for objects outside a net.
TQRVObject* ElementOf(QObject* object)
{
    for (QObject* o = object; o; o = o->parent())
        if (auto* element = qobject_cast<TQRVObject*>(o))
            return element;
    return nullptr;
}

} // namespace

QString TPropertyEditor::StepCaption() const
{
    const QList<QObject*> objects = Objects();
    QString name = GetName();
    // A property of a sub-object is named by the owner's property that holds it.
    if (!objects.isEmpty() && !qobject_cast<TQRVObject*>(objects.first()) && m_context.Designer) {
        const QString path = m_context.Designer->GetObjectName(objects.first());
        const int dot = static_cast<int>(path.indexOf(QLatin1Char('.')));
        if (dot >= 0)
            name = path.mid(dot + 1);
    }
    return QStringLiteral("Change ") + name;
}

// Writes to objects of a net go through its edit layer, as one step.
namespace {
bool InStep(const TPropertyContext& context, const QList<QObject*>& objects, const QString& caption,
            const std::function<bool()>& write)
{
    QList<TQRVObject*> elements;
    for (QObject* o : objects)
        if (TQRVObject* e = ElementOf(o); e && e->Designer() == context.Designer && !elements.contains(e))
            elements.append(e);
    if (!context.Designer || elements.isEmpty())
        return write();
    bool ok = false;
    context.Designer->Edits().Change(caption, elements, [&] { ok = write(); });
    return ok;
}
} // namespace

bool TPropertyEditor::SetValue(const QString& text)
{
    return InStep(m_context, Objects(), StepCaption(), [&] { return WriteValue(text); });
}

bool TPropertyEditor::Edit()
{
    return InStep(m_context, Objects(), StepCaption(), [&] { return RunEdit(); });
}

bool TPropertyEditor::WriteValue(const QString& text)
{
    QVariant value;
    QString error;
    if (!Convert(text, value, error)) {
        m_context.ShowError(error);
        return false;
    }
    return WriteAll(value);
}

bool TPropertyEditor::WriteAll(const QVariant& value)
{
    const QList<QObject*> objects = Objects();
    if (objects.isEmpty())
        return false;
    for (QObject* o : objects)
        PropertyOf(o).write(o, value);
    m_context.NotifyWritten();
    return true;
}

bool TPropertyEditor::RunEdit()
{
    if (!(GetAttributes() & paValueList))
        return false;
    const QStringList values = GetValues();
    if (values.isEmpty())
        return false;
    const int i = values.indexOf(GetValue());
    return WriteValue(values.at((i + 1) % values.size()));
}

// ---- integer -------------------------------------------------------------------

QString TIntegerProperty::ValueText(QObject* object) const
{
    const QVariant v = Read(object);
    if (m_type.id() == QMetaType::ULongLong || m_type.id() == QMetaType::ULong)
        return QString::number(v.toULongLong());
    return QString::number(v.toLongLong());
}

bool TIntegerProperty::Convert(const QString& text, QVariant& value, QString& error) const
{
    const QString t = text.trimmed();
    bool ok = false;
    qint64 v = 0;
    if (t.startsWith(QLatin1Char('$')))
        v = t.mid(1).toLongLong(&ok, 16);
    else
        v = t.toLongLong(&ok, 10);
    if (!ok) {
        error = Quoted(text) + QStringLiteral(" is not a valid integer value");
        return false;
    }
    qint64 lo = std::numeric_limits<qint64>::min();
    qint64 hi = std::numeric_limits<qint64>::max();
    switch (m_type.id()) {
    case QMetaType::Int:
        lo = std::numeric_limits<qint32>::min();
        hi = std::numeric_limits<qint32>::max();
        break;
    case QMetaType::UInt:
        lo = 0;
        hi = std::numeric_limits<quint32>::max();
        break;
    case QMetaType::Short:
        lo = std::numeric_limits<qint16>::min();
        hi = std::numeric_limits<qint16>::max();
        break;
    case QMetaType::UShort:
        lo = 0;
        hi = std::numeric_limits<quint16>::max();
        break;
    case QMetaType::SChar:
        lo = std::numeric_limits<qint8>::min();
        hi = std::numeric_limits<qint8>::max();
        break;
    case QMetaType::UChar:
        lo = 0;
        hi = std::numeric_limits<quint8>::max();
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        lo = 0;
        break;
    default:
        break;
    }
    if (v < lo || v > hi) {
        error = QStringLiteral("Value must be between %1 and %2").arg(lo).arg(hi);
        return false;
    }
    value = QVariant(v);
    return value.convert(m_type);
}

// ---- floating point --------------------------------------------------------------

QString TFloatProperty::ValueText(QObject* object) const
{
    const int digits = m_type.id() == QMetaType::Float ? 7 : 15;
    return FormatGeneral(Read(object).toDouble(), digits);
}

bool TFloatProperty::Convert(const QString& text, QVariant& value, QString& error) const
{
    double v = 0;
    // ParseReal refuses infinities and NaN: no property may be given one.
    const bool ok = ParseReal(text, v) &&
                    (m_type.id() != QMetaType::Float || std::abs(v) <= std::numeric_limits<float>::max());
    if (!ok) {
        error = Quoted(text) + QStringLiteral(" is not a valid floating point value");
        return false;
    }
    value = QVariant(v);
    return value.convert(m_type);
}

// ---- strings ---------------------------------------------------------------------

QString TStringProperty::ValueText(QObject* object) const
{
    return Read(object).toString();
}

QString TComponentNameProperty::StepCaption() const
{
    const QList<QObject*> objects = Objects();
    return objects.isEmpty() ? QStringLiteral("Rename")
                             : QStringLiteral("Rename ") + objects.first()->property("Name").toString();
}

bool TComponentNameProperty::WriteValue(const QString& text)
{
    const QList<QObject*> objects = Objects();
    if (objects.isEmpty())
        return false;
    auto* object = qobject_cast<TQRVObject*>(objects.first());
    if (!object || !object->Designer())
        return TStringProperty::WriteValue(text);
    const QString error = object->Designer()->RenameObject(object, text);
    if (!error.isEmpty()) {
        m_context.ShowError(error);
        return false;
    }
    m_context.NotifyWritten();
    return true;
}

// ---- enumerations ------------------------------------------------------------------

QStringList TEnumProperty::GetValues() const
{
    if (m_type.id() == QMetaType::Bool)
        return {QStringLiteral("False"), QStringLiteral("True")};
    const QList<QObject*> objects = Objects();
    if (objects.isEmpty())
        return {};
    const QMetaEnum e = PropertyOf(objects.first()).enumerator();
    QStringList values;
    for (int i = 0; i < e.keyCount(); ++i)
        values << QString::fromLatin1(e.key(i));
    return values;
}

QString TEnumProperty::ValueText(QObject* object) const
{
    const QVariant v = Read(object);
    if (m_type.id() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    const qint64 value = EnumValue(v);
    const char* key = PropertyOf(object).enumerator().valueToKey(static_cast<int>(value));
    return key ? QString::fromLatin1(key) : QString::number(value);
}

bool TEnumProperty::Convert(const QString& text, QVariant& value, QString& error) const
{
    const QString t = text.trimmed();
    const QStringList values = GetValues();
    for (int i = 0; i < values.size(); ++i) {
        if (values.at(i).compare(t, Qt::CaseInsensitive) != 0)
            continue;
        if (m_type.id() == QMetaType::Bool) {
            value = QVariant(i == 1);
        } else {
            const QMetaEnum e = PropertyOf(Objects().first()).enumerator();
            value = EnumVariant(m_type, e.value(i));
        }
        return true;
    }
    error = QStringLiteral("Invalid property value");
    return false;
}

// ---- sets -------------------------------------------------------------------------

QString TSetProperty::ValueText(QObject* object) const
{
    const qint64 value = EnumValue(Read(object));
    const QMetaEnum e = PropertyOf(object).enumerator();
    QStringList names;
    for (int i = 0; i < e.keyCount(); ++i) {
        const qint64 bit = e.value(i);
        if (bit != 0 && (value & bit) == bit)
            names << QString::fromLatin1(e.key(i));
    }
    return QLatin1Char('[') + names.join(QLatin1Char(',')) + QLatin1Char(']');
}

TPropertyEditors TSetProperty::GetProperties() const
{
    TPropertyEditors list;
    const QList<QObject*> objects = Objects();
    if (objects.isEmpty())
        return list;
    const QMetaProperty property = PropertyOf(objects.first());
    const QMetaEnum e = property.enumerator();
    for (int i = 0; i < e.keyCount(); ++i) {
        const qint64 bit = e.value(i);
        // Single bits only: combined keys are not elements of the set.
        if (bit == 0 || (bit & (bit - 1)) != 0)
            continue;
        list.push_back(
            std::make_unique<TSetElementProperty>(m_context, objects, property, QByteArray(e.key(i)), bit));
    }
    return list;
}

TSetElementProperty::TSetElementProperty(const TPropertyContext& context, const QList<QObject*>& objects,
                                         const QMetaProperty& property, const QByteArray& key, qint64 bit)
    : TPropertyEditor(context, objects, property), m_bit(bit)
{
    // The row shows the element's name; the property written is the set.
    m_setName = m_name;
    m_name = key;
}

QStringList TSetElementProperty::GetValues() const
{
    return {QStringLiteral("False"), QStringLiteral("True")};
}

QString TSetElementProperty::ValueText(QObject* object) const
{
    const QMetaProperty p =
        object->metaObject()->property(object->metaObject()->indexOfProperty(m_setName.constData()));
    return (EnumValue(p.read(object)) & m_bit) ? QStringLiteral("True") : QStringLiteral("False");
}

bool TSetElementProperty::WriteValue(const QString& text)
{
    const QString t = text.trimmed();
    const bool isTrue = t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
    if (!isTrue && t.compare(QStringLiteral("False"), Qt::CaseInsensitive) != 0) {
        m_context.ShowError(QStringLiteral("Invalid property value"));
        return false;
    }
    const QList<QObject*> objects = Objects();
    if (objects.isEmpty())
        return false;
    for (QObject* o : objects) {
        const QMetaProperty p =
            o->metaObject()->property(o->metaObject()->indexOfProperty(m_setName.constData()));
        const QVariant current = p.read(o);
        qint64 v = EnumValue(current);
        v = isTrue ? (v | m_bit) : (v & ~m_bit);
        p.write(o, EnumVariant(current.metaType(), v));
    }
    m_context.NotifyWritten();
    return true;
}

// ---- sub-objects -------------------------------------------------------------------

QList<QObject*> TClassProperty::SubObjects() const
{
    QList<QObject*> list;
    for (QObject* o : Objects())
        if (QObject* sub = Read(o).value<QObject*>())
            list.append(sub);
    return list;
}

QString TClassProperty::ValueText(QObject* object) const
{
    const QObject* sub = Read(object).value<QObject*>();
    const QMetaObject* mo = sub ? sub->metaObject() : m_type.metaObject();
    return QStringLiteral("(%1)").arg(mo ? QString::fromLatin1(mo->className()) : QString());
}

TPropertyEditors TClassProperty::GetProperties() const
{
    const QList<QObject*> subs = SubObjects();
    // Every selected object must carry the sub-object, or the rows would
    // write to some of them only.
    if (subs.isEmpty() || subs.size() != ObjectCount())
        return {};
    return CollectPropertyEditors(m_context, subs);
}

bool TFontProperty::RunEdit()
{
    QList<TQRVFont*> fonts;
    for (QObject* o : SubObjects())
        if (auto* f = qobject_cast<TQRVFont*>(o))
            fonts.append(f);
    if (fonts.isEmpty())
        return false;
    QFont font = fonts.first()->ToQFont();
    bool ok = false;
    if (m_context.ChooseFont)
        ok = m_context.ChooseFont(font);
    else
        font = QFontDialog::getFont(&ok, font, m_context.DialogParent);
    if (!ok)
        return false;
    for (TQRVFont* f : fonts)
        f->FromQFont(font);
    m_context.NotifyWritten();
    return true;
}

// ---- colours -------------------------------------------------------------------------

namespace {

struct TColorName
{
    const char* Name;
    quint32 Rgb;
};

// The colours that have a name, in the order of the drop-down list.
const TColorName kColorNames[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF},
};

} // namespace

QString TColorProperty::ColorToText(const QColor& color)
{
    const quint32 rgb = color.rgb() & 0xFFFFFF;
    for (const TColorName& c : kColorNames)
        if (c.Rgb == rgb)
            return QString::fromLatin1(c.Name);
    // Numbers are written as the program stores colours: $BBGGRR.
    return QLatin1Char('$') + QString::number(ColorToBgr(color), 16).toUpper().rightJustified(6, u'0');
}

bool TColorProperty::TextToColor(const QString& text, QColor& color)
{
    const QString t = text.trimmed();
    for (const TColorName& c : kColorNames) {
        if (t.compare(QLatin1String(c.Name), Qt::CaseInsensitive) == 0) {
            color = QColor::fromRgb(c.Rgb);
            return true;
        }
    }
    bool ok = false;
    qint64 bgr = -1;
    if (t.startsWith(QLatin1Char('#'))) {
        const QColor c = QColor::fromString(t);
        if (!c.isValid() || t.size() != 7)
            return false;
        color = c;
        return true;
    }
    if (t.startsWith(QLatin1Char('$')))
        bgr = t.mid(1).toLongLong(&ok, 16);
    else
        bgr = t.toLongLong(&ok, 10);
    if (!ok || bgr < 0 || bgr > 0xFFFFFF)
        return false;
    color = BgrColor(static_cast<quint32>(bgr));
    return true;
}

QStringList TColorProperty::GetValues() const
{
    QStringList values;
    for (const TColorName& c : kColorNames)
        values << QString::fromLatin1(c.Name);
    return values;
}

QString TColorProperty::ValueText(QObject* object) const
{
    return ColorToText(Read(object).value<QColor>());
}

bool TColorProperty::Convert(const QString& text, QVariant& value, QString& error) const
{
    QColor color;
    if (!TextToColor(text, color)) {
        error = QStringLiteral("Invalid property value");
        return false;
    }
    value = QVariant::fromValue(color);
    return true;
}

bool TColorProperty::RunEdit()
{
    const QList<QObject*> objects = Objects();
    if (objects.isEmpty())
        return false;
    QColor color = Read(objects.first()).value<QColor>();
    if (m_context.ChooseColor) {
        if (!m_context.ChooseColor(color))
            return false;
    } else {
        color = QColorDialog::getColor(color, m_context.DialogParent);
        if (!color.isValid())
            return false;
    }
    return WriteAll(QVariant::fromValue(color));
}

// ---- string lists ----------------------------------------------------------------------

QString TStringsProperty::ValueText(QObject*) const
{
    return QStringLiteral("(%1)").arg(QString::fromLatin1(m_type.name()));
}

bool TStringsProperty::RunEdit()
{
    const QList<QObject*> objects = Objects();
    if (objects.isEmpty())
        return false;
    QStringList lines = Read(objects.first()).toStringList();
    bool ok = false;
    if (m_context.EditStrings) {
        ok = m_context.EditStrings(lines);
    } else {
        QDialog dialog(m_context.DialogParent);
        dialog.setWindowTitle(QStringLiteral("String list editor"));
        auto* layout = new QVBoxLayout(&dialog);
        auto* memo = new QPlainTextEdit(&dialog);
        memo->setObjectName(QStringLiteral("Memo"));
        memo->setPlainText(lines.join(QLatin1Char('\n')));
        layout->addWidget(memo);
        auto* buttons = new QDialogButtonBox(&dialog);
        buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addWidget(buttons);
        ok = dialog.exec() == QDialog::Accepted;
        if (ok) {
            const QString text = memo->toPlainText();
            lines = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
        }
    }
    if (!ok)
        return false;
    return WriteAll(QVariant(lines));
}

// ---- formulas -----------------------------------------------------------------------------

namespace {

TQRVFormula* FormulaOf(const QVariant& v)
{
    return qobject_cast<TQRVFormula*>(v.value<QObject*>());
}

QMetaProperty FormulaProperty(const char* name)
{
    const QMetaObject& mo = TQRVFormula::staticMetaObject;
    return mo.property(mo.indexOfProperty(name));
}

// The text of a formula: validated by the formula, refused with its message.
class TFormulaTextProperty : public TStringProperty
{
public:
    using TStringProperty::TStringProperty;
    TPropAttributes GetAttributes() const override { return {}; }
    bool WriteValue(const QString& text) override
    {
        const QList<QObject*> objects = Objects();
        if (objects.isEmpty())
            return false;
        for (QObject* o : objects) {
            auto* formula = qobject_cast<TQRVFormula*>(o);
            if (!formula)
                continue;
            const QString error = formula->TrySetFormula(text);
            if (!error.isEmpty()) {
                m_context.ShowError(error);
                return false;
            }
        }
        m_context.NotifyWritten();
        return true;
    }
};

// The evaluated value, read when the row is drawn; typing has no effect.
class TFormulaValueProperty : public TFloatProperty
{
public:
    using TFloatProperty::TFloatProperty;
    TPropAttributes GetAttributes() const override { return {}; }
    bool WriteValue(const QString&) override { return false; }

protected:
    QString ValueText(QObject* object) const override
    {
        auto* formula = qobject_cast<TQRVFormula*>(object);
        if (!formula)
            return QString();
        double value = 0;
        QString error;
        // A text that no longer evaluates (a named object was renamed or
        // deleted) shows the reason instead of a number.
        if (!formula->TryValue(value, &error))
            return error;
        return FormatGeneral(value);
    }
};

} // namespace

bool TQRVFormulaEditor::RunEdit()
{
    const QList<QObject*> objects = Objects();
    if (objects.isEmpty())
        return false;
    TQRVFormula* formula = FormulaOf(Read(objects.first()));
    if (!formula)
        return false;
    if (!TfmFormulaEditor::Execute(formula, m_context.Designer, m_context.DialogParent))
        return false;
    m_context.NotifyWritten();
    return true;
}

namespace {

// The rows of formulas: the text typed directly, the value evaluated when
// shown (never read through the generic path, whose errors would escape),
// and the reference value.
TPropertyEditors FormulaRows(const TPropertyContext& context, const QList<QObject*>& formulas)
{
    TPropertyEditors list;
    if (formulas.isEmpty())
        return list;
    list.push_back(std::make_unique<TFormulaTextProperty>(context, formulas, FormulaProperty("Formula")));
    list.push_back(
        std::make_unique<TFormulaValueProperty>(context, formulas, FormulaProperty("Value_Actual")));
    list.push_back(std::make_unique<TFloatProperty>(context, formulas, FormulaProperty("Value_Reference")));
    return list;
}

} // namespace

TPropertyEditors TQRVFormulaEditor::GetProperties() const
{
    QList<QObject*> formulas;
    for (QObject* o : Objects())
        if (TQRVFormula* f = FormulaOf(Read(o)))
            formulas.append(f);
    return FormulaRows(m_context, formulas);
}

// ---- registration ----------------------------------------------------------------------------

std::unique_ptr<TPropertyEditor> CreatePropertyEditor(const TPropertyContext& context,
                                                      const QList<QObject*>& objects,
                                                      const QMetaProperty& property)
{
    if (objects.isEmpty())
        return nullptr;
    const QMetaType type = property.metaType();
    const int id = type.id();
    const bool onElement = objects.first()->inherits("TQRVObject");
    // The first matching registration wins.
    if (onElement && PointsTo(type, TQRVFormula::staticMetaObject))
        return std::make_unique<TQRVFormulaEditor>(context, objects, property);
    if (onElement && id == QMetaType::QString && qstrcmp(property.name(), "Name") == 0)
        return std::make_unique<TComponentNameProperty>(context, objects, property);
    if (id == QMetaType::QColor)
        return std::make_unique<TColorProperty>(context, objects, property);
    if (PointsTo(type, TQRVFont::staticMetaObject))
        return std::make_unique<TFontProperty>(context, objects, property);
    if (id == QMetaType::QStringList)
        return std::make_unique<TStringsProperty>(context, objects, property);
    if (IsQObjectPointer(type))
        return std::make_unique<TClassProperty>(context, objects, property);
    if (property.isFlagType())
        return std::make_unique<TSetProperty>(context, objects, property);
    if (property.isEnumType() || id == QMetaType::Bool)
        return std::make_unique<TEnumProperty>(context, objects, property);
    if (IsIntegerType(id))
        return std::make_unique<TIntegerProperty>(context, objects, property);
    if (id == QMetaType::Double || id == QMetaType::Float)
        return std::make_unique<TFloatProperty>(context, objects, property);
    if (id == QMetaType::QString)
        return std::make_unique<TStringProperty>(context, objects, property);
    return nullptr;
}

TPropertyEditors CollectPropertyEditors(const TPropertyContext& context, const QList<QObject*>& objects)
{
    TPropertyEditors list;
    if (objects.isEmpty())
        return list;
    if (qobject_cast<TQRVFormula*>(objects.first())) {
        const bool allFormulas = std::all_of(objects.begin(), objects.end(), [](QObject* o) {
            return qobject_cast<TQRVFormula*>(o) != nullptr;
        });
        return allFormulas ? FormulaRows(context, objects) : TPropertyEditors();
    }
    const QMetaObject* first = objects.first()->metaObject();
    // QObject's own properties (objectName) are never shown.
    for (int i = QObject::staticMetaObject.propertyCount(); i < first->propertyCount(); ++i) {
        const QMetaProperty p = first->property(i);
        if (!p.isReadable() || qstrcmp(p.name(), "Tag") == 0)
            continue;
        // A property declared again by a subclass is shown once, as the subclass has it.
        if (first->indexOfProperty(p.name()) != i)
            continue;
        if (!p.isWritable() && !IsQObjectPointer(p.metaType()))
            continue;
        std::unique_ptr<TPropertyEditor> editor = CreatePropertyEditor(context, objects, p);
        if (!editor)
            continue;
        if (objects.size() > 1) {
            if (!(editor->GetAttributes() & paMultiSelect))
                continue;
            const bool shared = std::all_of(objects.begin() + 1, objects.end(), [&p](const QObject* o) {
                const int j = o->metaObject()->indexOfProperty(p.name());
                return j >= 0 && o->metaObject()->property(j).metaType() == p.metaType();
            });
            if (!shared)
                continue;
        }
        list.push_back(std::move(editor));
    }
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return a->GetName().compare(b->GetName(), Qt::CaseInsensitive) < 0;
    });
    return list;
}
