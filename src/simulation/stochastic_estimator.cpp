#include "simulation/stochastic_estimator.h"

#include <QHash>

#include <cmath>
#include <limits>

#include "formula/formula.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/progress.h"
#include "model/transitions.h"
#include "simulation/sim_engine.h"
#include "simulation/sim_error.h"
#include "simulation/stochastic_net.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Batches kept before pairs are merged, and the fewest for a stop by precision.
constexpr int kMaxBatches = 40;
constexpr int kMinBatches = 20;
// Events in the first batch when its length is not given by the run length.
constexpr qint64 kPilotEvents = 1000;
// Firings without time passing after which a loop of immediate transitions is assumed.
constexpr qint64 kMaxInstantFirings = 1000000;

// ---- the two ways of running the net ---------------------------------------------------

// The compiled net.
class TCompiledRun
{
public:
    TCompiledRun(TStochasticNet& net, quint64 seed) : m_net(net), m_random(seed) {}
    void Reset() { m_net.Reset(m_random); }
    double Delay() const { return m_net.Delay(); }
    bool Dead() const { return m_net.Dead(); }
    int Advance() { return m_net.Advance(); }
    const int* ChangedBegin() const { return m_net.ChangedBegin(); }
    const int* ChangedEnd() const { return m_net.ChangedEnd(); }
    double Value(int place) const { return m_net.Value(place); }
    int PlaceIndex(const TQRVObject* o) const { return m_net.PlaceIndex(o); }
    int TransitionIndex(const TQRVObject* o) const { return m_net.TransitionIndex(o); }
    int PlaceCount() const { return m_net.PlaceCount(); }
    int TransitionCount() const { return m_net.TransitionCount(); }

private:
    TStochasticNet& m_net;
    TSimRandom m_random;
};

// The live net, through the simulation engine in stochastic timing. Every
// place counts as changed by every step.
class TLiveRun
{
public:
    TLiveRun(TQRVDesigner& net, quint64 seed) : m_engine(net, seed)
    {
        m_engine.Open(); // formulas that fail are reported by the step that reads them
        m_engine.SetStochastic(true);
        for (TQRVObject* o : net.ObjectList())
            if (auto* p = qobject_cast<TclsNode*>(o)) {
                m_placeIndex.insert(p, static_cast<int>(m_places.size()));
                m_all.push_back(static_cast<int>(m_places.size()));
                m_places.push_back(p);
            }
        for (int t = 0; t < m_engine.TransitionCount(); ++t)
            m_transIndex.insert(m_engine.Transition(t), t);
    }
    void Reset()
    {
        m_engine.Restart();
        m_engine.Step(); // chooses the first event
    }
    double Delay() const
    {
        return m_engine.Dead() ? kInfinity : m_engine.ModelTime() - m_engine.PreviousTime();
    }
    bool Dead() const { return m_engine.Dead(); }
    int Advance()
    {
        m_engine.Step();
        for (int t : m_engine.FiringList())
            if (m_engine.Kind(t) != skContinuous)
                return t;
        return -1;
    }
    const int* ChangedBegin() const { return m_all.data(); }
    const int* ChangedEnd() const { return m_all.data() + m_all.size(); }
    double Value(int place) const { return m_places[static_cast<std::size_t>(place)]->Value(); }
    int PlaceIndex(const TQRVObject* o) const { return m_placeIndex.value(o, -1); }
    int TransitionIndex(const TQRVObject* o) const { return m_transIndex.value(o, -1); }
    int PlaceCount() const { return static_cast<int>(m_places.size()); }
    int TransitionCount() const { return m_engine.TransitionCount(); }

private:
    TSimEngine m_engine;
    std::vector<TclsNode*> m_places;
    std::vector<int> m_all;
    QHash<const TQRVObject*, int> m_placeIndex;
    QHash<const TQRVObject*, int> m_transIndex;
};

