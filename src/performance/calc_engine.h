// The calculation engine of the performance analyses: the graph of tangible
// markings, the generator of its chain, the stationary probabilities, the
// values the user asked for and their sweep over one or two arguments.
//
// The steady-state window, the transient window and quorvane-cli each own an
// engine. It talks to its user only through IQRVProgress.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "performance/chain_graph.h"
#include "performance/sparse_generator.h"
#include "performance/steady_solvers.h"
#include "reach/reach_engine.h"

class IQRVProgress;
class TQRVDesigner;
class TQRVFormula;
class TclsNode;
class TclsNodeDiscrete;
class TclsTrans;
class TclsTransTimed;

// The kinds of value, in the order of the value-kind selector.
enum TValueKind {
    vkTokens = 0,
    vkInflow = 1,
    vkStayTime = 2,
    vkCost = 3,
    vkRate = 4,
    vkFreq = 5,
    vkMacroProbability = 6,
    vkMacroCost = 7,
};

namespace KindTexts {
inline const char* const All[8] = {
    "Average tokens count in ",       "Average inflow rate in ",    "Average token stay time in ",
    "Average token staying cost in ", "Average operation rate of ", "Average operation freq of ",
    "in MacroState probability",      "MarcoState staying cost",
};
} // namespace KindTexts

// One entry of the values list.
struct TAnalyzeItem
{
    QString KindText;
    QString ObjectName; // an element's name, or a condition formula (kinds 6 and 7)
    bool Listed = true; // false for entries added because another needs them

    QString Description() const { return KindText + ObjectName; }
};

// One sweep argument: "None", "Lm" + a timed transition's name without its
// first character (its rate), or "M(" + place + ")" (its initial tokens).
struct TSweepArgument
{
    QString Text = QStringLiteral("None");
    int Count = 1;
    double Initial = 0;
    double Step = 0;
};

struct TSweepOutcome
{
    enum TKind { Completed, Stopped, Failed };
    TKind Kind = Completed;
    // For Failed: the message; SolverFailed tells that the solver could not
    // solve (the window then says "Could not solve the equation sistem...").
    QString Message;
    bool SolverFailed = false;
};

class TCalcEngine
{
public:
    explicit TCalcEngine(TQRVDesigner* net);
    ~TCalcEngine();
    TCalcEngine(const TCalcEngine&) = delete;
    TCalcEngine& operator=(const TCalcEngine&) = delete;

    TQRVDesigner* Net() const { return m_net; }
    void SetProgress(IQRVProgress* progress);
    IQRVProgress* Progress() const { return m_progress; }

    // ---- the lists -----------------------------------------------------------------
    int MarkingCount() const { return Markings.MarkingCount; }
    int PlaceCount() const { return static_cast<int>(PlaceNames.size()); }
    int TransitionCount() const { return static_cast<int>(TransitionNames.size()); }
    QList<QPair<QString, TclsNode*>> PlaceNames;       // the graph's places, in its order
    QList<QPair<QString, TclsTrans*>> TransitionNames; // every transition, in net order
    QList<QPair<QString, TclsTransTimed*>> TimedNames; // every timed transition
    QStringList KindNames;

    // ---- the graph, the generator and the probabilities -------------------------------
    TChainGraph Markings;
    TSparseGenerator Generator;
    std::vector<double> MarkProbability; // per marking, after a solve

    // Reads a graph file. False when the file is refused (the message in
    // LastError, empty after Break): a dead marking, an exceeded limit, a
    // place the net does not have, a continuous place, a text that does not read.
    bool ReadGraphFile(const QString& fileName);
    // Markings without successor are absorbing states, not a refusal (the
    // transient analysis); their generator row is zero.
    bool AllowDeadMarkings = false;
    // Takes the graph of a marking store (the command line builds it in memory).
    bool LoadGraph(const TMarkList& store, bool reduced);
    // The outcome of the last reading.
    TGraphReadResult LastReadResult() const { return m_lastRead; }
    // Writes marking k's token counts into the net's places.
    void PutMarking(int k);
    // The generator from the graph and the net's rate formulas. False with
    // LastError (empty after Break).
    bool BuildGenerator();
    // Whether the graph holds entries of immediate transitions (unsteady
    // markings that were not removed).
    bool HoldsUnsteadyMarkings() const;

