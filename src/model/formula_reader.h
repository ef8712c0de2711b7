// Reading the values of element formulas in the inner loops of the analyses.
#pragma once

#include <QString>

class TQRVFormula;

// Reads a formula's actual value like TQRVFormula::Value_Actual, but reads a
// text that is a plain number, or the reference value alone, without running
// the expression parser: such values cost no allocation and no name lookup.
// The form of the text is found again whenever the formula's text changes.
class TFormulaReader
{
public:
    // Throws what Value_Actual throws.
    double Value(const TQRVFormula& formula) const;

private:
    enum TForm : unsigned char { fmUnknown, fmNumber, fmReference, fmGeneral };
    void classify(const TQRVFormula& formula, const QString& text) const;

    mutable QString m_text; // shares the formula's text while it stays the same
    mutable TForm m_form = fmUnknown;
    mutable double m_number = 0;
};
