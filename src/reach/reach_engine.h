// The reachability engine: builds the reachability graph of a net by the
// classical breadth-first method, removes unsteady markings, analyses the
// behavioural properties and writes the graph file. The reachability window
// owns one engine; the command line and the performance analyses drive it
// the same way. It talks to its user only through IQRVProgress.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "model/progress.h"
#include "reach/compiled_net.h"
#include "reach/conflicts.h"
#include "reach/marking.h"
#include "reach/marking_store.h"

// The net's figures shown with a build: places, transitions, arcs of the
// whole net, and the sum of the discrete places' token counts.
struct TNetStatistics
{
    int Places = 0;
    int Transitions = 0;
    int Links = 0;
    double Markers = 0;
};

class QIODevice;
class TQRVDesigner;
class TQRVObject;
class IReachRun;
class TCompiledRun;
class TWholeNet;
class TRagStream;

// The settings of a build, with the defaults of the reachability window.
struct TReachSettings
{
    qint64 Limit = 50000;            // markings' limit
    bool ResetInitialMarking = true; // write the initial marking back when done
    bool PriorityMode = false;
    bool UnboundedControl = true; // ω for places that grow along a path
    bool RemoveUnsteady = false;  // weights of immediate transitions, then removal
    bool BalanceCalculation = false;
    // The removal of unsteady markings ends with a message past this many arcs.
    qint64 ArcBound = 50000000;
    // Fire on the live net even when the net could be compiled.
    bool LiveNetOnly = false;
    // Keep whole token counts as packed integers when the net allows it.
    bool PackMarkings = true;
};

// What a build starts from, as the net it reads tells it.
struct TPreparedNet
{
    QStringList Places;           // entries, in place order
    std::vector<bool> Continuous; // per entry
    QStringList Transitions;      // the transitions taking part, in net order
    QList<TConflictInput> ConflictInputs;
    TNetStatistics Statistics;
    // Exactly one of the two: the compiled net, or the live net's run.
    std::shared_ptr<const TCompiledNet> Compiled;
    std::unique_ptr<IReachRun> Live;
};

// The net a build reads: the live net, or a net given as arrays.
class IReachSource
{
public:
    virtual ~IReachSource() = default;
    // False, with the message, when the net cannot be analysed.
    virtual bool Prepare(const TReachSettings& settings, int selectedGroup,
                         const std::function<bool(const TQRVObject*)>& groupFilter, TPreparedNet& prepared,
                         QString& error) = 0;
    // After a build: the net takes the state the build left (the compiled run's
    // token counts and the firing counters), and the store the counters.
    virtual void Finish(TMarkList& store, const TCompiledRun* compiled) = 0;
    virtual void ApplyMarking(const TMarkList& store, int mark) = 0;
    virtual TMark CreateMarking(QString* error) const = 0;
    virtual void SetUpdating(bool on) = 0;
    virtual TQRVDesigner* Designer() const { return nullptr; }
};

// What the behavioural analysis found.
struct TBehaviour
{
    bool Complete = false;                  // false when stopped: no verdicts
    QStringList Lines;                      // the verdict lines, in order
    QList<QPair<QString, qint64>> Counters; // transition and firing counter
    double MaxValue = 0;
    bool Live = true;
    bool Reinitialisable = true;
    bool DeadTransitions = false;
    bool Bounded = true;
};

class TReachEngine
{
public:
    TReachEngine();
    ~TReachEngine();
    TReachEngine(const TReachEngine&) = delete;
    TReachEngine& operator=(const TReachEngine&) = delete;

    // ---- what is analysed ---------------------------------------------------------
    // The live net (the build writes markings into it and fires its transitions).
    void SetNet(TQRVDesigner* net);
    TQRVDesigner* Net() const { return m_source ? m_source->Designer() : nullptr; }
    // A net given as arrays (benchmarks, tests); replaces the live net.
    void SetCompiledNet(std::shared_ptr<const TCompiledNet> net);
    void SetSource(std::unique_ptr<IReachSource> source);
    // Where progress, status texts and messages go, and stop requests come from.
    void SetProgress(IQRVProgress* progress);

    TReachSettings Settings;
    // The group whose elements take part: -1 for all of them. With another
    // group, GroupFilter decides which places, transitions and arcs take part.
    int SelectedGroup = -1;
    std::function<bool(const TQRVObject*)> GroupFilter;
    // When set, every successful build writes the graph to this file.
    QString GraphFileName;

