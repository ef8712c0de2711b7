#include "structural/invariants_window.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include "model/numbers.h"
#include "model/progress.h"
#include "structural/imf_file.h"

// Shows one matrix, read on demand: labels in the headers, cells in general form.
class TInvarGridModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetMatrix(const T2DMatrix* matrix)
    {
        beginResetModel();
        m_matrix = matrix;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() || !m_matrix ? 0 : m_matrix->RowCount();
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() || !m_matrix ? 0 : m_matrix->ColCount();
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!m_matrix || !index.isValid())
            return QVariant();
        if (role == Qt::DisplayRole)
            return FormatGeneral(m_matrix->Get(index.row(), index.column()));
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (!m_matrix || role != Qt::DisplayRole)
            return QVariant();
        const QStringList& labels = orientation == Qt::Horizontal ? m_matrix->ColLabels : m_matrix->RowLabels;
        return labels.value(section + 1);
    }

private:
    const T2DMatrix* m_matrix = nullptr;
};

// Lets the window's events run during a computation, shows its progress and
// passes the Stop button's request on.
class TfmInvar::TProgress : public IQRVProgress
{
public:
    explicit TProgress(TfmInvar& window) : m_window(window) {}
    void Progress(int percent) override { m_window.m_progress->setValue(percent); }
    void Status(const QString& text) override { m_window.m_status->setText(text); }
    void Message(const QString& text) override { m_window.message(text, false); }
    void Pump() override { QCoreApplication::processEvents(); }
    bool StopRequested() const override { return m_window.m_stop; }

private:
    TfmInvar& m_window;
};

namespace {
const char* const kTabCaptions[] = {"P Incidence matrix", "S-b-S matrix", "P Invariant matrix",
                                    "T Incidence matrix", "S-b-S matrix", "T Invariant matrix"};
} // namespace

TfmInvar::TfmInvar(TQRVDesigner& designer, QWidget* parent) : QDialog(parent), m_designer(designer)
{
    setObjectName(QStringLiteral("fmInvar"));
    setWindowTitle(QStringLiteral("Structural Analysis"));
    setMinimumWidth(540);
    resize(780, 480); // wide enough for all six tabs

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("tcMatrices"));
    for (const char* caption : kTabCaptions)
        m_tabs->addTab(QString::fromLatin1(caption));

    m_model = new TInvarGridModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("sgMatrix"));
    m_grid->setModel(m_model);
    m_grid->horizontalHeader()->setDefaultSectionSize(40);
    m_grid->horizontalHeader()->setMinimumSectionSize(20);
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    m_grid->verticalHeader()->setMinimumSectionSize(20);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_notFound = new QLabel(InvariantsNotFoundText, this);
    m_notFound->setObjectName(QStringLiteral("lbNotFound"));
    m_notFound->setAlignment(Qt::AlignCenter);
    QFont bold = m_notFound->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.5);
    m_notFound->setFont(bold);
    QPalette red = m_notFound->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_notFound->setPalette(red);

    m_pages = new QStackedWidget(this);
    m_pages->addWidget(m_grid);
    m_pages->addWidget(m_notFound);

    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("meVerdicts"));
    m_memo->setReadOnly(true);
    m_memo->setMaximumHeight(64);
    m_memo->hide();

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lbStatus"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbProgress"));
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(120);
    m_progress->hide();

    auto button = [this](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    m_btCalculate = button(QStringLiteral("Calculate"), "btCalculate");
    m_btStep = button(QStringLiteral("Step-by-step"), "btStep");
    m_btStop = button(QStringLiteral("Stop"), "btStop");
    m_btSave = button(QStringLiteral("Save to file"), "btSave");
    m_btClose = button(QStringLiteral("Close"), "btClose");
    m_btStop->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_progress);
    for (QPushButton* b : {m_btCalculate, m_btStep, m_btStop, m_btSave, m_btClose})
        buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_pages, 1);
    layout->addWidget(m_memo);
    layout->addLayout(buttons);

    connect(m_tabs, &QTabBar::currentChanged, this, [this] { showTab(); });
    connect(m_btCalculate, &QPushButton::clicked, this, &TfmInvar::Calculate);
    connect(m_btStep, &QPushButton::clicked, this, &TfmInvar::StepByStep);
    connect(m_btStop, &QPushButton::clicked, this, &TfmInvar::Stop);
    connect(m_btSave, &QPushButton::clicked, this, &TfmInvar::SaveToFile);
    connect(m_btClose, &QPushButton::clicked, this, &QWidget::close);
}

