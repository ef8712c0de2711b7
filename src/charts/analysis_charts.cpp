#include "charts/analysis_charts.h"

#include <QGroupBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "charts/result_preview.h"
#include "charts/surface_window.h"
#include "performance/analysis_parts.h"
#include "performance/calc_engine.h"

TAnalysisCharts::TAnalysisCharts(TCalcEngine& engine, TValuesListBox& values, QGroupBox& previewGroup,
                                 std::function<QString()> arg1Text, std::function<QString()> arg2Text)
    : QObject(&previewGroup), m_engine(engine), m_values(values), m_arg1Text(std::move(arg1Text)),
      m_arg2Text(std::move(arg2Text))
{
    m_preview = new TResultPreview(&previewGroup);
    m_preview->setObjectName(QStringLiteral("chPreview"));
    auto* layout = qobject_cast<QVBoxLayout*>(previewGroup.layout());
    if (!layout)
        layout = new QVBoxLayout(&previewGroup);
    layout->addWidget(m_preview);

    connect(&values, &TValuesListBox::EntrySelected, this, [this] { DrawSelected(); });
    // A click on the row already selected draws it too (after a calculation
    // the selection has not changed).
    connect(values.List(), &QTreeWidget::itemClicked, this, [this] { DrawSelected(); });
    connect(values.ThreeDButton(), &QPushButton::clicked, this, &TAnalysisCharts::OpenSurface);
}

TResultChartData TAnalysisCharts::selectedData() const
{
    return ResultChartDataOf(m_engine, m_values.SelectedItem(), m_arg1Text(), m_arg2Text());
}

bool TAnalysisCharts::DrawSelected()
{
    if (m_values.SelectedItem() < 0)
        return false;
    return m_preview->RowSelected(m_engine.ResultsValid, [this] { return selectedData(); });
}

void TAnalysisCharts::OpenSurface()
{
    if (!m_engine.ResultsValid || m_values.SelectedItem() < 0)
        return;
    Tfm3dMath form(selectedData(), m_values.window());
    if (SurfaceHook)
        SurfaceHook(form);
    else
        form.exec();
}
