// The XML tree of net files: writing, tokenizing, building, conversions.
#include <gtest/gtest.h>

#include "netfile/xml_tree.h"

TEST(XmlTree, WritesElementsAsNetFilesLayThemOut)
{
    TqibXMLTree tree;
    TqibXMLNode* object = tree.AddNode("object");
    object->AddAttribute("class", "TclsText");
    object->AddAttribute("name", "Text1");
    TqibXMLNode* font = object->AddNode("font");
    font->AddAttribute("name", "Arial");
    tree.AddNode("simulate")->AddNode("graph", "p1_TOKENS");
    tree.AddNode("empty");
    EXPECT_EQ(tree.Text(), "<object class=\"TclsText\" name=\"Text1\">\r\n"
                           "  <font name=\"Arial\" />\r\n"
                           "</object>\r\n"
                           "<simulate>\r\n"
                           "  <graph>\r\n"
                           "    p1_TOKENS\r\n"
                           "  </graph>\r\n"
                           "</simulate>\r\n"
                           "<empty />\r\n");
}

TEST(XmlTree, ReadsBackWhatItWrites)
{
    TqibXMLTree tree;
    TqibXMLNode* a = tree.AddNode("a");
    a->AddAttribute("x", "1");
    a->AddAttribute("x", "2"); // a repeated attribute stays repeated
    TqibXMLNode* c = a->AddNode("c", "some text");
    c->AddNode("d")->AddAttribute("y", "a b c");
    TqibXMLNode* cdata = a->AddNode("e", "line one\\n line two\\t tab");
    cdata->ValueType = 1;
    const QString text = tree.Text();

    TqibXMLTree back;
    back.SetText(text);
    EXPECT_EQ(back.Name, "root");
    EXPECT_EQ(back.Text(), text);
    ASSERT_EQ(back.Nodes().size(), 1);
    TqibXMLNode* ra = back.Nodes().first();
    ASSERT_EQ(ra->Attributes().size(), 2);
    EXPECT_EQ(ra->GetAttribute("x")->Value, "1");
    EXPECT_EQ(ra->GetNamedNode("c")->Value, "some text");
    EXPECT_EQ(ra->FindNamedNode("d")->GetAttribute("y")->Value, "a b c");
    EXPECT_EQ(ra->GetNamedNode("e")->ValueType, 1);
    EXPECT_EQ(ra->GetNamedNode("e")->Value, "line one\\n line two\\t tab");
    EXPECT_EQ(ra->GetNamedNode("d"), nullptr); // only direct children
    EXPECT_EQ(ra->FindNamedNode("d")->Line, 4);
}

TEST(XmlTree, ToleratesWhatTheReaderDoesNotCheck)
{
    TqibXMLTree tree;
    // A closing tag with a wrong name closes the current element anyway.
    tree.SetText("<a><b></wrong><c /></a>");
    ASSERT_EQ(tree.Nodes().size(), 1);
    EXPECT_EQ(tree.Nodes().first()->Nodes().size(), 2);

    // An empty-element tag without a blank before "/" keeps it in its name.
    tree.SetText("<simulate/>");
    EXPECT_EQ(tree.Nodes().first()->Name, "simulate/");

    // Text over several lines comes back as one line.
    tree.SetText("<g>\r\nfirst\r\nsecond\r\n</g>");
    EXPECT_EQ(tree.Nodes().first()->Value, "first second");

    // Single quotes do not delimit values: the first name takes the next
    // double-quoted value. A "/" at the end of a tag is ignored.
    tree.SetText("<a x='1' y=\"2\"/>");
    TqibXMLNode* a = tree.Nodes().first();
    EXPECT_EQ(a->Name, "a");
    ASSERT_EQ(a->Attributes().size(), 1);
    EXPECT_EQ(a->GetAttribute("x")->Value, "2");
}

TEST(XmlTree, ReportsTextsThatHoldNoTree)
{
    TqibXMLTree tree;
    EXPECT_THROW(tree.SetText(""), TXmlReadError);
    EXPECT_THROW(tree.SetText("   \r\n  "), TXmlReadError);
    EXPECT_THROW(tree.SetText("<a></a></b>"), TXmlReadError);
    tree.SetText("<a><b x=\"1\">");
    ASSERT_NE(tree.UnclosedElement(), nullptr);
    EXPECT_EQ(tree.UnclosedElement()->Name, "b");
    tree.SetText("<a><b x=\"1\" /></a>");
    EXPECT_EQ(tree.UnclosedElement(), nullptr);

    // Nesting is bounded, so that no damaged file can exhaust the stack of
    // the recursive walks, closed or not.
    const int max = TqibXMLTree::MaxDepth;
    tree.SetText(QString("<a>").repeated(max) + "<b />" + QString("</a>").repeated(max));
    QList<TqibXMLNode*> found;
    tree.FindNamedNodes("b", found);
    EXPECT_EQ(found.size(), 1);
    EXPECT_THROW(tree.SetText(QString("<a>").repeated(max + 1) + QString("</a>").repeated(max + 1)),
                 TXmlReadError);
    const int deep = 1000000;
    EXPECT_THROW(tree.SetText(QString("<a>").repeated(deep) + QString("</a>").repeated(deep)), TXmlReadError);
    EXPECT_THROW(tree.SetText(QString("<a>").repeated(deep)), TXmlReadError);
}

