// Saving a file: a device that fails part-way, whether it is a real one that
// takes only some of the bytes or the test hook, costs nothing of the old file
// and says why; nothing is left beside the target.
#include <gtest/gtest.h>

#include <QDir>
#include <QIODevice>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

#include "model/safe_save.h"
#include "test_support.h"

namespace {

const QByteArray kOld = "the previous version\r\n";

QByteArray content(int size)
{
    QByteArray bytes(size, 'x');
    for (int i = 0; i < size; i += 61)
        bytes[i] = '\n';
    return bytes;
}

QStringList filesIn(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

TEST(SafeSave, AFullDiskKeepsTheOldFileAndSaysWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath("old.pn2");
    const QByteArray bytes = content(20000);
    for (const qint64 limit : {0, 1, 4095, 4096, 16384, 19999}) {
        ASSERT_TRUE(WriteFileBytes(target, kOld));
        {
            TFullDisk full(limit);
            EXPECT_EQ(SaveBytesSafely(target, bytes), "Cannot write old.pn2: No space left on device")
                << limit;
            // A writer that writes in pieces and ignores what each write
            // returns (as picture writers do) is caught all the same.
            EXPECT_EQ(SaveFileSafely(target,
                                     [&](QIODevice& device) {
                                         for (int at = 0; at < bytes.size(); at += 1000)
                                             device.write(bytes.mid(at, 1000));
                                         return true;
                                     }),
                      "Cannot write old.pn2: No space left on device")
                << limit;
        }
        EXPECT_EQ(ReadFileBytes(target), kOld) << limit;
        EXPECT_EQ(filesIn(dir), QStringList{"old.pn2"}) << limit;
    }
    // Room for exactly the content is enough.
    {
        TFullDisk full(bytes.size());
        EXPECT_EQ(SaveBytesSafely(target, bytes), "");
    }
    EXPECT_EQ(ReadFileBytes(target), bytes);
}

// A real file system that takes only part of a write: the rest of the write
// is tried again, which brings the reason to light (no "Unknown error").
TEST(SafeSave, ADeviceThatTakesOnlySomeBytesIsNotMistakenForSuccess)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath("old.rag");
    ASSERT_TRUE(WriteFileBytes(target, kOld));

    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 3000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString tooBig = SaveBytesSafely(target, content(100000));
    const QString fits = SaveBytesSafely(dir.filePath("small.rag"), content(2000));
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(tooBig.startsWith("Cannot write old.rag: ")) << tooBig.toStdString();
    EXPECT_EQ(tooBig, "Cannot write old.rag: File too large");
    EXPECT_EQ(ReadFileBytes(target), kOld);
    EXPECT_EQ(fits, "");
    EXPECT_EQ(ReadFileBytes(dir.filePath("small.rag")), content(2000));
}

TEST(SafeSave, AWriterThatGivesUpOrAMissingFolderIsReported)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath("net.pn2");
    ASSERT_TRUE(WriteFileBytes(target, kOld));
    EXPECT_EQ(SaveFileSafely(target,
                             [](QIODevice& device) {
                                 device.write("half");
                                 return false;
                             }),
              "Cannot write net.pn2: the content could not be written");
    EXPECT_EQ(ReadFileBytes(target), kOld);
    EXPECT_EQ(filesIn(dir), QStringList{"net.pn2"});

    const QString missing = SaveBytesSafely(dir.filePath("no/such/folder/net.pn2"), "x");
    EXPECT_TRUE(missing.startsWith("Cannot write net.pn2: ")) << missing.toStdString();
    EXPECT_FALSE(missing.contains("Unknown error")) << missing.toStdString();
}
