// Random texts, well-formed and malformed: the compiled parser agrees with
// the step-by-step reference (same value or same message), and every failure
// carries one of the known messages.
#include <gtest/gtest.h>

#include <QHash>
#include <QSet>

#include <cstring>
#include <random>

#include "formula/parser.h"
#include "reference_evaluator.h"

namespace {

using Real = long double;

bool randomVariable(const QString& name, Real& value)
{
    static const QHash<QString, Real> values = {{"A", 2},          {"B", -3},        {"X", 0.5L},
                                                {"ZERO", 0},       {"BIG", 1e300L},  {"HUGE", 1e4000L},
                                                {"TINY", 1e-300L}, {"P1_TOKENS", 7}, {"REFV", 1.25L}};
    auto it = values.constFind(name);
    if (it == values.constEnd())
        return false;
    value = it.value();
    return true;
}

const QSet<QString>& knownMessages()
{
    static const QSet<QString> messages = {"Bracketing Error",
                                           "Division by Zero",
                                           "Logarithm Error",
                                           "Square root Error",
                                           "FlOp Error",
                                           "Syntax Error",
                                           "Empty brackets",
                                           "Function Argument Expected",
                                           "Unknown Variable",
                                           "Floating-point overflow",
                                           "Invalid floating-point operation",
                                           "Floating-point division by zero"};
    return messages;
}

struct TResult
{
    bool Failed = false;
    Real Value = 0;
    QString Message;
    bool operator==(const TResult& o) const
    {
        if (Failed != o.Failed)
            return false;
        if (Failed)
            return Message == o.Message;
        // The same bits: equal values with the same sign (of zero, too).
        return Value == o.Value && std::signbit(Value) == std::signbit(o.Value);
    }
};

std::string describe(const TResult& r)
{
    if (r.Failed)
        return "error \"" + r.Message.toStdString() + "\"";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.21Lg", r.Value);
    return buf;
}

TResult viaParser(TRxMathParser& parser, const QString& text)
{
    TResult r;
    try {
        r.Value = parser.Evaluate(text);
    } catch (const ERxParserError& e) {
        r.Failed = true;
        r.Message = e.Message;
    }
    return r;
}

TResult viaReference(const QString& text)
{
    TResult r;
    try {
        r.Value = ReferenceEvaluate(text, randomVariable);
    } catch (const ERxParserError& e) {
        r.Failed = true;
        r.Message = e.Message;
    }
    return r;
}

// Texts built from pieces of the language, mostly with balanced brackets.
class TTextGenerator
{
public:
    explicit TTextGenerator(unsigned seed) : m_random(seed) {}

    QString Next()
    {
        std::uniform_int_distribution<int> percent(0, 99);
        if (percent(m_random) < 50) {
            QString text = Expression(4);
            if (percent(m_random) < 30) { // and a small mistake
                std::uniform_int_distribution<int> at(0, static_cast<int>(text.size()));
                text.insert(at(m_random), Soup(1));
            }
            return text;
        }
        return Soup(14);
    }

    // A well-formed expression (numbers, names, operators, brackets, functions).
    QString Expression(int depth)
    {
        static const char* const atoms[] = {"0",    "1",   "2",         "3.5",   ".5", "1E3", "2e-3",
                                            "$FF",  "0.1", "-1",        "1E400", "A",  "B",   "X",
                                            "ZERO", "BIG", "HUGE",      "TINY",  "E",  "PI",  "INF",
                                            "TRUE", "off", "P1_TOKENS", "refv",  "-.5"};
        static const char* const operators[] = {"+", "-",  "*",  "/",  "^", "&", "|", "=", "<>",
                                                ">", ">=", "<=", "!=", "<", "+", "-", "*", "/"};
        static const char* const functions[] = {
            "ARCTAN(", "COS(",  "SIN(",   "TAN(",   "ABS(",    "EXP(",    "LN(",   "LOG(", "SQRT(", "SQR(",
            "INT(",    "FRAC(", "TRUNC(", "ROUND(", "ARCSIN(", "ARCCOS(", "SIGN(", "NOT(", "!("};
        auto pick = [this](auto& list) {
            std::uniform_int_distribution<int> d(0, static_cast<int>(std::size(list)) - 1);
            return QString::fromLatin1(list[d(m_random)]);
        };
        std::uniform_int_distribution<int> percent(0, 99);
        const int p = percent(m_random);
        if (depth <= 0 || p < 30)
            return pick(atoms);
        if (p < 60)
            return Expression(depth - 1) + pick(operators) + Expression(depth - 1);
        if (p < 70)
            return "(" + Expression(depth - 1) + ")";
        if (p < 88)
            return pick(functions) + Expression(depth - 1) + ")";
        QString list = (p < 94 ? "MIN(" : "MAX(") + Expression(depth - 1);
        for (int n = percent(m_random) % 3; n > 0; --n)
            list += "," + Expression(depth - 1);
        return list + ")";
    }

