// quorvane-cli: the headless front end. It reads nets and runs the analyses
// without a display.
#include <QGuiApplication>
#include <QTextStream>

#include <clocale>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli_command.h"
#include "model/class_registry.h"

namespace {

// Qt warns on every start when there is no runtime folder (as in containers
// and CI); give it a private one.
void ensureRuntimeDir()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray dir = "/tmp/runtime-" + QByteArray::number(static_cast<qulonglong>(getuid()));
    mkdir(dir.constData(), 0700);
    chmod(dir.constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", dir);
}

void printHelp(QTextStream& out)
{
    out << "Usage: quorvane-cli COMMAND [ARGUMENTS]\n"
           "       quorvane-cli --help | --version\n\n"
           "Reads Petri nets (.pn2, .pnml) and analyses them without a display.\n\n"
           "Commands:\n";
    for (const TCliCommand& c : CliCommands())
        out << "  " << QString::fromLatin1(c.Name).leftJustified(12) << QString::fromLatin1(c.Summary)
            << "\n";
    if (CliCommands().isEmpty())
        out << "  (none yet)\n";
    out << "\nRun 'quorvane-cli COMMAND --help' for the arguments of a command.\n"
           "Exit status: 0 success, 1 bad input or failed analysis, 2 bad usage.\n";
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing and text measuring need a GUI application, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ensureRuntimeDir();
    QGuiApplication app(argc, argv);
    // After the application object, which sets the locale from the environment.
    std::setlocale(LC_NUMERIC, "C");
    QGuiApplication::setApplicationName(QStringLiteral("quorvane-cli"));
    RegisterStandardClasses();

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        printHelp(err);
        return exitUsage;
    }
    const QString first = args.takeFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        printHelp(out);
        return exitOk;
    }
    if (first == QLatin1String("--version")) {
        out << "quorvane-cli " << QUORVANE_VERSION << "\n";
        return exitOk;
    }
    for (const TCliCommand& c : CliCommands()) {
        if (first == QLatin1String(c.Name)) {
            if (args.contains(QStringLiteral("--help"))) {
                out << c.Usage;
                return exitOk;
            }
            TCliContext ctx{out, err};
            // The analyses report running out of memory themselves; whatever
            // else runs out still ends with a message, not an abort.
            try {
                return c.Run(args, ctx);
            } catch (const std::bad_alloc&) {
                out.flush();
                err << "quorvane-cli " << first << ": there is not enough memory to finish.\n";
                return exitBadInput;
            }
        }
    }
    err << "quorvane-cli: unknown command '" << first << "'\n";
    printHelp(err);
    return exitUsage;
}
