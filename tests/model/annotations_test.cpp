// Frames, ellipses, rounded rectangles, lines and the token marker: hit
// regions, resizing and dragging through the container, drawing, storing.
#include <gtest/gtest.h>

#include "element_support.h"
#include "model/annotations.h"
#include "model/graphics_objects.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"
#include "test_support.h"

namespace {

// The element written as a net file writes it.
QString savedXml(const TQRVObject& object)
{
    TqibXMLNode element(QStringLiteral("object"));
    element.AddAttribute(QStringLiteral("class"), object.ClassName());
    dynamic_cast<const IQRVStorable&>(object).SaveToXml(element);
    return element.AsXml(0);
}

// An element read back from a text as a net file holds it.
template <class T> void loadXml(T& object, const QString& text)
{
    TqibXMLTree tree;
    tree.SetText(text);
    ASSERT_EQ(tree.Nodes().size(), 1);
    object.IncludeState(osLoading);
    object.LoadFromXml(*tree.Nodes().first());
    object.ExcludeState(osLoading);
    object.Loaded();
}

// A press, a move and a release of the left button, in screen pixels.
void dragMouse(TQRVDesigner& d, QPointF from, QPointF to)
{
    d.LeftButtonDown(from.x(), from.y());
    d.MouseMoveTo((from.x() + to.x()) / 2, (from.y() + to.y()) / 2);
    d.MouseMoveTo(to.x(), to.y());
    d.LeftButtonUp(to.x(), to.y());
}

// The ink of a frame's caption: everything drawn across the top edge of
// `frame` (screen box), without the frame's own edges.
QRect captionInk(const QImage& image, const QRect& frame)
{
    const int x = frame.left() + 1, w = frame.width() - 2, y = frame.top();
    return InkBox(image, QRect(x, y - 40, w, 40)) | InkBox(image, QRect(x, y + 1, w, 40));
}

} // namespace

// ---- frame ------------------------------------------------------------------

TEST(Frame, IsHitOnlyAlongItsTopEdgeAndAtItsCorner)
{
    TTestDesigner d;
    TclsFrame* f = CreateAt<TclsFrame>(d, 100, 100);
    EXPECT_EQ(f->Name(), "Frame1");
    EXPECT_EQ(f->Width(), 100);
    EXPECT_EQ(f->Height(), 50);

    // The band reaches 5 pixels beyond the top edge on every side.
    EXPECT_EQ(d.ObjectAt(150, 100), f);
    EXPECT_EQ(d.ObjectAt(95, 95), f);
    EXPECT_EQ(d.ObjectAt(94, 100), nullptr);
    EXPECT_EQ(d.ObjectAt(150, 105), nullptr);
    // The corner handle, 6 × 6 around the bottom-right corner.
    EXPECT_EQ(d.ObjectAt(202, 152), f);
    EXPECT_EQ(d.ObjectAt(203, 153), nullptr);
    // The left, right and bottom edges and the inside are not.
    EXPECT_EQ(d.ObjectAt(100, 130), nullptr);
    EXPECT_EQ(d.ObjectAt(150, 149), nullptr);

    // A click inside the frame does not select it but starts a rubber band.
    d.LeftButtonDown(150, 130);
    EXPECT_TRUE(d.Selection().isEmpty());
    EXPECT_TRUE(d.RubberBandActive());
    d.LeftButtonUp(150, 130);
    // Released where it was pressed: an empty band, which selects nothing.
    EXPECT_TRUE(d.Selection().isEmpty());
    EXPECT_FALSE(d.RubberBandActive());
}

TEST(Frame, ResizesByItsCornerThroughTheContainer)
{
    TTestDesigner d;
    d.SetScale(2);
    TclsFrame* f = CreateAt<TclsFrame>(d, 50, 50);
    // The corner is at screen (300, 200).
    d.LeftButtonDown(301, 199);
    EXPECT_EQ(d.Capture(), f);
    EXPECT_TRUE(d.IsSelected(f));
    d.MouseMoveTo(400, 300);
    EXPECT_EQ(f->Width(), 200 - 50 + 1);
    EXPECT_EQ(f->Height(), 150 - 50 + 1);
    d.LeftButtonUp(400, 300);
    EXPECT_EQ(d.Capture(), nullptr);
    EXPECT_EQ(f->Left(), 50);
    EXPECT_EQ(f->Top(), 50);
    // The handle followed the corner.
    EXPECT_EQ(d.ObjectAt(402, 302), f);
    EXPECT_TRUE(d.IsChanged());

    // A press on the top edge drags the frame instead.
    dragMouse(d, QPointF(200, 100), QPointF(240, 140));
    EXPECT_EQ(d.Capture(), nullptr);
    EXPECT_EQ(f->Left(), 70);
    EXPECT_EQ(f->Top(), 70);
    EXPECT_EQ(f->Width(), 151);
}

