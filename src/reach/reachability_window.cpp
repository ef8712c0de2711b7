#include "reach/reachability_window.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "model/arcs.h"
#include "model/designer.h"
#include "model/edits.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/transitions.h"
#include "reach/current_graph.h"

// ---- the virtual lists -------------------------------------------------------------------

// The graph list: one row per marking, its texts made when the view asks.
class TGraphListModel : public QAbstractTableModel
{
public:
    TGraphListModel(const TReachEngine& engine, QObject* parent)
        : QAbstractTableModel(parent), m_engine(engine)
    {
    }

    void Reset(int rows, const QString& valuesHeader)
    {
        beginResetModel();
        m_rows = rows;
        m_valuesHeader = valuesHeader;
        m_cachedRow = -1;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows)
            return QVariant();
        if (role == Qt::DisplayRole && index.column() < 3)
            return row(index.row()).value(index.column());
        if (role == Qt::TextAlignmentRole && index.column() == 1)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        switch (section) {
        case 0:
            return QStringLiteral("Marking");
        case 1:
            return m_valuesHeader;
        case 2:
            return QStringLiteral("Arcs");
        default:
            return QString();
        }
    }

private:
    // A view asks for the cells of one row one after the other.
    const QStringList& row(int r) const
    {
        if (r != m_cachedRow) {
            m_cached = m_engine.GraphRow(r);
            m_cachedRow = r;
        }
        return m_cached;
    }

    const TReachEngine& m_engine;
    int m_rows = 0;
    QString m_valuesHeader;
    mutable int m_cachedRow = -1;
    mutable QStringList m_cached;
};

// The balance list: the marking, its enabled continuous transitions and the
// balances of the continuous places.
class TBalanceListModel : public QAbstractTableModel
{
public:
    TBalanceListModel(const TReachEngine& engine, QObject* parent)
        : QAbstractTableModel(parent), m_engine(engine)
    {
    }

    void Reset(int rows, const QStringList& places)
    {
        beginResetModel();
        m_rows = rows;
        m_places = places;
        m_cachedRow = -1;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 2 + static_cast<int>(m_places.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows)
            return QVariant();
        if (role == Qt::DisplayRole)
            return row(index.row()).value(index.column());
        if (role == Qt::TextAlignmentRole && index.column() >= 2)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        if (section == 0)
            return QStringLiteral("#");
        return section == 1 ? QString() : m_places.value(section - 2);
    }

private:
    const QStringList& row(int r) const
    {
        if (r != m_cachedRow) {
            m_cached = m_engine.BalanceRow(r);
            m_cachedRow = r;
        }
        return m_cached;
    }

    const TReachEngine& m_engine;
    int m_rows = 0;
    QStringList m_places;
    mutable int m_cachedRow = -1;
    mutable QStringList m_cached;
};

// ---- progress ----------------------------------------------------------------------------

// Shows the engine's progress and status, and lets the window's events run
// now and then, so that Stop stays live. The engine pumps once per marking:
// events run at most every 30 ms, which costs a marking next to nothing.
class TfmAnalyze_1::TProgress : public IQRVProgress
{
public:
    explicit TProgress(TfmAnalyze_1& window) : m_window(window) {}
    void Progress(int percent) override { m_window.m_gauge->setValue(percent); }
    void Status(const QString& text) override { m_window.SetStatus(text); }
    void Message(const QString& text) override { m_window.message(text); }
    void Pump() override
    {
        if (m_clock.isValid() && m_clock.elapsed() < 30)
            return;
        QCoreApplication::processEvents();
        m_clock.start();
    }
    bool StopRequested() const override { return m_window.m_stop; }

private:
    TfmAnalyze_1& m_window;
    QElapsedTimer m_clock;
};

// ---- construction ----------------------------------------------------------------------

namespace {

const QString kUnknownValue = QStringLiteral("--------------");

QPushButton* makeButton(QWidget* parent, const QString& caption, const char* name)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QCheckBox* makeCheck(QWidget* parent, const QString& caption, const char* name, bool checked)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setChecked(checked);
    return c;
}

