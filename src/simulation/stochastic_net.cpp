#include "simulation/stochastic_net.h"

#include <algorithm>
#include <cmath>

#include "formula/formula.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/transitions.h"
#include "reach/compiled_net.h"
#include "simulation/sim_error.h"

namespace {

// The value of a formula that cannot change with the marking.
bool constantValue(const TQRVFormula* formula, double& value)
{
    return formula && formula->IsStatic() && formula->TryValue(value);
}

} // namespace

bool TStochasticNet::Compile(TQRVDesigner& net, QString* why)
{
    auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    net.RebuildArcLists();
    *this = TStochasticNet();
    for (TQRVObject* o : net.ObjectList()) {
        if (auto* p = qobject_cast<TclsNode*>(o)) {
            if (p->IsContinuous)
                return refuse(QStringLiteral("the net has continuous places"));
            m_placeIndex.insert(p, static_cast<int>(m_livePlaces.size()));
            m_livePlaces.push_back(static_cast<TclsNodeDiscrete*>(p));
            m_initial.push_back(p->Value());
        } else if (auto* t = qobject_cast<TclsTrans*>(o)) {
            if (t->IsContinuous)
                return refuse(QStringLiteral("the net has continuous transitions"));
            m_transIndex.insert(t, static_cast<int>(m_liveTrans.size()));
            m_liveTrans.push_back(t);
        }
    }

    const int n = static_cast<int>(m_liveTrans.size());
    for (int i = 0; i < n; ++i) {
        TclsTrans* t = m_liveTrans[static_cast<std::size_t>(i)];
        auto* instant = qobject_cast<TclsTransInstant*>(t);
        const TSimKind kind = instant ? skImmediate : skTimed;
        double guard = 0, value = 0, priority = 0;
        if (!constantValue(t->Guard(), guard))
            return refuse(QStringLiteral("the guard of %1 reads the marking").arg(t->Name()));
        bool dynamic = false;
        const TQRVFormula* valueFormula =
            instant ? instant->WeightSpeed() : static_cast<TclsTransTimed*>(t)->Rate();
        dynamic = !constantValue(valueFormula, value);
        if (instant && !constantValue(t->Priority(), priority))
            dynamic = true;
        m_kind.push_back(kind);
        m_guard.push_back(guard);
        m_value.push_back(value);
        m_priority.push_back(priority);
        m_isDynamic.push_back(dynamic ? 1 : 0);
        if (dynamic)
            m_dynamic.push_back(i);
        if (instant)
            m_immediates.push_back(i);

        auto addArcs = [&](const QList<TclsLink*>& arcs, bool input) {
            for (const TclsLink* a : arcs) {
                const int place = m_placeIndex.value(input ? a->SourcePlace() : a->DestPlace(), -1);
                double w = 0;
                if (place < 0 || !constantValue(a->Weight(), w))
                    return false;
                m_arcs.push_back(TArc{place, a->Kind(), w, RoundHalfEven(w)});
            }
            return true;
        };
        m_inBegin.push_back(static_cast<int>(m_arcs.size()));
        if (!addArcs(t->InArcs, true))
            return refuse(QStringLiteral("an arc weight of %1 reads the marking").arg(t->Name()));
        m_outBegin.push_back(static_cast<int>(m_arcs.size()));
        if (!addArcs(t->OutArcs, false))
            return refuse(QStringLiteral("an arc weight of %1 reads the marking").arg(t->Name()));
        m_arcEnd.push_back(static_cast<int>(m_arcs.size()));
    }

    // Who reads each place, and what each firing changes and must re-test.
    const int places = static_cast<int>(m_livePlaces.size());
    std::vector<std::vector<int>> readers(static_cast<std::size_t>(places));
    for (int t = 0; t < n; ++t)
        for (int a = m_inBegin[static_cast<std::size_t>(t)]; a < m_outBegin[static_cast<std::size_t>(t)];
             ++a) {
            auto& r = readers[static_cast<std::size_t>(m_arcs[static_cast<std::size_t>(a)].Place)];
            if (r.empty() || r.back() != t)
                r.push_back(t);
        }
    m_changedBegin.push_back(0);
    m_retestBegin.push_back(0);
    for (int t = 0; t < n; ++t) {
        std::vector<int> changed, retest;
        for (int a = m_inBegin[static_cast<std::size_t>(t)]; a < m_arcEnd[static_cast<std::size_t>(t)]; ++a) {
            const TArc& arc = m_arcs[static_cast<std::size_t>(a)];
            if (arc.Kind == lkNormal && arc.Rounded != 0)
                changed.push_back(arc.Place);
        }
        std::sort(changed.begin(), changed.end());
        changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
        for (int p : changed)
            for (int r : readers[static_cast<std::size_t>(p)])
                retest.push_back(r);
        std::sort(retest.begin(), retest.end());
        retest.erase(std::unique(retest.begin(), retest.end()), retest.end());
        m_changed.insert(m_changed.end(), changed.begin(), changed.end());
        m_changedBegin.push_back(static_cast<int>(m_changed.size()));
        m_retest.insert(m_retest.end(), retest.begin(), retest.end());
        m_retestBegin.push_back(static_cast<int>(m_retest.size()));
    }
    m_changedBegin.push_back(static_cast<int>(m_changed.size())); // "none": nothing changed
    m_last = n;

    m_x = m_initial;
    m_open.assign(static_cast<std::size_t>(n), 0);
    m_race.Resize(n);
    m_candidates.reserve(m_immediates.size());
    m_weights.reserve(m_immediates.size());
    m_follow = !m_dynamic.empty();
    return true;
}

