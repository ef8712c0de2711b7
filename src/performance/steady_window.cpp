#include "performance/steady_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "model/designer.h"
#include "model/numbers.h"
#include "model/transitions.h"
#include "performance/analysis_parts.h"

namespace {

QLineEdit* field(QWidget* parent, const QString& text, const char* name)
{
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

} // namespace

TStohAnalyze::TStohAnalyze(TQRVDesigner& designer, const QString& graphFile, QWidget* parent)
    : TAnalysisDialog(designer, graphFile, std::make_unique<TCalcEngine>(&designer),
                      QStringLiteral("Steady-state analysis"), QStringLiteral("IdleNow: Idle"),
                      SteadyHelpContext, parent)
{
    setObjectName(QStringLiteral("TStohAnalyze"));
    m_start->setEnabled(false);
    buildFrame(buildSettingsPage());
    applyStartRule();
}

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

    m_builder = new TBuilderBox(settings);
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

    m_preview = NewPreviewGroup(settings);
    grid->addWidget(m_preview, 4, 0, 1, 2);

    methodChanged();
    for (QRadioButton* b : {m_gauss, m_seidel, m_iterative})
        connect(b, &QRadioButton::toggled, this, &TStohAnalyze::methodChanged);
    connect(m_values, &TValuesListBox::EntriesChanged, this, [this](bool invalidate) {
        if (invalidate)
            m_engine->ResultsValid = false;
        applyStartRule();
    });
    connect(m_arg1, &TArgumentBox::ArgumentChanged, this, &TStohAnalyze::argumentsChanged);
    connect(m_arg2, &TArgumentBox::ArgumentChanged, this, &TStohAnalyze::argumentsChanged);
    return page;
}

void TStohAnalyze::loadGraph()
{
    if (readGraph()) {
        const QStringList arguments = m_engine->ArgumentTexts();
        m_arg1->SetArguments(arguments);
        m_arg2->SetArguments(arguments);
        m_builder->setEnabled(false);
        m_arg2->setEnabled(false);
    }
    applyStartRule();
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
    showIdle(QString::fromLatin1(PerfTexts::Idle));
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
    if (!confirmUnsteady())
        return;
    setRunning(true);
    m_arg1->setEnabled(false);
    m_arg2->setEnabled(false);
    m_builder->setEnabled(false);
    m_engine->Solver = solverSettings();
    m_engine->Builder = m_builder->Settings();
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
        writeListing(m_arg1->Text(), m_arg2->Text());
    }
    setIdle();
}