QLabel* makeLabel(QWidget* parent, const QString& caption, const char* name)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QTableView* makeList(QWidget* parent, QAbstractItemModel* model, const char* name)
{
    auto* v = new QTableView(parent);
    v->setObjectName(QString::fromLatin1(name));
    v->setModel(model);
    v->setShowGrid(true);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setWordWrap(false);
    v->verticalHeader()->hide();
    // Rows of one height: a view of a million markings needs no measuring.
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->setDefaultSectionSize(v->fontMetrics().height() + 4);
    v->horizontalHeader()->setHighlightSections(false);
    return v;
}

} // namespace

TfmAnalyze_1::TfmAnalyze_1(TQRVDesigner& designer, QWidget* parent) : QDialog(parent), m_designer(designer)
{
    setObjectName(QStringLiteral("fmAnalyze_1"));
    setWindowTitle(QStringLiteral("Reachability Graph"));
    resize(620, 520);
    m_engine.SetNet(&m_designer);
    m_graphModel = new TGraphListModel(m_engine, this);
    m_balanceModel = new TBalanceListModel(m_engine, this);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("pcPages"));
    m_pages->addTab(buildControlsPage(), QStringLiteral("Controls"));
    m_pages->addTab(buildGraphPage(), QStringLiteral("Reachability Graph"));
    m_balancePage = buildBalancePage();
    m_pages->addTab(m_balancePage, QStringLiteral("Balance"));
    m_pages->addTab(buildStatsPage(), QStringLiteral("Stats"));
    m_pages->setTabVisible(pgBalance, false);

    m_btClose = makeButton(this, QStringLiteral("Close"), "btClose");
    m_btSave = makeButton(this, QStringLiteral("Save Graph"), "btSave");
    m_btSave->setEnabled(false);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_btClose);
    bottom->addWidget(m_btSave);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(bottom);

    connect(m_btClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btSave, &QPushButton::clicked, this, &TfmAnalyze_1::SaveGraph);
}

TfmAnalyze_1::~TfmAnalyze_1()
{
    // The lists must not read the store once it is gone.
    m_graphModel->Reset(0, QString());
    m_balanceModel->Reset(0, QStringList());
}

