// The live net as the reachability build reads it: markings are written into
// the places through their setters, transitions are asked whether they are
// enabled and fired, and the places are read back. When every value that
// matters is constant, the net is compiled into arrays instead, which follow
// the same rules far faster; the net then takes the state the build left.
#include <QStringList>

#include <stdexcept>
#include <unordered_map>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/transitions.h"
#include "reach/reach_engine.h"
#include "reach/reach_run.h"

namespace {

TTransClass classOf(const TclsTrans* t)
{
    if (t->IsContinuous)
        return tcContinuous;
    return dynamic_cast<const TclsTransInstant*>(t) ? tcImmediate : tcTimed;
}

// The value of a formula when it is constant, evaluated once.
bool constantValue(const TQRVFormula* formula, double& value)
{
    if (!formula || !formula->IsStatic())
        return false;
    return formula->TryValue(value);
}

// The arc lists of the places and transitions that take part, from the
// arcs that take part, in net order: one pass over the net.
void rebuildArcLists(const TQRVDesigner& net, const std::vector<TclsNode*>& places,
                     const std::vector<TclsTrans*>& transitions,
                     const std::function<bool(const TQRVObject*)>& accept)
{
    std::unordered_map<const TQRVObject*, QList<TclsLink*>*> in, out;
    for (TclsNode* p : places) {
        p->InArcs.clear();
        p->OutArcs.clear();
        in.emplace(p, &p->InArcs);
        out.emplace(p, &p->OutArcs);
    }
    for (TclsTrans* t : transitions) {
        t->FireCount = 0;
        t->InArcs.clear();
        t->OutArcs.clear();
        in.emplace(t, &t->InArcs);
        out.emplace(t, &t->OutArcs);
    }
    for (TQRVObject* o : net.ObjectList()) {
        auto* arc = qobject_cast<TclsLink*>(o);
        if (!arc || !arc->IsConnected() || !accept(arc))
            continue;
        if (const auto source = out.find(arc->SourceObject()); source != out.end())
            source->second->append(arc);
        if (const auto dest = in.find(arc->DestObject()); dest != in.end())
            dest->second->append(arc);
    }
}

class TLiveRun final : public IReachRun
{
public:
    TLiveRun(std::vector<TclsNode*> places, std::vector<TclsTrans*> transitions)
        : m_places(std::move(places)), m_trans(std::move(transitions))
    {
        for (TclsTrans* t : m_trans)
            m_classes.push_back(classOf(t));
    }

    int TransitionCount() const override { return static_cast<int>(m_trans.size()); }
    TTransClass Class(int t) const override { return m_classes[static_cast<std::size_t>(t)]; }
    bool Open(int t) override { return m_trans[static_cast<std::size_t>(t)]->Open(); }
    double Priority(int t) override
    {
        return m_trans[static_cast<std::size_t>(t)]->Priority()->Value_Actual();
    }
    double WeightSpeed(int t) override
    {
        auto* instant = dynamic_cast<TclsTransInstant*>(m_trans[static_cast<std::size_t>(t)]);
        return instant ? instant->WeightSpeed()->Value_Actual() : 0.0;
    }
    void Apply(const double* values) override
    {
        for (std::size_t i = 0; i < m_places.size(); ++i) {
            if (auto* d = dynamic_cast<TclsNodeDiscrete*>(m_places[i]))
                d->SetTokens(values[i]);
            else if (auto* c = dynamic_cast<TclsNodeContinuous*>(m_places[i]))
                c->SetLevel(values[i]);
        }
    }
    void Fire(int t) override { m_trans[static_cast<std::size_t>(t)]->Fire(); }
    void Read(double* values, double* balances, QString* openContinuous) override
    {
        int slot = 0;
        for (std::size_t i = 0; i < m_places.size(); ++i) {
            values[i] = m_places[i]->Value();
            if (auto* c = dynamic_cast<TclsNodeContinuous*>(m_places[i]))
                balances[slot++] = c->Balance();
        }
        if (openContinuous) {
            QStringList open;
            for (std::size_t t = 0; t < m_trans.size(); ++t)
                if (m_classes[t] == tcContinuous && m_trans[t]->Open())
                    open << m_trans[t]->Name();
            *openContinuous = open.join(QLatin1Char(','));
        }
    }

private:
    std::vector<TclsNode*> m_places;
    std::vector<TclsTrans*> m_trans;
    std::vector<TTransClass> m_classes;
};

class TLiveSource final : public IReachSource
{
public:
    explicit TLiveSource(TQRVDesigner* net) : m_net(net) {}

