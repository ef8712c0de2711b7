#include "cli/cli_command.h"

#include "model/designer.h"
#include "netfile/net_file.h"

namespace {
QList<TCliCommand>& table()
{
    static QList<TCliCommand> commands;
    return commands;
}
} // namespace

bool RegisterCliCommand(const TCliCommand& command)
{
    table().append(command);
    return true;
}

const QList<TCliCommand>& CliCommands()
{
    return table();
}

bool TArgs::TakeOption(const QString& name, QString& value, QString& error)
{
    const int i = m_args.indexOf(name);
    if (i < 0)
        return false;
    if (i + 1 >= m_args.size()) {
        error = QStringLiteral("option %1 needs a value").arg(name);
        m_args.removeAt(i);
        return false;
    }
    value = m_args.at(i + 1);
    m_args.remove(i, 2);
    return true;
}

bool TArgs::TakeFlag(const QString& name)
{
    const int i = m_args.indexOf(name);
    if (i < 0)
        return false;
    m_args.removeAt(i);
    return true;
}

QString TArgs::UnknownOption() const
{
    for (const QString& a : m_args)
        if (a.startsWith(u'-') && a != QLatin1String("-"))
            return a;
    return QString();
}

TQRVDesigner& NewCommandNet()
{
    return *new TQRVDesigner;
}

bool ReadCliNet(TQRVDesigner& designer, const QString& fileName, TCliContext& ctx)
{
    QStringList warnings;
    const QString error = LoadNetFile(designer, fileName, &warnings);
    for (const QString& w : warnings)
        ctx.err << "warning: " << w << "\n";
    if (!error.isEmpty()) {
        ctx.err << error << "\n";
        ctx.err.flush();
        return false;
    }
    ctx.err.flush();
    return true;
}
