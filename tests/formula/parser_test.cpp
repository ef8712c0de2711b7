// The expression language, case by case: every operator, function and error,
// evaluated by the compiled parser and by the step-by-step reference.
#include <gtest/gtest.h>

#include <QHash>

#include <cmath>
#include <cstdlib>

#include "formula/parser.h"
#include "reference_evaluator.h"

namespace {

using Real = long double;

bool testVariable(const QString& name, Real& value)
{
    static const QHash<QString, Real> values = {{"A", 2},    {"B", 3},         {"X", 0.5L},
                                                {"ZERO", 0}, {"P1_TOKENS", 7}, {"HUGE", 1e4000L}};
    auto it = values.constFind(name);
    if (it == values.constEnd())
        return false;
    value = it.value();
    return true;
}

// The value as text, or the error's message.
struct TOutcome
{
    bool Failed = false;
    Real Value = 0;
    QString Message;
};

TOutcome compiled(const QString& text)
{
    TRxMathParser parser;
    parser.OnGetVariable = testVariable;
    TOutcome o;
    try {
        o.Value = parser.Evaluate(text);
    } catch (const ERxParserError& e) {
        o.Failed = true;
        o.Message = e.Message;
    }
    return o;
}

TOutcome reference(const QString& text)
{
    TOutcome o;
    try {
        o.Value = ReferenceEvaluate(text, testVariable);
    } catch (const ERxParserError& e) {
        o.Failed = true;
        o.Message = e.Message;
    }
    return o;
}

struct TValueCase
{
    const char* Text;
    Real Value;
};

struct TErrorCase
{
    const char* Text;
    const char* Message;
};

void expectValue(const QString& text, Real value)
{
    SCOPED_TRACE(text.toStdString());
    for (const TOutcome& o : {compiled(text), reference(text)}) {
        EXPECT_FALSE(o.Failed) << o.Message.toStdString();
        EXPECT_EQ(o.Value, value);
    }
}

void expectError(const QString& text, const QString& message)
{
    SCOPED_TRACE(text.left(60).toStdString());
    for (const TOutcome& o : {compiled(text), reference(text)}) {
        EXPECT_TRUE(o.Failed) << o.Value;
        EXPECT_EQ(o.Message, message);
    }
}

const Real pi = RxMath::Pi;

// A value the compiler cannot see through: expected values of the library's
// functions must be computed by the library at run time, not folded.
Real rt(Real x)
{
    volatile Real y = x;
    return y;
}

} // namespace

TEST(Parser, EvaluatesOperatorsByLevel)
{
    const TValueCase cases[] = {
        // preparation: blanks anywhere, letters upper-cased, a leading sign
        {"1 . 5", 1.5L},
        {" 2\t*\r\n3 ", 6},
        {"a + b", 5},
        {"-3", -3},
        {"-X * 2", -1},
        {"-(2 + 3)", -5},
        {"+5", 5},
        {"1)(", 1}, // only the final bracket count matters; what follows is not read
        {"1,2", 1},
        // logic, lowest level first
        {"1 | 0", 1},
        {"0 | 0", 0},
        {"2 & 3", 1},
        {"2 & 0", 0},
        {"0 | 2 & 0", 0},
        {"1 | 0 & 0", 1},
        // comparisons
        {"1 = 1", 1},
        {"1 <> 2", 1},
        {"1 >< 1", 0},
        {"1 != 2", 1},
        {"2 > 1", 1},
        {"1 >= 1", 1},
        {"1 !< 2", 0},
        {"1 <= 1", 1},
        {"2 !> 1", 0},
        {"1 < 2", 1},
        {"1 < 2 < 3", 1},
        {"3 > 2 > 1", 0},
        {"A > B + 1", 0},
        {"A < (B + 1)", 1},
        {"B + 1 > A", 1},
        {"A < -1", 0},
        {"1 + 1 = 2 & 3 > 2", 1},
        // sums and products, grouping to the left
        {"7 - 2 - 1", 4},
        {"8 / 4 / 2", 1},
        {"2 * 3 ^ 2", 36},
        {"2 ^ 3 ^ 2", 64},
        {"1 + 2 * 3", 7},
        {"0.1 + 0.2", 0.1L + 0.2L},
        // a sign belongs to a number
        {"2 * -3", -6},
        {"2 - -3", 5},
        {"2 * +3", 6},
        // power
        {"2 ^ -1", 0.5L},
        {"0 ^ 0", 1},
        {"0 ^ 2", 0},
        {"(-2) ^ 3", -8},
        {"(-2) ^ -2", 0.25L},
        {"2 ^ 0.5", std::exp(0.5L * std::log(rt(2)))},
        {"1.0000001 ^ 3000000000", std::exp(3000000000.0L * std::log(rt(1.0000001L)))},
        {"10 ^ 4000",
         [] {
             Real r = 1, b = 10; // repeated squaring
             for (unsigned e = 4000;;) {
                 if (e & 1)
                     r *= b;
                 if ((e >>= 1) == 0)
                     break;
                 b *= b;
             }
             return r;
         }()},
    };
    for (const TValueCase& c : cases)
        expectValue(QString::fromLatin1(c.Text), c.Value);
}

