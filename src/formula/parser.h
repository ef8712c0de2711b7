// The expression parser of formulas. A text is compiled once into a program
// (expression.h) that is kept until the text changes; every evaluation runs
// the program.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "formula/expression.h"
#include "formula/parser_error.h"

class TRxMathParser
{
public:
    // Resolves a name that is neither a constant nor a function: returns true
    // and sets `value` when it knows the name (upper case, as in the text).
    using VariableCallback = std::function<bool(const QString& name, long double& value)>;
    VariableCallback OnGetVariable;

    // Brackets and function calls nest at most this deep; a deeper text
    // fails with "Bracketing Error".
    static constexpr int MaxNesting = 256;

    TRxMathParser();
    ~TRxMathParser();

    const QString& Expression() const { return m_expression; }
    // Sets the text; it is compiled when it differs from the current one.
    void SetExpression(const QString& text);

    // Sets the text and evaluates it.
    long double Evaluate(const QString& text);
    // Evaluates the current text; names go to OnGetVariable at every evaluation.
    long double Evaluate() const;
    // Evaluates the current text, reading the names through `variables` by
    // their slot in Program().Names.
    long double Evaluate(const IRxVariables& variables) const { return m_program->Run(variables); }

    const TRxProgram& Program() const { return *m_program; }
    // Moves whenever a new text is compiled.
    quint64 ProgramSerial() const { return m_serial; }

    static std::unique_ptr<TRxProgram> Compile(const QString& text);

private:
    QString m_expression;
    // Programs never change once compiled: formulas of the same text share one.
    std::shared_ptr<const TRxProgram> m_program;
    quint64 m_serial = 0;
};
