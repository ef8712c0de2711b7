// Behavioural properties from the reachability graph: boundedness, liveness,
// dead transitions, home states and reinitialisability.
//
// A marking is a home state when every marking reaches it. In a finite graph
// every marking reaches some bottom strongly connected component (one that
// no arc leaves), so the home states are exactly the markings of the bottom
// component when there is only one, and there are none otherwise. The
// components come from one depth-first search, linear in the graph's size.
//
// Most graphs worth analysing return to their first marking. When every
// marking reaches it, it lies in the only bottom component, and that
// component is what it reaches. Two breadth-first searches tell, one of them
// over the arcs turned round; unlike the depth-first walk they read the
// arcs mostly in order, which on large graphs is several times faster.
#include <algorithm>
#include <limits>
#include <new>
#include <vector>

#include "model/numbers.h"
#include "model/places.h"
#include "reach/reach_engine.h"

namespace {

// The strong components by Tarjan's algorithm in Pearce's form, without
// recursion: one number per marking, positive while its component is open
// (its index, lowered to the smallest index it reaches), negative once the
// component is complete (-1 − the component), 0 before it is visited. Also
// tells for each component whether an arc leaves it. Returns false when
// stopped; `component` then holds no components.
bool strongComponents(const TMarkList& st, IQRVProgress& progress, TBlock<int>& component,
                      std::vector<char>& leaves)
{
    // Large graphs: their arrays come from the large blocks.
    const int n = st.Count();
    component = MakeBlock<int>(static_cast<std::size_t>(n)); // zeroed: not visited
    int* const rindex = component.get();
    TBlock<char> exits = MakeBlock<char>(static_cast<std::size_t>(n)); // an arc into a complete component
    leaves.clear();
    std::vector<int> stack;
    struct TFrame
    {
        int Node;
        bool Root;
        std::size_t Next, End; // the arcs still to follow
    };
    std::vector<TFrame> calls;
    int index = 1;
    int shown = -1;
    const auto at = [](int i) { return static_cast<std::size_t>(i); };
    const auto enter = [&](int v) {
        rindex[at(v)] = index++;
        calls.push_back(TFrame{v, true, st.FirstArc(v), st.EndArc(v)});
        // The successors are looked at soon: fetch them now, together.
        for (std::size_t a = calls.back().Next; a < calls.back().End; ++a)
            __builtin_prefetch(&rindex[at(st.ArcTarget(a))]);
    };

    for (int root = 0; root < n; ++root) {
        if (rindex[at(root)] != 0)
            continue;
        enter(root);
        while (!calls.empty()) {
            TFrame& f = calls.back();
            const int v = f.Node;
            if (f.Next < f.End) {
                const int w = st.ArcTarget(f.Next++);
                const int r = rindex[at(w)];
                if (r == 0) {
                    progress.Pump();
                    if (progress.StopRequested())
                        return false;
                    const int percent = static_cast<int>(qint64(index) * 100 / n);
                    if (percent != shown) {
                        shown = percent;
                        progress.Progress(percent);
                    }
                    enter(w);
                } else if (r < 0) {
                    exits[at(v)] = 1;
                } else if (r < rindex[at(v)]) {
                    rindex[at(v)] = r;
                    f.Root = false;
                }
                continue;
            }
            if (f.Root) {
                // v closes its component: v and the open markings above it.
                const int c = static_cast<int>(leaves.size());
                char leaving = exits[at(v)];
                while (!stack.empty() && rindex[at(v)] <= rindex[at(stack.back())]) {
                    leaving |= exits[at(stack.back())];
                    rindex[at(stack.back())] = -1 - c;
                    stack.pop_back();
                }
                rindex[at(v)] = -1 - c;
                leaves.push_back(leaving);
            } else {
                stack.push_back(v);
            }
            calls.pop_back();
            if (!calls.empty()) {
                TFrame& parent = calls.back();
                const int r = rindex[at(v)];
                if (r < 0)
                    exits[at(parent.Node)] = 1;
                else if (r < rindex[at(parent.Node)]) {
                    rindex[at(parent.Node)] = r;
                    parent.Root = false;
                }
            }
        }
    }
    for (int m = 0; m < n; ++m)
        rindex[m] = -1 - rindex[m];
    return true;
}

// One bit per marking.
class TMarkSet
{
public:
    explicit TMarkSet(int n) : m_words(static_cast<std::size_t>(n + 63) / 64, 0) {}
    bool Has(int m) const { return (m_words[static_cast<std::size_t>(m) >> 6] >> (m & 63)) & 1u; }
    void Add(int m) { m_words[static_cast<std::size_t>(m) >> 6] |= quint64(1) << (m & 63); }

private:
    std::vector<quint64> m_words;
};

enum class TFirstReached { ByEvery, NotByEvery, Stopped };

// Whether every marking reaches marking 0: a breadth-first search from it
// against the arcs, over the arcs turned round (two passes that read the
// arcs in order and write at random, which the processor overlaps). A
// graph too large for the turned arcs is left to the search (NotByEvery).
TFirstReached everyMarkingReachesFirst(const TMarkList& st, IQRVProgress& progress)
{
    const int n = st.Count();
    const std::size_t arcs = static_cast<std::size_t>(st.ArcCount());
    if (arcs >= std::numeric_limits<quint32>::max())
        return TFirstReached::NotByEvery;
    const auto at = [](int i) { return static_cast<std::size_t>(i); };
    TBlock<quint32> begin;
    TBlock<qint32> sources;
    try {
        begin = MakeBlock<quint32>(at(n) + 1); // zeroed
        sources = MakeBlock<qint32>(std::max<std::size_t>(arcs, 1));
    } catch (const std::bad_alloc&) {
        return TFirstReached::NotByEvery;
    }
    const auto stopped = [&] {
        progress.Pump();
        return progress.StopRequested();
    };
    // begin[w + 1]: the arcs into w; then the start of w's sources.
    for (int v = 0; v < n; ++v) {
        if ((v & 0xFFFF) == 0 && stopped())
            return TFirstReached::Stopped;
        for (std::size_t a = st.FirstArc(v), end = st.EndArc(v); a < end; ++a)
            ++begin[at(st.ArcTarget(a)) + 1];
    }
    for (int w = 0; w < n; ++w)
        begin[at(w) + 1] += begin[at(w)];
    // Each range is filled from its end, which leaves begin[w + 1] at its start.
    for (int v = 0; v < n; ++v) {
        if ((v & 0xFFFF) == 0 && stopped())
            return TFirstReached::Stopped;
        for (std::size_t a = st.FirstArc(v), end = st.EndArc(v); a < end; ++a)
            sources[--begin[at(st.ArcTarget(a)) + 1]] = v;
    }
    // Now begin[w + 1] is the start of w's sources and begin[w + 2] their end.
    TMarkSet reaching(n);
    std::vector<int> queue{0};
    queue.reserve(at(n));
    reaching.Add(0);
    for (std::size_t q = 0; q < queue.size(); ++q) {
        if ((q & 0xFFFF) == 0) {
            if (stopped())
                return TFirstReached::Stopped;
            progress.Progress(static_cast<int>(qint64(q) * 100 / n));
        }
        const int w = queue[q];
        const quint32 end = w + 1 < n ? begin[at(w) + 2] : static_cast<quint32>(arcs);
        for (quint32 k = begin[at(w) + 1]; k < end; ++k) {
            const int v = sources[k];
            if (!reaching.Has(v)) {
                reaching.Add(v);
                queue.push_back(v);
            }
        }
    }
    return queue.size() == at(n) ? TFirstReached::ByEvery : TFirstReached::NotByEvery;
}

// The markings that marking 0 reaches, by a breadth-first search: in the
// order the build numbered them, so that the arcs are read in order.
void reachedFromFirst(const TMarkList& st, TMarkSet& reached)
{
    std::vector<int> queue{0};
    queue.reserve(static_cast<std::size_t>(st.Count()));
    reached.Add(0);
    for (std::size_t q = 0; q < queue.size(); ++q) {
        const int v = queue[q];
        for (std::size_t a = st.FirstArc(v), end = st.EndArc(v); a < end; ++a) {
            const int w = st.ArcTarget(a);
            if (!reached.Has(w)) {
                reached.Add(w);
                queue.push_back(w);
            }
        }
    }
}

} // namespace

