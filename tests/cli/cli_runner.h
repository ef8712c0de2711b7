// Running quorvane-cli from the tests.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

struct TRun
{
    int Status = -1;
    QString Out;
    QString Err;
};

// Runs the program with `args` and waits (at most a minute) for it to end.
inline TRun runCli(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(QUORVANE_CLI), args);
    TRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.Status = process.exitCode();
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
