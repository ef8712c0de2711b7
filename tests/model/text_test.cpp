// Free text objects: defaults, size, text edits, drawing at scale, storing.
#include <gtest/gtest.h>

#include <QFontMetrics>

#include "element_support.h"
#include "model/graphics_objects.h"
#include "model/text.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"
#include "test_support.h"

TEST(Text, NewTextReadsTextInArial10AndIsExactlyAsLargeAsIt)
{
    TTestDesigner d;
    TclsText* t = CreateAt<TclsText>(d, 40, 30);
    EXPECT_EQ(t->Name(), "Text1");
    EXPECT_EQ(t->Text(), "Text");
    EXPECT_EQ(t->Font()->Name(), "Arial");
    EXPECT_EQ(t->Font()->Size(), 10);
    EXPECT_EQ(t->GetTypeCaption(), "Text");

    const QFontMetrics metrics(QFont(QStringLiteral("Arial"), 10));
    EXPECT_EQ(t->Width(), metrics.horizontalAdvance(QStringLiteral("Text")));
    EXPECT_EQ(t->Height(), metrics.height());

    // What is drawn lies inside the box and spans most of its width.
    const QImage image = PaintNet(d);
    const QRect box(40, 30, qRound(t->Width()), qRound(t->Height()));
    const QRect ink = InkBox(image, image.rect());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(box.contains(ink)) << "ink outside the text's box";
    EXPECT_GE(ink.width(), box.width() * 7 / 10);
}

TEST(Text, EditsKeepTheSizeInStepAndRefuseUnusableTexts)
{
    TTestDesigner d;
    TclsText* t = CreateAt<TclsText>(d, 0, 0);
    const double width = t->Width();

    t->SetText(QString());
    EXPECT_EQ(t->Text(), "Text");
    EXPECT_EQ(t->Width(), width);

    t->SetText(QStringLiteral("A much longer text"));
    EXPECT_EQ(t->Text(), "A much longer text");
    EXPECT_GT(t->Width(), width);

    // '"', '<' and '>' would break the net file.
    for (const char* bad : {"say \"hi\"", "a<b", "a>b"}) {
        t->SetText(QString::fromLatin1(bad));
        EXPECT_EQ(t->Text(), "A much longer text");
    }
    EXPECT_EQ(d.Errors.size(), 3);
}

TEST(Text, ZoomDrawsTwiceAsLargeWhileTheHitRegionKeepsItsSize)
{
    TTestDesigner d;
    TclsText* t = CreateAt<TclsText>(d, 20, 20);
    t->SetText(QStringLiteral("Hgjk"));
    const QRect small = InkBox(PaintNet(d), QRect(0, 0, 400, 300));

    d.SetScale(2);
    const QRect large = InkBox(PaintNet(d), QRect(0, 0, 400, 300));
    ASSERT_FALSE(small.isEmpty());
    ASSERT_FALSE(large.isEmpty());
    EXPECT_NEAR(double(large.height()) / small.height(), 2.0, 0.35);
    EXPECT_NEAR(double(large.width()) / small.width(), 2.0, 0.35);
    EXPECT_NEAR(large.left(), 40, 4);

    // The region stays as large as the unscaled text, at the scaled position.
    const QRect region = t->GetRegion().boundingRect();
    EXPECT_NEAR(region.left(), 40, 1);
    EXPECT_NEAR(region.top(), 40, 1);
    EXPECT_NEAR(region.width(), t->Width(), 1);
    EXPECT_NEAR(region.height(), t->Height(), 1);
    EXPECT_EQ(d.ObjectAt(40 + t->Width() / 2, 40 + t->Height() / 2), t);
}

TEST(Text, DrawsInItsFontColourOrMagentaWhenSelected)
{
    TTestDesigner d;
    TclsText* t = CreateAt<TclsText>(d, 10, 10);
    t->Font()->SetColor(QColor(0, 0, 255));
    const QRect area(0, 0, 100, 40);
    const QImage normal = PaintNet(d);
    EXPECT_GT(CountTinted(normal, area, QColor(0, 0, 255)), 20);
    EXPECT_EQ(CountTinted(normal, area, HighlightColor()), 0);

    d.SelectObject(t);
    const QImage selected = PaintNet(d);
    EXPECT_GT(CountTinted(selected, area, HighlightColor()), 20);
    EXPECT_EQ(CountTinted(selected, area, QColor(0, 0, 255)), 0);
}

TEST(Text, StoresTextAndFont)
{
    TTestDesigner d;
    TclsText* t = CreateAt<TclsText>(d, 12.5, 30);
    t->SetText(QStringLiteral("Buffer"));
    t->Font()->SetSize(14);
    t->Font()->SetStyle(Qrv::fsBold | Qrv::fsUnderline);

    TqibXMLNode element(QStringLiteral("object"));
    element.AddAttribute(QStringLiteral("class"), t->ClassName());
    t->SaveToXml(element);
    const QString xml = element.AsXml(0);
    EXPECT_TRUE(xml.startsWith(QStringLiteral("<object class=\"TclsText\" name=\"Text1\" left=\"12.5\" "
                                              "top=\"30\" width=\"")))
        << xml.toStdString();
    EXPECT_TRUE(xml.contains(QStringLiteral("group=\"\" text=\"Buffer\">\r\n  <font name=\"Arial\" "
                                            "size=\"14\" color=\"0\" style=\"5\" />\r\n</object>\r\n")))
        << xml.toStdString();

    TTestDesigner other;
    TclsText copy(&other);
    copy.LoadFromXml(element);
    copy.Loaded();
    EXPECT_EQ(copy.Name(), "Text1");
    EXPECT_EQ(copy.Text(), "Buffer");
    EXPECT_EQ(copy.Left(), 12.5);
    EXPECT_EQ(copy.Font()->Size(), 14);
    EXPECT_EQ(copy.Font()->Style(), Qrv::fsBold | Qrv::fsUnderline);
    EXPECT_EQ(copy.Width(), t->Width());
    EXPECT_EQ(copy.Height(), t->Height());

    // The font is required.
    TqibXMLNode noFont(QStringLiteral("object"));
    noFont.AddAttribute(QStringLiteral("name"), QStringLiteral("Text9"));
    noFont.AddAttribute(QStringLiteral("text"), QStringLiteral("x"));
    EXPECT_THROW(copy.LoadFromXml(noFont), TNetFileError);
}
