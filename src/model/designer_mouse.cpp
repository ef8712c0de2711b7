// Mouse and key input on the drawing surface, in screen pixels.
#include <QKeyEvent>

#include <algorithm>
#include <cstdlib>

#include "model/arcs.h"
#include "model/class_registry.h"
#include "model/designer.h"
#include "model/edits.h"

namespace {

QString movingCaption(const QList<TQRVObject*>& objects)
{
    if (objects.size() == 1)
        return QStringLiteral("Move ") + objects.first()->Name();
    return QStringLiteral("Move %1 Objects").arg(objects.size());
}

} // namespace

void TQRVDesigner::beginGesture(const QString& caption, const QList<TQRVObject*>& objects)
{
    if (m_gesture) {
        m_edits->Touch(objects);
        return;
    }
    m_gesture = true;
    m_edits->Begin(caption, objects);
}

void TQRVDesigner::endGestureIfIdle()
{
    if (!m_gesture || m_dragActive || m_capture)
        return;
    m_gesture = false;
    m_edits->Commit();
}

void TQRVDesigner::destroyPlacing()
{
    for (int i = ObjectCount() - 1; i >= 0; --i) {
        if (i >= ObjectCount())
            continue;
        TQRVObject* o = m_objects[static_cast<size_t>(i)];
        if (o->HasState(osPlacing))
            DestroyObject(o);
    }
}

void TQRVDesigner::FinishGesture()
{
    m_bandActive = false;
    if (m_dragActive)
        LeftButtonUp(m_lastMouse.x(), m_lastMouse.y());
    destroyPlacing();
    if (m_capture)
        m_capture->MouseUp(Qt::LeftButton, m_lastMouse.x(), m_lastMouse.y());
    m_capture = nullptr;
    endGestureIfIdle();
    Update();
}

void TQRVDesigner::LeftButtonDown(double x, double y)
{
    m_lastMouse = QPointF(x, y);
    if (m_capture) {
        // Placing an arc: every click is part of it.
        beginGesture(QString(), {m_capture});
        m_capture->MouseDown(Qt::LeftButton, x, y);
        endGestureIfIdle();
        return;
    }
    if (m_creationClass) {
        // The marker changes the place under the click instead of staying.
        beginGesture(QString(), {ObjectAt(x, y)});
        if (TQRVObject* o = CreateObject(m_creationClass, SnapX(x / m_scale), SnapY(y / m_scale), 0, 0)) {
            o->MoveBy(-o->Width() / 2, -o->Height() / 2);
            if (o->RejectPlacement(x, y)) {
                DestroyObject(o);
                Update();
            } else {
                SelectObject(o);
                Paint();
            }
        }
        endGestureIfIdle();
        return;
    }
    TQRVObject* o = ObjectAt(x, y);
    if (o) {
        if (!IsSelected(o))
            SelectObject(o);
        // A press on an object may become a drag of the selection, or of one
        // of the object's handles.
        beginGesture(movingCaption(m_selection), m_selection);
        o->MouseDown(Qt::LeftButton, x, y);
        if (m_capture == o)
            m_edits->NameStep(
                (qobject_cast<TQRVLinkBase*>(o) ? QStringLiteral("Bend ") : QStringLiteral("Resize ")) +
                o->Name());
        m_dragActive = true;
        m_dragOrigin = QPointF(ToModelX(x), ToModelY(y));
    } else {
        m_bandActive = true;
        m_bandStart = m_bandEnd = QPoint(static_cast<int>(x), static_cast<int>(y));
    }
}

void TQRVDesigner::MouseMoveTo(double x, double y)
{
    m_lastMouse = QPointF(x, y);
    if (m_capture) {
        beginGesture(QString(), {m_capture});
        m_capture->MouseMove(x, y);
        Update();
        return;
    }
    if (m_bandActive) {
        m_bandEnd = QPoint(static_cast<int>(x), static_cast<int>(y));
        Paint();
        return;
    }
    if (m_dragActive && !m_selection.isEmpty()) {
        if (!m_selection.first()->HasState(osDragging)) {
            for (TQRVObject* o : m_selection) {
                o->IncludeState(osDragging);
                o->BeginDrag();
                o->SavePosition();
            }
        }
        const double dx = SnapX(ToModelX(x) - m_dragOrigin.x());
        const double dy = SnapY(ToModelY(y) - m_dragOrigin.y());
        for (TQRVObject* o : m_selection) {
            o->RestorePosition();
            o->MoveBy(dx, dy);
        }
        Update();
    }
}

void TQRVDesigner::LeftButtonUp(double x, double y)
{
    m_lastMouse = QPointF(x, y);
    if (m_dragActive) {
        m_dragActive = false;
        for (TQRVObject* o : m_selection) {
            o->ExcludeState(osDragging);
            o->EndDrag();
        }
    }
    if (m_capture) {
        m_capture->MouseUp(Qt::LeftButton, x, y);
        // An arc being placed keeps the mouse, and its step stays open.
        endGestureIfIdle();
        return;
    }
    if (m_bandActive) {
        m_bandEnd = QPoint(static_cast<int>(x), static_cast<int>(y));
        // The area between the two corners, the far edges excluded: a band
        // released where it was pressed (a plain click on empty space, say
        // inside a frame) is empty and selects nothing.
        const QRect band(
            QPoint(std::min(m_bandStart.x(), m_bandEnd.x()), std::min(m_bandStart.y(), m_bandEnd.y())),
            QSize(std::abs(m_bandEnd.x() - m_bandStart.x()), std::abs(m_bandEnd.y() - m_bandStart.y())));
        clearSelectionList();
        for (TQRVObject* o : m_objects) {
            const QRect box = o->GetRegion().boundingRect();
            if (!box.isEmpty() && box.intersects(band))
                addToSelection(o);
        }
        m_bandActive = false;
        Modified();
    }
    endGestureIfIdle();
    Paint();
}

void TQRVDesigner::RightButtonDown(double x, double y)
{
    m_lastMouse = QPointF(x, y);
    TQRVObject* o = ObjectAt(x, y);
    const bool joined = m_gesture;
    beginGesture(QString(), {o});
    if (o) {
        // An arc straightens the bend under the click.
        if (!joined && qobject_cast<TQRVLinkBase*>(o))
            m_edits->NameStep(QStringLiteral("Straighten ") + o->Name());
        o->MouseDown(Qt::RightButton, x, y);
    }
    // An arc whose ends are not both chosen is cancelled.
    destroyPlacing();
    m_creationClass = nullptr;
    Q_EMIT PaletteResetRequested();
    endGestureIfIdle();
    Update();
}

bool TQRVDesigner::KeyDown(int key)
{
    if (key == Qt::Key_Delete) {
        FinishGesture();
        DeleteSelected();
        return true;
    }
    if (key == Qt::Key_F11) {
        Q_EMIT InspectorToggleRequested();
        return true;
    }
    return false;
}
