// Arcs and the polyline they share with designer links.
#include "model/arcs.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

#include "formula/formula.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/transitions.h"
#include "model/types.h"
#include "netfile/element_xml.h"
#include "netfile/xml_tree.h"

namespace {

QPointF centreOf(const TQRVObject* o)
{
    return QPointF(o->Left() + o->Width() / 2, o->Top() + o->Height() / 2);
}

QRectF boxOf(const TQRVObject* o)
{
    return QRectF(o->Left(), o->Top(), o->Width(), o->Height());
}

QPoint rounded(const QPointF& p)
{
    return QPoint(qRound(p.x()), qRound(p.y()));
}

// The unit vector from p to q and its normal (-u.y, u.x); false for a zero-length segment.
bool direction(const QPointF& p, const QPointF& q, QPointF& u, QPointF& n, double& length)
{
    length = QLineF(p, q).length();
    if (!(length > 0))
        return false;
    u = (q - p) / length;
    n = QPointF(-u.y(), u.x());
    return true;
}

// The point `distance` along the polyline and the direction of its segment
// there; false when the polyline is shorter.
bool pointAlong(const QList<QPointF>& s, double distance, QPointF& at, QPointF& u)
{
    double walked = 0;
    for (int i = 0; i + 1 < s.size(); ++i) {
        QPointF n;
        double length = 0;
        if (!direction(s.at(i), s.at(i + 1), u, n, length))
            continue;
        if (walked + length > distance) {
            at = s.at(i) + (distance - walked) * u;
            return true;
        }
        walked += length;
    }
    return false;
}

} // namespace

// ---- TPivotPoint -----------------------------------------------------------------

TPivotPoint::TPivotPoint(TQRVObject* link, double x, double y, bool stationar)
    : TQRVPersistent(link), m_x(x), m_y(y), m_stationar(stationar)
{
}

QRect TQRVLinkBase::DrawnBounds() const
{
    QRectF box;
    for (const TPivotPoint* p : m_points)
        box |= QRectF(p->RX(), p->RY(), 1, 1);
    return box.toAlignedRect();
}

double TPivotPoint::RX() const
{
    const TQRVDesigner* d = m_owner ? m_owner->Designer() : nullptr;
    return d ? d->ToScreenX(m_x) : m_x;
}

void TPivotPoint::SetRX(double v)
{
    const TQRVDesigner* d = m_owner ? m_owner->Designer() : nullptr;
    m_x = d ? d->ToModelX(v) : v;
    if (m_owner)
        m_owner->IncludeState(osDirty);
}

double TPivotPoint::RY() const
{
    const TQRVDesigner* d = m_owner ? m_owner->Designer() : nullptr;
    return d ? d->ToScreenY(m_y) : m_y;
}

void TPivotPoint::SetRY(double v)
{
    const TQRVDesigner* d = m_owner ? m_owner->Designer() : nullptr;
    m_y = d ? d->ToModelY(v) : v;
    if (m_owner)
        m_owner->IncludeState(osDirty);
}

// ---- TQRVLinkBase: points and ends ---------------------------------------------

TQRVLinkBase::TQRVLinkBase(TQRVDesigner* designer) : TQRVObject(designer), m_weight(new TQRVFormula(this))
{
    m_weight->SetValue_Reference(1);
}

TQRVLinkBase::~TQRVLinkBase()
{
    qDeleteAll(m_points);
}

TPivotPoint* TQRVLinkBase::FirstPoint() const
{
    return m_points.isEmpty() ? nullptr : m_points.first();
}

TPivotPoint* TQRVLinkBase::LastPoint() const
{
    return m_points.size() < 2 ? nullptr : m_points.last();
}

TPivotPoint* TQRVLinkBase::PointByIndex(int i) const
{
    return i >= 0 && i < m_points.size() ? m_points.at(i) : nullptr;
}

TPivotPoint* TQRVLinkBase::PointAt(double x, double y) const
{
    const QPoint p(qRound(x), qRound(y));
    for (int i = static_cast<int>(m_points.size()) - 2; i >= 1; --i)
        if (m_points.at(i)->Region.contains(p))
            return m_points.at(i);
    return nullptr;
}

