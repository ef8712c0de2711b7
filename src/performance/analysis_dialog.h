// The frame of the performance-analysis windows: the page "Settings" that a
// window builds, the page "Results" with the listing and "Save As", and below
// them the status line, "Iterations to go", the progress bar, "Start" and
// "Close". It owns the window's engine, reads the graph when first shown,
// shows messages, opens the window's manual page on F1 and does not close
// while a calculation runs.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QGroupBox;
class TAnalysisCharts;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class TArgumentBox;
class TBuilderBox;
class TCalcEngine;
class TQRVDesigner;
class TValuesListBox;
class TWindowProgress;

class TAnalysisDialog : public QDialog
{
    Q_OBJECT
public:
    ~TAnalysisDialog() override;

    // Whether the graph was read when the window was first shown.
    bool GraphRead() const { return m_graphRead; }
    bool Running() const { return m_running; }
    // "Start", or "Break" while a calculation runs.
    virtual void Start() = 0;
    void SaveAs();
    // Closes the window, unless a calculation runs.
    void reject() override;

    TValuesListBox* Values() const { return m_values; }
    TArgumentBox* Argument1() const { return m_arg1; }
    TArgumentBox* Argument2() const { return m_arg2; }
    TBuilderBox* BuilderGroup() const { return m_builder; }
    // The place of the preview chart.
    QGroupBox* PreviewGroup() const { return m_preview; }
    // The preview in it, the big chart and the 3-D window.
    TAnalysisCharts* Charts() const { return m_charts; }
    QPushButton* StartButton() const { return m_start; }
    QPlainTextEdit* Listing() const { return m_listing; }
    QLabel* StatusLabel() const { return m_status; }
    QLabel* ToGoLabel() const { return m_toGo; }
    QTabWidget* Pages() const { return m_pages; }

    // For tests: errors, warnings and questions (answered yes) go here
    // instead of a message box, and "Save As" writes to this name.
    std::function<void(const QString&)> MessageHook;
    QString AutoFileName;

protected:
    // `graphFile`: the graph to read ("current.rag" of the program when empty).
    TAnalysisDialog(TQRVDesigner& designer, const QString& graphFile, std::unique_ptr<TCalcEngine> engine,
                    const QString& caption, const QString& idleStatus, int helpContext, QWidget* parent);

    // Puts the pages and the bottom row together; the derived window calls
    // it from its constructor with its page "Settings", which has set the
    // values list, the argument groups, the builder settings and the preview.
    void buildFrame(QWidget* settingsPage);
    // When the window is first shown: readGraph, then the selectors.
    virtual void loadGraph() = 0;
    // Reads the graph and builds its matrix: GraphRead tells whether both
    // worked; a failure is shown.
    bool readGraph();
    // Before a calculation on a graph that still holds unsteady markings:
    // whether to go on.
    bool confirmUnsteady();
    // The end of every calculation: the idle texts and the progress.
    void showIdle(const QString& idleStatus);
    void writeListing(const QString& arg1Text, const QString& arg2Text);
    void error(const QString& text);
    void warn(const QString& text);
    bool confirm(const QString& text);

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    TQRVDesigner& m_designer;
    QString m_graphFile;
    std::unique_ptr<TCalcEngine> m_engine;
    std::unique_ptr<TWindowProgress> m_progress;
    bool m_graphRead = false;
    bool m_running = false;
    bool m_stop = false;

    TValuesListBox* m_values = nullptr;
    TArgumentBox* m_arg1 = nullptr;
    TArgumentBox* m_arg2 = nullptr;
    TBuilderBox* m_builder = nullptr;
    QGroupBox* m_preview = nullptr;
    TAnalysisCharts* m_charts = nullptr;
    QTabWidget* m_pages = nullptr;
    QPlainTextEdit* m_listing = nullptr;
    QPushButton* m_saveAs = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_toGo = nullptr;
    QProgressBar* m_gauge = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_close = nullptr;

private:
    QString m_caption;
    int m_helpContext;
    bool m_shown = false;
};

// "Graph preview": the place of the preview chart in the page "Settings".
QGroupBox* NewPreviewGroup(QWidget* parent);
