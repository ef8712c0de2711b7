// Whole files of every class: the example nets and a file that uses every
// class and attribute come back byte for byte; broken elements of each class
// are refused with their message; random damage never crashes the reader.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFont>
#include <QRegularExpression>

#include <random>

#include "formula/formula.h"
#include "model/annotations.h"
#include "model/arcs.h"
#include "model/designer_link.h"
#include "model/graphics_objects.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "netfile/xml_tree.h"
#include "test_support.h"

namespace {

QByteArray readBytes(const QString& fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString everyClassFile()
{
    return TestDataDir() + QStringLiteral("/every-class.pn2");
}

// The text of the first object element of a class in a net file.
QString objectOf(const QString& text, const QString& className)
{
    const QString start = QStringLiteral("<object class=\"%1\"").arg(className);
    const qsizetype from = text.indexOf(start);
    if (from < 0)
        return QString();
    const qsizetype lineEnd = text.indexOf(QLatin1String("\r\n"), from);
    if (text.mid(lineEnd - 2, 2) == QLatin1String("/>"))
        return text.mid(from, lineEnd + 2 - from);
    const QString close = QStringLiteral("</object>\r\n");
    const qsizetype to = text.indexOf(close, from);
    return text.mid(from, to + close.size() - from);
}

} // namespace

TEST(NetFileCorpus, EveryExampleIsReadAndWrittenByteForByte)
{
    const QStringList files = QDir(ExamplesDir()).entryList({QStringLiteral("*.pn2")}, QDir::Files);
    ASSERT_GE(files.size(), 6);
    for (const QString& name : files) {
        const QString file = QDir(ExamplesDir()).filePath(name);
        TTestDesigner d;
        ASSERT_EQ(LoadNetFile(d, file), "") << name.toStdString();
        EXPECT_EQ(TqibXMLTree::Encode(NetToText(d)), readBytes(file)) << name.toStdString();
        EXPECT_TRUE(d.Errors.isEmpty()) << name.toStdString();
        // Names carry their number where the analyses look for it.
        for (const TQRVObject* o : d.ObjectList()) {
            if (qobject_cast<const TclsNode*>(o)) {
                EXPECT_TRUE(
                    QRegularExpression(QStringLiteral("^[pb][0-9]{1,5}$")).match(o->Name()).hasMatch())
                    << o->Name().toStdString();
            }
        }
    }
    const QByteArray start = readBytes(QDir(ExamplesDir()).filePath(QStringLiteral("producer-consumer.pn2")));
    EXPECT_FALSE(start.isEmpty()) << "the start script opens producer-consumer.pn2";
}

TEST(NetFileCorpus, AFileOfEveryClassAndAttributeIsReadIntoTheElements)
{
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, everyClassFile()), "");
    EXPECT_EQ(TqibXMLTree::Encode(NetToText(d)), readBytes(everyClassFile()));
    EXPECT_EQ(d.Graphs, QStringList({"p1 - TOKENS", "b1 - LEVEL"}));

    auto* p1 = qobject_cast<TclsNodeDiscrete*>(d.FindObject("p1"));
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(p1->Group(), "inputs");
    EXPECT_EQ(p1->Size(), Qrv::osSmall);
    EXPECT_EQ(p1->Tokens(), 3);
    EXPECT_EQ(p1->Cost()->Formula(), "p1_TOKENS * 2");
    EXPECT_EQ(p1->Cost()->Value_Reference(), 0.5);
    EXPECT_EQ(p1->Cost()->Value_Actual(), 6);

    auto* label = qobject_cast<TclsText*>(d.FindObject("Textp1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Text(), "first & only");
    EXPECT_EQ(label->Font()->Name(), "Courier New");
    EXPECT_EQ(label->Font()->Size(), 12);
    EXPECT_EQ(label->Font()->ColorValue(), -2147483640);
    EXPECT_EQ(label->Font()->Style(), Qrv::TFontStyles(0x0F));

    auto* b1 = qobject_cast<TclsNodeContinuous*>(d.FindObject("b1"));
    ASSERT_NE(b1, nullptr);
    EXPECT_EQ(b1->Size(), Qrv::osLarge);
    EXPECT_EQ(b1->BoundMin(), 1.5);
    EXPECT_EQ(b1->BoundMax(), 250);
    EXPECT_EQ(b1->Level(), 12.5);
    EXPECT_EQ(b1->Cost()->Value_Reference(), 1e-6);

    auto* t1 = qobject_cast<TclsTransInstant*>(d.FindObject("t1"));
    ASSERT_NE(t1, nullptr);
    EXPECT_EQ(t1->Angle(), 45);
    EXPECT_EQ(t1->Guard()->Formula(), "p1_TOKENS > 2");
    EXPECT_EQ(t1->Priority()->Value_Reference(), 2);
    EXPECT_EQ(t1->WeightSpeed()->Value_Reference(), 30);
    auto* t2 = qobject_cast<TclsTransTimed*>(d.FindObject("t2"));
    ASSERT_NE(t2, nullptr);
    EXPECT_EQ(t2->Size(), Qrv::osVeryLarge);
    EXPECT_EQ(t2->Rate()->Formula(), "RefV + p1_COST");
    EXPECT_EQ(t2->Rate()->Value_Actual(), 8.5);
    auto* q1 = qobject_cast<TclsTransContinuous*>(d.FindObject("q1"));
    ASSERT_NE(q1, nullptr);
    EXPECT_EQ(q1->Expectance()->Value_Reference(), 3);
    EXPECT_EQ(q1->Dispersion()->Value_Reference(), 0.25);

    // Nine kinds of arcs, all connected; bends are kept.
    int arcs = 0;
    for (const TQRVObject* o : d.ObjectList())
        if (const auto* arc = qobject_cast<const TclsLink*>(o)) {
            ++arcs;
            EXPECT_TRUE(arc->IsConnected()) << arc->Name().toStdString();
        }
    EXPECT_EQ(arcs, 11);
    auto* counter = qobject_cast<TclsLinkIngibitorCounter*>(d.FindObject("L3"));
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->Points().size(), 7);
    EXPECT_EQ(counter->WeightValue(), 3);

    auto* ellipse = qobject_cast<TclsEllipse*>(d.FindObject("ellipse1"));
    ASSERT_NE(ellipse, nullptr);
    EXPECT_EQ(ellipse->Text(), "an ellipse");
    EXPECT_EQ(ellipse->Style(), Qrv::psDash);
    EXPECT_EQ(ellipse->Fill()->Style(), Qrv::bsCross);
    EXPECT_EQ(ellipse->Fill()->ColorValue(), 255);
    auto* box = qobject_cast<TclsRoundRect*>(d.FindObject("ellipse2"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Fill()->Style(), Qrv::bsClear);
    auto* link = qobject_cast<TclsDesignerLink*>(d.FindObject("L12"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Source(), ellipse);
    EXPECT_EQ(link->Target(), box);
    auto* frame = qobject_cast<TclsFrame*>(d.FindObject("Frame1"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Style(), Qrv::psDashDot);
    EXPECT_EQ(frame->Font()->Name(), "Times New Roman");
    auto* line = qobject_cast<TclsLine*>(d.FindObject("line1"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Pen()->Style(), Qrv::psDot);
    EXPECT_EQ(line->Pen()->ColorValue(), 16711680);
}

TEST(NetFileCorpus, BrokenElementsOfEveryClassAreRefusedAndTheNetStays)
{
    const QString valid = QString::fromLatin1(readBytes(everyClassFile()));
    ASSERT_FALSE(valid.isEmpty());
    TTestDesigner d;
    ASSERT_EQ(NetFromText(d, valid), "");
    const QString before = NetToText(d);

    const struct
    {
        const char* className;
        const char* pattern; // a regular expression on the class's first element
        const char* replacement;
        const char* message; // a part of the expected message
    } cases[] = {
        {"TclsNodeDiscrete", R"( size="[^"]*")", "", "\"size\" is missing"},
        {"TclsNodeDiscrete", R"(size="osSmall")", "size=\"osHuge\"", "\"size\""},
        {"TclsNodeDiscrete", R"( markers="3")", "", "\"markers\" is missing"},
        {"TclsNodeDiscrete", R"(markers="3")", "markers=\"three\"", "\"markers\""},
        {"TclsNodeDiscrete", R"(\s*<cost [^>]*>)", "", "<cost> is missing"},
        {"TclsNodeDiscrete", R"(Value_Reference="0.5")", "Value_Reference=\"1.2.3\"", "<cost>"},
        {"TclsNodeContinuous", R"(level="12.5")", "level=\"12..5\"", "\"level\""},
        {"TclsNodeContinuous", R"(boundmax="250")", "boundmax=\"\"", "\"boundmax\""},
        {"TclsTransInstant", R"(\s*<speed [^>]*>)", "", "<speed> is missing"},
        {"TclsTransInstant", R"(angle="45")", "angle=\"4 5\"", "\"angle\""},
        {"TclsTransTimed", R"( size="[^"]*")", "", "\"size\" is missing"},
        {"TclsTransContinuous", R"(size="osVerySmall")", "size=\"7\"", "\"size\""},
        {"TclsLinkNormal", R"( src="[^"]*")", "", "\"src\" is missing"},
        {"TclsLinkFlow", R"( dst="[^"]*")", "", "\"dst\" is missing"},
        {"TclsLinkTest", R"(\s*<weight [^>]*>)", "", "<weight> is missing"},
        {"TclsLinkNormal", R"( big="1")", "", "\"big\" is missing"},
        {"TclsLinkIngibitorCounter", R"(<point x="[^"]*")", "<point x=\"left\"", "\"x\""},
        {"TclsDesignerLink", R"( dst="[^"]*")", "", "\"dst\" is missing"},
        {"TclsText", R"( text="[^"]*")", "", "\"text\" is missing"},
        {"TclsText", R"( style="15")", "", "\"style\" is missing"},
        {"TclsText", R"(\s*<font [^>]*>)", "", "<font> is missing"},
        {"TclsFrame", R"( penstyle="3")", "", "\"penstyle\" is missing"},
        {"TclsFrame", R"(size="9")", "size=\"9pt\"", "\"size\""},
        {"TclsEllipse", R"(\s*<brush [^>]*>)", "", "<brush> is missing"},
        {"TclsEllipse", R"(style="6")", "style=\"9\"", "not a brush style"},
        {"TclsRoundRect", R"( color="16777215")", "", "\"color\" is missing"},
        {"TclsRoundRect", R"( text="[^"]*")", "", "\"text\" is missing"},
        {"TclsLine", R"(style="2")", "style=\"dotted\"", "\"style\""},
        // Far beyond any drawing: the screen arithmetic would overflow, or a
        // hit region would take minutes to build.
        {"TclsEllipse", R"(width="120")", "width=\"1e12\"", "\"width\": 1e12 is out of range"},
        {"TclsFrame", R"(height="[^"]*")", "height=\"-60000\"", "\"height\": -60000 is out of range"},
        {"TclsNodeDiscrete", R"(left="[^"]*")", "left=\"2e6\"", "\"left\": 2e6 is out of range"},
        {"TclsLinkNormal", R"(<point x="[^"]*")", "<point x=\"-1e300\"", "\"x\": -1e300 is out of range"},
    };
    for (const auto& c : cases) {
        const QString className = QString::fromLatin1(c.className);
        const QString element = objectOf(valid, className);
        ASSERT_FALSE(element.isEmpty()) << c.className;
        QString broken = element;
        broken.replace(QRegularExpression(QString::fromLatin1(c.pattern)),
                       QString::fromLatin1(c.replacement));
        ASSERT_NE(broken, element) << c.className << " " << c.pattern;
        QString text = valid;
        text.replace(element, broken);
        const QString error = NetFromText(d, text);
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.message)))
            << c.className << " " << c.pattern << ": " << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("(%1)").arg(className))) << error.toStdString();
        EXPECT_TRUE(error.startsWith(QLatin1String("Line "))) << error.toStdString();
        EXPECT_EQ(NetToText(d), before) << c.className << " " << c.pattern;
    }
}