bool TQRVLinkBase::NearLine(double x, double y, double distance) const
{
    if (!Designer() || !IsConnected() || HasState(osPlacing) || m_points.size() < 2)
        return false;
    const QPointF c(x, y);
    const double limit = distance * distance;
    QPointF p = toScreen(m_points.first()->X(), m_points.first()->Y());
    for (int i = 1; i < m_points.size(); ++i) {
        const QPointF q = toScreen(m_points.at(i)->X(), m_points.at(i)->Y());
        // The nearest point of the segment: the projection, kept within its ends.
        const QPointF d = q - p;
        const double squared = QPointF::dotProduct(d, d);
        const double t = squared > 0 ? std::clamp(QPointF::dotProduct(c - p, d) / squared, 0.0, 1.0) : 0.0;
        const QPointF off = c - (p + t * d);
        if (QPointF::dotProduct(off, off) <= limit)
            return true;
        p = q;
    }
    return false;
}

void TQRVLinkBase::ClearPoints()
{
    ActivePoint = nullptr;
    qDeleteAll(m_points);
    m_points.clear();
}

TPivotPoint* TQRVLinkBase::AddPoint(double x, double y, bool stationar)
{
    auto* p = new TPivotPoint(this, x, y, stationar);
    m_points.append(p);
    return p;
}

void TQRVLinkBase::SetTokenPosition(double fraction)
{
    m_tokenPosition = fraction;
}

bool TQRVLinkBase::setEnd(bool source, TQRVObject* object)
{
    TQRVObject*& end = source ? m_sourceObj : m_destObj;
    const TQRVObject* other = source ? m_destObj : m_sourceObj;
    if (object && (!CanConnect(object) || object == other))
        return false;
    if (object == end)
        return true;
    TQRVObject* previous = end;
    end = object;
    endChanged(source, previous);
    IncludeState(osDirty);
    return true;
}

void TQRVLinkBase::endChanged(bool, TQRVObject*) {}

void TQRVLinkBase::ForgetEnd(const TQRVObject* end)
{
    if (end && end == m_sourceObj)
        setEnd(true, nullptr);
    if (end && end == m_destObj)
        setEnd(false, nullptr);
}

QString TQRVLinkBase::startError(const TQRVObject*) const
{
    return QString();
}

QString TQRVLinkBase::endError(const TQRVObject*) const
{
    return QString();
}

// ---- coordinates -------------------------------------------------------------------

QPointF TQRVLinkBase::snappedModel(double x, double y) const
{
    const TQRVDesigner* d = Designer();
    return QPointF(d->SnapX(d->ToModelX(x)), d->SnapY(d->ToModelY(y)));
}

QPointF TQRVLinkBase::toScreen(double mx, double my) const
{
    return QPointF(Designer()->ToScreenX(mx), Designer()->ToScreenY(my));
}

QPointF TQRVLinkBase::toModel(const QPointF& screen) const
{
    return QPointF(Designer()->ToModelX(screen.x()), Designer()->ToModelY(screen.y()));
}

TQRVObject* TQRVLinkBase::objectUnder(double x, double y) const
{
    const QPoint p(qRound(x), qRound(y));
    const auto& objects = Designer()->ObjectList();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it)
        if (*it != this && (*it)->GetRegion().contains(p))
            return *it;
    return nullptr;
}

// ---- placing and editing -----------------------------------------------------------

bool TQRVLinkBase::RejectPlacement(double x, double y)
{
    if (!Designer())
        return true;
    TQRVObject* o = objectUnder(x, y);
    if (!o || !CanConnect(o))
        return true;
    const QString error = startError(o);
    if (!error.isEmpty()) {
        Designer()->ShowError(error);
        return true;
    }
    setEnd(true, o);
    ClearPoints();
    const QPointF c = centreOf(o);
    const QPointF m = snappedModel(x, y);
    AddPoint(c.x(), c.y(), true);
    AddPoint(m.x(), m.y(), false);
    AddPoint(m.x(), m.y(), true);
    IncludeState(osDirty);
    return false;
}

void TQRVLinkBase::FinishPlacement(bool placed)
{
    // A link stays in placing until its last end is chosen, and takes every
    // mouse event until then.
    if (placed && Designer())
        Designer()->SetCapture(this);
}

void TQRVLinkBase::MouseDown(Qt::MouseButton button, double x, double y)
{
    if (!Designer())
        return;
    if (HasState(osPlacing)) {
        if (button == Qt::LeftButton)
            placingClick(x, y);
        return;
    }
    if (button == Qt::RightButton) {
        removeBend(x, y);
        return;
    }
    if (button != Qt::LeftButton)
        return;
    TPivotPoint* p = PointAt(x, y);
    if (!p)
        return;
    ActivePoint = p;
    Designer()->SetCapture(this);
    const QPointF m = snappedModel(x, y);
    DragStartX = m.x();
    DragStartY = m.y();
}

