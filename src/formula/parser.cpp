// Compiling a formula text. Reading follows the grammar of the expression
// language level by level:
//   expression  := conjunction { "|" conjunction }
//   conjunction := comparison { "&" comparison }
//   comparison  := sum { ("=" | "<>" | "><" | "!=" | ">" | ">=" | "!<" | "<=" | "!>") sum
//                        | "<" factor }
//   sum         := product { ("+" | "-") product }
//   product     := factor { ("*" | "/" | "^") factor }
//   factor      := "(" expression ")" | number | constant | variable | function "(" arguments ")"
// and emits each operation where reading meets it. Where reading fails, the
// program raises the error after what was read before; where a part is
// constant, its value (or its error) is computed now.
#include "formula/parser.h"

#include <QHash>

#include <string>

namespace {

using RxMath::Real;

bool isDelimiter(char16_t c)
{
    switch (c) {
    case u' ':
    case u'!':
    case u'&':
    case u')':
    case u'*':
    case u'+':
    case u',':
    case u'-':
    case u'/':
    case u'<':
    case u'=':
    case u'>':
    case u'^':
    case u'|':
        return true;
    default:
        return c < 32; // the end mark and control characters
    }
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(char16_t c)
{
    return isDigit(c) || (c >= u'A' && c <= u'F');
}

class TCompiler
{
public:
    explicit TCompiler(TRxProgram& program) : m_p(program) {}
    void Compile(const QString& text);

private:
    struct TStop
    {
    };

    char16_t cur() const { return m_s[static_cast<size_t>(m_pos)]; }
    char16_t at(int i) const { return m_s[static_cast<size_t>(i)]; }
    [[noreturn]] void fail(TRxError error)
    {
        m_p.Code.push_back({TRxOp::Raise, static_cast<int>(error), 0});
        throw TStop{};
    }

    void emitConst(Real value);
    void emitVariable(const QString& name);
    void emitBinary(TRxOp op);
    void emitUnary(TRxOp op, int function = 0);
    bool lastIsConst(size_t count) const;
    void enterNested();

    void expression();
    void conjunction();
    void comparison();
    void sum();
    void product();
    void factor();
    bool number();
    bool hexNumber();
    bool decimalNumber();
    bool name();
    bool function();

    TRxProgram& m_p;
    std::vector<char16_t> m_s; // the working text, ending with the end mark 0
    int m_pos = 0;
    int m_depth = 0;
    int m_stack = 0;
    QHash<QString, int> m_slots;
};

void TCompiler::Compile(const QString& text)
{
    // Blanks and control characters are dropped, letters upper-cased; the
    // brackets are counted over the whole text first.
    int brackets = 0;
    m_s.reserve(static_cast<size_t>(text.size()) + 2);
    m_s.push_back(u'0'); // kept only before a leading sign
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == u'(')
            ++brackets;
        else if (c == u')')
            --brackets;
        if (c > 32)
            m_s.push_back(c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c);
    }
    m_s.push_back(0);
    if (brackets != 0) {
        m_p.Code.push_back({TRxOp::Raise, static_cast<int>(TRxError::Bracketing), 0});
        return;
    }
    // A leading sign acts on the whole first term: -X * 2 is 0 - X * 2.
    m_pos = (at(1) == u'+' || at(1) == u'-') ? 0 : 1;
    try {
        expression();
    } catch (const TStop&) {
    }
}

bool TCompiler::lastIsConst(size_t count) const
{
    const size_t n = m_p.Code.size();
    if (n < count)
        return false;
    for (size_t i = n - count; i < n; ++i)
        if (m_p.Code[i].Op != TRxOp::Const)
            return false;
    return true;
}

void TCompiler::emitConst(Real value)
{
    m_p.Code.push_back({TRxOp::Const, 0, value});
    if (++m_stack > m_p.StackSize)
        m_p.StackSize = m_stack;
}

void TCompiler::emitVariable(const QString& name)
{
    auto it = m_slots.constFind(name);
    int slot;
    if (it == m_slots.constEnd()) {
        slot = static_cast<int>(m_p.Names.size());
        m_p.Names.append(name);
        m_slots.insert(name, slot);
    } else {
        slot = it.value();
    }
    m_p.Code.push_back({TRxOp::Variable, slot, 0});
    if (++m_stack > m_p.StackSize)
        m_p.StackSize = m_stack;
}

void TCompiler::emitBinary(TRxOp op)
{
    if (lastIsConst(2)) {
        const Real a = m_p.Code[m_p.Code.size() - 2].Value;
        const Real b = m_p.Code.back().Value;
        m_p.Code.resize(m_p.Code.size() - 2);
        m_stack -= 2;
        Real r = 0;
        try {
            r = TRxProgram::Operate(op, a, b);
        } catch (const ERxParserError& e) {
            fail(e.Error);
        }
        emitConst(r);
        return;
    }
    m_p.Code.push_back({op, 0, 0});
    --m_stack;
}

