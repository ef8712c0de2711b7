#include "charts/surface_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "charts/chart_pictures.h"
#include "editor/picture_file.h"

namespace {

const char* const kSvgFilter = "SVG picture, in place of an enhanced metafile (*.svg)";
const char* const kPngFilter = "PNG image (*.png)";
const char* const kBmpFilter = "Bitmap image (*.bmp)";

} // namespace

TSurfaceView::TSurfaceView(TSurfacePlot& plot, QWidget* parent) : QWidget(parent), m_plot(plot)
{
    setMinimumSize(300, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize TSurfaceView::PictureSize() const
{
    return testAttribute(Qt::WA_WState_Created) && isVisible() ? size() : QSize(800, 600);
}

void TSurfaceView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_plot.Render(painter, QRectF(rect()));
}

Tfm3dMath::Tfm3dMath(TResultChartData data, QWidget* parent) : QDialog(parent), m_plot(std::move(data))
{
    setWindowTitle(m_plot.Data().KindText);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    m_view = new TSurfaceView(m_plot, this);

    auto* rotate = new QGroupBox(QStringLiteral("Rotate Viewpoint"));
    auto* rotateGrid = new QGridLayout(rotate);
    rotateGrid->addWidget(viewButton(QStringLiteral("up"), [this] { m_plot.TurnUp(1); }), 0, 1);
    rotateGrid->addWidget(viewButton(QStringLiteral("left"), [this] { m_plot.TurnLeft(1); }), 1, 0);
    rotateGrid->addWidget(viewButton(QStringLiteral("right"), [this] { m_plot.TurnLeft(-1); }), 1, 2);
    rotateGrid->addWidget(viewButton(QStringLiteral("down"), [this] { m_plot.TurnUp(-1); }), 2, 1);
    auto* zoom = new QGroupBox(QStringLiteral("Zoom Viewlens"));
    auto* zoomRow = new QHBoxLayout(zoom);
    zoomRow->addWidget(viewButton(QStringLiteral("in"), [this] { m_plot.ZoomIn(1); }));
    zoomRow->addWidget(viewButton(QStringLiteral("out"), [this] { m_plot.ZoomIn(-1); }));

    m_fill = new QCheckBox(QStringLiteral("Fill"));
    m_fill->setChecked(m_plot.Fill);
    connect(m_fill, &QCheckBox::toggled, this, [this](bool on) {
        m_plot.Fill = on;
        m_view->update();
    });
    m_aspect = new QCheckBox(QStringLiteral("TrueAspectRatio"));
    m_aspect->setChecked(m_plot.TrueAspectRatio);
    connect(m_aspect, &QCheckBox::toggled, this, [this](bool on) {
        m_plot.TrueAspectRatio = on;
        m_view->update();
    });

    auto* close = new QPushButton(QStringLiteral("Close"));
    auto* clipboard = new QPushButton(QStringLiteral("Clipboard"));
    auto* save = new QPushButton(QStringLiteral("Save To File..."));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(clipboard, &QPushButton::clicked, this, &Tfm3dMath::CopyToClipboard);
    connect(save, &QPushButton::clicked, this, &Tfm3dMath::SaveToFile);

    auto* side = new QWidget;
    side->setMaximumWidth(220);
    auto* panel = new QVBoxLayout(side);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->addWidget(rotate);
    panel->addWidget(zoom);
    panel->addWidget(m_fill);
    panel->addWidget(m_aspect);
    panel->addStretch();
    panel->addWidget(clipboard);
    panel->addWidget(save);
    panel->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(side);

    // Centred on the screen, as large as fits up to 1000 × 700.
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize size = QSize(1000, 700).boundedTo(screen.size() * 0.9);
    resize(size);
    move(screen.center() - QPoint(size.width() / 2, size.height() / 2));
}

QPushButton* Tfm3dMath::viewButton(const QString& caption, const std::function<void()>& step)
{
    auto* button = new QPushButton(caption);
    // A click turns one step; held down, the button repeats.
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(200);
    button->setAutoRepeatInterval(30);
    connect(button, &QPushButton::clicked, this, [this, step] {
        step();
        m_view->update();
    });
    return button;
}

QPushButton* Tfm3dMath::Button(const QString& caption) const
{
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

void Tfm3dMath::CopyToClipboard()
{
    const QSize size = m_view->PictureSize();
    CopyPictureToClipboard(size, m_plot.Data().Title,
                           [&](QPainter& p) { m_plot.Render(p, QRectF(QPointF(0, 0), QSizeF(size))); });
}

void Tfm3dMath::SaveToFile()
{
    QString name = AutoFileName;
    AutoFileName.clear();
    if (name.isEmpty()) {
        name = AskPictureFileName(
            this,
            QStringList{QLatin1String(kSvgFilter), QLatin1String(kPngFilter), QLatin1String(kBmpFilter)}.join(
                QStringLiteral(";;")));
        if (name.isEmpty())
            return;
    }
    const QString failure = m_plot.Save(name, m_view->PictureSize());
    if (failure.isEmpty())
        return;
    if (MessageHook)
        MessageHook(failure);
    else
        QMessageBox::critical(this, QStringLiteral("Save picture"), failure);
}