void TQRVLinkBase::placingClick(double x, double y)
{
    if (!m_sourceObj || m_points.size() < 2)
        return;
    TQRVObject* o = objectUnder(x, y);
    if (o && CanConnect(o)) {
        if (o == m_sourceObj || m_destObj)
            return;
        const QString error = endError(o);
        if (!error.isEmpty()) {
            Designer()->ShowError(error);
            return;
        }
        setEnd(false, o);
        const QPointF c = centreOf(o);
        m_points.last()->SetX(c.x());
        m_points.last()->SetY(c.y());
        ExcludeState(osPlacing);
        if (Designer()->Capture() == this)
            Designer()->SetCapture(nullptr);
        UpdateRegion();
        return;
    }
    // Empty space: the end so far becomes a bend, and a new end follows the pointer.
    const QPointF m = snappedModel(x, y);
    AddPoint(m.x(), m.y(), false);
    AddPoint(m.x(), m.y(), true);
    IncludeState(osDirty);
}

void TQRVLinkBase::placingMove(double x, double y)
{
    if (!m_sourceObj || m_points.size() < 2)
        return;
    const QPointF m = snappedModel(x, y);
    m_points.last()->SetX(m.x());
    m_points.last()->SetY(m.y());
    UpdateRegion();
    // The end under the pointer is selected as a hint.
    const QPointF s = toScreen(m.x(), m.y());
    TQRVObject* o = objectUnder(s.x(), s.y());
    if (!o)
        Designer()->ClearSelection();
    else if (CanConnect(o) && o != m_sourceObj && !Designer()->IsSelected(o))
        Designer()->SelectObject(o);
}

void TQRVLinkBase::MouseMove(double x, double y)
{
    if (!Designer())
        return;
    if (HasState(osPlacing)) {
        placingMove(x, y);
        return;
    }
    if (!ActivePoint)
        return;
    const QPointF m = snappedModel(x, y);
    ActivePoint->SetX(m.x());
    ActivePoint->SetY(m.y());
    IncludeState(osDirty);
}

void TQRVLinkBase::MouseUp(Qt::MouseButton button, double x, double y)
{
    if (button != Qt::LeftButton || !ActivePoint || !Designer())
        return;
    const QPointF m = snappedModel(x, y);
    // A handle released elsewhere becomes a bend with a handle on each side.
    if (!ActivePoint->Stationar() && (m.x() != DragStartX || m.y() != DragStartY)) {
        const int i = static_cast<int>(m_points.indexOf(ActivePoint));
        const double px = ActivePoint->X(), py = ActivePoint->Y();
        m_points.insert(i + 1, new TPivotPoint(this, px, py, false));
        m_points.insert(i, new TPivotPoint(this, px, py, false));
        ActivePoint->SetStationar(true);
    }
    ActivePoint = nullptr;
    if (Designer()->Capture() == this)
        Designer()->SetCapture(nullptr);
    IncludeState(osDirty);
    DesignerUpdate();
}

void TQRVLinkBase::removeBend(double x, double y)
{
    // Not while a point is dragged: the point could be one of those removed.
    if (ActivePoint)
        return;
    TPivotPoint* p = PointAt(x, y);
    if (!p || !p->Stationar())
        return;
    const int i = static_cast<int>(m_points.indexOf(p));
    // The ends are never removed.
    if (i + 1 < m_points.size() - 1 && !m_points.at(i + 1)->Stationar())
        delete m_points.takeAt(i + 1);
    if (i - 1 >= 1 && !m_points.at(i - 1)->Stationar())
        delete m_points.takeAt(i - 1);
    p->SetStationar(false);
    IncludeState(osDirty);
    DesignerUpdate();
}

// ---- geometry ----------------------------------------------------------------------

void TQRVLinkBase::centreHandles()
{
    for (int i = 1; i + 1 < m_points.size(); ++i) {
        TPivotPoint* p = m_points.at(i);
        if (p->Stationar() || p == ActivePoint)
            continue;
        p->SetX((m_points.at(i - 1)->X() + m_points.at(i + 1)->X()) / 2);
        p->SetY((m_points.at(i - 1)->Y() + m_points.at(i + 1)->Y()) / 2);
    }
}

