#include "simulation/simulation_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/help_window.h"
#include "charts/chart_pictures.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/edits.h"
#include "model/interfaces.h"
#include "simulation/graph_names.h"
#include "simulation/sim_chart.h"
#include "simulation/sim_error.h"

namespace {

// The step request the window posts to itself.
const QEvent::Type kStepEvent = static_cast<QEvent::Type>(QEvent::User + 1);

QPushButton* makeButton(const QString& caption, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TfmSimulation::TfmSimulation(TQRVDesigner& designer, QWidget* parent, quint64 seed)
    : QDialog(parent), m_designer(designer),
      m_engine(designer, seed != 0 ? seed : QRandomGenerator::global()->generate64())
{
    setObjectName(QStringLiteral("fmSimulation"));
    setWindowTitle(QStringLiteral("Simulation"));

    m_topPanel = new QWidget(this);
    m_topPanel->setObjectName(QStringLiteral("pnControls"));
    auto* top = new QHBoxLayout(m_topPanel);
    top->setContentsMargins(4, 4, 4, 4);
    m_btStart = makeButton(QStringLiteral("START"), "btStart", m_topPanel);
    m_btStop = makeButton(QStringLiteral("STOP"), "btStop", m_topPanel);
    m_btRestart = makeButton(QStringLiteral("RESTART"), "btRestart", m_topPanel);
    m_btClose = makeButton(QStringLiteral("Close"), "btClose", m_topPanel);
    for (QPushButton* b : {m_btStart, m_btStop, m_btRestart, m_btClose})
        top->addWidget(b);
    top->addSpacing(12);
    top->addWidget(new QLabel(QStringLiteral("Speed"), m_topPanel));
    m_speed = new QSlider(Qt::Horizontal, m_topPanel);
    m_speed->setObjectName(QStringLiteral("tbSpeed"));
    m_speed->setRange(0, 100);
    m_speed->setValue(50);
    m_speed->setToolTip(QStringLiteral("Right: slower token movement"));
    m_speed->setMinimumWidth(100);
    top->addWidget(m_speed);
    m_timeLabel = new QLabel(m_topPanel);
    m_timeLabel->setObjectName(QStringLiteral("lbTime"));
    m_timeLabel->setMinimumWidth(110);
    top->addWidget(m_timeLabel);
    m_stochastic = new QCheckBox(QStringLiteral("Stochastic timing"), m_topPanel);
    m_stochastic->setObjectName(QStringLiteral("cbStochastic"));
    m_stochastic->setToolTip(QStringLiteral("Timed transitions fire after exponentially distributed delays"));
    top->addWidget(m_stochastic);
    top->addStretch(1);
    auto* help = makeButton(QStringLiteral("Help"), "btHelp", m_topPanel);
    top->addWidget(help);

    m_choicePanel = new QWidget(this);
    m_choicePanel->setObjectName(QStringLiteral("pnGraphs"));
    auto* choice = new QHBoxLayout(m_choicePanel);
    choice->setContentsMargins(4, 0, 4, 4);
    choice->addWidget(new QLabel(QStringLiteral("Object"), m_choicePanel));
    m_objects = new QComboBox(m_choicePanel);
    m_objects->setObjectName(QStringLiteral("cbObjects"));
    m_objects->setMinimumWidth(120);
    choice->addWidget(m_objects);
    choice->addWidget(new QLabel(QStringLiteral("Property"), m_choicePanel));
    m_properties = new QComboBox(m_choicePanel);
    m_properties->setObjectName(QStringLiteral("cbProperties"));
    m_properties->setMinimumWidth(100);
    choice->addWidget(m_properties);
    m_btAddGraph = makeButton(QStringLiteral("Add graph"), "btAddGraph", m_choicePanel);
    choice->addWidget(m_btAddGraph);
    choice->addStretch(1);
    m_btShow = makeButton(QStringLiteral("Show >>>"), "btShow", m_choicePanel);
    choice->addWidget(m_btShow);

    m_charts = new QTabWidget(this);
    m_charts->setObjectName(QStringLiteral("pcCharts"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_topPanel);
    layout->addWidget(m_choicePanel);
    layout->addWidget(m_charts, 1);
    resize(760, m_fullHeight);

    connect(m_btStart, &QPushButton::clicked, this, &TfmSimulation::Start);
    connect(m_btStop, &QPushButton::clicked, this, &TfmSimulation::Stop);
    connect(m_btRestart, &QPushButton::clicked, this, &TfmSimulation::Restart);
    connect(m_btClose, &QPushButton::clicked, this, &TfmSimulation::CloseSimulation);
    connect(m_btAddGraph, &QPushButton::clicked, this, &TfmSimulation::AddGraph);
    connect(m_btShow, &QPushButton::clicked, this, &TfmSimulation::ToggleCharts);
    connect(help, &QPushButton::clicked, this, &TfmSimulation::ShowHelp);
    connect(m_objects, &QComboBox::currentIndexChanged, this, &TfmSimulation::objectChosen);
    connect(m_stochastic, &QCheckBox::toggled, this, [this](bool on) { m_engine.SetStochastic(on); });
}

TfmSimulation::~TfmSimulation() = default;

// ---- opening ---------------------------------------------------------------------------------

void TfmSimulation::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        open();
    }
}

void TfmSimulation::open()
{
    // Collapsed to the two top panels; the full height is kept for "Show >>>".
    m_fullHeight = height();
    m_charts->hide();
    layout()->activate();
    resize(width(), minimumSizeHint().height());

    const QString problems = m_engine.Open();
    m_stopped = true;
    showTime();
    m_designer.SetSimulating(true);
    m_designer.Update();

    QStringList names;
    for (const TQRVObject* o : m_designer.ObjectList())
        if (dynamic_cast<const IQRVVariables*>(o))
            names << o->Name();
    names.sort(Qt::CaseInsensitive);
    m_objects->clear();
    m_objects->addItems(names);
    if (!names.isEmpty())
        m_objects->setCurrentIndex(0);
    objectChosen(m_objects->currentIndex());

    for (const QString& graph : m_designer.Graphs)
        addChart(graph);
    for (TSimChart* chart : Charts())
        chart->ClearPoints();
    setRunning(false);
    if (!problems.isEmpty())
        message(problems);
}

void TfmSimulation::objectChosen(int index)
{
    m_properties->clear();
    if (index < 0)
        return;
    const auto* variables =
        dynamic_cast<const IQRVVariables*>(m_designer.FindObject(m_objects->itemText(index)));
    if (!variables)
        return;
    for (int i = 0; i < variables->VariableCount(); ++i)
        m_properties->addItem(variables->VariableName(i));
    if (m_properties->count() > 0)
        m_properties->setCurrentIndex(0);
}

// ---- the buttons ------------------------------------------------------------------------------

void TfmSimulation::setRunning(bool running)
{
    m_btStart->setEnabled(!running);
    m_btRestart->setEnabled(!running);
    m_stochastic->setEnabled(!running);
}

void TfmSimulation::Start()
{
    m_stopped = false;
    setRunning(true);
    requestStep();
}

void TfmSimulation::Stop()
{
    m_stopped = true;
    setRunning(false);
    if (m_waiting)
        m_waiting->quit();
}

void TfmSimulation::Restart()
{
    m_stopped = false;
    setRunning(true);
    if (m_inStep) {
        // The step under way ends first; it restarts when it has.
        m_restartPending = true;
        return;
    }
    m_engine.Restart();
    showTime();
    m_designer.Update();
    requestStep();
}

void TfmSimulation::CloseSimulation()
{
    m_closing = true;
    m_stopped = true;
    setRunning(false);
    if (m_waiting)
        m_waiting->quit();
    m_designer.SetSimulating(false);
    m_engine.PutInitialMarking();
    m_designer.Update();
    accept();
}

void TfmSimulation::reject()
{
    // The close box: refused while the simulation runs; the net keeps the
    // simulated marking, as one step of the edit history.
    if (!m_stopped)
        return;
    m_designer.SetSimulating(false);
    QList<QPair<TclsNode*, double>> previous;
    for (const auto& [place, value] : m_engine.InitialMarking())
        previous.append({place, value});
    m_designer.Edits().LeaveMarking(QStringLiteral("Marking of the Simulation"), previous);
    QDialog::reject();
}

void TfmSimulation::ToggleCharts()
{
    if (m_charts->isHidden()) {
        m_btShow->setText(QStringLiteral("Hide <<<"));
        m_charts->show();
        resize(width(), m_fullHeight);
    } else {
        m_btShow->setText(QStringLiteral("Show >>>"));
        m_fullHeight = height();
        m_charts->hide();
        layout()->activate();
        resize(width(), minimumSizeHint().height());
    }
}

void TfmSimulation::ShowHelp()
{
    if (!m_help)
        m_help = new THelpWindow(this);
    m_help->ShowTopic(HelpTopic);
}

void TfmSimulation::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        ShowHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- graphs ----------------------------------------------------------------------------------------

void TfmSimulation::AddGraph()
{
    const QString object = m_objects->currentText();
    const QString property = m_properties->currentText();
    if (object.isEmpty() || property.isEmpty() ||
        !dynamic_cast<IQRVVariables*>(m_designer.FindObject(object)))
        return;
    const QString graph = TGraphName::Compose(object, property);
    TSimChart* chart = addChart(graph);
    m_designer.Edits().Change(QStringLiteral("Add Graph ") + graph, {},
                              [&] { m_designer.Graphs.append(graph); });
    m_charts->setCurrentWidget(chart);
    if (m_charts->isHidden())
        ToggleCharts(); // a new graph is shown at once
}

TSimChart* TfmSimulation::addChart(const QString& graph)
{
    auto* chart = new TSimChart(graph, m_charts);
    m_charts->addTab(chart, graph);
    m_charts->setCurrentWidget(chart);
    connect(chart, &TSimChart::SaveRequested, this, [this, chart] { chartAction(chart, true); });
    connect(chart, &TSimChart::CopyRequested, this, [this, chart] { chartAction(chart, false); });
    connect(chart, &TSimChart::CloseRequested, this, [this, chart] { closeChart(chart); });
    return chart;
}

std::vector<TSimChart*> TfmSimulation::Charts() const
{
    std::vector<TSimChart*> charts;
    for (int i = 0; i < m_charts->count(); ++i)
        if (auto* c = qobject_cast<TSimChart*>(m_charts->widget(i)))
            charts.push_back(c);
    return charts;
}

void TfmSimulation::closeChart(TSimChart* chart)
{
    const QString graph = chart->Graph();
    m_designer.Edits().Change(QStringLiteral("Remove Graph ") + graph, {},
                              [&] { m_designer.Graphs.removeOne(graph); });
    m_charts->removeTab(m_charts->indexOf(chart));
    chart->hide();
    chart->deleteLater();
}

void TfmSimulation::chartAction(TSimChart* chart, bool save)
{
    const bool wasStopped = m_stopped;
    m_stopped = true;
    if (save) {
        QString name = AutoFileName;
        if (name.isNull())
            name = QFileDialog::getSaveFileName(this, QStringLiteral("Save picture"), QString(),
                                                ChartPictureFilter());
        if (!name.isEmpty()) {
            const QString error = SaveChartPicture(*chart->Chart(), name);
            if (!error.isEmpty())
                message(error);
        }
    } else {
        CopyChartToClipboard(*chart->Chart());
    }
    m_stopped = wasStopped;
    if (!m_stopped)
        requestStep();
}

void TfmSimulation::plot()
{
    for (TSimChart* chart : Charts()) {
        double value = 0;
        if (PlotValue(m_designer, chart->Graph(), m_engine.ModelTime(), value))
            chart->AddPoint(m_engine.ModelTime(), value);
    }
}

// ---- steps ---------------------------------------------------------------------------------------------

bool TfmSimulation::event(QEvent* event)
{
    if (event->type() == kStepEvent) {
        runStep();
        return true;
    }
    return QDialog::event(event);
}

void TfmSimulation::requestStep()
{
    // One chain of steps at a time: a step under way posts its own successor.
    if (m_stepQueued || m_inStep)
        return;
    m_stepQueued = true;
    QCoreApplication::postEvent(this, new QEvent(kStepEvent));
}

void TfmSimulation::runStep()
{
    m_stepQueued = false;
    if (m_stopped || m_closing)
        return;
    m_inStep = true;
    try {
        plot();
        m_engine.BeginStep();
        m_designer.Update();
        animate(m_engine.AnimatedArcs());
        if (m_closing) {
            m_inStep = false;
            return;
        }
        m_engine.BeginOutputs();
        animate(m_engine.AnimatedArcs());
        if (m_closing) {
            m_inStep = false;
            return;
        }
        // STOP during the animation shortened it; the firing still ends,
        // so that no tokens are lost.
        m_engine.EndStep();
    } catch (const ESimError& e) {
        m_inStep = false;
        m_restartPending = false;
        m_stopped = true;
        setRunning(false);
        m_designer.Update();
        message(e.Message);
        return;
    }
    m_designer.Update();
    if (!m_stopped) {
        // The model step in real time, at most MaxWaitMs.
        const double ms = std::min(std::round(m_engine.TimeStep() * 1000), static_cast<double>(MaxWaitMs));
        wait(static_cast<int>(ms));
    }
    m_inStep = false;
    if (m_closing)
        return;
    showTime();
    if (m_restartPending) {
        m_restartPending = false;
        Restart();
        return;
    }
    if (!m_stopped)
        requestStep();
    m_designer.Update();
}

double TfmSimulation::AnimationSpeed(int position)
{
    const double s = (100 - position) / 300.0;
    return s < 0.001 ? 0.02 : s;
}

int TfmSimulation::FramesPerPhase(int position)
{
    const double s = AnimationSpeed(position);
    int frames = 0;
    for (double p = 0; p < 1 - 1e-9; p += s)
        ++frames;
    return frames;
}

void TfmSimulation::animate(const std::vector<TclsLink*>& arcs)
{
    if (arcs.empty())
        return;
    m_lastFrames = 0;
    for (double p = 0; p < 1 - 1e-9 && !m_stopped && !m_closing; p += AnimationSpeed(m_speed->value())) {
        for (TclsLink* arc : arcs)
            arc->SetTokenPosition(p);
        m_designer.Update();
        ++m_lastFrames;
        wait(FrameMs);
    }
    for (TclsLink* arc : arcs)
        arc->SetTokenPosition(0);
}

void TfmSimulation::wait(int ms)
{
    QCoreApplication::processEvents();
    if (ms <= 0 || m_stopped || m_closing)
        return;
    QEventLoop loop;
    m_waiting = &loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    m_waiting = nullptr;
}

void TfmSimulation::showTime()
{
    m_timeLabel->setText(TimeCaption(m_engine.ModelTime()));
}

QString TfmSimulation::TimeCaption(double time)
{
    return QStringLiteral("Time: ") + QString::asprintf("%05.2f", time);
}

void TfmSimulation::message(const QString& text)
{
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox::critical(this, windowTitle(), text);
}
