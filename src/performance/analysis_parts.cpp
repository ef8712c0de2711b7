#include "performance/analysis_parts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

#include "model/numbers.h"
#include "model/safe_save.h"
#include "performance/add_value_dialog.h"
#include "performance/calc_engine.h"

namespace {

// Rows compare their texts without regard to case.
class TValueRow : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};

QCheckBox* check(QWidget* parent, const QString& caption, const char* name, bool checked)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setChecked(checked);
    return c;
}

QPushButton* button(QWidget* parent, const QString& caption, const char* name)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

// ---- the values list -------------------------------------------------------------------

TValuesListBox::TValuesListBox(TCalcEngine& engine, QWidget* parent)
    : QGroupBox(QStringLiteral("Values list"), parent), m_engine(engine)
{
    setObjectName(QStringLiteral("gbValues"));
    auto* layout = new QHBoxLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lvValues"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Value description"), QStringLiteral("Object")});
    m_list->setRootIsDecorated(false);
    m_list->setSortingEnabled(false);
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setSortIndicatorShown(false);
    m_list->setColumnWidth(0, 200);
    layout->addWidget(m_list, 1);
    auto* buttons = new QVBoxLayout;
    m_add = button(this, QStringLiteral("Add"), "btAdd");
    m_change = button(this, QStringLiteral("Change"), "btChange");
    m_delete = button(this, QStringLiteral("Delete"), "btDelete");
    m_clear = button(this, QStringLiteral("Clear"), "btClear");
    m_threeD = button(this, QStringLiteral("3-D"), "bt3D");
    for (QPushButton* b : {m_add, m_change, m_delete, m_clear, m_threeD})
        buttons->addWidget(b);
    buttons->addStretch();
    layout->addLayout(buttons);
    updateButtons();
    connect(m_add, &QPushButton::clicked, this, &TValuesListBox::Add);
    connect(m_change, &QPushButton::clicked, this, &TValuesListBox::Change);
    connect(m_delete, &QPushButton::clicked, this, &TValuesListBox::Delete);
    connect(m_clear, &QPushButton::clicked, this, &TValuesListBox::Clear);
    connect(m_list->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_list->sortItems(column, Qt::AscendingOrder); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { Q_EMIT EntrySelected(SelectedItem()); });
}

int TValuesListBox::RowCount() const
{
    return m_list->topLevelItemCount();
}

int TValuesListBox::SelectedItem() const
{
    const QTreeWidgetItem* row = m_list->currentItem();
    return row ? m_engine.FindItem(row->data(0, Qt::UserRole).toString()) : -1;
}

bool TValuesListBox::runDialog(TfmAddElem& dialog)
{
    if (DialogHook)
        return DialogHook(dialog);
    return dialog.exec() == QDialog::Accepted;
}

void TValuesListBox::addFrom(const QString& kindText, const QString& objectText)
{
    m_engine.AddItems(kindText, objectText);
    Refill();
}

void TValuesListBox::Add()
{
    QStringList places, transitions;
    for (const auto& p : std::as_const(m_engine.PlaceNames))
        places << p.first;
    for (const auto& t : std::as_const(m_engine.TransitionNames))
        transitions << t.first;
    TfmAddElem dialog(m_engine.Net(), places, transitions, m_engine.KindNames, this);
    if (!runDialog(dialog))
        return;
    addFrom(dialog.KindText(), dialog.ObjectText());
    Q_EMIT EntriesChanged(true);
}

void TValuesListBox::Change()
{
    const int item = SelectedItem();
    if (item < 0)
        return;
    QStringList places, transitions;
    for (const auto& p : std::as_const(m_engine.PlaceNames))
        places << p.first;
    for (const auto& t : std::as_const(m_engine.TransitionNames))
        transitions << t.first;
    TfmAddElem dialog(m_engine.Net(), places, transitions, m_engine.KindNames, this);
    dialog.Preset(m_engine.Items[item].KindText, m_engine.Items[item].ObjectName);
    if (!runDialog(dialog))
        return;
    m_engine.Items.removeAt(item);
    addFrom(dialog.KindText(), dialog.ObjectText());
    Q_EMIT EntriesChanged(true);
}

void TValuesListBox::Delete()
{
    const int item = SelectedItem();
    if (item < 0)
        return;
    m_engine.RemoveItem(item);
    Refill();
    Q_EMIT EntriesChanged(false);
}

void TValuesListBox::Clear()
{
    m_engine.Items.clear();
    Refill();
    Q_EMIT EntriesChanged(true);
}