TEST(Frame, DrawsOutlineCaptionAndHandle)
{
    TTestDesigner d;
    TclsFrame* f = CreateAt<TclsFrame>(d, 100, 100);
    f->SetText(QStringLiteral("Buffer"));
    QImage image = PaintNet(d);
    // The edges in the font colour (black), as the last pixels inside the box;
    // the inside stays white.
    EXPECT_EQ(CountPixels(image, QRect(100, 115, 1, 30), Qt::black), 30);
    EXPECT_EQ(CountPixels(image, QRect(199, 115, 1, 30), Qt::black), 30);
    EXPECT_EQ(CountPixels(image, QRect(120, 149, 70, 1), Qt::black), 70);
    EXPECT_EQ(CountPixels(image, QRect(102, 110, 96, 38), Qt::white), 96 * 38);
    // The caption stands on the top edge, 10 pixels from the left, black on
    // white: the edge is interrupted behind it.
    const QRect caption = captionInk(image, QRect(100, 100, 100, 50));
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_NEAR(caption.left(), 110, 2);
    EXPECT_LT(caption.top(), 100);
    EXPECT_GT(caption.bottom(), 100);
    EXPECT_GT(CountPixels(image, QRect(caption.left(), 100, caption.width(), 1), Qt::white), 0);
    EXPECT_LT(CountPixels(image, QRect(197, 147, 6, 6), Qt::black), 10); // no handle

    // Selected: magenta outline, black caption, black handle.
    d.SelectObject(f);
    image = PaintNet(d);
    EXPECT_EQ(CountPixels(image, QRect(100, 115, 1, 30), HighlightColor()), 30);
    EXPECT_EQ(CountPixels(image, QRect(197, 147, 6, 6), Qt::black), 36);
    EXPECT_EQ(CountPixels(image, caption.adjusted(1, 0, -1, 0), HighlightColor()), 0);
    EXPECT_GT(CountPixels(image, caption, Qt::black), 10);

    // A dashed outline leaves gaps.
    d.ClearSelection();
    f->SetStyle(Qrv::psDash);
    image = PaintNet(d);
    const int dark = CountPixels(image, QRect(100, 110, 1, 36), Qt::black);
    EXPECT_GT(dark, 5);
    EXPECT_LT(dark, 36);
}

TEST(Frame, CaptionGrowsWithTheScale)
{
    TTestDesigner d;
    CreateAt<TclsFrame>(d, 20, 40);
    const QRect small = captionInk(PaintNet(d), QRect(20, 40, 100, 50));
    d.SetScale(2);
    const QRect large = captionInk(PaintNet(d), QRect(40, 80, 200, 100));
    ASSERT_FALSE(small.isEmpty());
    ASSERT_FALSE(large.isEmpty());
    EXPECT_NEAR(double(large.width()) / small.width(), 2.0, 0.35);
    EXPECT_NEAR(double(large.height()) / small.height(), 2.0, 0.35);
    // Still 10 pixels from the left edge.
    EXPECT_NEAR(large.left(), 50, 2);
}

TEST(Frame, StoresTextPenStyleAndFont)
{
    TTestDesigner d;
    TclsFrame* f = CreateAt<TclsFrame>(d, 100, 100);
    f->SetText(QStringLiteral("Stage 1"));
    f->SetStyle(Qrv::psDot);
    f->Font()->SetColorValue(0x0000FF);
    f->SetGroup(QStringLiteral("g"));
    const QString xml = savedXml(*f);
    EXPECT_EQ(xml, "<object class=\"TclsFrame\" name=\"Frame1\" left=\"100\" top=\"100\" width=\"100\" "
                   "height=\"50\" group=\"g\" text=\"Stage 1\" penstyle=\"2\">\r\n"
                   "  <font name=\"Arial\" size=\"10\" color=\"255\" style=\"0\" />\r\n"
                   "</object>\r\n");

    TTestDesigner other;
    TclsFrame copy(&other);
    loadXml(copy, xml);
    EXPECT_EQ(savedXml(copy), xml);
    EXPECT_EQ(copy.Style(), Qrv::psDot);
    EXPECT_FALSE(copy.GetRegion().isEmpty());

    // text, penstyle and the font are required; an unknown pen style is refused.
    const QString font = "><font name=\"Arial\" size=\"10\" color=\"0\" style=\"0\" /></object>";
    TclsFrame bad(&other);
    EXPECT_THROW(loadXml(bad, "<object name=\"F\" penstyle=\"0\"" + font), TNetFileError);
    EXPECT_THROW(loadXml(bad, "<object name=\"F\" text=\"x\" penstyle=\"7\"" + font), TNetFileError);
    EXPECT_THROW(loadXml(bad, "<object name=\"F\" text=\"x\" penstyle=\"0\" />"), TNetFileError);
}

