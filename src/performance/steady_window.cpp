#include "performance/steady_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/help_window.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/transitions.h"
#include "performance/analysis_parts.h"
#include "performance/perf_listing.h"
#include "reach/current_graph.h"

class TStohAnalyze::TProgress : public IQRVProgress
{
public:
    explicit TProgress(TStohAnalyze& window) : m_window(window) {}
    void Progress(int percent) override { m_window.m_gauge->setValue(percent); }
    void Status(const QString& text) override
    {
        m_window.m_status->setText(text);
        m_window.m_status->repaint();
    }
    void Message(const QString& text) override { m_window.error(text); }
    void Pump() override
    {
        if (m_clock.isValid() && m_clock.elapsed() < 30)
            return;
        QCoreApplication::processEvents();
        m_clock.start();
    }
    bool StopRequested() const override { return m_window.m_stop; }

private:
    TStohAnalyze& m_window;
    QElapsedTimer m_clock;
};

namespace {

QCheckBox* check(QWidget* parent, const QString& caption, const char* name, bool checked)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setChecked(checked);
    return c;
}

QLineEdit* field(QWidget* parent, const QString& text, const char* name)
{
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

} // namespace

TStohAnalyze::TStohAnalyze(TQRVDesigner& designer, const QString& graphFile, QWidget* parent)
    : QDialog(parent), m_designer(designer),
      m_graphFile(graphFile.isEmpty() ? CurrentGraphFile() : graphFile),
      m_engine(std::make_unique<TCalcEngine>(&designer)), m_progress(std::make_unique<TProgress>(*this))
{
    setWindowTitle(QStringLiteral("Steady-state analysis"));
    setObjectName(QStringLiteral("TStohAnalyze"));
    m_engine->SetProgress(m_progress.get());
    auto* layout = new QVBoxLayout(this);
    m_pages = new QTabWidget(this);
    m_pages->addTab(buildSettingsPage(), QStringLiteral("Settings"));
    m_pages->addTab(buildResultsPage(), QStringLiteral("Results"));
    layout->addWidget(m_pages, 1);
    auto* bottom = new QHBoxLayout;
    m_status = new QLabel(QStringLiteral("IdleNow: Idle"), this);
    m_status->setObjectName(QStringLiteral("lbStatus"));
    m_toGo = new QLabel(QStringLiteral("Iterations to go :  N/A"), this);
    m_toGo->setObjectName(QStringLiteral("lbToGo"));
    m_gauge = new QProgressBar(this);
    m_gauge->setObjectName(QStringLiteral("pbProgress"));
    m_gauge->setRange(0, 100);
    m_gauge->setValue(0);
    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("btStart"));
    m_start->setDefault(true);
    m_start->setEnabled(false);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("btClose"));
    m_close->setAutoDefault(false);
    bottom->addWidget(m_status, 2);
    bottom->addWidget(m_toGo, 1);
    bottom->addWidget(m_gauge, 1);
    bottom->addWidget(m_start);
    bottom->addWidget(m_close);
    layout->addLayout(bottom);
    connect(m_start, &QPushButton::clicked, this, &TStohAnalyze::Start);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    resize(860, 640);
    applyStartRule();
}

void TStohAnalyze::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    loadGraph();
    applyStartRule();
}

TStohAnalyze::~TStohAnalyze() = default;