    TQRVDesigner* Designer() const override { return m_net; }

    bool Prepare(const TReachSettings& settings, int selectedGroup,
                 const std::function<bool(const TQRVObject*)>& groupFilter, TPreparedNet& prepared,
                 QString& error) override
    {
        m_places.clear();
        m_trans.clear();
        const bool filtered = selectedGroup != -1 && groupFilter;
        auto takesPart = [&](const TQRVObject* o) { return !filtered || groupFilter(o); };

        // The places and transitions that take part, in net order; their arc
        // lists rebuilt from the arcs that take part.
        if (!filtered)
            m_net->RebuildArcLists();
        std::vector<TclsNode*> netPlaces;
        std::vector<TclsTrans*> allTransitions;
        std::unordered_map<const TclsTrans*, QStringList> normalInputs;
        for (TQRVObject* o : m_net->ObjectList()) {
            if (auto* p = qobject_cast<TclsNode*>(o)) {
                ++prepared.Statistics.Places;
                if (!p->IsContinuous)
                    prepared.Statistics.Markers += RoundHalfEven(p->Value());
                if (takesPart(p))
                    netPlaces.push_back(p);
            } else if (auto* t = qobject_cast<TclsTrans*>(o)) {
                ++prepared.Statistics.Transitions;
                allTransitions.push_back(t);
                if (takesPart(t))
                    m_trans.push_back(t);
            } else if (auto* link = qobject_cast<TclsLink*>(o)) {
                ++prepared.Statistics.Links;
                if (link->Kind() == lkNormal && link->IsConnected() && link->SourcePlace() &&
                    link->DestTrans())
                    normalInputs[link->DestTrans()] << link->SourcePlace()->Name();
            }
        }

        if (filtered)
            rebuildArcLists(*m_net, netPlaces, m_trans, groupFilter);

        // Entries in place order.
        QStringList names;
        names.reserve(static_cast<qsizetype>(netPlaces.size()));
        for (TclsNode* p : netPlaces)
            names << p->Name();
        std::vector<int> order;
        if (!PlaceOrder(names, order, &error))
            return false;
        for (int e : order) {
            TclsNode* p = netPlaces[static_cast<std::size_t>(e)];
            m_places.push_back(p);
            prepared.Places << p->Name();
            prepared.Continuous.push_back(p->IsContinuous);
        }
        for (TclsTrans* t : m_trans)
            prepared.Transitions << t->Name();

        // Conflict sets come from every transition of the net.
        std::unordered_map<const TclsTrans*, int> position;
        for (std::size_t i = 0; i < m_trans.size(); ++i)
            position.emplace(m_trans[i], static_cast<int>(i));
        for (TclsTrans* t : allTransitions) {
            TConflictInput in;
            in.Name = t->Name();
            const auto at = position.find(t);
            in.Transition = at == position.end() ? -1 : at->second;
            if (const auto inputs = normalInputs.find(t); inputs != normalInputs.end())
                in.NormalInputPlaces = inputs->second;
            prepared.ConflictInputs << in;
        }

        if (!settings.LiveNetOnly)
            prepared.Compiled = compile(settings);
        if (!prepared.Compiled)
            prepared.Live = std::make_unique<TLiveRun>(m_places, m_trans);
        return true;
    }

    void Finish(TMarkList& store, const TCompiledRun* compiled) override
    {
        if (compiled) {
            // The places and counters as firing on the net would have left them.
            const std::vector<double>& state = compiled->Current();
            for (std::size_t i = 0; i < m_places.size(); ++i)
                if (auto* d = dynamic_cast<TclsNodeDiscrete*>(m_places[i]))
                    d->SetTokensDirect(state[i]);
            for (std::size_t t = 0; t < m_trans.size(); ++t)
                m_trans[t]->FireCount = static_cast<int>(store.FireCounts[t]);
        } else {
            for (std::size_t t = 0; t < m_trans.size(); ++t)
                store.FireCounts[t] = m_trans[t]->FireCount;
        }
    }

