#include "formula/formula_math.h"

#include <cfloat>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace RxMath {

namespace {

const char* const functionNames[FunctionCount] = {"ARCTAN", "COS",    "SIN",  "TAN", "ABS",  "EXP",   "LN",
                                                  "LOG",    "SQRT",   "SQR",  "INT", "FRAC", "TRUNC", "ROUND",
                                                  "ARCSIN", "ARCCOS", "SIGN", "NOT", "!",    "MIN",   "MAX"};

// Integer results pass through a 64-bit signed integer.
Real throughInt64(Real v)
{
    if (!(v >= -0x1p63L && v < 0x1p63L))
        RaiseRxError(TRxError::FlOp);
    return static_cast<Real>(static_cast<long long>(v));
}

// atan(x / sqrt(1 - x*x)), the common part of ARCSIN and ARCCOS.
Real arcSinPart(Real x)
{
    const Real d = 1 - x * x;
    if (!(d > 0)) // a division by zero for x = -1, an invalid root beyond 1
        RaiseRxError(TRxError::FlOp);
    return std::atan(x / std::sqrt(d));
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

const char* FunctionName(int function)
{
    return function >= 0 && function < FunctionCount ? functionNames[function] : "";
}

Real EulerE()
{
    static const Real e = std::exp(1.0L);
    return e;
}

void RaiseFault(Real result)
{
    RaiseRxError(std::isnan(result) ? TRxError::InvalidOperation : TRxError::Overflow);
}

Real Power(Real b, Real n)
{
    if (n == 0)
        return 1;
    if (b == 0 && n > 0)
        return 0;
    if (n == std::trunc(n) && std::fabs(n) <= 2147483647.0L) {
        auto e = static_cast<unsigned long>(std::fabs(n));
        Real result = 1;
        Real base = b;
        for (;;) {
            if (e & 1)
                result *= base;
            e >>= 1;
            if (e == 0)
                break;
            base *= base;
        }
        Checked(result);
        if (n < 0) {
            if (result == 0)
                RaiseRxError(TRxError::ZeroDivide);
            result = Checked(1 / result);
        }
        return result;
    }
    if (b < 0) // the logarithm of a negative base
        RaiseRxError(TRxError::InvalidOperation);
    if (b == 0) // a negative exponent of 0
        RaiseRxError(TRxError::ZeroDivide);
    return Checked(std::exp(Checked(n * std::log(b))));
}

Real ApplyFunction(int function, Real x)
{
    Real r = 0;
    switch (function) {
    case fnArcTan:
        r = std::atan(x);
        break;
    case fnCos:
        r = std::cos(x);
        break;
    case fnSin:
        r = std::sin(x);
        break;
    case fnTan: {
        const Real c = std::cos(x);
        if (c == 0)
            RaiseRxError(TRxError::DivisionByZero);
        r = std::sin(x) / c;
        break;
    }
    case fnAbs:
        r = std::fabs(x);
        break;
    case fnExp:
        r = std::exp(x);
        break;
    case fnLn:
        if (!(x > 0))
            RaiseRxError(TRxError::Logarithm);
        r = std::log(x);
        break;
    case fnLog:
        if (!(x > 0))
            RaiseRxError(TRxError::Logarithm);
        r = std::log(x) / std::log(10.0L);
        break;
    case fnSqrt:
        if (x < 0)
            RaiseRxError(TRxError::SquareRoot);
        r = std::sqrt(x);
        break;
    case fnSqr:
        r = x * x;
        break;
    case fnInt:
    case fnRound:
        // nearbyint rounds halves to even in the default rounding mode.
        r = throughInt64(std::nearbyint(x));
        break;
    case fnFrac:
        r = x - std::trunc(x);
        break;
    case fnTrunc:
        r = throughInt64(std::trunc(x));
        break;
    case fnArcSin:
        r = x == 1 ? Pi / 2 : arcSinPart(x);
        break;
    case fnArcCos:
        r = x == 1 ? 0 : Pi / 2 - arcSinPart(x);
        break;
    case fnSign:
        r = x > 0 ? 1 : (x < 0 ? -1 : 0);
        break;
    case fnNot:
        r = ~static_cast<long long>(throughInt64(std::trunc(x)));
        break;
    case fnLogicalNot:
        r = Truth(x == 0);
        break;
    default:
        RaiseRxError(TRxError::FlOp);
    }
    if (!std::isfinite(r))
        RaiseRxError(TRxError::FlOp);
    return r;
}

bool ConvertDecimal(const char* text, int length, Real& value)
{
    // The form is checked here: strtold would also take hexadecimal,
    // "INF" and "NAN" texts.
    int i = 0;
    if (i < length && (text[i] == '+' || text[i] == '-'))
        ++i;
    const int mantissa = i;
    while (i < length && isDigit(text[i]))
        ++i;
    if (i == mantissa)
        return false;
    if (i < length && text[i] == '.') {
        const int fraction = ++i;
        while (i < length && isDigit(text[i]))
            ++i;
        if (i == fraction)
            return false;
    }
    if (i < length && text[i] == 'E') {
        ++i;
        if (i < length && (text[i] == '+' || text[i] == '-'))
            ++i;
        const int exponent = i;
        while (i < length && isDigit(text[i]))
            ++i;
        if (i == exponent)
            return false;
    }
    if (i != length)
        return false;

    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    char* end = nullptr;
    const Real v = strtold_l(text, &end, cLocale);
    if (end != text + length || std::isinf(v))
        return false; // beyond the extended range
    value = v;        // an underflow gives 0 or a denormal, as the arithmetic does
    return true;
}

} // namespace RxMath
