#include "reach/tensorial_build.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_set>

#include "formula/parser.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/progress.h"
#include "model/transitions.h"
#include "reach/group_labels.h"
#include "reach/reach_engine.h"
#include "reach/whole_net.h"
#include "reach/reach_run.h"

// ---- combining two graphs ----------------------------------------------------------------

namespace {

// Finds the combined marking of a pair of markings (group marking in the
// high half of the key, accumulated marking in the low half). Up to a few
// million pairs, one slot per pair; beyond, a table of the pairs met, whose
// slots hold marking + 1 and compare through the pairs kept by the caller.
class TPairIndex
{
public:
    static constexpr qint64 DirectPairs = qint64(1) << 22;

    TPairIndex(int accumulatedCount, qint64 pairCount) : m_width(accumulatedCount)
    {
        if (pairCount <= DirectPairs)
            m_direct.assign(static_cast<std::size_t>(pairCount), 0);
        else
            m_slots.assign(1024, 0);
    }

    int Find(quint64 key, const TChunkedArray<quint64>& pairs) const
    {
        if (!m_direct.empty())
            return m_direct[direct(key)] - 1;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t s = home(key, mask);; s = (s + 1) & mask) {
            const qint32 v = m_slots[s];
            if (v == 0)
                return -1;
            if (pairs[static_cast<std::size_t>(v - 1)] == key)
                return v - 1;
        }
    }
    void Insert(quint64 key, int mark, const TChunkedArray<quint64>& pairs)
    {
        if (!m_direct.empty()) {
            m_direct[direct(key)] = mark + 1;
            return;
        }
        if ((m_count + 1) * 2 > m_slots.size()) {
            m_slots.assign(m_slots.size() * 2, 0);
            for (std::size_t m = 0; m < m_count; ++m)
                place(pairs[m], static_cast<int>(m));
        }
        place(key, mark);
        ++m_count;
    }

private:
    std::size_t direct(quint64 key) const
    {
        return static_cast<std::size_t>(key >> 32) * static_cast<std::size_t>(m_width) +
               static_cast<std::size_t>(key & 0xFFFFFFFFu);
    }
    static std::size_t home(quint64 key, std::size_t mask)
    {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }
    void place(quint64 key, int mark)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t s = home(key, mask);
        while (m_slots[s] != 0)
            s = (s + 1) & mask;
        m_slots[s] = mark + 1;
    }

    int m_width;
    std::vector<qint32> m_direct;
    std::vector<qint32> m_slots;
    std::size_t m_count = 0;
};

// Where an entry of the combined markings takes its value from.
struct TSource
{
    int Entry;
    int Column;
};

// An arc of a combined marking before its target is looked up.
struct TMove
{
    int Transition;
    int Group;       // target marking of the group's graph
    int Accumulated; // target marking of the accumulated graph
    double Weight;
};

quint64 pairKey(int group, int accumulated)
{
    return (static_cast<quint64>(static_cast<quint32>(group)) << 32) | static_cast<quint32>(accumulated);
}

// The names of a marking's enabled continuous transitions.
QStringList openNames(const TMarkList& graph, int mark)
{
    return graph.OpenContinuous(mark).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

} // namespace

TCombineOrder CombineOrderOf(const TQRVDesigner& net)
{
    TCombineOrder order;
    for (const TQRVObject* o : net.ObjectList()) {
        if (qobject_cast<const TclsNode*>(o)) {
            order.Places << o->Name();
        } else if (qobject_cast<const TclsTrans*>(o)) {
            order.Transitions << o->Name();
            order.Timed.push_back(qobject_cast<const TclsTransTimed*>(o) != nullptr);
        }
    }
    return order;
}

