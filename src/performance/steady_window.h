// "Steady-state analysis": the values to compute, the sweep over one or two
// arguments, the solver and its settings, and the listing of the results.
// The main window opens it from Analysis, Performance analysis.
#pragma once

#include "performance/analysis_dialog.h"
#include "performance/calc_engine.h"

class QGroupBox;
class QLineEdit;
class QRadioButton;

class TStohAnalyze : public TAnalysisDialog
{
    Q_OBJECT
public:
    // `graphFile`: the graph to read ("current.rag" of the program when empty).
    explicit TStohAnalyze(TQRVDesigner& designer, const QString& graphFile = QString(),
                          QWidget* parent = nullptr);

    TCalcEngine& Engine() { return *m_engine; }

    void Start() override;

    QRadioButton* GaussButton() const { return m_gauss; }
    QRadioButton* SeidelButton() const { return m_seidel; }
    QRadioButton* IterativeButton() const { return m_iterative; }
    QLineEdit* PrecisionField() const { return m_precision; }
    QLineEdit* IterationsField() const { return m_iterations; }
    QLineEdit* ResidualField() const { return m_residual; }

protected:
    void loadGraph() override;

private:
    QWidget* buildSettingsPage();
    void applyStartRule();
    void argumentsChanged();
    void methodChanged();
    void setRunning(bool running);
    void setIdle();
    TSteadySettings solverSettings() const;

    QRadioButton* m_gauss = nullptr;
    QRadioButton* m_seidel = nullptr;
    QRadioButton* m_iterative = nullptr;
    QGroupBox* m_seidelGroup = nullptr;
    QLineEdit* m_precision = nullptr;
    QLineEdit* m_iterations = nullptr;
    QGroupBox* m_iterativeGroup = nullptr;
    QLineEdit* m_residual = nullptr;
};

// The help context of the window.
inline constexpr int SteadyHelpContext = 200;
