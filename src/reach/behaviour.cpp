// Behavioural properties from the reachability graph: boundedness, liveness,
// dead transitions, home states and reinitialisability.
//
// A marking is a home state when every marking reaches it. In a finite graph
// every marking reaches some bottom strongly connected component (one that
// no arc leaves), so the home states are exactly the markings of the bottom
// component when there is only one, and there are none otherwise. The
// components come from one depth-first search, linear in the graph's size.
#include <algorithm>
#include <new>

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
    // Large graphs are walked at random: their arrays come in huge pages.
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
    if (bottoms != 1)
        bottom = -1;

    m_progress->Status(QString::fromLatin1(ReachTexts::Analysing));
    int shown = -1;
    for (int m = 0; m < n; ++m) {
        const int percent = static_cast<int>(qint64(m) * 100 / n);
        if (percent != shown) {
            shown = percent;
            m_progress->Progress(percent);
        }
        const bool home = component[static_cast<std::size_t>(m)] == bottom;
        m_store->SetHomeState(m, home);
        b.Live = b.Live && home;
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