TCombineResult CombineGraphs(const TMarkList& acc, const TMarkList& grp, const TCombineOrder& order,
                             qint64 limit, bool openContinuous, IQRVProgress& progress)
{
    TCombineResult result;
    const TMarkList* operands[2] = {&acc, &grp};

    // Entries: the places of both graphs in place order, ties in net order.
    QHash<QString, QPair<int, int>> where; // name -> operand, column
    for (int o = 0; o < 2; ++o) {
        for (int c = 0; c < operands[o]->PlaceCount(); ++c) {
            const QString& name = operands[o]->PlaceNames().at(c);
            if (where.contains(name)) {
                result.Error = QStringLiteral("The place %1 belongs to two groups.").arg(name);
                return result;
            }
            where.insert(name, qMakePair(o, c));
        }
    }
    // Names the order does not hold come last.
    auto inOrder = [](const QStringList& known, const QStringList& first, const QStringList& second) {
        QSet<QString> present(first.begin(), first.end());
        present.unite(QSet<QString>(second.begin(), second.end()));
        QStringList ordered;
        for (const QString& name : known)
            if (present.remove(name))
                ordered << name;
        for (const QStringList* list : {&first, &second})
            for (const QString& name : *list)
                if (present.remove(name))
                    ordered << name;
        return ordered;
    };
    const QStringList inNetOrder = inOrder(order.Places, acc.PlaceNames(), grp.PlaceNames());
    TMark entries;
    for (int k = 0; k < inNetOrder.size(); ++k)
        if (!entries.AddPlace(inNetOrder[k], 0, k, &result.Error))
            return result;
    QStringList names;
    std::vector<bool> continuous;
    std::vector<TSource> values[2], balances[2];
    for (int e = 0; e < entries.Count(); ++e) {
        const QString name = entries.Name(e);
        const auto [o, c] = where.value(name);
        names << name;
        const bool cont = operands[o]->IsContinuousPlace(c);
        if (cont)
            balances[o].push_back(
                {static_cast<int>(std::count(continuous.begin(), continuous.end(), true)), c});
        continuous.push_back(cont);
        values[o].push_back({e, c});
    }

    // Transitions: those of both graphs in net order. One that takes part
    // in both fires in both at once.
    const QStringList transitions = inOrder(order.Transitions, acc.TransitionNames(), grp.TransitionNames());
    QHash<QString, int> position;
    for (int t = 0; t < transitions.size(); ++t)
        position.insert(transitions[t], t);
    std::vector<int> label[2]; // operand transition -> combined transition
    std::vector<int> takesPart(static_cast<std::size_t>(transitions.size()), 0);
    for (int o = 0; o < 2; ++o)
        for (const QString& name : operands[o]->TransitionNames()) {
            const int t = position.value(name);
            label[o].push_back(t);
            takesPart[static_cast<std::size_t>(t)] |= 1 << o;
        }
    std::vector<bool> timed(static_cast<std::size_t>(transitions.size()), false);
    for (int t = 0; t < order.Transitions.size() && t < static_cast<int>(order.Timed.size()); ++t) {
        auto it = position.constFind(order.Transitions[t]);
        if (it != position.constEnd())
            timed[static_cast<std::size_t>(it.value())] = order.Timed[static_cast<std::size_t>(t)];
    }
    auto combined = [&](int o, int operandLabel) {
        const std::vector<int>& to = label[o];
        if (operandLabel >= 0 && operandLabel < static_cast<int>(to.size()))
            return to[static_cast<std::size_t>(operandLabel)];
        const int t = operands[o]->LabelTransition(operandLabel); // a chain of bypassed markings
        return t >= 0 && t < static_cast<int>(to.size()) ? to[static_cast<std::size_t>(t)] : -1;
    };

    auto store = std::make_unique<TMarkList>();
    store->SetPlaces(names, continuous);
    store->SetTransitions(transitions);
    store->Limit = limit;

    const qint64 pairCount = qint64(acc.Count()) * grp.Count();
    TChunkedArray<quint64> pairs; // per combined marking: its group and accumulated markings
    TPairIndex index(acc.Count(), pairCount);
    auto add = [&](int g, int a, int parent) {
        const int ops[2] = {a, g};
        double* v = store->NewValues();
        double* b = store->NewBalances();
        for (int o = 0; o < 2; ++o) {
            const double* row = operands[o]->Values(ops[o]);
            for (const TSource& s : values[o])
                v[s.Entry] = row[s.Column];
            for (const TSource& s : balances[o])
                b[s.Entry] = operands[o]->Balance(ops[o], s.Column);
        }
        const int m = store->AddNew(parent);
        const quint64 key = pairKey(g, a);
        pairs.push_back(key);
        index.Insert(key, m, pairs);
        if (openContinuous) {
            // Enabled in the net when enabled in every graph it takes part in.
            const QStringList open[2] = {openNames(acc, a), openNames(grp, g)};
            QStringList both;
            for (int t = 0; t < transitions.size(); ++t) {
                const QString& name = transitions[t];
                const int part = takesPart[static_cast<std::size_t>(t)];
                if ((open[0].contains(name) || open[1].contains(name)) &&
                    (!(part & 1) || open[0].contains(name)) && (!(part & 2) || open[1].contains(name)))
                    both << name;
            }
            store->SetOpenContinuous(m, both.join(QLatin1Char(',')));
        }
        return m;
    };
    if (acc.Count() == 0 || grp.Count() == 0) {
        result.Store = std::move(store);
        return result;
    }
    add(0, 0, -1);

    const qint64 scale = std::max<qint64>(1, std::min(limit, pairCount));
    int shown = -1;
    std::vector<TMove> moves;
    for (int m = 0; m < store->Count(); ++m) {
        ++store->Expanded;
        progress.Pump();
        if (store->Count() >= limit) {
            progress.Message(QString::fromLatin1(ReachTexts::LimitMessage));
            result.LimitReached = true;
            break;
        }
        if (progress.StopRequested()) {
            result.Stopped = true;
            break;
        }
        const int percent = static_cast<int>(std::min<qint64>(100, store->Count() * qint64(100) / scale));
        if (percent != shown) {
            shown = percent;
            progress.Progress(percent);
        }

        const quint64 key = pairs[static_cast<std::size_t>(m)];
        const int g = static_cast<int>(key >> 32);
        const int a = static_cast<int>(key & 0xFFFFFFFFu);
        moves.clear();
        for (int k = 0; k < grp.ArcCount(g); ++k) {
            const TArc& arc = grp.Arc(g, k);
            const int t = combined(1, arc.Label);
            if (t < 0)
                continue;
            if (!(takesPart[static_cast<std::size_t>(t)] & 1)) {
                moves.push_back({t, arc.Target, a, arc.Weight});
                continue;
            }
            for (int l = 0; l < acc.ArcCount(a); ++l) {
                const TArc& other = acc.Arc(a, l);
                if (combined(0, other.Label) == t)
                    moves.push_back({t, arc.Target, other.Target, other.Weight});
            }
        }
        for (int k = 0; k < acc.ArcCount(a); ++k) {
            const TArc& arc = acc.Arc(a, k);
            const int t = combined(0, arc.Label);
            if (t >= 0 && !(takesPart[static_cast<std::size_t>(t)] & 2))
                moves.push_back({t, g, arc.Target, arc.Weight});
        }
        // In the net order of the transitions, as the classical build fires
        // them (a stable insertion sort: a marking has few arcs).
        for (std::size_t k = 1; k < moves.size(); ++k) {
            const TMove move = moves[k];
            std::size_t l = k;
            for (; l > 0 && moves[l - 1].Transition > move.Transition; --l)
                moves[l] = moves[l - 1];
            moves[l] = move;
        }
        if (moves.empty())
            result.DeadMarking = true;
        for (const TMove& move : moves) {
            int target = index.Find(pairKey(move.Group, move.Accumulated), pairs);
            if (target < 0)
                target = add(move.Group, move.Accumulated, m);
            store->AddEdge(m, target, move.Transition, move.Weight);
            ++store->FireCounts[static_cast<std::size_t>(move.Transition)];
            if (timed[static_cast<std::size_t>(move.Transition)])
                store->SetTangible(m, true);
        }
    }
    result.Store = std::move(store);
    return result;
}