TEST(Parser, ReadsNumbersConstantsAndNames)
{
    const QString digits400 = QStringLiteral("1") + QString(399, QLatin1Char('0'));
    const TValueCase cases[] = {
        {"$FF", 255},
        {"$ffffffff", -1},
        {"$80000000", -2147483648.0L},
        {"$10+1", 17},
        {".5", 0.5L},
        {"-.5", -0.5L},
        {"5.", 5},
        {"1.E2", 100},
        {"1E+2", 100},
        {"1e-2", 0.01L},
        {"1.5E3", 1500},
        {".", 0},
        {"0.1", 0.1L},
        {"1E-4940", std::strtold("1E-4940", nullptr)},
        {"E", std::exp(rt(1))},
        {"E+1", std::exp(rt(1)) + 1},
        {"PI", pi},
        {"INF", 999999999},
        {"true", 1},
        {"Opened", 1},
        {"ON", 1},
        {"OPEN", 1},
        {"False", 0},
        {"closed", 0},
        {"OFF", 0},
        {"p1_tokens", 7},
    };
    for (const TValueCase& c : cases)
        expectValue(QString::fromLatin1(c.Text), c.Value);
    expectValue(digits400, std::strtold(digits400.toLatin1().constData(), nullptr));

    const TErrorCase errors[] = {
        {"$", "Unknown Variable"},
        {"$123456789", "Unknown Variable"}, // nine digits: too long
        {"$123456789A", "Unknown Variable"},
        {"$1G", "Unknown Variable"},
        {"2X", "Unknown Variable"},
        {"1.2.3", "Unknown Variable"},
        {"1E", "Unknown Variable"},
        {"1E5000", "Unknown Variable"}, // beyond the extended range: not a number
        {"2E", "Unknown Variable"},
        {"NOPE", "Unknown Variable"},
        {"SIN 1", "Unknown Variable"}, // blanks dropped: the name SIN1
        {"SINX", "Unknown Variable"},
        {"RefV", "Unknown Variable"}, // only a formula knows its reference value
    };
    for (const TErrorCase& c : errors)
        expectError(QString::fromLatin1(c.Text), QString::fromLatin1(c.Message));
}

TEST(Parser, AppliesBuiltInFunctions)
{
    const TValueCase cases[] = {
        {"ARCTAN(1)", std::atan(rt(1))},
        {"COS(0)", 1},
        {"SIN(1)", std::sin(rt(1))},
        {"TAN(1)", std::sin(rt(1)) / std::cos(rt(1))},
        {"ABS(-2)", 2},
        {"EXP(1)", std::exp(rt(1))},
        {"LN(E)", std::log(std::exp(rt(1)))},
        {"LOG(100)", std::log(rt(100)) / std::log(rt(10))},
        {"SQRT(16)", 4},
        {"SQR(3)", 9},
        {"INT(2.5)", 2},
        {"INT(3.5)", 4},
        {"INT(-2.5)", -2},
        {"FRAC(-2.75)", -0.75L},
        {"TRUNC(-2.7)", -2},
        {"ROUND(2.5)", 2},
        {"ROUND(-3.5)", -4},
        {"ARCSIN(1)", pi / 2},
        {"ARCSIN(0.5)", std::atan(0.5L / std::sqrt(rt(1 - 0.25L)))},
        {"ARCCOS(1)", 0},
        {"ARCCOS(0)", pi / 2},
        {"SIGN(-3)", -1},
        {"SIGN(0)", 0},
        {"SIGN(2)", 1},
        {"NOT(0)", -1},
        {"NOT(1)", -2},
        {"NOT(-2.5)", 1},
        {"!(0)", 1},
        {"!(5)", 0},
        {"1 & !(0)", 1},
        {"MIN(3, 1, 2)", 1},
        {"MAX(4)", 4},
        {"MAX(1, 2.5)", 2.5L},
        {"MIN(0.1, 1)", static_cast<double>(0.1L)}, // arguments are 64-bit floats
        {"sqrt(4) + sqr(2)", 6},
        {"MAX(A, B) * 2", 6},
        {"SIN(SIN(0))", 0},
    };
    for (const TValueCase& c : cases)
        expectValue(QString::fromLatin1(c.Text), c.Value);
}

