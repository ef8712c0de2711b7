// The classical build on packed markings: markings of whole counts are
// decoded into integers, enabled transitions found by range tests, and
// successors made by adding a transition's fixed change to the parent's code
// where the firing allows it. The successors of the next marking are made
// before the current one's are looked up, so that the lookups' memory
// accesses are under way while the current marking is stored.
#include <algorithm>

#include "model/places.h"
#include "reach/engine_rules.h"
#include "reach/rag_file.h"
#include "reach/reach_run.h"
#include "reach/whole_net.h"

namespace {

// The rules' view of the compiled net on whole counts, under the counts of
// the marking being expanded.
struct TWholeRun
{
    const TWholeNet& Net;
    const qint64* Counts;
    int TransitionCount() const { return Net.TransitionCount(); }
    TTransClass Class(int t) const { return Net.Class(t); }
    bool Open(int t) const { return Net.Open(Counts, t); }
    double Priority(int t) const { return Net.Priority(t); }
    double WeightSpeed(int t) const { return Net.WeightSpeed(t); }
};

// The weighted sum of whole counts (weights all 1 when none), as the key's
// pass computes it for doubles; exact below 2^52.
double wholeSum(const qint64* counts, int n, const double* weights, bool& exact)
{
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const auto x = static_cast<double>(counts[i]);
        sum += weights ? weights[i] * x : x;
    }
    exact = sum < 4503599627370496.0;
    return sum;
}

} // namespace

void TReachEngine::prepareDeltas()
{
    const TPackLayout& layout = m_store->Layout();
    const auto words = static_cast<std::size_t>(layout.Words());
    const int transitions = m_whole->TransitionCount();
    m_deltaCodes.assign(static_cast<std::size_t>(transitions) * words, 0);
    m_deltaSums.assign(static_cast<std::size_t>(transitions), 0.0);
    // The largest rise of each place by a linear firing.
    std::vector<qint64> rise(static_cast<std::size_t>(layout.Places()), 0);
    const double* weights = sumWeights();
    for (int t = 0; t < transitions; ++t) {
        if (!m_whole->Linear(t))
            continue;
        quint64* delta = m_deltaCodes.data() + static_cast<std::size_t>(t) * words;
        double& sum = m_deltaSums[static_cast<std::size_t>(t)];
        for (const TWholeNet::TChange* c = m_whole->ChangesBegin(t); c != m_whole->ChangesEnd(t); ++c) {
            // Two's complement: adding a lowered count's field borrows
            // nothing from its neighbours while the result fits the field.
            delta[layout.Word(c->Place)] += static_cast<quint64>(c->Amount) << layout.Shift(c->Place);
            sum += (weights ? weights[c->Place] : 1.0) * static_cast<double>(c->Amount);
            qint64& r = rise[static_cast<std::size_t>(c->Place)];
            r = std::max(r, c->Amount);
        }
    }
    m_roomyBelow.resize(rise.size());
    for (std::size_t p = 0; p < rise.size(); ++p) {
        const auto max = static_cast<qint64>(std::min<quint64>(layout.Max(static_cast<int>(p)), 99998));
        m_roomyBelow[p] = max - rise[p];
    }
}

bool TReachEngine::applyOmegaWhole(qint64* values, int parent) const
{
    // As applyOmega, on whole counts and packed ancestors.
    const TMarkList& st = *m_store;
    const TPackLayout& layout = st.Layout();
    const int n = st.PlaceCount();
    for (int a = parent; a >= 0; a = st.Parent(a)) {
        const quint64* code = st.Code(a);
        int i = 0;
        while (i < n && static_cast<qint64>(layout.Get(code, i)) <= values[i])
            ++i;
        if (i == n) {
            bool changed = false;
            for (int k = 0; k < n; ++k)
                if (values[k] > static_cast<qint64>(layout.Get(code, k))) {
                    values[k] = static_cast<qint64>(OmegaValue);
                    changed = true;
                }
            return changed;
        }
        if (a == 0)
            return false;
    }
    return false;
}