// ---- the build ----------------------------------------------------------------------------

namespace {

// Everything a tensorial build changes in the net, put back however the
// build ends: the values of the places, the temporary interface objects,
// the arc lists, the firing counters and the Updating flag. None of it is
// an edit: the history and the unsaved-changes mark stay as they were.
class TNetGuard
{
public:
    explicit TNetGuard(TQRVDesigner& net) : m_net(net), m_updating(net.Updating())
    {
        for (TQRVObject* o : net.ObjectList()) {
            if (auto* p = qobject_cast<TclsNode*>(o))
                m_values.emplace_back(p, p->Value());
            else if (auto* t = qobject_cast<TclsTrans*>(o))
                m_counts.emplace_back(t, t->FireCount);
        }
        net.SetUpdating(true);
    }
    ~TNetGuard()
    {
        RemoveTemporaries();
        RestoreMarking();
        m_net.RebuildArcLists();
        for (const auto& [t, count] : m_counts)
            t->FireCount = count;
        m_net.SetUpdating(m_updating);
    }
    TNetGuard(const TNetGuard&) = delete;
    TNetGuard& operator=(const TNetGuard&) = delete;

    // The values the places held when the build began.
    void RestoreMarking()
    {
        for (const auto& [p, value] : m_values) {
            if (auto* d = qobject_cast<TclsNodeDiscrete*>(p))
                d->SetTokensDirect(value);
            else if (auto* c = qobject_cast<TclsNodeContinuous*>(p))
                c->SetLevelDirect(value);
        }
    }
    // The net owns the object; the guard destroys it again.
    void AddTemporary(TQRVObject* object) { m_temporary.push_back(object); }
    // Destroys the temporary objects (last made first) and rebuilds every
    // arc list without them.
    void RemoveTemporaries()
    {
        if (m_temporary.empty())
            return;
        while (!m_temporary.empty()) {
            TQRVObject* o = m_temporary.back();
            m_temporary.pop_back();
            m_net.DestroyObject(o);
        }
        m_net.RebuildArcLists();
    }

private:
    TQRVDesigner& m_net;
    bool m_updating;
    std::vector<std::pair<TclsNode*, double>> m_values;
    std::vector<std::pair<TclsTrans*, int>> m_counts;
    std::vector<TQRVObject*> m_temporary;
};

// The build of an interface graph says nothing (its limit is no limit of
// the user's graph) but can be stopped.
class TQuietProgress : public IQRVProgress
{
public:
    explicit TQuietProgress(IQRVProgress& inner) : m_inner(inner) {}
    void Progress(int) override {}
    void Status(const QString&) override {}
    void Message(const QString&) override {}
    void Pump() override { m_inner.Pump(); }
    bool StopRequested() const override { return m_inner.StopRequested(); }

private:
    IQRVProgress& m_inner;
};

} // namespace