// Mean and half-width of the 95 % interval of samples.
TSimEstimate summarise(const std::vector<double>& samples)
{
    TSimEstimate e;
    e.Samples = static_cast<int>(samples.size());
    if (samples.empty())
        return e;
    double sum = 0;
    for (double s : samples)
        sum += s;
    const double n = static_cast<double>(samples.size());
    e.Mean = sum / n;
    if (samples.size() < 2) {
        e.HalfWidth = kInfinity;
        return e;
    }
    double squares = 0;
    for (double s : samples)
        squares += (s - e.Mean) * (s - e.Mean);
    e.HalfWidth = StudentQuantile975(e.Samples - 1) * std::sqrt(squares / (n - 1) / n);
    return e;
}

// The lag-1 autocorrelation of a series (0 when it does not vary).
double lagOneCorrelation(const std::vector<double>& x)
{
    if (x.size() < 3)
        return 0;
    double mean = 0;
    for (double v : x)
        mean += v;
    mean /= static_cast<double>(x.size());
    double num = 0, den = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        den += (x[i] - mean) * (x[i] - mean);
        if (i + 1 < x.size())
            num += (x[i] - mean) * (x[i + 1] - mean);
    }
    return den > 0 ? num / den : 0;
}

bool precise(const TSimEstimate& e, double precision)
{
    return e.HalfWidth == 0 || e.HalfWidth <= precision * std::fabs(e.Mean);
}

} // namespace

// ---- one run's time averages ----------------------------------------------------------------

// The time integrals and firing counts of every measure over a stretch of
// one run, kept lazily: a place's integral is brought up to date only when
// a firing changes the place.
template <class TRun> class TObservation
{
public:
    TObservation(TRun& run, const TStochasticEstimator& owner) : m_run(run), m_owner(owner)
    {
        const auto& measures = owner.m_measures;
        m_count = measures.size();
        m_place.assign(m_count, -1);
        m_byPlace.assign(static_cast<std::size_t>(run.PlaceCount()), -1);
        m_byTransition.assign(static_cast<std::size_t>(run.TransitionCount()), -1);
        for (std::size_t m = 0; m < m_count; ++m) {
            const TQRVObject* o = owner.m_net.FindObject(measures[m].Object);
            if (measures[m].Kind == mkTokens) {
                m_place[m] = run.PlaceIndex(o);
                if (m_place[m] >= 0)
                    m_byPlace[static_cast<std::size_t>(m_place[m])] = static_cast<int>(m);
            } else if (measures[m].Kind == mkRate) {
                const int t = run.TransitionIndex(o);
                if (t >= 0)
                    m_byTransition[static_cast<std::size_t>(t)] = static_cast<int>(m);
            } else {
                m_conditions.push_back(static_cast<int>(m));
            }
        }
        m_last.assign(m_count, 0.0);
        m_since.assign(m_count, 0.0);
        m_integral.assign(m_count, 0.0);
        m_fired.assign(m_count, 0);
    }

    // Starts observing at time t0 in the marking the run holds.
    void Begin(double t0)
    {
        for (std::size_t m = 0; m < m_count; ++m) {
            m_last[m] = current(m);
            m_since[m] = t0;
            m_integral[m] = 0;
            m_fired[m] = 0;
        }
    }

    // The run's next event at time t (the run is advanced here).
    void Event(double t)
    {
        const int fired = m_run.Advance();
        if (fired >= 0) {
            const int m = m_byTransition[static_cast<std::size_t>(fired)];
            if (m >= 0)
                ++m_fired[static_cast<std::size_t>(m)];
        }
        for (const int* p = m_run.ChangedBegin(); p != m_run.ChangedEnd(); ++p) {
            const int m = m_byPlace[static_cast<std::size_t>(*p)];
            if (m >= 0)
                update(static_cast<std::size_t>(m), t, m_run.Value(*p));
        }
        for (int m : m_conditions)
            update(static_cast<std::size_t>(m), t, current(static_cast<std::size_t>(m)));
    }

    // The averages over a stretch of the given length that ends at time t;
    // the integrals and counts start again from t.
    void Close(double t, double length, std::vector<double>& values)
    {
        values.resize(m_count);
        for (std::size_t m = 0; m < m_count; ++m) {
            update(m, t, m_last[m]);
            const bool rate = m_owner.m_measures[m].Kind == mkRate;
            values[m] = (rate ? static_cast<double>(m_fired[m]) : m_integral[m]) / length;
            m_integral[m] = 0;
            m_fired[m] = 0;
        }
    }

    // The values of a marking that never changes again (rates are 0).
    void Frozen(std::vector<double>& values) const
    {
        values.resize(m_count);
        for (std::size_t m = 0; m < m_count; ++m)
            values[m] = m_owner.m_measures[m].Kind == mkRate ? 0.0 : m_last[m];
    }

private:
    double current(std::size_t m) const
    {
        switch (m_owner.m_measures[m].Kind) {
        case mkTokens:
            return m_place[m] >= 0 ? m_run.Value(m_place[m]) : 0.0;
        case mkRate:
            return 0;
        case mkProb:
            break;
        }
        const TQRVFormula* condition = m_owner.m_conditions[m].get();
        try {
            return condition->Value_Actual() != 0 ? 1.0 : 0.0;
        } catch (const ERxParserError& e) {
            throw ESimError(QStringLiteral("The condition \"%1\" cannot be evaluated: %2")
                                .arg(condition->Formula(), e.Message));
        }
    }
    void update(std::size_t m, double t, double value)
    {
        m_integral[m] += m_last[m] * (t - m_since[m]);
        m_since[m] = t;
        m_last[m] = value;
    }

    TRun& m_run;
    const TStochasticEstimator& m_owner;
    std::size_t m_count = 0;
    std::vector<int> m_place;
    std::vector<int> m_byPlace;
    std::vector<int> m_byTransition;
    std::vector<int> m_conditions;
    std::vector<double> m_last, m_since, m_integral;
    std::vector<qint64> m_fired;
};