QWidget* TStohAnalyze::buildSettingsPage()
{
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    auto* settings = new QGroupBox(QStringLiteral("Dependences analysis settings"), page);
    outer->addWidget(settings);
    auto* grid = new QGridLayout(settings);

    m_values = new TValuesListBox(*m_engine, settings);
    grid->addWidget(m_values, 0, 0, 1, 2);
    m_arg1 = new TArgumentBox(QStringLiteral("1st argument"), QStringLiteral("1"), QStringLiteral("1"),
                              QStringLiteral("4"), QStringLiteral("5"),
                              QStringLiteral("For M0(Pi) must be integer"), settings);
    m_arg2 = new TArgumentBox(QStringLiteral("2nd argument"), QStringLiteral("2"), QStringLiteral("1"),
                              QStringLiteral("4"), QStringLiteral("5"),
                              QStringLiteral("Must be a positive integer number"), settings);
    m_arg2->setObjectName(QStringLiteral("gbArg2"));
    m_arg2->setEnabled(false);
    grid->addWidget(m_arg1, 1, 0);
    grid->addWidget(m_arg2, 1, 1);

    m_builder = new QGroupBox(QStringLiteral("RG builder settings"), settings);
    m_builder->setObjectName(QStringLiteral("gbBuilder"));
    auto* builder = new QGridLayout(m_builder);
    auto* algorithm = new QGroupBox(QStringLiteral("Construction algorithm"), m_builder);
    auto* algorithmLayout = new QVBoxLayout(algorithm);
    auto* classical = new QRadioButton(QStringLiteral("Classical"), algorithm);
    classical->setChecked(true);
    algorithmLayout->addWidget(classical);
    algorithmLayout->addWidget(new QRadioButton(QStringLiteral("Kroniker"), algorithm));
    algorithm->setEnabled(false);
    builder->addWidget(algorithm, 0, 0, 2, 1);
    builder->addWidget(new QLabel(QStringLiteral("Markings' limit"), m_builder), 0, 1);
    m_limit = new QSpinBox(m_builder);
    m_limit->setObjectName(QStringLiteral("seLimit"));
    m_limit->setRange(1, 999999);
    m_limit->setValue(5000);
    builder->addWidget(m_limit, 1, 1);
    auto* reset = check(m_builder, QStringLiteral("Reset initial marking on completion"), "cbReset", true);
    reset->setEnabled(false);
    m_unbounded = check(m_builder, QStringLiteral("Enable unbounded net control"), "cbUnbounded", true);
    m_priority = check(m_builder, QStringLiteral("Enable Priority Mode"), "cbPriority", false);
    m_removeUnsteady =
        check(m_builder, QStringLiteral("Remove unsteady  markings"), "cbRemoveUnsteady", false);
    builder->addWidget(reset, 2, 0, 1, 2);
    builder->addWidget(m_unbounded, 3, 0, 1, 2);
    builder->addWidget(m_priority, 4, 0, 1, 2);
    builder->addWidget(m_removeUnsteady, 5, 0, 1, 2);
    m_builder->setEnabled(false);
    grid->addWidget(m_builder, 2, 0, 2, 1);

    auto* method = new QGroupBox(QStringLiteral("Method"), settings);
    auto* methodLayout = new QVBoxLayout(method);
    m_gauss = new QRadioButton(QStringLiteral("Gauss"), method);
    m_gauss->setObjectName(QStringLiteral("rbGauss"));
    m_gauss->setChecked(true);
    m_seidel = new QRadioButton(QStringLiteral("Seidel"), method);
    m_seidel->setObjectName(QStringLiteral("rbSeidel"));
    m_iterative = new QRadioButton(QString::fromLatin1(SolverTexts::IterativeName), method);
    m_iterative->setObjectName(QStringLiteral("rbIterative"));
    methodLayout->addWidget(m_gauss);
    methodLayout->addWidget(m_seidel);
    methodLayout->addWidget(m_iterative);
    grid->addWidget(method, 2, 1);

    auto* solverRow = new QHBoxLayout;
    m_seidelGroup = new QGroupBox(QStringLiteral("Seidel settings"), settings);
    auto* seidel = new QGridLayout(m_seidelGroup);
    seidel->addWidget(new QLabel(QStringLiteral("Precision"), m_seidelGroup), 0, 0);
    m_precision = field(m_seidelGroup, QStringLiteral("0.000001"), "edPrecision");
    seidel->addWidget(m_precision, 0, 1);
    seidel->addWidget(new QLabel(QStringLiteral("Iterations"), m_seidelGroup), 1, 0);
    m_iterations = field(m_seidelGroup, QStringLiteral("100"), "edIterations");
    seidel->addWidget(m_iterations, 1, 1);
    m_iterativeGroup = new QGroupBox(QStringLiteral("Iterative settings"), settings);
    auto* iterative = new QGridLayout(m_iterativeGroup);
    iterative->addWidget(new QLabel(QStringLiteral("Relative residual"), m_iterativeGroup), 0, 0);
    m_residual = field(m_iterativeGroup, QStringLiteral("1e-10"), "edResidual");
    m_residual->setToolTip(
        QStringLiteral("The iteration stops when ||pi Q|| / (max |q_ii| ||pi||) is below it"));
    iterative->addWidget(m_residual, 0, 1);
    solverRow->addWidget(m_seidelGroup);
    solverRow->addWidget(m_iterativeGroup);
    grid->addLayout(solverRow, 3, 1);

    m_preview = new QGroupBox(QStringLiteral("Graph preview"), settings);
    m_preview->setObjectName(QStringLiteral("gbPreview"));
    m_preview->setMinimumHeight(120);
    grid->addWidget(m_preview, 4, 0, 1, 2);

    methodChanged();
    for (QRadioButton* b : {m_gauss, m_seidel, m_iterative})
        connect(b, &QRadioButton::toggled, this, &TStohAnalyze::methodChanged);
    connect(m_removeUnsteady, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_priority->setChecked(true);
    });
    connect(m_values, &TValuesListBox::EntriesChanged, this, [this](bool invalidate) {
        if (invalidate)
            m_engine->ResultsValid = false;
        applyStartRule();
    });
    connect(m_arg1, &TArgumentBox::ArgumentChanged, this, &TStohAnalyze::argumentsChanged);
    connect(m_arg2, &TArgumentBox::ArgumentChanged, this, &TStohAnalyze::argumentsChanged);
    return page;
}

