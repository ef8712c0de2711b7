// The errors of formula evaluation. Every failure of a formula reaches the
// caller as ERxParserError, whether the text is malformed, a function is
// applied outside its domain or an operation overflows.
#pragma once

#include <QString>

#include <stdexcept>

enum class TRxError : quint8 {
    Bracketing,
    DivisionByZero,
    Logarithm,
    SquareRoot,
    FlOp,
    Syntax,
    EmptyBrackets,
    ArgumentExpected,
    UnknownVariable,
    // Floating-point faults of the operators (outside function applications).
    Overflow,
    InvalidOperation,
    ZeroDivide,
    // A formula whose value depends on itself through other elements.
    CircularReference,
    // A chain of formulas that read each other deeper than a formula may nest.
    ReferenceDepth,
    Custom // a message given as text
};

// The message of an error, as the user sees it.
QString RxErrorMessage(TRxError error);

class ERxParserError : public std::runtime_error
{
public:
    explicit ERxParserError(TRxError error)
        : std::runtime_error(RxErrorMessage(error).toStdString()), Message(RxErrorMessage(error)),
          Error(error)
    {
    }
    explicit ERxParserError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message), Error(TRxError::Custom)
    {
    }
    QString Message;
    TRxError Error;
};

[[noreturn]] void RaiseRxError(TRxError error);