bool TQRVLinkBase::clipToBoundary(const TQRVObject* end, const QPointF& towards, int index)
{
    const QRegion& region = end->GetRegion();
    auto inside = [&region](const QPointF& p) { return region.contains(rounded(p)); };
    const QPointF c = centreOf(end);
    QPointF a = toScreen(c.x(), c.y());
    QPointF b = towards;
    if (inside(a) && inside(b))
        return false;
    // Bisection towards the boundary; bounded, so that no geometry can hang it.
    QPointF m;
    int steps = 0;
    do {
        m = (a + b) / 2;
        if (!inside(m))
            b = m;
        else
            a = m;
    } while (!(QLineF(a, b).length() <= 0.05) && ++steps < 100);
    const QPointF model = toModel(QPointF(rounded(m)));
    m_points.at(index)->SetX(model.x());
    m_points.at(index)->SetY(model.y());
    return true;
}

void TQRVLinkBase::rebuildHitSquares()
{
    // The squares are joined pairwise, level by level: adding them one by one
    // to an ever larger region would take time quadratic in their number.
    std::vector<QRegion> level;
    level.reserve(static_cast<size_t>(std::max<qsizetype>(m_points.size() - 2, 0)));
    for (int i = 0; i < m_points.size(); ++i) {
        TPivotPoint* p = m_points.at(i);
        if (i == 0 || i == m_points.size() - 1) {
            p->Region = QRegion();
            continue;
        }
        const QPoint s = rounded(toScreen(p->X(), p->Y()));
        p->Region = QRegion(s.x() - 5, s.y() - 5, 10, 10);
        level.push_back(p->Region);
    }
    while (level.size() > 1) {
        std::vector<QRegion> next;
        next.reserve((level.size() + 1) / 2);
        for (size_t i = 0; i + 1 < level.size(); i += 2)
            next.push_back(level[i].united(level[i + 1]));
        if (level.size() % 2 != 0)
            next.push_back(level.back());
        level.swap(next);
    }
    m_region = level.empty() ? QRegion() : level.front();
}

void TQRVLinkBase::UpdateRegion()
{
    ExcludeState(osDirty);
    if (!Designer())
        return;
    if (IsConnected()) {
        const QPointF cs = centreOf(m_sourceObj), cd = centreOf(m_destObj);
        if (m_points.size() < 2) {
            // A point list that cannot be a polyline: the straight arc.
            ClearPoints();
            AddPoint(cs.x(), cs.y(), true);
            AddPoint(0, 0, false);
            AddPoint(cd.x(), cd.y(), true);
        }
        m_points.first()->SetX(cs.x());
        m_points.first()->SetY(cs.y());
        m_points.last()->SetX(cd.x());
        m_points.last()->SetY(cd.y());
        m_sourceBox = boxOf(m_sourceObj);
        m_destBox = boxOf(m_destObj);
    }
    centreHandles();
    if (HasState(osPlacing))
        return;
    if (!IsConnected()) {
        // Not drawn, not hit: it takes no part.
        m_region = QRegion();
        for (TPivotPoint* p : m_points)
            p->Region = QRegion();
        return;
    }

    const int n = static_cast<int>(m_points.size());
    int next = 1;
    while (next < n - 1 && !m_points.at(next)->Stationar())
        ++next;
    if (!clipToBoundary(m_sourceObj, toScreen(m_points.at(next)->X(), m_points.at(next)->Y()), 0))
        return;
    if (n >= 3) {
        int previous = n - 2;
        while (previous > 0 && !m_points.at(previous)->Stationar())
            --previous;
        const QPointF towards = toScreen(m_points.at(previous)->X(), m_points.at(previous)->Y());
        if (!clipToBoundary(m_destObj, towards, n - 1))
            return;
    }
    centreHandles();
    rebuildHitSquares();

    double length = 1;
    for (int i = 0; i + 1 < n; ++i)
        length += QLineF(toScreen(m_points.at(i)->X(), m_points.at(i)->Y()),
                         toScreen(m_points.at(i + 1)->X(), m_points.at(i + 1)->Y()))
                      .length();
    m_length = length;
}

bool TQRVLinkBase::endsMoved() const
{
    return IsConnected() && (boxOf(m_sourceObj) != m_sourceBox || boxOf(m_destObj) != m_destBox);
}

