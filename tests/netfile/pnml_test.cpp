// PNML: our own nets out and back, nets of other programs in, in every arc
// dialect, and files that cannot be read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cmath>
#include <random>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/name_label.h"
#include "model/places.h"
#include "model/text.h"
#include "model/transitions.h"
#include "netfile/net_file.h"
#include "netfile/pnml.h"
#include "netfile/pnml_layout.h"
#include "test_support.h"

namespace {

// Reads PNML text through a file, as the program opens one.
QString importText(TQRVDesigner& d, const QByteArray& pnml, QStringList* warnings = nullptr)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("net.pnml"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(pnml) != pnml.size())
        return QStringLiteral("cannot write the test file");
    f.close();
    return LoadNetFile(d, file, warnings);
}

// A foreign net: the body of a ptnet page.
QByteArray pnmlOf(const QByteArray& page,
                  const QByteArray& netType = "http://www.pnml.org/version-2009/grammar/ptnet")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<pnml xmlns=\"http://www.pnml.org/version-2009/grammar/pnml\">\n"
           "<net id=\"n\" type=\"" +
           netType + "\"><page id=\"pg\">\n" + page + "\n</page></net></pnml>\n";
}

template <class T> T* find(const TQRVDesigner& d, const QString& name)
{
    return qobject_cast<T*>(d.FindObject(name));
}

QString labelText(const TQRVDesigner& d, const QString& name)
{
    const TQRVObject* node = d.FindObject(name);
    const auto* label = node ? qobject_cast<const TclsText*>(NameLabel::Find(*node)) : nullptr;
    return label ? label->Text() : QString();
}

bool anyContains(const QStringList& lines, const QString& part)
{
    for (const QString& l : lines)
        if (l.contains(part))
            return true;
    return false;
}

QPointF centreOf(const TQRVObject* o)
{
    return QPointF(o->Left() + o->Width() / 2, o->Top() + o->Height() / 2);
}

} // namespace

TEST(PnmlExchange, OurOwnNetsComeBackExactly)
{
    QStringList files;
    for (const QString& name : QDir(ExamplesDir()).entryList({QStringLiteral("*.pn2")}, QDir::Files))
        files << QDir(ExamplesDir()).filePath(name);
    files << TestDataDir() + QStringLiteral("/every-class.pn2");
    QTemporaryDir dir;
    for (const QString& file : files) {
        TTestDesigner d;
        ASSERT_EQ(LoadNetFile(d, file), "") << file.toStdString();
        const QString pnml = dir.filePath(QStringLiteral("out.pnml"));
        QStringList saveWarnings, loadWarnings;
        ASSERT_EQ(SaveNetFile(d, pnml, &saveWarnings), "");
        TTestDesigner back;
        ASSERT_EQ(LoadNetFile(back, pnml, &loadWarnings), "") << file.toStdString();
        EXPECT_TRUE(loadWarnings.isEmpty()) << loadWarnings.join('\n').toStdString();
        EXPECT_EQ(NetToText(back).toStdString(), NetToText(d).toStdString()) << file.toStdString();
        EXPECT_TRUE(back.Errors.isEmpty());
    }
}

