#include "reach/compiled_net.h"

#include <cmath>
#include <cstdlib>
#include <limits>
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
    QStringList names;
    names.reserve(static_cast<qsizetype>(m_addedNames.size()));
    for (const QString& name : m_addedNames)
        names.append(name);
    std::vector<int> order;
    QString error;
    if (!PlaceOrder(names, order, &error))
        return error;
    const std::size_t n = order.size();
    m_placeNames.clear();
    m_placeNames.reserve(static_cast<qsizetype>(n));
    m_initial.assign(n, 0.0);
    m_entryOf.assign(n, 0);
    m_clean = true;
    for (std::size_t e = 0; e < n; ++e) {
        const auto added = static_cast<std::size_t>(order[e]);
        m_placeNames.append(m_addedNames[added]);
        m_entryOf[added] = static_cast<int>(e);
        const double tokens = m_addedTokens[added];
        m_initial[e] = tokens;
        if (!(tokens >= 0 && tokens == std::floor(tokens) && !std::signbit(tokens)))
            m_clean = false;
    }
    m_arcs.clear();
    m_arcs.reserve(static_cast<std::size_t>(m_arcCount));
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

std::vector<double> TCompiledNet::PositiveInvariant(std::vector<double>* bounds) const
{
    // Place invariants by elimination: start from one row per place (its
    // changes by every transition, and the place itself as combination);
    // for each transition, rows that it changes in opposite directions are
    // combined so that it changes them no more. Rows left unchanged by every
    // transition are invariants; their sum is positive when every place is
    // in one. Rows are sparse. Gives up when the rows grow too many, their
    // values too large, or their entries too many for the size of the net,
    // so that the search stays linear in the net.
    if (bounds)
        bounds->clear();
    const int places = PlaceCount();
    const int transitions = TransitionCount();
    if (places == 0)
        return {};
    using TEntries = std::vector<std::pair<int, qint64>>; // ascending index, no zeros
    struct TRow
    {
        TEntries Change; // per transition
        TEntries Weight; // per place
    };
    std::vector<TRow> rows(static_cast<std::size_t>(places));
    for (int p = 0; p < places; ++p)
        rows[static_cast<std::size_t>(p)].Weight.emplace_back(p, 1);
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
            TEntries& change = rows[static_cast<std::size_t>(a.Place)].Change;
            if (change.empty() || change.back().first != t)
                change.emplace_back(t, 0);
            change.back().second += i < tr.InEnd ? -w : w;
        }
        for (int i = tr.InBegin; i < tr.OutEnd; ++i) {
            TEntries& change =
                rows[static_cast<std::size_t>(m_arcs[static_cast<std::size_t>(i)].Place)].Change;
            if (!change.empty() && change.back().first == t && change.back().second == 0)
                change.pop_back();
        }
    }
    constexpr std::size_t maxRows = 4000;
    constexpr qint64 maxValue = qint64(1) << 30;
    std::size_t budget = 64 * (static_cast<std::size_t>(places) + static_cast<std::size_t>(transitions) +
                               static_cast<std::size_t>(m_arcCount)) +
                         65536;
    auto combine = [](const TEntries& a, qint64 fa, const TEntries& b, qint64 fb, TEntries& out, qint64& g) {
        std::size_t i = 0, j = 0;
        while (i < a.size() || j < b.size()) {
            int index;
            qint64 v;
            if (j == b.size() || (i < a.size() && a[i].first < b[j].first)) {
                index = a[i].first;
                v = fa * a[i++].second;
            } else if (i == a.size() || b[j].first < a[i].first) {
                index = b[j].first;
                v = fb * b[j++].second;
            } else {
                index = a[i].first;
                v = fa * a[i++].second + fb * b[j++].second;
            }
            if (v != 0) {
                out.emplace_back(index, v);
                g = std::gcd(g, v);
            }
        }
    };
    // Rows waiting for the transition of their first change; rows that no
    // transition changes are invariants.
    std::vector<std::vector<TRow>> waiting(static_cast<std::size_t>(transitions));
    std::vector<TRow> invariants;
    auto file = [&](TRow&& r) {
        if (r.Change.empty())
            invariants.push_back(std::move(r));
        else
            waiting[static_cast<std::size_t>(r.Change.front().first)].push_back(std::move(r));
    };
    std::size_t alive = rows.size();
    for (TRow& r : rows)
        file(std::move(r));
    std::vector<TRow>().swap(rows);
    for (int t = 0; t < transitions; ++t) {
        std::vector<TRow> changed;
        changed.swap(waiting[static_cast<std::size_t>(t)]);
        std::vector<const TRow*> up, down;
        for (const TRow& r : changed)
            (r.Change.front().second > 0 ? up : down).push_back(&r);
        alive = alive - changed.size() + up.size() * down.size();
        if (alive > maxRows)
            return {};
        for (const TRow* a : up)
            for (const TRow* b : down) {
                const qint64 fa = -b->Change.front().second;
                const qint64 fb = a->Change.front().second;
                TRow r;
                qint64 g = 0;
                combine(a->Change, fa, b->Change, fb, r.Change, g);
                combine(a->Weight, fa, b->Weight, fb, r.Weight, g);
                const std::size_t size = r.Change.size() + r.Weight.size();
                if (size > budget)
                    return {};
                budget -= size;
                for (auto& e : r.Change) {
                    e.second /= g;
                    if (std::llabs(e.second) >= maxValue)
                        return {};
                }
                for (auto& e : r.Weight) {
                    e.second /= g;
                    if (e.second >= maxValue)
                        return {};
                }
                file(std::move(r));
            }
    }
    if (bounds) {
        // Each invariant bounds its places: weight × count ≤ the invariant's
        // weighted sum of the initial marking.
        bounds->assign(static_cast<std::size_t>(places), std::numeric_limits<double>::infinity());
        for (const TRow& r : invariants) {
            double total = 0;
            for (const auto& e : r.Weight)
                total += static_cast<double>(e.second) * m_initial[static_cast<std::size_t>(e.first)];
            for (const auto& e : r.Weight) {
                double& b = (*bounds)[static_cast<std::size_t>(e.first)];
                b = std::min(b, std::floor(total / static_cast<double>(e.second)));
            }
        }
    }
    std::vector<double> weights(static_cast<std::size_t>(places), 0.0);
    for (const TRow& r : invariants)
        for (const auto& e : r.Weight)
            weights[static_cast<std::size_t>(e.first)] += static_cast<double>(e.second);
    for (double w : weights)
        if (!(w >= 1 && w < 1e9))
            return {};
    return weights;
}