TEST(Parser, RaisesTheErrorWhereReadingFails)
{
    const TErrorCase cases[] = {
        {"", "Syntax Error"},
        {"   ", "Syntax Error"},
        {"-", "Syntax Error"},
        {"(1", "Bracketing Error"},
        {"1)", "Bracketing Error"},
        {")1(", "Syntax Error"},
        {"SIN(1", "Bracketing Error"},
        {"()", "Empty brackets"},
        {"sin()", "Function Argument Expected"},
        {"MAX()", "Function Argument Expected"},
        {"A < B + 1", "Syntax Error"},
        {"1 == 1", "Syntax Error"},
        {"1 ! 2", "Syntax Error"},
        {"1 !(0)", "Syntax Error"},
        {"2 * -X", "Syntax Error"},
        {"2 * -(3)", "Syntax Error"},
        {"2---3", "Syntax Error"},
        {"FOO(1)", "Syntax Error"},
        {"2(3)", "Syntax Error"},
        {"(1)(2)", "Syntax Error"},
        {"ABS(2)3", "Syntax Error"},
        {"(1,2)", "Bracketing Error"},
        {"SIN(1,2)", "Bracketing Error"},
        {"MIN(1,)", "Syntax Error"},
        {"1 / 0", "Division by Zero"},
        {"0 / 0", "Division by Zero"},
        {"1 / (2 - 2)", "Division by Zero"},
        {"1 / ZERO", "Division by Zero"},
        {"LN(0)", "Logarithm Error"},
        {"LOG(-1)", "Logarithm Error"},
        {"SQRT(-1)", "Square root Error"},
        {"ARCSIN(-1)", "FlOp Error"},
        {"ARCCOS(2)", "FlOp Error"},
        {"EXP(100000)", "FlOp Error"},
        {"SQR(1E3000)", "FlOp Error"},
        {"INT(1E19)", "FlOp Error"},
        {"TRUNC(-1E19)", "FlOp Error"},
        {"NOT(1E30)", "FlOp Error"},
        {"MAX(1, 1E400)", "FlOp Error"},
        {"MIN(HUGE)", "FlOp Error"},
        // floating-point faults of the operators
        {"10 ^ 4000 * 10 ^ 4000", "Floating-point overflow"},
        {"1E4932 + 1E4932", "Floating-point overflow"},
        {"10 ^ 5000", "Floating-point overflow"},
        {"2 ^ 1E10", "Floating-point overflow"},
        {"(-8) ^ (1/3)", "Invalid floating-point operation"},
        {"0 ^ -1", "Floating-point division by zero"},
        {"0 ^ -0.5", "Floating-point division by zero"},
        // the first failure in reading order wins
        {"NOPE + 1/0", "Unknown Variable"},
        {"1/0 + NOPE", "Division by Zero"},
        {"1/0 + *", "Division by Zero"},
        {"A + *", "Syntax Error"},
        {"NOPE + *", "Unknown Variable"},
        {"LN(0,1)", "Logarithm Error"},
        {"SIN(NOPE)2", "Unknown Variable"},
        {"MAX(HUGE, NOPE)", "FlOp Error"},
        {"(1/0", "Bracketing Error"},
    };
    for (const TErrorCase& c : cases)
        expectError(QString::fromLatin1(c.Text), QString::fromLatin1(c.Message));
}

TEST(Parser, BoundsTheNesting)
{
    const int max = TRxMathParser::MaxNesting;
    expectValue(QString(max, '(') + "1" + QString(max, ')'), 1);
    expectError(QString(max + 1, '(') + "1" + QString(max + 1, ')'), "Bracketing Error");
    expectValue(QString("SIN(").repeated(max) + "0" + QString(max, ')'), 0);
    expectError(QString("SIN(").repeated(max + 1) + "0" + QString(max + 1, ')'), "Bracketing Error");

    // Far beyond the bound: an error, never a stack overflow.
    const int deep = 100000;
    expectError(QString(deep, '(') + "1" + QString(deep, ')'), "Bracketing Error");
    expectError(QString("abs(").repeated(deep) + "1" + QString(deep, ')'), "Bracketing Error");
    expectError(QString(deep, '(') + "1", "Bracketing Error");
    // Pending operands of every level (a variable keeps them from being folded).
    expectValue(QString("1+(").repeated(200) + "X" + QString(200, ')'), 200.5L);
    // Long chains are read without nesting.
    expectValue(QString("1+").repeated(deep) + "1", deep + 1);
    expectValue("MAX(" + QString("1,").repeated(deep) + "2)", 2);
    expectValue(QString("1<").repeated(deep) + "1", 1); // 0, 1, 0, ...
}

TEST(Parser, KeepsTheCompiledTextUntilItChanges)
{
    TRxMathParser parser;
    Real a = 1;
    int calls = 0;
    parser.OnGetVariable = [&](const QString& name, Real& value) {
        ++calls;
        if (name != QLatin1String("A"))
            return false;
        value = a;
        return true;
    };
    EXPECT_EQ(parser.Evaluate("a * 2 + a"), 3);
    const quint64 serial = parser.ProgramSerial();
    a = 5;
    EXPECT_EQ(parser.Evaluate("a * 2 + a"), 15); // the callback is asked at every evaluation
    EXPECT_EQ(parser.ProgramSerial(), serial);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(parser.Program().Names, QStringList{"A"});
    parser.SetExpression("2 * 3 + SIN(0)");
    EXPECT_NE(parser.ProgramSerial(), serial);
    // Constant parts are computed once.
    ASSERT_EQ(parser.Program().Code.size(), 1u);
    EXPECT_EQ(parser.Program().Code[0].Op, TRxOp::Const);
    parser.SetExpression("a * (2 * 3)");
    EXPECT_EQ(parser.Program().Code.size(), 3u);
    parser.OnGetVariable = nullptr;
    EXPECT_THROW(parser.Evaluate(), ERxParserError);
}
