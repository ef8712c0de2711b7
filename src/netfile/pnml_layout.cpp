#include "netfile/pnml_layout.h"

#include <algorithm>
#include <cmath>
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

        // Order each layer by the mean slot of its neighbours in the layer above.
        for (int sweep = 0; sweep < 2; ++sweep) {
            for (size_t l = 0; l < rows.size(); ++l) {
                std::vector<int>& row = rows[l];
                std::vector<double> key(row.size());
                for (size_t i = 0; i < row.size(); ++i) {
                    const int v = row[i];
                    double sum = 0;
                    int count = 0;
                    if (l > 0)
                        for (const auto* list :
                             {&g.In[static_cast<size_t>(v)], &g.Out[static_cast<size_t>(v)]})
                            for (int w : *list)
                                if (layer[static_cast<size_t>(w)] == static_cast<int>(l) - 1) {
                                    sum += slot[static_cast<size_t>(w)];
                                    ++count;
                                }
                    key[i] = count ? sum / count : static_cast<double>(i);
                }
                std::vector<size_t> index(row.size());
                for (size_t i = 0; i < index.size(); ++i)
                    index[i] = i;
                std::stable_sort(index.begin(), index.end(),
                                 [&](size_t a, size_t b) { return key[a] < key[b]; });
                std::vector<int> sorted;
                sorted.reserve(row.size());
                for (size_t i : index)
                    sorted.push_back(row[i]);
                row = sorted;
                for (size_t i = 0; i < row.size(); ++i)
                    slot[static_cast<size_t>(row[i])] = static_cast<double>(i);
            }
        }

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
