// What places, transitions and arcs look like: drawn into pictures and
// checked for what a person would see.
#include <gtest/gtest.h>

#include <QRegion>

#include <vector>

#include "model/element_builders.h"
#include "model/text.h"

namespace {

bool isDark(QRgb c)
{
    return qRed(c) < 0x80 && qGreen(c) < 0x80 && qBlue(c) < 0x80;
}

// Connected groups of pixels that pass `test` and lie within `area`.
QList<QRect> blobs(const QImage& image, const QRegion& area, bool (*test)(QRgb))
{
    QList<QRect> found;
    const QRect box = area.boundingRect().intersected(image.rect());
    std::vector<bool> seen(static_cast<size_t>(image.width() * image.height()), false);
    auto index = [&](int x, int y) { return static_cast<size_t>(y * image.width() + x); };
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (seen[index(x, y)] || !area.contains(QPoint(x, y)) || !test(image.pixel(x, y)))
                continue;
            QRect extent(x, y, 1, 1);
            QList<QPoint> stack{QPoint(x, y)};
            seen[index(x, y)] = true;
            while (!stack.isEmpty()) {
                const QPoint p = stack.takeLast();
                extent |= QRect(p, QSize(1, 1));
                for (const QPoint& q :
                     {p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1)}) {
                    if (!box.contains(q) || seen[index(q.x(), q.y())] || !area.contains(q) ||
                        !test(image.pixel(q)))
                        continue;
                    seen[index(q.x(), q.y())] = true;
                    stack.append(q);
                }
            }
            found.append(extent);
        }
    }
    return found;
}

QRect extentOf(const QImage& image, const std::function<bool(QRgb)>& test)
{
    QRect extent;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixel(x, y)))
                extent |= QRect(x, y, 1, 1);
    return extent;
}

} // namespace

TEST(PlaceDrawing, TokensShowAsDotsUpToFiveAndAsTheNumberFromSix)
{
    TTestDesigner d;
    d.SetScale(2);
    auto* p = AddNode<TclsNodeDiscrete>(d, 20, 20); // 50 units: 100 pixels at (40, 40)
    p->SetSize(Qrv::osVeryLarge);
    const QPoint centre(90, 90);
    // The inside of the circle, away from its outline.
    const QRegion inside(QRect(centre - QPoint(44, 44), QSize(88, 88)), QRegion::Ellipse);

    const QImage empty = Picture(d);
    EXPECT_TRUE(blobs(empty, inside, isDark).isEmpty());

    p->SetTokens(1);
    QList<QRect> dots = blobs(Picture(d), inside, isDark);
    ASSERT_EQ(dots.size(), 1);
    EXPECT_TRUE(dots.first().contains(centre));

    p->SetTokens(5);
    dots = blobs(Picture(d), inside, isDark);
    ASSERT_EQ(dots.size(), 5);
    for (const QRect& dot : dots) {
        EXPECT_FALSE(dot.contains(centre));
        EXPECT_NEAR(dot.width(), 25, 3); // radius: an eighth of the width
    }
    // The first dot lies to the right of the centre, a quarter width away.
    EXPECT_TRUE(std::any_of(dots.begin(), dots.end(),
                            [&](const QRect& r) { return r.contains(centre + QPoint(25, 0)); }));

    p->SetTokens(6);
    const QImage six = Picture(d);
    const QList<QRect> glyphs = blobs(six, inside, isDark);
    ASSERT_EQ(glyphs.size(), 1);
    EXPECT_GT(glyphs.first().height(), glyphs.first().width()); // a digit, not a dot
    EXPECT_LT(glyphs.first().width(), 30);
    EXPECT_TRUE(QRect(centre - QPoint(20, 20), QSize(40, 40)).contains(glyphs.first()));
}

