// The simulation window: plays the net forward step by step on the drawing,
// with tokens moving along the arcs while transitions fire, a model clock,
// and stair-step charts of chosen element values, one per tab. The main
// window opens it with the "Simulate" tool button.
#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>
#include <vector>

#include "simulation/sim_engine.h"

class QCheckBox;
class QComboBox;
class QEventLoop;
class QLabel;
class QPushButton;
class QSlider;
class QTabWidget;
class QWidget;
class TclsLink;
class THelpWindow;
class TQRVDesigner;
class TSimChart;

class TfmSimulation : public QDialog
{
    Q_OBJECT
public:
    // The help topic of the window.
    static constexpr int HelpTopic = 300;

    // `seed` seeds the random generator once for the window's life.
    explicit TfmSimulation(TQRVDesigner& designer, QWidget* parent = nullptr, quint64 seed = 0);
    ~TfmSimulation() override;

    // The buttons' commands.
    void Start();
    void Stop();
    void Restart();
    // "Close": the initial marking back, then the window closes.
    void CloseSimulation();
    // "Add graph": the chosen object's chosen variable.
    void AddGraph();
    // "Show >>>" / "Hide <<<".
    void ToggleCharts();
    void ShowHelp();

    // The speed of the token animation for a slider position (0 ... 100):
    // the share of an arc a token moves per frame, and the frames per phase.
    static double AnimationSpeed(int position);
    static int FramesPerPhase(int position);
    // "Time: " and the model time in the pattern 00.00.
    static QString TimeCaption(double time);

    TSimEngine& Engine() { return m_engine; }
    bool Stopped() const { return m_stopped; }
    bool Running() const { return !m_stopped; }
    // The chart tabs, in tab order.
    std::vector<TSimChart*> Charts() const;
    QTabWidget* ChartPages() const { return m_charts; }
    QLabel* TimeLabel() const { return m_timeLabel; }
    QSlider* SpeedSlider() const { return m_speed; }
    QComboBox* ObjectList() const { return m_objects; }
    QComboBox* PropertyList() const { return m_properties; }
    QCheckBox* StochasticBox() const { return m_stochastic; }
    // Frames shown in the last animation phase that moved tokens.
    int LastFrames() const { return m_lastFrames; }

    // For tests and scripts: the name the picture dialog would return
    // (empty: ask), where messages go instead of a message box, the pause
    // between two animation frames, and a cap on the wait between steps.
    QString AutoFileName;
    std::function<void(const QString&)> MessageHook;
    int FrameMs = 20;
    int MaxWaitMs = 2000;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void open();
    void runStep();
    void requestStep();
    void plot();
    void animate(const std::vector<TclsLink*>& arcs);
    void wait(int ms);
    void setRunning(bool running);
    void showTime();
    void objectChosen(int index);
    TSimChart* addChart(const QString& graph);
    void closeChart(TSimChart* chart);
    // A chart action pauses the simulation while it runs.
    void chartAction(TSimChart* chart, bool save);
    void message(const QString& text);

    TQRVDesigner& m_designer;
    TSimEngine m_engine;
    bool m_opened = false;
    bool m_stopped = true;
    bool m_closing = false;
    bool m_inStep = false;
    bool m_stepQueued = false;
    bool m_restartPending = false;
    int m_lastFrames = 0;
    int m_fullHeight = 560;
    QEventLoop* m_waiting = nullptr;

    QWidget* m_topPanel = nullptr;
    QWidget* m_choicePanel = nullptr;
    QPushButton* m_btStart = nullptr;
    QPushButton* m_btStop = nullptr;
    QPushButton* m_btRestart = nullptr;
    QPushButton* m_btClose = nullptr;
    QPushButton* m_btAddGraph = nullptr;
    QPushButton* m_btShow = nullptr;
    QSlider* m_speed = nullptr;
    QLabel* m_timeLabel = nullptr;
    QCheckBox* m_stochastic = nullptr;
    QComboBox* m_objects = nullptr;
    QComboBox* m_properties = nullptr;
    QTabWidget* m_charts = nullptr;
    QPointer<THelpWindow> m_help;
};