// ---- ellipse and rounded rectangle --------------------------------------------

TEST(Shape, HitRegionsFollowTheShape)
{
    TTestDesigner d;
    // Rounded rectangles are named like ellipses.
    TclsRoundRect* r = CreateAt<TclsRoundRect>(d, 200, 0);
    TclsEllipse* e = CreateAt<TclsEllipse>(d, 0, 0);
    EXPECT_EQ(r->Name(), "ellipse1");
    EXPECT_EQ(e->Name(), "ellipse2");
    EXPECT_EQ(e->Width(), 100);
    EXPECT_EQ(e->Height(), 50);

    EXPECT_EQ(d.ObjectAt(50, 25), e);
    EXPECT_EQ(d.ObjectAt(2, 25), e);
    EXPECT_EQ(d.ObjectAt(10, 5), nullptr); // outside the ellipse, inside its box
    EXPECT_EQ(d.ObjectAt(2, 2), nullptr);
    EXPECT_EQ(d.ObjectAt(101, 51), e); // the corner handle

    // Rounded rectangle: only the 10 × 10 corners are cut off.
    EXPECT_EQ(d.ObjectAt(210, 5), r);
    EXPECT_EQ(d.ObjectAt(202, 25), r);
    EXPECT_EQ(d.ObjectAt(250, 1), r);
    EXPECT_EQ(d.ObjectAt(200, 0), nullptr);
    EXPECT_EQ(d.ObjectAt(299, 1), nullptr);
    EXPECT_EQ(d.ObjectAt(300, 50), r); // the corner handle
    EXPECT_EQ(d.ObjectAt(305, 25), nullptr);
}

TEST(Shape, ResizesByItsCornerWithoutTheExtraPixel)
{
    TTestDesigner d;
    TclsEllipse* e = CreateAt<TclsEllipse>(d, 100, 100);
    d.LeftButtonDown(200, 150);
    EXPECT_EQ(d.Capture(), e);
    d.MouseMoveTo(260, 230);
    EXPECT_EQ(e->Width(), 160);
    EXPECT_EQ(e->Height(), 130);
    EXPECT_EQ(d.ObjectAt(230, 190), e);
    d.LeftButtonUp(260, 230);
    EXPECT_EQ(d.Capture(), nullptr);
    EXPECT_EQ(e->Left(), 100);

    // A press in the middle drags it by grid steps.
    dragMouse(d, QPointF(180, 165), QPointF(194, 165));
    EXPECT_EQ(e->Left(), 110);
    EXPECT_EQ(e->Width(), 160);
}

TEST(Shape, DrawsOutlineFillTextAndHandle)
{
    TTestDesigner d;
    TclsRoundRect* r = CreateAt<TclsRoundRect>(d, 100, 100);
    TclsEllipse* e = CreateAt<TclsEllipse>(d, 100, 200);
    const QColor grey(200, 200, 200);
    QImage image = PaintNet(d, QSize(400, 300), grey);
    // Black outlines: the rectangle's straight left edge, the ellipse's leftmost point.
    EXPECT_EQ(CountPixels(image, QRect(100, 110, 1, 30), Qt::black), 30);
    EXPECT_GE(CountPixels(image, QRect(100, 220, 1, 10), Qt::black), 3);
    EXPECT_EQ(CountPixels(image, QRect(100, 200, 3, 3), Qt::black), 0);
    // The default fill is clear: the background shows inside.
    EXPECT_EQ(CountPixels(image, QRect(105, 105, 20, 10), grey), 200);
    // "Text" in the middle of each shape.
    const QRect text = InkBox(image, QRect(110, 110, 80, 30));
    ASSERT_FALSE(text.isEmpty());
    EXPECT_NEAR(text.center().x(), 150, 3);
    EXPECT_NEAR(text.center().y(), 125, 4);
    EXPECT_FALSE(InkBox(image, QRect(110, 210, 80, 30)).isEmpty());

    // A solid fill, and the selection in magenta with a magenta handle.
    TQRVBrush red;
    red.SetStyle(Qrv::bsSolid);
    red.SetColor(Qt::red);
    e->SetFill(&red);
    d.SelectObject(r);
    image = PaintNet(d);
    EXPECT_GT(CountPixels(image, QRect(110, 210, 80, 30), Qt::red), 1500);
    EXPECT_EQ(CountPixels(image, QRect(100, 110, 1, 30), HighlightColor()), 30);
    EXPECT_EQ(CountPixels(image, QRect(197, 147, 6, 6), HighlightColor()), 36);
    EXPECT_EQ(CountPixels(image, QRect(197, 247, 6, 6), HighlightColor()), 0);
}

