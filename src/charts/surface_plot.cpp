#include "charts/surface_plot.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>

#include "charts/chart_look.h"
#include "charts/chart_scale.h"
#include "editor/picture_file.h"

namespace {

// Colours of the classes as (red, green, blue).
constexpr int kClassColours[SurfaceClassCount][3] = {
    {116, 159, 203}, {73, 173, 216},  {134, 201, 230}, {193, 227, 242}, {196, 240, 218}, {137, 224, 166},
    {96, 213, 134},  {181, 207, 101}, {252, 197, 141}, {253, 213, 117}, {237, 225, 120}, {244, 237, 172},
};

constexpr double kPi = 3.14159265358979323846;

void lower(double& bound, double v)
{
    if (v < bound)
        bound = v;
}

void raise(double& bound, double v)
{
    if (v >= bound)
        bound = v;
}

struct TVec
{
    double X, Y, Z;
};

// One axis as drawn: the box's range, widened when it is empty.
struct TAxisRange
{
    double Lo, Hi;
    double Step; // of the ticks
};

TAxisRange shownRange(double lo, double hi)
{
    if (!(lo <= hi)) // a box of no points
        lo = hi = 0;
    const TAxisScale nice = NiceScale(lo, hi, 8);
    if (hi - lo <= std::max(std::fabs(lo), std::fabs(hi)) * 1e-12)
        return {nice.Min, nice.Max, nice.Step};
    return {lo, hi, nice.Step};
}

} // namespace

TSurfaceBox SurfaceBounds(const TResultChartData& data)
{
    TSurfaceBox box;
    for (int i = 0; i < data.Arg1Count(); ++i) {
        for (int j = 0; j < data.Arg2Count(); ++j) {
            const double x = data.Arg1Values[i], y = data.Arg2Values[j], z = data.Value(i, j);
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
                continue;
            lower(box.XMin, x);
            raise(box.XMax, x);
            lower(box.YMin, y);
            raise(box.YMax, y);
            lower(box.ZMin, z);
            raise(box.ZMax, z);
        }
    }
    return box;
}

QColor SurfaceClassColour(int colourClass)
{
    const int c = std::clamp(colourClass, 0, SurfaceClassCount - 1);
    return QColor(kClassColours[c][0], kClassColours[c][1], kClassColours[c][2]);
}

int SurfaceColourClass(double z, double zmin, double zmax)
{
    if (!(std::fabs(zmax - zmin) >= 1e-10) || !std::isfinite(z))
        return 0;
    const double c = std::floor((z - zmin) * SurfaceClassCount / (zmax - zmin));
    if (!(c >= 0))
        return 0;
    return c > SurfaceClassCount - 1 ? SurfaceClassCount - 1 : static_cast<int>(c);
}

TSurfacePlot::TSurfacePlot(TResultChartData data) : m_data(std::move(data)), m_box(SurfaceBounds(m_data))
{
    m_classes.reserve(static_cast<size_t>(m_data.Arg1Count()) * m_data.Arg2Count());
    for (int i = 0; i < m_data.Arg1Count(); ++i)
        for (int j = 0; j < m_data.Arg2Count(); ++j)
            m_classes.push_back(SurfaceColourClass(m_data.Value(i, j), m_box.ZMin, m_box.ZMax));
}

int TSurfacePlot::ColourClass(int i, int j) const
{
    if (i < 0 || j < 0 || i >= m_data.Arg1Count() || j >= m_data.Arg2Count())
        return 0;
    return m_classes[static_cast<size_t>(i) * m_data.Arg2Count() + j];
}

void TSurfacePlot::setRotY(double value)
{
    RotY = std::clamp(value, -90.0, 90.0);
}

void TSurfacePlot::ZoomIn(int steps)
{
    Zoom = std::clamp(Zoom + steps * ZoomStep, 0.1, 20.0);
}

int TSurfacePlot::CellCount() const
{
    return std::max(0, m_data.Arg1Count() - 1) * std::max(0, m_data.Arg2Count() - 1);
}

