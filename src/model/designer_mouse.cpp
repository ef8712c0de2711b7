// Mouse and key input on the drawing surface, in screen pixels.
#include <QKeyEvent>

#include <algorithm>
#include <cstdlib>

#include "model/class_registry.h"
#include "model/designer.h"

void TQRVDesigner::LeftButtonDown(double x, double y)
{
    if (m_capture) {
        m_capture->MouseDown(Qt::LeftButton, x, y);
        return;
    }
    if (m_creationClass) {
        TQRVObject* o = CreateObject(m_creationClass, SnapX(x / m_scale), SnapY(y / m_scale), 0, 0);
        if (!o)
            return;
        o->MoveBy(-o->Width() / 2, -o->Height() / 2);
        if (o->RejectPlacement(x, y)) {
            DestroyObject(o);
            Update();
            return;
        }
        SetChanged(true);
        SelectObject(o);
        Paint();
        return;
    }
    TQRVObject* o = ObjectAt(x, y);
    if (o) {
        if (!IsSelected(o))
            SelectObject(o);
        o->MouseDown(Qt::LeftButton, x, y);
        m_dragActive = true;
        m_dragOrigin = QPointF(ToModelX(x), ToModelY(y));
    } else {
        m_bandActive = true;
        m_bandStart = m_bandEnd = QPoint(static_cast<int>(x), static_cast<int>(y));
    }
}

void TQRVDesigner::MouseMoveTo(double x, double y)
{
    if (m_capture) {
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
        if (dx != 0 || dy != 0)
            SetChanged(true);
        Update();
    }
}

void TQRVDesigner::LeftButtonUp(double x, double y)
{
    if (m_dragActive) {
        m_dragActive = false;
        for (TQRVObject* o : m_selection) {
            o->ExcludeState(osDragging);
            o->EndDrag();
        }
    }
    if (m_capture) {
        m_capture->MouseUp(Qt::LeftButton, x, y);
        SetChanged(true);
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
        m_selection.clear();
        for (TQRVObject* o : m_objects) {
            const QRect box = o->GetRegion().boundingRect();
            if (!box.isEmpty() && box.intersects(band))
                m_selection.append(o);
        }
        m_bandActive = false;
        Modified();
    }
    Paint();
}

void TQRVDesigner::RightButtonDown(double x, double y)
{
    if (TQRVObject* o = ObjectAt(x, y))
        o->MouseDown(Qt::RightButton, x, y);
    for (int i = ObjectCount() - 1; i >= 0; --i) {
        if (i >= ObjectCount())
            continue;
        TQRVObject* o = m_objects[static_cast<size_t>(i)];
        if (o->HasState(osPlacing))
            DestroyObject(o);
    }
    m_creationClass = nullptr;
    Q_EMIT PaletteResetRequested();
    Update();
}

bool TQRVDesigner::KeyDown(int key)
{
    if (key == Qt::Key_Delete) {
        DeleteSelected();
        return true;
    }
    if (key == Qt::Key_F11) {
        Q_EMIT InspectorToggleRequested();
        return true;
    }
    return false;
}