bool TReachEngine::makeSuccessors(int i, TSuccessors& next, bool mayWiden)
{
    TMarkList& st = *m_store;
    const TWholeNet& net = *m_whole;
    const int width = st.PlaceCount();
    const auto w = static_cast<std::size_t>(width);
    const bool omega = m_omega;
    const double* weights = sumWeights();
    constexpr double exactBelow = 4503599627370496.0;
    next.Mark = -1;

    const TPackLayout* layout = &st.Layout();
    layout->Decode(st.Code(i), m_counts.data());
    TWholeRun run{net, m_counts.data()};
    collectEnabledWith(run, Settings.PriorityMode);
    if (Settings.RemoveUnsteady)
        computeProbabilitiesWith(run);
    else
        m_probabilities.assign(m_enabled.size(), 0.0);
    next.Enabled = m_enabled;
    next.Probabilities = m_probabilities;
    const std::size_t count = next.Enabled.size();

    // A linear firing whose counts stay within their fields (and below
    // 99999) changes the code by its fixed delta; other firings are made on
    // the counts and encoded.
    std::size_t words = static_cast<std::size_t>(layout->Words());
    next.Codes.resize(count * words);
    next.Counts.resize(count * w);
    next.Counted.assign(count, 0);
    next.Sums.resize(count);
    next.Exact.resize(count);
    next.Keys.resize(count);
    const quint64* parentCode = st.Code(i);
    bool parentExact = false;
    const double parentSum = omega ? wholeSum(m_counts.data(), width, weights, parentExact) : 0.0;
    const double chain = omega ? m_minChainSum[static_cast<std::size_t>(i)] : 0.0;
    bool fits = true;
    // When every count is low enough for the largest rise of its place, no
    // linear firing leaves a field or reaches 99999: its changes need no test.
    bool roomy = true;
    for (int p = 0; p < width; ++p)
        roomy &= m_counts[static_cast<std::size_t>(p)] <= m_roomyBelow[static_cast<std::size_t>(p)];
    for (std::size_t k = 0; k < count; ++k) {
        const int t = next.Enabled[k];
        bool linear = net.Linear(t);
        for (const TWholeNet::TChange* c = net.ChangesBegin(t); linear && !roomy && c != net.ChangesEnd(t);
             ++c) {
            const qint64 x = m_counts[static_cast<std::size_t>(c->Place)];
            const qint64 y = x + c->Amount;
            linear = x < 99999 && y < 99999 && static_cast<quint64>(y) <= layout->Max(c->Place);
        }
        if (linear && omega) {
            // Exact sums below the smallest along the parents: no ancestor is covered.
            const double sum = parentSum + m_deltaSums[static_cast<std::size_t>(t)];
            const bool exact = parentExact && sum < exactBelow;
            linear = exact && (sum < chain || (m_exactSums && sum <= chain));
            next.Sums[k] = sum;
            next.Exact[k] = exact;
        }
        if (linear) {
            quint64* code = next.Codes.data() + k * words;
            const quint64* delta = m_deltaCodes.data() + static_cast<std::size_t>(t) * words;
            for (std::size_t j = 0; j < words; ++j)
                code[j] = parentCode[j] + delta[j];
            continue;
        }
        next.Counted[k] = 1;
        qint64* y = next.Counts.data() + k * w;
        std::copy(m_counts.begin(), m_counts.end(), y);
        net.Fire(y, t);
        if (omega) {
            bool exact = false;
            double sum = wholeSum(y, width, weights, exact);
            if (!(sum < chain || (m_exactSums && exact && sum <= chain)) && applyOmegaWhole(y, i))
                sum = wholeSum(y, width, weights, exact);
            next.Sums[k] = sum;
            next.Exact[k] = exact;
        }
        for (int p = 0; p < width; ++p)
            fits = fits && static_cast<quint64>(y[p]) <= layout->Max(p);
    }
    if (!fits) {
        if (!mayWiden)
            return false;
        // Wider fields for the counts that outgrew theirs: at least twice as
        // wide, so that a growing count widens them seldom.
        std::vector<int> bits = layout->AllBits();
        for (std::size_t k = 0; k < count; ++k) {
            qint64* y = next.Counts.data() + k * w;
            if (!next.Counted[k]) {
                // The counts of a linear firing, for the new fields.
                std::copy(m_counts.begin(), m_counts.end(), y);
                net.Fire(y, next.Enabled[k]);
                next.Counted[k] = 1;
            }
            for (int p = 0; p < width; ++p) {
                const auto v = static_cast<quint64>(y[p]);
                int& b = bits[static_cast<std::size_t>(p)];
                if (v > layout->Max(p))
                    b = std::max(b, std::max(TPackLayout::BitsFor(v), std::min(TPackLayout::MaxBits, 2 * b)));
            }
        }
        {
            // The codes move: the graph file's writer waits meanwhile.
            std::unique_lock<std::mutex> pause;
            if (m_stream)
                pause = m_stream->PauseReading();
            st.Repack(bits);
        }
        prepareDeltas();
        layout = &st.Layout();
        words = static_cast<std::size_t>(layout->Words());
        next.Codes.resize(count * words);
    }
    for (std::size_t k = 0; k < count; ++k) {
        quint64* code = next.Codes.data() + k * words;
        if (next.Counted[k])
            layout->Encode(next.Counts.data() + k * w, code);
        next.Keys[k] = TCodeIndex::Key(code, static_cast<int>(words));
        st.PrefetchCode(next.Keys[k]);
    }
    next.Mark = i;
    return true;
}

