// Estimates of the steady-state measures by stochastic simulation, with 95 %
// confidence intervals: the mean number of tokens in a place, the firing
// rate of a transition, and the probability that a condition holds.
//
// Two ways of sampling: independent replications (each starts from the
// initial marking, drops a warm-up period and gives one time average per
// measure), or batch means (one long run after the warm-up, cut into batches
// of equal model time; batches are merged in pairs whenever 40 are full, so
// that they grow with the run). The interval is mean ± t(0.975, n - 1) ×
// s / sqrt(n) over the n samples (replications or batches).
//
// The net is compiled into arrays when it can be (TStochasticNet); nets with
// continuous elements or guards and arc weights that read the marking run on
// the live net through the simulation engine. The net is left as it was.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class IQRVProgress;
class TQRVDesigner;
class TQRVFormula;

// The kind texts the steady-state analysis uses for the same measures.
enum TMeasureKind { mkTokens, mkRate, mkProb };

struct TSimMeasure
{
    TMeasureKind Kind = mkTokens;
    QString Object; // a place or transition name, or a condition formula
    QString Description() const;
};

struct TEstimateSettings
{
    double Until = 0;     // model time observed per run (after the warm-up); 0: no limit
    qint64 Firings = 0;   // firings observed per run; 0: no limit
    double Precision = 0; // stop when every half-width <= Precision × |mean|; 0: not used
    int Replications = 0; // 2 or more: independent replications (at least that many); else batch means
    double Warmup = 0;    // model time dropped at the start of every run
    // A run that goes on until the precision is reached (batch means without
    // another limit, or replications) ends after this many firings in all,
    // reached or not (a remark says so).
    qint64 MaxFirings = 100000000;
    quint64 Seed = 1;
    bool LiveNetOnly = false; // never compile the net (tests compare both ways)
};

struct TSimEstimate
{
    QString Description;
    double Mean = 0;
    double HalfWidth = 0; // of the 95 % interval; +infinity with fewer than 2 samples
    int Samples = 0;
};

// t such that P(|T| <= t) = 0.95 for Student's distribution with `df` degrees of freedom.
double StudentQuantile975(int df);

class TStochasticEstimator
{
public:
    explicit TStochasticEstimator(TQRVDesigner& net);
    TStochasticEstimator(TStochasticEstimator&&) noexcept;
    ~TStochasticEstimator();

    // Adds the measures of "tokens:P", "rate:T" or "prob:FORMULA"; "P*" and
    // "T*" stand for every place or transition. A measure already there is
    // not added again. Returns the message when the text names nothing usable.
    QString AddMeasure(const QString& spec);
    // The tokens of every place and the rate of every transition.
    void AddDefaultMeasures();
    const std::vector<TSimMeasure>& Measures() const { return m_measures; }

    // Runs the simulation. Needs a limit (Until, Firings or Precision; with
    // replications, Until or Firings). Returns the message of a failure.
    QString Run(const TEstimateSettings& settings, IQRVProgress* progress = nullptr);

    const std::vector<TSimEstimate>& Results() const { return m_results; }
    // What the run did: firings and model time observed (all runs), whether
    // the compiled net was used (and why not), and remarks worth reading
    // (a dead marking, batches that look correlated, a stop by the user).
    qint64 Firings() const { return m_firings; }
    double ObservedTime() const { return m_observed; }
    bool Compiled() const { return m_compiled; }
    QString LiveReason() const { return m_liveReason; }
    QStringList Remarks() const { return m_remarks; }
    bool Stopped() const { return m_stopped; }

private:
    template <class TRun> friend class TObservation;
    template <class TRun>
    QString runWith(TRun& run, const TEstimateSettings& settings, IQRVProgress* progress);
    void addMeasure(TMeasureKind kind, const QString& object);

    TQRVDesigner& m_net;
    std::vector<TSimMeasure> m_measures;
    std::vector<std::unique_ptr<TQRVFormula>> m_conditions; // per measure, for prob measures
    std::vector<TSimEstimate> m_results;
    qint64 m_firings = 0;
    double m_observed = 0;
    bool m_compiled = false;
    bool m_stopped = false;
    QString m_liveReason;
    QStringList m_remarks;
};
