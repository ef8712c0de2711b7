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
// beyond that many bytes: a write past it fails as on a full disk. With
// `maxMemory` at 0 or more, the program's address space may not grow beyond
// that many bytes: an allocation past it fails as when memory runs out.
inline TRun runCli(const QStringList& args, qint64 maxFileSize = -1, qint64 maxMemory = -1)
{
    QProcess process;
    if (maxFileSize >= 0 || maxMemory >= 0)
        process.setChildProcessModifier([maxFileSize, maxMemory] {
            rlimit limit{};
            if (maxFileSize >= 0) {
                // An ignored signal stays ignored in the program started next.
                std::signal(SIGXFSZ, SIG_IGN);
                getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = static_cast<rlim_t>(maxFileSize);
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (maxMemory >= 0) {
                getrlimit(RLIMIT_AS, &limit);
                limit.rlim_cur = static_cast<rlim_t>(maxMemory);
                setrlimit(RLIMIT_AS, &limit);
            }
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