    // ---- run flags ---------------------------------------------------------------------
    bool Stopped() const { return m_stopped; }
    bool LimitReached() const { return m_limitReached; }
    bool Built() const { return m_built; }
    bool NoDeadMarking() const { return m_noDeadMarking; }
    // False when the removal of unsteady markings was stopped or hit the arc bound.
    bool RemovalComplete() const { return m_removalComplete; }
    // True when the last build ran on the compiled net.
    bool UsedCompiledNet() const { return m_compiled != nullptr; }
    // True when the last build kept its markings packed to the end.
    bool UsedPackedMarkings() const { return m_store && m_store->Packed(); }

    // ---- results ---------------------------------------------------------------------------
    TMarkList* Store() const { return m_store.get(); }
    // Takes a store built elsewhere (the tensorial build, tests) as the graph
    // on which removal, analysis and the graph file work.
    void AdoptStore(std::unique_ptr<TMarkList> store);
    const TNetStatistics& Statistics() const { return m_statistics; }
    // Markings found by the build, before unsteady markings were removed.
    int TotalMarkings() const { return m_totalMarkings; }
    // Milliseconds from the start of the build until the graph was complete.
    qint64 ElapsedMs() const { return m_elapsedMs; }
    // "1m 5s 042ms".
    static QString FormatElapsed(qint64 ms);

    // ---- the build ------------------------------------------------------------------------
    // The whole classical build. True when the graph was built.
    bool BuildClassical();
    // The tensorial build: the graph of each group of the net, combined
    // group by group (tensorial_build.cpp). True when the graph was built.
    bool BuildTensorial();
    // A new store over the net with the initial marking. False (after the
    // message) when the net cannot be analysed.
    bool PrepareBuild();
    // One breadth-first pass; true when at least one new marking was added.
    bool ExpandPass();
    // The transitions enabled under the marking the net holds now (indices
    // into the store's transition list), after the priority rule when asked.
    const std::vector<int>& CollectEnabled(bool priorityMode);
    // The firing probabilities of the enabled transitions.
    void ComputeProbabilities();
    // -1 for a transition that is not enabled.
    double Probability(int t) const;
    void SetProbability(int t, double p);
    // The unbounded-net control for new marking values whose parent is `parent`.
    void ApplyOmega(double* values, int parent) const;

    // Replaces every path through unsteady markings by direct arcs. False
    // when it was stopped or hit the arc bound (the graph is then partly reduced).
    bool RemoveUnsteady();
    // The behavioural properties of the built graph.
    TBehaviour AnalyseBehaviour();

    // ---- the graph file ----------------------------------------------------------------------
    // Reduced when unsteady markings are removed, otherwise full.
    TRagMode GraphMode() const { return Settings.RemoveUnsteady ? rmReduced : rmFull; }
    // Writes the graph file; an empty text on success, otherwise the message.
    // An existing file is only replaced once the new one is complete.
    QString WriteGraphFile(const QString& fileName) const;
    bool WriteGraph(QIODevice& device) const;
    // Whether the graph file carries the limit warning.
    bool LimitWarning() const;

    // ---- rows and stepping for the window ------------------------------------------------------
    // Marking name, values text, "[" + links (and, reduced, "\\" + weights).
    QStringList GraphRow(int mark) const;
    // Names of the entries shown in the balance list (those containing "b").
    QStringList BalanceColumns() const;
    // Marking name, enabled continuous transitions, balances of BalanceColumns.
    QStringList BalanceRow(int mark) const;
    // Writes a stored marking into the live net (through the places' setters).
    void ApplyMarking(int mark);
    // Reads the marking the live net holds now.
    TMark CreateMarkingFromNet(QString* error = nullptr) const;

private:
    friend class TTensorialBuild;
    // The start of every expansion: counts it, lets events run, and checks the
    // limit and the stop flag. False when the pass ends here.
    bool beginExpansion();
    template <class Run> bool expandPassWith(Run& run, int end, bool result);
    // The pass on packed markings up to `end`.
    void expandPacked(int end, bool& result);
    // The successors of one marking on packed counts, ready to be looked up.
    struct TSuccessors
    {
        int Mark = -1; // -1: none
        std::vector<int> Enabled;
        std::vector<double> Probabilities;
        std::vector<quint64> Codes; // Words() per successor
        std::vector<quint64> Keys;
        std::vector<double> Sums; // weighted sums, for the unbounded-net control
        std::vector<char> Exact;
        std::vector<qint64> Counts; // per successor made from counts
        std::vector<char> Counted;
    };
    // Makes the successors of marking `mark`, widening fields when a count
    // outgrows them. Without `mayWiden` (successors made ahead wait for
    // their turn) nothing is made then, and the result is false.
    bool makeSuccessors(int mark, TSuccessors& next, bool mayWiden);
    // Looks the successors up, stores the new ones and adds the arcs.
    void storeSuccessors(const TSuccessors& next, bool& result);
    bool applyOmegaWhole(qint64* values, int parent) const;
    bool removeUnsteady();
    TBehaviour analyseBehaviour();
    void addInitialMarking();
    // What a linear firing of each transition adds to a code and to the weighted sum.
    void prepareDeltas();
    template <class Run> void collectEnabledWith(Run& run, bool priorityMode);
    template <class Run> void computeProbabilitiesWith(Run& run);
    IReachRun* run() const;
    void recordNewMarking(int mark, int parent);
    // The smallest weighted sum along the chain of a new marking's parents.
    void recordChainSum(int parent, double sum, bool exact);
    bool applyOmega(double* values, int parent) const;
    void finishRun();
    void showProgress();

