// Property editors: one class per property type. Each serves one published
// property of a set of objects (the selection, or the sub-objects of the
// selection): it turns the value into text, writes typed text back, offers
// a value list, sub-properties or a dialog. They work on Qt's meta-object
// properties and know nothing of the net's element classes.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFlags>
#include <QFont>
#include <QList>
#include <QMetaProperty>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QWidget;
class TQRVDesigner;
class TQRVFormula;

enum TPropAttribute {
    paValueList = 0x01,     // a drop-down list of values
    paSubProperties = 0x02, // expandable
    paDialog = 0x04,        // an ellipsis button opens a dialog
    paMultiSelect = 0x08,   // shown while several objects are selected
    paAutoUpdate = 0x10,
    paSortList = 0x20, // the drop-down list is sorted
    paReadOnly = 0x40, // the value text cannot be typed
    paRevertable = 0x80
};
Q_DECLARE_FLAGS(TPropAttributes, TPropAttribute)
Q_DECLARE_OPERATORS_FOR_FLAGS(TPropAttributes)

// What the editors need from their surroundings: the net container, a parent
// for dialogs, the notification after a write, and the dialogs themselves
// (replaceable, so that tests need not drive the platform's dialogs).
struct TPropertyContext
{
    TQRVDesigner* Designer = nullptr;
    QWidget* DialogParent = nullptr;
    // Called after every accepted write.
    std::function<void()> Written;

    std::function<bool(QColor& color)> ChooseColor;
    std::function<bool(QFont& font)> ChooseFont;
    std::function<bool(QStringList& lines)> EditStrings;

    // Through the container's error reporter, or a message box without one.
    void ShowError(const QString& text) const;
    void NotifyWritten() const;
};

class TPropertyEditor;
using TPropertyEditors = std::vector<std::unique_ptr<TPropertyEditor>>;

class TPropertyEditor
{
public:
    TPropertyEditor(const TPropertyContext& context, const QList<QObject*>& objects,
                    const QMetaProperty& property);
    virtual ~TPropertyEditor();

    virtual TPropAttributes GetAttributes() const = 0;
    QString GetName() const { return QString::fromLatin1(m_name); }
    QMetaType Type() const { return m_type; }
    // The value text of the first object.
    QString GetValue() const;
    // Whether every object shows the same value text.
    bool AllValuesEqual() const;
    // Writes `text` to every object. On a conversion error the message is
    // shown, nothing is written and the result is false. Objects of a net
    // are written through its edit layer: one step, named by StepCaption.
    bool SetValue(const QString& text);
    // The value list for the drop-down, in its natural order.
    virtual QStringList GetValues() const { return {}; }
    virtual TPropertyEditors GetProperties() const { return {}; }
    // The dialog, or for a value list the next value (wrapping round); one
    // step of the edit layer like SetValue.
    bool Edit();

    int ObjectCount() const { return static_cast<int>(m_objects.size()); }
    // The objects still alive, in selection order.
    QList<QObject*> Objects() const;
    const TPropertyContext& Context() const { return m_context; }

protected:
    // What SetValue and Edit do, inside the step.
    virtual bool WriteValue(const QString& text);
    virtual bool RunEdit();
    // "Change Tokens"; for a property of a sub-object the owner's property ("Change Cost").
    virtual QString StepCaption() const;
    // The value text of one object.
    virtual QString ValueText(QObject* object) const = 0;
    // Converts typed text into a value to write; false with a message when it cannot.
    virtual bool Convert(const QString& text, QVariant& value, QString& error) const;
    // Writes `value` to every object, then notifies.
    bool WriteAll(const QVariant& value);

    QMetaProperty PropertyOf(const QObject* object) const;
    QVariant Read(const QObject* object) const;

    const TPropertyContext& m_context;
    QList<QPointer<QObject>> m_objects;
    QByteArray m_name;
    QMetaType m_type;
};

// Whole numbers; out of the type's range: "Value must be between %d and %d".
class TIntegerProperty : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override { return paMultiSelect; }

protected:
    QString ValueText(QObject* object) const override;
    bool Convert(const QString& text, QVariant& value, QString& error) const override;
};

// Floating point: general format, 15 significant digits (7 for single precision).
class TFloatProperty : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override { return paMultiSelect; }

protected:
    QString ValueText(QObject* object) const override;
    bool Convert(const QString& text, QVariant& value, QString& error) const override;
};

