// quorvane-cli eval: values, messages and exit statuses.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "model/designer.h"
#include "netfile/net_file.h"

TEST(CliEval, PrintsTheTextsValueAndTheActualValue)
{
    TRun r = runCli({"eval", "1 + 2 * 3"});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, "7\n7\n");

    r = runCli({"eval", "-3"}); // a leading sign is part of the text
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "-3\n0\n");

    r = runCli({"eval", "2", "^", "0.5"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "1.4142135623731\n1.4142135623731\n");

    r = runCli({"eval", "--", "1E-7 * 3"});
    EXPECT_EQ(r.Out, "3E-7\n3E-7\n");
}

TEST(CliEval, ReportsExpressionErrorsWithStatusOne)
{
    TRun r = runCli({"eval", "1/0"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(r.Err.contains("Division by Zero\n")) << r.Err.toStdString();

    r = runCli({"eval", "p1_tokens"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains("Unknown Variable"));

    // The text has a value, but no 64-bit float holds it.
    r = runCli({"eval", "1E399"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "1E399\n");
    EXPECT_TRUE(r.Err.contains("Floating-point overflow"));

    r = runCli({"eval", "PI", "--net", "/nonexistent/net.pn2"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_FALSE(r.Err.trimmed().isEmpty());
}

TEST(CliEval, ReadsNamesFromTheGivenNet)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("empty.pn2");
    TQRVDesigner net;
    ASSERT_EQ(SaveNetFile(net, file), "");
    TRun r = runCli({"eval", "MAX(1, 2) + PI * 0", "--net", file});
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, "2\n2\n");
    r = runCli({"eval", "--net", file, "P1_TOKENS"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains("Unknown Variable"));
}

TEST(CliEval, RejectsBadUsage)
{
    EXPECT_EQ(runCli({"eval"}).Status, 2);
    EXPECT_EQ(runCli({"eval", "--net"}).Status, 2);
    EXPECT_EQ(runCli({"eval", "--bogus", "1"}).Status, 2);
    const TRun help = runCli({"eval", "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.contains("quorvane-cli eval TEXT"));
}