TEST(Shape, StoresTextPenStyleAndBrush)
{
    TTestDesigner d;
    TclsEllipse* e = CreateAt<TclsEllipse>(d, 10, 20);
    e->SetText(QStringLiteral("Server"));
    e->SetStyle(Qrv::psDashDot);
    e->Fill()->SetStyle(Qrv::bsCross);
    e->Fill()->SetColorValue(0x00FF00);
    const QString xml = savedXml(*e);
    EXPECT_EQ(xml, "<object class=\"TclsEllipse\" name=\"ellipse1\" left=\"10\" top=\"20\" width=\"100\" "
                   "height=\"50\" group=\"\" text=\"Server\" penstyle=\"3\">\r\n"
                   "  <brush style=\"6\" color=\"65280\" />\r\n"
                   "</object>\r\n");

    TTestDesigner other;
    TclsRoundRect copy(&other);
    loadXml(copy, xml);
    EXPECT_EQ(copy.Text(), "Server");
    EXPECT_EQ(copy.Style(), Qrv::psDashDot);
    EXPECT_EQ(copy.Fill()->Style(), Qrv::bsCross);
    EXPECT_EQ(copy.Fill()->ColorValue(), 0x00FF00);
    EXPECT_EQ(savedXml(copy), QString(xml).replace("TclsEllipse", "TclsRoundRect"));

    // The brush with both attributes is required.
    TclsEllipse bad(&other);
    EXPECT_THROW(loadXml(bad, "<object name=\"E\" text=\"x\" penstyle=\"0\" />"), TNetFileError);
    EXPECT_THROW(loadXml(bad, "<object name=\"E\" text=\"x\" penstyle=\"0\"><brush style=\"1\" /></object>"),
                 TNetFileError);
}

// ---- line -------------------------------------------------------------------

TEST(Line, IsHitAlongABandAndAtItsHandles)
{
    TTestDesigner d;
    TclsLine* l = CreateAt<TclsLine>(d, 100, 100);
    EXPECT_EQ(l->Name(), "line1");
    EXPECT_EQ(l->Width(), 100);
    EXPECT_EQ(l->Height(), 50);
    // On the segment and up to about 3 pixels to each side.
    EXPECT_EQ(d.ObjectAt(150, 125), l);
    EXPECT_EQ(d.ObjectAt(151, 123), l);
    EXPECT_EQ(d.ObjectAt(148, 129), nullptr);
    EXPECT_EQ(d.ObjectAt(155, 118), nullptr);
    // The handles around both ends reach beyond the segment.
    EXPECT_EQ(d.ObjectAt(97, 102), l);
    EXPECT_EQ(d.ObjectAt(202, 147), l);
    EXPECT_EQ(d.ObjectAt(150, 100), nullptr);

    // Width and height may be negative: the line then runs up and left.
    l->SetBounds(100, 100, -60, -80);
    d.Update();
    EXPECT_EQ(d.ObjectAt(70, 60), l);
    EXPECT_EQ(d.ObjectAt(40, 20), l);
    EXPECT_EQ(d.ObjectAt(130, 140), nullptr);
}

