#include "performance/transient_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/designer.h"
#include "performance/analysis_parts.h"

namespace {

// Warnings of cut series shown at most, one line each.
constexpr int kWarningLines = 12;

} // namespace

TTransAnalyze::TTransAnalyze(TQRVDesigner& designer, const QString& graphFile, QWidget* parent)
    : TAnalysisDialog(designer, graphFile, std::make_unique<TTransEngine>(&designer),
                      QString::fromLatin1(TransTexts::Caption), QString::fromLatin1(TransTexts::Idle),
                      TransientHelpContext, parent)
{
    setObjectName(QStringLiteral("TTransAnalyze"));
    buildFrame(buildSettingsPage());
}

QWidget* TTransAnalyze::buildSettingsPage()
{
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    auto* settings = new QGroupBox(QStringLiteral("Dependences analysis settings"), page);
    outer->addWidget(settings);
    auto* grid = new QGridLayout(settings);

    m_values = new TValuesListBox(*m_engine, settings);
    grid->addWidget(m_values, 0, 0, 1, 2);
    // Time is always argument 1: its selector shows "Time" and cannot be changed.
    m_arg1 = new TArgumentBox(QStringLiteral("Argument 1"), QStringLiteral("1"), QStringLiteral("0"),
                              QStringLiteral("100"), QStringLiteral("10"),
                              QStringLiteral("For M0(Pi) must be integer"), settings);
    m_arg1->setObjectName(QStringLiteral("gbArg1"));
    m_arg1->Selector()->setEditText(QStringLiteral("Time"));
    m_arg1->Selector()->setEnabled(false);
    for (QLineEdit* f : {m_arg1->InitialField(), m_arg1->FinalField(), m_arg1->StepsField()})
        f->setEnabled(true);
    m_arg2 = new TArgumentBox(QStringLiteral("Argument 2"), QStringLiteral("2"), QStringLiteral("1"),
                              QStringLiteral("10"), QStringLiteral("11"),
                              QStringLiteral("Must be a positive integer number"), settings);
    m_arg2->setObjectName(QStringLiteral("gbArg2"));
    grid->addWidget(m_arg1, 1, 0);
    grid->addWidget(m_arg2, 1, 1);

    m_builder = new TBuilderBox(settings);
    m_builder->setEnabled(false);
    grid->addWidget(m_builder, 2, 0);

    auto* additional = new QGroupBox(QStringLiteral("Additional settings"), settings);
    additional->setObjectName(QStringLiteral("gbAdditional"));
    auto* fields = new QGridLayout(additional);
    fields->addWidget(new QLabel(QStringLiteral("normalization coeficient"), additional), 0, 0);
    m_coefficient = new QLineEdit(QStringLiteral("1"), additional);
    m_coefficient->setObjectName(QStringLiteral("edCoefficient"));
    m_coefficient->setToolTip(QStringLiteral("The uniformisation rate is this times the largest outflow rate "
                                             "of a marking (1 when not a number above 0)"));
    fields->addWidget(m_coefficient, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("precision index"), additional), 1, 0);
    m_precisionIndex = new QLineEdit(QStringLiteral("500"), additional);
    m_precisionIndex->setObjectName(QStringLiteral("edPrecisionIndex"));
    m_precisionIndex->setToolTip(QStringLiteral("The number of powers of the uniformised matrix the series "
                                                "is cut after (a whole number, at least 1)"));
    fields->addWidget(m_precisionIndex, 1, 1);
    fields->setRowStretch(2, 1);
    grid->addWidget(additional, 2, 1);

    m_preview = NewPreviewGroup(settings);
    grid->addWidget(m_preview, 3, 0, 1, 2);

    connect(m_values, &TValuesListBox::EntriesChanged, this, [this](bool invalidate) {
        if (invalidate)
            m_engine->ResultsValid = false;
    });
    connect(m_arg2, &TArgumentBox::ArgumentChanged, this, &TTransAnalyze::argumentChanged);
    return page;
}

void TTransAnalyze::loadGraph()
{
    if (!readGraph())
        return;
    m_arg2->SetArguments(m_engine->ArgumentTexts());
    m_builder->setEnabled(false);
}

void TTransAnalyze::argumentChanged()
{
    m_builder->setEnabled(m_arg2->IsMarking() && !m_running);
}