QWidget* TfmAnalyze_1::buildControlsPage()
{
    auto* page = new QWidget(this);

    auto* settings = new QGroupBox(QStringLiteral("Analysis settings"), page);
    settings->setObjectName(QStringLiteral("gbSettings"));
    auto* algorithm = new QGroupBox(QStringLiteral("Construction algorithm"), settings);
    algorithm->setObjectName(QStringLiteral("rgAlgorithm"));
    m_classical = new QRadioButton(QStringLiteral("Classical"), algorithm);
    m_classical->setObjectName(QStringLiteral("rbClassical"));
    m_tenzorial = new QRadioButton(QStringLiteral("Tenzorial"), algorithm);
    m_tenzorial->setObjectName(QStringLiteral("rbTenzorial"));
    m_classical->setChecked(true);
    auto* algorithmLayout = new QVBoxLayout(algorithm);
    algorithmLayout->addWidget(m_classical);
    algorithmLayout->addWidget(m_tenzorial);

    m_limit = new QSpinBox(settings);
    m_limit->setObjectName(QStringLiteral("seLimit"));
    m_limit->setRange(1, 999999);
    m_limit->setValue(50000);
    auto* limitLabel = makeLabel(settings, QStringLiteral("Markings' limit"), "lbLimit");
    limitLabel->setBuddy(m_limit);

    m_reset = makeCheck(settings, QStringLiteral("    Reset initial marking on completion"), "cbReset", true);
    m_unbounded =
        makeCheck(settings, QStringLiteral("    Enable unbounded net control "), "cbUnbounded", true);
    m_priority = makeCheck(settings, QStringLiteral("    Enable Priority Mode"), "cbPriority", false);
    m_removeUnsteady =
        makeCheck(settings, QStringLiteral("    Remove unsteady  markings"), "cbRemoveUnsteady", false);
    m_balance = makeCheck(settings, QStringLiteral("    Balance calculation"), "cbBalance", false);

    m_groupSettings = makeCheck(settings, QStringLiteral("Group settings"), "cbGroupSettings", false);
    m_selectGroup = makeLabel(settings, QStringLiteral("Select group"), "lbSelectGroup");
    m_group = new QComboBox(settings);
    m_group->setObjectName(QStringLiteral("cbGroup"));
    m_group->setMinimumContentsLength(12);
    m_selectGroup->setBuddy(m_group);
    m_selectGroup->setEnabled(false);
    m_group->setEnabled(false);

    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(limitLabel);
    limitRow->addWidget(m_limit);
    limitRow->addStretch(1);
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(m_groupSettings);
    groupRow->addSpacing(12);
    groupRow->addWidget(m_selectGroup);
    groupRow->addWidget(m_group, 1);
    auto* checks = new QVBoxLayout;
    checks->addLayout(limitRow);
    for (QCheckBox* c : {m_reset, m_unbounded, m_priority, m_removeUnsteady, m_balance})
        checks->addWidget(c);
    checks->addStretch(1);
    auto* settingsColumns = new QHBoxLayout;
    settingsColumns->addWidget(algorithm, 0, Qt::AlignTop);
    settingsColumns->addLayout(checks, 1);
    auto* settingsLayout = new QVBoxLayout(settings);
    settingsLayout->addLayout(settingsColumns);
    settingsLayout->addLayout(groupRow);

    auto* controls = new QGroupBox(QStringLiteral("Controls"), page);
    controls->setObjectName(QStringLiteral("gbControls"));
    m_btBuild = makeButton(controls, QStringLiteral("Build graph"), "btBuild");
    m_btAnalyse = makeButton(controls, QStringLiteral("Behavioural analysis"), "btAnalyse");
    m_btStop = makeButton(controls, QStringLiteral("Stop"), "btStop");
    m_btAnalyse->setEnabled(false);
    m_btStop->setEnabled(false);
    auto* now = makeLabel(controls, QStringLiteral("Now :"), "lbNow");
    m_status = makeLabel(controls, QStringLiteral("idle"), "lbStatus");
    m_gauge = new QProgressBar(controls);
    m_gauge->setObjectName(QStringLiteral("pbGauge"));
    m_gauge->setRange(0, 100);
    m_gauge->setValue(0);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_btBuild, m_btAnalyse, m_btStop})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(now);
    statusRow->addWidget(m_status, 1);
    auto* controlsLayout = new QVBoxLayout(controls);
    controlsLayout->addLayout(buttons);
    controlsLayout->addLayout(statusRow);
    controlsLayout->addWidget(m_gauge);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(settings);
    layout->addWidget(controls);
    layout->addStretch(1);

    connect(m_removeUnsteady, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_priority->setChecked(true);
    });
    connect(m_balance, &QCheckBox::toggled, this, &TfmAnalyze_1::showBalancePage);
    connect(m_groupSettings, &QCheckBox::toggled, this, &TfmAnalyze_1::groupSettingsToggled);
    connect(m_group, &QComboBox::textActivated, this, &TfmAnalyze_1::selectGroup);
    connect(m_group, &QComboBox::currentTextChanged, this, &TfmAnalyze_1::selectGroup);
    connect(m_btBuild, &QPushButton::clicked, this, &TfmAnalyze_1::BuildGraph);
    connect(m_btAnalyse, &QPushButton::clicked, this, &TfmAnalyze_1::BehaviouralAnalysis);
    connect(m_btStop, &QPushButton::clicked, this, &TfmAnalyze_1::Stop);
    return page;
}

QWidget* TfmAnalyze_1::buildGraphPage()
{
    auto* page = new QWidget(this);
    m_graphList = makeList(page, m_graphModel, "lvGraph");
    QHeaderView* header = m_graphList->horizontalHeader();
    header->setStretchLastSection(false);
    header->resizeSection(1, 80);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    m_graphList->setColumnHidden(3, true);

    m_btBack = makeButton(page, QStringLiteral("<<<"), "btBack");
    m_btBack->setEnabled(false);
    m_btForward = makeButton(page, QStringLiteral(">>>"), "btForward");
    m_transitions = new QComboBox(page);
    m_transitions->setObjectName(QStringLiteral("cbTransitions"));
    m_transitions->setMinimumContentsLength(10);
    m_elapsed = makeLabel(page, QString(), "lbElapsed");
    auto* row = new QHBoxLayout;
    row->addWidget(m_btBack);
    row->addWidget(m_btForward);
    row->addWidget(m_transitions);
    row->addStretch(1);
    row->addWidget(m_elapsed);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_graphList, 1);
    layout->addLayout(row);

    connect(m_graphList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { rowSelected(current.isValid() ? current.row() : -1); });
    connect(m_btForward, &QPushButton::clicked, this, &TfmAnalyze_1::StepForward);
    return page;
}