TEST(Line, DraggingAHandleMovesOnlyThatEnd)
{
    TTestDesigner d;
    TclsLine* l = CreateAt<TclsLine>(d, 100, 100);
    // The start handle: the end point stays where it was.
    d.LeftButtonDown(101, 99);
    EXPECT_EQ(d.Capture(), l);
    d.MouseMoveTo(70, 60);
    d.MouseMoveTo(52.5, 80);
    d.LeftButtonUp(52.5, 80);
    EXPECT_EQ(d.Capture(), nullptr);
    EXPECT_EQ(l->Left(), 52.5);
    EXPECT_EQ(l->Top(), 80);
    EXPECT_EQ(l->Left() + l->Width(), 200);
    EXPECT_EQ(l->Top() + l->Height(), 150);
    EXPECT_EQ(d.ObjectAt(52, 80), l);

    // The end handle, at scale 2: the start stays.
    d.SetScale(2);
    d.LeftButtonDown(400, 300);
    d.MouseMoveTo(500, 200);
    d.LeftButtonUp(500, 200);
    EXPECT_EQ(l->Left(), 52.5);
    EXPECT_EQ(l->Width(), 250 - 52.5);
    EXPECT_EQ(l->Height(), 100 - 80);

    // Where both handles hold the point, the end wins.
    l->SetBounds(100, 100, 4, 0);
    d.SetScale(1);
    d.LeftButtonDown(102, 100);
    d.MouseMoveTo(130, 120);
    d.LeftButtonUp(130, 120);
    EXPECT_EQ(l->Left(), 100);
    EXPECT_EQ(l->Width(), 30);
    EXPECT_EQ(l->Height(), 20);

    // A press on the segment between the handles drags the whole line.
    dragMouse(d, QPointF(115, 110), QPointF(125, 120));
    EXPECT_EQ(l->Left(), 110);
    EXPECT_EQ(l->Top(), 110);
    EXPECT_EQ(l->Width(), 30);
}

TEST(Line, OfZeroLengthCanStillBeGrabbed)
{
    TTestDesigner d;
    TclsLine* l = CreateAt<TclsLine>(d, 100, 100);
    d.LeftButtonDown(200, 150);
    d.MouseMoveTo(100, 100);
    d.LeftButtonUp(100, 100);
    EXPECT_EQ(l->Width(), 0);
    EXPECT_EQ(l->Height(), 0);
    // Its handles stay, so the user can pull it out again or delete it.
    EXPECT_EQ(d.ObjectAt(100, 100), l);
    d.LeftButtonDown(100, 100);
    d.MouseMoveTo(140, 100);
    d.LeftButtonUp(140, 100);
    EXPECT_EQ(l->Width(), 40);
}

TEST(Line, DrawsWithItsPenOrInMagentaWithHandles)
{
    TTestDesigner d;
    TclsLine* l = CreateAt<TclsLine>(d, 100, 100);
    l->SetBounds(100, 100, 100, 0);
    d.Update();
    QImage image = PaintNet(d);
    EXPECT_GE(CountPixels(image, QRect(100, 100, 100, 1), Qt::black), 99);
    EXPECT_EQ(CountPixels(image, QRect(100, 97, 100, 3), Qt::black), 0);

    TQRVPen pen;
    pen.SetColor(Qt::blue);
    pen.SetStyle(Qrv::psDot);
    l->SetPen(&pen);
    image = PaintNet(d);
    const int blue = CountPixels(image, QRect(100, 100, 100, 1), Qt::blue);
    EXPECT_GT(blue, 20);
    EXPECT_LT(blue, 80);

    d.SelectObject(l);
    image = PaintNet(d);
    EXPECT_GT(CountPixels(image, QRect(104, 100, 92, 1), HighlightColor()), 20);
    EXPECT_EQ(CountPixels(image, QRect(97, 97, 6, 6), HighlightColor()), 36);
    EXPECT_EQ(CountPixels(image, QRect(197, 97, 6, 6), HighlightColor()), 36);
}

TEST(Line, StoresItsPen)
{
    TTestDesigner d;
    TclsLine* l = CreateAt<TclsLine>(d, 100, 100);
    l->SetBounds(100, 100, -40.5, 30);
    l->Pen()->SetStyle(Qrv::psDashDotDot);
    l->Pen()->SetColorValue(0x123456);
    const QString xml = savedXml(*l);
    EXPECT_EQ(xml, "<object class=\"TclsLine\" name=\"line1\" left=\"100\" top=\"100\" width=\"-40.5\" "
                   "height=\"30\" group=\"\">\r\n"
                   "  <pen style=\"4\" color=\"1193046\" />\r\n"
                   "</object>\r\n");

    TTestDesigner other;
    TclsLine copy(&other);
    loadXml(copy, xml);
    EXPECT_EQ(savedXml(copy), xml);

    // The pen is optional: a line without one keeps the black solid pen.
    TclsLine plain(&other);
    loadXml(plain, "<object name=\"line7\" left=\"0\" top=\"0\" width=\"10\" height=\"10\" />");
    EXPECT_EQ(plain.Pen()->Style(), Qrv::psSolid);
    EXPECT_EQ(plain.Pen()->ColorValue(), 0);
    EXPECT_EQ(plain.Width(), 10);
}

