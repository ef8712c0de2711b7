// quorvane-cli invariants: the incidence matrix and the invariants of a net.
#include "cli/cli_command.h"
#include "cli/console_progress.h"
#include "model/designer.h"
#include "structural/imf_file.h"
#include "structural/invariants.h"

namespace {

const char* const kUsage =
    "Usage: quorvane-cli invariants NET [-o FILE.imf]\n"
    "                               [--matrix p-incidence|p-invariants|t-incidence|t-invariants]\n"
    "                               [--max-rows N]\n"
    "Computes the incidence matrix, the P- and T-invariants of the net and the verdicts drawn\n"
    "from them. Prints the chosen matrix (default: p-invariants) in the layout of an .imf file,\n"
    "then the verdicts; -o also writes that matrix to an .imf file (\".imf\" is appended to a\n"
    "name without a \".\"). The elimination stops when it would need more than N working rows\n"
    "(default 100000); Ctrl+C stops it too.\n";

int runInvariants(const QStringList& args, TCliContext& ctx)
{
    TArgs a(args);
    QString output, matrixName, maxRowsText, error;
    a.TakeOption(QStringLiteral("-o"), output, error);
    if (error.isEmpty())
        a.TakeOption(QStringLiteral("--matrix"), matrixName, error);
    if (error.isEmpty())
        a.TakeOption(QStringLiteral("--max-rows"), maxRowsText, error);
    if (error.isEmpty() && !a.UnknownOption().isEmpty())
        error = QStringLiteral("unknown option %1").arg(a.UnknownOption());
    if (error.isEmpty() && a.Positional().size() != 1)
        error = QStringLiteral("give one net file");
    const QStringList names{QStringLiteral("p-incidence"), QStringLiteral("p-invariants"),
                            QStringLiteral("t-incidence"), QStringLiteral("t-invariants")};
    if (matrixName.isEmpty())
        matrixName = names.at(1);
    if (error.isEmpty() && !names.contains(matrixName))
        error = QStringLiteral("unknown matrix '%1'").arg(matrixName);
    int maxRows = TQRVInvariants::DefaultMaxRows;
    if (error.isEmpty() && !maxRowsText.isEmpty()) {
        bool ok = false;
        maxRows = maxRowsText.toInt(&ok);
        if (!ok || maxRows < 1)
            error = QStringLiteral("--max-rows needs a whole number of at least 1");
    }
    if (!error.isEmpty()) {
        ctx.err << "quorvane-cli invariants: " << error << "\n" << kUsage;
        return exitUsage;
    }

    TQRVDesigner net;
    if (!ReadCliNet(net, a.Positional().first(), ctx))
        return exitBadInput;
    TQRVInvariants inv;
    inv.MaxRows = maxRows;
    if (!inv.BuildIncidence(ReadNetStructure(net))) {
        ctx.err << (inv.Interrupted() ? inv.Interruptions.join(QLatin1Char('\n'))
                                      : QStringLiteral("Not structure !"))
                << "\n";
        return exitBadInput;
    }
    {
        TConsoleProgress progress;
        inv.Calculate(&progress);
    }
    if (inv.Interrupted()) {
        ctx.err << inv.Interruptions.join(QLatin1Char('\n')) << "\n";
        return exitBadInput;
    }

    const int which = static_cast<int>(names.indexOf(matrixName));
    const T2DMatrix& m = which == 0   ? inv.PIncidence
                         : which == 1 ? inv.PInvariants
                         : which == 2 ? inv.TIncidence
                                      : inv.TInvariants;
    const bool notFound = (which == 1 && inv.PNotFound) || (which == 3 && inv.TNotFound);
    if (!output.isEmpty()) {
        const QString failure = SaveImfFile(ImfFileName(output), ImfText(m, notFound));
        if (!failure.isEmpty()) {
            ctx.err << failure << "\n";
            return exitBadInput;
        }
    }
    ctx.out << ImfText(m, notFound, QStringLiteral("\n")) << "\n"
            << inv.Verdicts().join(QLatin1Char('\n')) << "\n";
    return exitOk;
}

const bool registered = RegisterCliCommand(
    {"invariants", "incidence matrix, P- and T-invariants and the verdicts of a net", kUsage, runInvariants});

} // namespace
