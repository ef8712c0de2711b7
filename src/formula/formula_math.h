// The arithmetic of formulas: operators, the power rule, the built-in
// functions and number literals, all in 80-bit extended precision. Both the
// compiler (when it folds constant parts) and the evaluator use these, so a
// folded part gives exactly what its evaluation would give.
#pragma once

#include <cmath>

#include "formula/parser_error.h"

namespace RxMath {

using Real = long double;

// Built-in functions, in the order in which their names are tried.
enum TFunction : int {
    fnArcTan,
    fnCos,
    fnSin,
    fnTan,
    fnAbs,
    fnExp,
    fnLn,
    fnLog,
    fnSqrt,
    fnSqr,
    fnInt,
    fnFrac,
    fnTrunc,
    fnRound,
    fnArcSin,
    fnArcCos,
    fnSign,
    fnNot,
    fnLogicalNot,
    fnMin,
    fnMax,
    FunctionCount
};
// Upper-case names ("ARCTAN" .. "MAX"; "!" for the logical not).
const char* FunctionName(int function);

constexpr Real Pi = 3.14159265358979323846264338327950288L;
// The value of the constant E (computed once as exp(1)).
Real EulerE();

// Raises the fault of a result that is not a finite number.
[[noreturn]] void RaiseFault(Real result);

// A result of an operator: overflow or an invalid operation is a fault.
inline Real Checked(Real r)
{
    if (!std::isfinite(r))
        RaiseFault(r);
    return r;
}

inline Real Add(Real a, Real b)
{
    return Checked(a + b);
}
inline Real Subtract(Real a, Real b)
{
    return Checked(a - b);
}
inline Real Multiply(Real a, Real b)
{
    return Checked(a * b);
}
inline Real Divide(Real a, Real b)
{
    if (b == 0)
        RaiseRxError(TRxError::DivisionByZero);
    return Checked(a / b);
}
// b ^ n: 1 for n = 0; 0 for b = 0 and n > 0; repeated squaring for whole n
// with |n| <= 2147483647 (1 / b^-n for negative n); exp(n * ln b) otherwise.
Real Power(Real b, Real n);

inline Real Truth(bool v)
{
    return v ? 1.0L : 0.0L;
}

// Applies a built-in function other than MIN and MAX. Errors: "Division by
// Zero" (TAN), "Logarithm Error", "Square root Error", and "FlOp Error" for
// any other failure.
Real ApplyFunction(int function, Real x);

// Whether a value stays finite when it is rounded to a 64-bit float: values
// from the largest double plus half its spacing on round to infinity.
inline bool FitsDouble(Real x)
{
    return std::fabs(x) < 0x1.fffffffffffff8p+1023L;
}

// An argument of MIN or MAX, rounded to a 64-bit float ("FlOp Error" when
// it does not fit).
inline Real ToDouble(Real x)
{
    if (!FitsDouble(x))
        RaiseRxError(TRxError::FlOp);
    return static_cast<double>(x);
}

// Converts the complete text as a decimal number: [+-]digits[.digits][E[+-]digits].
// False when the text has another form or the value is beyond the extended range.
bool ConvertDecimal(const char* text, int length, Real& value);

} // namespace RxMath