bool TStochasticNet::open(int t) const
{
    const auto ti = static_cast<std::size_t>(t);
    if (m_guard[ti] == 0)
        return false;
    const TArc* a = m_arcs.data() + m_inBegin[ti];
    const TArc* end = m_arcs.data() + m_outBegin[ti];
    for (; a != end; ++a) {
        const double v = m_x[static_cast<std::size_t>(a->Place)];
        switch (a->Kind) {
        case lkIngibitor:
        case lkIngibitorContinuous:
            if (!(v < 1))
                return false;
            break;
        case lkIngibitorCounter:
        case lkIngibitorCounterContinuous:
            if (!(v < a->Weight))
                return false;
            break;
        case lkContinuous:
            if (!(v > 0))
                return false;
            break;
        default: // normal, flow and test arcs
            if (!(v >= a->Weight))
                return false;
            break;
        }
    }
    return true;
}

void TStochasticNet::fire(int t)
{
    const auto ti = static_cast<std::size_t>(t);
    for (int i = m_inBegin[ti]; i < m_outBegin[ti]; ++i) {
        const TArc& a = m_arcs[static_cast<std::size_t>(i)];
        double& x = m_x[static_cast<std::size_t>(a.Place)];
        if (a.Kind == lkNormal && x < OmegaValue)
            TCompiledNet::setTokens(x, x - a.Rounded);
    }
    for (int i = m_outBegin[ti]; i < m_arcEnd[ti]; ++i) {
        const TArc& a = m_arcs[static_cast<std::size_t>(i)];
        double& x = m_x[static_cast<std::size_t>(a.Place)];
        if (a.Kind == lkNormal && x < OmegaValue)
            TCompiledNet::setTokens(x, x + a.Rounded);
    }
}

void TStochasticNet::readDynamic(int t)
{
    TclsTrans* live = m_liveTrans[static_cast<std::size_t>(t)];
    try {
        if (m_kind[static_cast<std::size_t>(t)] == skImmediate) {
            m_value[static_cast<std::size_t>(t)] =
                static_cast<TclsTransInstant*>(live)->WeightSpeed()->Value_Actual();
            m_priority[static_cast<std::size_t>(t)] = live->PriorityValue();
        } else {
            m_value[static_cast<std::size_t>(t)] = static_cast<TclsTransTimed*>(live)->Rate()->Value_Actual();
        }
    } catch (const std::exception& e) {
        const auto* parser = dynamic_cast<const ERxParserError*>(&e);
        throw ESimError(
            QStringLiteral("The simulation stopped: %1.")
                .arg(DescribeFailure(live, parser ? parser->Message : QString::fromStdString(e.what()))));
    }
}