void TCompiler::emitUnary(TRxOp op, int function)
{
    if (lastIsConst(1)) {
        const Real a = m_p.Code.back().Value;
        m_p.Code.pop_back();
        --m_stack;
        Real r = 0;
        try {
            r = op == TRxOp::Function ? RxMath::ApplyFunction(function, a) : RxMath::ToDouble(a);
        } catch (const ERxParserError& e) {
            fail(e.Error);
        }
        emitConst(r);
        return;
    }
    m_p.Code.push_back({op, function, 0});
}

void TCompiler::enterNested()
{
    if (m_depth >= TRxMathParser::MaxNesting)
        fail(TRxError::Bracketing);
    ++m_depth;
}

void TCompiler::expression()
{
    conjunction();
    while (cur() == u'|') {
        ++m_pos;
        conjunction();
        emitBinary(TRxOp::Or);
    }
    switch (cur()) {
    case 0:
    case u')':
    case u',':
    case u'!':
    case u'&':
    case u'<':
    case u'=':
    case u'>':
    case u'|':
        return;
    default:
        fail(TRxError::Syntax);
    }
}

void TCompiler::conjunction()
{
    comparison();
    while (cur() == u'&') {
        ++m_pos;
        comparison();
        emitBinary(TRxOp::And);
    }
}

void TCompiler::comparison()
{
    sum();
    for (;;) {
        const char16_t c = cur();
        TRxOp op;
        if (c == u'=') {
            ++m_pos;
            op = TRxOp::Equal;
        } else if (c == u'<') {
            ++m_pos;
            if (cur() == u'>') {
                ++m_pos;
                op = TRxOp::NotEqual;
            } else if (cur() == u'=') {
                ++m_pos;
                op = TRxOp::LessEqual;
            } else {
                // A plain "<" compares with a single factor.
                factor();
                emitBinary(TRxOp::Less);
                continue;
            }
        } else if (c == u'>') {
            ++m_pos;
            if (cur() == u'<') {
                ++m_pos;
                op = TRxOp::NotEqual;
            } else if (cur() == u'=') {
                ++m_pos;
                op = TRxOp::GreaterEqual;
            } else {
                op = TRxOp::Greater;
            }
        } else if (c == u'!') {
            ++m_pos;
            if (cur() == u'=')
                op = TRxOp::NotEqual;
            else if (cur() == u'<')
                op = TRxOp::GreaterEqual;
            else if (cur() == u'>')
                op = TRxOp::LessEqual;
            else
                fail(TRxError::Syntax); // "!" alone is no operator
            ++m_pos;
        } else {
            return;
        }
        sum();
        emitBinary(op);
    }
}

void TCompiler::sum()
{
    product();
    for (;;) {
        const char16_t c = cur();
        if (c != u'+' && c != u'-')
            return;
        ++m_pos;
        product();
        emitBinary(c == u'+' ? TRxOp::Add : TRxOp::Subtract);
    }
}

void TCompiler::product()
{
    factor();
    for (;;) {
        const char16_t c = cur();
        TRxOp op;
        if (c == u'*')
            op = TRxOp::Multiply;
        else if (c == u'/')
            op = TRxOp::Divide;
        else if (c == u'^')
            op = TRxOp::Power;
        else
            return;
        ++m_pos;
        factor();
        emitBinary(op);
    }
}

void TCompiler::factor()
{
    if (cur() == u'(') {
        ++m_pos;
        if (cur() == u')')
            fail(TRxError::EmptyBrackets);
        enterNested();
        expression();
        --m_depth;
        if (cur() != u')')
            fail(TRxError::Bracketing);
        ++m_pos;
        return;
    }
    if (number() || name() || function())
        return;
    fail(TRxError::Syntax);
}

bool TCompiler::number()
{
    const char16_t c = cur();
    if (c == u'$')
        return hexNumber();
    if (c == u'+' || c == u'-' || c == u'.' || isDigit(c))
        return decimalNumber();
    return false;
}

bool TCompiler::hexNumber()
{
    int i = m_pos + 1;
    while (isHexDigit(at(i)))
        ++i;
    const int length = i - m_pos; // with the "$"
    if (length < 2 || length > 9 || !isDelimiter(at(i)))
        return false;
    quint32 v = 0;
    for (int k = m_pos + 1; k < i; ++k) {
        const char16_t d = at(k);
        v = v * 16 + static_cast<quint32>(isDigit(d) ? d - u'0' : d - u'A' + 10);
    }
    m_pos = i;
    emitConst(static_cast<qint32>(v));
    return true;
}

bool TCompiler::decimalNumber()
{
    std::string text;
    int i = m_pos;
    if (at(i) == u'+' || at(i) == u'-')
        text += static_cast<char>(at(i++));
    if (at(i) == u'.')
        text += '0'; // .5 is 0.5, -.5 is -0.5
    bool exponent = false;
    for (;;) {
        const char16_t c = at(i);
        if (isDigit(c) || c == u'.') {
            text += static_cast<char>(c);
            ++i;
        } else if (c == u'E') {
            if (!text.empty() && text.back() == '.')
                text += '0'; // 1.E5 is 1.0E5
            text += 'E';
            exponent = true;
            ++i;
            if (at(i) == u'+' || at(i) == u'-')
                text += static_cast<char>(at(i++));
        } else {
            break;
        }
    }
    if (!text.empty() && text.back() == '.' && !exponent)
        text += '0'; // 5. is 5.0
    Real value = 0;
    if (!isDelimiter(at(i)) || !RxMath::ConvertDecimal(text.c_str(), static_cast<int>(text.size()), value))
        return false; // not a number: 2X is read as a name
    m_pos = i;
    emitConst(value);
    return true;
}

