// The drawing surface: shows the dot grid and the net, and hands mouse and
// key input to the net container.
#pragma once

#include <QAbstractScrollArea>

class TQRVDesigner;

class TfmDesignerForm : public QAbstractScrollArea
{
    Q_OBJECT
public:
    // The size of the scrollable area in pixels.
    static constexpr int VirtualSize = 5000;

    explicit TfmDesignerForm(TQRVDesigner& designer, QWidget* parent = nullptr);
    TQRVDesigner& Designer() const { return m_designer; }

    // Paints the grid tile and the net as the surface shows them.
    void PaintSurface(QPainter& painter, const QRect& area) const;
    // Scrolls so that the model point under `anchor` (surface pixels) at the
    // scale `previousScale` is under `anchor` again at the current scale.
    void KeepPointAt(const QPointF& anchor, double previousScale);
    void ScrollTo(int x, int y);

Q_SIGNALS:
    // Ctrl with the mouse wheel: `steps` scale steps up (positive) or down.
    void ZoomRequested(int steps, const QPointF& anchor);
    // The pointer moved over the surface (surface pixels).
    void PointerMoved(const QPointF& position);
    // A right click that neither cancelled a tool nor straightened a bend:
    // the menu of the drawing belongs at `position` (surface pixels).
    void ContextMenuRequested(const QPoint& position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    TQRVDesigner& m_designer;
    int m_wheelRemainder = 0;
};
