#include "performance/analysis_dialog.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/help_window.h"
#include "charts/analysis_charts.h"
#include "performance/analysis_parts.h"
#include "performance/calc_engine.h"
#include "performance/perf_listing.h"
#include "reach/current_graph.h"

namespace {

const char* const kToGoIdle = "Iterations to go :  N/A";

} // namespace

TAnalysisDialog::TAnalysisDialog(TQRVDesigner& designer, const QString& graphFile,
                                 std::unique_ptr<TCalcEngine> engine, const QString& caption,
                                 const QString& idleStatus, int helpContext, QWidget* parent)
    : QDialog(parent), m_designer(designer),
      m_graphFile(graphFile.isEmpty() ? CurrentGraphFile() : graphFile), m_engine(std::move(engine)),
      m_caption(caption), m_helpContext(helpContext)
{
    setWindowTitle(caption);
    m_status = new QLabel(idleStatus, this);
    m_status->setObjectName(QStringLiteral("lbStatus"));
    m_toGo = new QLabel(QString::fromLatin1(kToGoIdle), this);
    m_toGo->setObjectName(QStringLiteral("lbToGo"));
    m_gauge = new QProgressBar(this);
    m_gauge->setObjectName(QStringLiteral("pbProgress"));
    m_gauge->setRange(0, 100);
    m_gauge->setValue(0);
    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("btStart"));
    m_start->setDefault(true);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("btClose"));
    m_close->setAutoDefault(false);
    m_progress = std::make_unique<TWindowProgress>(m_status, m_gauge, m_stop,
                                                   [this](const QString& text) { error(text); });
    m_engine->SetProgress(m_progress.get());
}

TAnalysisDialog::~TAnalysisDialog() = default;

void TAnalysisDialog::buildFrame(QWidget* settingsPage)
{
    m_charts = new TAnalysisCharts(
        *m_engine, *m_values, *m_preview, [this] { return m_arg1->Text(); },
        [this] { return m_arg2->Text(); });
    auto* layout = new QVBoxLayout(this);
    m_pages = new QTabWidget(this);
    m_pages->addTab(settingsPage, QStringLiteral("Settings"));
    m_pages->addTab(BuildListingPage(m_listing, m_saveAs), QStringLiteral("Results"));
    layout->addWidget(m_pages, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 2);
    bottom->addWidget(m_toGo, 1);
    bottom->addWidget(m_gauge, 1);
    bottom->addWidget(m_start);
    bottom->addWidget(m_close);
    layout->addLayout(bottom);
    connect(m_start, &QPushButton::clicked, this, &TAnalysisDialog::Start);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_saveAs, &QPushButton::clicked, this, &TAnalysisDialog::SaveAs);
    resize(860, 640);
}

void TAnalysisDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    loadGraph();
}

bool TAnalysisDialog::readGraph()
{
    m_graphRead = m_engine->ReadGraphFile(m_graphFile) && m_engine->BuildGenerator();
    // Building the matrix moved the bar; nothing has been calculated yet.
    m_gauge->setValue(0);
    if (!m_graphRead && !m_engine->LastError.isEmpty())
        error(m_engine->LastError);
    return m_graphRead;
}

bool TAnalysisDialog::confirmUnsteady()
{
    // Immediate transitions in a graph that still holds unsteady markings
    // would be taken with their weights as rates.
    return !m_engine->HoldsUnsteadyMarkings() ||
           confirm(QStringLiteral(
               "The graph holds unsteady markings: \"Remove unsteady  markings\" was not ticked when it was "
               "built, so the weights of immediate transitions would be taken as rates and the results "
               "would be wrong. Calculate all the same?"));
}

void TAnalysisDialog::showIdle(const QString& idleStatus)
{
    m_status->setText(idleStatus);
    m_toGo->setText(QString::fromLatin1(kToGoIdle));
    m_gauge->setValue(5);
    // The selected row shows the results of the calculation that just ended.
    if (m_charts)
        m_charts->DrawSelected();
}

void TAnalysisDialog::writeListing(const QString& arg1Text, const QString& arg2Text)
{
    const QStringList lines = PerformanceListing(*m_engine, arg1Text, arg2Text);
    m_listing->setPlainText(lines.join(QLatin1Char('\n')));
    m_listing->setEnabled(true);
}

void TAnalysisDialog::SaveAs()
{
    const QString failure =
        SaveListingAs(this, m_listing->toPlainText().split(QLatin1Char('\n')), AutoFileName);
    if (!failure.isEmpty())
        error(failure);
}

void TAnalysisDialog::error(const QString& text)
{
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("Error"), text);
}

void TAnalysisDialog::warn(const QString& text)
{
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox::warning(this, m_caption, text);
}

bool TAnalysisDialog::confirm(const QString& text)
{
    if (MessageHook) {
        MessageHook(text);
        return true;
    }
    return QMessageBox::question(this, m_caption, text) == QMessageBox::Yes;
}

void TAnalysisDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        auto* help = new THelpWindow(this);
        help->setAttribute(Qt::WA_DeleteOnClose);
        help->ShowTopic(m_helpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAnalysisDialog::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TAnalysisDialog::reject()
{
    if (!m_running)
        QDialog::reject();
}

QGroupBox* NewPreviewGroup(QWidget* parent)
{
    auto* preview = new QGroupBox(QStringLiteral("Graph preview"), parent);
    preview->setObjectName(QStringLiteral("gbPreview"));
    preview->setMinimumHeight(120);
    return preview;
}
