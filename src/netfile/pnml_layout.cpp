#include "netfile/pnml_layout.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The widest a band of components grows before the next band starts below it.
constexpr double kBandWidth = 1600;

struct TGraph
{
    std::vector<std::vector<int>> Out;
    std::vector<std::vector<int>> In;
};

// The layer of every node of one component, starting at 0.
std::vector<int> layersOf(const TGraph& g, const std::vector<int>& members, const TLayeredLayoutInput& input,
                          std::vector<int>& order)
{
    const int n = input.Count;
    std::vector<int> layer(static_cast<size_t>(n), 0);
    std::vector<char> seen(static_cast<size_t>(n), 0);
    std::vector<int> queue;
    auto visit = [&](int v, int l) {
        seen[static_cast<size_t>(v)] = 1;
        layer[static_cast<size_t>(v)] = l;
        queue.push_back(v);
        order.push_back(v);
    };
    auto run = [&](size_t from) {
        for (size_t head = from; head < queue.size(); ++head) {
            const int u = queue[head];
            for (int v : g.Out[static_cast<size_t>(u)])
                if (!seen[static_cast<size_t>(v)])
                    visit(v, layer[static_cast<size_t>(u)] + 1);
        }
    };

    for (int v : members)
        if (g.In[static_cast<size_t>(v)].empty())
            visit(v, 0);
    if (queue.empty())
        for (int v : members)
            if (input.PreferredRoots.value(v))
                visit(v, 0);
    if (queue.empty())
        visit(members.front(), 0);
    run(0);

    // Nodes that only lead into what is placed: one row above their highest successor.
    for (bool progress = true; progress;) {
        progress = false;
        for (int v : members) {
            if (seen[static_cast<size_t>(v)])
                continue;
            int best = 0;
            bool found = false;
            for (int w : g.Out[static_cast<size_t>(v)])
                if (seen[static_cast<size_t>(w)]) {
                    best =
                        found ? std::min(best, layer[static_cast<size_t>(w)]) : layer[static_cast<size_t>(w)];
                    found = true;
                }
            if (!found)
                continue;
            const size_t from = queue.size();
            visit(v, best - 1);
            run(from);
            progress = true;
        }
    }
    int least = 0;
    for (int v : members)
        least = std::min(least, layer[static_cast<size_t>(v)]);
    for (int v : members)
        layer[static_cast<size_t>(v)] -= least;
    return layer;
}

// The slot of every node in its row.
void numberSlots(const std::vector<std::vector<int>>& rows, std::vector<double>& slot)
{
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i)
            slot[static_cast<size_t>(row[i])] = static_cast<double>(i);
}

// Sorts a row by the mean slot of each node's neighbours in row `reference`;
// a node without such neighbours keeps its place.
void sortRow(const TGraph& g, const std::vector<int>& layer, std::vector<int>& row, int reference,
             const std::vector<double>& slot)
{
    std::vector<std::pair<double, int>> keyed;
    keyed.reserve(row.size());
    for (size_t i = 0; i < row.size(); ++i) {
        const int v = row[i];
        double sum = 0;
        int count = 0;
        for (const auto* list : {&g.In[static_cast<size_t>(v)], &g.Out[static_cast<size_t>(v)]})
            for (int w : *list)
                if (layer[static_cast<size_t>(w)] == reference) {
                    sum += slot[static_cast<size_t>(w)];
                    ++count;
                }
        keyed.emplace_back(count ? sum / count : static_cast<double>(i), v);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = keyed[i].second;
}

// The number of crossings between arcs that join neighbouring rows.
long long crossingsOf(const TGraph& g, const std::vector<int>& layer,
                      const std::vector<std::vector<int>>& rows, const std::vector<double>& slot)
{
    long long total = 0;
    std::vector<std::pair<int, int>> ends;
    std::vector<int> tree; // counts of lower ends seen so far (a Fenwick tree)
    for (size_t l = 0; l + 1 < rows.size(); ++l) {
        ends.clear();
        for (int v : rows[l])
            for (const auto* list : {&g.In[static_cast<size_t>(v)], &g.Out[static_cast<size_t>(v)]})
                for (int w : *list)
                    if (layer[static_cast<size_t>(w)] == static_cast<int>(l) + 1)
                        ends.emplace_back(static_cast<int>(slot[static_cast<size_t>(v)]),
                                          static_cast<int>(slot[static_cast<size_t>(w)]));
        std::sort(ends.begin(), ends.end());
        const size_t size = rows[l + 1].size() + 1;
        tree.assign(size, 0);
        long long seen = 0;
        for (const auto& [upper, lower] : ends) {
            // Arcs seen before with a lower end right of this one cross it.
            long long atOrLeft = 0;
            for (size_t i = static_cast<size_t>(lower) + 1; i > 0; i -= i & (~i + 1))
                atOrLeft += tree[i];
            total += seen - atOrLeft;
            for (size_t i = static_cast<size_t>(lower) + 1; i < size; i += i & (~i + 1))
                ++tree[i];
            ++seen;
        }
    }
    return total;
}

// Orders the rows to cross few arcs: sweeps down and up, each row sorted by
// the mean position of its neighbours in the row just passed, keeping the
// best order seen.
void orderRows(const TGraph& g, const std::vector<int>& layer, std::vector<std::vector<int>>& rows,
               std::vector<double>& slot)
{
    numberSlots(rows, slot);
    std::vector<std::vector<int>> best = rows;
    long long fewest = crossingsOf(g, layer, rows, slot);
    const int rowCount = static_cast<int>(rows.size());
    for (int sweep = 0; sweep < 12 && fewest > 0; ++sweep) {
        const bool down = sweep % 2 == 0;
        for (int k = 1; k < rowCount; ++k) {
            const int l = down ? k : rowCount - 1 - k;
            sortRow(g, layer, rows[static_cast<size_t>(l)], down ? l - 1 : l + 1, slot);
            for (size_t i = 0; i < rows[static_cast<size_t>(l)].size(); ++i)
                slot[static_cast<size_t>(rows[static_cast<size_t>(l)][i])] = static_cast<double>(i);
        }
        const long long crossings = crossingsOf(g, layer, rows, slot);
        if (crossings < fewest) {
            fewest = crossings;
            best = rows;
        }
    }
    rows = best;
    numberSlots(rows, slot);
}

} // namespace