QWidget* TfmAnalyze_1::buildBalancePage()
{
    auto* page = new QWidget(this);
    m_balanceList = makeList(page, m_balanceModel, "lvBalance");
    m_balanceList->horizontalHeader()->setDefaultSectionSize(30);
    m_balanceList->horizontalHeader()->setMinimumSectionSize(20);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_balanceList);
    return page;
}

QWidget* TfmAnalyze_1::buildStatsPage()
{
    auto* page = new QWidget(this);

    auto* statistic = new QGroupBox(QStringLiteral(" Net-model Statistic "), page);
    statistic->setObjectName(QStringLiteral("gbStatistic"));
    auto* grid = new QGridLayout(statistic);
    auto addValue = [&](const QString& caption, const char* name) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(caption, statistic), row, 0);
        QLabel* value = makeLabel(statistic, kUnknownValue, name);
        grid->addWidget(value, row, 1);
        return value;
    };
    m_totalPositions = addValue(QStringLiteral("Total positions"), "lbTotalPositions");
    m_totalTransitions = addValue(QStringLiteral("Total transitions"), "lbTotalTransitions");
    m_totalLinks = addValue(QStringLiteral("Total links"), "lbTotalLinks");
    m_totalMarkers = addValue(QStringLiteral("Total markers"), "lbTotalMarkers");
    m_totalMarkings = addValue(QStringLiteral("Total markings found"), "lbTotalMarkings");
    m_steadyMarkings = addValue(QStringLiteral("Steady markings found"), "lbSteadyMarkings");
    m_warning = makeLabel(statistic, QStringLiteral("Warning:"), "lbWarning");
    m_limitReached = makeLabel(statistic, QStringLiteral("Markings limit reached!"), "lbLimitReached");
    QPalette red = m_warning->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_warning->setPalette(red);
    m_limitReached->setPalette(red);
    m_warning->hide();
    m_limitReached->hide();
    const int warningRow = grid->rowCount();
    grid->addWidget(m_warning, warningRow, 0);
    grid->addWidget(m_limitReached, warningRow, 1);
    grid->setColumnStretch(1, 1);

    auto* behaviour = new QGroupBox(QStringLiteral(" Behavioural properties : "), page);
    behaviour->setObjectName(QStringLiteral("gbBehaviour"));
    m_memo = new QPlainTextEdit(behaviour);
    m_memo->setObjectName(QStringLiteral("meBehaviour"));
    m_memo->setReadOnly(true);
    auto* behaviourLayout = new QVBoxLayout(behaviour);
    behaviourLayout->addWidget(m_memo);

    auto* counter = new QGroupBox(QStringLiteral(" Transition counter "), page);
    counter->setObjectName(QStringLiteral("gbCounter"));
    m_counters = new QTreeWidget(counter);
    m_counters->setObjectName(QStringLiteral("lvCounter"));
    m_counters->setHeaderLabels({QStringLiteral("Transition"), QStringLiteral("Counter")});
    m_counters->setRootIsDecorated(false);
    m_counters->setUniformRowHeights(true);
    auto* counterLayout = new QVBoxLayout(counter);
    counterLayout->addWidget(m_counters);

    auto* right = new QVBoxLayout;
    right->addWidget(behaviour, 1);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(statistic);
    left->addWidget(counter, 1);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(columns);
    return page;
}

// ---- settings ------------------------------------------------------------------------------

TReachSettings TfmAnalyze_1::Settings() const
{
    TReachSettings s = m_engine.Settings;
    s.Limit = m_limit->value();
    s.ResetInitialMarking = m_reset->isChecked();
    s.UnboundedControl = m_unbounded->isChecked();
    s.PriorityMode = m_priority->isChecked();
    s.RemoveUnsteady = m_removeUnsteady->isChecked();
    s.BalanceCalculation = m_balance->isChecked();
    return s;
}