class TTensorialBuild
{
public:
    TTensorialBuild(TReachEngine& engine, TQRVDesigner& net)
        : m_engine(engine), m_net(net), m_progress(*engine.m_progress)
    {
    }
    bool Run();

private:
    bool ValidateGroups();
    bool PrepareStep(int a, int b, bool first);
    bool CombineStep();
    std::unique_ptr<TMarkList> BuildGroupGraph(int selected, bool interfaceNet);
    bool boundedOnItsOwn(const TMarkList& graph, int group);
    double bufferValue(int a, int b) const;
    QStringList sharedBetween(int a, int b) const;
    void makeInterfaceNet(int a, int b, double buffer, const QStringList& shared);

    TReachEngine& m_engine;
    TQRVDesigner& m_net;
    IQRVProgress& m_progress;
    std::vector<TGroup> m_groups;
    TCombineOrder m_order;
    TNetGuard* m_guard = nullptr;
    // The three graphs of a step.
    std::unique_ptr<TMarkList> m_accumulated;
    std::unique_ptr<TMarkList> m_group;
    std::unique_ptr<TMarkList> m_interface;
    bool m_failed = false; // a message was shown; nothing is built
    bool m_haveStatistics = false;
    bool m_deadMarking = false; // in the last combined graph
};

bool TReachEngine::BuildTensorial()
{
    TQRVDesigner* net = Net();
    if (!net) {
        m_progress->Message(QStringLiteral("The tensorial construction works on a drawn net: its groups are "
                                           "the labels of the net's elements."));
        return false;
    }
    TTensorialBuild build(*this, *net);
    return build.Run();
}

