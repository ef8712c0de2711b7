#include "reach/reach_engine.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <new>

#include "formula/parser.h"
#include "model/numbers.h"
#include "model/places.h"
#include "reach/engine_rules.h"
#include "reach/rag_file.h"
#include "reach/reach_run.h"
#include "reach/whole_net.h"

namespace {

// The net given as arrays: nothing to write back to.
class TCompiledSource : public IReachSource
{
public:
    explicit TCompiledSource(std::shared_ptr<const TCompiledNet> net) : m_net(std::move(net)) {}

    bool Prepare(const TReachSettings&, int, const std::function<bool(const TQRVObject*)>&,
                 TPreparedNet& prepared, QString&) override
    {
        prepared.Places = m_net->PlaceNames();
        prepared.Continuous.assign(static_cast<std::size_t>(m_net->PlaceCount()), false);
        prepared.Transitions = m_net->TransitionNames();
        prepared.ConflictInputs = m_net->ConflictInputs();
        prepared.Statistics.Places = m_net->PlaceCount();
        prepared.Statistics.Transitions = m_net->TransitionCount();
        prepared.Statistics.Links = m_net->ArcCount();
        for (double v : m_net->Initial())
            prepared.Statistics.Markers += RoundHalfEven(v);
        prepared.Compiled = m_net;
        return true;
    }
    void Finish(TMarkList&, const TCompiledRun*) override {}
    void ApplyMarking(const TMarkList&, int) override {}
    TMark CreateMarking(QString*) const override
    {
        TMark m;
        for (int i = 0; i < m_net->PlaceCount(); ++i)
            m.AddPlace(m_net->PlaceNames()[i], 0, m_net->Initial()[static_cast<std::size_t>(i)]);
        return m;
    }
    void SetUpdating(bool) override {}

private:
    std::shared_ptr<const TCompiledNet> m_net;
};

} // namespace

TReachEngine::TReachEngine() : m_silent(std::make_unique<TSilentProgress>())
{
    m_progress = m_silent.get();
}

TReachEngine::~TReachEngine() = default;

void TReachEngine::SetCompiledNet(std::shared_ptr<const TCompiledNet> net)
{
    SetSource(std::make_unique<TCompiledSource>(std::move(net)));
}

void TReachEngine::SetSource(std::unique_ptr<IReachSource> source)
{
    m_store.reset();
    m_whole.reset();
    m_compiled.reset();
    m_live.reset();
    m_compiledNet.reset();
    m_source = std::move(source);
}

void TReachEngine::AdoptStore(std::unique_ptr<TMarkList> store)
{
    m_whole.reset();
    m_compiled.reset();
    m_live.reset();
    m_compiledNet.reset();
    m_store = std::move(store);
    m_totalMarkings = m_store ? m_store->Count() : 0;
}

void TReachEngine::SetProgress(IQRVProgress* progress)
{
    m_progress = progress ? progress : m_silent.get();
}

IReachRun* TReachEngine::run() const
{
    return m_compiled ? static_cast<IReachRun*>(m_compiled.get()) : m_live.get();
}