void TValuesListBox::Refill()
{
    const QString current =
        m_list->currentItem() ? m_list->currentItem()->data(0, Qt::UserRole).toString() : QString();
    m_list->clear();
    for (const TAnalyzeItem& item : std::as_const(m_engine.Items)) {
        if (!item.Listed)
            continue;
        auto* row = new TValueRow(m_list, {item.KindText, item.ObjectName});
        row->setData(0, Qt::UserRole, item.Description());
        if (item.Description() == current)
            m_list->setCurrentItem(row);
    }
    updateButtons();
}

void TValuesListBox::updateButtons()
{
    const bool rows = RowCount() > 0;
    m_change->setEnabled(rows);
    m_delete->setEnabled(rows);
    m_clear->setEnabled(rows);
}

// ---- an argument ------------------------------------------------------------------------------

TArgumentBox::TArgumentBox(const QString& title, const QString& suffix, const QString& initial,
                           const QString& final, const QString& steps, const QString& stepsHint,
                           QWidget* parent)
    : QGroupBox(title, parent)
{
    auto* layout = new QGridLayout(this);
    m_selector = new QComboBox(this);
    m_selector->setObjectName(QStringLiteral("cbVar") + suffix);
    m_selector->setEditable(true);
    m_selector->setInsertPolicy(QComboBox::NoInsert);
    m_selector->addItem(QStringLiteral("None"));
    layout->addWidget(m_selector, 0, 0, 1, 2);
    const auto field = [&](const QString& label, const QString& text, const QString& name,
                           const QString& hint, int row) {
        layout->addWidget(new QLabel(label, this), row, 0);
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(name + suffix);
        edit->setToolTip(hint);
        edit->setEnabled(false);
        layout->addWidget(edit, row, 1);
        return edit;
    };
    m_initial = field(QStringLiteral("Initial"), initial, QStringLiteral("Init"),
                      QStringLiteral("Must be real-type positive number"), 1);
    m_final = field(QStringLiteral("Final"), final, QStringLiteral("Final"),
                    QStringLiteral("Must be a positive real number, greater than 'Initial' value"), 2);
    m_steps = field(QStringLiteral("Steps"), steps, QStringLiteral("Steps"), stepsHint, 3);
    connect(m_selector, &QComboBox::activated, this, &TArgumentBox::selectorChanged);
    connect(m_selector->lineEdit(), &QLineEdit::editingFinished, this, &TArgumentBox::selectorChanged);
}

void TArgumentBox::SetArguments(const QStringList& texts)
{
    m_selector->clear();
    m_selector->addItems(texts);
    m_selector->setCurrentIndex(0);
    selectorChanged();
}

QString TArgumentBox::Text() const
{
    return m_selector->currentText();
}

void TArgumentBox::selectorChanged()
{
    // A typed text that is no argument puts the selector back to "None".
    if (m_selector->findText(m_selector->currentText(), Qt::MatchExactly) < 0)
        m_selector->setCurrentIndex(0);
    const bool chosen = Text() != QLatin1String("None");
    m_initial->setEnabled(chosen);
    m_final->setEnabled(chosen);
    m_steps->setEnabled(chosen && !IsMarking());
    if (IsMarking())
        m_steps->setText(QString::number(std::max(1, m_final->text().toInt() - m_initial->text().toInt())));
    Q_EMIT ArgumentChanged();
}

bool TArgumentBox::readField(QLineEdit* field, double& value)
{
    if (ParseReal(field->text().trimmed(), value) && value != 0 && std::isfinite(value))
        return true;
    if (!field->text().contains(QLatin1Char('?')))
        field->setText(field->text() + QStringLiteral(" ??"));
    field->setFocus();
    return false;
}

bool TArgumentBox::ReadRange(TSweepArgument& arg)
{
    arg = TSweepArgument();
    if (Text() == QLatin1String("None"))
        return true;
    double initial = 0, final = 0, steps = 0;
    if (!readField(m_initial, initial) || !readField(m_final, final))
        return false;
    if (m_steps->isEnabled()) {
        if (!readField(m_steps, steps))
            return false;
    } else {
        steps = final - initial + 1;
    }
    arg.Text = Text();
    arg.Count = std::max(2, static_cast<int>(std::lround(steps)));
    arg.Initial = initial;
    arg.Step = (final - initial) / (arg.Count - 1);
    return true;
}

// ---- saving ---------------------------------------------------------------------------------------