void TQRVLinkBase::MoveBy(double dx, double dy)
{
    TQRVObject::MoveBy(dx, dy);
    const double scale = Designer() ? Designer()->Scale() : 1.0;
    const int sdx = qRound(dx * scale), sdy = qRound(dy * scale);
    for (TPivotPoint* p : m_points) {
        p->SetX(p->X() + dx);
        p->SetY(p->Y() + dy);
        p->Region.translate(sdx, sdy);
    }
    m_region.translate(sdx, sdy);
}

void TQRVLinkBase::SavePosition()
{
    TQRVObject::SavePosition();
    for (TPivotPoint* p : m_points) {
        p->SavedX = p->X();
        p->SavedY = p->Y();
    }
}

void TQRVLinkBase::RestorePosition()
{
    TQRVObject::RestorePosition();
    for (TPivotPoint* p : m_points) {
        p->SetX(p->SavedX);
        p->SetY(p->SavedY);
    }
}

// ---- life cycle --------------------------------------------------------------------

void TQRVLinkBase::Loaded()
{
    TQRVDesigner* d = Designer();
    if (!d)
        return;
    // Ends that name no suitable object stay empty.
    TQRVObject* source = d->FindObject(SourceName);
    if (source && CanConnect(source))
        setEnd(true, source);
    TQRVObject* dest = d->FindObject(DestName);
    if (dest && CanConnect(dest))
        setEnd(false, dest);
    IncludeState(osDirty);
}

void TQRVLinkBase::Notification(TQRVObject* object)
{
    if (object && (object == m_sourceObj || object == m_destObj)) {
        ForgetEnd(object);
        IncludeState(osDoomed);
    }
}

void TQRVLinkBase::Destroying()
{
    if (Designer() && Designer()->Capture() == this)
        Designer()->SetCapture(nullptr);
}

// ---- drawing -----------------------------------------------------------------------

void TQRVLinkBase::drawSegments(QPainter& painter, const QList<QPointF>& s, const QColor& color) const
{
    const quint8 style = drawStyle();
    const int last = static_cast<int>(s.size()) - 2;
    for (int i = 0; i <= last; ++i) {
        const QPointF p = s.at(i), q = s.at(i + 1);
        if (style == 3) {
            QPointF u, n;
            double length = 0;
            if (!direction(p, q, u, n, length))
                continue;
            if (i == last)
                length -= 5;
            painter.setPen(QPen(color, m_tokenPosition != 0 ? 2 : 1));
            painter.drawLine(p + 2 * n, p + length * u + 2 * n);
            painter.drawLine(p + length * u - 2 * n, p - 2 * n);
        } else if (style == 4) {
            painter.setPen(QPen(color, 1, Qt::DotLine));
            painter.setBrush(Qt::white);
            painter.drawLine(p, q);
        } else {
            painter.setPen(QPen(color, lineWidth()));
            painter.drawLine(p, q);
        }
    }
    if (style == 3) {
        painter.setPen(QPen(color, 1));
        painter.setBrush(Qt::white);
        for (int i = 1; i < s.size(); ++i) {
            if (!m_points.at(i)->Stationar())
                continue;
            const QPoint c = rounded(s.at(i));
            painter.drawEllipse(QRect(c.x() - 2, c.y() - 2, 5, 5));
        }
    }
}

void TQRVLinkBase::drawEndMarker(QPainter& painter, const QList<QPointF>& s, const QColor& color) const
{
    const QPointF e = s.last();
    QPointF u, n;
    double length = 0;
    if (!direction(s.at(s.size() - 2), e, u, n, length))
        return;
    const double sc = Designer() ? Designer()->Scale() : 1.0;
    painter.setPen(QPen(color, 1));
    switch (drawStyle()) {
    case 0:
    case 4: {
        // Long and wide enough to read the direction at a glance, at any scale.
        const double head = std::max(ArrowLength, 18 * sc);
        if (length >= head) {
            painter.setBrush(color);
            const QPointF base = e - head * u;
            const double half = std::max(3.0, 5 * sc);
            painter.drawPolygon(QPolygonF({e, base + half * n, base - half * n}));
        }
        break;
    }
    case 1:
        if (length >= 10) {
            painter.setBrush(Qt::white);
            painter.drawEllipse(e - 4 * sc * u, 4 * sc, 4 * sc);
        }
        break;
    case 2:
        if (length >= 26) {
            painter.setBrush(color);
            const QPointF tip = e - 8 * u;
            const QPointF base = e - 26 * u;
            painter.drawPolygon(QPolygonF({tip, base + 5 * n, base - 5 * n}));
            painter.setBrush(Qt::white);
            painter.drawEllipse(e - 4 * u, 4, 4);
        }
        break;
    case 3:
        if (length >= 15) {
            painter.drawLine(e, e - 18 * u + 6 * n);
            painter.drawLine(e, e - 18 * u - 6 * n);
        }
        break;
    default:
        break;
    }
}

