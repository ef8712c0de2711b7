// The plain exploration the engine is checked against: written straight from
// the rules, with ordinary containers, sharing no code with the engine.
#include <QHash>
#include <QSet>

#include <algorithm>
#include <numeric>

#include "reach/crc32.h"
#include "reach_test_support.h"

namespace {

int placeKey(const QString& name)
{
    return name.mid(1, 5).toInt() + (name.startsWith(QLatin1Char('b')) ? 100 : 0);
}

double viaText(double x)
{
    return QString::number(x, 'g', 15).toDouble();
}

void setTokens(double& place, double value)
{
    if (value == place || value < 0)
        return;
    place = std::nearbyint(value);
}

// Conflict sets: the sets are walked from the last to the first; the first
// touched set takes the transition, later touched sets merge into it.
std::vector<std::vector<int>> conflictSets(const TTestNet& net)
{
    struct TSet
    {
        std::vector<int> Trans;
        QSet<int> Places;
    };
    std::vector<TSet> sets(1);
    for (int t = 0; t < static_cast<int>(net.Trans.size()); ++t) {
        QSet<int> places;
        for (const auto& a : net.Trans[static_cast<size_t>(t)].In)
            if (a.Kind == lkNormal)
                places.insert(a.Place);
        int own = -1;
        for (int s = static_cast<int>(sets.size()) - 1; s >= 0; --s) {
            const bool touched = sets[static_cast<size_t>(s)].Places.intersects(places);
            if (!touched) {
                if (own < 0) {
                    sets.push_back(TSet{{t}, places});
                    own = static_cast<int>(sets.size()) - 1;
                }
                continue;
            }
            if (own < 0) {
                own = s;
                sets[static_cast<size_t>(s)].Trans.push_back(t);
                sets[static_cast<size_t>(s)].Places.unite(places);
            } else {
                TSet merged = sets[static_cast<size_t>(s)];
                sets[static_cast<size_t>(own)].Trans.insert(sets[static_cast<size_t>(own)].Trans.end(),
                                                            merged.Trans.begin(), merged.Trans.end());
                sets[static_cast<size_t>(own)].Places.unite(merged.Places);
                sets.erase(sets.begin() + s);
                if (s < own)
                    --own;
            }
        }
    }
    std::vector<std::vector<int>> result;
    for (TSet& s : sets) {
        if (s.Trans.size() < 2)
            continue;
        std::sort(s.Trans.begin(), s.Trans.end(), [&](int a, int b) {
            return QString::compare(net.Trans[static_cast<size_t>(a)].Name,
                                    net.Trans[static_cast<size_t>(b)].Name, Qt::CaseInsensitive) < 0;
        });
        result.push_back(s.Trans);
    }
    return result;
}

} // namespace

TTestNet RandomTestNet(std::mt19937& rng, bool wholeTokens)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    static const double weights[] = {0, 0.5, 1, 1, 1, 1.5, 2, 2, 2.5, 3};
    static const TLinkKind kinds[] = {lkNormal,
                                      lkNormal,
                                      lkNormal,
                                      lkNormal,
                                      lkIngibitor,
                                      lkIngibitorCounter,
                                      lkTest,
                                      lkContinuous,
                                      lkFlow,
                                      lkTestContinuous,
                                      lkIngibitorContinuous,
                                      lkIngibitorCounterContinuous};
    TTestNet net;
    const int places = pick(1, 6);
    std::vector<int> numbers(static_cast<size_t>(places));
    std::iota(numbers.begin(), numbers.end(), 1);
    if (pick(0, 3) == 0)
        numbers.back() = 10 + pick(0, 5); // names like p12 sort after p2
    std::shuffle(numbers.begin(), numbers.end(), rng);
    for (int i = 0; i < places; ++i) {
        double tokens = pick(0, 3);
        if (!wholeTokens && pick(0, 2) == 0)
            tokens += 0.5;
        net.place(QStringLiteral("p%1").arg(numbers[static_cast<size_t>(i)]), tokens);
    }
    const int transitions = pick(1, 7);
    for (int t = 0; t < transitions; ++t) {
        const int id = net.trans(QStringLiteral("t%1").arg(t + 1), pick(0, 2) == 0 ? tcImmediate : tcTimed);
        TTestNet::TTransDesc& tr = net.Trans[static_cast<size_t>(id)];
        tr.Guard = pick(0, 9) == 0 ? 0 : 1;
        tr.Priority = pick(0, 2);
        tr.WeightSpeed = pick(0, 3);
        for (int k = pick(0, 3); k > 0; --k)
            net.in(id, pick(0, places - 1), weights[pick(0, 9)], kinds[pick(0, 11)]);
        for (int k = pick(0, 3); k > 0; --k)
            net.out(id, pick(0, places - 1), weights[pick(0, 9)], pick(0, 4) == 0 ? lkFlow : lkNormal);
    }
    return net;
}