QString TReachEngine::FormatElapsed(qint64 ms)
{
    return QStringLiteral("%1m %2s %3ms")
        .arg(ms / 60000)
        .arg((ms / 1000) % 60)
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

// ---- preparation ---------------------------------------------------------------------

bool TReachEngine::PrepareBuild()
{
    m_store.reset();
    m_whole.reset();
    m_compiled.reset();
    m_live.reset();
    m_compiledNet.reset();
    m_minChainSum.clear();
    m_lastExpanded = -1;
    m_lastTransition = -1;
    m_exactSums = true;
    m_built = false;
    m_shownPercent = -1;
    m_progress->Progress(0);
    if (!m_source) {
        m_progress->Message(QStringLiteral("There is no net to analyse."));
        return false;
    }

    TPreparedNet prepared;
    QString error;
    if (!m_source->Prepare(Settings, SelectedGroup, GroupFilter, prepared, error)) {
        m_progress->Message(error);
        return false;
    }
    m_statistics = prepared.Statistics;
    auto store = std::make_unique<TMarkList>();
    store->SetPlaces(prepared.Places, prepared.Continuous);
    store->SetTransitions(prepared.Transitions);
    store->Limit = Settings.Limit;
    m_store = std::move(store);
    m_conflicts = BuildConflicts(prepared.ConflictInputs);
    m_enabledAt.assign(static_cast<std::size_t>(m_store->TransitionCount()), -1);
    m_sumWeights.clear();
    m_omega = Settings.UnboundedControl;
    if (prepared.Compiled) {
        m_compiledNet = prepared.Compiled;
        m_compiled = std::make_unique<TCompiledRun>(*m_compiledNet, m_store->FireCounts);
        if (Settings.PackMarkings)
            m_whole = TWholeNet::Make(*m_compiledNet);
        std::vector<double> bounds;
        if (Settings.UnboundedControl || m_whole) {
            std::vector<double> invariant = m_compiledNet->PositiveInvariant(m_whole ? &bounds : nullptr);
            if (Settings.UnboundedControl)
                m_sumWeights = std::move(invariant);
        }
        if (m_whole) {
            // Fields as wide as the place invariants bound the counts; they
            // widen when a count outgrows them.
            const std::vector<qint64>& initial = m_whole->Initial();
            std::vector<int> bits;
            for (std::size_t i = 0; i < initial.size(); ++i) {
                double bound = static_cast<double>(initial[i]);
                if (i < bounds.size() && bounds[i] < 4294967295.0)
                    bound = std::max(bound, bounds[i]);
                bits.push_back(TPackLayout::BitsFor(static_cast<quint64>(bound)));
            }
            m_store->SetPacked(bits);
            m_counts.assign(initial.size(), 0);
            prepareDeltas();
        }
        m_omega = Settings.UnboundedControl && !(m_whole && keepsSumOfCounts());
    } else {
        m_live = std::move(prepared.Live);
    }
    addInitialMarking();
    return true;
}

void TReachEngine::addInitialMarking()
{
    int first;
    if (m_whole) {
        const TPackLayout& layout = m_store->Layout();
        quint64* code = m_store->NewCode();
        layout.Encode(m_whole->Initial().data(), code);
        first = m_store->AddNewCode(-1, TCodeIndex::Key(code, layout.Words()));
    } else {
        QString open;
        run()->Read(m_store->NewValues(), m_store->NewBalances(),
                    Settings.BalanceCalculation ? &open : nullptr);
        first = m_store->AddNew(-1);
        if (Settings.BalanceCalculation)
            m_store->SetOpenContinuous(first, open);
    }
    recordNewMarking(first, -1);
}

bool TReachEngine::keepsSumOfCounts() const
{
    // When every firing adds fixed amounts whose sum under positive whole
    // weights is 0, every reachable marking has the weighted sum of the
    // initial one. Below 99999 no count reaches the 99999 that firings leave
    // as they are, and no marking can cover another without being equal to
    // it: no place ever becomes ω, and the sums need not be kept.
    const std::vector<double>& weights = m_sumWeights;
    const std::vector<qint64>& initial = m_whole->Initial();
    if (weights.size() != initial.size())
        return false;
    double sum = 0;
    for (std::size_t p = 0; p < initial.size(); ++p) {
        if (!(weights[p] >= 1) || weights[p] != std::floor(weights[p]))
            return false;
        sum += weights[p] * static_cast<double>(initial[p]);
    }
    if (!(sum < 99999))
        return false;
    for (int t = 0; t < m_whole->TransitionCount(); ++t) {
        if (!m_whole->Linear(t))
            return false;
        double change = 0;
        for (const TWholeNet::TChange* c = m_whole->ChangesBegin(t); c != m_whole->ChangesEnd(t); ++c)
            change += weights[static_cast<std::size_t>(c->Place)] * static_cast<double>(c->Amount);
        if (change != 0)
            return false;
    }
    return true;
}

void TReachEngine::recordNewMarking(int mark, int parent)
{
    if (!m_omega)
        return;
    double sum = 0;
    bool exact = false;
    std::vector<double> values(static_cast<std::size_t>(m_store->PlaceCount()));
    m_store->CopyValues(mark, values.data());
    THash::KeyAndSum(values.data(), m_store->PlaceCount(), sumWeights(), sum, exact);
    recordChainSum(parent, sum, exact);
}

void TReachEngine::recordChainSum(int parent, double sum, bool exact)
{
    if (!exact)
        m_exactSums = false;
    if (parent >= 0)
        sum = std::min(sum, m_minChainSum[static_cast<std::size_t>(parent)]);
    m_minChainSum.push_back(sum);
}

// ---- collecting enabled transitions and probabilities -----------------------------------

const std::vector<int>& TReachEngine::CollectEnabled(bool priorityMode)
{
    if (m_compiled)
        collectEnabledWith(*m_compiled, priorityMode);
    else if (m_live)
        collectEnabledWith(*m_live, priorityMode);
    else
        m_enabled.clear();
    return m_enabled;
}

void TReachEngine::ComputeProbabilities()
{
    if (m_compiled)
        computeProbabilitiesWith(*m_compiled);
    else if (m_live)
        computeProbabilitiesWith(*m_live);
}

double TReachEngine::Probability(int t) const
{
    for (std::size_t k = 0; k < m_enabled.size(); ++k)
        if (m_enabled[k] == t)
            return k < m_probabilities.size() ? m_probabilities[k] : 0.0;
    return -1.0;
}

void TReachEngine::SetProbability(int t, double p)
{
    for (std::size_t k = 0; k < m_enabled.size(); ++k)
        if (m_enabled[k] == t && k < m_probabilities.size())
            m_probabilities[k] = p;
}

// ---- unbounded-net control --------------------------------------------------------------

void TReachEngine::ApplyOmega(double* values, int parent) const
{
    applyOmega(values, parent);
}

bool TReachEngine::applyOmega(double* values, int parent) const
{
    // The first ancestor covered by the new marking: every value that grew
    // since then becomes unbounded.
    const int n = m_store->PlaceCount();
    std::vector<double> unpacked;
    if (m_store->Packed())
        unpacked.resize(static_cast<std::size_t>(n));
    for (int a = parent; a >= 0; a = m_store->Parent(a)) {
        const double* av = m_store->Packed() ? unpacked.data() : m_store->Values(a);
        if (m_store->Packed())
            m_store->CopyValues(a, unpacked.data());
        int i = 0;
        while (i < n && av[i] <= values[i])
            ++i;
        if (i == n) {
            bool changed = false;
            for (int k = 0; k < n; ++k)
                if (values[k] > av[k]) {
                    values[k] = OmegaValue;
                    changed = true;
                }
            return changed;
        }
        if (a == 0)
            return false;
    }
    return false;
}

// ---- expansion -------------------------------------------------------------------------------

void TReachEngine::showProgress()
{
    const qint64 limit = std::max<qint64>(1, m_store->Limit);
    const int p =
        static_cast<int>(std::min<qint64>(100, (m_store->Count() * qint64(100) + limit / 2) / limit));
    if (p != m_shownPercent) {
        m_shownPercent = p;
        m_progress->Progress(p);
    }
}

bool TReachEngine::beginExpansion()
{
    TMarkList& st = *m_store;
    ++st.Expanded;
    m_progress->Pump();
    if (st.Count() >= st.Limit) {
        m_progress->Message(QString::fromLatin1(ReachTexts::LimitMessage));
        m_limitReached = true;
        return false;
    }
    if (m_progress->StopRequested()) {
        m_stopped = true;
        return false;
    }
    showProgress();
    return true;
}

template <class Run> bool TReachEngine::expandPassWith(Run& r, int n, bool result)
{
    TMarkList& st = *m_store;
    const int width = st.PlaceCount();
    const bool omega = m_omega;
    const bool balance = Settings.BalanceCalculation;
    const int contin = st.ContinuousCount();
    const double* weights = sumWeights();
    // A compiled net of whole counts keeps them whole (the unbounded-net
    // control writes 99999).
    const bool whole = m_compiledNet && m_compiledNet->Clean();
    for (int i = st.Expanded; i < n; ++i) {
        if (!beginExpansion())
            return false;

        const double* mv = st.Values(i); // rows never move
        r.Apply(mv);
        collectEnabledWith(r, Settings.PriorityMode);
        if (Settings.RemoveUnsteady)
            computeProbabilitiesWith(r);
        else
            m_probabilities.assign(m_enabled.size(), 0.0);
        if (m_enabled.empty())
            m_noDeadMarking = false;

        // First every successor, then their lookups: the lookups' memory
        // accesses overlap.
        const std::size_t count = m_enabled.size();
        if (m_batch.size() < count * std::size_t(width))
            m_batch.resize(count * std::size_t(width));
        if (m_batchBalances.size() < count * std::size_t(contin))
            m_batchBalances.resize(count * std::size_t(contin));
        if (balance && m_batchOpen.size() < count)
            m_batchOpen.resize(count);
        m_batchKeys.resize(count);
        m_batchSums.resize(count);
        m_batchExact.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            const int t = m_enabled[k];
            r.Apply(mv);
            r.Fire(t);
            double* nv = m_batch.data() + k * std::size_t(width);
            r.Read(nv, m_batchBalances.data() + k * std::size_t(contin), balance ? &m_batchOpen[k] : nullptr);
            if (r.Class(t) == tcTimed)
                st.SetTangible(i, true);
            quint64 key;
            if (omega) {
                // A marking whose weighted sum is below the smallest along its
                // parents covers none of them; with sums computed exactly an
                // equal sum can only mean an equal marking, which changes nothing.
                double sum = 0;
                bool exact = false;
                key = THash::KeyAndSum(nv, width, weights, sum, exact, whole);
                const double chain = m_minChainSum[static_cast<std::size_t>(i)];
                if (!(sum < chain || (m_exactSums && exact && sum <= chain)) && applyOmega(nv, i))
                    key = THash::KeyAndSum(nv, width, weights, sum, exact);
                m_batchSums[k] = sum;
                m_batchExact[k] = exact;
            } else {
                key = THash::Key(nv, width);
            }
            m_batchKeys[k] = key;
            st.Hash.Prefetch(key);
        }
        for (std::size_t k = 0; k < count; ++k) {
            const int t = m_enabled[k];
            const double* nv = m_batch.data() + k * std::size_t(width);
            int x = st.Hash.Find(st, nv, m_batchKeys[k]);
            if (x < 0) {
                result = true;
                std::copy(nv, nv + width, st.NewValues());
                std::copy(m_batchBalances.data() + k * std::size_t(contin),
                          m_batchBalances.data() + (k + 1) * std::size_t(contin), st.NewBalances());
                x = st.AddNew(i, m_batchKeys[k]);
                if (balance)
                    st.SetOpenContinuous(x, m_batchOpen[k]);
                if (omega)
                    recordChainSum(i, m_batchSums[k], m_batchExact[k]);
            }
            const double weight = r.Class(t) == tcImmediate ? m_probabilities[k] : 1.0;
            st.AddEdge(i, x, t, weight);
        }
    }
    return result;
}

