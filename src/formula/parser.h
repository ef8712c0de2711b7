// The expression parser of formulas.
#pragma once

#include <QString>
#include <functional>
#include <stdexcept>

// An expression error; Message is one of the parser's messages.
class ERxParserError : public std::runtime_error
{
public:
    explicit ERxParserError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message)
    {
    }
    QString Message;
};

class TRxMathParser
{
public:
    // Resolves a name that is neither a constant nor a function: returns true
    // and sets `value` when it knows the name (upper case, as in the text).
    using VariableCallback = std::function<bool(const QString& name, long double& value)>;
    VariableCallback OnGetVariable;

    QString Expression() const { return m_expression; }
    void SetExpression(const QString& text) { m_expression = text; }

    long double Evaluate(const QString& text);
    long double Evaluate() { return Evaluate(m_expression); }

private:
    QString m_expression;
};
