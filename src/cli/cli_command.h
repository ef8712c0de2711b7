// The subcommands of quorvane-cli. Each command registers itself with a
// name, a one-line summary and a usage text, and returns the exit status:
// 0 success, 1 bad input (a file that cannot be read, a failed analysis),
// 2 bad usage.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

enum TExitStatus { exitOk = 0, exitBadInput = 1, exitUsage = 2 };

struct TCliContext
{
    QTextStream& out;
    QTextStream& err;
};

struct TCliCommand
{
    const char* Name;
    const char* Summary;
    const char* Usage;
    int (*Run)(const QStringList& args, TCliContext& ctx);
};

// Adds a command to the table (done by static registrars in each command file).
bool RegisterCliCommand(const TCliCommand& command);
const QList<TCliCommand>& CliCommands();

class TQRVDesigner;

// A new empty net for a command to read. The process ends with the command,
// and freeing a big net object by object takes about as long as reading it:
// the net is left for the system to take back with the process.
TQRVDesigner& NewCommandNet();

// Reads the net a command works on (.pn2 or .pnml): warnings and the message
// of a file that cannot be read go to stderr; false when it cannot be read.
bool ReadCliNet(TQRVDesigner& designer, const QString& fileName, TCliContext& ctx);

// Small helpers shared by the commands.
class TArgs
{
public:
    explicit TArgs(const QStringList& args) : m_args(args) {}
    // Removes and returns the value of an option ("-o FILE"); empty if absent.
    bool TakeOption(const QString& name, QString& value, QString& error);
    bool TakeFlag(const QString& name);
    // What is left once options were taken.
    QStringList Positional() const { return m_args; }
    // The first remaining argument that looks like an option, if any.
    QString UnknownOption() const;

private:
    QStringList m_args;
};
