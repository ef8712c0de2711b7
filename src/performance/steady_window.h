// "Steady-state analysis": the values to compute, the sweep over one or two
// arguments, the solver and its settings, and the listing of the results.
// The main window opens it from Analysis, Performance analysis.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

#include "performance/calc_engine.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TArgumentBox;
class TQRVDesigner;
class TValuesListBox;

class TStohAnalyze : public QDialog
{
    Q_OBJECT
public:
    // `graphFile`: the graph to read ("current.rag" of the program when empty).
    explicit TStohAnalyze(TQRVDesigner& designer, const QString& graphFile = QString(),
                          QWidget* parent = nullptr);
    ~TStohAnalyze() override;

    TCalcEngine& Engine() { return *m_engine; }
    // Whether the graph was read when the window was first shown.
    bool GraphRead() const { return m_graphRead; }

    // "Start" (or "Break" while a calculation runs).
    void Start();
    void SaveAs();
    bool Running() const { return m_running; }
    // Closes the window, unless a calculation runs.
    void reject() override;

    TValuesListBox* Values() const { return m_values; }
    TArgumentBox* Argument1() const { return m_arg1; }
    TArgumentBox* Argument2() const { return m_arg2; }
    QGroupBox* BuilderGroup() const { return m_builder; }
    QGroupBox* PreviewGroup() const { return m_preview; }
    QRadioButton* GaussButton() const { return m_gauss; }
    QRadioButton* SeidelButton() const { return m_seidel; }
    QRadioButton* IterativeButton() const { return m_iterative; }
    QLineEdit* PrecisionField() const { return m_precision; }
    QLineEdit* IterationsField() const { return m_iterations; }
    QLineEdit* ResidualField() const { return m_residual; }
    QPushButton* StartButton() const { return m_start; }
    QPlainTextEdit* Listing() const { return m_listing; }
    QLabel* StatusLabel() const { return m_status; }
    QLabel* ToGoLabel() const { return m_toGo; }
    QTabWidget* Pages() const { return m_pages; }

    // For tests: messages go here instead of a message box (errors and the
    // question before solving a graph with unsteady markings, answered yes),
    // and the name "Save As" uses.
    std::function<void(const QString&)> MessageHook;
    QString AutoFileName;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class TProgress;
    QWidget* buildSettingsPage();
    QWidget* buildResultsPage();
    void loadGraph();
    void applyStartRule();
    void argumentsChanged();
    void methodChanged();
    void setRunning(bool running);
    void setIdle();
    void writeListing();
    void error(const QString& text);
    bool confirm(const QString& text);
    TSteadySettings solverSettings() const;
    TReachSettings builderSettings() const;

    TQRVDesigner& m_designer;
    QString m_graphFile;
    std::unique_ptr<TCalcEngine> m_engine;
    std::unique_ptr<TProgress> m_progress;
    bool m_graphRead = false;
    bool m_shown = false;
    bool m_running = false;
    bool m_stop = false;

    QTabWidget* m_pages = nullptr;
    TValuesListBox* m_values = nullptr;
    TArgumentBox* m_arg1 = nullptr;
    TArgumentBox* m_arg2 = nullptr;
    QGroupBox* m_builder = nullptr;
    QSpinBox* m_limit = nullptr;
    QCheckBox* m_unbounded = nullptr;
    QCheckBox* m_priority = nullptr;
    QCheckBox* m_removeUnsteady = nullptr;
    QRadioButton* m_gauss = nullptr;
    QRadioButton* m_seidel = nullptr;
    QRadioButton* m_iterative = nullptr;
    QGroupBox* m_seidelGroup = nullptr;
    QLineEdit* m_precision = nullptr;
    QLineEdit* m_iterations = nullptr;
    QGroupBox* m_iterativeGroup = nullptr;
    QLineEdit* m_residual = nullptr;
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
inline constexpr int SteadyHelpContext = 200;