// Mutants of every example and of the file of every class: each is refused
// with a message that leaves the net as it was, or read; and what was read,
// written, read and written again gives the same bytes. Run under the
// sanitizers too, so no mutant may crash or touch memory it should not.
TEST(NetFileCorpus, MutantsAreRefusedOrReadToAFixedPoint)
{
    QStringList files{everyClassFile()};
    for (const QString& name : QDir(ExamplesDir()).entryList({QStringLiteral("*.pn2")}, QDir::Files))
        files << QDir(ExamplesDir()).filePath(name);
    std::mt19937 random(20240601);
    auto below = [&](qsizetype n) {
        return static_cast<qsizetype>(random() % static_cast<quint32>(std::max<qsizetype>(n, 1)));
    };
    const QByteArray alphabet = "<>/=\" \r\n\t!-[]?x0.,%1e";
    constexpr int kMutantsPerFile = 600;

    int refused = 0;
    int read = 0;
    for (const QString& file : files) {
        const QByteArray valid = readBytes(file);
        ASSERT_FALSE(valid.isEmpty()) << file.toStdString();
        TTestDesigner attempt;
        ASSERT_EQ(NetFromText(attempt, QString::fromLatin1(valid)), "");
        // What the net holds: the last mutant read.
        QString before = NetToText(attempt);
        for (int round = 0; round < kMutantsPerFile; ++round) {
            QByteArray text = valid;
            const int edits = 1 + static_cast<int>(below(4));
            for (int e = 0; e < edits; ++e) {
                const qsizetype at = below(text.size());
                switch (below(7)) {
                case 0: // delete a span
                    text.remove(at, 1 + below(40));
                    break;
                case 1: // insert a character that matters to the reader
                    text.insert(at, alphabet.at(below(alphabet.size())));
                    break;
                case 2: // overwrite with a random byte
                    text[at] = static_cast<char>(below(256));
                    break;
                case 3: // repeat a span elsewhere
                    text.insert(below(text.size()), text.mid(at, 1 + below(200)));
                    break;
                case 4: // change a digit, keeping the number a number
                    for (qsizetype i = at; i < text.size(); ++i)
                        if (text[i] >= '0' && text[i] <= '9') {
                            text[i] = static_cast<char>('0' + below(10));
                            break;
                        }
                    break;
                case 5: // move a line
                {
                    const qsizetype from = text.indexOf('\n', at);
                    const qsizetype to = from < 0 ? -1 : text.indexOf('\n', from + 1);
                    if (to > from) {
                        const QByteArray line = text.mid(from + 1, to - from);
                        text.remove(from + 1, to - from);
                        text.insert(below(text.size()), line);
                    }
                    break;
                }
                default: // cut the file short
                    text.truncate(at);
                    break;
                }
            }
            const QString error = NetFromText(attempt, TqibXMLTree::Decode(text));
            if (!error.isEmpty()) {
                ++refused;
                EXPECT_EQ(NetToText(attempt), before) << file.toStdString() << " " << round;
                continue;
            }
            ++read;
            const QString first = NetToText(attempt);
            TTestDesigner again;
            ASSERT_EQ(NetFromText(again, first), "") << file.toStdString() << " " << round;
            EXPECT_EQ(NetToText(again), first) << file.toStdString() << " " << round << "\n"
                                               << TqibXMLTree::Decode(text).toStdString();
            before = first;
            if (HasFailure())
                return;
        }
    }
    // Both outcomes are exercised.
    EXPECT_GT(refused, 300);
    EXPECT_GT(read, 300);
}

