// Formula-valued attributes: a text in the expression language, a reference
// value and a value kind. Reading Value_Actual evaluates the text now.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "model/qrv_object.h"

class TQRVDesigner;
class TqibXMLNode;
class TRxMathParser;

enum TFormulaKind : quint8 { fkInteger = 0, fkReal = 1, fkBoolean = 2 };

class TQRVFormula : public TQRVPersistent
{
    Q_OBJECT
    Q_PROPERTY(QString Formula READ Formula WRITE SetFormula)
    Q_PROPERTY(double Value_Reference READ Value_Reference WRITE SetValue_Reference)
    Q_PROPERTY(double Value_Actual READ Value_Actual WRITE SetValue_Actual)

public:
    // A formula of an element (`owner`), or an owner-less evaluator that reads
    // the net of `designer` (the owner's container when an owner is given).
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

    // Evaluates now. Throws ERxParserError (or TFormulaFault for a
    // floating-point fault) when the text cannot be evaluated.
    double Value_Actual() const;
    void SetValue_Actual(double) {}
    // Value_Actual without exceptions: false and the message when it fails.
    bool TryValue(double& value, QString* error = nullptr) const;

    TFormulaKind Kind() const { return m_kind; }
    void SetKind(TFormulaKind kind) { m_kind = kind; }

    // True when the value cannot change while the net's marking changes
    // (no names of other elements in the text): analyses may evaluate it once.
    bool IsStatic() const;

    // Copies the text of another formula (with validation), then tells the owner.
    void Assign(const TQRVFormula& source);

    // File attributes: "formula" (percent-encoded), "Value_Reference", "Value_Actual".
    void SaveToXml(TqibXMLNode& element) const;
    void LoadFromXml(const TqibXMLNode& element);
    static QString EncodeText(const QString& text);
    static QString DecodeText(const QString& text);

    TQRVDesigner* Designer() const { return m_designer; }
    TRxMathParser& Parser() const { return *m_parser; }

private:
    std::unique_ptr<TRxMathParser> m_parser;
    TQRVDesigner* m_designer;
    double m_reference = 0;
    TFormulaKind m_kind = fkReal;
};
