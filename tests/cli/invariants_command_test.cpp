// quorvane-cli invariants: arguments and unreadable input.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {

struct TRun
{
    int Status = -1;
    QString Out;
    QString Err;
};

TRun runCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QUORVANE_CLI), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(InvariantsCommand, RejectsBadArgumentsAndUnreadableNets)
{
    const TRun help = runCli({"invariants", "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.contains("--matrix p-incidence|p-invariants|t-incidence|t-invariants"));

    EXPECT_EQ(runCli({"invariants"}).Status, 2);
    const TRun badMatrix = runCli({"invariants", "net.pn2", "--matrix", "q-invariants"});
    EXPECT_EQ(badMatrix.Status, 2);
    EXPECT_TRUE(badMatrix.Err.contains("unknown matrix 'q-invariants'"));
    EXPECT_EQ(runCli({"invariants", "net.pn2", "--max-rows", "0"}).Status, 2);
    EXPECT_EQ(runCli({"invariants", "net.pn2", "--frobnicate"}).Status, 2);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TRun missing = runCli({"invariants", dir.filePath("missing.pn2"), "-o", dir.filePath("out")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_FALSE(missing.Err.isEmpty());
    EXPECT_TRUE(missing.Out.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("out.imf")));
}
