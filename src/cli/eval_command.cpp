// quorvane-cli eval: evaluates a formula text, optionally against a net.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/cli_command.h"
#include "formula/formula.h"
#include "formula/parser.h"
#include "model/designer.h"
#include "model/numbers.h"

namespace {

const char* const usage = "Usage: quorvane-cli eval TEXT [--net NET]\n\n"
                          "Evaluates a formula text. Prints the value of the text, then on a second line\n"
                          "the value a formula of that text gives (never negative, as a 64-bit float).\n"
                          "With --net, names such as P1_TOKENS read the elements of that net. Formula\n"
                          "texts may begin with \"-\"; use -- before a text that begins with \"--\".\n"
                          "An expression error is printed to stderr with exit status 1.\n";

// The shortest general form of an extended value with 15 significant
// digits, as FormatGeneral writes doubles.
QString formatExtended(long double value)
{
    if (value == 0)
        return QStringLiteral("0");
    if (!std::isfinite(value))
        return std::isnan(value) ? QStringLiteral("NAN")
                                 : (value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF"));
    char tmp[64];
    std::snprintf(tmp, sizeof tmp, "%.14Le", value);
    const char* p = tmp;
    QString out;
    if (*p == '-') {
        out += QLatin1Char('-');
        ++p;
    }
    QString digits;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += QLatin1Char(*p);
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    const int nd = static_cast<int>(digits.size());
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out += QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
        } else {
            for (int i = 0; i <= exponent; ++i)
                out += i < nd ? digits.at(i) : QLatin1Char('0');
            if (nd > exponent + 1)
                out += QLatin1Char('.') + digits.mid(exponent + 1);
        }
    } else {
        out += digits.at(0);
        if (nd > 1)
            out += QLatin1Char('.') + digits.mid(1);
        out += QStringLiteral("E%1").arg(exponent);
    }
    return out;
}

int runEval(const QStringList& args, TCliContext& ctx)
{
    QString netFile;
    QStringList words;
    bool options = true;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && a == QLatin1String("--net")) {
            if (i + 1 >= args.size()) {
                ctx.err << "quorvane-cli eval: option --net needs a value\n";
                return exitUsage;
            }
            netFile = args.at(++i);
        } else if (options && a.startsWith(QLatin1String("--"))) {
            ctx.err << "quorvane-cli eval: unknown option " << a << "\n" << usage;
            return exitUsage;
        } else {
            words << a;
        }
    }
    if (words.isEmpty()) {
        ctx.err << usage;
        return exitUsage;
    }

    TQRVDesigner designer;
    designer.SetErrorReporter([&ctx](const QString& m) { ctx.err << m << "\n"; });
    if (!netFile.isEmpty() && !ReadCliNet(designer, netFile, ctx))
        return exitBadInput;
    TQRVFormula formula(nullptr, &designer);
    formula.Parser().SetExpression(words.join(QLatin1Char(' ')));
    try {
        ctx.out << formatExtended(formula.Evaluate()) << "\n";
        ctx.out.flush();
        ctx.out << FormatGeneral(formula.Value_Actual()) << "\n";
    } catch (const ERxParserError& e) {
        ctx.out.flush();
        ctx.err << e.Message << "\n";
        return exitBadInput;
    }
    return exitOk;
}

[[maybe_unused]] static const bool registered =
    RegisterCliCommand({"eval", "evaluate a formula, alone or against a net", usage, runEval});

} // namespace