TEST(PlaceDrawing, SelectedElementsAreDrawnInMagenta)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 20, 20);
    auto* t = AddNode<TclsTransTimed>(d, 100, 30);
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p, t);
    auto magenta = [](const QImage& image) { return CountPixels(image, image.rect(), IsMagenta); };
    EXPECT_EQ(magenta(Picture(d)), 0);

    d.SelectObject(p);
    QImage image = Picture(d);
    EXPECT_GT(magenta(image), 0);
    QRect extent = extentOf(image, IsMagenta); // the circle's outline
    EXPECT_NEAR(extent.left(), 20, 1);
    EXPECT_NEAR(extent.width(), 31, 2);
    EXPECT_FALSE(IsMagenta(image.pixel(35, 35)));

    d.SelectObject(t);
    image = Picture(d);
    extent = extentOf(image, IsMagenta); // the whole bar
    EXPECT_NEAR(extent.left(), 100, 1);
    EXPECT_NEAR(extent.width(), 31, 2);
    EXPECT_NEAR(extent.height(), 11, 2);
    EXPECT_TRUE(IsMagenta(image.pixel(115, 35)));

    // A selected arc is magenta and shows its handle.
    d.SelectObject(arc);
    image = Picture(d);
    const QPoint handle(qRound(arc->PointByIndex(1)->RX()), qRound(arc->PointByIndex(1)->RY()));
    EXPECT_EQ(CountPixels(image, QRect(handle - QPoint(1, 1), QSize(2, 2)), IsMagenta), 4);
    EXPECT_GT(CountPixels(image, QRect(55, 30, 40, 10), IsMagenta), 20); // the line
    // A place drawn in highlight mode is magenta too, selected or not.
    QImage single(200, 100, QImage::Format_RGB32);
    single.fill(Qt::white);
    QPainter painter(&single);
    p->Draw(painter, dmHighlight);
    painter.end();
    EXPECT_GT(magenta(single), 0);
}

TEST(PlaceDrawing, ContinuousPlacesFillWithTheirLevel)
{
    TTestDesigner d;
    d.SetScale(2);
    auto* b = AddNode<TclsNodeContinuous>(d, 20, 20); // 60 pixels at (40, 40)
    auto fill = [](QRgb c) { return IsColor(c, TclsNode::LevelColor); };
    b->SetBoundMax(0);
    b->SetLevel(0);
    EXPECT_EQ(CountPixels(Picture(d), QRect(0, 0, 300, 200), fill), 0);

    b->SetBoundMax(10);
    b->SetLevel(5);
    const QImage half = Picture(d);
    EXPECT_GT(CountPixels(half, QRect(40, 75, 60, 25), fill), 0);   // the lower half is filled
    EXPECT_EQ(CountPixels(half, QRect(40, 40, 60, 28), fill), 0);   // the upper half is not
    EXPECT_GT(CountPixels(half, QRect(40, 40, 60, 60), isDark), 0); // the level as text
    EXPECT_GT(CountPixels(half, QRect(40, 40, 60, 60),
                          [](QRgb c) { return IsColor(c, TclsNode::ContinuousColor); }),
              0);
}

TEST(TransitionDrawing, AnUprightBarIsHitOverItsTurnedArea)
{
    TTestDesigner d;
    auto* t = AddNode<TclsTransTimed>(d, 100, 100); // 30 x 10, centre (115, 105)
    EXPECT_EQ(t->GetRegion().boundingRect(), QRect(100, 100, 30, 10));
    t->SetAngle(90);
    EXPECT_EQ(t->GetRegion().boundingRect(), QRect(110, 90, 10, 30));
    EXPECT_EQ(d.ObjectAt(115, 92), t);
    EXPECT_EQ(d.ObjectAt(115, 118), t);
    EXPECT_EQ(d.ObjectAt(102, 105), nullptr);
    EXPECT_EQ(d.ObjectAt(128, 105), nullptr);

    const QRect drawn = extentOf(Picture(d), [](QRgb c) { return IsColor(c, TclsTrans::BarColor); });
    EXPECT_NEAR(drawn.width(), 10, 2);
    EXPECT_NEAR(drawn.height(), 30, 2);
    EXPECT_NEAR(drawn.center().x(), 115, 1);
}