void TStochasticNet::retest(int t)
{
    const auto ti = static_cast<std::size_t>(t);
    const bool now = open(t);
    if (now == static_cast<bool>(m_open[ti]))
        return;
    m_open[ti] = now ? 1 : 0;
    if (m_kind[ti] == skImmediate)
        m_openImmediates += now ? 1 : -1;
    else if (!now || !m_isDynamic[ti]) // an enabled dynamic rate is read with the others
        m_race.Set(t, now ? m_value[ti] : 0.0);
}

void TStochasticNet::Reset(TSimRandom& random)
{
    m_random = &random;
    m_x = m_initial;
    if (m_follow)
        for (std::size_t p = 0; p < m_x.size(); ++p)
            m_livePlaces[p]->SetTokensDirect(m_x[p]);
    m_race.Clear();
    m_openImmediates = 0;
    std::fill(m_open.begin(), m_open.end(), 0);
    for (int t = 0; t < TransitionCount(); ++t)
        retest(t);
    for (int t : m_dynamic)
        if (m_open[static_cast<std::size_t>(t)]) {
            readDynamic(t);
            if (m_kind[static_cast<std::size_t>(t)] == skTimed)
                m_race.Set(t, m_value[static_cast<std::size_t>(t)]);
        }
    m_last = TransitionCount();
    choose();
}

int TStochasticNet::Advance()
{
    const int t = m_pending;
    if (t < 0)
        return -1;
    const auto ti = static_cast<std::size_t>(t);
    fire(t);
    m_last = t;
    if (m_follow)
        for (const int* p = ChangedBegin(); p != ChangedEnd(); ++p)
            m_livePlaces[static_cast<std::size_t>(*p)]->SetTokensDirect(m_x[static_cast<std::size_t>(*p)]);
    for (int i = m_retestBegin[ti]; i < m_retestBegin[ti + 1]; ++i)
        retest(m_retest[static_cast<std::size_t>(i)]);
    for (int d : m_dynamic)
        if (m_open[static_cast<std::size_t>(d)]) {
            readDynamic(d);
            if (m_kind[static_cast<std::size_t>(d)] == skTimed)
                m_race.Set(d, m_value[static_cast<std::size_t>(d)]);
        }
    choose();
    return t;
}

void TStochasticNet::choose()
{
    if (m_openImmediates > 0) {
        // The highest priority among the enabled immediate transitions, then by weight.
        m_candidates.clear();
        m_weights.clear();
        double best = -std::numeric_limits<double>::infinity();
        for (int i : m_immediates) {
            const auto ii = static_cast<std::size_t>(i);
            if (!m_open[ii])
                continue;
            if (m_priority[ii] > best) {
                best = m_priority[ii];
                m_candidates.clear();
            }
            if (m_priority[ii] == best)
                m_candidates.push_back(i);
        }
        double total = 0;
        for (int i : m_candidates) {
            m_weights.push_back(m_value[static_cast<std::size_t>(i)]);
            total += m_value[static_cast<std::size_t>(i)];
        }
        m_pending = PickByWeight(m_candidates.data(), m_weights.data(), static_cast<int>(m_candidates.size()),
                                 total, *m_random);
        m_delay = 0;
        return;
    }
    const double total = m_race.Total();
    if (total > 0) {
        m_delay = m_random->Exponential(total);
        m_pending = m_race.Find(m_random->Uniform() * total);
    } else {
        m_pending = -1;
        m_delay = std::numeric_limits<double>::infinity();
    }
}