TEST(PnmlExchange, ExportIsStandardPnmlThatOtherProgramsUnderstand)
{
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, QDir(ExamplesDir()).filePath("producer-consumer.pn2")), "");
    QStringList warnings;
    const QByteArray pnml = ExportPnmlText(d, "producer", &warnings);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString(); // only ordinary elements

    // What a reader that ignores our sections sees.
    QXmlStreamReader xml(pnml);
    QMap<QString, QString> names, markings;
    QMap<QString, QPointF> positions;
    QStringList arcs;
    QString current, netType;
    int depthInOwn = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            EXPECT_EQ(xml.namespaceUri(), QLatin1String("http://www.pnml.org/version-2009/grammar/pnml"));
            const QString n = xml.name().toString();
            if (depthInOwn > 0 || n == QLatin1String("toolspecific")) {
                ++depthInOwn;
                if (n == QLatin1String("toolspecific")) {
                    EXPECT_EQ(xml.attributes().value("tool"), QLatin1String("Quorvane"));
                }
                continue;
            }
            if (n == QLatin1String("net"))
                netType = xml.attributes().value("type").toString();
            if (n == QLatin1String("place") || n == QLatin1String("transition"))
                current = xml.attributes().value("id").toString();
            if (n == QLatin1String("arc"))
                arcs << xml.attributes().value("source").toString() + "->" +
                            xml.attributes().value("target").toString();
            if (n == QLatin1String("position") && !current.isEmpty() && !positions.contains(current))
                positions[current] =
                    QPointF(xml.attributes().value("x").toDouble(), xml.attributes().value("y").toDouble());
            if (n == QLatin1String("text") && !current.isEmpty()) {
                const QString text = xml.readElementText();
                (names.contains(current) ? markings : names)[current] = text;
            }
        } else if (xml.isEndElement()) {
            if (depthInOwn > 0) {
                --depthInOwn;
                continue;
            }
            if (xml.name() == QLatin1String("place") || xml.name() == QLatin1String("transition"))
                current.clear();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(netType, "http://www.pnml.org/version-2009/grammar/ptnet");
    EXPECT_EQ(names.value("p1"), "ready to produce");
    EXPECT_EQ(names.value("t1"), "produce");
    EXPECT_EQ(markings.value("p1"), "1");
    EXPECT_EQ(markings.value("p3"), "3");
    EXPECT_FALSE(markings.contains("p2")); // no tokens, no marking
    EXPECT_EQ(positions.value("p1"), centreOf(d.FindObject("p1")));
    EXPECT_EQ(arcs.size(), 12);
    EXPECT_TRUE(arcs.contains("p1->t1"));
}

TEST(PnmlExchange, WhatPnmlCannotHoldIsSaidOnExport)
{
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, QDir(ExamplesDir()).filePath("hybrid-tank.pn2")), "");
    QStringList warnings;
    ExportPnmlText(d, QString(), &warnings);
    EXPECT_TRUE(anyContains(warnings, "ordinary arcs")) << warnings.join('\n').toStdString();
    EXPECT_TRUE(anyContains(warnings, "continuous"));
}

TEST(PnmlExchange, ChangesMadeByAnotherProgramAreTaken)
{
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, QDir(ExamplesDir()).filePath("producer-consumer.pn2")), "");
    QString pnml = QString::fromUtf8(ExportPnmlText(d));
    const QPointF p1 = centreOf(d.FindObject("p1"));

    // Another program moves p1, gives it 4 tokens and a new name, doubles an
    // arc's weight, and adds a place with an arc.
    auto replaceOnce = [&](const QString& from, const QString& to) {
        const qsizetype at = pnml.indexOf(from);
        ASSERT_GE(at, 0) << from.toStdString();
        pnml.replace(at, from.size(), to);
    };
    replaceOnce(QStringLiteral("<position x=\"140\" y=\"130\"/>"),
                QStringLiteral("<position x=\"200\" y=\"150\"/>"));
    replaceOnce(QStringLiteral("<text>ready to produce</text>"),
                QStringLiteral("<text>idle producer</text>"));
    replaceOnce(QStringLiteral("<initialMarking>\n          <text>1</text>"),
                QStringLiteral("<initialMarking>\n          <text>4</text>"));
    replaceOnce(QStringLiteral("<arc id=\"L1\" source=\"p1\" target=\"t1\">"),
                QStringLiteral(
                    "<arc id=\"L1\" source=\"p1\" target=\"t1\"><inscription><text>2</text></inscription>"));
    replaceOnce(
        QStringLiteral("</page>"),
        QStringLiteral("<place id=\"extra\"><name><text>audit</text></name><graphics><position x=\"800\" "
                       "y=\"300\"/></graphics><initialMarking><text>2</text></initialMarking></place>"
                       "<arc id=\"e1\" source=\"t1\" target=\"extra\"/></page>"));

    TTestDesigner back;
    QStringList warnings;
    ASSERT_EQ(importText(back, pnml.toUtf8(), &warnings), "");
    auto* moved = find<TclsNodeDiscrete>(back, "p1");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(centreOf(moved), QPointF(200, 150));
    // Its label moved with it.
    const TQRVObject* movedLabel = back.FindObject("Textp1");
    EXPECT_EQ(movedLabel->Left() - d.FindObject("Textp1")->Left(), 200 - p1.x());
    EXPECT_EQ(moved->Tokens(), 4);
    EXPECT_EQ(labelText(back, "p1"), "idle producer");
    EXPECT_EQ(find<TclsLink>(back, "L1")->WeightValue(), 2);
    // The new place is named after the others and shows its name.
    auto* extra = find<TclsNodeDiscrete>(back, "p7");
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(extra->Tokens(), 2);
    EXPECT_EQ(labelText(back, "p7"), "audit");
    // Everything else is as it was.
    EXPECT_EQ(find<TclsTransTimed>(back, "t4")->Rate()->Value_Reference(), 1.5);
    EXPECT_EQ(back.ObjectCount(), d.ObjectCount() + 3);
}

