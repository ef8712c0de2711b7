#include "reach/compiled_net.h"

#include <cmath>
#include <cstdlib>
#include <numeric>

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

std::vector<double> TCompiledNet::PositiveInvariant() const
{
    // Place invariants by elimination: start from one row per place (its
    // changes by every transition, and the place itself as combination);
    // for each transition, rows that it changes in opposite directions are
    // combined so that it changes them no more. Rows left unchanged by every
    // transition are invariants; their sum is positive when every place is
    // in one. Gives up when the rows grow too many or too large.
    const int places = PlaceCount();
    const int transitions = TransitionCount();
    if (places == 0)
        return {};
    struct TRow
    {
        std::vector<qint64> Change; // per transition
        std::vector<qint64> Weight; // per place
    };
    std::vector<TRow> rows(static_cast<std::size_t>(places));
    for (int p = 0; p < places; ++p) {
        rows[static_cast<std::size_t>(p)].Change.assign(static_cast<std::size_t>(transitions), 0);
        rows[static_cast<std::size_t>(p)].Weight.assign(static_cast<std::size_t>(places), 0);
        rows[static_cast<std::size_t>(p)].Weight[static_cast<std::size_t>(p)] = 1;
    }
    for (int t = 0; t < transitions; ++t) {
        const TTrans& tr = m_trans[static_cast<std::size_t>(t)];
        if (tr.Class == tcContinuous)
            continue; // never fired
        for (int i = tr.InBegin; i < tr.OutEnd; ++i) {
            const TArcRec& a = m_arcs[static_cast<std::size_t>(i)];
            if (a.Kind != lkNormal)
                continue;
            if (!(std::fabs(a.Rounded) < 1e6))
                return {};
            const qint64 w = static_cast<qint64>(a.Rounded);
            rows[static_cast<std::size_t>(a.Place)].Change[static_cast<std::size_t>(t)] +=
                i < tr.InEnd ? -w : w;
        }
    }
    constexpr std::size_t maxRows = 4000;
    constexpr qint64 maxValue = qint64(1) << 30;
    for (int t = 0; t < transitions; ++t) {
        std::vector<TRow> next;
        std::vector<const TRow*> up, down;
        for (const TRow& r : rows) {
            const qint64 c = r.Change[static_cast<std::size_t>(t)];
            if (c > 0)
                up.push_back(&r);
            else if (c < 0)
                down.push_back(&r);
            else
                next.push_back(r);
        }
        if (next.size() + up.size() * down.size() > maxRows)
            return {};
        for (const TRow* a : up)
            for (const TRow* b : down) {
                const qint64 fa = -b->Change[static_cast<std::size_t>(t)];
                const qint64 fb = a->Change[static_cast<std::size_t>(t)];
                TRow r;
                r.Change.resize(static_cast<std::size_t>(transitions));
                r.Weight.resize(static_cast<std::size_t>(places));
                qint64 g = 0;
                for (std::size_t k = 0; k < r.Change.size(); ++k) {
                    r.Change[k] = fa * a->Change[k] + fb * b->Change[k];
                    g = std::gcd(g, r.Change[k]);
                }
                for (std::size_t k = 0; k < r.Weight.size(); ++k) {
                    r.Weight[k] = fa * a->Weight[k] + fb * b->Weight[k];
                    g = std::gcd(g, r.Weight[k]);
                }
                bool small = true;
                for (qint64& v : r.Change) {
                    v /= g;
                    small = small && std::llabs(v) < maxValue;
                }
                for (qint64& v : r.Weight) {
                    v /= g;
                    small = small && v < maxValue;
                }
                if (!small)
                    return {};
                next.push_back(std::move(r));
            }
        rows = std::move(next);
    }
    std::vector<double> weights(static_cast<std::size_t>(places), 0.0);
    for (const TRow& r : rows)
        for (int p = 0; p < places; ++p)
            weights[static_cast<std::size_t>(p)] +=
                static_cast<double>(r.Weight[static_cast<std::size_t>(p)]);
    for (double w : weights)
        if (!(w >= 1 && w < 1e9))
            return {};
    return weights;
}
