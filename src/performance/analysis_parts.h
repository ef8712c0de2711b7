// Parts of the performance-analysis windows that the steady-state and the
// transient window share: the values list with its buttons, an argument
// group with its selector and range fields, the builder settings, the page
// of the listing and saving it, and the progress of a calculation.
#pragma once

#include <QElapsedTimer>
#include <QGroupBox>
#include <QStringList>

#include <functional>

#include "model/progress.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class TCalcEngine;
class TfmAddElem;
struct TReachSettings;
struct TSweepArgument;

// "Values list": one row per listed entry of the engine's Items.
class TValuesListBox : public QGroupBox
{
    Q_OBJECT
public:
    TValuesListBox(TCalcEngine& engine, QWidget* parent = nullptr);

    void Add();
    void Change();
    void Delete();
    void Clear();
    // The entry of the selected row (its position in Items), or -1.
    int SelectedItem() const;
    int RowCount() const;
    // Shows the engine's listed entries again.
    void Refill();

    QTreeWidget* List() const { return m_list; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* ChangeButton() const { return m_change; }
    QPushButton* DeleteButton() const { return m_delete; }
    QPushButton* ClearButton() const { return m_clear; }
    QPushButton* ThreeDButton() const { return m_threeD; }

    // Runs the dialog instead of showing it modally (tests); true for "Set".
    std::function<bool(TfmAddElem&)> DialogHook;

Q_SIGNALS:
    // The entries changed; `invalidate`: the results no longer belong to them.
    void EntriesChanged(bool invalidate);
    void EntrySelected(int item);

private:
    bool runDialog(TfmAddElem& dialog);
    void addFrom(const QString& kindText, const QString& objectText);
    void updateButtons();

    TCalcEngine& m_engine;
    QTreeWidget* m_list;
    QPushButton* m_add;
    QPushButton* m_change;
    QPushButton* m_delete;
    QPushButton* m_clear;
    QPushButton* m_threeD;
};

// "1st argument" / "2nd argument": the selector and Initial, Final, Steps.
class TArgumentBox : public QGroupBox
{
    Q_OBJECT
public:
    TArgumentBox(const QString& title, const QString& suffix, const QString& initial, const QString& final,
                 const QString& steps, const QString& stepsHint, QWidget* parent = nullptr);

    void SetArguments(const QStringList& texts);
    QString Text() const;
    bool IsMarking() const { return Text().startsWith(QLatin1String("M(")); }
    // Reads the range of a chosen argument; a field that is refused gets
    // " ??" appended and the focus, and the result is false.
    bool ReadRange(TSweepArgument& arg);

    QComboBox* Selector() const { return m_selector; }
    QLineEdit* InitialField() const { return m_initial; }
    QLineEdit* FinalField() const { return m_final; }
    QLineEdit* StepsField() const { return m_steps; }

Q_SIGNALS:
    void ArgumentChanged();

private:
    void selectorChanged();
    bool readField(QLineEdit* field, double& value);

    QComboBox* m_selector;
    QLineEdit* m_initial;
    QLineEdit* m_final;
    QLineEdit* m_steps;
};

// "Save As" of a listing: the dialog offers "default.txt"; a name without
// "." gets ".txt". `fileName` given: no dialog. Empty on success, else the message.
QString SaveListingAs(QWidget* parent, const QStringList& lines, const QString& fileName = QString());

// "RG builder settings": how an "M(" argument has the graph rebuilt.
class TBuilderBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit TBuilderBox(QWidget* parent = nullptr);

    TReachSettings Settings() const;

    QSpinBox* LimitBox() const { return m_limit; }
    QCheckBox* UnboundedBox() const { return m_unbounded; }
    QCheckBox* PriorityBox() const { return m_priority; }
    QCheckBox* RemoveUnsteadyBox() const { return m_removeUnsteady; }

private:
    QSpinBox* m_limit;
    QCheckBox* m_unbounded;
    QCheckBox* m_priority;
    QCheckBox* m_removeUnsteady;
};

// The page "Results": the listing in the group "Statistic file: " (read-only,
// fixed-width, unwrapped, disabled until the first listing) and "Save As".
QWidget* BuildListingPage(QPlainTextEdit*& listing, QPushButton*& saveAs);

// The progress of a window's calculation: the status label (repainted at
// once), the bar, messages through `message`, pending events let through at
// most every 30 ms, and the window's stop flag.
class TWindowProgress : public IQRVProgress
{
public:
    TWindowProgress(QLabel* status, QProgressBar* gauge, const bool& stop,
                    std::function<void(const QString&)> message);
    void Progress(int percent) override;
    void Status(const QString& text) override;
    void Message(const QString& text) override { m_message(text); }
    void Pump() override;
    bool StopRequested() const override { return m_stop; }

private:
    QLabel* m_status;
    QProgressBar* m_gauge;
    const bool& m_stop;
    std::function<void(const QString&)> m_message;
    QElapsedTimer m_clock;
};