TEST(PnmlImport, ForeignNetsGetClassesNamesLabelsAndPositions)
{
    // XML as other programs write it: a declaration, a comment, an entity,
    // character references, CDATA, a prefixed namespace.
    const QByteArray text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                            "<!DOCTYPE pnml [ <!ENTITY who \"Consumer\"> ]>\n"
                            "<!-- written by hand -->\n"
                            "<x:pnml xmlns:x=\"http://www.pnml.org/version-2009/grammar/pnml\">\n"
                            " <x:net id=\"net1\" type=\"http://www.pnml.org/version-2009/grammar/ptnet\">\n"
                            "  <x:name><x:text>demo</x:text></x:name>\n"
                            "  <x:page id=\"page1\">\n"
                            "   <x:transition id=\"go\"><x:name><x:text>Go &amp; back</x:text></x:name>\n"
                            "     <x:graphics><x:position x=\"215\" y=\"105\"/></x:graphics></x:transition>\n"
                            "   <x:place id=\"A\"><x:name><x:text><![CDATA[Start <1>]]></x:text></x:name>\n"
                            "     <x:graphics><x:position x=\"100\" y=\"100\"/></x:graphics>\n"
                            "     <x:initialMarking><x:text> 5 </x:text></x:initialMarking></x:place>\n"
                            "   <x:place id=\"B\"><x:name><x:text>&who; caf\xe9</x:text></x:name>\n"
                            "     <x:graphics><x:position x=\"300.5\" y=\"100\"/></x:graphics></x:place>\n"
                            "   <x:arc id=\"a1\" source=\"A\" "
                            "target=\"go\"><x:inscription><x:text>3</x:text></x:inscription></x:arc>\n"
                            "   <x:arc id=\"a2\" source=\"go\" target=\"B\"/>\n"
                            "  </x:page>\n"
                            " </x:net>\n"
                            "</x:pnml>\n";
    TTestDesigner d;
    QStringList warnings;
    ASSERT_EQ(importText(d, text, &warnings), "");
    auto* p1 = find<TclsNodeDiscrete>(d, "p1");
    auto* p2 = find<TclsNodeDiscrete>(d, "p2");
    auto* t1 = find<TclsTransTimed>(d, "t1");
    ASSERT_TRUE(p1 && p2 && t1);
    EXPECT_EQ(p1->Tokens(), 5);
    EXPECT_EQ(p2->Tokens(), 0);
    EXPECT_EQ(labelText(d, "p1"), QString::fromUtf8("Start \u20391\u203A"));
    EXPECT_EQ(labelText(d, "p2"), QString::fromUtf8("Consumer caf\u00e9"));
    EXPECT_EQ(labelText(d, "t1"), "Go & back");
    EXPECT_TRUE(anyContains(warnings, "look-alike")) << warnings.join('\n').toStdString();
    // The drawing keeps the file's arrangement; its top-left element at (40, 40).
    EXPECT_EQ(p1->Left(), 40);
    EXPECT_EQ(p1->Top(), 40);
    EXPECT_EQ(centreOf(p2) - centreOf(p1), QPointF(200.5, 0));
    EXPECT_EQ(centreOf(t1) - centreOf(p1), QPointF(115, 5));
    // The label sits right of its element.
    const TQRVObject* label = d.FindObject("Textp1");
    EXPECT_EQ(label->Left(), p1->Left() + p1->Width() + 10);
    auto* a1 = find<TclsLinkNormal>(d, "L1");
    ASSERT_NE(a1, nullptr);
    EXPECT_EQ(a1->Source(), p1);
    EXPECT_EQ(a1->Dest(), t1);
    EXPECT_EQ(a1->WeightValue(), 3);
    d.RebuildArcLists();
    EXPECT_TRUE(t1->Open());
}

