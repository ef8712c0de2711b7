#include "reach/compiled_net.h"

#include <cmath>

#include "model/numbers.h"
#include "reach/marking.h"

int TCompiledNet::AddPlace(const QString& name, double tokens)
{
    m_addedNames.push_back(name);
    m_addedTokens.push_back(tokens);
    return static_cast<int>(m_addedNames.size()) - 1;
}

int TCompiledNet::AddTransition(const QString& name, TTransClass cls, double guard, double priority,
                                double weightSpeed)
{
    TTrans t;
    t.Name = name;
    t.Class = cls;
    t.Guard = guard;
    t.Priority = priority;
    t.WeightSpeed = weightSpeed;
    m_trans.push_back(std::move(t));
    return static_cast<int>(m_trans.size()) - 1;
}

void TCompiledNet::AddInputArc(int transition, int place, TLinkKind kind, double weight)
{
    m_trans[static_cast<std::size_t>(transition)].In.push_back(
        TArcRec{place, kind, weight, RoundHalfEven(weight)});
    ++m_arcCount;
}

void TCompiledNet::AddOutputArc(int transition, int place, TLinkKind kind, double weight)
{
    m_trans[static_cast<std::size_t>(transition)].Out.push_back(
        TArcRec{place, kind, weight, RoundHalfEven(weight)});
    ++m_arcCount;
}

QString TCompiledNet::Finish()
{
    TMark order;
    for (std::size_t i = 0; i < m_addedNames.size(); ++i) {
        QString error;
        // The entry's value records where the place was added.
        if (!order.AddPlace(m_addedNames[i], 0, static_cast<double>(i), &error))
            return error;
    }
    const int n = order.Count();
    m_placeNames.clear();
    m_initial.assign(static_cast<std::size_t>(n), 0.0);
    m_entryOf.assign(static_cast<std::size_t>(n), 0);
    m_clean = true;
    for (int e = 0; e < n; ++e) {
        const auto added = static_cast<std::size_t>(order.Value(e));
        m_placeNames.append(order.Name(e));
        m_entryOf[added] = e;
        const double tokens = m_addedTokens[added];
        m_initial[static_cast<std::size_t>(e)] = tokens;
        if (!(tokens >= 0 && tokens == std::floor(tokens) && !std::signbit(tokens)))
            m_clean = false;
    }
    m_arcs.clear();
    for (TTrans& t : m_trans) {
        t.InBegin = static_cast<int>(m_arcs.size());
        for (TArcRec a : t.In) {
            a.Place = m_entryOf[static_cast<std::size_t>(a.Place)];
            m_arcs.push_back(a);
        }
        t.InEnd = static_cast<int>(m_arcs.size());
        for (TArcRec a : t.Out) {
            a.Place = m_entryOf[static_cast<std::size_t>(a.Place)];
            m_arcs.push_back(a);
        }
        t.OutEnd = static_cast<int>(m_arcs.size());
    }
    return QString();
}

QStringList TCompiledNet::TransitionNames() const
{
    QStringList names;
    for (const TTrans& t : m_trans)
        names.append(t.Name);
    return names;
}

QList<TConflictInput> TCompiledNet::ConflictInputs() const
{
    QList<TConflictInput> inputs;
    for (int t = 0; t < TransitionCount(); ++t) {
        const TTrans& tr = m_trans[static_cast<std::size_t>(t)];
        TConflictInput in;
        in.Name = tr.Name;
        in.Transition = t;
        for (int i = tr.InBegin; i < tr.InEnd; ++i)
            if (m_arcs[static_cast<std::size_t>(i)].Kind == lkNormal)
                in.NormalInputPlaces.append(m_placeNames[m_arcs[static_cast<std::size_t>(i)].Place]);
        inputs.append(in);
    }
    return inputs;
}

void TCompiledNet::Apply(double* cur, const double* values) const
{
    const int n = PlaceCount();
    for (int i = 0; i < n; ++i)
        setTokens(cur[i], values[i]);
}