void TfmAnalyze_1::ApplySettings(const TReachSettings& settings, bool tensorial)
{
    m_limit->setValue(static_cast<int>(std::clamp<qint64>(settings.Limit, 1, 999999)));
    m_reset->setChecked(settings.ResetInitialMarking);
    m_unbounded->setChecked(settings.UnboundedControl);
    m_priority->setChecked(settings.PriorityMode);
    m_removeUnsteady->setChecked(settings.RemoveUnsteady);
    m_balance->setChecked(settings.BalanceCalculation);
    (tensorial ? m_tenzorial : m_classical)->setChecked(true);
}

void TfmAnalyze_1::SetStatus(const QString& text)
{
    m_status->setText(text);
}

void TfmAnalyze_1::setIdle(bool idle)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_reset, m_unbounded, m_priority, m_removeUnsteady,
                                                      m_balance, m_groupSettings, m_limit, m_classical,
                                                      m_tenzorial, m_btClose, m_btBuild})
        w->setEnabled(idle);
    // Only a complete graph is saved or analysed.
    m_btSave->setEnabled(idle && m_built);
    m_btAnalyse->setEnabled(idle && m_built);
    m_btStop->setEnabled(!idle);
}

void TfmAnalyze_1::showBalancePage(bool show)
{
    m_pages->setTabVisible(pgBalance, show);
}

// ---- groups ----------------------------------------------------------------------------------

void TfmAnalyze_1::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    m_pages->setCurrentIndex(pgControls);
    fillGroups();
}

void TfmAnalyze_1::fillGroups()
{
    QSet<QString> seen;
    m_groups.clear();
    for (const TQRVObject* o : m_designer.ObjectList()) {
        const QString group = o->Group().toLower();
        if (!group.isEmpty() && !seen.contains(group)) {
            seen.insert(group);
            m_groups << group;
        }
    }
    m_groups.sort();
    m_fillingGroups = true;
    m_group->clear();
    m_group->addItems(m_groups);
    m_group->setCurrentIndex(-1);
    m_fillingGroups = false;
}

void TfmAnalyze_1::groupSettingsToggled(bool on)
{
    m_selectGroup->setEnabled(on);
    m_group->setEnabled(on);
    if (!on) {
        m_designer.ClearSelection();
        m_designer.Update();
    }
}

void TfmAnalyze_1::selectGroup(const QString& group)
{
    if (m_fillingGroups || !m_groupSettings->isChecked() || group.isEmpty())
        return;
    QList<TQRVObject*> members;
    for (TQRVObject* o : m_designer.ObjectList())
        if (o->Group().toLower() == group)
            members << o;
    m_designer.SetSelection(members);
    m_designer.Modified();
}

// ---- building ------------------------------------------------------------------------------

void TfmAnalyze_1::clearResults()
{
    m_graphModel->Reset(0, QString());
    m_balanceModel->Reset(0, QStringList());
    m_transitions->clear();
}

void TfmAnalyze_1::BuildGraph()
{
    if (m_busy || m_animating)
        return;
    if (m_netMarking.empty())
        for (TQRVObject* o : m_designer.ObjectList())
            if (auto* place = qobject_cast<TclsNode*>(o))
                m_netMarking.emplace_back(place, place->Value());
    QElapsedTimer clock;
    clock.start();
    m_busy = true;
    m_stop = false;
    m_built = false;
    setIdle(false);
    m_pages->setCurrentIndex(pgControls);
    // The lists forget the old store before the build replaces it.
    clearResults();
    const bool tensorial = m_tenzorial->isChecked();
    if (tensorial) {
        // A tensorial graph has no priorities and keeps its unsteady markings.
        m_priority->setChecked(false);
        m_removeUnsteady->setChecked(false);
    }
    m_engine.Settings = Settings();

    TProgress progress(*this);
    m_engine.SetProgress(&progress);
    const bool built = tensorial ? m_engine.BuildTensorial() : m_engine.BuildClassical();
    const qint64 elapsed = built ? m_engine.ElapsedMs() : clock.elapsed();
    m_engine.SetProgress(nullptr);

    m_elapsed->setText(TReachEngine::FormatElapsed(elapsed));
    showStatistics();
    if (built) {
        showResults();
        if (!m_engine.RemovalComplete()) {
            // A partly reduced graph is shown, but it is no graph of the
            // net: it is neither written nor analysed.
            SetStatus(QString::fromLatin1(ReachTexts::Aborted));
            m_gauge->setValue(0);
        } else {
            const QString error = m_engine.WriteGraphFile(CurrentGraphFile());
            if (error.isEmpty()) {
                m_built = true;
                m_gauge->setValue(100);
            } else {
                message(error, true);
            }
        }
    } else if (m_engine.Stopped()) {
        SetStatus(QString::fromLatin1(ReachTexts::Aborted));
        m_gauge->setValue(0);
    }
    m_designer.SetUpdating(false);
    m_busy = false;
    setIdle(true);
    if (m_built)
        m_pages->setCurrentIndex(pgGraph);
    if (m_closePending)
        reject();
}

