// Running quorvane-cli from the tests.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

struct TRun
{
    int Status = -1;
    QString Out;
    QString Err;
};

// Runs the program with `args` and waits (at most a minute) for it to end.
// With `maxFileSize` at 0 or more, no file the program writes may grow
// beyond that many bytes: a write past it fails as on a full disk.
inline TRun runCli(const QStringList& args, qint64 maxFileSize = -1)
{
    QProcess process;
    if (maxFileSize >= 0)
        process.setChildProcessModifier([maxFileSize] {
            // An ignored signal stays ignored in the program started next.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = static_cast<rlim_t>(maxFileSize);
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    process.start(QStringLiteral(QUORVANE_CLI), args);
    TRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.Status = process.exitCode();
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
