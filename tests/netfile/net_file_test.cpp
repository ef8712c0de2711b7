// Whole nets in files: layout, round trips, and files that cannot be read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <clocale>
#include <string>

#include "model/class_registry.h"
#include "model/graphics_objects.h"
#include "model/numbers.h"
#include "model/text.h"
#include "netfile/net_file.h"
#include "netfile/xml_tree.h"
#include "test_support.h"

namespace {

void ensureTextClass()
{
    TQRVClassRegistry::Instance().Register<TclsText>(QStringLiteral("Design"));
}

TclsText* addText(TQRVDesigner& d, const QString& text, double left, double top)
{
    auto* t = new TclsText(&d);
    t->SetNameDirect(d.UniqueName(t->GetNamePrefix()));
    t->SetBoundsDirect(left, top, 0, 0);
    t->SetText(text);
    d.InsertObject(t);
    return t;
}

const char* kTwoTexts = "<object class=\"TclsText\" name=\"Text1\" left=\"10\" top=\"20.5\" width=\"30\" "
                        "height=\"16\" group=\"g1\" text=\"Hello\">\r\n"
                        "  <font name=\"Arial\" size=\"10\" color=\"0\" style=\"1\" />\r\n"
                        "</object>\r\n"
                        "<object class=\"TclsText\" name=\"Text2\" left=\"100\" top=\"1E-6\" width=\"30\" "
                        "height=\"16\" group=\"\" text=\"World\">\r\n"
                        "  <font name=\"Arial\" size=\"12\" color=\"-2147483640\" style=\"0\" />\r\n"
                        "</object>\r\n"
                        "<simulate>\r\n"
                        "  <graph>\r\n"
                        "    p1 - TOKENS\r\n"
                        "  </graph>\r\n"
                        "</simulate>\r\n";

} // namespace

TEST(NetFile, WritesAnEmptyNetAsOneLine)
{
    TTestDesigner d;
    EXPECT_EQ(NetToText(d), "<simulate />\r\n");
}

TEST(NetFile, ReadingThenWritingReproducesTheFile)
{
    ensureTextClass();
    TTestDesigner d;
    ASSERT_EQ(NetFromText(d, kTwoTexts), "");
    ASSERT_EQ(d.ObjectCount(), 2);
    auto* t1 = qobject_cast<TclsText*>(d.Objects(0));
    ASSERT_NE(t1, nullptr);
    EXPECT_EQ(t1->Text(), "Hello");
    EXPECT_EQ(t1->Group(), "g1");
    EXPECT_EQ(t1->Font()->Style(), Qrv::TFontStyles(Qrv::fsBold));
    EXPECT_EQ(d.Graphs, QStringList{"p1 - TOKENS"});
    EXPECT_EQ(d.FindObject("TEXT2"), d.Objects(1));
    // Sizes come from the file and are recomputed only when the text changes...
    // but a text recomputes its size when loaded, so compare what is written.
    TTestDesigner again;
    ASSERT_EQ(NetFromText(again, NetToText(d)), "");
    EXPECT_EQ(NetToText(again), NetToText(d));
}

TEST(NetFile, ReadsCommasAndNestedObjects)
{
    ensureTextClass();
    TTestDesigner d;
    const QString text = "<object class=\"TclsText\" name=\"Text1\" left=\"12,5\" top=\"3\" text=\"a\">\r\n"
                         "  <font name=\"Arial\" size=\"10\" color=\"0\" style=\"0\" />\r\n"
                         "  <object class=\"TclsText\" name=\"Text2\" left=\"1\" top=\"3\" text=\"b\">\r\n"
                         "    <font name=\"Arial\" size=\"10\" color=\"0\" style=\"0\" />\r\n"
                         "  </object>\r\n"
                         "</object>\r\n"
                         "<simulate />\r\n";
    ASSERT_EQ(NetFromText(d, text), "");
    ASSERT_EQ(d.ObjectCount(), 2);
    EXPECT_DOUBLE_EQ(d.Objects(0)->Left(), 12.5);
    EXPECT_EQ(d.Objects(1)->Name(), "Text2");
    EXPECT_TRUE(d.Graphs.isEmpty());
}

