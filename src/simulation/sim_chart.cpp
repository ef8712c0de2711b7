#include "simulation/sim_chart.h"

#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

TSimChart::TSimChart(const QString& graph, QWidget* parent) : QWidget(parent), m_graph(graph)
{
    m_chart = new QChart;
    m_chart->setTitle(graph);
    m_chart->legend()->hide();
    m_chart->setBackgroundRoundness(0);
    m_chart->setDropShadowEnabled(false);
    m_x = new QValueAxis;
    m_y = new QValueAxis;
    for (QValueAxis* axis : {m_x, m_y}) {
        QPen line = axis->linePen();
        line.setWidth(1);
        axis->setLinePen(line);
        axis->setLabelFormat(QStringLiteral("%g"));
    }
    m_x->setTitleText(QStringLiteral("Model time"));
    m_chart->addAxis(m_x, Qt::AlignBottom);
    m_chart->addAxis(m_y, Qt::AlignLeft);
    newSeries();
    fitAxes();

    m_view = new QChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("ChartView"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setFrameShape(QFrame::NoFrame);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("pnChartButtons"));
    bar->setFixedHeight(21);
    auto addButton = [bar](const QString& caption, const char* name, int x, int width) {
        auto* b = new QPushButton(caption, bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 1, width, 19);
        return b;
    };
    connect(addButton(QStringLiteral("Save to file"), "btSave", 1, 100), &QPushButton::clicked, this,
            &TSimChart::SaveRequested);
    connect(addButton(QStringLiteral("Copy to clipboard"), "btCopy", 105, 100), &QPushButton::clicked, this,
            &TSimChart::CopyRequested);
    connect(addButton(QStringLiteral("Close Graph"), "btCloseGraph", 230, 70), &QPushButton::clicked, this,
            &TSimChart::CloseRequested);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view, 1);
    layout->addWidget(bar);
}

void TSimChart::newSeries()
{
    m_series = new QLineSeries;
    m_series->setPen(QPen(QColor(0, 0, 192), 2));
    m_chart->addSeries(m_series);
    m_series->attachAxis(m_x);
    m_series->attachAxis(m_y);
}

int TSimChart::SeriesCount() const
{
    return static_cast<int>(m_chart->series().size());
}

void TSimChart::AddPoint(double time, double value)
{
    if (m_points > 0 && time < m_lastTime)
        newSeries();
    if (m_series->count() == 0) {
        m_series->append(time, value);
    } else {
        m_series->append(m_lastTime, value);
        m_series->append(time, value);
    }
    if (m_points == 0) {
        m_minTime = m_maxTime = time;
        m_minValue = m_maxValue = value;
    } else {
        m_minTime = std::min(m_minTime, time);
        m_maxTime = std::max(m_maxTime, time);
        m_minValue = std::min(m_minValue, value);
        m_maxValue = std::max(m_maxValue, value);
    }
    m_lastTime = time;
    ++m_points;
    fitAxes();
}

void TSimChart::ClearPoints()
{
    m_chart->removeAllSeries();
    newSeries();
    m_points = 0;
    m_lastTime = 0;
    fitAxes();
}

void TSimChart::fitAxes()
{
    if (m_points == 0) {
        m_x->setRange(0, 1);
        m_y->setRange(0, 1);
        return;
    }
    const double timeSpan = m_maxTime > m_minTime ? m_maxTime - m_minTime : 1.0;
    m_x->setRange(m_minTime, m_minTime + timeSpan);
    // The values use the middle of the height, from 4 % to 96 %.
    double low = m_minValue, high = m_maxValue;
    if (high == low) {
        low -= 1;
        high += 1;
    }
    const double pad = (high - low) * 4 / 92;
    m_y->setRange(low - pad, high + pad);
}