TEST(XmlTree, FindsNamedNodesInDocumentOrder)
{
    TqibXMLTree tree;
    tree.SetText("<object name=\"1\"><object name=\"2\" /></object><x><object name=\"3\" /></x>");
    QList<TqibXMLNode*> list;
    tree.FindNamedNodes("object", list);
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0]->GetAttribute("name")->Value, "1");
    EXPECT_EQ(list[1]->GetAttribute("name")->Value, "2");
    EXPECT_EQ(list[2]->GetAttribute("name")->Value, "3");
}

TEST(XmlTree, ConvertsAttributeValues)
{
    TqibXMLAttribute a("left", "12,5");
    EXPECT_DOUBLE_EQ(a.AsFloat(), 12.5);
    a.Value = "1E-6";
    EXPECT_DOUBLE_EQ(a.AsFloat(), 1e-6);
    a.Value = "12x";
    EXPECT_THROW(a.AsFloat(), TConvertError);
    a.Value = "0x10";
    EXPECT_THROW(a.AsFloat(), TConvertError);
    a.Value = "-42";
    EXPECT_EQ(a.AsInteger(), -42);
    a.Value = "4.2";
    EXPECT_THROW(a.AsInteger(), TConvertError);
    for (const char* yes : {"1", "true", "TRUE", "True"}) {
        a.Value = yes;
        EXPECT_TRUE(a.AsBoolean()) << yes;
    }
    for (const char* no : {"0", "yes", "", "2"}) {
        a.Value = no;
        EXPECT_FALSE(a.AsBoolean()) << no;
    }
    EXPECT_EQ(TqibXMLAttribute("x", "a b").AsXml(), " x=\"a b\"");
}

TEST(XmlTree, KeepsBytesOfOlderFilesAndTakesUnicode)
{
    // Bytes above 127 that are not UTF-8 are read as single characters and
    // written back as they were.
    const QByteArray latin1("<t text=\"caf\xE9\" />\r\n");
    TqibXMLTree tree;
    tree.SetText(TqibXMLTree::Decode(latin1));
    EXPECT_EQ(tree.Nodes().first()->GetAttribute("text")->Value, QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(TqibXMLTree::Encode(tree.Text()), latin1);
    // Characters beyond one byte are stored as UTF-8 and read back.
    const QString euro = QString::fromUtf8("<t text=\"5 \xE2\x82\xAC\" />\r\n");
    EXPECT_EQ(TqibXMLTree::Decode(TqibXMLTree::Encode(euro)), euro);
}

TEST(XmlTree, ReadsTheBytesOfAFileAsItsDecodedText)
{
    // ASCII, Latin-1 that is not UTF-8, and UTF-8; with line breaks and tabs
    // inside tags, text, CDATA, text outside elements and an unclosed element.
    const QByteArray samples[] = {
        "<a x=\"1\"\r\n  y=\"2\"\t/>\r\n<b>\r\n  some  text\r\n</b>\r\n<c><![CDATA[x\r\n\ty]]></c>\r\n",
        "stray <a text=\"caf\xE9\" name=\"\xA0x\xA0\">\xA0</a>\r\n<b>",
        "<a text=\"caf\xC3\xA9 5 \xE2\x82\xAC\">\r\n  \xE2\x82\xAC\r\n</a>\r\n \xC2\xA0",
    };
    for (const QByteArray& bytes : samples) {
        TqibXMLTree fromBytes, fromText;
        fromBytes.SetBytes(bytes);
        fromText.SetText(TqibXMLTree::Decode(bytes));
        EXPECT_EQ(fromBytes.Text(), fromText.Text()) << bytes.constData();
        EXPECT_EQ(fromBytes.TopLevelTextLine(), fromText.TopLevelTextLine()) << bytes.constData();
        EXPECT_EQ(fromBytes.LastLine(), fromText.LastLine()) << bytes.constData();
        EXPECT_EQ(fromBytes.UnclosedElement() != nullptr, fromText.UnclosedElement() != nullptr);
        ASSERT_EQ(fromBytes.Nodes().size(), fromText.Nodes().size());
        for (qsizetype i = 0; i < fromBytes.Nodes().size(); ++i)
            EXPECT_EQ(fromBytes.Nodes().at(i)->Line, fromText.Nodes().at(i)->Line);
    }
    // Texts that hold no tree are reported alike.
    for (const QByteArray& bytes : {QByteArray(" \r\n\xA0 "), QByteArray("<a>\r\n</a></b>")}) {
        QString fromBytes, fromText;
        try {
            TqibXMLTree().SetBytes(bytes);
        } catch (const TXmlReadError& e) {
            fromBytes = e.Message;
        }
        try {
            TqibXMLTree().SetText(TqibXMLTree::Decode(bytes));
        } catch (const TXmlReadError& e) {
            fromText = e.Message;
        }
        EXPECT_FALSE(fromBytes.isEmpty());
        EXPECT_EQ(fromBytes, fromText);
    }
}

TEST(XmlTree, HandsOverEachTopLevelElementOnceItIsComplete)
{
    TqibXMLTree tree;
    QStringList seen;
    tree.SetText("<a>\r\n  <b />\r\n</a>\r\n<c />\r\n<d>\r\n  <e>", [&](TqibXMLNode& element) {
        seen << element.Name + QString::number(element.Nodes().size());
        element.ClearNodes(); // the element may be emptied
    });
    // The unclosed element is never complete.
    EXPECT_EQ(seen, QStringList({"a1", "c0"}));
    ASSERT_EQ(tree.Nodes().size(), 3);
    EXPECT_TRUE(tree.Nodes().first()->Nodes().isEmpty());
    EXPECT_EQ(tree.UnclosedElement()->Name, "e");
}
