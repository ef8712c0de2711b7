// Placeholder evaluator: numbers and RefV only, until the full parser lands.
#include "formula/parser.h"

long double TRxMathParser::Evaluate(const QString& text)
{
    QString t = text;
    t.remove(QLatin1Char(' '));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok)
        return v;
    long double value = 0;
    if (OnGetVariable && OnGetVariable(t.toUpper(), value))
        return value;
    throw ERxParserError(QStringLiteral("Unknown Variable"));
}