TEST(PnmlImport, ReadsInhibitorAndReadArcsOfTheCommonDialects)
{
    const QByteArray nodes = "<place id=\"P\"/><place id=\"Q\"/><transition id=\"T\"/>\n";
    const struct
    {
        const char* what;
        QByteArray arc;
        const char* className;
        double weight;
    } cases[] = {
        {"type child with a value",
         "<arc id=\"a\" source=\"P\" target=\"T\"><type value=\"inhibitor\"/></arc>", "TclsLinkIngibitor", 1},
        {"type child with a text",
         "<arc id=\"a\" source=\"P\" target=\"T\"><type><text>read</text></type></arc>", "TclsLinkTest", 1},
        {"type attribute", "<arc id=\"a\" source=\"P\" target=\"T\" type=\"test\"/>", "TclsLinkTest", 1},
        {"inhibitor with a threshold",
         "<arc id=\"a\" source=\"P\" target=\"T\" "
         "type=\"inhibitor\"><inscription><text>3</text></inscription></arc>",
         "TclsLinkIngibitorCounter", 3},
        {"tool-specific type",
         "<arc id=\"a\" source=\"P\" target=\"T\"><toolspecific tool=\"other\" version=\"2\">"
         "<arcType><text>Inhibitor_Arc</text></arcType></toolspecific></arc>",
         "TclsLinkIngibitor", 1},
        {"tool-specific type attribute",
         "<arc id=\"a\" source=\"P\" target=\"T\"><toolspecific tool=\"x\"><type "
         "value=\"read\"/></toolspecific></arc>",
         "TclsLinkTest", 1},
        {"read arc drawn from the transition", "<arc id=\"a\" source=\"T\" target=\"P\" type=\"read\"/>",
         "TclsLinkTest", 1},
        {"ordinary", "<arc id=\"a\" source=\"P\" target=\"T\"><type value=\"normal\"/></arc>",
         "TclsLinkNormal", 1},
    };
    for (const auto& c : cases) {
        TTestDesigner d;
        QStringList warnings;
        ASSERT_EQ(importText(d, pnmlOf(nodes + c.arc), &warnings), "") << c.what;
        auto* arc = find<TclsLink>(d, "L1");
        ASSERT_NE(arc, nullptr) << c.what;
        EXPECT_EQ(arc->ClassName(), QLatin1String(c.className)) << c.what;
        EXPECT_EQ(arc->WeightValue(), c.weight) << c.what;
        EXPECT_EQ(arc->Source(), d.FindObject("p1")) << c.what;
        EXPECT_EQ(arc->Dest(), d.FindObject("t1")) << c.what;
        EXPECT_TRUE(warnings.isEmpty()) << c.what << ": " << warnings.join('\n').toStdString();
    }

    // What cannot be represented is dropped, and said.
    TTestDesigner d;
    QStringList warnings;
    ASSERT_EQ(
        importText(d,
                   pnmlOf(nodes + "<arc id=\"r\" source=\"P\" target=\"T\" type=\"reset\"/>"
                                  "<arc id=\"u\" source=\"P\" target=\"T\"><type value=\"transfer\"/></arc>"
                                  "<arc id=\"k\" source=\"P\" target=\"Q\"/>"
                                  "<arc id=\"z\" source=\"P\" target=\"nowhere\"/>"),
                   &warnings),
        "");
    EXPECT_EQ(find<TclsLink>(d, "L1"), nullptr);
    const QString all = warnings.join('\n');
    EXPECT_TRUE(all.contains("Reset arcs were dropped") && all.contains("(r)")) << all.toStdString();
    EXPECT_TRUE(all.contains("\"transfer\"") && all.contains("(u)")) << all.toStdString();
    EXPECT_TRUE(all.contains("two places") && all.contains("(k)")) << all.toStdString();
    EXPECT_TRUE(all.contains("no place or transition") && all.contains("(z)")) << all.toStdString();
}

