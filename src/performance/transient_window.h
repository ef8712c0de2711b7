// "Transient analysis": the values of the steady-state window at points in
// time, from the initial marking at time 0, over an optional second
// argument. The main window opens it from Analysis, Performance analysis.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

#include "performance/transient_engine.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class TArgumentBox;
class TBuilderBox;
class TQRVDesigner;
class TValuesListBox;
class TWindowProgress;

class TTransAnalyze : public QDialog
{
    Q_OBJECT
public:
    // `graphFile`: the graph to read ("current.rag" of the program when empty).
    explicit TTransAnalyze(TQRVDesigner& designer, const QString& graphFile = QString(),
                           QWidget* parent = nullptr);
    ~TTransAnalyze() override;

    TTransEngine& Engine() { return *m_engine; }
    // Whether the graph was read when the window was first shown.
    bool GraphRead() const { return m_graphRead; }

    // "Start", or "Break" while a calculation runs; a press while a broken
    // calculation is still on its way out does nothing.
    void Start();
    void SaveAs();
    bool Running() const { return m_running; }
    // Closes the window, unless a calculation runs.
    void reject() override;

    TValuesListBox* Values() const { return m_values; }
    TArgumentBox* Argument1() const { return m_arg1; }
    TArgumentBox* Argument2() const { return m_arg2; }
    TBuilderBox* BuilderGroup() const { return m_builder; }
    QGroupBox* PreviewGroup() const { return m_preview; }
    QLineEdit* CoefficientField() const { return m_coefficient; }
    QLineEdit* PrecisionIndexField() const { return m_precisionIndex; }
    QPushButton* StartButton() const { return m_start; }
    QPlainTextEdit* Listing() const { return m_listing; }
    QLabel* StatusLabel() const { return m_status; }
    QLabel* ToGoLabel() const { return m_toGo; }
    QTabWidget* Pages() const { return m_pages; }

    // For tests: errors, warnings and the question before a graph with
    // unsteady markings (answered yes) go here instead of a message box, and
    // the name "Save As" uses; `WhileRunning` is called at every point.
    std::function<void(const QString&)> MessageHook;
    QString AutoFileName;
    std::function<void()> WhileRunning;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildSettingsPage();
    void loadGraph();
    void argumentChanged();
    bool readSettings(TSweepArgument& time, TSweepArgument& arg2);
    bool readRange(TArgumentBox* box, const QString& group, TSweepArgument& arg);
    void setRunning(bool running);
    void setIdle();
    void error(const QString& text);
    void warn(const QString& text);
    bool confirm(const QString& text);

    TQRVDesigner& m_designer;
    QString m_graphFile;
    std::unique_ptr<TTransEngine> m_engine;
    std::unique_ptr<TWindowProgress> m_progress;
    bool m_graphRead = false;
    bool m_shown = false;
    bool m_running = false;
    bool m_stop = false;

    QTabWidget* m_pages = nullptr;
    TValuesListBox* m_values = nullptr;
    TArgumentBox* m_arg1 = nullptr;
    TArgumentBox* m_arg2 = nullptr;
    TBuilderBox* m_builder = nullptr;
    QLineEdit* m_coefficient = nullptr;
    QLineEdit* m_precisionIndex = nullptr;
    QGroupBox* m_preview = nullptr;
    QPlainTextEdit* m_listing = nullptr;
    QPushButton* m_saveAs = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_toGo = nullptr;
    QProgressBar* m_gauge = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_close = nullptr;
};

// The help context of the window.
inline constexpr int TransientHelpContext = 210;
