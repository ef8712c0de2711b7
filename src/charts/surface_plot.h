// The 3-D surface of one entry's values over both sweep arguments: grid point
// (i, j) at (X[i], Y[j], Z[i][j]) coloured by the class of its height, inside
// a box with walls, ticks and labels, seen along a viewpoint turned about the
// y and z axes. Drawn with QPainter as projected quadrilaterals, back to
// front, so it looks the same on screen, in an image and in an SVG (where
// each cell is one path and everything else lines and text).
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

#include <vector>

#include "charts/result_chart_data.h"

class QPainter;

// Minima start at 2147483647 and maxima at 0; a point lowers a minimum when
// it is smaller and raises a maximum when it is greater or equal. So the box
// always reaches up to 0 at least.
struct TSurfaceBox
{
    double XMin = 2147483647.0, XMax = 0;
    double YMin = 2147483647.0, YMax = 0;
    double ZMin = 2147483647.0, ZMax = 0;
};
TSurfaceBox SurfaceBounds(const TResultChartData& data);

// The twelve colour classes, from the lowest values to the highest.
constexpr int SurfaceClassCount = 12;
QColor SurfaceClassColour(int colourClass);
// The class of a height: the integer part of (z − zmin) × 12 / (zmax − zmin),
// limited to 0 … 11; 0 when the range is below 1e-10 or z is not a number.
int SurfaceColourClass(double z, double zmin, double zmax);

class TSurfacePlot
{
public:
    explicit TSurfacePlot(TResultChartData data);

    const TResultChartData& Data() const { return m_data; }
    const TSurfaceBox& Box() const { return m_box; }
    int ColourClass(int i, int j) const;

    // The viewpoint: degrees about the y axis (its height above the floor)
    // and about the z axis; the zoom of the lens.
    double RotY = 45;
    double RotZ = 45;
    double Zoom = 1;
    bool Fill = true;
    bool TrueAspectRatio = false;

    static constexpr double TurnStep = 0.5;
    static constexpr double ZoomStep = 0.03;
    // One step of the view buttons ("up", "down", "left", "right", "in", "out").
    void TurnUp(int steps) { setRotY(RotY + steps * TurnStep); }
    void TurnLeft(int steps) { RotZ += steps * TurnStep; }
    void ZoomIn(int steps);

    // Draws the plot into `area` (filled white first).
    void Render(QPainter& painter, const QRectF& area) const;
    QImage Image(const QSize& size) const;
    QByteArray Svg(const QSize& size) const;
    // By the extension: .svg, .png or .bmp. Empty on success, else the message.
    QString Save(const QString& fileName, const QSize& size) const;

    // The number of grid cells (quadrilaterals) the surface is drawn with.
    int CellCount() const;

private:
    void setRotY(double value);

    TResultChartData m_data;
    TSurfaceBox m_box;
    std::vector<int> m_classes; // per grid point, i × Arg2Count + j
};
