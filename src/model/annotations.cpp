// Frames, ellipses, rounded rectangles, lines and the token marker.
#include "model/annotations.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "model/designer.h"
#include "model/designer_link.h"
#include "model/edits.h"
#include "model/graphics_objects.h"
#include "model/numbers.h"
#include "model/places.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

namespace {

int pixel(double v)
{
    return static_cast<int>(RoundHalfEven(v));
}

// The rectangle between two corners, right and bottom edges excluded, the
// corners taken in either order (a shape may be dragged inside out).
QRect cornerRect(int x1, int y1, int x2, int y2)
{
    return QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QSize(std::abs(x2 - x1), std::abs(y2 - y1)));
}

// The 6 × 6 pixel handle square centred on a screen point.
QRect handleRect(int x, int y)
{
    return QRect(x - 3, y - 3, 6, 6);
}

// Outlines `r` so that the pen covers exactly its pixels (right and bottom
// edges excluded), as a filled region of the same rectangle would.
void drawOutline(QPainter& painter, const QRect& r, bool ellipse, bool rounded)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const QRect inner(r.x(), r.y(), r.width() - 1, r.height() - 1);
    if (ellipse)
        painter.drawEllipse(inner);
    else if (rounded)
        painter.drawRoundedRect(inner, 5, 5);
    else
        painter.drawRect(inner);
}

// The rounded rectangle over `r` with corner ellipses of cw × ch pixels.
QRegion roundRectRegion(const QRect& r, int cw, int ch)
{
    if (r.isEmpty())
        return QRegion();
    cw = std::min(cw, r.width());
    ch = std::min(ch, r.height());
    QRegion region(r.adjusted(cw / 2, 0, -(cw / 2), 0));
    region |= QRegion(r.adjusted(0, ch / 2, 0, -(ch / 2)));
    const int right = r.x() + r.width() - cw;
    const int bottom = r.y() + r.height() - ch;
    region |= QRegion(QRect(r.x(), r.y(), cw, ch), QRegion::Ellipse);
    region |= QRegion(QRect(right, r.y(), cw, ch), QRegion::Ellipse);
    region |= QRegion(QRect(r.x(), bottom, cw, ch), QRegion::Ellipse);
    region |= QRegion(QRect(right, bottom, cw, ch), QRegion::Ellipse);
    return region;
}

bool highlighted(const TQRVObject& object, int mode)
{
    return (mode & dmHighlight) || (object.Designer() && object.Designer()->IsSelected(&object));
}

bool selected(const TQRVObject& object)
{
    return object.Designer() && object.Designer()->IsSelected(&object);
}

double viewScale(const TQRVObject& object)
{
    return object.Designer() ? object.Designer()->Scale() : 1.0;
}

double modelX(const TQRVObject& object, double screenX)
{
    return object.Designer() ? object.Designer()->ToModelX(screenX) : screenX;
}

double modelY(const TQRVObject& object, double screenY)
{
    return object.Designer() ? object.Designer()->ToModelY(screenY) : screenY;
}

// The screen rectangle of an object's bounding box, in whole pixels.
struct TScreenBox
{
    int X1, Y1, X2, Y2;
    explicit TScreenBox(const TQRVObject& o)
        : X1(pixel(o.ScreenX())), Y1(pixel(o.ScreenY())), X2(pixel(o.ScreenX() + o.ScreenWidth())),
          Y2(pixel(o.ScreenY() + o.ScreenHeight()))
    {
    }
    QRect Rect() const { return cornerRect(X1, Y1, X2, Y2); }
};

// A text is refused when it is empty, unchanged, or cannot be stored.
bool acceptText(const TQRVObject& object, const QString& current, const QString& text)
{
    if (text.isEmpty() || text == current)
        return false;
    if (!IsStorableText(text)) {
        if (object.Designer())
            object.Designer()->ShowError(UnstorableTextMessage(QStringLiteral("A text")));
        return false;
    }
    return true;
}

void savePenStyle(TqibXMLNode& element, Qrv::TPenStyle style)
{
    element.AddAttribute(QStringLiteral("penstyle"), QString::number(static_cast<int>(style)));
}

Qrv::TPenStyle loadPenStyle(const TqibXMLNode& element)
{
    const int style = ReadInteger(element, QStringLiteral("penstyle"));
    if (style < Qrv::psSolid || style > Qrv::psInsideFrame)
        ThrowElementError(element,
                          QStringLiteral("the attribute \"penstyle\": %1 is not a pen style").arg(style));
    return static_cast<Qrv::TPenStyle>(style);
}