bool TTensorialBuild::Run()
{
    QElapsedTimer timer;
    timer.start();
    TReachEngine& e = m_engine;
    e.SelectedGroup = -1;
    e.m_limitReached = false;
    e.m_built = false;
    e.m_noDeadMarking = true;
    e.m_stopped = false;
    e.m_removalComplete = true;
    e.m_totalMarkings = 0;
    e.m_elapsedMs = 0;
    e.Settings.PriorityMode = false;
    e.Settings.RemoveUnsteady = false;
    e.m_store.reset();
    e.m_whole.reset();
    e.m_compiled.reset();
    e.m_live.reset();
    e.m_compiledNet.reset();
    m_progress.Progress(0);

    if (!ValidateGroups())
        return false;
    m_order = CombineOrderOf(m_net);

    QString failure;
    {
        TNetGuard guard(m_net);
        m_guard = &guard;
        try {
            for (int k = 1; PrepareStep(k, k + 1, k == 1); ++k) {
                m_progress.Status(QString::fromLatin1(TensorialTexts::Kronecker));
                if (!CombineStep())
                    break;
            }
        } catch (const ERxParserError& x) {
            failure = x.Message;
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("There is not enough memory for the reachability graph. "
                                     "Lower the markings' limit and build again.");
        } catch (const std::exception& x) {
            failure = QString::fromLocal8Bit(x.what());
        }
        m_group.reset();
        m_interface.reset();
        m_guard = nullptr;
    }

    if (!failure.isEmpty())
        m_progress.Message(failure);
    if (!failure.isEmpty() || m_failed || e.m_stopped || !m_accumulated) {
        m_progress.Status(QString::fromLatin1(ReachTexts::Aborted));
        m_progress.Progress(0);
        return false;
    }

    e.m_store = std::move(m_accumulated);
    const TMarkList& st = *e.m_store;
    e.m_totalMarkings = st.Count();
    e.m_noDeadMarking = !m_deadMarking;
    // The removal of unsteady markings is switched off: a tensorial graph is
    // shown and written in full.
    m_progress.Status(QString::fromLatin1(TensorialTexts::RemoveUnsteady));
    e.m_elapsedMs = timer.elapsed();
    m_progress.Status(QString::fromLatin1(TensorialTexts::PrepareStatistics));
    if (!e.GraphFileName.isEmpty()) {
        const QString error = e.WriteGraphFile(e.GraphFileName);
        if (!error.isEmpty()) {
            m_progress.Message(error);
            return false;
        }
    }
    m_progress.Progress(100);
    e.m_built = true;
    return true;
}

bool TTensorialBuild::ValidateGroups()
{
    const QString wrong = CheckGroupLabels(m_net);
    if (!wrong.isEmpty()) {
        m_progress.Message(QString::fromLatin1(TensorialTexts::GroupIndexIncorrect) + QLatin1Char('\n') +
                           wrong);
        return false;
    }
    m_groups = BuildGroupRecords(m_net);
    if (m_groups.size() < 2) {
        m_progress.Message(
            QString::fromLatin1(TensorialTexts::NeedsTwoGroups) +
            QStringLiteral("\nLabel the places, transitions and arcs of each group g1, g2, ... "
                           "and each transition two groups share s1-2, s2-3, ..."));
        return false;
    }
    const QString unjoined = CheckGroupChain(m_net, static_cast<int>(m_groups.size()));
    if (!unjoined.isEmpty()) {
        m_progress.Message(unjoined);
        return false;
    }
    return true;
}