TEST(TransitionDrawing, ContinuousTransitionsAreOutlinedInTheirOwnColour)
{
    TTestDesigner d;
    AddNode<TclsTransContinuous>(d, 20, 20); // 30 x 10
    AddNode<TclsTransTimed>(d, 120, 20);
    auto own = [](QRgb c) { return IsColor(c, TclsTrans::ContinuousColor); };
    auto blue = [](QRgb c) { return IsColor(c, TclsTrans::BarColor); };
    QImage image = Picture(d);
    EXPECT_GT(CountPixels(image, QRect(15, 15, 40, 20), own), 40); // the outline
    EXPECT_EQ(CountPixels(image, QRect(15, 15, 40, 20), blue), 0);
    EXPECT_EQ(image.pixel(35, 25) & 0xFFFFFF, 0xFFFFFFu); // on white
    EXPECT_TRUE(blue(image.pixel(135, 25)));              // the others are filled blue
    EXPECT_EQ(CountPixels(image, QRect(115, 15, 40, 20), own), 0);

    // Selected, the outline is magenta.
    d.SelectObject(d.Objects(0));
    image = Picture(d);
    EXPECT_EQ(CountPixels(image, QRect(15, 15, 40, 20), own), 0);
    EXPECT_GT(CountPixels(image, QRect(15, 15, 40, 20), IsMagenta), 40);
    EXPECT_EQ(image.pixel(35, 25) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(TransitionDrawing, DuringSimulationEnabledTransitionsAreRed)
{
    TTestDesigner d;
    auto* i = AddNode<TclsTransInstant>(d, 20, 20);
    auto* q = AddNode<TclsTransContinuous>(d, 120, 20);
    auto* blocked = AddNode<TclsTransTimed>(d, 220, 20);
    blocked->Guard()->SetFormula("0");
    d.RebuildArcLists();
    const quint32 red = TclsTrans::EnabledColor;
    auto isRed = [red](QRgb c) { return IsColor(c, red); };

    EXPECT_EQ(CountPixels(Picture(d), QRect(0, 0, 300, 60), isRed), 0);
    d.SetSimulating(true);
    const QImage image = Picture(d);
    EXPECT_TRUE(isRed(image.pixel(35, 25)));                         // filled
    EXPECT_TRUE(isRed(image.pixel(120, 25)));                        // outlined...
    EXPECT_EQ(image.pixel(135, 25) & 0xFFFFFF, 0xFFFFFFu);           // ...on white
    EXPECT_TRUE(IsColor(image.pixel(235, 25), TclsTrans::BarColor)); // not enabled
    EXPECT_TRUE(isRed(image.pixel(135, 20)));
    Q_UNUSED(i)
    Q_UNUSED(q)
}

TEST(ArcDrawing, TheWeightShowsBesideTheMiddleInTheArcsColour)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 20, 50);
    auto* t = AddNode<TclsTransTimed>(d, 200, 60);
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p, t);
    const QPoint middle(qRound(arc->PointByIndex(1)->RX()), qRound(arc->PointByIndex(1)->RY()));
    // Above the line (which runs across at the middle's height), near the middle.
    const QRect above(middle - QPoint(20, 30), QSize(40, 28));
    auto isArc = [](QRgb c) { return IsColor(c, TclsLink::ArcColor); };
    EXPECT_EQ(CountPixels(Picture(d), above, isArc), 0);
    arc->Weight()->SetFormula("2");
    const QImage image = Picture(d);
    // Heights are measured on the ink of either colour alike.
    auto inked = [](QRgb c) { return qGray(c) < 192; };
    const QRect digit = extentOf(image.copy(above), inked).translated(above.topLeft());
    ASSERT_TRUE(digit.isValid());
    EXPECT_GT(CountPixels(image, above, isArc), 0);
    // As tall as the same digit in a name label, clear of the line, centred on the middle.
    TTestDesigner labelled;
    auto* label = new TclsText(&labelled);
    label->SetNameDirect("Text2");
    labelled.InsertObject(label);
    label->SetText("2");
    label->SetBoundsDirect(20, 20, label->Width(), label->Height());
    labelled.Update();
    const QRect labelDigit = extentOf(Picture(labelled), inked);
    ASSERT_TRUE(labelDigit.isValid());
    EXPECT_GE(digit.height(), labelDigit.height() - 1);
    EXPECT_LE(digit.bottom(), middle.y() - 3);
    EXPECT_LE(std::abs(digit.center().x() - middle.x()), 3);
    // Selected, the weight turns magenta with its arc.
    const int drawn = CountPixels(image, above, isArc);
    d.SelectObject(arc);
    EXPECT_EQ(CountPixels(Picture(d), above, isArc), 0);
    EXPECT_GE(CountPixels(Picture(d), above, IsMagenta), drawn);

    // Along an upright arc the weight stands beside it, not across it.
    auto* q = AddNode<TclsNodeDiscrete>(d, 250, 10);
    TclsLink* upright = AddArc<TclsLinkNormal>(d, q, AddNode<TclsTransTimed>(d, 250, 170), "3");
    const QPoint m2(qRound(upright->PointByIndex(1)->RX()), qRound(upright->PointByIndex(1)->RY()));
    const QRect beside = extentOf(Picture(d).copy(QRect(m2 + QPoint(2, -20), QSize(30, 40))), inked);
    ASSERT_TRUE(beside.isValid());
    EXPECT_GE(beside.height(), labelDigit.height() - 1);

    // Inhibitor arcs never show their weight.
    auto* r = AddNode<TclsNodeDiscrete>(d, 20, 150);
    TclsLink* inhibitor = AddArc<TclsLinkIngibitor>(d, r, t, "2");
    const QPoint m3(qRound(inhibitor->PointByIndex(1)->RX()), qRound(inhibitor->PointByIndex(1)->RY()));
    d.ClearSelection();
    const QRect nearIt(m3 - QPoint(20, 30), QSize(40, 60));
    const QImage withInhibitor = Picture(d);
    for (const QRect& blob :
         blobs(withInhibitor, QRegion(nearIt), [](QRgb c) { return IsColor(c, TclsLink::ArcColor); }))
        EXPECT_LE(blob.height(), 3) << "only the line itself";
}

