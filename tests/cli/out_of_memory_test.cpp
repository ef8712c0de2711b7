// Memory that runs out in the middle of a command ends it with a message and
// exit status 1, never with an abort.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "cli/cli_runner.h"

TEST(CliOutOfMemory, ACommandThatRunsOutOfMemoryEndsWithTheMessageAndStatusOne)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves far more address space than the limit leaves";
#endif
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A file of 2 GB that takes no room on the disk; the program may take
    // half of that, so holding its bytes fails.
    const QString net = dir.filePath(QStringLiteral("huge.pn2"));
    {
        QFile file(net);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(2) << 30));
    }
    for (const char* command : {"info", "convert"}) {
        QStringList args{QString::fromLatin1(command), net};
        if (args.first() == QLatin1String("convert"))
            args << dir.filePath(QStringLiteral("copy.pn2"));
        const TRun r = runCli(args, -1, qint64(1) << 30);
        EXPECT_EQ(r.Status, 1) << command << " " << r.Err.toStdString();
        EXPECT_EQ(r.Err.toStdString(),
                  "quorvane-cli " + std::string(command) + ": there is not enough memory to finish.\n");
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("copy.pn2"))));
    }
}