void TReachEngine::storeSuccessors(const TSuccessors& next, bool& result)
{
    TMarkList& st = *m_store;
    const TWholeNet& net = *m_whole;
    const int i = next.Mark;
    const std::size_t count = next.Enabled.size();
    const auto words = static_cast<std::size_t>(st.Layout().Words());
    m_lastExpanded = i;
    m_lastTransition = count == 0 ? -1 : next.Enabled.back();
    if (count == 0)
        m_noDeadMarking = false;
    bool timed = false;
    for (std::size_t k = 0; k < count; ++k)
        timed = timed || net.Class(next.Enabled[k]) == tcTimed;
    if (timed)
        st.SetTangible(i, true);
    for (std::size_t k = 0; k < count; ++k) {
        const int t = next.Enabled[k];
        const quint64* code = next.Codes.data() + k * words;
        int x = st.FindCode(code, next.Keys[k]);
        if (x < 0) {
            result = true;
            std::copy(code, code + words, st.NewCode());
            x = st.AddNewCode(i, next.Keys[k]);
            if (m_omega)
                recordChainSum(i, next.Sums[k], next.Exact[k]);
        }
        ++st.FireCounts[static_cast<std::size_t>(t)];
        st.AddEdge(i, x, t, net.Class(t) == tcImmediate ? next.Probabilities[k] : 1.0);
    }
}

void TReachEngine::expandPacked(int n, bool& result)
{
    TMarkList& st = *m_store;
    TSuccessors* current = &m_successors[0];
    TSuccessors* ahead = &m_successors[1];
    ahead->Mark = -1;
    for (int i = st.Expanded; i < n; ++i) {
        if (!beginExpansion()) {
            result = false;
            return;
        }
        if (ahead->Mark == i)
            std::swap(current, ahead);
        else
            makeSuccessors(i, *current, true);
        // The next marking's successors first: their lookups get under way.
        ahead->Mark = -1;
        if (i + 1 < n)
            makeSuccessors(i + 1, *ahead, false);
        if (m_stream) {
            // The graph file's writer reads the lists while they grow within their room.
            const std::size_t adds = current->Enabled.size();
            if (!st.HasRoom(adds, adds))
                m_stream->Abandon();
            else if ((i & 1023) == 0)
                m_stream->Publish();
        }
        storeSuccessors(*current, result);
    }
    if (m_stream)
        m_stream->Publish();
}
