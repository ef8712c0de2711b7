// Reading the values of element formulas in the inner loops of the analyses.
#pragma once

#include <QtGlobal>

class TQRVFormula;

// Reads a formula's actual value like TQRVFormula::Value_Actual, but reads a
// text that is a plain number, or the reference value alone, without running
// the expression evaluator: such values cost no allocation, no name lookup
// and no touch of the text. The form of the text is found again whenever the
// formula compiles a new text.
class TFormulaReader
{
public:
    // Throws what Value_Actual throws.
    double Value(const TQRVFormula& formula) const;

private:
    enum TForm : unsigned char { fmNumber, fmReference, fmGeneral };
    void classify(const TQRVFormula& formula) const;

    mutable const TQRVFormula* m_formula = nullptr;
    mutable quint64 m_serial = 0; // the formula's program when the form was found
    mutable TForm m_form = fmGeneral;
    mutable double m_number = 0;
};
