#include "editor/designer_form.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

#include "model/arcs.h"
#include "model/designer.h"

TfmDesignerForm::TfmDesignerForm(TQRVDesigner& designer, QWidget* parent)
    : QAbstractScrollArea(parent), m_designer(designer)
{
    setObjectName(QStringLiteral("fmDesignerForm"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
    connect(&m_designer, &TQRVDesigner::PaintRequested, viewport(), qOverload<>(&QWidget::update));
    updateScrollBars();
}

void TfmDesignerForm::updateScrollBars()
{
    const QSize vs = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, VirtualSize - vs.width()));
    verticalScrollBar()->setRange(0, std::max(0, VirtualSize - vs.height()));
    horizontalScrollBar()->setPageStep(vs.width());
    verticalScrollBar()->setPageStep(vs.height());
}

void TfmDesignerForm::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TfmDesignerForm::scrollContentsBy(int, int)
{
    m_designer.SetScroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->update();
}

void TfmDesignerForm::PaintSurface(QPainter& painter, const QRect& area) const
{
    if (m_designer.Updating()) {
        painter.fillRect(area, Qt::white);
        return;
    }
    // The dot grid: a tile with one grey pixel that moves with the scroll position.
    const int g = std::max(1, static_cast<int>(10 * m_designer.Scale()));
    QImage tile(g, g, QImage::Format_RGB32);
    tile.fill(Qt::white);
    int gx = g - m_designer.ScrollX() % g;
    int gy = g - m_designer.ScrollY() % g;
    if (gx >= g)
        gx = 0;
    if (gy >= g)
        gy = 0;
    tile.setPixelColor(gx, gy, QColor(0x80, 0x80, 0x80));
    painter.fillRect(area, QBrush(tile));

    painter.setRenderHint(QPainter::Antialiasing, false);
    m_designer.DrawObjects(painter, area);

    if (m_designer.RubberBandActive()) {
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_designer.RubberBandRect());
    }
}

void TfmDesignerForm::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    PaintSurface(painter, viewport()->rect());
}

void TfmDesignerForm::mousePressEvent(QMouseEvent* event)
{
    setFocus();
    m_designer.SetModifiers(event->modifiers());
    const QPointF p = event->position();
    if (event->button() == Qt::LeftButton)
        m_designer.LeftButtonDown(p.x(), p.y());
    else if (event->button() == Qt::RightButton) {
        // A right click cancels the tool in use or straightens the bend of an
        // arc under it; only a click that does neither opens the menu.
        const auto* link = qobject_cast<const TQRVLinkBase*>(m_designer.ObjectAt(p.x(), p.y()));
        const bool used =
            m_designer.CreationClass() || m_designer.Capture() || (link && link->PointAt(p.x(), p.y()));
        m_designer.RightButtonDown(p.x(), p.y());
        if (!used)
            Q_EMIT ContextMenuRequested(p.toPoint());
    }
}

void TfmDesignerForm::mouseMoveEvent(QMouseEvent* event)
{
    m_designer.SetModifiers(event->modifiers());
    const QPointF p = event->position();
    Q_EMIT PointerMoved(p);
    // A window that opened while the button was down (a message box) may
    // have taken the release: a drag or a rubber band ends at the first
    // move without the button, instead of following the pointer on.
    const bool pressed = m_designer.DragActive() || m_designer.RubberBandActive();
    if (pressed && !(event->buttons() & Qt::LeftButton)) {
        m_designer.LeftButtonUp(p.x(), p.y());
        return;
    }
    m_designer.MouseMoveTo(p.x(), p.y());
}

void TfmDesignerForm::mouseReleaseEvent(QMouseEvent* event)
{
    m_designer.SetModifiers(event->modifiers());
    const QPointF p = event->position();
    if (event->button() == Qt::LeftButton)
        m_designer.LeftButtonUp(p.x(), p.y());
}

void TfmDesignerForm::keyPressEvent(QKeyEvent* event)
{
    if (!m_designer.KeyDown(event->key()))
        QAbstractScrollArea::keyPressEvent(event);
}

void TfmDesignerForm::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        m_wheelRemainder += event->angleDelta().y();
        const int steps = m_wheelRemainder / 120;
        m_wheelRemainder -= steps * 120;
        if (steps != 0)
            Q_EMIT ZoomRequested(steps, event->position());
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void TfmDesignerForm::ScrollTo(int x, int y)
{
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
    m_designer.SetScroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void TfmDesignerForm::KeepPointAt(const QPointF& anchor, double previousScale)
{
    const double modelX = (anchor.x() + m_designer.ScrollX()) / previousScale;
    const double modelY = (anchor.y() + m_designer.ScrollY()) / previousScale;
    const double scale = m_designer.Scale();
    ScrollTo(static_cast<int>(std::lround(modelX * scale - anchor.x())),
             static_cast<int>(std::lround(modelY * scale - anchor.y())));
}