TEST(PnmlImport, PagesNestAndReferencesLeadToTheirNodes)
{
    const QByteArray page = "<place id=\"P\"><initialMarking><text>1</text></initialMarking></place>\n"
                            "<page id=\"inner\"><name><text>detail</text></name>\n"
                            "  <transition id=\"T\"/>\n"
                            "  <referencePlace id=\"rp\" ref=\"P\"/>\n"
                            "  <referencePlace id=\"rp2\" ref=\"rp\"/>\n"
                            "  <arc id=\"a\" source=\"rp2\" target=\"T\"/>\n"
                            "  <page id=\"deeper\"><place id=\"R\"/>\n"
                            "    <referenceTransition id=\"rt\" ref=\"T\"/>\n"
                            "    <referencePlace id=\"bad\" ref=\"T\"/>\n"
                            "    <arc id=\"b\" source=\"rt\" target=\"R\"/>\n"
                            "    <arc id=\"c\" source=\"bad\" target=\"T\"/></page>\n"
                            "</page>\n";
    TTestDesigner d;
    QStringList warnings;
    ASSERT_EQ(importText(d, pnmlOf(page), &warnings), "");
    auto* p1 = find<TclsNodeDiscrete>(d, "p1");
    auto* p2 = find<TclsNodeDiscrete>(d, "p2");
    auto* t1 = find<TclsTransTimed>(d, "t1");
    ASSERT_TRUE(p1 && p2 && t1);
    EXPECT_EQ(labelText(d, "p2"), "R");
    EXPECT_EQ(find<TclsLink>(d, "L1")->Source(), p1);
    EXPECT_EQ(find<TclsLink>(d, "L1")->Dest(), t1);
    EXPECT_EQ(find<TclsLink>(d, "L2")->Source(), t1);
    EXPECT_EQ(find<TclsLink>(d, "L2")->Dest(), p2);
    EXPECT_EQ(find<TclsLink>(d, "L3"), nullptr);
    const QString all = warnings.join('\n');
    EXPECT_TRUE(all.contains("3 pages")) << all.toStdString();
    EXPECT_TRUE(all.contains("References that lead to no place") && all.contains("(bad)"))
        << all.toStdString();
}

TEST(PnmlImport, WhatCannotBeRepresentedIsDroppedWithAWarning)
{
    const QByteArray page =
        "<place id=\"P\"><capacity><text>3</text></capacity>\n"
        "  <graphics><position x=\"10\" y=\"10\"/><fill color=\"red\"/></graphics>\n"
        "  <toolspecific tool=\"painter\" version=\"1\"><shade/></toolspecific>\n"
        "  <initialMarking><text>2.5</text></initialMarking></place>\n"
        "<transition id=\"T\"><graphics><position x=\"100\" y=\"10\"/></graphics></transition>\n"
        "<arc id=\"a\" source=\"P\" target=\"T\"><name><text>x</text></name></arc>\n"
        "<arc id=\"b\" source=\"P\" target=\"T\"><inscription><text>2</text></inscription></arc>\n"
        "<arc id=\"c\" source=\"T\" target=\"P\"><inscription><text>x+1</text></inscription></arc>\n"
        "<declaration><structure/></declaration>\n";
    TTestDesigner d;
    QStringList warnings;
    ASSERT_EQ(importText(d, pnmlOf(page, "http://www.pnml.org/version-2009/grammar/symmetricnet"), &warnings),
              "");
    const QString all = warnings.join('\n');
    for (const char* part :
         {"symmetricnet", "<capacity>", "(P)", "Drawing attributes", "\"painter\"", "Initial markings",
          "Names of arcs", "merged", "weight is their sum", "(b)", "Inscriptions", "(c)", "<declaration>"})
        EXPECT_TRUE(all.contains(QLatin1String(part))) << part << "\n" << all.toStdString();
    // The parallel arcs became one of weight 3.
    auto* merged = find<TclsLink>(d, "L1");
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged->WeightValue(), 3);
    EXPECT_EQ(find<TclsLink>(d, "L2")->WeightValue(), 1);
    EXPECT_EQ(find<TclsNodeDiscrete>(d, "p1")->Tokens(), 0);
}