TfmInvar::~TfmInvar()
{
    // The grid must not read the matrices once they are gone.
    m_model->SetMatrix(nullptr);
}

bool TfmInvar::BuildIncidence()
{
    return BuildIncidence(ReadNetStructure(m_designer));
}

bool TfmInvar::BuildIncidence(const TNetStructure& net)
{
    if (!m_engine.BuildIncidence(net))
        return false;
    m_memo->hide();
    m_tabs->setCurrentIndex(0);
    showTab();
    return true;
}

const T2DMatrix& TfmInvar::MatrixOfTab(int tab) const
{
    const T2DMatrix* matrices[] = {&m_engine.PIncidence, &m_engine.PWork, &m_engine.PInvariants,
                                   &m_engine.TIncidence, &m_engine.TWork, &m_engine.TInvariants};
    return *matrices[qBound(0, tab, 5)];
}

bool TfmInvar::NotFoundOnTab(int tab) const
{
    if (tab == 1 || tab == 2)
        return m_engine.PNotFound;
    if (tab == 4 || tab == 5)
        return m_engine.TNotFound;
    return false;
}

void TfmInvar::showTab()
{
    const int tab = m_tabs->currentIndex();
    if (m_busy) {
        m_model->SetMatrix(nullptr); // the matrices change under the computation
        return;
    }
    m_model->SetMatrix(&MatrixOfTab(tab));
    m_pages->setCurrentWidget(NotFoundOnTab(tab) ? static_cast<QWidget*>(m_notFound) : m_grid);
}

void TfmInvar::writeVerdicts()
{
    m_memo->setPlainText(m_engine.Report().join(QLatin1Char('\n')));
    m_memo->show();
}

void TfmInvar::run(const std::function<void(IQRVProgress*)>& work)
{
    if (m_busy)
        return;
    m_busy = true;
    m_stop = false;
    for (QPushButton* b : {m_btCalculate, m_btStep, m_btSave})
        b->setEnabled(false);
    m_btStop->setEnabled(true);
    m_progress->setValue(0);
    m_progress->show();
    showTab();

    TProgress progress(*this);
    work(&progress);

    m_busy = false;
    for (QPushButton* b : {m_btCalculate, m_btStep, m_btSave})
        b->setEnabled(true);
    m_btStop->setEnabled(false);
    m_progress->hide();
    m_status->setText(m_engine.StepMode ? QStringLiteral("Step %1").arg(m_engine.StepCount) : QString());
    showTab();
    if (m_closePending)
        close();
    else if (m_engine.Interrupted())
        message(m_engine.Interruptions.join(QLatin1Char('\n')), false);
}

void TfmInvar::Calculate()
{
    run([this](IQRVProgress* progress) { m_engine.Calculate(progress); });
    if (!m_busy)
        writeVerdicts();
}

void TfmInvar::StepByStep()
{
    bool ended = false;
    run([this, &ended](IQRVProgress* progress) { ended = m_engine.Step(progress); });
    if (ended && !m_busy)
        writeVerdicts();
}

void TfmInvar::Stop()
{
    m_stop = true;
}

void TfmInvar::SaveToFile()
{
    if (m_busy)
        return;
    QString name = AutoFileName;
    AutoFileName.clear();
    if (name.isEmpty())
        name = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), QDir::currentPath(),
                                            QStringLiteral("Invariants Matrix File (*.imf)"));
    if (name.isEmpty())
        return;
    const int tab = m_tabs->currentIndex();
    const QString error = SaveImfFile(ImfFileName(name), ImfText(MatrixOfTab(tab), NotFoundOnTab(tab)));
    if (!error.isEmpty())
        message(error, true);
}

void TfmInvar::message(const QString& text, bool error)
{
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    if (error)
        QMessageBox::critical(this, windowTitle(), text);
    else
        QMessageBox::information(this, windowTitle(), text);
}

void TfmInvar::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        // Closing waits for the computation to notice the stop request.
        m_stop = true;
        m_closePending = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfmInvar::reject()
{
    if (m_busy) {
        m_stop = true;
        m_closePending = true;
        return;
    }
    QDialog::reject();
}
