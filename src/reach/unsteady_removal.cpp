// Removal of unsteady markings: every path through markings in which no
// timed transition is enabled is replaced by direct arcs whose weight is the
// product of the weights along the path.
#include <algorithm>

#include "reach/reach_engine.h"

namespace {

// The arc lists while markings are bypassed: a marking keeps the store's
// arcs until its list first changes.
class TArcLists
{
public:
    explicit TArcLists(const TMarkList& store)
        : m_store(store), m_own(static_cast<std::size_t>(store.Count()), -1)
    {
    }

    std::vector<TArc>& mutableList(int m)
    {
        int& slot = m_own[static_cast<std::size_t>(m)];
        if (slot < 0) {
            slot = static_cast<int>(m_lists.size());
            std::vector<TArc> list;
            list.reserve(static_cast<std::size_t>(m_store.ArcCount(m)) + 4);
            for (int k = 0; k < m_store.ArcCount(m); ++k)
                list.push_back(m_store.Arc(m, k));
            m_lists.push_back(std::move(list));
        }
        return m_lists[static_cast<std::size_t>(slot)];
    }
    int count(int m) const
    {
        const int slot = m_own[static_cast<std::size_t>(m)];
        return slot < 0 ? m_store.ArcCount(m)
                        : static_cast<int>(m_lists[static_cast<std::size_t>(slot)].size());
    }
    TArc arc(int m, int k) const
    {
        const int slot = m_own[static_cast<std::size_t>(m)];
        return slot < 0 ? m_store.Arc(m, k)
                        : m_lists[static_cast<std::size_t>(slot)][static_cast<std::size_t>(k)];
    }
    void release(int m)
    {
        const int slot = m_own[static_cast<std::size_t>(m)];
        if (slot >= 0)
            std::vector<TArc>().swap(m_lists[static_cast<std::size_t>(slot)]);
    }
    void copyTo(int m, std::vector<TArc>& out) const
    {
        const int n = count(m);
        for (int k = 0; k < n; ++k)
            out.push_back(arc(m, k));
    }

private:
    const TMarkList& m_store;
    std::vector<int> m_own;
    std::vector<std::vector<TArc>> m_lists;
};

} // namespace

bool TReachEngine::RemoveUnsteady()
{
    m_removalComplete = true;
    if (!m_store)
        return true;
    TMarkList& st = *m_store;
    m_progress->Status(QString::fromLatin1(ReachTexts::RemovingUnsteady));
    const int n = st.Count();

    // The initial marking is never removed.
    std::vector<int> slot(static_cast<std::size_t>(n), -1);
    int unsteadyCount = 0;
    for (int m = 1; m < n; ++m)
        if (!st.Tangible(m))
            slot[static_cast<std::size_t>(m)] = unsteadyCount++;
    if (unsteadyCount == 0)
        return true;

    // The sources of the arcs into each unsteady marking, one entry per arc.
    // A self-loop of an unsteady marking is dropped like every arc back into
    // it, so the marking is never bypassed into itself: every predecessor
    // then gets the same arcs, whatever the order of the predecessors, and
    // only how many arcs each marking has into V matters.
    std::vector<std::vector<int>> preds(static_cast<std::size_t>(unsteadyCount));
    for (int p = 0; p < n; ++p)
        for (int k = 0; k < st.ArcCount(p); ++k) {
            const int v = st.Arc(p, k).Target;
            if (v != p && slot[static_cast<std::size_t>(v)] >= 0)
                preds[static_cast<std::size_t>(slot[static_cast<std::size_t>(v)])].push_back(p);
        }

    TArcLists lists(st);
    std::vector<bool> removed(static_cast<std::size_t>(n), false);
    qint64 arcs = st.ArcCount();
    int removedCount = 0;
    int shown = -1;
    qint64 steps = 0;
    bool interrupted = false;

    for (int v = 1; v < n && !interrupted; ++v) {
        m_progress->Pump();
        const int percent = static_cast<int>(qint64(v - removedCount) * 100 / (n - removedCount));
        if (percent != shown) {
            shown = percent;
            m_progress->Progress(percent);
        }
        if (m_progress->StopRequested()) {
            interrupted = true;
            break;
        }
        const int vs = slot[static_cast<std::size_t>(v)];
        if (vs < 0)
            continue;

        std::vector<int>& vp = preds[static_cast<std::size_t>(vs)];
        while (!vp.empty()) {
            // One bypass step: the first arc of P into V gives way to arcs
            // from P to each successor of V (other than P and V).
            if (++steps % 1024 == 0) {
                m_progress->Pump();
                if (m_progress->StopRequested()) {
                    interrupted = true;
                    break;
                }
            }
            const int p = vp.back();
            const int out = lists.count(v);
            if (arcs - 1 + out > Settings.ArcBound) {
                m_progress->Message(
                    QStringLiteral("The removal of unsteady markings was stopped: the reduced graph would "
                                   "have more than %1 arcs. The graph is only partly reduced.")
                        .arg(Settings.ArcBound));
                interrupted = true;
                break;
            }
            std::vector<TArc>& pl = lists.mutableList(p);
            auto at = std::find_if(pl.begin(), pl.end(), [v](const TArc& a) { return a.Target == v; });
            if (at != pl.end()) {
                const TArc first = *at;
                pl.erase(at);
                --arcs;
                for (int j = 0; j < out; ++j) {
                    const TArc next = lists.arc(v, j);
                    const int s = next.Target;
                    if (s == p || s == v)
                        continue;
                    pl.push_back(TArc{s, st.ChainLabel(first.Label, next.Label),
                                      st.StoredWeight(first.Weight * next.Weight)});
                    ++arcs;
                    const int ss = slot[static_cast<std::size_t>(s)];
                    if (ss >= 0 && !removed[static_cast<std::size_t>(s)])
                        preds[static_cast<std::size_t>(ss)].push_back(p);
                }
            }
            vp.pop_back();
        }
        if (interrupted)
            break;

        // V goes: it no longer leads into its successors.
        const int out = lists.count(v);
        for (int j = 0; j < out; ++j) {
            const int s = lists.arc(v, j).Target;
            const int ss = slot[static_cast<std::size_t>(s)];
            if (s == v || ss < 0 || removed[static_cast<std::size_t>(s)])
                continue;
            std::vector<int>& sp = preds[static_cast<std::size_t>(ss)];
            auto at = std::find(sp.begin(), sp.end(), v);
            if (at != sp.end())
                sp.erase(at);
        }
        arcs -= out;
        std::vector<int>().swap(vp);
        lists.release(v);
        removed[static_cast<std::size_t>(v)] = true;
        ++removedCount;
    }

    std::vector<int> kept;
    kept.reserve(static_cast<std::size_t>(n - removedCount));
    for (int m = 0; m < n; ++m)
        if (!removed[static_cast<std::size_t>(m)])
            kept.push_back(m);
    st.ReplaceGraph(kept, [&](int m, std::vector<TArc>& out) { lists.copyTo(m, out); });
    m_removalComplete = !interrupted;
    return m_removalComplete;
}