// Takes the mouse while a handle is dragged, so that the container sends
// every move and the release here.
void takeCapture(TQRVObject& object)
{
    if (object.Designer())
        object.Designer()->SetCapture(&object);
}

void releaseCapture(TQRVObject& object)
{
    if (object.Designer() && object.Designer()->Capture() == &object)
        object.Designer()->SetCapture(nullptr);
}

} // namespace

// ---- frame ------------------------------------------------------------------

TclsFrame::TclsFrame(TQRVDesigner* designer) : TQRVObject(designer), m_font(new TQRVFont(this))
{
    connect(m_font, &TQRVFont::Changed, this, [this] { DesignerUpdate(); });
}

void TclsFrame::SetText(const QString& text)
{
    if (!acceptText(*this, m_text, text))
        return;
    m_text = text;
    DesignerUpdate();
}

void TclsFrame::SetFont(TQRVFont* font)
{
    if (font && font != m_font)
        m_font->Assign(*font);
}

void TclsFrame::SetStyle(Qrv::TPenStyle style)
{
    m_style = style;
    DesignerUpdate();
}

void TclsFrame::FinishPlacement(bool placed)
{
    TQRVObject::FinishPlacement(placed);
    SetBounds(m_left, m_top, 100, 50);
    UpdateRegion();
}

void TclsFrame::Loaded()
{
    UpdateRegion();
}

void TclsFrame::UpdateRegion()
{
    ExcludeState(osDirty);
    const TScreenBox box(*this);
    m_handle = QRegion(handleRect(box.X2, box.Y2));
    // Only the top edge and the corner: objects inside the frame stay clickable.
    m_region = QRegion(cornerRect(box.X1 - 5, box.Y1 - 5, box.X2 + 5, box.Y1 + 5)) | m_handle;
}

void TclsFrame::Draw(QPainter& painter, int mode)
{
    TQRVObject::Draw(painter, mode);
    const TScreenBox box(*this);
    const QColor caption(Qt::white); // the canvas brush behind the caption
    painter.setPen(
        QPen(highlighted(*this, mode) ? HighlightColor() : m_font->Color(), 1, ToQtPenStyle(m_style)));
    painter.setBrush(Qt::NoBrush);
    drawOutline(painter, box.Rect(), false, false);

    const QFont font = m_font->ToQFont(viewScale(*this));
    const QFontMetrics metrics(font, painter.device());
    const QRect textBox(box.X1 + 10, box.Y1 - metrics.height() / 2, metrics.horizontalAdvance(m_text),
                        metrics.height());
    painter.fillRect(textBox, caption);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_text);

    if (selected(*this))
        painter.fillRect(m_handle.boundingRect(), Qt::black);
}

void TclsFrame::MouseDown(Qt::MouseButton button, double x, double y)
{
    if (button != Qt::LeftButton)
        return;
    if (m_handle.contains(QPoint(pixel(x), pixel(y)))) {
        m_resizing = true;
        takeCapture(*this);
    } else if (m_resizing) {
        // The release of the last resize never came: end it here.
        m_resizing = false;
        releaseCapture(*this);
    }
}

void TclsFrame::MouseMove(double x, double y)
{
    if (!m_resizing)
        return;
    SetBounds(m_left, m_top, modelX(*this, x) - m_left + 1, modelY(*this, y) - m_top + 1);
    UpdateRegion();
}

void TclsFrame::MouseUp(Qt::MouseButton, double, double)
{
    m_resizing = false;
    releaseCapture(*this);
}

void TclsFrame::SaveToXml(TqibXMLNode& element) const
{
    SaveCommonAttributes(*this, element);
    element.AddAttribute(QStringLiteral("text"), m_text);
    savePenStyle(element, m_style);
    SaveFont(element, *m_font);
}

void TclsFrame::LoadFromXml(const TqibXMLNode& element)
{
    LoadCommonAttributes(*this, element);
    m_text = RequiredAttribute(element, QStringLiteral("text")).Value;
    m_style = loadPenStyle(element);
    const QSignalBlocker block(m_font);
    LoadFont(element, *m_font);
}

// ---- ellipse and rounded rectangle -------------------------------------------