TReferenceGraph ExploreReference(const TTestNet& net, const TReferenceSettings& settings)
{
    TReferenceGraph g;
    const int n = static_cast<int>(net.Tokens.size());
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return placeKey(net.PlaceNames[a]) < placeKey(net.PlaceNames[b]); });
    std::vector<int> at(static_cast<size_t>(n));
    for (int e = 0; e < n; ++e) {
        at[static_cast<size_t>(order[static_cast<size_t>(e)])] = e;
        g.Places << net.PlaceNames[order[static_cast<size_t>(e)]];
    }

    std::vector<double> places(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        places[static_cast<size_t>(at[static_cast<size_t>(i)])] = net.Tokens[static_cast<size_t>(i)];
    g.FireCounts.assign(net.Trans.size(), 0);

    auto open = [&](const TTestNet::TTransDesc& t) {
        if (t.Guard == 0)
            return false;
        for (const auto& a : t.In) {
            const double x = places[static_cast<size_t>(at[static_cast<size_t>(a.Place)])];
            bool ok = true;
            switch (a.Kind) {
            case lkNormal:
            case lkFlow:
                ok = x >= a.Weight;
                break;
            case lkContinuous:
                ok = x > 0;
                break;
            case lkIngibitor:
            case lkIngibitorContinuous:
                ok = x < 1;
                break;
            case lkIngibitorCounter:
            case lkIngibitorCounterContinuous:
                ok = x < a.Weight;
                break;
            case lkTest:
            case lkTestContinuous:
                ok = x >= a.Weight;
                break;
            }
            if (!ok)
                return false;
        }
        return true;
    };
    auto fire = [&](int ti) {
        const auto& t = net.Trans[static_cast<size_t>(ti)];
        if (!open(t))
            return;
        ++g.FireCounts[static_cast<size_t>(ti)];
        for (const auto& a : t.In) {
            double& x = places[static_cast<size_t>(at[static_cast<size_t>(a.Place)])];
            if (x < 99999 && a.Kind == lkNormal)
                setTokens(x, x - std::nearbyint(a.Weight));
        }
        for (const auto& a : t.Out) {
            double& x = places[static_cast<size_t>(at[static_cast<size_t>(a.Place)])];
            if (x < 99999 && a.Kind == lkNormal)
                setTokens(x, x + std::nearbyint(a.Weight));
        }
    };
    auto apply = [&](const std::vector<double>& m) {
        for (int i = 0; i < n; ++i)
            setTokens(places[static_cast<size_t>(i)], m[static_cast<size_t>(i)]);
    };
    const auto conflicts = conflictSets(net);

    std::map<std::vector<double>, int> known;
    std::vector<int> parent;
    g.Markings.push_back(places);
    g.Edges.emplace_back();
    parent.push_back(-1);
    known[places] = 0;
    for (size_t i = 0; i < g.Markings.size(); ++i) {
        if (static_cast<long>(g.Markings.size()) >= settings.Limit) {
            g.LimitReached = true;
            break;
        }
        const std::vector<double> m = g.Markings[i];
        apply(m);
        std::vector<int> enabled;
        for (int t = 0; t < static_cast<int>(net.Trans.size()); ++t) {
            const auto& tr = net.Trans[static_cast<size_t>(t)];
            if (tr.Class == tcContinuous || !open(tr))
                continue;
            if (!settings.Priority || enabled.empty()) {
                enabled.push_back(t);
                continue;
            }
            const auto& h = net.Trans[static_cast<size_t>(enabled[0])];
            if (tr.Class == h.Class) {
                if (tr.Priority > h.Priority)
                    enabled = {t};
                else if (tr.Priority == h.Priority)
                    enabled.push_back(t);
            } else if (tr.Class == tcImmediate) {
                enabled = {t};
            }
        }
        std::map<int, double> probability;
        if (settings.Probabilities) {
            for (const auto& set : conflicts) {
                std::vector<int> members;
                double sum = 0;
                for (int t : set)
                    if (std::count(enabled.begin(), enabled.end(), t) &&
                        net.Trans[static_cast<size_t>(t)].Class == tcImmediate) {
                        members.push_back(t);
                        sum += net.Trans[static_cast<size_t>(t)].WeightSpeed;
                    }
                for (int t : members)
                    probability[t] = sum > 0 ? net.Trans[static_cast<size_t>(t)].WeightSpeed / sum
                                             : 1.0 / static_cast<double>(members.size());
            }
        }
        if (enabled.empty())
            g.NoDeadMarking = false;
        for (int t : enabled) {
            apply(m);
            fire(t);
            std::vector<double> next = places;
            double weight = 1.0;
            if (net.Trans[static_cast<size_t>(t)].Class == tcImmediate)
                weight = settings.Probabilities ? viaText(probability.count(t) ? probability[t] : 1.0) : 0.0;
            if (settings.Omega) {
                for (int a = static_cast<int>(i); a >= 0; a = parent[static_cast<size_t>(a)]) {
                    const auto& av = g.Markings[static_cast<size_t>(a)];
                    bool covered = true;
                    for (int k = 0; k < n; ++k)
                        covered = covered && av[static_cast<size_t>(k)] <= next[static_cast<size_t>(k)];
                    if (covered) {
                        for (int k = 0; k < n; ++k)
                            if (next[static_cast<size_t>(k)] > av[static_cast<size_t>(k)])
                                next[static_cast<size_t>(k)] = 99999;
                        break;
                    }
                }
            }
            auto found = known.find(next);
            int target;
            if (found == known.end()) {
                target = static_cast<int>(g.Markings.size());
                known[next] = target;
                g.Markings.push_back(next);
                g.Edges.emplace_back();
                parent.push_back(static_cast<int>(i));
            } else {
                target = found->second;
            }
            g.Edges[i].push_back({target, net.Trans[static_cast<size_t>(t)].Name, weight});
        }
    }
    return g;
}

bool FindCrcCollision(int count, std::vector<double>& first, std::vector<double>& second)
{
    // A birthday search over random markings.
    QHash<quint32, std::vector<double>> byCrc;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> value(0, 99);
    for (int i = 0; i < 3000000; ++i) {
        std::vector<double> v(static_cast<size_t>(count), 0.0);
        QByteArray text = "0";
        for (int k = 1; k < count; ++k) {
            v[static_cast<size_t>(k)] = value(rng);
            text += ',' + QByteArray::number(v[static_cast<size_t>(k)]);
        }
        const quint32 crc = Crc32(text);
        auto it = byCrc.constFind(crc);
        if (it != byCrc.constEnd() && it.value() != v) {
            first = it.value();
            second = v;
            return true;
        }
        byCrc.insert(crc, v);
    }
    return false;
}