TBehaviour TReachEngine::AnalyseBehaviour()
{
    try {
        return analyseBehaviour();
    } catch (const std::bad_alloc&) {
        m_progress->Message(QString::fromLatin1(ReachTexts::NoMemoryForAnalysis));
        return TBehaviour();
    }
}

TBehaviour TReachEngine::analyseBehaviour()
{
    TBehaviour b;
    if (!m_store || m_store->Count() == 0)
        return b;
    const TMarkList& st = *m_store;
    const int n = st.Count();

    m_progress->Status(QString::fromLatin1(ReachTexts::BuildingConnections));
    // Home states: either the markings that marking 0 reaches, when every
    // marking reaches it, or the markings of the only bottom component.
    TMarkSet home(n);
    {
        const TFirstReached first = everyMarkingReachesFirst(st, *m_progress);
        if (first == TFirstReached::Stopped)
            return b;
        if (first == TFirstReached::ByEvery)
            reachedFromFirst(st, home);
    }
    if (!home.Has(0)) {
        TBlock<int> component;
        std::vector<char> leaves;
        if (!strongComponents(st, *m_progress, component, leaves))
            return b;
        // The bottom components: no arc leaves them.
        int bottom = -1;
        int bottoms = 0;
        for (int c = 0; c < static_cast<int>(leaves.size()); ++c)
            if (!leaves[static_cast<std::size_t>(c)]) {
                bottom = c;
                ++bottoms;
            }
        if (bottoms == 1)
            for (int m = 0; m < n; ++m)
                if (component[static_cast<std::size_t>(m)] == bottom)
                    home.Add(m);
    }

    m_progress->Status(QString::fromLatin1(ReachTexts::Analysing));
    int shown = -1;
    for (int m = 0; m < n; ++m) {
        const int percent = static_cast<int>(qint64(m) * 100 / n);
        if (percent != shown) {
            shown = percent;
            m_progress->Progress(percent);
        }
        const bool isHome = home.Has(m);
        m_store->SetHomeState(m, isHome);
        b.Live = b.Live && isHome;
    }
    b.MaxValue = std::max(b.MaxValue, st.MaxValue());

    for (int t = 0; t < st.TransitionCount(); ++t) {
        const qint64 fired = st.FireCounts[static_cast<std::size_t>(t)];
        b.Counters.append(qMakePair(st.TransitionName(t), fired));
        if (fired == 0) {
            b.Live = false;
            b.DeadTransitions = true;
        }
    }

    if (b.MaxValue == 0)
        b.Lines << QStringLiteral("Warning !! No markers found in positions !!");
    else if (b.MaxValue == 1)
        b.Lines << QStringLiteral("The Net is 1-bounded, thus it is Safe");
    else if (b.MaxValue == OmegaValue)
        b.Lines << QStringLiteral("The Net is Not bounded!");
    else
        b.Lines << QStringLiteral("The Net is ") + FormatGeneral(b.MaxValue) +
                       QStringLiteral("-bounded, but not safe!");
    b.Bounded = b.MaxValue < OmegaValue;
    b.Reinitialisable = st.HomeState(0);

    b.Lines << (b.Live ? QStringLiteral("The Net Is Active") : QStringLiteral("The Net is Not Active"));
    if (b.DeadTransitions)
        b.Lines << QStringLiteral("Warning: There are dead transitions!");
    b.Lines << (b.Reinitialisable ? QStringLiteral("The Net is Reinitialisible")
                                  : QStringLiteral("The Net is not Reinitialisible"));
    b.Lines << (b.Reinitialisable && b.Live && b.Bounded ? QStringLiteral("The Net works in Steady Mode !")
                                                         : QStringLiteral("The Net is unSteady"));
    b.Lines << QStringLiteral("Analysis complete !!!");
    b.Complete = true;
    return b;
}
