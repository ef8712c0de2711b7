// Where the graph of the last build is kept for the performance analyses.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "reach/current_graph.h"

TEST(CurrentGraph, LivesInTheProgramFolderOrElseInTheUsersDataFolder)
{
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    EXPECT_EQ(CurrentGraphFileIn(program.path()), QDir(program.path()).filePath("current.rag"));

    // No usable program folder: the user's data folder, made when needed.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    const QString elsewhere = QDir(data).filePath("current.rag");
    EXPECT_EQ(CurrentGraphFileIn(QString()), elsewhere);
    EXPECT_EQ(CurrentGraphFileIn(program.filePath("missing")), elsewhere);
    EXPECT_TRUE(QFileInfo(data).isDir());

    // A program folder the user cannot write (a system-wide install).
    const auto all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(program.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool restricted = !QFileInfo(program.path()).isWritable();
    const QString chosen = CurrentGraphFileIn(program.path());
    QFile::setPermissions(program.path(), all);
    // (An administrator writes everywhere: then there is nothing to see.)
    if (restricted) {
        EXPECT_EQ(chosen, elsewhere);
    }
}