void TQRVLinkBase::drawExtras(QPainter&, const QList<QPointF>&, const QColor&) const {}

void TQRVLinkBase::setBoundsFromPoints()
{
    double minX = 9999999, minY = 9999999, maxX = 0, maxY = 0;
    for (int i = 1; i < m_points.size(); ++i) {
        const TPivotPoint* p = m_points.at(i);
        minX = std::min(minX, p->X());
        minY = std::min(minY, p->Y());
        maxX = std::max(maxX, p->X());
        maxY = std::max(maxY, p->Y());
    }
    SetBoundsDirect(minX, minY, maxX - minX, maxY - minY);
}

void TQRVLinkBase::Draw(QPainter& painter, int mode)
{
    TQRVDesigner* d = Designer();
    if (!d || !m_sourceObj || m_points.size() < 2)
        return;
    const bool placing = HasState(osPlacing);
    if (!m_destObj && !placing)
        return;
    // Ends that moved without telling, or ends rebuilt after this link in the
    // same update: the geometry is made current before it is drawn.
    if (!placing && (HasState(osDirty) || endsMoved()))
        UpdateRegion();
    TQRVObject::Draw(painter, mode);

    const bool selected = d->IsSelected(this);
    const QColor color = ((mode & dmHighlight) || selected || placing) ? HighlightColor() : lineColor();
    QList<QPointF> s;
    s.reserve(m_points.size());
    for (const TPivotPoint* p : m_points)
        s.append(toScreen(p->X(), p->Y()));

    drawSegments(painter, s, color);
    drawEndMarker(painter, s, color);
    drawExtras(painter, s, color);

    if (selected) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(HighlightColor());
        for (int i = 1; i + 1 < s.size(); ++i) {
            const int half = m_points.at(i)->Stationar() ? 4 : 2;
            const QPoint c = rounded(s.at(i));
            painter.drawRect(QRect(c.x() - half, c.y() - half, 2 * half, 2 * half));
        }
    }
    setBoundsFromPoints();
}

// ---- file --------------------------------------------------------------------------

void TQRVLinkBase::SaveToXml(TqibXMLNode& element) const
{
    SaveCommonAttributes(*this, element);
    // Links repeat their name among their own attributes.
    element.AddAttribute(QStringLiteral("name"), Name());
    // An end that could not be resolved keeps the name it was read with.
    element.AddAttribute(QStringLiteral("src"), m_sourceObj ? m_sourceObj->Name() : SourceName);
    element.AddAttribute(QStringLiteral("dst"), m_destObj ? m_destObj->Name() : DestName);
    SaveFormula(element, QStringLiteral("weight"), *m_weight);
    for (const TPivotPoint* p : m_points) {
        TqibXMLNode* point = element.AddNode(QStringLiteral("point"));
        point->AddAttribute(QStringLiteral("x"), RealText(p->X()));
        point->AddAttribute(QStringLiteral("y"), RealText(p->Y()));
        point->AddAttribute(QStringLiteral("big"),
                            p->Stationar() ? QStringLiteral("1") : QStringLiteral("0"));
    }
}

void TQRVLinkBase::LoadFromXml(const TqibXMLNode& element)
{
    LoadCommonAttributes(*this, element);
    SourceName = RequiredAttribute(element, QStringLiteral("src")).Value;
    DestName = RequiredAttribute(element, QStringLiteral("dst")).Value;
    LoadFormula(element, QStringLiteral("weight"), *m_weight, true);

    struct Point
    {
        double x, y;
        bool big;
    };
    QList<Point> points;
    // Points read from a file snap to the grid; a step undone or redone puts
    // them back exactly where they were.
    const TQRVDesigner* d = Designer() && !Designer()->Restoring() ? Designer() : nullptr;
    for (const TqibXMLNode* child : element.Nodes()) {
        if (child->Name != QLatin1String("point"))
            continue;
        const double x = ReadPosition(*child, QStringLiteral("x"));
        const double y = ReadPosition(*child, QStringLiteral("y"));
        const bool big = RequiredAttribute(*child, QStringLiteral("big")).AsBoolean();
        points.append({d ? d->SnapX(x) : x, d ? d->SnapY(y) : y, big});
    }
    ClearPoints();
    for (qsizetype i = 0; i < points.size(); ++i) {
        // A handle sits midway between its neighbours: of handles that follow
        // each other between two corners only the first is kept, or each
        // rebuild would move them anew and the file would change every time
        // it was read and written.
        const bool inner = i > 0 && i + 1 < points.size();
        if (inner && !points[i].big && i > 1 && !points[i - 1].big)
            continue;
        AddPoint(points[i].x, points[i].y, points[i].big);
    }
}