TEST(PnmlImport, NetsWithoutPositionsGetALayeredDrawing)
{
    // A cycle p1 -> t1 -> p2 -> t2 -> p1 and a separate chain, every node at one point.
    const QByteArray same = "<graphics><position x=\"100\" y=\"100\"/></graphics>";
    const QByteArray page =
        "<place id=\"A\">" + same + "<initialMarking><text>1</text></initialMarking></place>" +
        "<transition id=\"T\">" + same + "</transition><place id=\"B\">" + same +
        "</place><transition id=\"U\">" + same + "</transition>" + "<place id=\"C\">" + same +
        "</place><transition id=\"V\">" + same + "</transition>" +
        "<arc id=\"1\" source=\"A\" target=\"T\"/><arc id=\"2\" source=\"T\" target=\"B\"/>"
        "<arc id=\"3\" source=\"B\" target=\"U\"/><arc id=\"4\" source=\"U\" target=\"A\"/>"
        "<arc id=\"5\" source=\"V\" target=\"C\"/>";
    for (bool withPositions : {true, false}) {
        QByteArray text = page;
        if (!withPositions)
            text.replace(same, "");
        TTestDesigner d;
        ASSERT_EQ(importText(d, pnmlOf(text)), "");
        QSet<QPair<double, double>> seen;
        for (const char* name : {"p1", "t1", "p2", "t2", "p3", "t3"}) {
            const QPointF c = centreOf(d.FindObject(name));
            EXPECT_EQ(std::fmod(c.x(), 10), 0) << name;
            EXPECT_EQ(std::fmod(c.y(), 10), 0) << name;
            seen.insert({c.x(), c.y()});
        }
        EXPECT_EQ(seen.size(), 6);
        // The marked place starts its cycle at the top; each step one row lower.
        EXPECT_LT(centreOf(d.FindObject("p1")).y(), centreOf(d.FindObject("t1")).y());
        EXPECT_LT(centreOf(d.FindObject("t1")).y(), centreOf(d.FindObject("p2")).y());
        EXPECT_LT(centreOf(d.FindObject("p2")).y(), centreOf(d.FindObject("t2")).y());
        // The source transition of the chain sits above its place, beside the cycle.
        EXPECT_LT(centreOf(d.FindObject("t3")).y(), centreOf(d.FindObject("p3")).y());
        EXPECT_GT(centreOf(d.FindObject("t3")).x(), centreOf(d.FindObject("p1")).x());
    }
}

TEST(PnmlImport, LayeredLayoutPlacesEveryNodeOnce)
{
    TLayeredLayoutInput input;
    input.Count = 40;
    for (int i = 0; i + 1 < 30; ++i)
        input.Edges << qMakePair(i, i + 1);
    input.Edges << qMakePair(29, 0) << qMakePair(35, 35) << qMakePair(36, 99);
    for (int i = 30; i < 40; ++i)
        input.Edges << qMakePair(30, i);
    input.MaxPerRow = 4;
    const QList<QPointF> c = LayeredLayout(input);
    ASSERT_EQ(c.size(), 40);
    QSet<QPair<double, double>> seen;
    for (const QPointF& p : c) {
        EXPECT_GT(p.x(), 0);
        EXPECT_GT(p.y(), 0);
        seen.insert({p.x(), p.y()});
    }
    EXPECT_EQ(seen.size(), 40);
    EXPECT_TRUE(LayeredLayout(TLayeredLayoutInput()).isEmpty());

    // Rows are ordered to avoid crossings where the document order has them:
    // roots 0, 1, 2 with 3 below 0 and 2, 4 below 1, and 5 below 3 and 4.
    // Drawn in document order, 2-3 crosses 1-4; the root 2 belongs between 0 and 1.
    TLayeredLayoutInput crossed;
    crossed.Count = 6;
    crossed.Edges << qMakePair(0, 3) << qMakePair(2, 3) << qMakePair(1, 4) << qMakePair(3, 5)
                  << qMakePair(4, 5);
    const QList<QPointF> r = LayeredLayout(crossed);
    ASSERT_EQ(r.size(), 6);
    int crossings = 0;
    for (const auto& a : crossed.Edges)
        for (const auto& b : crossed.Edges)
            if (r[a.first].y() == r[b.first].y() && r[a.second].y() == r[b.second].y() &&
                (r[a.first].x() - r[b.first].x()) * (r[a.second].x() - r[b.second].x()) < 0)
                ++crossings;
    EXPECT_EQ(crossings, 0);
}