TclsShape::TclsShape(TQRVDesigner* designer) : TQRVDesign(designer), m_fill(new TQRVBrush(this))
{
    m_fill->SetStyle(Qrv::bsClear);
    connect(m_fill, &TQRVBrush::Changed, this, [this] { DesignerUpdate(); });
}

void TclsShape::SetText(const QString& text)
{
    if (!acceptText(*this, m_text, text))
        return;
    m_text = text;
    DesignerUpdate();
}

void TclsShape::SetFill(TQRVBrush* brush)
{
    if (brush && brush != m_fill)
        m_fill->Assign(*brush);
}

void TclsShape::SetStyle(Qrv::TPenStyle style)
{
    m_style = style;
    DesignerUpdate();
}

void TclsShape::FinishPlacement(bool placed)
{
    TQRVObject::FinishPlacement(placed);
    SetBounds(m_left, m_top, 100, 50);
    UpdateRegion();
}

void TclsShape::Loaded()
{
    UpdateRegion();
}

void TclsShape::UpdateRegion()
{
    ExcludeState(osDirty);
    const TScreenBox box(*this);
    m_handle = QRegion(handleRect(box.X2, box.Y2));
    const QRect r = box.Rect();
    m_region = (isRounded() ? roundRectRegion(r, 10, 10) : QRegion(r, QRegion::Ellipse)) | m_handle;
}

void TclsShape::MoveBy(double dx, double dy)
{
    TQRVDesign::MoveBy(dx, dy);
    markLinksDirty();
}

void TclsShape::markLinksDirty()
{
    if (!Designer())
        return;
    for (TQRVObject* o : Designer()->ObjectList())
        if (auto* link = qobject_cast<TclsDesignerLink*>(o))
            if (link->Source() == this || link->Target() == this)
                link->IncludeState(osDirty);
}

QFont TclsShape::TextFont(double scale)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(std::max(1.0, std::nearbyint(10 * scale)));
    return font;
}

void TclsShape::Draw(QPainter& painter, int mode)
{
    TQRVObject::Draw(painter, mode);
    const TScreenBox box(*this);
    painter.setPen(
        QPen(highlighted(*this, mode) ? HighlightColor() : QColor(Qt::black), 1, ToQtPenStyle(m_style)));
    painter.setBrush(m_fill->ToQBrush());
    drawOutline(painter, box.Rect(), !isRounded(), isRounded());

    const QFont font = TextFont(viewScale(*this));
    const QFontMetrics metrics(font, painter.device());
    const int width = metrics.horizontalAdvance(m_text);
    const int height = metrics.height();
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(QRect((box.X1 + box.X2 - width) / 2, (box.Y1 + box.Y2 - height) / 2, width, height),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_text);

    if (selected(*this))
        painter.fillRect(m_handle.boundingRect(), HighlightColor());
}

void TclsShape::MouseDown(Qt::MouseButton button, double x, double y)
{
    if (button != Qt::LeftButton)
        return;
    if (m_handle.contains(QPoint(pixel(x), pixel(y)))) {
        m_resizing = true;
        takeCapture(*this);
    } else if (m_resizing) {
        m_resizing = false;
        releaseCapture(*this);
    }
}

void TclsShape::MouseMove(double x, double y)
{
    if (!m_resizing)
        return;
    SetBounds(m_left, m_top, modelX(*this, x) - m_left, modelY(*this, y) - m_top);
    UpdateRegion();
    markLinksDirty();
}

void TclsShape::MouseUp(Qt::MouseButton, double, double)
{
    m_resizing = false;
    releaseCapture(*this);
}

void TclsShape::SaveToXml(TqibXMLNode& element) const
{
    SaveCommonAttributes(*this, element);
    element.AddAttribute(QStringLiteral("text"), m_text);
    savePenStyle(element, m_style);
    SaveBrush(element, *m_fill);
}

void TclsShape::LoadFromXml(const TqibXMLNode& element)
{
    LoadCommonAttributes(*this, element);
    m_text = RequiredAttribute(element, QStringLiteral("text")).Value;
    m_style = loadPenStyle(element);
    const QSignalBlocker block(m_fill);
    LoadBrush(element, *m_fill);
}

// ---- line -------------------------------------------------------------------

TclsLine::TclsLine(TQRVDesigner* designer) : TQRVObject(designer), m_pen(new TQRVPen(this))
{
    connect(m_pen, &TQRVPen::Changed, this, [this] { DesignerUpdate(); });
}

void TclsLine::SetPen(TQRVPen* pen)
{
    if (pen && pen != m_pen)
        m_pen->Assign(*pen);
}

