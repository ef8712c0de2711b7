#include "charts/big_chart_window.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLegend>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "charts/chart_pictures.h"
#include "charts/result_preview.h"

namespace {

// Moves every series of `from` into `to`, in order.
void moveSeries(QChart& from, QChart& to)
{
    const QList<QAbstractSeries*> series = from.series();
    for (QAbstractSeries* s : series) {
        from.removeSeries(s);
        to.addSeries(s);
    }
}

} // namespace

TChartForm::TChartForm(QChart& preview, QWidget* parent) : QDialog(parent), m_preview(preview)
{
    setWindowTitle(QStringLiteral("Big chart"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);

    m_chart = new QChart;
    m_chart->setTitle(preview.title());
    const QString bottomTitle = BottomAxisTitle(preview);
    // The series keep their own pens (the chart's theme paints only series
    // that have none), drawn 2 wide here and after they went back.
    moveSeries(preview, *m_chart);
    for (QAbstractSeries* s : m_chart->series()) {
        if (auto* xy = qobject_cast<QXYSeries*>(s)) {
            QPen pen = xy->pen();
            pen.setWidthF(2);
            xy->setPen(pen);
        }
    }
    FitChartAxes(*m_chart, bottomTitle);
    FitChartAxes(preview, bottomTitle);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->legend()->setVisible(m_chart->series().size() >= 2);
    const QColor face = palette().color(QPalette::Button);
    m_chart->setBackgroundBrush(face);
    m_chart->legend()->setBrush(face);

    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);

    auto* close = new QPushButton(QStringLiteral("Close"));
    auto* copy = new QPushButton(QStringLiteral("Copy to Clipboard"));
    auto* save = new QPushButton(QStringLiteral("Save to file"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(copy, &QPushButton::clicked, this, &TChartForm::CopyToClipboard);
    connect(save, &QPushButton::clicked, this, &TChartForm::SaveToFile);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    resize(900, 600);
}

TChartForm::~TChartForm()
{
    giveBack();
}

void TChartForm::done(int result)
{
    giveBack();
    QDialog::done(result);
}

void TChartForm::giveBack()
{
    if (m_givenBack)
        return;
    m_givenBack = true;
    const QString bottomTitle = BottomAxisTitle(*m_chart);
    moveSeries(*m_chart, m_preview);
    FitChartAxes(m_preview, bottomTitle);
}

void TChartForm::CopyToClipboard()
{
    CopyChartToClipboard(*m_chart);
}

void TChartForm::SaveToFile()
{
    QString name = AutoFileName;
    AutoFileName.clear();
    if (name.isEmpty())
        name = AskPictureFileName(this, ChartPictureFilter());
    if (name.isEmpty())
        return;
    const QString failure = SaveChartPicture(*m_chart, name);
    if (failure.isEmpty())
        return;
    if (MessageHook)
        MessageHook(failure);
    else
        QMessageBox::critical(this, QStringLiteral("Save picture"), failure);
}