std::unique_ptr<TMarkList> TTensorialBuild::BuildGroupGraph(int selected, bool interfaceNet)
{
    TReachEngine sub;
    TQuietProgress quiet(m_progress);
    sub.SetNet(&m_net);
    sub.SetProgress(interfaceNet ? static_cast<IQRVProgress*>(&quiet) : &m_progress);
    sub.Settings = m_engine.Settings;
    sub.Settings.ResetInitialMarking = false; // the guard puts the net back
    if (interfaceNet)
        sub.Settings.UnboundedControl = true; // the buffer grows without bound
    sub.SelectedGroup = selected;
    sub.GroupFilter = [selected](const TQRVObject* o) { return GroupTakesPart(o, selected); };
    sub.m_noDeadMarking = true;

    const bool prepared = sub.PrepareBuild();
    if (prepared) {
        if (!m_haveStatistics) {
            m_engine.m_statistics = sub.m_statistics;
            m_haveStatistics = true;
        }
        sub.m_store->Limit = sub.Settings.Limit;
        while (sub.ExpandPass())
            sub.m_progress->Status(QString::number(sub.m_store->Count()) +
                                   QLatin1String(ReachTexts::MarkingsFound));
        sub.finishRun();
    }
    // The next graph starts from the net as it was, with every arc attached.
    m_guard->RestoreMarking();
    m_net.RebuildArcLists();
    if (!prepared) {
        m_failed = true;
        return nullptr;
    }
    if (sub.m_stopped) {
        m_engine.m_stopped = true;
        return nullptr;
    }
    if (!interfaceNet && sub.m_limitReached)
        m_engine.m_limitReached = true;
    std::unique_ptr<TMarkList> graph = std::move(sub.m_store);
    if (!interfaceNet && !boundedOnItsOwn(*graph, selected)) {
        m_failed = true;
        return nullptr;
    }
    return graph;
}

bool TTensorialBuild::boundedOnItsOwn(const TMarkList& graph, int group)
{
    // A place that grows without bound in the group alone may be held back
    // by the other groups in the net: combined, w would claim an unbounded
    // net where the net may be bounded.
    for (int m = 1; m < graph.Count(); ++m)
        for (int i = 0; i < graph.PlaceCount(); ++i)
            if (graph.Value(m, i) >= OmegaValue && graph.Value(0, i) < OmegaValue) {
                m_progress.Message(QStringLiteral("Group %1 is not bounded on its own: its place %2 grows "
                                                  "without bound (w) when the group runs alone. The "
                                                  "tensorial construction needs groups whose graphs are "
                                                  "finite by themselves; build the graph with \"Classical\".")
                                       .arg(group)
                                       .arg(graph.PlaceName(i)));
                return false;
            }
    return true;
}

QStringList TTensorialBuild::sharedBetween(int a, int b) const
{
    QStringList shared;
    for (const QString& name : m_groups[static_cast<std::size_t>(a - 1)].Shared[1]) {
        const TQRVObject* t = m_net.FindObject(name);
        const TGroupLabel label = ParseGroupLabel(t ? t->Group() : QString());
        if ((label.A == a && label.B == b) || (label.A == b && label.B == a))
            shared << name;
    }
    return shared;
}