void TclsLine::FinishPlacement(bool placed)
{
    TQRVObject::FinishPlacement(placed);
    SetBounds(m_left, m_top, 100, 50);
    UpdateRegion();
}

void TclsLine::Loaded()
{
    UpdateRegion();
}

void TclsLine::UpdateRegion()
{
    ExcludeState(osDirty);
    const double x1 = ScreenX(), y1 = ScreenY();
    const double x2 = x1 + ScreenWidth(), y2 = y1 + ScreenHeight();
    m_startHandle = QRegion(handleRect(pixel(x1), pixel(y1)));
    m_endHandle = QRegion(handleRect(pixel(x2), pixel(y2)));
    m_region = m_startHandle | m_endHandle;
    const double length = std::hypot(x2 - x1, y2 - y1);
    if (length == 0)
        return; // no band, but the handles stay so that the line can be grabbed
    // The band 3 pixels to each side of the segment.
    const double nx = -(y2 - y1) / length * 3, ny = (x2 - x1) / length * 3;
    const QPolygon band({QPoint(pixel(x1 + nx), pixel(y1 + ny)), QPoint(pixel(x2 + nx), pixel(y2 + ny)),
                         QPoint(pixel(x2 - nx), pixel(y2 - ny)), QPoint(pixel(x1 - nx), pixel(y1 - ny))});
    m_region |= QRegion(band);
}

void TclsLine::Draw(QPainter& painter, int mode)
{
    TQRVObject::Draw(painter, mode);
    QPen pen = m_pen->ToQPen();
    if (highlighted(*this, mode))
        pen.setColor(HighlightColor());
    painter.setPen(pen);
    const double x1 = ScreenX(), y1 = ScreenY();
    painter.drawLine(QPoint(pixel(x1), pixel(y1)),
                     QPoint(pixel(x1 + ScreenWidth()), pixel(y1 + ScreenHeight())));
    if (selected(*this)) {
        painter.fillRect(m_startHandle.boundingRect(), HighlightColor());
        painter.fillRect(m_endHandle.boundingRect(), HighlightColor());
    }
}

void TclsLine::MouseDown(Qt::MouseButton button, double x, double y)
{
    if (button != Qt::LeftButton)
        return;
    const QPoint p(pixel(x), pixel(y));
    if (m_endHandle.contains(p)) {
        m_drag = ldEnd;
    } else if (m_startHandle.contains(p)) {
        m_drag = ldStart;
    } else {
        if (m_drag != ldNone) {
            m_drag = ldNone;
            releaseCapture(*this);
        }
        return;
    }
    m_endX = m_left + m_width;
    m_endY = m_top + m_height;
    takeCapture(*this);
}

void TclsLine::MouseMove(double x, double y)
{
    const double mx = modelX(*this, x), my = modelY(*this, y);
    if (m_drag == ldStart)
        SetBounds(mx, my, m_endX - mx, m_endY - my);
    else if (m_drag == ldEnd)
        SetBounds(m_left, m_top, mx - m_left, my - m_top);
    else
        return;
    UpdateRegion();
}

void TclsLine::MouseUp(Qt::MouseButton, double, double)
{
    m_drag = ldNone;
    releaseCapture(*this);
}

void TclsLine::SaveToXml(TqibXMLNode& element) const
{
    SaveCommonAttributes(*this, element);
    SavePen(element, *m_pen);
}

void TclsLine::LoadFromXml(const TqibXMLNode& element)
{
    LoadCommonAttributes(*this, element);
    const QSignalBlocker block(m_pen);
    LoadPen(element, *m_pen);
}

// ---- marker -----------------------------------------------------------------

bool TclsMarker::RejectPlacement(double x, double y)
{
    TQRVDesigner* designer = Designer();
    if (!designer)
        return true;
    TQRVObject* object = designer->ObjectAt(x, y);
    // Continuous places and everything else are left alone.
    if (auto* place = qobject_cast<TclsNodeDiscrete*>(object)) {
        const double before = place->Tokens();
        const double step = designer->Modifiers().testFlag(Qt::ControlModifier) ? -1.0 : 1.0;
        place->SetTokens(before + step);
        if (place->Tokens() != before)
            designer->Edits().NameStep(
                (step > 0 ? QStringLiteral("Add Token to ") : QStringLiteral("Take Token from ")) +
                place->Name());
    }
    // The marker is a tool: it never stays in the net.
    return true;
}
