#include "reference_evaluator.h"

#include <string>

#include "formula/formula_math.h"
#include "formula/parser.h"

namespace {

using RxMath::Real;

class TReference
{
public:
    TReference(const QString& text, const TReferenceVariables& variables) : m_variables(variables)
    {
        int count = 0;
        for (QChar c : text) {
            if (c == QLatin1Char('('))
                ++count;
            if (c == QLatin1Char(')'))
                --count;
            if (c.unicode() > 32)
                m_text += (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? c.toUpper() : c;
        }
        m_balanced = count == 0;
        m_text += QChar(0);
        if (m_text.startsWith(QLatin1Char('+')) || m_text.startsWith(QLatin1Char('-')))
            m_text.prepend(QLatin1Char('0'));
    }

    Real Run()
    {
        if (!m_balanced)
            RaiseRxError(TRxError::Bracketing);
        return level1();
    }

private:
    QChar cur() const { return m_text.at(m_pos); }
    bool curIs(char c) const { return cur() == QLatin1Char(c); }

    static bool ends(QChar c) { return c.unicode() < 32 || QStringLiteral(" !&)*+,-/<=>^|").contains(c); }

    Real level1()
    {
        Real r = level2();
        while (curIs('|')) {
            ++m_pos;
            const Real b = level2();
            r = (r != 0 || b != 0) ? 1 : 0;
        }
        if (!(cur().unicode() == 0 || QStringLiteral("),!&<=>|").contains(cur())))
            RaiseRxError(TRxError::Syntax);
        return r;
    }

    Real level2()
    {
        Real r = level3();
        while (curIs('&')) {
            ++m_pos;
            const Real b = level3();
            r = (r != 0 && b != 0) ? 1 : 0;
        }
        return r;
    }

    Real level3()
    {
        Real r = level4();
        for (;;) {
            if (curIs('=')) {
                ++m_pos;
                r = r == level4() ? 1 : 0;
            } else if (curIs('<')) {
                ++m_pos;
                if (curIs('>')) {
                    ++m_pos;
                    r = r != level4() ? 1 : 0;
                } else if (curIs('=')) {
                    ++m_pos;
                    r = r <= level4() ? 1 : 0;
                } else {
                    r = r < level6() ? 1 : 0;
                }
            } else if (curIs('>')) {
                ++m_pos;
                if (curIs('<')) {
                    ++m_pos;
                    r = r != level4() ? 1 : 0;
                } else if (curIs('=')) {
                    ++m_pos;
                    r = r >= level4() ? 1 : 0;
                } else {
                    r = r > level4() ? 1 : 0;
                }
            } else if (curIs('!')) {
                ++m_pos;
                if (curIs('=')) {
                    ++m_pos;
                    r = r != level4() ? 1 : 0;
                } else if (curIs('<')) {
                    ++m_pos;
                    r = r >= level4() ? 1 : 0;
                } else if (curIs('>')) {
                    ++m_pos;
                    r = r <= level4() ? 1 : 0;
                } else {
                    RaiseRxError(TRxError::Syntax);
                }
            } else {
                return r;
            }
        }
    }

    Real level4()
    {
        Real r = level5();
        while (curIs('+') || curIs('-')) {
            const bool plus = curIs('+');
            ++m_pos;
            const Real b = level5();
            r = RxMath::Checked(plus ? r + b : r - b);
        }
        return r;
    }

    Real level5()
    {
        Real r = level6();
        while (curIs('*') || curIs('/') || curIs('^')) {
            const char op = static_cast<char>(cur().unicode());
            ++m_pos;
            const Real b = level6();
            if (op == '*') {
                r = RxMath::Checked(r * b);
            } else if (op == '/') {
                if (b == 0)
                    RaiseRxError(TRxError::DivisionByZero);
                r = RxMath::Checked(r / b);
            } else {
                r = RxMath::Power(r, b);
            }
        }
        return r;
    }

    void nest()
    {
        if (m_depth >= TRxMathParser::MaxNesting)
            RaiseRxError(TRxError::Bracketing);
        ++m_depth;
    }

    Real level6()
    {
        if (curIs('(')) {
            ++m_pos;
            if (curIs(')'))
                RaiseRxError(TRxError::EmptyBrackets);
            nest();
            const Real r = level1();
            --m_depth;
            if (!curIs(')'))
                RaiseRxError(TRxError::Bracketing);
            ++m_pos;
            return r;
        }
        Real r = 0;
        if (readNumber(r) || readName(r) || readFunction(r))
            return r;
        RaiseRxError(TRxError::Syntax);
    }

    bool readNumber(Real& value)
    {
        const int start = m_pos;
        if (curIs('$')) {
            ++m_pos;
            QString digits;
            while ((cur() >= QLatin1Char('0') && cur() <= QLatin1Char('9')) ||
                   (cur() >= QLatin1Char('A') && cur() <= QLatin1Char('F'))) {
                digits += cur();
                ++m_pos;
            }
            bool ok = false;
            const quint32 v = digits.toUInt(&ok, 16);
            if (ok && !digits.isEmpty() && digits.size() <= 8 && ends(cur())) {
                value = static_cast<qint32>(v);
                return true;
            }
            m_pos = start;
            return false;
        }
        if (!(curIs('+') || curIs('-') || curIs('.') ||
              (cur() >= QLatin1Char('0') && cur() <= QLatin1Char('9'))))
            return false;
        std::string s;
        if (curIs('+') || curIs('-')) {
            s += static_cast<char>(cur().unicode());
            ++m_pos;
        }
        if (curIs('.'))
            s += '0';
        while ((cur() >= QLatin1Char('0') && cur() <= QLatin1Char('9')) || curIs('.') || curIs('E')) {
            if (curIs('E')) {
                if (!s.empty() && s.back() == '.')
                    s += '0';
                s += 'E';
                ++m_pos;
                if (curIs('+') || curIs('-')) {
                    s += static_cast<char>(cur().unicode());
                    ++m_pos;
                }
            } else {
                s += static_cast<char>(cur().unicode());
                ++m_pos;
            }
        }
        if (!s.empty() && s.back() == '.' && s.find('E') == std::string::npos)
            s += '0';
        if (ends(cur()) && RxMath::ConvertDecimal(s.c_str(), static_cast<int>(s.size()), value))
            return true;
        m_pos = start;
        return false;
    }

    bool readName(Real& value)
    {
        int end = m_pos;
        while (!ends(m_text.at(end)) && m_text.at(end) != QLatin1Char('('))
            ++end; // (a run holding "(" is no name: no need to read it all)
        const QString name = m_text.mid(m_pos, end - m_pos);
        if (name.isEmpty() || m_text.at(end) == QLatin1Char('('))
            return false;
        m_pos = end;
        if (name == QLatin1String("E"))
            value = std::exp(1.0L);
        else if (name == QLatin1String("PI"))
            value = RxMath::Pi;
        else if (name == QLatin1String("INF"))
            value = 999999999;
        else if (QStringList{"TRUE", "OPEN", "OPENED", "ON"}.contains(name))
            value = 1;
        else if (QStringList{"FALSE", "CLOSED", "OFF"}.contains(name))
            value = 0;
        else if (!m_variables || !m_variables(name, value))
            RaiseRxError(TRxError::UnknownVariable);
        return true;
    }

    bool readFunction(Real& value)
    {
        const QChar c = cur();
        if (!(c == QLatin1Char('!') || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
              c == QLatin1Char('_')))
            return false;
        for (int f = 0; f < RxMath::FunctionCount; ++f) {
            const QString name = QString::fromLatin1(RxMath::FunctionName(f));
            if (!QStringView(m_text).mid(m_pos).startsWith(QString(name + QLatin1Char('('))))
                continue;
            m_pos += static_cast<int>(name.size()) + 1;
            if (curIs(')'))
                RaiseRxError(TRxError::ArgumentExpected);
            nest();
            if (f == RxMath::fnMin || f == RxMath::fnMax) {
                QList<double> list;
                list << static_cast<double>(RxMath::ToDouble(level1()));
                while (curIs(',')) {
                    ++m_pos;
                    list << static_cast<double>(RxMath::ToDouble(level1()));
                }
                if (!(cur().unicode() == 0 || QStringLiteral("!&),<=>|").contains(cur())))
                    RaiseRxError(TRxError::Syntax);
                double m = list.first();
                for (double v : list)
                    if (f == RxMath::fnMin ? v < m : v > m)
                        m = v;
                value = m;
            } else {
                value = RxMath::ApplyFunction(f, level1());
            }
            --m_depth;
            if (!curIs(')'))
                RaiseRxError(TRxError::Bracketing);
            ++m_pos;
            return true;
        }
        return false;
    }

    const TReferenceVariables& m_variables;
    QString m_text;
    bool m_balanced = true;
    int m_pos = 0;
    int m_depth = 0;
};

} // namespace

long double ReferenceEvaluate(const QString& text, const TReferenceVariables& variables)
{
    return TReference(text, variables).Run();
}
