// The structural analysis window: the incidence matrices, the invariants
// and the working matrices of the elimination on six tabs, the verdicts
// below them, and the .imf file of the matrix on display.
#pragma once

#include <QDialog>

#include <functional>

#include "structural/invariants.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTableView;
class TQRVDesigner;
class TInvarGridModel;

class TfmInvar : public QDialog
{
    Q_OBJECT
public:
    explicit TfmInvar(TQRVDesigner& designer, QWidget* parent = nullptr);
    ~TfmInvar() override;

    // Builds the matrices from the net; false when it has no place or no transition.
    bool BuildIncidence();
    bool BuildIncidence(const TNetStructure& net);

    // The buttons' commands.
    void Calculate();
    void StepByStep();
    void SaveToFile();
    // Asks a running computation to stop at its next check.
    void Stop();
    bool Busy() const { return m_busy; }

    TQRVInvariants& Engine() { return m_engine; }
    // The matrix of a tab (0..5), and whether that tab shows "Invariants Not Found !".
    const T2DMatrix& MatrixOfTab(int tab) const;
    bool NotFoundOnTab(int tab) const;

    QTabBar* Tabs() const { return m_tabs; }
    QTableView* Grid() const { return m_grid; }
    QLabel* NotFoundLabel() const { return m_notFound; }
    QPlainTextEdit* Memo() const { return m_memo; }

    // For tests: the name the save dialog would return (empty: ask), and
    // where messages go instead of a message box.
    QString AutoFileName;
    std::function<void(const QString&)> MessageHook;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    class TProgress;
    void showTab();
    void writeVerdicts();
    void run(const std::function<void(IQRVProgress*)>& work);
    void message(const QString& text, bool error);

    TQRVDesigner& m_designer;
    TQRVInvariants m_engine;
    TInvarGridModel* m_model = nullptr;
    QTabBar* m_tabs = nullptr;
    QStackedWidget* m_pages = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_notFound = nullptr;
    QPlainTextEdit* m_memo = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_btCalculate = nullptr;
    QPushButton* m_btStep = nullptr;
    QPushButton* m_btStop = nullptr;
    QPushButton* m_btSave = nullptr;
    QPushButton* m_btClose = nullptr;
    bool m_busy = false;
    bool m_stop = false;
    bool m_closePending = false;
};