bool TTransAnalyze::readRange(TArgumentBox* box, const QString& group, TSweepArgument& arg)
{
    QLineEdit* fields[3] = {box->InitialField(), box->FinalField(), box->StepsField()};
    const char* const captions[3] = {"Initial", "Final", "Steps"};
    QString why;
    const int bad = ReadTransientRange(fields[0]->text(), fields[1]->text(), fields[2]->text(),
                                       box->IsMarking(), arg, why);
    if (bad >= 0) {
        error(QStringLiteral("\"%1\" of \"%2\": %3.").arg(QLatin1String(captions[bad]), group, why));
        fields[bad]->setFocus();
        return false;
    }
    arg.Text = box->Text();
    return true;
}

bool TTransAnalyze::readSettings(TSweepArgument& time, TSweepArgument& arg2)
{
    if (!readRange(m_arg1, QStringLiteral("Argument 1"), time))
        return false;
    const QString before = CheckTimeRange(time);
    if (!before.isEmpty()) {
        error(before);
        m_arg1->InitialField()->setFocus();
        return false;
    }
    if (m_arg2->Text() != QLatin1String("None") && !readRange(m_arg2, QStringLiteral("Argument 2"), arg2))
        return false;
    int powers = 0;
    if (!ReadPrecisionIndex(m_precisionIndex->text(), powers)) {
        error(QStringLiteral("\"precision index\": \"%1\" is not a whole number.")
                  .arg(m_precisionIndex->text()));
        m_precisionIndex->setFocus();
        return false;
    }
    Engine().PowerCount = powers;
    Engine().AutomaticPowers = false;
    Engine().Coefficient = ReadCoefficient(m_coefficient->text());
    return true;
}

void TTransAnalyze::Start()
{
    if (m_running) {
        // Break: the caption comes back at once; the sweep leaves at its next
        // stop check, and until then a press starts nothing.
        if (!m_stop) {
            m_stop = true;
            m_start->setText(QStringLiteral("Start"));
        }
        return;
    }
    m_stop = false;
    m_engine->ResultsValid = false;
    if (!m_graphRead) {
        error(m_engine->LastError.isEmpty()
                  ? QStringLiteral("There is no reachability graph to analyse: build "
                                   "it with Analysis, Reachability graph first.")
                  : m_engine->LastError);
        return;
    }
    TSweepArgument time, arg2;
    if (!readSettings(time, arg2) || m_values->RowCount() == 0)
        return;
    if (!confirmUnsteady())
        return;
    setRunning(true);
    m_engine->Builder = m_builder->Settings();
    m_engine->RebuildFile = m_graphFile;
    const qint64 points = static_cast<qint64>(time.Count) * std::max(1, arg2.Count);
    m_toGo->setText(QStringLiteral("Iterations to go: ") + QString::number(points));
    m_engine->PointsLeft = [this](qint64 left) {
        m_toGo->setText(QStringLiteral("Iterations to go: ") + QString::number(left));
        if (WhileRunning)
            WhileRunning();
    };
    TTransEngine& engine = Engine();
    const TSweepOutcome outcome = engine.RunTransientSweep(time, arg2);
    m_designer.SetUpdating(false);
    if (outcome.Kind == TSweepOutcome::Failed) {
        if (!outcome.Message.isEmpty())
            error(outcome.Message);
    } else if (outcome.Kind == TSweepOutcome::Completed && !m_stop) {
        writeListing(m_arg1->Text(), m_arg2->Text());
        const QStringList& warnings = engine.Warnings;
        if (!warnings.isEmpty()) {
            QStringList shown = warnings.mid(0, kWarningLines);
            if (warnings.size() > kWarningLines)
                shown << QStringLiteral("… and %1 more time points.").arg(warnings.size() - kWarningLines);
            warn(shown.join(QLatin1Char('\n')));
        }
    }
    setIdle();
}

void TTransAnalyze::setRunning(bool running)
{
    m_running = running;
    m_start->setText(running ? QStringLiteral("Break") : QStringLiteral("Start"));
    // Nothing the calculation reads may change while it runs.
    for (QWidget* w : std::initializer_list<QWidget*>{m_values, m_arg1, m_arg2, m_coefficient,
                                                      m_precisionIndex, m_close, m_saveAs})
        w->setEnabled(!running);
    if (running)
        m_builder->setEnabled(false);
}

void TTransAnalyze::setIdle()
{
    setRunning(false);
    argumentChanged();
    showIdle(QString::fromLatin1(PerfTexts::Idle));
}
