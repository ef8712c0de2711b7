#include "reach/current_graph.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString kCurrentGraph = QStringLiteral("current.rag");

QString& ChosenFolder()
{
    static QString folder;
    return folder;
}
} // namespace

void SetCurrentGraphFolder(const QString& folder)
{
    ChosenFolder() = folder;
}

QString CurrentGraphFileIn(const QString& programDir)
{
    const QFileInfo folder(programDir);
    if (!programDir.isEmpty() && folder.isDir() && folder.isWritable())
        return QDir(programDir).filePath(kCurrentGraph);
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (data.isEmpty())
        data = QDir::tempPath();
    QDir().mkpath(data);
    return QDir(data).filePath(kCurrentGraph);
}

QString CurrentGraphFile()
{
    if (!ChosenFolder().isEmpty())
        return QDir(ChosenFolder()).filePath(kCurrentGraph);
    return CurrentGraphFileIn(QCoreApplication::applicationDirPath());
}