    // Pieces of the language in any order, mostly with balanced brackets.
    QString Soup(int maxLength)
    {
        static const char* const pieces[] = {
            // numbers
            "0", "1", "2", "3.5", ".5", "5.", "1E3", "1.E2", "2e-3", "1E", "1E+", "$FF", "$ffffffff", "$1G",
            "$123456789A", "1E400", "1E5000", "0.1", "-1", "+2", "-.5", "1.2.3", "4", "10", "255", "1E4932",
            // names and constants
            "A", "B", "X", "ZERO", "BIG", "HUGE", "TINY", "E", "PI", "INF", "TRUE", "off", "P1_TOKENS",
            "NOPE", "2X", "refv", "p1_tokens",
            // operators
            "+", "-", "*", "/", "^", "&", "|", "=", "<>", "><", "!=", ">", ">=", "!<", "<=", "!>", "<",
            "==", "!", "+", "-", "*", "/", "^",
            // brackets and lists
            "(", "(", ")", ")", "()", ",",
            // blanks
            " ", "\t",
            // functions
            "ARCTAN(", "COS(", "SIN(", "TAN(", "ABS(", "EXP(", "LN(", "LOG(", "SQRT(", "SQR(", "INT(",
            "FRAC(", "TRUNC(", "ROUND(", "ARCSIN(", "ARCCOS(", "SIGN(", "NOT(", "!(", "MIN(", "MAX(", "min(",
            "Sqrt (", "SIN"};
        constexpr int count = sizeof pieces / sizeof pieces[0];
        std::uniform_int_distribution<int> pick(0, count - 1);
        std::uniform_int_distribution<int> length(1, maxLength);
        std::uniform_int_distribution<int> percent(0, 99);
        QString text;
        const int n = length(m_random);
        for (int i = 0; i < n; ++i) {
            const int p = percent(m_random);
            if (p < 3)
                text += QChar(static_cast<char16_t>(33 + percent(m_random)));
            else if (p < 4)
                text += QChar(static_cast<char16_t>(128 + 127 * percent(m_random) / 99));
            else if (p < 5)
                text += QChar(static_cast<char16_t>(0x100 + 50 * percent(m_random)));
            else
                text += QString::fromLatin1(pieces[pick(m_random)]);
        }
        // Mostly balanced, so that reading gets past the bracket count.
        if (percent(m_random) < 85) {
            int open = 0;
            for (QChar c : text)
                open += c == '(' ? 1 : (c == ')' ? -1 : 0);
            if (open > 0)
                text += QString(open, ')');
            else if (open < 0)
                text.prepend(QString(-open, '('));
        }
        return text;
    }

    // Any characters at all.
    QString Bytes()
    {
        std::uniform_int_distribution<int> length(0, 40);
        std::uniform_int_distribution<int> byte(0, 255);
        std::uniform_int_distribution<int> unit(0, 0xFFFF);
        const bool wide = byte(m_random) < 32;
        QString text;
        const int n = length(m_random);
        for (int i = 0; i < n; ++i)
            text += QChar(static_cast<char16_t>(wide ? unit(m_random) : byte(m_random)));
        return text;
    }

private:
    std::mt19937 m_random;
};

void compare(TRxMathParser& parser, const QString& text, int& failures)
{
    const TResult compiled = viaParser(parser, text);
    const TResult expected = viaReference(text);
    if (!(compiled == expected) && ++failures <= 20)
        ADD_FAILURE() << "text \"" << text.toStdString() << "\": compiled gives " << describe(compiled)
                      << ", reference gives " << describe(expected);
    if (compiled.Failed && !knownMessages().contains(compiled.Message) && ++failures <= 20)
        ADD_FAILURE() << "text \"" << text.toStdString() << "\": unknown message "
                      << compiled.Message.toStdString();
}

} // namespace

TEST(ParserRandom, CompiledTextsAgreeWithTheReference)
{
    TTextGenerator generator(20240611);
    TRxMathParser parser;
    parser.OnGetVariable = randomVariable;
    int failures = 0;
    int values = 0;
    for (int i = 0; i < 40000; ++i) {
        const QString text = generator.Next();
        compare(parser, text, failures);
        try {
            parser.Evaluate(text);
            ++values;
        } catch (const ERxParserError&) {
        }
    }
    EXPECT_EQ(failures, 0);
    // The texts reach well past the first error often enough to mean something.
    EXPECT_GT(values, 8000);
}

TEST(ParserRandom, AnyCharactersGiveAValueOrAMessage)
{
    TTextGenerator generator(7);
    TRxMathParser parser;
    parser.OnGetVariable = randomVariable;
    int failures = 0;
    for (int i = 0; i < 5000; ++i)
        compare(parser, generator.Bytes(), failures);
    EXPECT_EQ(failures, 0);
}

TEST(ParserRandom, HugeTextsStayLinear)
{
    TRxMathParser parser;
    parser.OnGetVariable = randomVariable;
    // A 400-digit number, a million-digit one, a long name, hexadecimal runs.
    EXPECT_EQ(parser.Evaluate(QString(400, '9')),
              std::strtold(QString(400, '9').toLatin1().constData(), nullptr));
    EXPECT_THROW(parser.Evaluate(QString(1000000, '9')), ERxParserError); // beyond the range: a name
    EXPECT_THROW(parser.Evaluate(QString(1000000, 'Q')), ERxParserError);
    EXPECT_THROW(parser.Evaluate("$" + QString(1000000, 'F')), ERxParserError);
    EXPECT_THROW(parser.Evaluate(QString("SIN(").repeated(250000)), ERxParserError);
    EXPECT_THROW(parser.Evaluate(QString("SIN(").repeated(250000) + QString(250000, ')')), ERxParserError);
    EXPECT_EQ(parser.Evaluate(QString("X*").repeated(300000) + "0"), 0);
    try {
        parser.Evaluate(QString("A*").repeated(300000) + "1");
        ADD_FAILURE() << "2^300000 must overflow";
    } catch (const ERxParserError& e) {
        EXPECT_EQ(e.Message, "Floating-point overflow");
    }
}