namespace {

// The projection of the plot into an area: world coordinates to the unit
// box [-1, 1]³ (or, with the true aspect ratio, the box scaled alike on every
// axis), turned about z and then y, seen along the turned x axis.
struct TView
{
    std::array<TAxisRange, 3> Axes;
    std::array<double, 3> Centre, Half;
    double CosZ, SinZ, CosY, SinY;
    QPointF Origin;
    double Scale;

    TView(const TSurfacePlot& plot, const QRectF& area)
    {
        const TSurfaceBox& b = plot.Box();
        Axes = {shownRange(b.XMin, b.XMax), shownRange(b.YMin, b.YMax), shownRange(b.ZMin, b.ZMax)};
        double largest = 0;
        for (int a = 0; a < 3; ++a) {
            Centre[a] = (Axes[a].Lo + Axes[a].Hi) / 2;
            Half[a] = (Axes[a].Hi - Axes[a].Lo) / 2;
            largest = std::max(largest, Half[a]);
        }
        if (plot.TrueAspectRatio)
            Half.fill(largest);
        const double z = plot.RotZ * kPi / 180, y = plot.RotY * kPi / 180;
        CosZ = std::cos(z);
        SinZ = std::sin(z);
        CosY = std::cos(y);
        SinY = std::sin(y);
        Origin = area.center();
        const double room = std::max(10.0, std::min(area.width(), area.height()) / 2 - 48);
        Scale = plot.Zoom * room / std::sqrt(3.0);
    }

    TVec Unit(double x, double y, double z) const
    {
        return {(x - Centre[0]) / Half[0], (y - Centre[1]) / Half[1], (z - Centre[2]) / Half[2]};
    }
    // Turned: X is the depth (larger is nearer), Y to the right, Z up.
    TVec Turn(const TVec& p) const
    {
        const double x1 = p.X * CosZ - p.Y * SinZ, y1 = p.X * SinZ + p.Y * CosZ;
        return {x1 * CosY + p.Z * SinY, y1, -x1 * SinY + p.Z * CosY};
    }
    QPointF Screen(const TVec& turned) const { return Origin + QPointF(turned.Y * Scale, -turned.Z * Scale); }
    QPointF Point(double x, double y, double z) const { return Screen(Turn(Unit(x, y, z))); }
    double Depth(double x, double y, double z) const { return Turn(Unit(x, y, z)).X; }
    // The direction to the viewer in unit-box coordinates.
    TVec Viewer() const { return {CosZ * CosY, -SinZ * CosY, SinY}; }
    double Lo(int a) const { return Axes[a].Lo; }
    double Hi(int a) const { return Axes[a].Hi; }
};

// A point of the box given per axis.
QPointF at(const TView& v, const std::array<double, 3>& p)
{
    return v.Point(p[0], p[1], p[2]);
}

} // namespace

