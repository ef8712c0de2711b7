// A direct evaluator of formula texts that computes while it reads, step by
// step as the language defines it. The compiled programs of the parser must
// give exactly its value, or raise exactly its error, for every text.
#pragma once

#include <QString>

#include <functional>

using TReferenceVariables = std::function<bool(const QString& name, long double& value)>;

// Returns the value of `text` or throws ERxParserError.
long double ReferenceEvaluate(const QString& text, const TReferenceVariables& variables);