bool TReachEngine::ExpandPass()
{
    if (!m_store)
        return false;
    const int n = m_store->Count();
    bool result = false;
    if (m_whole) {
        expandPacked(n, result);
        return result;
    }
    if (m_compiled)
        return expandPassWith(*m_compiled, n, result);
    if (m_live)
        return expandPassWith(*m_live, n, result);
    return false;
}

void TReachEngine::finishRun()
{
    // The compiled run takes what the last firing left, as firing on the net would.
    if (m_whole && m_compiled && m_lastExpanded >= 0 && m_lastExpanded < m_store->Count()) {
        m_store->Layout().Decode(m_store->Code(m_lastExpanded), m_counts.data());
        if (m_lastTransition >= 0)
            m_whole->Fire(m_counts.data(), m_lastTransition);
        m_compiled->SetCurrent(m_counts);
    }
    if (m_source && m_store)
        m_source->Finish(*m_store, m_compiled.get());
    m_minChainSum.clear();
}

void TReachEngine::startStream()
{
    m_stream.reset();
    TMarkList& st = *m_store;
    if (GraphFileName.isEmpty() || GraphMode() != rmFull || !m_whole || !st.Packed())
        return;
    // Every expansion adds at most one marking and one arc per transition,
    // and none starts at the limit: the store's lists get room for that
    // many, unless their directories would grow large (the build then
    // leaves the writer behind when the room runs out).
    const auto transitions = static_cast<std::size_t>(std::max(1, st.TransitionCount()));
    const auto markings = static_cast<std::size_t>(std::min<qint64>(st.Limit, qint64(1) << 26)) + transitions;
    st.Reserve(markings, std::min(markings * transitions, std::size_t(1) << 32));
    auto stream = std::make_unique<TRagStream>(st, GraphFileName);
    // A file that cannot be made is told about when the graph is written.
    if (stream->OpenError().isEmpty())
        m_stream = std::move(stream);
}