void TSurfacePlot::Render(QPainter& painter, const QRectF& area) const
{
    painter.save();
    const TChartLook look = BeginChartPicture(painter, area);
    const QFont& titleFont = look.Title;
    const QFont& labelFont = look.Label;
    painter.setFont(titleFont);
    painter.setPen(look.Text);
    const double titleHeight = QFontMetricsF(titleFont).height() + 8;
    painter.drawText(QRectF(area.left(), area.top() + 4, area.width(), titleHeight), Qt::AlignHCenter,
                     m_data.Title);
    const QRectF plotArea = area.adjusted(0, titleHeight, 0, 0);
    const TView view(*this, plotArea);
    const TVec eye = view.Viewer();
    const double eyeAxis[3] = {eye.X, eye.Y, eye.Z};
    // On each axis, the side of the box away from the viewer holds a wall.
    std::array<double, 3> back, front;
    for (int a = 0; a < 3; ++a) {
        back[a] = eyeAxis[a] < 0 ? view.Hi(a) : view.Lo(a);
        front[a] = eyeAxis[a] < 0 ? view.Lo(a) : view.Hi(a);
    }

    // The walls: their edges and the grid of their ticks, drawn as lines
    // only, so that the cells are the only filled shapes of the picture.
    const QColor wallEdge(0xa0, 0xa0, 0xa8), gridColour(0xdc, 0xdc, 0xe0);
    painter.setBrush(Qt::NoBrush);
    for (int a = 0; a < 3; ++a) {
        const int u = (a + 1) % 3, w = (a + 2) % 3;
        auto corner = [&](double cu, double cw) {
            std::array<double, 3> p;
            p[a] = back[a];
            p[u] = cu;
            p[w] = cw;
            return at(view, p);
        };
        painter.setPen(QPen(gridColour, 0.8));
        for (double t : TicksWithin(view.Lo(u), view.Hi(u), view.Axes[u].Step))
            painter.drawLine(corner(t, view.Lo(w)), corner(t, view.Hi(w)));
        for (double t : TicksWithin(view.Lo(w), view.Hi(w), view.Axes[w].Step))
            painter.drawLine(corner(view.Lo(u), t), corner(view.Hi(u), t));
        const QPointF edge[5] = {corner(view.Lo(u), view.Lo(w)), corner(view.Hi(u), view.Lo(w)),
                                 corner(view.Hi(u), view.Hi(w)), corner(view.Lo(u), view.Hi(w)),
                                 corner(view.Lo(u), view.Lo(w))};
        painter.setPen(QPen(wallEdge, 1));
        painter.drawPolyline(edge, 5);
    }

    // The surface, the farthest cells first.
    const int n1 = m_data.Arg1Count(), n2 = m_data.Arg2Count();
    auto finite = [&](int i, int j) {
        return std::isfinite(m_data.Arg1Values[i]) && std::isfinite(m_data.Arg2Values[j]) &&
               std::isfinite(m_data.Value(i, j));
    };
    auto point = [&](int i, int j) {
        return view.Point(m_data.Arg1Values[i], m_data.Arg2Values[j], m_data.Value(i, j));
    };
    auto depth = [&](int i, int j) {
        return view.Depth(m_data.Arg1Values[i], m_data.Arg2Values[j], m_data.Value(i, j));
    };
    struct TCell
    {
        double Depth;
        int I, J;
    };
    std::vector<TCell> cells;
    if (n1 >= 2 && n2 >= 2) {
        cells.reserve(static_cast<size_t>(CellCount()));
        for (int i = 0; i + 1 < n1; ++i)
            for (int j = 0; j + 1 < n2; ++j)
                if (finite(i, j) && finite(i + 1, j) && finite(i + 1, j + 1) && finite(i, j + 1))
                    cells.push_back(
                        {(depth(i, j) + depth(i + 1, j) + depth(i + 1, j + 1) + depth(i, j + 1)) / 4, i, j});
        std::stable_sort(cells.begin(), cells.end(),
                         [](const TCell& a, const TCell& b) { return a.Depth < b.Depth; });
        for (const TCell& c : cells) {
            const double mean = (m_data.Value(c.I, c.J) + m_data.Value(c.I + 1, c.J) +
                                 m_data.Value(c.I + 1, c.J + 1) + m_data.Value(c.I, c.J + 1)) /
                                4;
            const QColor colour = SurfaceClassColour(SurfaceColourClass(mean, m_box.ZMin, m_box.ZMax));
            const QPointF quad[4] = {point(c.I, c.J), point(c.I + 1, c.J), point(c.I + 1, c.J + 1),
                                     point(c.I, c.J + 1)};
            if (Fill) {
                painter.setPen(QPen(colour.darker(150), 0.6));
                painter.setBrush(colour);
            } else {
                painter.setPen(QPen(colour.darker(130), 1.2));
                painter.setBrush(Qt::NoBrush);
            }
            painter.drawPolygon(quad, 4);
        }
    } else {
        // One argument only: the values as a line over it.
        const bool alongX = n2 == 1;
        const int count = alongX ? n1 : n2;
        for (int k = 0; k + 1 < count; ++k) {
            const int i0 = alongX ? k : 0, j0 = alongX ? 0 : k, i1 = alongX ? k + 1 : 0,
                      j1 = alongX ? 0 : k + 1;
            if (!finite(i0, j0) || !finite(i1, j1))
                continue;
            const double mean = (m_data.Value(i0, j0) + m_data.Value(i1, j1)) / 2;
            painter.setPen(
                QPen(SurfaceClassColour(SurfaceColourClass(mean, m_box.ZMin, m_box.ZMax)).darker(130), 2.5,
                     Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(point(i0, j0), point(i1, j1));
        }
    }

    // Ticks and labels: x and y along the floor's front edges, z along the
    // upright edge farthest to the left.
    painter.setFont(labelFont);
    const QFontMetricsF metrics(labelFont);
    const QPointF centre = view.Point(view.Centre[0], view.Centre[1], view.Centre[2]);
    auto outward = [&](const QPointF& from, const QPointF& through) {
        QPointF d = through - from;
        const double length = std::hypot(d.x(), d.y());
        return length > 1e-9 ? d / length : QPointF(0, 1);
    };
    auto drawLabel = [&](const QPointF& anchor, const QPointF& direction, const QString& text) {
        const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
        const QPointF c =
            anchor + QPointF(direction.x() * (size.width() / 2 + 2), direction.y() * (size.height() / 2 + 2));
        painter.drawText(QRectF(c - QPointF(size.width() / 2, size.height() / 2), size), Qt::AlignCenter,
                         text);
    };
    const QPen tickPen(QColor(0x60, 0x60, 0x68), 1);
    auto axisLabels = [&](int a, std::array<double, 3> edge, const QString& title) {
        std::array<double, 3> mid = edge;
        mid[a] = view.Centre[a];
        const QPointF out = outward(centre, at(view, mid));
        double reach = 0;
        for (double t : TicksWithin(view.Lo(a), view.Hi(a), view.Axes[a].Step)) {
            std::array<double, 3> p = edge;
            p[a] = t;
            const QPointF q = at(view, p);
            painter.setPen(tickPen);
            painter.drawLine(q, q + out * 5);
            painter.setPen(look.Text);
            const QString text = TickLabel(t);
            drawLabel(q + out * 7, out, text);
            reach = std::max(reach, std::fabs(out.x()) * metrics.horizontalAdvance(text) +
                                        std::fabs(out.y()) * metrics.height());
        }
        if (!title.isEmpty()) {
            painter.setPen(look.Text);
            drawLabel(at(view, mid) + out * (reach + 12), out, title);
        }
    };
    const double floorZ = back[2];
    axisLabels(0, {0, front[1], floorZ}, m_data.Arg1Text);
    axisLabels(1, {front[0], 0, floorZ}, m_data.Arg2Text);
    // The upright edge farthest to the left on screen.
    std::array<double, 3> upright = {view.Lo(0), view.Lo(1), 0};
    double left = 1e300;
    for (double x : {view.Lo(0), view.Hi(0)}) {
        for (double y : {view.Lo(1), view.Hi(1)}) {
            const double u = view.Point(x, y, view.Centre[2]).x();
            if (u < left - 1e-9) {
                left = u;
                upright = {x, y, 0};
            }
        }
    }
    axisLabels(2, upright, QString());
    painter.restore();
}

QImage TSurfacePlot::Image(const QSize& size) const
{
    return PictureImage(size, [&](QPainter& p) { Render(p, QRectF(QPointF(0, 0), QSizeF(size))); });
}

QByteArray TSurfacePlot::Svg(const QSize& size) const
{
    return PictureSvg(size, m_data.Title,
                      [&](QPainter& p) { Render(p, QRectF(QPointF(0, 0), QSizeF(size))); });
}

QString TSurfacePlot::Save(const QString& fileName, const QSize& size) const
{
    return SavePicture(fileName, size, m_data.Title,
                       [&](QPainter& p) { Render(p, QRectF(QPointF(0, 0), QSizeF(size))); });
}