TEST(NetFile, AFileThatCannotBeReadLeavesTheNetAsItWas)
{
    ensureTextClass();
    TTestDesigner d;
    addText(d, "keep me", 40, 40);
    d.Graphs << "x";
    const QString before = NetToText(d);

    const QString font = "<font name=\"Arial\" size=\"10\" color=\"0\" style=\"0\" />";
    // Objects followed by the list of charts, as a whole net file ends.
    auto whole = [](const QString& objects) { return objects + "\r\n<simulate />\r\n"; };
    const struct
    {
        const char* what;
        QString text;
        const char* expected; // a part of the message
    } cases[] = {
        {"empty", "", "The text is not a net file: it is empty"},
        {"blank", "  \r\n ", "The text is not a net file: it is empty"},
        {"no name", whole("<object class=\"TclsText\" text=\"a\">" + font + "</object>"),
         "\"name\" is missing"},
        {"unknown class", whole("<object class=\"TclsNothing\" name=\"x\" />"), "\"TclsNothing\" is unknown"},
        {"no class", whole("<object name=\"x\" />"), "\"class\" is missing"},
        {"bad number",
         whole("<object class=\"TclsText\" name=\"a\" left=\"1.2.3\" text=\"a\">" + font + "</object>"),
         "\"left\""},
        {"bad integer",
         whole("<object class=\"TclsText\" name=\"a\" text=\"a\"><font name=\"A\" size=\"x\" color=\"0\" "
               "style=\"0\" /></object>"),
         "\"size\""},
        {"no font", whole("<object class=\"TclsText\" name=\"a\" text=\"a\" />"), "<font> is missing"},
        {"no text", whole("<object class=\"TclsText\" name=\"a\">" + font + "</object>"),
         "\"text\" is missing"},
        {"closing beyond top", "<simulate />\r\n</object>", "no element to close"},
        {"truncated", "<object class=\"TclsText\" name=\"a\" text=\"a\">\r\n  " + font, "truncated"},
        {"duplicate names",
         whole("<object class=\"TclsText\" name=\"a\" text=\"a\">" + font +
               "</object><object class=\"TclsText\" name=\"A\" text=\"a\">" + font + "</object>"),
         "already named"},
        {"bad name", whole("<object class=\"TclsText\" name=\"1 a\" text=\"a\">" + font + "</object>"),
         "not a valid name"},
        {"garbage", QString::fromLatin1("\x01\x02<\xff\xfe>\x00\x7f<<>>", 12), ""},
    };
    for (const auto& c : cases) {
        const QString error = NetFromText(d, c.text);
        EXPECT_FALSE(error.isEmpty()) << c.what;
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.expected))) << c.what << ": " << error.toStdString();
        EXPECT_EQ(NetToText(d), before) << c.what;
    }
    // Messages say where: the line and the object.
    const QString error =
        NetFromText(d, "\r\n<object class=\"TclsText\" name=\"Text9\" left=\"x\" />\r\n<simulate />");
    EXPECT_TRUE(error.startsWith("Line 2: object \"Text9\" (TclsText)")) << error.toStdString();
}

TEST(NetFile, AFlawOfTheWholeFileIsReportedBeforeAnObjectThatCannotBeRead)
{
    ensureTextClass();
    const QString bad = "<object class=\"TclsNothing\" name=\"x\" />\r\n";
    const QString good = "<object class=\"TclsText\" name=\"a\" text=\"a\">\r\n"
                         "  <font name=\"Arial\" size=\"10\" color=\"0\" style=\"0\" />\r\n"
                         "</object>\r\n";
    const struct
    {
        const char* what;
        QString text;
        const char* expected;
    } cases[] = {
        {"bad object alone", good + bad + "<simulate />\r\n", "\"TclsNothing\" is unknown"},
        {"then an object after the charts", bad + "<simulate />\r\n" + good, "follows its list of charts"},
        {"then a closing tag too many", bad + "<simulate />\r\n</x>", "no element to close"},
        {"then cut short", bad + good + "<simulate>\r\n  <graph>", "truncated"},
        {"then no list of charts", good + bad, "no list of charts"},
    };
    for (const auto& c : cases) {
        TTestDesigner d;
        EXPECT_TRUE(NetFromText(d, c.text).contains(QString::fromLatin1(c.expected))) << c.what;
        // Files are read from their bytes: the same message.
        QTemporaryDir dir;
        const QString file = dir.filePath("net.pn2");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.text.toLatin1());
        out.close();
        EXPECT_TRUE(LoadNetFile(d, file).contains(QString::fromLatin1(c.expected))) << c.what;
        EXPECT_EQ(d.ObjectCount(), 0) << c.what;
    }
}

