#include "reach/conflicts.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

bool lessName(const QString& a, const QString& b)
{
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

int findRoot(std::vector<int>& parent, int i)
{
    while (parent[static_cast<std::size_t>(i)] != i) {
        int& p = parent[static_cast<std::size_t>(i)];
        p = parent[static_cast<std::size_t>(p)];
        i = p;
    }
    return i;
}

} // namespace

QList<TConflict> BuildConflicts(const QList<TConflictInput>& transitions)
{
    // Transitions that share an input place fall into one set, and sets that
    // share a transition's places merge: the sets are the connected groups of
    // transitions linked by common input places.
    const int n = static_cast<int>(transitions.size());
    std::vector<int> parent(static_cast<std::size_t>(n));
    std::iota(parent.begin(), parent.end(), 0);
    std::unordered_map<QString, int> firstUser;
    for (int t = 0; t < n; ++t) {
        for (const QString& p : transitions[t].NormalInputPlaces) {
            const auto [it, first] = firstUser.emplace(p, t);
            if (first)
                continue;
            const int a = findRoot(parent, it->second);
            const int b = findRoot(parent, t);
            if (a != b)
                parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
        }
    }

    QList<TConflict> result;
    std::vector<int> slot(static_cast<std::size_t>(n), -1);
    QList<QList<int>> members;
    for (int t = 0; t < n; ++t) {
        const int r = findRoot(parent, t);
        if (slot[static_cast<std::size_t>(r)] < 0) {
            slot[static_cast<std::size_t>(r)] = static_cast<int>(members.size());
            members.append(QList<int>());
        }
        members[slot[static_cast<std::size_t>(r)]].append(t);
    }
    for (QList<int>& group : members) {
        std::sort(group.begin(), group.end(),
                  [&](int a, int b) { return lessName(transitions[a].Name, transitions[b].Name); });
        TConflict c;
        std::unordered_set<QString> places;
        for (int t : group) {
            // Sorted, names equal but for case are neighbours.
            if (!c.Names.isEmpty() &&
                QString::compare(c.Names.last(), transitions[t].Name, Qt::CaseInsensitive) == 0)
                continue;
            c.Names.append(transitions[t].Name);
            c.Transitions.append(transitions[t].Transition);
            for (const QString& p : transitions[t].NormalInputPlaces)
                if (places.insert(p).second)
                    c.Places.append(p);
        }
        if (c.Names.size() < 2)
            continue;
        std::sort(c.Places.begin(), c.Places.end(), lessName);
        result.append(c);
    }
    return result;
}