// ---- TclsLink ----------------------------------------------------------------------

namespace {

bool isPlace(const TQRVObject* o)
{
    return qobject_cast<const TclsNode*>(o) != nullptr;
}

bool isContinuousPlace(const TQRVObject* o)
{
    const auto* p = qobject_cast<const TclsNode*>(o);
    return p && p->IsContinuous;
}

bool isDiscretePlace(const TQRVObject* o)
{
    const auto* p = qobject_cast<const TclsNode*>(o);
    return p && !p->IsContinuous;
}

bool isTransition(const TQRVObject* o)
{
    return qobject_cast<const TclsTrans*>(o) != nullptr;
}

bool isContinuousTransition(const TQRVObject* o)
{
    const auto* t = qobject_cast<const TclsTrans*>(o);
    return t && t->IsContinuous;
}

bool isDiscreteTransition(const TQRVObject* o)
{
    const auto* t = qobject_cast<const TclsTrans*>(o);
    return t && !t->IsContinuous;
}

TFormulaKind weightKind(TLinkKind kind)
{
    switch (kind) {
    case lkNormal:
    case lkIngibitor:
    case lkIngibitorCounter:
    case lkTest:
    case lkTestContinuous:
        return fkInteger;
    default:
        return fkReal;
    }
}

} // namespace

TclsLink::TclsLink(TQRVDesigner* designer, TLinkKind kind) : TQRVLinkBase(designer), m_kind(kind)
{
    m_weight->SetKind(weightKind(kind));
}

TclsLink::~TclsLink()
{
    setEnd(true, nullptr);
    setEnd(false, nullptr);
}

quint8 TclsLink::Style() const
{
    switch (m_kind) {
    case lkNormal:
    case lkFlow:
        return 0;
    case lkIngibitor:
    case lkIngibitorContinuous:
        return 1;
    case lkIngibitorCounter:
    case lkIngibitorCounterContinuous:
        return 2;
    case lkContinuous:
        return 3;
    case lkTest:
    case lkTestContinuous:
        return 4;
    }
    return 0;
}

bool TclsLink::IsContinuousKind() const
{
    switch (m_kind) {
    case lkContinuous:
    case lkTestContinuous:
    case lkIngibitorContinuous:
    case lkIngibitorCounterContinuous:
    case lkFlow:
        return true;
    default:
        return false;
    }
}

void TclsLink::SetWeight(TQRVFormula* formula)
{
    if (formula && formula != m_weight)
        m_weight->Assign(*formula);
}

TQRVNode* TclsLink::Source() const
{
    return static_cast<TQRVNode*>(SourceObject());
}

TQRVNode* TclsLink::Dest() const
{
    return static_cast<TQRVNode*>(DestObject());
}

void TclsLink::SetSource(TQRVObject* object)
{
    if (object && setEnd(true, object))
        DesignerUpdate();
}

void TclsLink::SetDest(TQRVObject* object)
{
    if (object && setEnd(false, object))
        DesignerUpdate();
}

bool TclsLink::CanConnect(const TQRVObject* object) const
{
    return isPlace(object) || isTransition(object);
}

void TclsLink::endChanged(bool source, TQRVObject* previous)
{
    TclsNode*& place = source ? m_sourcePlace : m_destPlace;
    TclsTrans*& trans = source ? m_sourceTrans : m_destTrans;
    // Leave the previous end's lists. That end may be in the middle of its
    // destruction, so it is reached only as the node that holds the lists.
    if (place || trans) {
        auto* node = static_cast<TQRVNode*>(previous);
        node->AttachedArcs.removeOne(this);
        (source ? node->OutArcs : node->InArcs).removeAll(this);
    }
    TQRVObject* now = source ? SourceObject() : DestObject();
    place = qobject_cast<TclsNode*>(now);
    trans = qobject_cast<TclsTrans*>(now);
    if (place)
        place->AttachedArcs.append(this);
    if (trans)
        trans->AttachedArcs.append(this);
}