QWidget* TStohAnalyze::buildResultsPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* box = new QGroupBox(QStringLiteral("Statistic file: "), page);
    auto* boxLayout = new QVBoxLayout(box);
    m_listing = new QPlainTextEdit(box);
    m_listing->setObjectName(QStringLiteral("mmListing"));
    m_listing->setReadOnly(true);
    m_listing->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_listing->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_listing->setEnabled(false);
    boxLayout->addWidget(m_listing);
    layout->addWidget(box, 1);
    m_saveAs = new QPushButton(QStringLiteral("Save As"), page);
    m_saveAs->setObjectName(QStringLiteral("btSaveAs"));
    m_saveAs->setAutoDefault(false);
    layout->addWidget(m_saveAs, 0, Qt::AlignRight);
    connect(m_saveAs, &QPushButton::clicked, this, &TStohAnalyze::SaveAs);
    return page;
}

void TStohAnalyze::loadGraph()
{
    m_graphRead = m_engine->ReadGraphFile(m_graphFile) && m_engine->BuildGenerator();
    if (!m_graphRead) {
        if (!m_engine->LastError.isEmpty())
            error(m_engine->LastError);
        return;
    }
    const QStringList arguments = m_engine->ArgumentTexts();
    m_arg1->SetArguments(arguments);
    m_arg2->SetArguments(arguments);
    m_builder->setEnabled(false);
    m_arg2->setEnabled(false);
}

void TStohAnalyze::applyStartRule()
{
    const bool ready = m_values->RowCount() > 0 && m_arg1->Text() != QLatin1String("None") && m_graphRead;
    if (m_running)
        return;
    m_start->setEnabled(ready);
    m_start->setToolTip(ready ? QStringLiteral("Just Click :-)")
                              : QStringLiteral("Not enough data to start... :-|"));
}

void TStohAnalyze::argumentsChanged()
{
    const bool first = m_arg1->Text() != QLatin1String("None");
    m_arg2->setEnabled(first);
    applyStartRule();
    if (first && m_values->RowCount() > 0 && !m_running)
        m_start->setToolTip(QStringLiteral("Waiting for anything ... ?"));
    m_builder->setEnabled(m_arg1->IsMarking() || (first && m_arg2->IsMarking()));
}

void TStohAnalyze::methodChanged()
{
    m_seidelGroup->setEnabled(m_seidel->isChecked());
    m_iterativeGroup->setEnabled(m_iterative->isChecked());
}

TSteadySettings TStohAnalyze::solverSettings() const
{
    TSteadySettings s;
    s.Method = m_gauss->isChecked() ? smGauss : m_seidel->isChecked() ? smSeidel : smIterative;
    double precision = 0;
    int iterations = 0;
    if (ParseReal(m_precision->text().trimmed(), precision) &&
        ParseInteger(m_iterations->text().trimmed(), iterations)) {
        s.Precision = precision;
        s.Iterations = iterations;
    }
    double residual = 0;
    if (ParseReal(m_residual->text().trimmed(), residual) && residual > 0 && residual < 1)
        s.Tolerance = residual;
    return s;
}