TEST(NetFileCorpus, AWrittenFileReadsAndWritesBackToTheSameBytes)
{
    // Two handles next to each other on one arc: the first written form is
    // already the one that stays.
    TTestDesigner d;
    const QString text = QString::fromLatin1(readBytes(everyClassFile()));
    ASSERT_EQ(NetFromText(d, text), "");
    auto* arc = qobject_cast<TclsLinkNormal*>(d.FindObject("L1"));
    ASSERT_NE(arc, nullptr);
    QString adjacent = text;
    const QString element = objectOf(text, "TclsLinkNormal");
    QString changed = element;
    const qsizetype handle = changed.indexOf(QLatin1String("big=\"0\""));
    ASSERT_GT(handle, 0);
    const qsizetype lineStart = changed.lastIndexOf(QLatin1String("  <point"), handle);
    const qsizetype lineEnd = changed.indexOf(QLatin1String("\r\n"), handle) + 2;
    changed.insert(
        lineEnd,
        changed.mid(lineStart, lineEnd - lineStart).replace(QLatin1String("x=\""), QLatin1String("x=\"1")));
    adjacent.replace(element, changed);
    QStringList texts{adjacent};
    const QString shared =
        QStringLiteral(QUORVANE_SHARED_DIR) + "/testdata/robustness/two-adjacent-midpoints.pn2";
    if (QFile::exists(shared))
        texts << QString::fromLatin1(readBytes(shared));
    for (const QString& t : texts) {
        TTestDesigner once;
        ASSERT_EQ(NetFromText(once, t), "");
        const QString a = NetToText(once);
        TTestDesigner twice;
        ASSERT_EQ(NetFromText(twice, a), "");
        EXPECT_EQ(NetToText(twice), a);
    }
    // The handle that followed another is gone; the arc is whole.
    TTestDesigner once;
    ASSERT_EQ(NetFromText(once, adjacent), "");
    EXPECT_EQ(qobject_cast<TclsLinkNormal*>(once.FindObject("L1"))->Points().size(), arc->Points().size());
}

