#include "charts/chart_pictures.h"

#include <QBuffer>
#include <QChart>
#include <QClipboard>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QLegend>
#include <QMimeData>
#include <QPainter>
#include <QSvgGenerator>

#include <functional>

#include "model/safe_save.h"

namespace {

// White backgrounds while it lives, the chart's own afterwards.
class TWhiteBackground
{
public:
    explicit TWhiteBackground(QChart& chart)
        : m_chart(chart), m_brush(chart.backgroundBrush()), m_visible(chart.isBackgroundVisible()),
          m_plotBrush(chart.plotAreaBackgroundBrush()), m_plotVisible(chart.isPlotAreaBackgroundVisible()),
          m_legendBrush(chart.legend()->brush()), m_legendVisible(chart.legend()->isBackgroundVisible())
    {
        chart.setBackgroundBrush(Qt::white);
        chart.setBackgroundVisible(true);
        chart.setPlotAreaBackgroundBrush(Qt::white);
        chart.setPlotAreaBackgroundVisible(true);
        chart.legend()->setBrush(Qt::white);
        chart.legend()->setBackgroundVisible(true);
    }
    ~TWhiteBackground()
    {
        m_chart.setBackgroundBrush(m_brush);
        m_chart.setBackgroundVisible(m_visible);
        m_chart.setPlotAreaBackgroundBrush(m_plotBrush);
        m_chart.setPlotAreaBackgroundVisible(m_plotVisible);
        m_chart.legend()->setBrush(m_legendBrush);
        m_chart.legend()->setBackgroundVisible(m_legendVisible);
    }

private:
    QChart& m_chart;
    QBrush m_brush;
    bool m_visible;
    QBrush m_plotBrush;
    bool m_plotVisible;
    QBrush m_legendBrush;
    bool m_legendVisible;
};

// Draws the chart with `paint` given a painter on a device of the chart's size.
void render(QChart& chart,
            const std::function<void(const QSize&, const std::function<void(QPainter&)>&)>& device)
{
    if (chart.size().isEmpty())
        chart.resize(640, 400);
    // A chart outside any view is drawn through a scene of its own.
    QGraphicsScene scratch;
    const bool borrowed = chart.scene() == nullptr;
    if (borrowed)
        scratch.addItem(&chart);
    {
        TWhiteBackground white(chart);
        const QRectF source = chart.sceneBoundingRect();
        const QSize size = source.size().toSize().expandedTo(QSize(1, 1));
        device(size, [&](QPainter& painter) {
            painter.setRenderHint(QPainter::Antialiasing);
            chart.scene()->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), source);
        });
    }
    if (borrowed)
        scratch.removeItem(&chart);
}

} // namespace

QImage ChartImage(QChart& chart)
{
    QImage image;
    render(chart, [&](const QSize& size, const std::function<void(QPainter&)>& paint) {
        image = QImage(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        paint(painter);
    });
    return image;
}

QByteArray ChartSvg(QChart& chart)
{
    QByteArray bytes;
    render(chart, [&](const QSize& size, const std::function<void(QPainter&)>& paint) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(96);
        svg.setTitle(chart.title());
        svg.setDescription(QStringLiteral("Drawn by Quorvane"));
        QPainter painter(&svg);
        paint(painter);
    });
    return bytes;
}

QString SaveChartPicture(QChart& chart, const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    QByteArray bytes;
    if (suffix == QLatin1String("svg")) {
        bytes = ChartSvg(chart);
    } else if (suffix == QLatin1String("png") || suffix == QLatin1String("bmp")) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!ChartImage(chart).save(&buffer, suffix == QLatin1String("png") ? "PNG" : "BMP"))
            return QStringLiteral("Cannot make the picture for %1.").arg(fileName);
    } else {
        return QStringLiteral("Cannot write %1: the picture formats are .png, .bmp and .svg.").arg(fileName);
    }
    return SaveBytesSafely(fileName, bytes);
}

void CopyChartToClipboard(QChart& chart)
{
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/svg+xml"), ChartSvg(chart));
    data->setImageData(ChartImage(chart));
    QGuiApplication::clipboard()->setMimeData(data);
}

QString ChartPictureFilter()
{
    return QStringLiteral("PNG image (*.png);;Bitmap image (*.bmp);;SVG picture (*.svg)");
}