// ---- measures ---------------------------------------------------------------------------------

QString TSimMeasure::Description() const
{
    switch (Kind) {
    case mkTokens:
        return QStringLiteral("Average tokens count in ") + Object;
    case mkRate:
        return QStringLiteral("Average operation rate of ") + Object;
    case mkProb:
        break;
    }
    return QStringLiteral("in MacroState probability") + Object;
}

double StudentQuantile975(int df)
{
    static const double table[] = {12.706204736, 4.302652730, 3.182446305, 2.776445105, 2.570581836,
                                   2.446911851,  2.364624252, 2.306004135, 2.262157163, 2.228138852,
                                   2.200985160,  2.178812830, 2.160368656, 2.144786688, 2.131449546,
                                   2.119905299,  2.109815578, 2.100922040, 2.093024054, 2.085963447,
                                   2.079613845,  2.073873068, 2.068657610, 2.063898562, 2.059538553,
                                   2.055529439,  2.051830516, 2.048407142, 2.045229642, 2.042272456};
    if (df < 1)
        return kInfinity;
    if (df <= 30)
        return table[df - 1];
    // Cornish-Fisher expansion about the normal quantile; exact to 1e-6 from 30 on.
    const double z = 1.959963984540054;
    const double z3 = z * z * z, z5 = z3 * z * z, z7 = z5 * z * z, z9 = z7 * z * z;
    const double v = df;
    return z + (z3 + z) / 4 / v + (5 * z5 + 16 * z3 + 3 * z) / 96 / (v * v) +
           (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / 384 / (v * v * v) +
           (79 * z9 + 776 * z7 + 1482 * z5 - 1920 * z3 - 945 * z) / 92160 / (v * v * v * v);
}

TStochasticEstimator::TStochasticEstimator(TQRVDesigner& net) : m_net(net) {}

TStochasticEstimator::TStochasticEstimator(TStochasticEstimator&&) noexcept = default;

TStochasticEstimator::~TStochasticEstimator() = default;

void TStochasticEstimator::addMeasure(TMeasureKind kind, const QString& object)
{
    TSimMeasure m{kind, object};
    const QString description = m.Description();
    for (const TSimMeasure& other : m_measures)
        if (other.Description() == description)
            return;
    std::unique_ptr<TQRVFormula> condition;
    if (kind == mkProb) {
        // As the steady-state analysis makes it: text "True", reference 1, then the condition.
        condition = std::make_unique<TQRVFormula>(nullptr, &m_net);
        condition->TrySetFormula(QStringLiteral("True"));
        condition->SetValue_Reference(1.0);
        condition->TrySetFormula(object);
    }
    m_measures.push_back(m);
    m_conditions.push_back(std::move(condition));
}

QString TStochasticEstimator::AddMeasure(const QString& spec)
{
    const int colon = spec.indexOf(QLatin1Char(':'));
    const QString kind = spec.left(colon).trimmed().toLower();
    const QString object = colon < 0 ? QString() : spec.mid(colon + 1).trimmed();
    if (colon < 0 || object.isEmpty() ||
        (kind != QLatin1String("tokens") && kind != QLatin1String("rate") && kind != QLatin1String("prob")))
        return QStringLiteral("%1: a measure is tokens:PLACE, rate:TRANSITION or prob:CONDITION").arg(spec);
    if (kind == QLatin1String("prob")) {
        TQRVFormula probe(nullptr, &m_net);
        const QString error = probe.TrySetFormula(object);
        if (!error.isEmpty())
            return QStringLiteral("%1: %2").arg(spec, error);
        addMeasure(mkProb, object);
        return QString();
    }
    const bool places = kind == QLatin1String("tokens");
    auto fits = [places](const TQRVObject* o) {
        return places ? qobject_cast<const TclsNode*>(o) != nullptr
                      : qobject_cast<const TclsTrans*>(o) != nullptr;
    };
    const TMeasureKind k = places ? mkTokens : mkRate;
    if (object == (places ? QLatin1String("P*") : QLatin1String("T*"))) {
        for (const TQRVObject* o : m_net.ObjectList())
            if (fits(o))
                addMeasure(k, o->Name());
        return QString();
    }
    const TQRVObject* o = m_net.FindObject(object);
    if (!o || !fits(o))
        return QStringLiteral("%1: the net has no %2 named %3")
            .arg(spec, places ? QStringLiteral("place") : QStringLiteral("transition"), object);
    addMeasure(k, o->Name());
    return QString();
}

void TStochasticEstimator::AddDefaultMeasures()
{
    AddMeasure(QStringLiteral("tokens:P*"));
    AddMeasure(QStringLiteral("rate:T*"));
}

// ---- running ------------------------------------------------------------------------------------

QString TStochasticEstimator::Run(const TEstimateSettings& settings, IQRVProgress* progress)
{
    m_results.clear();
    m_remarks.clear();
    m_firings = 0;
    m_observed = 0;
    m_stopped = false;
    m_liveReason.clear();
    const bool replications = settings.Replications >= 2;
    if (!(settings.Until >= 0) || !(settings.Warmup >= 0) || !(settings.Precision >= 0) ||
        settings.Firings < 0 || !std::isfinite(settings.Until) || !std::isfinite(settings.Warmup))
        return QStringLiteral("The run length, the warm-up and the precision must be positive numbers.");
    if (replications && settings.Until == 0 && settings.Firings == 0)
        return QStringLiteral("Independent replications need a length: a model time or a number of firings.");
    if (settings.Until == 0 && settings.Firings == 0 && settings.Precision == 0)
        return QStringLiteral(
            "The simulation needs a limit: a model time, a number of firings or a precision.");
    if (m_measures.empty())
        AddDefaultMeasures();

    // The net is left in the marking it has now.
    std::vector<std::pair<TclsNode*, double>> marking;
    for (TQRVObject* o : m_net.ObjectList())
        if (auto* p = qobject_cast<TclsNode*>(o))
            marking.emplace_back(p, p->Value());
    QString error;
    {
        TStochasticNet compiled;
        m_compiled = !settings.LiveNetOnly && compiled.Compile(m_net, &m_liveReason);
        if (settings.LiveNetOnly)
            m_liveReason = QStringLiteral("the live net was asked for");
        if (m_compiled) {
            bool conditions = false;
            for (const TSimMeasure& m : m_measures)
                conditions = conditions || m.Kind == mkProb;
            compiled.SetFollowLiveNet(conditions);
            TCompiledRun run(compiled, settings.Seed);
            error = runWith(run, settings, progress);
        } else {
            TLiveRun run(m_net, settings.Seed);
            error = runWith(run, settings, progress);
        }
    }
    for (const auto& [place, value] : marking) {
        if (auto* d = qobject_cast<TclsNodeDiscrete*>(place))
            d->SetTokensDirect(value);
        else if (auto* c = qobject_cast<TclsNodeContinuous*>(place))
            c->SetLevelDirect(value);
    }
    m_net.RebuildArcLists();
    return error;
}

template <class TRun>
QString TStochasticEstimator::runWith(TRun& run, const TEstimateSettings& settings, IQRVProgress* progress)
{
    const bool replications = settings.Replications >= 2;
    const std::size_t measures = m_measures.size();
    std::vector<std::vector<double>> samples(measures); // per measure: one per replication or batch
    std::vector<double> values;
    TObservation<TRun> obs(run, *this);
    double now = 0;
    qint64 instant = 0; // firings in a row without time passing
    qint64 sincePump = 0;

    auto stopRequested = [&] {
        if (++sincePump < 65536)
            return false;
        sincePump = 0;
        if (!progress)
            return false;
        progress->Pump();
        return progress->StopRequested();
    };
    // The next event, with the guard against immediate transitions firing forever.
    auto fire = [&](double t, bool observed) {
        instant = t == now ? instant + 1 : 0;
        if (instant > kMaxInstantFirings)
            throw ESimError(
                QStringLiteral("At model time %1 immediate transitions fired %2 times without time "
                               "passing: the net has a loop of immediate transitions.")
                    .arg(FormatGeneral(now))
                    .arg(kMaxInstantFirings));
        if (observed)
            obs.Event(t);
        else
            run.Advance();
        now = t;
        ++m_firings;
    };
    auto warmUp = [&] {
        run.Reset();
        now = 0;
        while (!run.Dead() && now + run.Delay() <= settings.Warmup)
            fire(now + run.Delay(), false);
        return settings.Warmup;
    };
    auto estimates = [&] {
        std::vector<TSimEstimate> e(measures);
        for (std::size_t m = 0; m < measures; ++m) {
            e[m] = summarise(samples[m]);
            e[m].Description = m_measures[m].Description();
        }
        return e;
    };
    auto allPrecise = [&] {
        for (const TSimEstimate& e : estimates())
            if (!precise(e, settings.Precision))
                return false;
        return true;
    };
    // A run that only the precision ends stops at MaxFirings all the same.
    const bool capped =
        settings.Precision > 0 && (replications || (settings.Until == 0 && settings.Firings == 0));
    bool capReached = false;
    auto overCap = [&] {
        capReached = capped && m_firings >= settings.MaxFirings;
        return capReached;
    };
    auto percent = [&](double done) {
        if (progress)
            progress->Progress(static_cast<int>(std::min(100.0, 100 * done)));
    };

    try {
        if (replications) {
            for (int r = 0;; ++r) {
                const double t0 = warmUp();
                obs.Begin(t0);
                const double end = settings.Until > 0 ? t0 + settings.Until : kInfinity;
                qint64 observed = 0;
                for (;;) {
                    const double t = run.Dead() ? kInfinity : now + run.Delay();
                    if (end <= t) {
                        obs.Close(end, settings.Until, values);
                        m_observed += settings.Until;
                        break;
                    }
                    if (run.Dead()) {
                        obs.Frozen(values);
                        break;
                    }
                    fire(t, true);
                    if (settings.Firings > 0 && ++observed >= settings.Firings) {
                        if (now > t0)
                            obs.Close(now, now - t0, values);
                        else
                            obs.Frozen(values);
                        m_observed += now - t0;
                        break;
                    }
                    if (stopRequested()) {
                        m_stopped = true;
                        break;
                    }
                }
                if (m_stopped)
                    break;
                for (std::size_t m = 0; m < measures; ++m)
                    samples[m].push_back(values[m]);
                percent(static_cast<double>(r + 1) / settings.Replications);
                if (r + 1 >= settings.Replications && (settings.Precision == 0 || allPrecise() || overCap()))
                    break;
                if (progress) {
                    progress->Pump();
                    if (progress->StopRequested()) {
                        m_stopped = true;
                        break;
                    }
                }
            }
        } else {
            const double t0 = warmUp();
            obs.Begin(t0);
            // Batches end at t0 + k × length; a given run length is 40 batches.
            bool pilot = settings.Until == 0;
            double length = settings.Until / kMaxBatches;
            int k = 0; // batches closed since t0, counted in the current length
            const int lastBatch = settings.Until > 0 ? kMaxBatches : std::numeric_limits<int>::max();
            qint64 observed = 0;
            bool done = false;
            auto closeBatch = [&](double at) {
                obs.Close(at, at - (t0 + k * length), values);
                for (std::size_t m = 0; m < measures; ++m)
                    samples[m].push_back(values[m]);
                ++k;
                m_observed = at - t0;
                if (k >= lastBatch || (settings.Precision > 0 &&
                                       static_cast<int>(samples[0].size()) >= kMinBatches && allPrecise())) {
                    done = true;
                    return;
                }
                if (static_cast<int>(samples[0].size()) == kMaxBatches) {
                    for (auto& s : samples) {
                        for (int i = 0; i < kMaxBatches / 2; ++i)
                            s[static_cast<std::size_t>(i)] = (s[static_cast<std::size_t>(2 * i)] +
                                                              s[static_cast<std::size_t>(2 * i + 1)]) /
                                                             2;
                        s.resize(kMaxBatches / 2);
                    }
                    length *= 2;
                    k /= 2;
                }
            };
            while (!done) {
                const double t = run.Dead() ? kInfinity : now + run.Delay();
                while (!pilot && !done && t0 + (k + 1) * length <= t)
                    closeBatch(t0 + (k + 1) * length);
                if (done)
                    break;
                if (run.Dead()) {
                    // Nothing ever changes again: the long-run values are this marking's.
                    obs.Frozen(values);
                    for (std::size_t m = 0; m < measures; ++m)
                        m_results.push_back(TSimEstimate{m_measures[m].Description(), values[m], 0.0,
                                                         static_cast<int>(samples[m].size())});
                    m_remarks << QStringLiteral(
                                     "The net is dead from model time %1 on: the estimates are the "
                                     "values of that marking.")
                                     .arg(FormatGeneral(now));
                    return QString();
                }
                fire(t, true);
                ++observed;
                if (pilot && observed >= kPilotEvents && now > t0) {
                    length = now - t0;
                    pilot = false;
                    closeBatch(now);
                }
                if ((settings.Firings > 0 && observed >= settings.Firings) ||
                    ((observed & 1023) == 0 && overCap()))
                    break;
                if (settings.Until > 0 && (observed & 1023) == 0)
                    percent((now - t0) / settings.Until);
                else if (settings.Firings > 0 && (observed & 1023) == 0)
                    percent(static_cast<double>(observed) / static_cast<double>(settings.Firings));
                if (stopRequested()) {
                    m_stopped = true;
                    break;
                }
            }
            if (samples[0].empty()) {
                // Not one batch complete: the average so far, without an interval.
                if (now > t0)
                    obs.Close(now, now - t0, values);
                else
                    obs.Frozen(values);
                for (std::size_t m = 0; m < measures; ++m) {
                    m_results.push_back(TSimEstimate{m_measures[m].Description(), values[m], kInfinity, 0});
                }
                m_remarks << QStringLiteral(
                    "The run ended before its first batch was complete: run longer for "
                    "an interval.");
                return QString();
            }
            for (std::size_t m = 0; m < measures; ++m)
                if (std::fabs(lagOneCorrelation(samples[m])) > 0.3) {
                    m_remarks << QStringLiteral("The batch means of %1 are correlated (lag-1 autocorrelation "
                                                "%2): the interval may be too narrow; run longer.")
                                     .arg(m_measures[m].Description(),
                                          FormatGeneral(lagOneCorrelation(samples[m]), 2));
                }
        }
    } catch (const ESimError& e) {
        return e.Message;
    }
    if (m_stopped)
        m_remarks << QStringLiteral("The simulation was stopped before its end.");
    if (capReached)
        m_remarks << QStringLiteral("The precision asked for was not reached within %1 firings.")
                         .arg(settings.MaxFirings);
    if (samples.empty() || samples[0].empty())
        return m_stopped ? QString() : QStringLiteral("The simulation gave no samples.");
    m_results = estimates();
    return QString();
}