    // ---- the solution ---------------------------------------------------------------------
    TSteadySettings Solver;
    bool UseGauss() const { return Solver.Method == smGauss; }
    bool SolveSteadyState();
    bool SolveGauss();
    bool SolveSeidel();
    const TSolveReport& LastSolve() const { return m_lastSolve; }

    // ---- the values --------------------------------------------------------------------------
    QList<TAnalyzeItem> Items;
    // The kind of a description's kind text (-1 when none).
    static int KindOf(const QString& kindText);
    // The same among this engine's own KindNames.
    int KindIndex(const QString& kindText) const;
    // Adds the entries for a kind and an object text ("P*" every place of the
    // graph, "T*" every transition), skipping descriptions already present.
    // Returns the number added.
    int AddItems(const QString& kindText, const QString& objectText);
    int FindItem(const QString& description) const;
    // Removes entry e with its values, so that the values of the other
    // entries stay where Result finds them.
    void RemoveItem(int e);
    // Removes unlisted entries, then adds those that listed ones need.
    void ResolveDependencies();
    // The values at point (i, j) for every entry. False with LastError.
    bool ComputeMeasures(int i, int j);

    // ---- the sweep ------------------------------------------------------------------------------
    int Arg1Count = 0;
    int Arg2Count = 0;
    std::vector<double> Arg1Values;
    std::vector<double> Arg2Values;
    std::vector<double> Results; // Arg1Count × Arg2Count × Items
    bool ResultsValid = false;
    double Result(int i, int j, int e) const;
    double& ResultAt(int i, int j, int e);
    // The start of every sweep: the dependencies resolved, then room for
    // n1 × n2 points (at least one each), every value 0 and not yet valid.
    void StartResults(int n1, int n2);

    // "None", the "Lm" entries, the "M(" entries.
    QStringList ArgumentTexts() const;
    bool IsMarkingArgument(const QString& text) const { return text.startsWith(QLatin1String("M(")); }
    double ReadArgument(const QString& text) const;
    // False with LastError (a rebuild that failed).
    bool ApplyArgument(const QString& text, double value);
    TSweepOutcome RunSweep(const TSweepArgument& arg1, const TSweepArgument& arg2);
    // The end of every sweep, once the arguments were put back (`restored`):
    // a failure keeps its message (`failure`), a failed restore becomes the
    // failure, otherwise the results are valid — Stopped when `stopped`.
    TSweepOutcome FinishSweep(TSweepOutcome outcome, const QString& failure, bool restored, bool stopped);
    // Told the number of points left after each point ("Iterations to go: N").
    std::function<void(qint64 left)> PointsLeft;

    // ---- rebuilding the graph for an "M(" argument ----------------------------------------------
    TReachSettings Builder; // "RG builder settings"
    // Where a rebuilt graph goes: "current.rag", read back (the window), or
    // straight from the builder's store (the command line, when empty).
    QString RebuildFile;
    bool RebuildGraph();

    QString LastError;

private:
    struct TLabelInfo
    {
        int Transition = -1; // in TransitionNames: the first transition of the path
    };
    bool adoptGraph(const TGraphReadStatus& status);
    // Before a sweep's point i >= 2 of a row: the start of the iterative
    // method from the last two solutions (MarkProbability and `lastButOne`,
    // which then holds the last).
    void extrapolateStart(std::vector<double>& lastButOne);
    bool prepareLabels();
    double rateOf(int transition) const;
    bool isDynamic(int transition) const;
    QString failAt(const QString& description, int i, int j, const QString& why) const;

    TQRVDesigner* m_net;
    IQRVProgress* m_progress;
    std::unique_ptr<IQRVProgress> m_silent;
    std::vector<TLabelInfo> m_labels;
    // Per place of PlaceNames: the place whose tokens PutMarking sets, or
    // null when it has none to set.
    std::vector<TclsNodeDiscrete*> m_discrete;
    TGraphReadResult m_lastRead = grOk;
    TSolveReport m_lastSolve;
};

namespace PerfTexts {
inline const char* const CouldNotSolve = "Could not solve the equation sistem. Calculation aborted!";
inline const char* const Rebuilding = "NOW - REBUILDING RA graph. WAIT!!";
inline const char* const Measures = "Now : Calculating behavioural properties.";
inline const char* const Idle = "Now : Idle";
inline const char* const RebuildFailed = "It suXX";
} // namespace PerfTexts