TEST(PnmlImport, FilesThatCannotBeReadLeaveTheNetAsItWas)
{
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, QDir(ExamplesDir()).filePath("unbounded.pn2")), "");
    const QString before = NetToText(d);
    QByteArray deep;
    for (int i = 0; i < 300; ++i)
        deep += "<page id=\"g" + QByteArray::number(i) + "\">";
    const struct
    {
        const char* what;
        QByteArray text;
        const char* message;
    } cases[] = {
        {"empty", "", "empty"},
        {"no XML", "this is not XML", "well-formed"},
        {"truncated", pnmlOf("<place id=\"P\"/>").left(120), "well-formed"},
        {"other root", "<net id=\"n\"/>", "no PNML file"},
        {"no net", "<pnml xmlns=\"http://www.pnml.org/version-2009/grammar/pnml\"/>", "no <net>"},
        {"twice the same id", pnmlOf("<place id=\"P\"/><transition id=\"P\"/>"), "\"P\" is given twice"},
        {"arc without target", pnmlOf("<place id=\"P\"/><arc id=\"a\" source=\"P\"/>"), "source or target"},
        {"place without id", pnmlOf("<place/>"), "has no id"},
        {"mismatched tags", pnmlOf("<place id=\"P\"></transition>"), "well-formed"},
        {"nested too deeply", pnmlOf(deep), ""},
        {"bad own data",
         pnmlOf("<place id=\"p1\"><toolspecific tool=\"Quorvane\" version=\"1.0\"><object "
                "class=\"TclsNodeDiscrete\" "
                "name=\"p1\" size=\"osHuge\" markers=\"1\"><cost "
                "formula=\"0\"/></object></toolspecific></place>"),
         "\"size\""},
    };
    for (const auto& c : cases) {
        const QString error = importText(d, c.text);
        EXPECT_FALSE(error.isEmpty()) << c.what;
        EXPECT_TRUE(error.contains(QLatin1String(c.message))) << c.what << ": " << error.toStdString();
        EXPECT_EQ(NetToText(d), before) << c.what;
    }
}

TEST(PnmlImport, RandomDamageNeverCrashes)
{
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, TestDataDir() + "/every-class.pn2"), "");
    const QByteArray valid = ExportPnmlText(d);
    std::mt19937 random(7);
    auto below = [&](qsizetype n) {
        return static_cast<qsizetype>(random() % static_cast<quint32>(std::max<qsizetype>(n, 1)));
    };
    const QByteArray alphabet = "<>/=\"' &;!-[]?x0";
    int read = 0;
    for (int round = 0; round < 300; ++round) {
        QByteArray text = valid;
        for (int e = 0; e < 3; ++e) {
            const qsizetype at = below(text.size());
            if (below(2) == 0)
                text.remove(at, 1 + below(60));
            else
                text.insert(at, alphabet.at(below(alphabet.size())));
        }
        TTestDesigner attempt;
        QStringList warnings;
        try {
            ImportPnmlText(attempt, text, &warnings);
            ++read;
        } catch (const std::exception&) {
        }
    }
    EXPECT_GT(read, 0);
}