double TTensorialBuild::bufferValue(int a, int b) const
{
    // The largest value of B's recorded place in B's graph that A's
    // recorded place also takes in the accumulated graph.
    const int ca = m_accumulated->PlaceNames().indexOf(m_groups[static_cast<std::size_t>(a - 1)].Place[1]);
    const int cb = m_group->PlaceNames().indexOf(m_groups[static_cast<std::size_t>(b - 1)].Place[0]);
    if (ca < 0 || cb < 0)
        return 0;
    std::unordered_set<double> taken;
    for (int j = 0; j < m_accumulated->Count(); ++j)
        taken.insert(m_accumulated->Value(j, ca));
    double buffer = 0;
    for (int i = 0; i < m_group->Count(); ++i) {
        const double v = m_group->Value(i, cb);
        if (v > buffer && taken.count(v))
            buffer = v;
    }
    return buffer;
}

void TTensorialBuild::makeInterfaceNet(int a, int b, double buffer, const QStringList& shared)
{
    const QString label = QStringLiteral("i%1-%2").arg(a).arg(b);
    QString name = QStringLiteral("p9999");
    for (int n = 10000; m_net.FindObject(name) && n <= 99999; ++n)
        name = QLatin1Char('p') + QString::number(n);

    auto* place = new TclsNodeDiscrete(&m_net);
    place->SetNameDirect(name);
    place->SetGroupDirect(label);
    place->SetBoundsDirect(-100, -100, place->Width(), place->Height());
    place->SetTokensDirect(RoundHalfEven(std::max(0.0, buffer)));
    m_net.InsertObject(place);
    m_guard->AddTemporary(place);
    auto link = [&](TQRVObject* from, TQRVObject* to) {
        auto* arc = new TclsLinkNormal(&m_net);
        arc->SetNameDirect(m_net.UniqueName(arc->GetNamePrefix()));
        arc->SetGroupDirect(label);
        m_net.InsertObject(arc);
        m_guard->AddTemporary(arc);
        arc->SetSource(from);
        arc->SetDest(to);
    };
    link(m_net.FindObject(shared.at(1)), place);
    link(place, m_net.FindObject(shared.at(0)));
}

bool TTensorialBuild::PrepareStep(int a, int b, bool first)
{
    if (b > static_cast<int>(m_groups.size()))
        return false;
    // Each group's graph sees its own side of the transitions it shares: the
    // group filter takes an arc of a shared transition with its place.
    if (first) {
        m_accumulated = BuildGroupGraph(a, false);
        if (!m_accumulated)
            return false;
    }
    m_group = BuildGroupGraph(b, false);
    if (!m_group)
        return false;

    // Two groups that share two different transitions have an interface: a
    // buffer place fed by the second and emptied by the first, built as a
    // graph of its own while the place exists.
    m_interface.reset();
    const QStringList shared = sharedBetween(a, b);
    if (shared.size() >= 2 && shared.at(0) != shared.at(1)) {
        makeInterfaceNet(a, b, bufferValue(a, b), shared);
        m_interface = BuildGroupGraph(InterfaceGroup(a, b), true);
        m_guard->RemoveTemporaries();
        if (!m_interface)
            return false;
    }
    return true;
}

bool TTensorialBuild::CombineStep()
{
    // A shared transition fires in both groups at once, as the net fires it:
    // every synchronised arc leads from a pair of markings to a pair. A
    // state with tokens in the interface buffer would be one in which a
    // shared transition had fired on one side only; no firing of the net
    // leads there, so the interface graph adds no marking and no arc.
    TCombineResult r = CombineGraphs(*m_accumulated, *m_group, m_order, m_engine.Settings.Limit,
                                     m_engine.Settings.BalanceCalculation, m_progress);
    m_group.reset();
    m_interface.reset();
    if (!r.Error.isEmpty()) {
        m_progress.Message(r.Error);
        m_failed = true;
        return false;
    }
    if (r.Stopped) {
        m_engine.m_stopped = true;
        return false;
    }
    if (r.LimitReached)
        m_engine.m_limitReached = true;
    m_deadMarking = r.DeadMarking;
    m_accumulated = std::move(r.Store);
    m_progress.Status(QString::number(m_accumulated->Count()) + QLatin1String(ReachTexts::MarkingsFound));
    return true;
}