bool TCompiler::name()
{
    int i = m_pos;
    while (!isDelimiter(at(i)) && at(i) != u'(')
        ++i;
    if (at(i) == u'(' || i == m_pos)
        return false; // a function call, or nothing
    const QString name = QString::fromUtf16(m_s.data() + m_pos, static_cast<qsizetype>(i - m_pos));
    m_pos = i;
    if (name == QLatin1String("E"))
        emitConst(RxMath::EulerE());
    else if (name == QLatin1String("PI"))
        emitConst(RxMath::Pi);
    else if (name == QLatin1String("INF"))
        emitConst(999999999);
    else if (name == QLatin1String("TRUE") || name == QLatin1String("OPEN") ||
             name == QLatin1String("OPENED") || name == QLatin1String("ON"))
        emitConst(1);
    else if (name == QLatin1String("FALSE") || name == QLatin1String("CLOSED") ||
             name == QLatin1String("OFF"))
        emitConst(0);
    else
        emitVariable(name);
    return true;
}

bool TCompiler::function()
{
    const char16_t c = cur();
    if (!(c == u'!' || (c >= u'A' && c <= u'Z') || c == u'_'))
        return false;
    int f = 0;
    int length = 0;
    for (; f < RxMath::FunctionCount; ++f) {
        const char* name = RxMath::FunctionName(f);
        length = 0;
        while (name[length] && at(m_pos + length) == static_cast<char16_t>(name[length]))
            ++length;
        if (!name[length] && at(m_pos + length) == u'(')
            break;
    }
    if (f == RxMath::FunctionCount)
        return false;
    m_pos += length + 1;
    if (cur() == u')')
        fail(TRxError::ArgumentExpected);
    enterNested();
    if (f == RxMath::fnMin || f == RxMath::fnMax) {
        const TRxOp op = f == RxMath::fnMin ? TRxOp::Min : TRxOp::Max;
        expression();
        emitUnary(TRxOp::ToDouble);
        while (cur() == u',') {
            ++m_pos;
            expression();
            emitUnary(TRxOp::ToDouble);
            emitBinary(op);
        }
    } else {
        expression();
        emitUnary(TRxOp::Function, f);
    }
    --m_depth;
    if (cur() != u')')
        fail(TRxError::Bracketing);
    ++m_pos;
    return true;
}

// Names go to the parser's callback at every evaluation.
class TCallbackVariables : public IRxVariables
{
public:
    explicit TCallbackVariables(const TRxMathParser& parser) : m_parser(parser) {}
    long double ReadVariable(int slot) const override
    {
        long double value = 0;
        if (m_parser.OnGetVariable && m_parser.OnGetVariable(m_parser.Program().Names.at(slot), value))
            return value;
        RaiseRxError(TRxError::UnknownVariable);
    }

private:
    const TRxMathParser& m_parser;
};

} // namespace

namespace {
// The program of the empty text, compiled once: compiling it raises (and
// catches) an error, which would cost every new formula that much.
const std::shared_ptr<const TRxProgram>& emptyProgram()
{
    static const std::shared_ptr<const TRxProgram> program = TRxMathParser::Compile(QString());
    return program;
}
} // namespace

TRxMathParser::TRxMathParser() : m_program(emptyProgram()), m_serial(1) {}

TRxMathParser::~TRxMathParser() = default;

std::unique_ptr<TRxProgram> TRxMathParser::Compile(const QString& text)
{
    auto program = std::make_unique<TRxProgram>();
    TCompiler(*program).Compile(text);
    return program;
}

void TRxMathParser::SetExpression(const QString& text)
{
    if (text == m_expression)
        return;
    // A net holds thousands of formulas with the same few texts ("RefV" above
    // all): the program of the text compiled last is shared, not compiled again.
    // The formula changes only once nothing can fail any more, so that
    // running out of memory leaves it whole.
    thread_local QString lastText;
    thread_local std::shared_ptr<const TRxProgram> lastProgram;
    std::shared_ptr<const TRxProgram> program;
    if (lastProgram && text == lastText) {
        program = lastProgram;
    } else {
        program = Compile(text);
        lastProgram = program;
        lastText = text;
    }
    m_program = std::move(program);
    m_expression = text;
    ++m_serial;
}

long double TRxMathParser::Evaluate(const QString& text)
{
    SetExpression(text);
    return Evaluate();
}

long double TRxMathParser::Evaluate() const
{
    return m_program->Run(TCallbackVariables(*this));
}