// Every net of other programs in the shared folder: each place, transition and
// arc of the file is in the net, or a warning says why not.
TEST(PnmlImport, NetsOfOtherProgramsAreReadCompletely)
{
    const QString folder = SharedPnmlDir();
    if (folder.isEmpty())
        GTEST_SKIP() << "no shared PNML folder";
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.pnml")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        const QString file = QDir(folder).filePath(name);
        // Count what the file holds, outside tool-specific sections.
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&f);
        int places = 0, transitions = 0, arcs = 0, inTool = 0;
        double tokens = 0;
        QString firstPlaceName;
        QStringList path;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                path << xml.name().toString();
                if (xml.name() == QLatin1String("toolspecific"))
                    ++inTool;
                if (inTool)
                    continue;
                if (xml.name() == QLatin1String("place"))
                    ++places;
                else if (xml.name() == QLatin1String("transition"))
                    ++transitions;
                else if (xml.name() == QLatin1String("arc"))
                    ++arcs;
                else if (xml.name() == QLatin1String("text") && path.size() >= 3 &&
                         path.at(path.size() - 3) == QLatin1String("place")) {
                    const QString label = path.at(path.size() - 2);
                    const QString text = xml.readElementText().trimmed();
                    path.removeLast();
                    if (label == QLatin1String("initialMarking"))
                        tokens += text.toDouble();
                    else if (label == QLatin1String("name") && firstPlaceName.isEmpty())
                        firstPlaceName = text;
                }
            } else if (xml.isEndElement()) {
                if (xml.name() == QLatin1String("toolspecific"))
                    --inTool;
                path.removeLast();
            }
        }
        ASSERT_FALSE(xml.hasError()) << name.toStdString();

        TTestDesigner d;
        QStringList warnings;
        ASSERT_EQ(LoadNetFile(d, file, &warnings), "") << name.toStdString();
        int netPlaces = 0, netTransitions = 0, netArcs = 0;
        double netTokens = 0;
        for (const TQRVObject* o : d.ObjectList()) {
            if (const auto* p = qobject_cast<const TclsNodeDiscrete*>(o)) {
                ++netPlaces;
                netTokens += p->Tokens();
                EXPECT_TRUE(QRegularExpression("^p[0-9]+$").match(p->Name()).hasMatch());
            } else if (qobject_cast<const TclsTransTimed*>(o)) {
                ++netTransitions;
            } else if (const auto* a = qobject_cast<const TclsLink*>(o)) {
                ++netArcs;
                EXPECT_TRUE(a->IsConnected());
            }
        }
        EXPECT_EQ(netPlaces, places) << name.toStdString();
        EXPECT_EQ(netTransitions, transitions) << name.toStdString();
        EXPECT_EQ(netTokens, tokens) << name.toStdString();
        EXPECT_EQ(labelText(d, "p1"), firstPlaceName) << name.toStdString();
        if (netArcs != arcs) {
            EXPECT_TRUE(anyContains(warnings, "arcs") || anyContains(warnings, "Arcs"))
                << name.toStdString() << ": " << netArcs << " of " << arcs;
        }
        EXPECT_LE(netArcs, arcs) << name.toStdString();
        // Tool-specific data of other programs is named in a warning.
        if (f.seek(0) && f.readAll().contains("<toolspecific")) {
            EXPECT_TRUE(anyContains(warnings, "Tool-specific")) << name.toStdString();
        }
    }
}

TEST(PnmlExchange, AFailedExportKeepsThePreviousFile)
{
    QTemporaryDir dir;
    TTestDesigner d;
    ASSERT_EQ(LoadNetFile(d, QDir(ExamplesDir()).filePath("unbounded.pn2")), "");
    const QString file = dir.filePath("net.pnml");
    ASSERT_EQ(SaveNetFile(d, file), "");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray first = f.readAll();
    f.close();
    EXPECT_TRUE(SaveNetFile(d, dir.filePath("no/such/folder/net.pnml")).startsWith("Cannot write"));
    // A folder where the file should be: nothing is written, nothing lost.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.pnml"));
    EXPECT_FALSE(SaveNetFile(d, dir.filePath("taken.pnml")).isEmpty());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), first);
}
