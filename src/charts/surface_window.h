// The 3-D window: an entry's values as a coloured surface over both sweep
// arguments, with buttons that turn the viewpoint and zoom while held down.
#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>

#include "charts/surface_plot.h"

class QCheckBox;
class QPushButton;

// The plot, filling the widget.
class TSurfaceView : public QWidget
{
    Q_OBJECT
public:
    TSurfaceView(TSurfacePlot& plot, QWidget* parent = nullptr);

    // The size a picture of the plot gets: the view's, or 800 × 600 before it is shown.
    QSize PictureSize() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TSurfacePlot& m_plot;
};

class Tfm3dMath : public QDialog
{
    Q_OBJECT
public:
    explicit Tfm3dMath(TResultChartData data, QWidget* parent = nullptr);

    TSurfacePlot& Plot() { return m_plot; }
    TSurfaceView* View() const { return m_view; }
    // The side panel's buttons by caption ("up", "in", "Save To File...", …).
    QPushButton* Button(const QString& caption) const;
    QCheckBox* FillBox() const { return m_fill; }
    QCheckBox* AspectBox() const { return m_aspect; }

    // "Clipboard" and "Save To File...".
    void CopyToClipboard();
    void SaveToFile();

    // For tests: the name the save dialog would return (empty: ask), and
    // where messages go instead of a message box.
    QString AutoFileName;
    std::function<void(const QString&)> MessageHook;

private:
    QPushButton* viewButton(const QString& caption, const std::function<void()>& step);

    TSurfacePlot m_plot;
    TSurfaceView* m_view = nullptr;
    QCheckBox* m_fill = nullptr;
    QCheckBox* m_aspect = nullptr;
};
