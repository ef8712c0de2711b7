#include "simulation/sim_engine.h"

#include <QHash>
#include <QStringList>

#include <cmath>
#include <utility>

#include "formula/formula.h"
#include "model/arcs.h"
#include "model/designer.h"
#include "model/numbers.h"
#include "model/places.h"
#include "model/transitions.h"
#include "simulation/sim_error.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

TSimKind kindOf(const TclsTrans* t)
{
    if (t->IsContinuous)
        return skContinuous;
    return qobject_cast<const TclsTransInstant*>(t) ? skImmediate : skTimed;
}

// Arcs whose token movement is shown: those that can carry tokens or flow.
bool animated(const TclsLink* arc)
{
    return arc->Kind() == lkNormal || arc->Kind() == lkContinuous || arc->Kind() == lkFlow;
}

} // namespace

TSimEngine::TSimEngine(TQRVDesigner& net, quint64 seed) : m_net(net), m_random(seed) {}

// ---- opening and restarting -------------------------------------------------------------------

QString TSimEngine::Open()
{
    m_trans.clear();
    m_initial.clear();
    for (TQRVObject* o : m_net.ObjectList())
        if (auto* p = qobject_cast<TclsNode*>(o))
            m_initial.emplace_back(p, p->Value());
    m_net.RebuildArcLists();
    m_modelTime = m_previousTime = 0;
    m_timeStep = 0;
    m_defaultStep = 2147483647.0;
    m_pending = -1;
    m_dead = false;

    QStringList problems;
    QHash<const TclsTrans*, int> index;
    for (TQRVObject* o : m_net.ObjectList()) {
        auto* t = qobject_cast<TclsTrans*>(o);
        if (!t)
            continue;
        index.insert(t, TransitionCount());
        m_trans.push_back(TSimTrans{t, kindOf(t)});
        if (auto* timed = qobject_cast<TclsTransTimed*>(t)) {
            double rate = 0;
            QString error;
            if (!timed->Rate()->TryValue(rate, &error))
                problems << DescribeFailure(t, error);
            else if (rate > 0 && 1 / rate < m_defaultStep)
                m_defaultStep = 1 / rate;
        } else if (t->IsContinuous && m_defaultStep > 1) {
            m_defaultStep = 1;
        }
    }

    // Weight shares: each immediate transition's weight against the weights
    // of all immediate transitions fed by the same discrete place.
    for (const auto& [place, value] : m_initial) {
        if (place->IsContinuous)
            continue;
        double sum = 0;
        std::vector<std::pair<int, double>> fed;
        for (const TclsLink* arc : place->OutArcs) {
            auto* instant = qobject_cast<TclsTransInstant*>(arc->DestTrans());
            if (!instant)
                continue;
            double w = 0;
            QString error;
            if (!instant->WeightSpeed()->TryValue(w, &error)) {
                problems << DescribeFailure(instant, error);
                continue;
            }
            sum += w;
            fed.emplace_back(index.value(instant), w);
        }
        if (sum != 0)
            for (const auto& [i, w] : fed)
                m_trans[static_cast<std::size_t>(i)].WeightShare = w / sum;
    }
    m_race.Resize(TransitionCount());
    problems.removeDuplicates();
    return problems.join(QLatin1Char('\n'));
}

void TSimEngine::Restart()
{
    PutInitialMarking();
    m_modelTime = m_previousTime = 0;
    m_timeStep = 0;
    m_net.RebuildArcLists();
    for (TSimTrans& t : m_trans) {
        t.ScheduledTime = 0;
        t.Waiting = false;
        t.Open = false;
    }
    m_pending = -1;
    m_dead = false;
    m_ready.clear();
    m_firing.clear();
    m_outputsDue.clear();
    m_animated.clear();
}

void TSimEngine::PutInitialMarking()
{
    for (const auto& [place, value] : m_initial) {
        if (auto* d = qobject_cast<TclsNodeDiscrete*>(place))
            d->SetTokensDirect(value);
        else if (auto* c = qobject_cast<TclsNodeContinuous*>(place))
            c->SetLevelDirect(value);
    }
}

bool TSimEngine::AtInitialMarking() const
{
    for (const auto& [place, value] : m_initial)
        if (place->Value() != value)
            return false;
    return true;
}

void TSimEngine::SetStochastic(bool on)
{
    m_stochastic = on;
    m_pending = -1;
    m_dead = false;
}

// ---- reading the transitions ---------------------------------------------------------------

