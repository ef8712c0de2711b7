// "Transient analysis": the values of the steady-state window at points in
// time, from the initial marking at time 0, over an optional second
// argument. The main window opens it from Analysis, Performance analysis.
#pragma once

#include <functional>

#include "performance/analysis_dialog.h"
#include "performance/transient_engine.h"

class QLineEdit;

class TTransAnalyze : public TAnalysisDialog
{
    Q_OBJECT
public:
    // `graphFile`: the graph to read ("current.rag" of the program when empty).
    explicit TTransAnalyze(TQRVDesigner& designer, const QString& graphFile = QString(),
                           QWidget* parent = nullptr);

    TTransEngine& Engine() { return static_cast<TTransEngine&>(*m_engine); }

    // "Start", or "Break" while a calculation runs; a press while a broken
    // calculation is still on its way out does nothing.
    void Start() override;

    QLineEdit* CoefficientField() const { return m_coefficient; }
    QLineEdit* PrecisionIndexField() const { return m_precisionIndex; }

    // For tests: called at every time point of a calculation.
    std::function<void()> WhileRunning;

protected:
    void loadGraph() override;

private:
    QWidget* buildSettingsPage();
    void argumentChanged();
    bool readSettings(TSweepArgument& time, TSweepArgument& arg2);
    bool readRange(TArgumentBox* box, const QString& group, TSweepArgument& arg);
    void setRunning(bool running);
    void setIdle();

    QLineEdit* m_coefficient = nullptr;
    QLineEdit* m_precisionIndex = nullptr;
};

// The help context of the window.
inline constexpr int TransientHelpContext = 210;