    std::unique_ptr<IReachSource> m_source;
    std::shared_ptr<const TCompiledNet> m_compiledNet; // of the current build
    IQRVProgress* m_progress;
    std::unique_ptr<IQRVProgress> m_silent;
    std::unique_ptr<TMarkList> m_store;
    // The graph file written while a build goes on (declared after the
    // store, which it reads, so that it ends first).
    std::unique_ptr<TRagStream> m_stream;
    // Starts it when the build writes a graph file it can write so.
    void startStream();
    std::unique_ptr<TCompiledRun> m_compiled;
    std::unique_ptr<IReachRun> m_live;
    // The compiled net on whole counts while markings are packed.
    std::unique_ptr<TWholeNet> m_whole;
    std::vector<qint64> m_counts; // the marking being expanded
    TSuccessors m_successors[2];
    std::vector<quint64> m_deltaCodes; // per transition, Words() words
    std::vector<double> m_deltaSums;   // per transition
    // Per place, the largest count from which every linear firing leaves it
    // within its field and below 99999 (below 0: none).
    std::vector<qint64> m_roomyBelow;
    // The last marking expanded on packed markings and the last transition
    // fired there (-1: none), which tell what the places hold at the end.
    int m_lastExpanded = -1;
    int m_lastTransition = -1;
    QList<TConflict> m_conflicts;
    TNetStatistics m_statistics;

    std::vector<int> m_enabled;
    std::vector<double> m_probabilities;
    std::vector<int> m_enabledAt; // per transition: position in m_enabled, or -1

    // Unbounded-net control: per marking the smallest token sum along its
    // chain of parents; no ancestor can be covered by a marking of a smaller sum.
    TChunkedArray<double> m_minChainSum;
    std::vector<double> m_sumWeights; // a positive place invariant, when found
    bool m_exactSums = true;
    const double* sumWeights() const { return m_sumWeights.empty() ? nullptr : m_sumWeights.data(); }
    // Whether the build watches for ω: when asked to, unless the packed
    // net provably keeps every count bounded (see keepsSumOfCounts).
    bool m_omega = true;
    bool keepsSumOfCounts() const;

    // Successors of the marking being expanded, before they are looked up.
    std::vector<double> m_batch;
    std::vector<double> m_batchBalances;
    std::vector<QString> m_batchOpen;
    std::vector<quint64> m_batchKeys;
    std::vector<double> m_batchSums;
    std::vector<char> m_batchExact;

    bool m_stopped = false;
    bool m_limitReached = false;
    bool m_built = false;
    bool m_noDeadMarking = false; // set when a build starts
    bool m_removalComplete = true;
    int m_totalMarkings = 0;
    qint64 m_elapsedMs = 0;
    int m_shownPercent = -1;
};

// The texts the engine shows.
namespace ReachTexts {
inline const char* const LimitMessage =
    "Markings limitation has been reached. Process stopped. Increase markings limit and restart process";
inline const char* const MarkingsFound = " markings found";
inline const char* const Aborted = "Process aborted";
inline const char* const RemovingUnsteady = "Phase 3 Removing unsteady markings.";
inline const char* const BuildingConnections = "Phase 3. Bulding up connections Array... ";
inline const char* const Analysing = "Phase 4. Analizing behavioural properties";
inline const char* const NoMemory =
    "There is not enough memory for the reachability graph. Lower the markings' limit and build again.";
inline const char* const NoMemoryForRemoval = "There is not enough memory to remove the unsteady markings. "
                                              "The graph is only partly reduced.";
inline const char* const NoMemoryForAnalysis = "There is not enough memory for the behavioural analysis.";
} // namespace ReachTexts
