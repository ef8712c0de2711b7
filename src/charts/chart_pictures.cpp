#include "charts/chart_pictures.h"

#include <QChart>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QLegend>
#include <QPainter>
#include <QRegularExpression>

#include <functional>

#include "editor/picture_file.h"

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

// Hands `use` the chart's size and a drawer of the chart at that size.
void render(QChart& chart, const std::function<void(const QSize&, const TPictureDrawer&)>& use)
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
        use(size, [&](QPainter& painter) {
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
    render(chart, [&](const QSize& size, const TPictureDrawer& draw) { image = PictureImage(size, draw); });
    return image;
}

QByteArray ChartSvg(QChart& chart)
{
    QByteArray bytes;
    render(chart, [&](const QSize& size, const TPictureDrawer& draw) {
        bytes = PictureSvg(size, chart.title(), draw);
    });
    return bytes;
}

QString SaveChartPicture(QChart& chart, const QString& fileName)
{
    QString failure;
    render(chart, [&](const QSize& size, const TPictureDrawer& draw) {
        failure = SavePicture(fileName, size, chart.title(), draw);
    });
    return failure;
}

void CopyChartToClipboard(QChart& chart)
{
    render(chart, [&](const QSize& size, const TPictureDrawer& draw) {
        CopyPictureToClipboard(size, chart.title(), draw);
    });
}

QString ChartPictureFilter()
{
    return QStringLiteral("PNG image (*.png);;Bitmap image (*.bmp);;SVG picture (*.svg)");
}

QString AskPictureFileName(QWidget* parent, const QString& filters)
{
    QString chosen;
    QString name =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Save picture"), QString(), filters, &chosen);
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    static const QRegularExpression pattern(QStringLiteral("\\*(\\.\\w+)\\)"));
    const QRegularExpressionMatch match = pattern.match(chosen);
    return match.hasMatch() ? name + match.captured(1) : name;
}
