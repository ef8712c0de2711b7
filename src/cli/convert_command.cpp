// quorvane-cli convert: a net from one file format into another.
#include <QFileInfo>

#include "cli/cli_command.h"
#include "model/designer.h"
#include "netfile/net_file.h"

namespace {

const char* const usage = "Usage: quorvane-cli convert IN OUT\n\n"
                          "Reads the net IN and writes it to OUT, each in the format of its extension:\n"
                          ".pn2 (this program's own) or .pnml (PNML, for other programs). What a format\n"
                          "cannot hold is reported on stderr. OUT is replaced only when it was written\n"
                          "completely.\n";

bool knownFormat(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("pn2") || suffix == QLatin1String("pnml");
}

int runConvert(const QStringList& args, TCliContext& ctx)
{
    TArgs a(args);
    if (!a.UnknownOption().isEmpty() || a.Positional().size() != 2) {
        ctx.err << "usage: quorvane-cli convert IN OUT\n";
        return exitUsage;
    }
    const QString in = a.Positional().at(0), out = a.Positional().at(1);
    for (const QString& f : {in, out})
        if (!knownFormat(f)) {
            ctx.err << "quorvane-cli convert: " << f << ": the extension must be .pn2 or .pnml\n";
            return exitUsage;
        }
    TQRVDesigner& net = NewCommandNet();
    if (!ReadCliNet(net, in, ctx))
        return exitBadInput;
    QStringList warnings;
    const QString error = SaveNetFile(net, out, &warnings);
    for (const QString& w : warnings)
        ctx.err << "warning: " << w << "\n";
    if (!error.isEmpty()) {
        ctx.err << error << "\n";
        return exitBadInput;
    }
    return exitOk;
}

const bool registered =
    RegisterCliCommand({"convert", "convert a net between .pn2 and .pnml", usage, runConvert});

} // namespace