TEST(ArcDrawing, EndMarkersAndTheAnimatedToken)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 20, 20);
    auto* t = AddNode<TclsTransTimed>(d, 200, 30);
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p, t);
    const QPointF end(arc->LastPoint()->RX(), arc->LastPoint()->RY());
    auto isArc = [](QRgb c) { return IsColor(c, TclsLink::ArcColor); };
    // The arrowhead: 18 pixels long and 10 wide at its base, filled.
    EXPECT_GT(CountPixels(Picture(d), QRect(qRound(end.x()) - 16, qRound(end.y()) - 2, 12, 5), isArc), 40);
    EXPECT_GE(CountPixels(Picture(d), QRect(qRound(end.x()) - 17, qRound(end.y()) - 4, 3, 9), isArc), 21);
    // At 40 % it is still a head of at least 8 pixels, not a thickened line.
    d.SetScale(0.4);
    const QPointF small(arc->LastPoint()->RX(), arc->LastPoint()->RY());
    EXPECT_GE(CountPixels(Picture(d), QRect(qRound(small.x()) - 8, qRound(small.y()) - 2, 3, 5), isArc), 12);
    d.SetScale(1);

    // A token half way along.
    const QPoint middle(qRound(arc->PointByIndex(1)->RX()), qRound(arc->PointByIndex(1)->RY()));
    EXPECT_EQ(CountPixels(Picture(d), QRect(middle - QPoint(6, 6), QSize(13, 13)), isDark), 0);
    arc->SetTokenPosition(0.5);
    EXPECT_GT(CountPixels(Picture(d), QRect(middle - QPoint(6, 6), QSize(13, 13)), isDark), 60);
    arc->SetTokenPosition(0);

    // An inhibitor arc ends in a small white circle instead of the arrowhead.
    d.DestroyObject(arc);
    AddArc<TclsLinkIngibitor>(d, p, t);
    const QImage image = Picture(d);
    EXPECT_EQ(image.pixel(qRound(end.x()) - 4, qRound(end.y())) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_GT(CountPixels(image, QRect(qRound(end.x()) - 9, qRound(end.y()) - 5, 10, 11), isArc), 10);
}