// ---- all of them ----------------------------------------------------------------

TEST(Annotations, RefuseTextsThatCannotBeStoredAndIgnoreEmptyOnes)
{
    TTestDesigner d;
    TclsFrame* f = CreateAt<TclsFrame>(d, 0, 0);
    TclsEllipse* e = CreateAt<TclsEllipse>(d, 0, 100);
    f->SetText(QString());
    f->SetText(QStringLiteral("<b>"));
    e->SetText(QStringLiteral("a \"b\""));
    e->SetText(QString());
    EXPECT_EQ(f->Text(), "Text");
    EXPECT_EQ(e->Text(), "Text");
    ASSERT_EQ(d.Errors.size(), 2);
    EXPECT_EQ(d.Errors.first(), "A text may not contain the characters \" < >");
    f->SetText(QStringLiteral("Stage 1"));
    EXPECT_EQ(f->Text(), "Stage 1");
}

// ---- marker -----------------------------------------------------------------

TEST(Marker, NeverStaysInTheNetAndLeavesOtherObjectsAlone)
{
    TTestDesigner d;
    TclsEllipse* e = CreateAt<TclsEllipse>(d, 0, 0);
    const TQRVClassInfo marker = ClassInfoOf<TclsMarker>();
    d.SetCreationClass(&marker);
    d.LeftButtonDown(50, 25);
    d.SetModifiers(Qt::ControlModifier);
    d.LeftButtonDown(50, 25);
    d.LeftButtonDown(300, 300);
    EXPECT_EQ(d.ObjectCount(), 1);
    EXPECT_EQ(d.Objects(0), e);
    EXPECT_EQ(e->Text(), "Text");
    EXPECT_EQ(e->Width(), 100);
    EXPECT_FALSE(d.IsChanged());
    EXPECT_TRUE(d.Errors.isEmpty());
}

TEST(Marker, AddsATokenToADiscretePlaceOrTakesOneWithCtrl)
{
    TTestDesigner d;
    const TQRVClassInfo* discrete = TQRVClassRegistry::Instance().Find(QStringLiteral("TclsNodeDiscrete"));
    const TQRVClassInfo* continuous =
        TQRVClassRegistry::Instance().Find(QStringLiteral("TclsNodeContinuous"));
    ASSERT_NE(discrete, nullptr);
    ASSERT_NE(continuous, nullptr);
    TQRVObject* p = d.CreateObject(discrete, 100, 100, 0, 0);
    TQRVObject* b = d.CreateObject(continuous, 200, 100, 0, 0);
    d.Update();
    const QPointF atP(p->Left() + p->Width() / 2, p->Top() + p->Height() / 2);
    const QPointF atB(b->Left() + b->Width() / 2, b->Top() + b->Height() / 2);
    const int count = d.ObjectCount();

    const TQRVClassInfo marker = ClassInfoOf<TclsMarker>();
    d.SetCreationClass(&marker);
    d.SetModifiers(Qt::ControlModifier);
    d.LeftButtonDown(atP.x(), atP.y());
    EXPECT_EQ(p->property("Tokens").toDouble(), 0); // 0 stays 0
    d.SetModifiers(Qt::NoModifier);
    d.LeftButtonDown(atP.x(), atP.y());
    d.LeftButtonDown(atP.x(), atP.y());
    EXPECT_EQ(p->property("Tokens").toDouble(), 2);
    d.SetModifiers(Qt::ControlModifier);
    d.LeftButtonDown(atP.x(), atP.y());
    EXPECT_EQ(p->property("Tokens").toDouble(), 1);
    EXPECT_TRUE(d.IsChanged());

    const QVariant level = b->property("Level");
    d.SetModifiers(Qt::NoModifier);
    d.LeftButtonDown(atB.x(), atB.y());
    EXPECT_EQ(b->property("Level"), level);
    EXPECT_EQ(d.ObjectCount(), count);
}