void TfmAnalyze_1::showStatistics()
{
    if (!m_engine.Store())
        return;
    const TNetStatistics& s = m_engine.Statistics();
    m_totalPositions->setText(QString::number(s.Places));
    m_totalTransitions->setText(QString::number(s.Transitions));
    m_totalLinks->setText(QString::number(s.Links));
    m_totalMarkers->setText(FormatGeneral(s.Markers));
    m_totalMarkings->setText(QString::number(m_engine.TotalMarkings()));
    const bool limit = m_engine.LimitReached() && m_engine.TotalMarkings() >= m_engine.Settings.Limit;
    m_warning->setVisible(limit);
    m_limitReached->setVisible(limit);
}

void TfmAnalyze_1::showResults()
{
    const TMarkList& store = *m_engine.Store();
    m_steadyMarkings->setText(m_engine.Settings.RemoveUnsteady ? QString::number(store.Count())
                                                               : QStringLiteral("n/a"));
    showBalancePage(m_balance->isChecked());

    m_graphModel->Reset(store.Count(), store.GetPositionsText());
    const QStringList places = m_engine.BalanceColumns();
    m_balanceModel->Reset(m_engine.Settings.BalanceCalculation ? store.Count() : 0, places);
    QHeaderView* balanceHeader = m_balanceList->horizontalHeader();
    balanceHeader->resizeSection(0, 30);
    balanceHeader->resizeSection(1, 70);
    for (int i = 0; i < places.size(); ++i)
        balanceHeader->resizeSection(2 + i, 30);
    SelectMarking(0);
}

void TfmAnalyze_1::Stop()
{
    m_stop = true;
}

void TfmAnalyze_1::BehaviouralAnalysis()
{
    if (m_busy || m_animating || !m_built)
        return;
    m_busy = true;
    m_stop = false;
    setIdle(false);
    m_memo->clear();
    m_counters->clear();

    TProgress progress(*this);
    m_engine.SetProgress(&progress);
    const TBehaviour b = m_engine.AnalyseBehaviour();
    m_engine.SetProgress(nullptr);

    if (b.Complete) {
        m_memo->setPlainText(b.Lines.join(QLatin1Char('\n')));
        QList<QTreeWidgetItem*> rows;
        for (const auto& c : b.Counters)
            rows << new QTreeWidgetItem(QStringList{c.first, QString::number(c.second)});
        m_counters->addTopLevelItems(rows);
        SetStatus(QStringLiteral(" Analyze COMPLETE "));
        m_gauge->setValue(100);
    } else {
        // Stopped: no verdicts.
        SetStatus(QString::fromLatin1(ReachTexts::Aborted));
        m_gauge->setValue(0);
    }
    m_busy = false;
    setIdle(true);
    m_pages->setCurrentIndex(pgStats);
    if (m_closePending)
        reject();
}

void TfmAnalyze_1::SaveGraph()
{
    if (m_busy || m_animating || !m_built)
        return;
    QString name = AutoFileName;
    AutoFileName.clear();
    if (name.isEmpty())
        name = QFileDialog::getSaveFileName(this, QStringLiteral("Save Graph"), QString(),
                                            QStringLiteral("graph files (*.rag);;all files (*)"));
    if (name.isEmpty())
        return;
    const QString error = m_engine.WriteGraphFile(name);
    if (!error.isEmpty())
        message(QStringLiteral("Error saving graph"), true, error);
}

// ---- the graph on the drawing -------------------------------------------------------------

