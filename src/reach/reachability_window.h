// The reachability-graph window: the build settings, the graph marking by
// marking with stepping through it on the drawing, the balances of the
// continuous places, the net's statistics and the behavioural verdicts.
// The main window opens it from the Analysis menu; the performance analyses
// drive it without showing it.
#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>
#include <utility>
#include <vector>

#include "reach/reach_engine.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTreeWidget;
class QWidget;
class TclsLink;
class TclsNode;
class TQRVDesigner;
class TGraphListModel;
class TBalanceListModel;

class TfmAnalyze_1 : public QDialog
{
    Q_OBJECT
public:
    // The pages, in tab order.
    enum TPage { pgControls, pgGraph, pgBalance, pgStats };

    explicit TfmAnalyze_1(TQRVDesigner& designer, QWidget* parent = nullptr);
    ~TfmAnalyze_1() override;

    // The settings shown by the controls, and setting the controls from
    // settings (the performance analyses copy theirs in).
    TReachSettings Settings() const;
    void ApplySettings(const TReachSettings& settings, bool tensorial = false);

    // The buttons' commands.
    void BuildGraph();
    void Stop();
    void BehaviouralAnalysis();
    void SaveGraph();
    // ">>>": animates the firing chosen in the drop-down and steps to the
    // marking it reaches.
    void StepForward();
    // "<<<": back to the marking shown before the current one, along the
    // markings visited (by stepping or by choosing rows).
    void StepBack();
    // Selects a marking's row, which writes the marking into the net.
    void SelectMarking(int mark);
    // The marking of the selected row, or -1.
    int SelectedMarking() const;
    void SetStatus(const QString& text);

    // Run flags: a complete graph was built (and written to "current.rag");
    // no dead marking was met by the last build.
    bool Built() const { return m_built; }
    bool NoDeadMarking() const { return m_engine.NoDeadMarking(); }
    // A build or analysis runs.
    bool Busy() const { return m_busy; }
    TReachEngine& Engine() { return m_engine; }
    // The group labels of the net (lower case, distinct, sorted).
    const QStringList& Groups() const { return m_groups; }

    QTabWidget* Pages() const { return m_pages; }
    QTableView* GraphList() const { return m_graphList; }
    QTableView* BalanceList() const { return m_balanceList; }
    QComboBox* TransitionBox() const { return m_transitions; }

    // For tests and for windows that drive this one: the name the save
    // dialog would return (empty: ask), where messages go instead of a
    // message box, and the pause between two positions of the animation.
    QString AutoFileName;
    std::function<void(const QString&)> MessageHook;
    int AnimationPauseMs = 40;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    class TProgress;
    QWidget* buildControlsPage();
    QWidget* buildGraphPage();
    QWidget* buildBalancePage();
    QWidget* buildStatsPage();
    void setIdle(bool idle);
    void clearResults();
    void showStatistics();
    void showResults();
    void showBalancePage(bool show);
    void fillGroups();
    void selectGroup(const QString& group);
    void groupSettingsToggled(bool on);
    void rowSelected(int mark);
    // The values column as wide as its header and its widest value.
    void fitValuesColumn();
    void animate(const QList<TclsLink*>& arcs);
    void pause(int ms);
    void message(const QString& text, bool error = false, const QString& detail = QString());

    TQRVDesigner& m_designer;
    TReachEngine m_engine;
    TGraphListModel* m_graphModel = nullptr;
    TBalanceListModel* m_balanceModel = nullptr;
    QStringList m_groups;

    QTabWidget* m_pages = nullptr;
    QWidget* m_balancePage = nullptr;
    QRadioButton* m_classical = nullptr;
    QRadioButton* m_tenzorial = nullptr;
    QSpinBox* m_limit = nullptr;
    QCheckBox* m_reset = nullptr;
    QCheckBox* m_unbounded = nullptr;
    QCheckBox* m_priority = nullptr;
    QCheckBox* m_removeUnsteady = nullptr;
    QCheckBox* m_balance = nullptr;
    QCheckBox* m_groupSettings = nullptr;
    QLabel* m_selectGroup = nullptr;
    QComboBox* m_group = nullptr;
    QPushButton* m_btBuild = nullptr;
    QPushButton* m_btAnalyse = nullptr;
    QPushButton* m_btStop = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_gauge = nullptr;

    QTableView* m_graphList = nullptr;
    QPushButton* m_btBack = nullptr;
    QPushButton* m_btForward = nullptr;
    QComboBox* m_transitions = nullptr;
    QLabel* m_elapsed = nullptr;
    QTableView* m_balanceList = nullptr;

    QLabel* m_totalPositions = nullptr;
    QLabel* m_totalTransitions = nullptr;
    QLabel* m_totalLinks = nullptr;
    QLabel* m_totalMarkers = nullptr;
    QLabel* m_totalMarkings = nullptr;
    QLabel* m_steadyMarkings = nullptr;
    QLabel* m_warning = nullptr;
    QLabel* m_limitReached = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QTreeWidget* m_counters = nullptr;

    QPushButton* m_btClose = nullptr;
    QPushButton* m_btSave = nullptr;

    bool m_busy = false;
    bool m_animating = false;
    bool m_stop = false;
    bool m_built = false;
    bool m_closePending = false;
    bool m_fillingGroups = false;
    // The markings shown before the current one, the last most recent.
    std::vector<int> m_visited;
    int m_shownMark = -1;
    bool m_goingBack = false;
    // The values of the net's places before the first build: a net left
    // in another marking on closing holds an unsaved edit.
    std::vector<std::pair<QPointer<TclsNode>, double>> m_netMarking;
};