// A '"', '<' or '>' written into the file would make it unreadable: every way
// of setting a name, group label, text or font name refuses them.
TEST(NetFileCorpus, ValuesThatWouldBreakTheFileAreRefusedWhereTheyAreSet)
{
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, everyClassFile()), "");
    const QString before = NetToText(d);
    const QStringList bad = {"a\"b", "x<y", "x>y"};
    int expectedErrors = 0;
    for (TQRVObject* o : d.ObjectList()) {
        for (const QString& value : bad) {
            o->SetName(value);
            o->SetGroup(value);
            o->setProperty("Name", value); // as the inspector writes
            o->setProperty("Group", value);
            expectedErrors += 4;
            if (o->metaObject()->indexOfProperty("Text") >= 0) {
                o->setProperty("Text", value);
                ++expectedErrors;
            }
            if (auto* font = o->property("Font").value<TQRVFont*>()) {
                font->SetName(value);
                font->setProperty("Name", value);
                QFont qfont(QStringLiteral("Arial"), 30);
                qfont.setFamily(value);
                font->FromQFont(qfont);
                expectedErrors += 3;
                EXPECT_NE(font->Name(), value);
            }
        }
    }
    EXPECT_EQ(d.Errors.size(), expectedErrors);
    EXPECT_TRUE(d.Errors.contains("A font name may not contain the characters \" < >"));
    EXPECT_TRUE(d.Errors.contains("A group label may not contain the characters \" < >"));
    EXPECT_EQ(NetToText(d).toStdString(), before.toStdString());
}