QList<QPointF> LayeredLayout(const TLayeredLayoutInput& input)
{
    const int n = input.Count;
    QList<QPointF> centres(n);
    if (n <= 0)
        return centres;
    TGraph g;
    g.Out.resize(static_cast<size_t>(n));
    g.In.resize(static_cast<size_t>(n));
    for (const auto& e : input.Edges) {
        if (e.first < 0 || e.first >= n || e.second < 0 || e.second >= n || e.first == e.second)
            continue;
        g.Out[static_cast<size_t>(e.first)].push_back(e.second);
        g.In[static_cast<size_t>(e.second)].push_back(e.first);
    }

    // Weakly connected components, in the order of their first node.
    std::vector<int> component(static_cast<size_t>(n), -1);
    std::vector<std::vector<int>> components;
    for (int s = 0; s < n; ++s) {
        if (component[static_cast<size_t>(s)] >= 0)
            continue;
        const int c = static_cast<int>(components.size());
        components.emplace_back();
        std::vector<int> stack{s};
        component[static_cast<size_t>(s)] = c;
        while (!stack.empty()) {
            const int u = stack.back();
            stack.pop_back();
            components.back().push_back(u);
            for (const auto* list : {&g.Out[static_cast<size_t>(u)], &g.In[static_cast<size_t>(u)]})
                for (int v : *list)
                    if (component[static_cast<size_t>(v)] < 0) {
                        component[static_cast<size_t>(v)] = c;
                        stack.push_back(v);
                    }
        }
        std::sort(components.back().begin(), components.back().end());
    }

    const int perRow = std::max(1, input.MaxPerRow);
    double bandLeft = 0, bandTop = 0, bandHeight = 0;
    std::vector<double> slot(static_cast<size_t>(n), 0); // position within its layer
    for (const std::vector<int>& members : components) {
        std::vector<int> order;
        const std::vector<int> layer = layersOf(g, members, input, order);
        int layers = 0;
        for (int v : members)
            layers = std::max(layers, layer[static_cast<size_t>(v)] + 1);
        std::vector<std::vector<int>> rows(static_cast<size_t>(layers));
        for (int v : order)
            rows[static_cast<size_t>(layer[static_cast<size_t>(v)])].push_back(v);

        orderRows(g, layer, rows, slot);

        // Rows of at most perRow nodes, centred on the widest.
        int width = 1;
        for (const auto& row : rows)
            width = std::max(width, std::min(perRow, static_cast<int>(row.size())));
        const double componentWidth = width * input.ColumnPitch;
        if (bandLeft > 0 && bandLeft + componentWidth > kBandWidth) {
            bandLeft = 0;
            bandTop += bandHeight;
            bandHeight = 0;
        }
        int line = 0;
        for (const auto& row : rows) {
            const int count = static_cast<int>(row.size());
            for (int start = 0; start < count; start += perRow, ++line) {
                const int inLine = std::min(perRow, count - start);
                const int indent = (width - inLine) / 2;
                for (int i = 0; i < inLine; ++i) {
                    const int v = row[static_cast<size_t>(start + i)];
                    centres[v] = QPointF(bandLeft + (indent + i + 1) * input.ColumnPitch,
                                         bandTop + (line + 1) * input.RowPitch);
                }
            }
        }
        bandLeft += componentWidth;
        bandHeight = std::max(bandHeight, line * input.RowPitch);
    }
    return centres;
}