int TfmAnalyze_1::SelectedMarking() const
{
    const QModelIndex current = m_graphList->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TfmAnalyze_1::SelectMarking(int mark)
{
    if (mark < 0 || mark >= m_graphModel->rowCount())
        return;
    const QModelIndex index = m_graphModel->index(mark, 0);
    if (m_graphList->currentIndex().row() == mark) {
        rowSelected(mark); // the same row again: write it all the same
    } else {
        m_graphList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
    }
    m_graphList->scrollTo(index);
}

void TfmAnalyze_1::rowSelected(int mark)
{
    const TMarkList* store = m_engine.Store();
    if (!store || mark < 0 || mark >= m_graphModel->rowCount())
        return;
    m_transitions->clear();
    QStringList names;
    for (int k = 0; k < store->ArcCount(mark); ++k)
        names << store->EdgeName(mark, k).toUpper();
    m_transitions->addItems(names);
    m_transitions->setEnabled(names.size() != 1);

    m_designer.SetUpdating(true);
    m_engine.ApplyMarking(mark);
    m_designer.SetUpdating(false);
    m_designer.Update();
}

void TfmAnalyze_1::StepForward()
{
    const TMarkList* store = m_engine.Store();
    const int mark = SelectedMarking();
    const int k = m_transitions->currentIndex();
    if (m_busy || m_animating || !store || mark < 0 || mark >= m_graphModel->rowCount() || k < 0 ||
        k >= store->ArcCount(mark))
        return;

    // The arcs of the transitions that the chosen name stands for.
    const QString chosen = m_transitions->currentText();
    QList<TclsLink*> inputs;
    QList<TclsLink*> outputs;
    for (int a = 0; a < store->ArcCount(mark); ++a) {
        const QString name = store->EdgeName(mark, a).section(QLatin1Char(','), 0, 0);
        auto* t = qobject_cast<TclsTrans*>(m_designer.FindObject(name));
        if (!t || t->Name().toUpper() != chosen)
            continue;
        for (TclsLink* arc : t->AttachedArcs) {
            if (!arc->IsConnected())
                continue;
            QList<TclsLink*>& side = arc->DestObject() == t ? inputs : outputs;
            if (!side.contains(arc))
                side << arc;
        }
    }
    const int target = store->Arc(mark, k).Target;

    m_animating = true;
    m_btForward->setEnabled(false);
    m_transitions->setEnabled(false);
    animate(inputs);
    animate(outputs);
    m_animating = false;
    m_btForward->setEnabled(true);
    if (m_closePending) {
        reject();
        return;
    }
    SelectMarking(target);
    m_graphList->setFocus();
}

void TfmAnalyze_1::animate(const QList<TclsLink*>& arcs)
{
    if (arcs.isEmpty())
        return;
    for (int step = 0; step <= 10; ++step) {
        for (TclsLink* arc : arcs)
            arc->SetTokenPosition(step / 10.0);
        m_designer.Update();
        pause(AnimationPauseMs);
    }
    for (TclsLink* arc : arcs)
        arc->SetTokenPosition(0);
    m_designer.Update();
}

void TfmAnalyze_1::pause(int ms)
{
    QCoreApplication::processEvents();
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---- messages and closing -------------------------------------------------------------------

void TfmAnalyze_1::message(const QString& text, bool error, const QString& detail)
{
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, windowTitle(), text,
                    QMessageBox::Ok, this);
    box.setInformativeText(detail);
    box.exec();
}

void TfmAnalyze_1::done(int result)
{
    if (m_busy || m_animating) {
        // Closing waits until the computation has seen the stop request.
        m_stop = true;
        m_closePending = true;
        return;
    }
    m_closePending = false;
    if (m_reset->isChecked() && m_engine.Store()) {
        m_designer.SetUpdating(true);
        m_engine.ApplyMarking(0);
        m_designer.SetUpdating(false);
    }
    // The marking left in the net is one step of the edit history.
    QList<QPair<TclsNode*, double>> previous;
    for (const auto& [place, value] : m_netMarking)
        if (place)
            previous.append({place.data(), value});
    m_designer.Edits().LeaveMarking(QStringLiteral("Marking of the Reachability Graph"), previous);
    QDialog::done(result);
}