TReachSettings TStohAnalyze::builderSettings() const
{
    TReachSettings s;
    s.Limit = m_limit->value();
    s.ResetInitialMarking = true;
    s.UnboundedControl = m_unbounded->isChecked();
    s.PriorityMode = m_priority->isChecked();
    s.RemoveUnsteady = m_removeUnsteady->isChecked();
    return s;
}

void TStohAnalyze::setRunning(bool running)
{
    m_running = running;
    m_start->setText(running ? QStringLiteral("Break") : QStringLiteral("Start"));
    // Nothing the calculation reads may change while it runs.
    m_values->setEnabled(!running);
    m_close->setEnabled(!running);
    m_saveAs->setEnabled(!running);
    for (QRadioButton* b : {m_gauss, m_seidel, m_iterative})
        b->setEnabled(!running);
    m_precision->setEnabled(!running);
    m_iterations->setEnabled(!running);
    m_residual->setEnabled(!running);
}

void TStohAnalyze::setIdle()
{
    setRunning(false);
    m_arg1->setEnabled(true);
    argumentsChanged();
    m_status->setText(QString::fromLatin1(PerfTexts::Idle));
    m_toGo->setText(QStringLiteral("Iterations to go :  N/A"));
    m_gauge->setValue(5);
    applyStartRule();
}

void TStohAnalyze::Start()
{
    if (m_running) {
        m_stop = true;
        return;
    }
    m_stop = false;
    m_engine->ResultsValid = false;
    TSweepArgument arg1, arg2;
    if (m_arg1->Text() != QLatin1String("None") && !m_arg1->ReadRange(arg1))
        return;
    if (m_arg1->Text() != QLatin1String("None") && m_arg2->Text() != QLatin1String("None") &&
        !m_arg2->ReadRange(arg2))
        return;
    if (m_values->RowCount() == 0)
        return;
    // Immediate transitions in a graph that still holds unsteady markings
    // would be solved with their weights taken as rates.
    if (m_engine->HoldsUnsteadyMarkings() &&
        !confirm(
            QStringLiteral("The graph holds unsteady markings: \"Remove unsteady  markings\" was not ticked "
                           "when it was built, so the weights of immediate transitions would be taken as "
                           "rates and the results would be wrong. Calculate all the same?")))
        return;
    setRunning(true);
    m_arg1->setEnabled(false);
    m_arg2->setEnabled(false);
    m_builder->setEnabled(false);
    m_engine->Solver = solverSettings();
    m_engine->Builder = builderSettings();
    m_engine->RebuildFile = m_graphFile;
    m_engine->PointsLeft = [this](qint64 left) {
        m_toGo->setText(QStringLiteral("Iterations to go: ") + QString::number(left));
    };
    const TSweepOutcome outcome = m_engine->RunSweep(arg1, arg2);
    m_designer.SetUpdating(false);
    if (outcome.Kind == TSweepOutcome::Failed) {
        if (outcome.SolverFailed)
            error(QString::fromLatin1(PerfTexts::CouldNotSolve) +
                  (outcome.Message.isEmpty() ? QString() : QStringLiteral("\n\n") + outcome.Message));
        else if (!outcome.Message.isEmpty())
            error(outcome.Message);
    } else if (outcome.Kind == TSweepOutcome::Completed && !m_stop) {
        writeListing();
    }
    setIdle();
}

void TStohAnalyze::writeListing()
{
    const QStringList lines = PerformanceListing(*m_engine, m_arg1->Text(), m_arg2->Text());
    m_listing->setPlainText(lines.join(QLatin1Char('\n')));
    m_listing->setEnabled(true);
}

void TStohAnalyze::SaveAs()
{
    const QString failure =
        SaveListingAs(this, m_listing->toPlainText().split(QLatin1Char('\n')), AutoFileName);
    if (!failure.isEmpty())
        error(failure);
}

void TStohAnalyze::error(const QString& text)
{
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("Error"), text);
}

bool TStohAnalyze::confirm(const QString& text)
{
    if (MessageHook) {
        MessageHook(text);
        return true;
    }
    return QMessageBox::question(this, QStringLiteral("Steady-state analysis"), text) == QMessageBox::Yes;
}

void TStohAnalyze::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        auto* help = new THelpWindow(this);
        help->setAttribute(Qt::WA_DeleteOnClose);
        help->ShowTopic(SteadyHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TStohAnalyze::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TStohAnalyze::reject()
{
    if (!m_running)
        QDialog::reject();
}