// Only whole nets are read: files that are not nets, or only part of one, are
// refused with what is wrong and where, and the net stays as it was.
TEST(NetFileCorpus, FilesThatAreNotWholeNetsAreRefusedWithWhatAndWhere)
{
    const QString dir = TestDataDir() + QStringLiteral("/not-a-net/");
    const struct
    {
        const char* file;
        const char* message;
    } cases[] = {
        {"empty.pn2", "empty.pn2 is not a net file: it is empty"},
        {"notes.txt", "notes.txt is not a net file: it has no list of charts at its end (line 3)"},
        {"page.pn2", "page.pn2 is not a net file: it has no list of charts at its end (line 5)"},
        {"cut-between-elements.pn2",
         "cut-between-elements.pn2 is not a net file: it has no list of charts at its end (line 12): "
         "is it cut short?"},
        {"two-chart-lists.pn2",
         "two-chart-lists.pn2 is not a net file: it has a second list of charts (line 14)"},
        {"text-at-top-level.pn2",
         "text-at-top-level.pn2 is not a net file: it holds text outside its elements (line 10)"},
        {"object-after-charts.pn2",
         "object-after-charts.pn2 is not a net file: an object follows its list of charts (line 2)"},
    };
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, everyClassFile()), "");
    const QString before = NetToText(d);
    for (const auto& c : cases) {
        EXPECT_EQ(LoadNetFile(d, dir + QString::fromLatin1(c.file)), QString::fromLatin1(c.message));
        EXPECT_EQ(NetToText(d), before) << c.file;
    }
    // A foreign element among the objects of a net, and a net cut inside its
    // list of charts.
    const QString objects = before.left(before.indexOf(QLatin1String("<simulate>")));
    EXPECT_EQ(NetFromText(d, objects + "<picture />\r\n<simulate />\r\n"),
              QStringLiteral("The text is not a net file: its element <picture> is neither an object nor "
                             "the list of charts (line %1)")
                  .arg(objects.count(QLatin1Char('\n')) + 1));
    EXPECT_TRUE(NetFromText(d, objects + "<simulate>\r\n  <graph>\r\n").contains("truncated"));
    EXPECT_EQ(NetToText(d), before);
}
