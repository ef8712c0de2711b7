// Behavioural properties from the reachability graph: boundedness, liveness,
// dead transitions, home states and reinitialisability.
//
// A marking is a home state when every marking reaches it. In a finite graph
// every marking reaches some bottom strongly connected component (one that
// no arc leaves), so the home states are exactly the markings of the bottom
// component when there is only one, and there are none otherwise. The
// components come from one depth-first search, linear in the graph's size.
#include <algorithm>

#include "model/numbers.h"
#include "model/places.h"
#include "reach/reach_engine.h"

namespace {

// Tarjan's algorithm without recursion. Returns false when stopped.
bool strongComponents(const TMarkList& st, IQRVProgress& progress, std::vector<int>& component, int& count)
{
    const int n = st.Count();
    std::vector<int> order(static_cast<std::size_t>(n), -1); // discovery number
    std::vector<int> low(static_cast<std::size_t>(n), 0);
    component.assign(static_cast<std::size_t>(n), -1);
    std::vector<int> stack;
    struct TFrame
    {
        int Node;
        std::size_t Next, End; // the arcs still to follow
    };
    std::vector<TFrame> calls;
    int counter = 0;
    count = 0;
    int shown = -1;

    for (int root = 0; root < n; ++root) {
        if (order[static_cast<std::size_t>(root)] >= 0)
            continue;
        calls.push_back(TFrame{root, st.FirstArc(root), st.EndArc(root)});
        order[static_cast<std::size_t>(root)] = low[static_cast<std::size_t>(root)] = counter++;
        stack.push_back(root);
        while (!calls.empty()) {
            TFrame& f = calls.back();
            const int u = f.Node;
            if (f.Next < f.End) {
                const int v = st.ArcAt(f.Next++).Target;
                if (order[static_cast<std::size_t>(v)] < 0) {
                    progress.Pump();
                    if (progress.StopRequested())
                        return false;
                    const int percent = static_cast<int>(qint64(counter) * 100 / n);
                    if (percent != shown) {
                        shown = percent;
                        progress.Progress(percent);
                    }
                    order[static_cast<std::size_t>(v)] = low[static_cast<std::size_t>(v)] = counter++;
                    stack.push_back(v);
                    calls.push_back(TFrame{v, st.FirstArc(v), st.EndArc(v)});
                } else if (component[static_cast<std::size_t>(v)] < 0) {
                    low[static_cast<std::size_t>(u)] =
                        std::min(low[static_cast<std::size_t>(u)], order[static_cast<std::size_t>(v)]);
                }
                continue;
            }
            if (low[static_cast<std::size_t>(u)] == order[static_cast<std::size_t>(u)]) {
                int w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    component[static_cast<std::size_t>(w)] = count;
                } while (w != u);
                ++count;
            }
            calls.pop_back();
            if (!calls.empty()) {
                const int parent = calls.back().Node;
                low[static_cast<std::size_t>(parent)] =
                    std::min(low[static_cast<std::size_t>(parent)], low[static_cast<std::size_t>(u)]);
            }
        }
    }
    return true;
}

} // namespace

TBehaviour TReachEngine::AnalyseBehaviour()
{
    TBehaviour b;
    if (!m_store || m_store->Count() == 0)
        return b;
    const TMarkList& st = *m_store;
    const int n = st.Count();

    m_progress->Status(QString::fromLatin1(ReachTexts::BuildingConnections));
    std::vector<int> component;
    int components = 0;
    if (!strongComponents(st, *m_progress, component, components))
        return b;

    // The bottom components: no arc leaves them.
    std::vector<bool> leaves(static_cast<std::size_t>(components), false);
    for (int u = 0; u < n; ++u) {
        const int cu = component[static_cast<std::size_t>(u)];
        for (std::size_t a = st.FirstArc(u), end = st.EndArc(u); a < end; ++a)
            if (cu != component[static_cast<std::size_t>(st.ArcAt(a).Target)])
                leaves[static_cast<std::size_t>(cu)] = true;
    }
    int bottom = -1;
    int bottoms = 0;
    for (int c = 0; c < components; ++c)
        if (!leaves[static_cast<std::size_t>(c)]) {
            bottom = c;
            ++bottoms;
        }
    if (bottoms != 1)
        bottom = -1;

    m_progress->Status(QString::fromLatin1(ReachTexts::Analysing));
    const int width = st.PlaceCount();
    int shown = -1;
    for (int m = 0; m < n; ++m) {
        const int percent = static_cast<int>(qint64(m) * 100 / n);
        if (percent != shown) {
            shown = percent;
            m_progress->Progress(percent);
        }
        const double* v = st.Values(m);
        for (int i = 0; i < width; ++i)
            b.MaxValue = std::max(b.MaxValue, v[i]);
        const bool home = component[static_cast<std::size_t>(m)] == bottom;
        m_store->SetHomeState(m, home);
        b.Live = b.Live && home;
    }

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
