// Removal of unsteady markings: every path through markings in which no
// timed transition is enabled is replaced by direct arcs whose weight is the
// product of the weights along the path.
#include <algorithm>
#include <new>

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

// The removal's state: the arc lists, and for each unsteady marking the
// sources of the arcs into it, one entry per arc.
class TUnsteadyRemoval
{
public:
    explicit TUnsteadyRemoval(TMarkList& store)
        : m_store(store), m_lists(store), m_slot(static_cast<std::size_t>(store.Count()), -1),
          m_removed(static_cast<std::size_t>(store.Count()), false), m_arcs(store.ArcCount())
    {
        // The initial marking is never removed.
        const int n = store.Count();
        int unsteady = 0;
        for (int m = 1; m < n; ++m)
            if (!store.Tangible(m))
                m_slot[static_cast<std::size_t>(m)] = unsteady++;
        // A self-loop of an unsteady marking is dropped like every arc back
        // into it, so the marking is never bypassed into itself: every
        // predecessor then gets the same arcs, whatever the order of the
        // predecessors, and only how many arcs each marking has into V matters.
        m_preds.resize(static_cast<std::size_t>(unsteady));
        for (int p = 0; p < n; ++p)
            for (int k = 0; k < store.ArcCount(p); ++k) {
                const int v = store.Arc(p, k).Target;
                if (v != p && isUnsteady(v))
                    predecessors(v).push_back(p);
            }
    }

    bool isUnsteady(int m) const
    {
        return m_slot[static_cast<std::size_t>(m)] >= 0 && !m_removed[static_cast<std::size_t>(m)];
    }
    std::vector<int>& predecessors(int v)
    {
        return m_preds[static_cast<std::size_t>(m_slot[static_cast<std::size_t>(v)])];
    }
    qint64 arcs() const { return m_arcs; }
    int outDegree(int v) const { return m_lists.count(v); }
    bool removed(int m) const { return m_removed[static_cast<std::size_t>(m)]; }

    // One bypass step: the first arc of P into V gives way to arcs from P to
    // each successor S of V other than P and V, named by both arcs' names and
    // weighted by the product of their weights.
    void BypassVanishing(int p, int v)
    {
        std::vector<TArc>& pl = m_lists.mutableList(p);
        auto at = std::find_if(pl.begin(), pl.end(), [v](const TArc& a) { return a.Target == v; });
        if (at == pl.end())
            return;
        const TArc first = *at;
        pl.erase(at);
        --m_arcs;
        const int out = m_lists.count(v);
        for (int j = 0; j < out; ++j) {
            const TArc next = m_lists.arc(v, j);
            const int s = next.Target;
            if (s == p || s == v)
                continue;
            pl.push_back(TArc{s, m_store.ChainLabel(first.Label, next.Label),
                              m_store.StoredWeight(first.Weight * next.Weight)});
            ++m_arcs;
            if (isUnsteady(s))
                predecessors(s).push_back(p);
        }
    }

    // V goes once every arc into it was bypassed: it no longer leads into its successors.
    void Remove(int v)
    {
        const int out = m_lists.count(v);
        for (int j = 0; j < out; ++j) {
            const int s = m_lists.arc(v, j).Target;
            if (s == v || !isUnsteady(s))
                continue;
            std::vector<int>& sp = predecessors(s);
            auto at = std::find(sp.begin(), sp.end(), v);
            if (at != sp.end())
                sp.erase(at);
        }
        m_arcs -= out;
        std::vector<int>().swap(predecessors(v));
        m_lists.release(v);
        m_removed[static_cast<std::size_t>(v)] = true;
    }

    // The store keeps the markings not removed, renumbered, with their arcs.
    void Finish()
    {
        std::vector<int> kept;
        for (int m = 0; m < m_store.Count(); ++m)
            if (!m_removed[static_cast<std::size_t>(m)])
                kept.push_back(m);
        m_store.ReplaceGraph(kept, [&](int m, std::vector<TArc>& out) { m_lists.copyTo(m, out); });
    }

private:
    TMarkList& m_store;
    TArcLists m_lists;
    std::vector<int> m_slot; // index among the unsteady markings, or -1
    std::vector<bool> m_removed;
    std::vector<std::vector<int>> m_preds;
    qint64 m_arcs;
};

} // namespace

bool TReachEngine::RemoveUnsteady()
{
    try {
        return removeUnsteady();
    } catch (const std::bad_alloc&) {
        // The store changes only at the end: it holds the graph as it was,
        // or, when the end itself failed, the reduced graph without its index.
        m_progress->Message(QString::fromLatin1(ReachTexts::NoMemoryForRemoval));
        m_removalComplete = false;
        return false;
    }
}

bool TReachEngine::removeUnsteady()
{
    m_removalComplete = true;
    if (!m_store)
        return true;
    m_progress->Status(QString::fromLatin1(ReachTexts::RemovingUnsteady));
    TUnsteadyRemoval removal(*m_store);
    const int n = m_store->Count();
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
        if (!removal.isUnsteady(v))
            continue;
        std::vector<int>& preds = removal.predecessors(v);
        while (!preds.empty()) {
            if (++steps % 1024 == 0) {
                m_progress->Pump();
                if (m_progress->StopRequested()) {
                    interrupted = true;
                    break;
                }
            }
            if (removal.arcs() - 1 + removal.outDegree(v) > Settings.ArcBound) {
                m_progress->Message(
                    QStringLiteral("The removal of unsteady markings was stopped: the reduced graph would "
                                   "have more than %1 arcs. The graph is only partly reduced.")
                        .arg(Settings.ArcBound));
                interrupted = true;
                break;
            }
            const int p = preds.back();
            preds.pop_back();
            removal.BypassVanishing(p, v);
        }
        if (interrupted)
            break;
        removal.Remove(v);
        ++removedCount;
    }
    removal.Finish();
    m_removalComplete = !interrupted;
    return m_removalComplete;
}
