// Failures of a simulation step: a formula the step read could not be
// evaluated. The message names the element, the formula and its text.
#pragma once

#include <QString>

#include <stdexcept>

class TclsTrans;

class ESimError : public std::runtime_error
{
public:
    explicit ESimError(const QString& message) : std::runtime_error(message.toStdString()), Message(message)
    {
    }
    QString Message;
};

// Which formula of a transition (its guard, the weights of its arcs, its rate,
// weight or expectance) fails to evaluate now, and why: "the rate of
// transition t1 ("1/P9") cannot be evaluated: ...". `error` is the failure
// that was caught, used when no formula fails when read again.
QString DescribeFailure(const TclsTrans* transition, const QString& error);
