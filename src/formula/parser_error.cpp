#include "formula/parser_error.h"

QString RxErrorMessage(TRxError error)
{
    switch (error) {
    case TRxError::Bracketing:
        return QStringLiteral("Bracketing Error");
    case TRxError::DivisionByZero:
        return QStringLiteral("Division by Zero");
    case TRxError::Logarithm:
        return QStringLiteral("Logarithm Error");
    case TRxError::SquareRoot:
        return QStringLiteral("Square root Error");
    case TRxError::FlOp:
        return QStringLiteral("FlOp Error");
    case TRxError::Syntax:
        return QStringLiteral("Syntax Error");
    case TRxError::EmptyBrackets:
        return QStringLiteral("Empty brackets");
    case TRxError::ArgumentExpected:
        return QStringLiteral("Function Argument Expected");
    case TRxError::UnknownVariable:
        return QStringLiteral("Unknown Variable");
    case TRxError::Overflow:
        return QStringLiteral("Floating-point overflow");
    case TRxError::InvalidOperation:
        return QStringLiteral("Invalid floating-point operation");
    case TRxError::ZeroDivide:
        return QStringLiteral("Floating-point division by zero");
    case TRxError::CircularReference:
        return QStringLiteral("Circular reference");
    case TRxError::ReferenceDepth:
        return QStringLiteral("Formulas refer to each other too deeply");
    case TRxError::Custom:
        break;
    }
    return QStringLiteral("Error");
}

void RaiseRxError(TRxError error)
{
    throw ERxParserError(error);
}