    void ApplyMarking(const TMarkList& store, int mark) override
    {
        for (int i = 0; i < store.PlaceCount(); ++i) {
            TQRVObject* o = m_net->FindObject(store.PlaceName(i));
            const double v = store.Value(mark, i);
            if (auto* d = dynamic_cast<TclsNodeDiscrete*>(o))
                d->SetTokens(v);
            else if (auto* c = dynamic_cast<TclsNodeContinuous*>(o))
                c->SetLevel(v);
        }
    }

    TMark CreateMarking(QString* error) const override
    {
        TMark m;
        for (TQRVObject* o : m_net->ObjectList()) {
            auto* p = dynamic_cast<TclsNode*>(o);
            if (!p)
                continue;
            const auto* c = dynamic_cast<TclsNodeContinuous*>(p);
            if (!m.AddPlace(p->Name(), c ? c->Balance() : 0.0, p->Value(), error))
                return TMark();
        }
        return m;
    }

    void SetUpdating(bool on) override { m_net->SetUpdating(on); }

private:
    // The net as arrays, when it has only discrete places and every guard,
    // arc weight, and priority and weight that the build reads, is a
    // constant that evaluates.
    std::shared_ptr<const TCompiledNet> compile(const TReachSettings& settings) const
    {
        auto net = std::make_shared<TCompiledNet>();
        std::vector<int> placeIndex; // per entry
        for (TclsNode* p : m_places) {
            if (p->IsContinuous)
                return nullptr;
            placeIndex.push_back(net->AddPlace(p->Name(), p->Value()));
        }
        std::unordered_map<const TclsNode*, int> entries;
        for (std::size_t i = 0; i < m_places.size(); ++i)
            entries.emplace(m_places[i], static_cast<int>(i));
        auto entryOf = [&](const TclsNode* place) {
            const auto at = place ? entries.find(place) : entries.end();
            return at == entries.end() ? -1 : at->second;
        };
        for (TclsTrans* t : m_trans) {
            const TTransClass cls = classOf(t);
            if (cls == tcContinuous && settings.BalanceCalculation)
                return nullptr; // its enabling is recorded with every marking
            // Priorities are read only in priority mode, weights only for the
            // probabilities of immediate transitions.
            double guard = 1, priority = 0, weightSpeed = 0;
            if (!constantValue(t->Guard(), guard))
                return nullptr;
            if (settings.PriorityMode && !constantValue(t->Priority(), priority))
                return nullptr;
            auto* instant = dynamic_cast<TclsTransInstant*>(t);
            if (instant && settings.RemoveUnsteady && !constantValue(instant->WeightSpeed(), weightSpeed))
                return nullptr;
            const int id = net->AddTransition(t->Name(), cls, guard, priority, weightSpeed);
            for (const TclsLink* a : t->InArcs) {
                double w = 0;
                const int e = entryOf(a->SourcePlace());
                if (e < 0 || !constantValue(a->Weight(), w))
                    return nullptr;
                net->AddInputArc(id, placeIndex[static_cast<std::size_t>(e)], a->Kind(), w);
            }
            for (const TclsLink* a : t->OutArcs) {
                double w = 0;
                const int e = entryOf(a->DestPlace());
                if (e < 0 || !constantValue(a->Weight(), w))
                    return nullptr;
                net->AddOutputArc(id, placeIndex[static_cast<std::size_t>(e)], a->Kind(), w);
            }
        }
        if (!net->Finish().isEmpty())
            return nullptr;
        return net;
    }

    TQRVDesigner* m_net;
    std::vector<TclsNode*> m_places; // entry order
    std::vector<TclsTrans*> m_trans;
};

} // namespace

void TReachEngine::SetNet(TQRVDesigner* net)
{
    SetSource(net ? std::make_unique<TLiveSource>(net) : nullptr);
}