QString SaveListingAs(QWidget* parent, const QStringList& lines, const QString& fileName)
{
    QString name = fileName;
    if (name.isEmpty()) {
        QFileDialog dialog(parent, QStringLiteral("Save As"), QString(),
                           QStringLiteral("Text files (*.txt)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.selectFile(QStringLiteral("default.txt"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        name = dialog.selectedFiles().first();
    }
    if (!QFileInfo(name).fileName().contains(QLatin1Char('.')))
        name += QStringLiteral(".txt");
    return SaveBytesSafely(name, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
}

// ---- the builder settings -------------------------------------------------------------------------

TBuilderBox::TBuilderBox(QWidget* parent) : QGroupBox(QStringLiteral("RG builder settings"), parent)
{
    setObjectName(QStringLiteral("gbBuilder"));
    auto* builder = new QGridLayout(this);
    auto* algorithm = new QGroupBox(QStringLiteral("Construction algorithm"), this);
    auto* algorithmLayout = new QVBoxLayout(algorithm);
    auto* classical = new QRadioButton(QStringLiteral("Classical"), algorithm);
    classical->setChecked(true);
    algorithmLayout->addWidget(classical);
    algorithmLayout->addWidget(new QRadioButton(QStringLiteral("Kroniker"), algorithm));
    algorithm->setEnabled(false);
    builder->addWidget(algorithm, 0, 0, 2, 1);
    builder->addWidget(new QLabel(QStringLiteral("Markings' limit"), this), 0, 1);
    m_limit = new QSpinBox(this);
    m_limit->setObjectName(QStringLiteral("seLimit"));
    m_limit->setRange(1, 999999);
    m_limit->setValue(5000);
    builder->addWidget(m_limit, 1, 1);
    auto* reset = check(this, QStringLiteral("Reset initial marking on completion"), "cbReset", true);
    reset->setEnabled(false);
    m_unbounded = check(this, QStringLiteral("Enable unbounded net control"), "cbUnbounded", true);
    m_priority = check(this, QStringLiteral("Enable Priority Mode"), "cbPriority", false);
    m_removeUnsteady = check(this, QStringLiteral("Remove unsteady  markings"), "cbRemoveUnsteady", false);
    builder->addWidget(reset, 2, 0, 1, 2);
    builder->addWidget(m_unbounded, 3, 0, 1, 2);
    builder->addWidget(m_priority, 4, 0, 1, 2);
    builder->addWidget(m_removeUnsteady, 5, 0, 1, 2);
    connect(m_removeUnsteady, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_priority->setChecked(true);
    });
}

TReachSettings TBuilderBox::Settings() const
{
    TReachSettings s;
    s.Limit = m_limit->value();
    s.ResetInitialMarking = true;
    s.UnboundedControl = m_unbounded->isChecked();
    s.PriorityMode = m_priority->isChecked();
    s.RemoveUnsteady = m_removeUnsteady->isChecked();
    return s;
}

// ---- the listing page ------------------------------------------------------------------------------

QWidget* BuildListingPage(QPlainTextEdit*& listing, QPushButton*& saveAs)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* box = new QGroupBox(QStringLiteral("Statistic file: "), page);
    auto* boxLayout = new QVBoxLayout(box);
    listing = new QPlainTextEdit(box);
    listing->setObjectName(QStringLiteral("mmListing"));
    listing->setReadOnly(true);
    listing->setLineWrapMode(QPlainTextEdit::NoWrap);
    listing->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    listing->setEnabled(false);
    boxLayout->addWidget(listing);
    layout->addWidget(box, 1);
    saveAs = new QPushButton(QStringLiteral("Save As"), page);
    saveAs->setObjectName(QStringLiteral("btSaveAs"));
    saveAs->setAutoDefault(false);
    layout->addWidget(saveAs, 0, Qt::AlignRight);
    return page;
}

// ---- the progress -------------------------------------------------------------------------------------

TWindowProgress::TWindowProgress(QLabel* status, QProgressBar* gauge, const bool& stop,
                                 std::function<void(const QString&)> message)
    : m_status(status), m_gauge(gauge), m_stop(stop), m_message(std::move(message))
{
}

void TWindowProgress::Progress(int percent)
{
    m_gauge->setValue(percent);
}

void TWindowProgress::Status(const QString& text)
{
    m_status->setText(text);
    m_status->repaint();
}

void TWindowProgress::Pump()
{
    if (m_clock.isValid() && m_clock.elapsed() < 30)
        return;
    QCoreApplication::processEvents();
    m_clock.start();
}
