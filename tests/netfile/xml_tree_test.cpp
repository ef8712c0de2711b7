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