TEST(ArcDrawing, FormulasThatFailDoNotStopTheDrawing)
{
    TTestDesigner d;
    auto* p = AddNode<TclsNodeDiscrete>(d, 20, 20);
    auto* t = AddNode<TclsTransTimed>(d, 200, 30);
    TclsLink* arc = AddArc<TclsLinkNormal>(d, p, t);
    // Texts that name nothing, as a file may hold them.
    arc->IncludeState(osLoading);
    arc->Weight()->SetFormula("nowhere_TOKENS");
    arc->ExcludeState(osLoading);
    t->IncludeState(osLoading);
    t->Guard()->SetFormula("nowhere_TOKENS");
    t->ExcludeState(osLoading);
    d.RebuildArcLists();
    d.SetSimulating(true);
    QImage image;
    EXPECT_NO_THROW(image = Picture(d));
    EXPECT_GT(CountPixels(image, image.rect(), [](QRgb c) { return IsColor(c, TclsLink::ArcColor); }), 0);
    EXPECT_EQ(CountPixels(image, image.rect(), [](QRgb c) { return IsColor(c, TclsTrans::EnabledColor); }),
              0);
    // The analyses hear of the failure; the published properties, which the
    // inspector reads, do not throw.
    EXPECT_ANY_THROW(t->Open());
    EXPECT_FALSE(t->property("Open").toBool());
    auto* b = AddNode<TclsNodeContinuous>(d, 20, 100);
    auto* q = AddNode<TclsTransContinuous>(d, 200, 100);
    AddArc<TclsLinkContinuous>(d, q, b);
    q->IncludeState(osLoading);
    q->Guard()->SetFormula("nowhere_TOKENS");
    q->ExcludeState(osLoading);
    d.RebuildArcLists();
    EXPECT_ANY_THROW(b->Balance());
    EXPECT_EQ(b->property("Balance").toDouble(), 0);
}

TEST(NetDrawing, TheSurfaceDrawsOnlyWhatReachesItsArea)
{
    TTestDesigner d;
    auto* inside = AddNode<TclsNodeDiscrete>(d, 120, 40);
    auto* far = AddNode<TclsNodeDiscrete>(d, 1500, 40);
    // A long arc whose ends and middle lie outside the area still crosses it.
    auto* from = AddNode<TclsNodeDiscrete>(d, 20, 140);
    auto* to = AddNode<TclsTransTimed>(d, 1400, 150);
    AddArc<TclsLinkNormal>(d, from, to);

    auto draw = [&](const QRect& visible) {
        QImage image(1700, 200, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        d.DrawObjects(painter, visible);
        return image;
    };
    auto drawn = [](const QImage& image, const TQRVObject* o) {
        return CountPixels(image, o->GetRegion().boundingRect(), isDark) > 0;
    };
    auto arcIn = [](const QImage& image, const QRect& area) {
        return CountPixels(image, area, [](QRgb c) { return IsColor(c, TclsLink::ArcColor); }) > 0;
    };
    const QRect area(100, 0, 200, 200);
    const QImage part = draw(area);
    EXPECT_TRUE(drawn(part, inside));
    EXPECT_FALSE(drawn(part, far));
    EXPECT_TRUE(arcIn(part, area));
    // Without an area (pictures, the clipboard) everything is drawn.
    const QImage whole = draw(QRect());
    EXPECT_TRUE(drawn(whole, far));
    EXPECT_TRUE(arcIn(whole, QRect(1000, 140, 200, 30)));
    EXPECT_TRUE(arcIn(whole, area));
}