void TSimEngine::fail(int i, const std::exception& e)
{
    const auto* parser = dynamic_cast<const ERxParserError*>(&e);
    const QString error = parser ? parser->Message : QString::fromStdString(e.what());
    QString message = QStringLiteral("The simulation stopped at model time %1: %2.")
                          .arg(FormatGeneral(m_modelTime), DescribeFailure(Transition(i), error));
    // Transitions that took their inputs still produce their outputs.
    QStringList unfinished;
    for (int k : std::exchange(m_outputsDue, {})) {
        TSimTrans& tr = m_trans[static_cast<std::size_t>(k)];
        if (k == i) {
            // It failed halfway: producing its outputs again could count some twice.
            unfinished << tr.T->Name();
            continue;
        }
        try {
            if (tr.Kind == skContinuous)
                static_cast<TclsTransContinuous*>(tr.T)->FlowIn(m_modelTime - m_previousTime);
            else
                tr.T->FireOutputs();
        } catch (const std::exception&) {
            unfinished << tr.T->Name();
        }
    }
    if (unfinished.size() == 1)
        message += QStringLiteral(" Transition %1 took its inputs, but its outputs could not be produced.")
                       .arg(unfinished.first());
    else if (!unfinished.isEmpty())
        message +=
            QStringLiteral(" Transitions %1 took their inputs, but their outputs could not be produced.")
                .arg(unfinished.join(QStringLiteral(", ")));
    m_ready.clear();
    m_firing.clear();
    m_animated.clear();
    throw ESimError(message);
}

bool TSimEngine::open(int i)
{
    try {
        return Transition(i)->Open();
    } catch (const std::exception& e) {
        fail(i, e);
    }
}

double TSimEngine::Delay(int i) const
{
    switch (Kind(i)) {
    case skImmediate:
        return 0;
    case skContinuous:
        return 1;
    case skTimed:
        break;
    }
    const double rate = static_cast<const TclsTransTimed*>(Transition(i))->Rate()->Value_Actual();
    return rate > 0 ? 1 / rate : kInfinity;
}

double TSimEngine::delay(int i)
{
    try {
        return Delay(i);
    } catch (const std::exception& e) {
        fail(i, e);
    }
}

double TSimEngine::OrderKey(int i) const
{
    const TSimTrans& t = m_trans[static_cast<std::size_t>(i)];
    return t.WeightShare > 0 ? t.T->FireCount / t.WeightShare : kInfinity;
}

// ---- one step ----------------------------------------------------------------------------------

void TSimEngine::schedule(bool continuousOnly)
{
    for (int i = 0; i < TransitionCount(); ++i) {
        TSimTrans& t = m_trans[static_cast<std::size_t>(i)];
        if (continuousOnly && t.Kind != skContinuous)
            continue;
        t.Open = open(i);
        t.Waiting = false;
        if (!t.Open) {
            t.ScheduledTime = 0;
        } else if (t.ScheduledTime == 0) {
            const double d = delay(i);
            if (std::isinf(d))
                t.Waiting = true; // a rate of 0: scheduled once it is positive
            else
                t.ScheduledTime = m_modelTime + d;
        }
    }
}

void TSimEngine::orderImmediates()
{
    const int n = static_cast<int>(m_ready.size());
    for (int i = 0; i + 1 < n; ++i) {
        if (Kind(m_ready[static_cast<std::size_t>(i)]) != skImmediate)
            continue;
        for (int j = i + 1; j < n; ++j) {
            int& a = m_ready[static_cast<std::size_t>(i)];
            int& b = m_ready[static_cast<std::size_t>(j)];
            if (Kind(b) == skImmediate && OrderKey(b) < OrderKey(a))
                std::swap(a, b);
        }
    }
}

void TSimEngine::BeginStep()
{
    m_ready.clear();
    m_firing.clear();
    m_animated.clear();
    m_outputsDue.clear();
    if (!m_stochastic) {
        schedule(false);
        for (int i = 0; i < TransitionCount(); ++i) {
            const TSimTrans& t = m_trans[static_cast<std::size_t>(i)];
            if (t.Open && !t.Waiting && t.ScheduledTime <= m_modelTime)
                m_ready.push_back(i);
        }
        const int n = static_cast<int>(m_ready.size());
        for (int k = 0; k < 2 * n; ++k) {
            const int a = m_random.Below(n);
            const int b = m_random.Below(n);
            std::swap(m_ready[static_cast<std::size_t>(a)], m_ready[static_cast<std::size_t>(b)]);
        }
        orderImmediates();
    } else {
        if (m_pending >= 0)
            m_ready.push_back(m_pending);
        m_pending = -1;
        schedule(true);
        for (int i = 0; i < TransitionCount(); ++i) {
            const TSimTrans& t = m_trans[static_cast<std::size_t>(i)];
            if (t.Kind == skContinuous && t.Open && t.ScheduledTime <= m_modelTime)
                m_ready.push_back(i);
        }
    }
    startFiring();
}