QString TclsLink::TestStart(const TQRVObject* o) const
{
    QString error;
    switch (m_kind) {
    case lkNormal:
        if (isContinuousTransition(o))
            error = QStringLiteral("Wrong transition");
        if (isContinuousPlace(o))
            error = QStringLiteral("Wrong position");
        break;
    case lkIngibitor:
    case lkIngibitorCounter:
    case lkTest:
        if (isTransition(o))
            error = QStringLiteral("Can't start from transition");
        if (isContinuousPlace(o))
            error = QStringLiteral("Wrong position type");
        break;
    case lkTestContinuous:
    case lkIngibitorContinuous:
    case lkIngibitorCounterContinuous:
        if (isTransition(o))
            error = QStringLiteral("Can't start from transition");
        if (isDiscretePlace(o))
            error = QStringLiteral("Wrong position type");
        break;
    case lkContinuous:
        if (isDiscreteTransition(o))
            error = QStringLiteral("Wrong transition");
        if (isDiscretePlace(o))
            error = QStringLiteral("Wrong position");
        break;
    case lkFlow:
        if (isContinuousTransition(o))
            error = QStringLiteral("Wrong transition");
        if (isDiscretePlace(o))
            error = QStringLiteral("Wrong position");
        break;
    }
    return error;
}

QString TclsLink::TestEnd(const TQRVObject* o) const
{
    QString error;
    switch (m_kind) {
    case lkNormal:
        if (isContinuousPlace(o) || isContinuousTransition(o))
            error = QStringLiteral("Can not end at continuous object");
        break;
    case lkIngibitor:
    case lkIngibitorCounter:
    case lkTest:
    case lkTestContinuous:
    case lkIngibitorContinuous:
    case lkIngibitorCounterContinuous:
        if (isPlace(o))
            error = QStringLiteral("Must end at transition");
        break;
    case lkContinuous:
        if (isDiscretePlace(o) || isDiscreteTransition(o))
            error = QStringLiteral("Can not end at discrete object");
        break;
    case lkFlow:
        if (isDiscretePlace(o))
            error = QStringLiteral("Can not end at discrete position");
        if (isContinuousTransition(o))
            error = QStringLiteral("Can not end at continuous transition");
        break;
    }
    // The check common to every kind starts a new line after the message above.
    const TQRVObject* source = SourceObject();
    if (isPlace(o) && isPlace(source))
        error += QStringLiteral("\rCan't link position to position");
    if (isTransition(o) && isTransition(source))
        error += QStringLiteral("\rCan't link transition to transition");
    return error;
}

QColor TclsLink::lineColor() const
{
    return BgrColor(IsContinuousKind() ? ContinuousArcColor : ArcColor);
}

void TclsLink::drawExtras(QPainter& painter, const QList<QPointF>& s, const QColor& color) const
{
    // The animated token, where the walk along the polyline passes TokenPosition x Length.
    QPointF at, along;
    if ((m_kind == lkNormal || m_kind == lkFlow) && TokenPosition() > 0 &&
        pointAlong(s, TokenPosition() * Length(), at, along)) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::black);
        painter.drawEllipse(at, 5, 5);
    }

    if (Style() == 1)
        return;
    // A weight that cannot be evaluated now shows no label; drawing goes on.
    double weight = 1;
    try {
        weight = m_weight->Value_Actual();
    } catch (...) {
        return;
    }
    if (weight == 1)
        return;
    // Beside the middle of the line, in the line's colour, as large as a name label.
    double total = 0;
    for (int i = 0; i + 1 < s.size(); ++i)
        total += QLineF(s.at(i), s.at(i + 1)).length();
    QPointF middle, u;
    if (!pointAlong(s, total / 2, middle, u))
        return;
    const double scale = Designer() ? Designer()->Scale() : 1.0;
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(std::max(1.0, std::nearbyint(WeightFontSize * scale)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(color);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QString text = FormatGeneral(weight);
    const QFontMetricsF metrics(font);
    const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
    // Off the line on the side of its normal that points up (or right of an
    // upright line), far enough that the text's box does not touch the line.
    QPointF n(-u.y(), u.x());
    if (n.y() > 0 || (n.y() == 0 && n.x() < 0))
        n = -n;
    const double away = 3 + std::abs(n.x()) * size.width() / 2 + std::abs(n.y()) * size.height() / 2;
    const QPointF centre = middle + away * n;
    painter.drawText(QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size), Qt::AlignCenter,
                     text);
}