class TStringProperty : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override { return paMultiSelect; }

protected:
    QString ValueText(QObject* object) const override;
};

// The name of a net object: renames through the container.
class TComponentNameProperty : public TStringProperty
{
public:
    using TStringProperty::TStringProperty;
    TPropAttributes GetAttributes() const override { return {}; }

protected:
    bool WriteValue(const QString& text) override;
    QString StepCaption() const override;
};

// Enumerations and Booleans: the value's identifier.
class TEnumProperty : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override
    {
        return paValueList | paMultiSelect | paSortList | paRevertable;
    }
    QStringList GetValues() const override;

protected:
    QString ValueText(QObject* object) const override;
    bool Convert(const QString& text, QVariant& value, QString& error) const override;
};

// Flag sets: "[a,b]"; expands into one Boolean row per element.
class TSetProperty : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override
    {
        return paSubProperties | paMultiSelect | paReadOnly | paRevertable;
    }
    bool WriteValue(const QString&) override { return false; }
    TPropertyEditors GetProperties() const override;

protected:
    QString ValueText(QObject* object) const override;
};

// One element of a flag set, shown as False or True.
class TSetElementProperty : public TPropertyEditor
{
public:
    TSetElementProperty(const TPropertyContext& context, const QList<QObject*>& objects,
                        const QMetaProperty& property, const QByteArray& key, qint64 bit);
    TPropAttributes GetAttributes() const override { return paValueList | paMultiSelect | paSortList; }
    QStringList GetValues() const override;
    bool WriteValue(const QString& text) override;

protected:
    QString ValueText(QObject* object) const override;

private:
    QByteArray m_setName;
    qint64 m_bit;
};

// A published sub-object: "(ClassName)"; expands into its properties.
class TClassProperty : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override { return paSubProperties | paMultiSelect | paReadOnly; }
    bool WriteValue(const QString&) override { return false; }
    TPropertyEditors GetProperties() const override;

protected:
    QString ValueText(QObject* object) const override;
    QList<QObject*> SubObjects() const;
};

// A font sub-object: also the font dialog.
class TFontProperty : public TClassProperty
{
public:
    using TClassProperty::TClassProperty;
    TPropAttributes GetAttributes() const override
    {
        return paSubProperties | paDialog | paMultiSelect | paReadOnly;
    }
    bool RunEdit() override;
};

// Colours: a colour name, "$BBGGRR", "#RRGGBB" or a number; the colour dialog.
class TColorProperty : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override
    {
        return paValueList | paDialog | paMultiSelect | paRevertable;
    }
    QStringList GetValues() const override;
    bool RunEdit() override;

    static QString ColorToText(const QColor& color);
    static bool TextToColor(const QString& text, QColor& color);

protected:
    QString ValueText(QObject* object) const override;
    bool Convert(const QString& text, QVariant& value, QString& error) const override;
};

// String lists: edited in the "String list editor" dialog.
class TStringsProperty : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override { return paDialog | paReadOnly; }
    bool WriteValue(const QString&) override { return false; }
    bool RunEdit() override;

protected:
    QString ValueText(QObject* object) const override;
};

// Formula-valued properties of net objects: the formula editor dialog, and
// the rows Formula, Value_Actual and Value_Reference.
class TQRVFormulaEditor : public TPropertyEditor
{
public:
    using TPropertyEditor::TPropertyEditor;
    TPropAttributes GetAttributes() const override { return paSubProperties | paDialog; }
    // Typing into the formula row itself has no effect.
    bool WriteValue(const QString&) override { return false; }
    bool RunEdit() override;
    TPropertyEditors GetProperties() const override;

protected:
    QString ValueText(QObject*) const override { return QStringLiteral("TQRVFormula"); }
};

// The editor that serves `property` of `objects` (the first object's class
// decides), or none for a type without editor.
std::unique_ptr<TPropertyEditor> CreatePropertyEditor(const TPropertyContext& context,
                                                      const QList<QObject*>& objects,
                                                      const QMetaProperty& property);

// The editors of the properties that `objects` show, in alphabetical order:
// readable, writable or object-typed, never "Tag" nor QObject's own; with
// several objects only multi-select editors of properties that every object
// has with the same type.
TPropertyEditors CollectPropertyEditors(const TPropertyContext& context, const QList<QObject*>& objects);
