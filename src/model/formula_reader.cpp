#include "model/formula_reader.h"

#include <cmath>

#include "formula/formula.h"
#include "formula/parser.h"

namespace {

// The actual value of a raw result: never negative, then shaped by the kind.
double applyKind(double v, TFormulaKind kind)
{
    if (v < 0)
        v = 0;
    switch (kind) {
    case fkInteger:
        return std::trunc(v);
    case fkBoolean:
        return v != 0 ? 1 : 0;
    case fkReal:
        break;
    }
    return v;
}

// Digits with at most one decimal point (blanks are ignored, as the parser
// ignores them).
bool isPlainNumber(const QString& text)
{
    int digits = 0;
    int points = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u <= 32)
            continue;
        if (u >= u'0' && u <= u'9')
            ++digits;
        else if (u == u'.' && points == 0)
            ++points;
        else
            return false;
    }
    return digits > 0;
}

bool isReference(const QString& text)
{
    QString compact;
    for (QChar c : text)
        if (c.unicode() > 32)
            compact += c;
    return compact.compare(QLatin1String("REFV"), Qt::CaseInsensitive) == 0;
}

} // namespace

void TFormulaReader::classify(const TQRVFormula& formula) const
{
    const QString& text = formula.Parser().Expression();
    m_formula = &formula;
    m_serial = formula.Parser().ProgramSerial();
    if (isPlainNumber(text)) {
        // The evaluator's own reading of the number, once.
        m_number = static_cast<double>(formula.Evaluate());
        m_form = fmNumber;
    } else if (isReference(text)) {
        m_form = fmReference;
    } else {
        m_form = fmGeneral;
    }
}

double TFormulaReader::Value(const TQRVFormula& formula) const
{
    if (&formula != m_formula || formula.Parser().ProgramSerial() != m_serial)
        classify(formula);
    switch (m_form) {
    case fmNumber:
        return applyKind(m_number, formula.Kind());
    case fmReference:
        return applyKind(formula.Value_Reference(), formula.Kind());
    case fmGeneral:
        break;
    }
    return formula.Value_Actual();
}