TEST(NetFile, WritesLatin1UnlessACharacterNeedsUtf8AndReadsEitherBack)
{
    ensureTextClass();
    QTemporaryDir dir;
    for (const QString& text : {QString::fromUtf8("caf\xC3\xA9"), QString::fromUtf8("5 \xE2\x82\xAC")}) {
        TTestDesigner d;
        addText(d, "first", 10, 10);
        addText(d, text, 20, 20);
        const QString file = dir.filePath("net.pn2");
        ASSERT_EQ(SaveNetFile(d, file), "");
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        EXPECT_EQ(in.readAll(), TqibXMLTree::Encode(NetToText(d))) << text.toStdString();
        TTestDesigner back;
        ASSERT_EQ(LoadNetFile(back, file), "");
        EXPECT_EQ(NetToText(back), NetToText(d)) << text.toStdString();
    }
}

TEST(NetFile, SavingFailsCleanlyAndKeepsThePreviousFile)
{
    ensureTextClass();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTestDesigner d;
    addText(d, "first", 0, 0);
    const QString file = dir.filePath("net.pn2");
    ASSERT_EQ(SaveNetFile(d, file), "");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray first = f.readAll();
    f.close();

    // A target that cannot be written: the message says so.
    EXPECT_FALSE(SaveNetFile(d, dir.filePath("no/such/folder/net.pn2")).isEmpty());
    EXPECT_FALSE(SaveNetFile(d, dir.path()).isEmpty());

    // Reading it back gives the same net; a missing file leaves the net alone.
    TTestDesigner back;
    ASSERT_EQ(LoadNetFile(back, file), "");
    EXPECT_EQ(NetToText(back).toLatin1(), first);
    const QString error = LoadNetFile(back, dir.filePath("missing.pn2"));
    EXPECT_TRUE(error.contains("no such file")) << error.toStdString();
    EXPECT_TRUE(LoadNetFile(back, dir.path()).contains("it is a folder"));
    EXPECT_EQ(back.ObjectCount(), 1);
}

TEST(NetFile, SavingOnAFullDiskKeepsThePreviousFileInEitherFormat)
{
    ensureTextClass();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TTestDesigner d;
    for (int i = 0; i < 40; ++i)
        addText(d, QStringLiteral("text %1").arg(i), 10 * i, 20);
    for (const QString name : {"net.pn2", "net.pnml"}) {
        const QString file = dir.filePath(name);
        const QByteArray previous = "an earlier version\r\n";
        for (const qint64 room : {0, 100, 4096}) {
            ASSERT_TRUE(WriteFileBytes(file, previous));
            TFullDisk full(room);
            EXPECT_EQ(SaveNetFile(d, file),
                      QStringLiteral("Cannot write %1: No space left on device").arg(name));
            EXPECT_EQ(ReadFileBytes(file), previous) << name.toStdString() << " " << room;
        }
        ASSERT_EQ(SaveNetFile(d, file), "");
        TTestDesigner back;
        EXPECT_EQ(LoadNetFile(back, file), "");
        EXPECT_EQ(back.ObjectCount(), d.ObjectCount());
    }
}

TEST(NetFile, ReadsPointDecimalsWhateverTheLocale)
{
    // A locale that writes "," as its decimal separator, where one is installed.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name :
         {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8", "nl_NL.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name) && *std::localeconv()->decimal_point == ',') {
            switched = true;
            break;
        }
    if (!switched) {
        std::setlocale(LC_NUMERIC, previous.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    double v = 0;
    const bool point = ParseReal("12.5", v);
    const double pointValue = v;
    const bool comma = ParseReal("0,25", v);
    const double commaValue = v;
    const double roundTrip = RoundTrip15(0.1);
    ensureTextClass();
    TTestDesigner d;
    const QString error = NetFromText(d, "<object class=\"TclsText\" name=\"Text1\" left=\"10.5\" top=\"2\" "
                                         "text=\"a\">\r\n  <font name=\"Arial\" size=\"10\" color=\"0\" "
                                         "style=\"0\" />\r\n</object>\r\n<simulate />\r\n");
    std::setlocale(LC_NUMERIC, previous.c_str());

    EXPECT_TRUE(point);
    EXPECT_EQ(pointValue, 12.5);
    EXPECT_TRUE(comma);
    EXPECT_EQ(commaValue, 0.25);
    EXPECT_EQ(roundTrip, 0.1);
    ASSERT_EQ(error, "");
    EXPECT_EQ(d.Objects(0)->Left(), 10.5);
}
