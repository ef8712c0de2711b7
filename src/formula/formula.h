// Formula-valued attributes: a text in the expression language, a reference
// value and a value kind. Reading Value_Actual evaluates the text now.
//
// The text is compiled once; names of other elements are resolved once and
// again only when the net's names change (NamesGeneration). Evaluating keeps
// that cache, so one formula must not be evaluated from several threads at
// once. Value_Actual throws: generic readers of the published properties
// (the inspector) should read formulas through TryValue.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

#include "formula/expression.h"
#include "model/qrv_object.h"

class IQRVVariables;
class TQRVDesigner;
class TqibXMLNode;
class TRxMathParser;

enum TFormulaKind : quint8 { fkInteger = 0, fkReal = 1, fkBoolean = 2 };

class TQRVFormula : public TQRVPersistent, private IRxVariables
{
    Q_OBJECT
    Q_PROPERTY(QString Formula READ Formula WRITE SetFormula)
    Q_PROPERTY(double Value_Reference READ Value_Reference WRITE SetValue_Reference)
    Q_PROPERTY(double Value_Actual READ Value_Actual WRITE SetValue_Actual)

public:
    // A formula of an element (`owner`), or an owner-less evaluator that reads
    // the net of `designer`. A formula with an owner reads the net its owner
    // belongs to at the time.
    explicit TQRVFormula(TQRVObject* owner, TQRVDesigner* designer = nullptr);
    ~TQRVFormula() override;

    QString Formula() const;
    // Validating write: an invalid text is reported through the container's
    // error reporter and the previous text stays. Unchecked while the owner loads.
    void SetFormula(const QString& text);
    // Returns the error message instead of reporting it; empty on success.
    QString TrySetFormula(const QString& text);

    double Value_Reference() const { return m_reference; }
    void SetValue_Reference(double v) { m_reference = v; }

    // Evaluates now: the text's value rounded to a 64-bit float, 0 when it is
    // below 0, then made whole (fkInteger) or 0/1 (fkBoolean). Throws
    // ERxParserError when the text cannot be evaluated, including
    // floating-point faults and a formula that depends on its own value.
    double Value_Actual() const;
    void SetValue_Actual(double) {}
    // Value_Actual without exceptions: false and the message when it fails.
    bool TryValue(double& value, QString* error = nullptr) const;
    // The value of the text itself, in extended precision (what the parser returns).
    long double Evaluate() const;
    // Formulas that read other formulas (a rate reading a place's cost, which
    // reads another place's cost, ...) nest their evaluations at most this
    // deep; a longer chain fails instead of exhausting the stack.
    static constexpr int MaxReferenceDepth = 1000;

    TFormulaKind Kind() const { return m_kind; }
    void SetKind(TFormulaKind kind) { m_kind = kind; }

    // True when the value cannot change while the net's marking changes: the
    // text names no element variable (only numbers, constants, functions and RefV).
    bool IsStatic() const;

    // Copies the text of another formula (with validation), then tells the owner.
    void Assign(const TQRVFormula& source);

    // File attributes: "formula" (percent-encoded), "Value_Reference", "Value_Actual".
    void SaveToXml(TqibXMLNode& element) const;
    void LoadFromXml(const TqibXMLNode& element);
    static QString EncodeText(const QString& text);
    static QString DecodeText(const QString& text);

    // The net whose elements the text names.
    TQRVDesigner* Designer() const;
    TRxMathParser& Parser() const { return *m_parser; }

private:
    // What a variable slot of the compiled text stands for.
    struct TBinding
    {
        const IQRVVariables* Element = nullptr; // with the variable's index
        int Index = -1;
        bool Reference = false; // RefV
    };

    long double ReadVariable(int slot) const override;
    bool resolveName(const QString& name, TBinding& binding, TQRVDesigner* designer) const;
    void bind() const;

    std::unique_ptr<TRxMathParser> m_parser;
    TQRVDesigner* m_designer;
    double m_reference = 0;
    TFormulaKind m_kind = fkReal;

    // Names resolved once per compiled text and per state of the net's names.
    mutable std::vector<TBinding> m_bindings;
    mutable quint64 m_boundSerial = 0;
    mutable const TQRVDesigner* m_boundDesigner = nullptr;
    mutable quint64 m_boundGeneration = 0;
    mutable bool m_needsNet = false;
    mutable bool m_evaluating = false;
};
