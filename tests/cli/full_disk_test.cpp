// Every command that writes a file, on a disk that fills up: exit status 1,
// the reason on stderr, and the file that was there stays as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "test_support.h"

TEST(CliFullDisk, EveryWrittenFileKindFailsWithExitOneAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString net = QDir(ExamplesDir()).filePath("hybrid-tank.pn2");
    const QString cycle = QDir(ExamplesDir()).filePath("producer-consumer.pn2");
    const struct
    {
        const char* target;
        QStringList args; // the target is appended
    } cases[] = {
        {"old.pn2", {"convert", net}},
        {"old.pnml", {"convert", net}},
        {"old.imf", {"invariants", cycle, "--matrix", "p-incidence", "-o"}},
        {"old.rag", {"reach", cycle, "-o"}},
        {"old.svg", {"export", net, "-o"}},
        {"old.png", {"export", net, "-o"}},
        {"old.bmp", {"export", net, "-o"}},
        {"old.csv", {"simulate", cycle, "--firings", "100", "--csv"}},
        {"steady.csv", {"steady", cycle, "--csv"}},
        {"old.txt", {"steady", cycle, "--sweep", "Lm1=1:3:3", "--listing"}},
    };
    const QByteArray previous = "the file before\r\n";
    for (const auto& c : cases) {
        const QString target = dir.filePath(QString::fromLatin1(c.target));
        // Each writes far more than this.
        for (const qint64 room : {0, 200}) {
            ASSERT_TRUE(WriteFileBytes(target, previous));
            const TRun r = runCli(c.args + QStringList{target}, room);
            EXPECT_EQ(r.Status, 1) << c.target << " " << r.Err.toStdString();
            EXPECT_TRUE(r.Err.contains(QStringLiteral("Cannot write %1: File too large").arg(c.target)))
                << c.target << ": " << r.Err.toStdString();
            EXPECT_EQ(ReadFileBytes(target), previous) << c.target;
        }
        // With room to spare, the same command writes the file.
        const TRun r = runCli(c.args + QStringList{target});
        EXPECT_EQ(r.Status, 0) << c.target << " " << r.Err.toStdString();
        EXPECT_GT(ReadFileBytes(target).size(), 200) << c.target;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 10) << "nothing is left beside the targets";
}