bool TReachEngine::BuildClassical()
{
    QElapsedTimer timer;
    timer.start();
    SelectedGroup = -1;
    m_limitReached = false;
    m_built = false;
    m_noDeadMarking = true;
    m_stopped = false;
    m_removalComplete = true;
    m_totalMarkings = 0;
    m_elapsedMs = 0;

    m_stream.reset();
    QString failure;
    try {
        if (!PrepareBuild())
            return false;
        m_source->SetUpdating(true);
        m_store->Limit = Settings.Limit;
        startStream();
        bool more = true;
        while (more) {
            more = ExpandPass();
            m_progress->Status(QString::number(m_store->Count()) + QLatin1String(ReachTexts::MarkingsFound));
        }
    } catch (const ERxParserError& e) {
        m_stream.reset();
        failure = e.Message;
    } catch (const std::bad_alloc&) {
        m_stream.reset();
        // The graph goes first, so that what follows has memory to work with.
        if (m_store)
            m_store->KeepInitialOnly();
        m_minChainSum.clear();
        failure = QString::fromLatin1(ReachTexts::NoMemory);
    } catch (const std::exception& e) {
        m_stream.reset();
        failure = QString::fromLocal8Bit(e.what());
    }

    try {
        if (m_store) {
            finishRun();
            // A build that failed before the initial marking was stored has
            // written nothing into the net, and has nothing to write back.
            if (Settings.ResetInitialMarking && m_store->Count() > 0)
                m_source->ApplyMarking(*m_store, 0);
        }
    } catch (const std::bad_alloc&) {
        failure = QString::fromLatin1(ReachTexts::NoMemory);
    }
    if (!failure.isEmpty()) {
        m_stream.reset();
        m_source->SetUpdating(false);
        m_store.reset();
        m_progress->Message(failure);
        m_progress->Status(QString::fromLatin1(ReachTexts::Aborted));
        m_progress->Progress(0);
        return false;
    }
    m_totalMarkings = m_store->Count();
    if (m_stopped) {
        m_stream.reset();
        m_source->SetUpdating(false);
        m_progress->Status(QString::fromLatin1(ReachTexts::Aborted));
        m_progress->Progress(0);
        return false;
    }
    if (Settings.RemoveUnsteady)
        RemoveUnsteady();
    m_elapsedMs = timer.elapsed();
    m_source->SetUpdating(false);
    // A partly reduced graph is no graph of the net: it is not written.
    if (!GraphFileName.isEmpty() && m_removalComplete) {
        const QString error =
            m_stream ? m_stream->Finish(GraphMode(), LimitWarning()) : WriteGraphFile(GraphFileName);
        m_stream.reset();
        if (!error.isEmpty()) {
            m_progress->Message(error);
            return false;
        }
    }
    m_progress->Progress(100);
    m_built = true;
    return true;
}

