// quorvane-cli export: pictures of a net for papers and reports.
#include "cli/cli_command.h"
#include "editor/net_picture.h"
#include "model/designer.h"

namespace {

int runExport(const QStringList& args, TCliContext& ctx)
{
    TArgs a(args);
    QString output, scaleText, error;
    a.TakeOption(QStringLiteral("-o"), output, error);
    if (error.isEmpty())
        a.TakeOption(QStringLiteral("--scale"), scaleText, error);
    if (!error.isEmpty() || !a.UnknownOption().isEmpty() || a.Positional().size() != 1 || output.isEmpty()) {
        ctx.err << (error.isEmpty() ? QStringLiteral("usage: quorvane-cli export NET -o FILE [--scale S]")
                                    : error)
                << "\n";
        return exitUsage;
    }
    double scale = 1.0;
    if (!scaleText.isEmpty()) {
        bool ok = false;
        scale = scaleText.toDouble(&ok);
        if (!ok || !(scale > 0) || scale > 20) {
            ctx.err << "quorvane-cli export: the scale must be a number above 0 and at most 20\n";
            return exitUsage;
        }
    }
    TQRVDesigner net;
    if (!ReadCliNet(net, a.Positional().first(), ctx))
        return exitBadInput;
    const QString failure = ExportNetPicture(net, output, scale);
    if (!failure.isEmpty()) {
        ctx.err << failure << "\n";
        return exitBadInput;
    }
    return exitOk;
}

const bool registered =
    RegisterCliCommand({"export", "draw a net into an .svg, .png or .bmp picture",
                        "Usage: quorvane-cli export NET -o FILE [--scale S]\n"
                        "Draws the net as the drawing surface shows it, into a picture chosen by the\n"
                        "extension of FILE: .svg (vector), .png or .bmp. S is the scale (default 1).\n",
                        runExport});

} // namespace