void TSimEngine::startFiring()
{
    const double dt = m_modelTime - m_previousTime;
    for (int i : m_ready) {
        TSimTrans& t = m_trans[static_cast<std::size_t>(i)];
        try {
            if (t.Kind == skContinuous) {
                if (!t.T->Open())
                    continue;
                static_cast<TclsTransContinuous*>(t.T)->FlowOut(dt);
            } else {
                // FireInputs tests Open itself and counts the firing.
                const int before = t.T->FireCount;
                t.T->FireInputs();
                if (t.T->FireCount == before)
                    continue;
            }
        } catch (const std::exception& e) {
            fail(i, e);
        }
        m_firing.push_back(i);
        m_outputsDue.push_back(i);
        for (TclsLink* arc : t.T->InArcs)
            if (animated(arc))
                m_animated.push_back(arc);
    }
}

void TSimEngine::BeginOutputs()
{
    m_animated.clear();
    for (int i : m_firing)
        for (TclsLink* arc : Transition(i)->OutArcs)
            if (animated(arc))
                m_animated.push_back(arc);
}

void TSimEngine::EndStep()
{
    m_animated.clear();
    const double dt = m_modelTime - m_previousTime;
    for (std::size_t k = 0; k < m_outputsDue.size(); ++k) {
        const int i = m_outputsDue[k];
        TSimTrans& t = m_trans[static_cast<std::size_t>(i)];
        try {
            if (t.Kind == skContinuous)
                static_cast<TclsTransContinuous*>(t.T)->FlowIn(dt);
            else
                t.T->FireOutputs();
        } catch (const std::exception& e) {
            // Those before it are done; those after it still produce theirs.
            m_outputsDue.erase(m_outputsDue.begin(), m_outputsDue.begin() + static_cast<std::ptrdiff_t>(k));
            fail(i, e);
        }
    }
    m_outputsDue.clear();
    if (!m_stochastic) {
        chooseTimeStep();
        schedule(false);
    } else {
        schedule(true);
        chooseEvent();
    }
    advanceClock();
}

void TSimEngine::Step()
{
    BeginStep();
    BeginOutputs();
    EndStep();
}

void TSimEngine::chooseTimeStep()
{
    m_timeStep = m_defaultStep;
    m_dead = true;
    for (int i = 0; i < TransitionCount(); ++i) {
        if (!open(i))
            continue;
        m_dead = false;
        const double d = delay(i);
        if (d < m_timeStep)
            m_timeStep = d;
    }
}

void TSimEngine::chooseEvent()
{
    m_pending = -1;
    m_dead = false;
    bool flowing = false;
    for (const TSimTrans& t : m_trans)
        flowing = flowing || (t.Kind == skContinuous && t.Open);

    // Immediate transitions first: the highest priority, then by weight.
    std::vector<int> candidates;
    double best = -kInfinity;
    for (int i = 0; i < TransitionCount(); ++i) {
        if (Kind(i) != skImmediate || !open(i))
            continue;
        double priority = 0;
        try {
            priority = Transition(i)->PriorityValue();
        } catch (const std::exception& e) {
            fail(i, e);
        }
        if (priority > best) {
            best = priority;
            candidates.clear();
        }
        if (priority == best)
            candidates.push_back(i);
    }
    if (!candidates.empty()) {
        m_weights.clear();
        double total = 0;
        for (int i : candidates) {
            double w = 0;
            try {
                w = static_cast<TclsTransInstant*>(Transition(i))->WeightSpeed()->Value_Actual();
            } catch (const std::exception& e) {
                fail(i, e);
            }
            m_weights.push_back(w);
            total += w;
        }
        m_pending = PickByWeight(candidates.data(), m_weights.data(), static_cast<int>(candidates.size()),
                                 total, m_random);
        m_timeStep = 0;
        return;
    }

    // The race of the enabled timed transitions.
    m_race.Clear();
    for (int i = 0; i < TransitionCount(); ++i) {
        if (Kind(i) != skTimed || !open(i))
            continue;
        double rate = 0;
        try {
            rate = static_cast<TclsTransTimed*>(Transition(i))->Rate()->Value_Actual();
        } catch (const std::exception& e) {
            fail(i, e);
        }
        if (rate > 0)
            m_race.Set(i, rate);
    }
    const double cap = flowing ? 1.0 : kInfinity;
    const double total = m_race.Total();
    if (total > 0) {
        const double d = m_random.Exponential(total);
        const int next = m_race.Find(m_random.Uniform() * total);
        if (d <= cap) {
            m_pending = next;
            m_timeStep = d;
        } else {
            m_timeStep = cap;
        }
    } else if (flowing) {
        m_timeStep = cap;
    } else {
        m_dead = true;
        m_timeStep = m_defaultStep;
    }
}

void TSimEngine::advanceClock()
{
    m_previousTime = m_modelTime;
    m_modelTime += m_timeStep;
}