// ---- rows for the window ---------------------------------------------------------------------

QStringList TReachEngine::GraphRow(int mark) const
{
    if (!m_store || mark < 0 || mark >= m_store->Count())
        return QStringList();
    std::string arcs = "[";
    m_store->AppendLinksText(arcs, mark);
    if (GraphMode() == rmReduced) {
        arcs += "\\\\";
        m_store->AppendRatesText(arcs, mark);
    }
    return QStringList{QLatin1Char('M') + QString::number(mark), m_store->GetValuesText(mark),
                       QString::fromStdString(arcs)};
}

QStringList TReachEngine::BalanceColumns() const
{
    QStringList columns;
    if (m_store)
        for (const QString& name : m_store->PlaceNames())
            if (name.contains(QLatin1Char('b')))
                columns.append(name);
    return columns;
}

QStringList TReachEngine::BalanceRow(int mark) const
{
    if (!m_store || mark < 0 || mark >= m_store->Count())
        return QStringList();
    QStringList row{QLatin1Char('M') + QString::number(mark), m_store->OpenContinuous(mark)};
    for (int i = 0; i < m_store->PlaceCount(); ++i)
        if (m_store->PlaceName(i).contains(QLatin1Char('b')))
            row.append(FormatGeneral(m_store->Balance(mark, i)));
    return row;
}

void TReachEngine::ApplyMarking(int mark)
{
    if (m_source && m_store && mark >= 0 && mark < m_store->Count())
        m_source->ApplyMarking(*m_store, mark);
}

TMark TReachEngine::CreateMarkingFromNet(QString* error) const
{
    return m_source ? m_source->CreateMarking(error) : TMark();
}
