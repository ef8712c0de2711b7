#include "performance/sparse_generator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/progress.h"
#include "performance/chain_graph.h"
#include "performance/large_arrays.h"
#include "performance/parallel_rows.h"

namespace {

struct TPair
{
    qint32 Target;
    quint8 Index; // of the rate in the generator's Rates, when its indexes are made at once
    double Rate;
};

// Adds up a marking's entries with the same target, in their order, and
// returns the number of distinct targets. Entries to distinct targets (most
// rows) stay as they are: each goes to a column of its own, so their order
// does not matter. Otherwise they are sorted by target (few entries:
// insertion sort) first.
int mergeRow(TPair* p, int count)
{
    if (count <= 32) {
        bool repeated = false;
        for (int a = 1; a < count; ++a)
            for (int b = 0; b < a; ++b)
                repeated |= p[a].Target == p[b].Target;
        if (!repeated)
            return count;
    }
    for (int a = 1; a < count; ++a) {
        const TPair v = p[a];
        int b = a - 1;
        while (b >= 0 && p[b].Target > v.Target) {
            p[b + 1] = p[b];
            --b;
        }
        p[b + 1] = v;
    }
    int out = 0;
    for (int a = 0; a < count; ++a) {
        if (out > 0 && p[out - 1].Target == p[a].Target)
            p[out - 1].Rate += p[a].Rate;
        else
            p[out++] = p[a];
    }
    return out;
}

constexpr qint64 kPiece = 32768;

} // namespace

double TSparseGenerator::Element(int i, int j) const
{
    if (i < 0 || j < 0 || i >= Size || j >= Size)
        return 0;
    if (i == j)
        return Diagonal[static_cast<std::size_t>(i)];
    const auto b = RowIndex.begin() + ColumnStart[static_cast<std::size_t>(j)];
    const auto e = RowIndex.begin() + ColumnStart[static_cast<std::size_t>(j) + 1];
    const auto it = std::lower_bound(b, e, i);
    return it != e && *it == i ? ValueAt(it - RowIndex.begin()) : 0.0;
}

void TSparseGenerator::Clear()
{
    Size = 0;
    FreeVector(ColumnStart);
    FreeVector(RowIndex);
    FreeVector(Value);
    FreeVector(Diagonal);
    FreeVector(SelfRate);
    FreeVector(Rates);
    FreeVector(RateIndex);
}

std::size_t TSparseGenerator::MemoryBytes() const
{
    return ColumnStart.capacity() * 4 + RowIndex.capacity() * 4 + Value.capacity() * 8 +
           Diagonal.capacity() * 8 + SelfRate.capacity() * 8 + Rates.capacity() * 8 + RateIndex.capacity();
}

void TSparseGenerator::IndexRates()
{
    FreeVector(Rates);
    FreeVector(RateIndex);
    // The distinct values by their bits, in a small open-addressing table.
    constexpr std::size_t kSlots = 1024;
    std::vector<quint64> bits(kSlots);
    std::vector<qint16> slot(kSlots, -1);
    TLargeVector<quint8> index;
    AssignLarge(index, Value.size(), quint8(0));
    quint64 lastBits = 0;
    quint8 last = 0;
    bool any = false;
    for (std::size_t k = 0; k < Value.size(); ++k) {
        quint64 b;
        std::memcpy(&b, &Value[k], sizeof b);
        if (!any || b != lastBits) {
            std::size_t s = static_cast<std::size_t>((b * 0x9E3779B97F4A7C15ull) >> 54) & (kSlots - 1);
            while (slot[s] >= 0 && bits[s] != b)
                s = (s + 1) & (kSlots - 1);
            if (slot[s] < 0) {
                if (Rates.size() == 256) {
                    FreeVector(Rates);
                    return;
                }
                bits[s] = b;
                slot[s] = static_cast<qint16>(Rates.size());
                Rates.push_back(Value[k]);
            }
            lastBits = b;
            last = static_cast<quint8>(slot[s]);
            any = true;
        }
        index[k] = last;
    }
    RateIndex.swap(index);
}

QString BuildSparseGenerator(const TChainGraph& graph, const TLabelRates& rates, TSparseGenerator& g,
                             IQRVProgress* progress, bool& stopped)
{
    stopped = false;
    g.Clear();
    const int n = graph.MarkingCount;
    g.Size = n;
    bool dynamic = false;
    for (char d : rates.Dynamic)
        dynamic = dynamic || d;
    // Rates that read the marking are found on this thread, marking by marking.
    const int parts = dynamic ? 1 : WorkerCount(graph.EntryCount());
    int widest = 0;
    for (int k = 0; k < n; ++k)
        widest = std::max<int>(widest, static_cast<int>(graph.EndEntry(k) - graph.FirstEntry(k)));

    // Pass 1: the number of entries into each marking, per part. Entries
    // to the same marking are added up only in pass 2, which may leave
    // room unused (closed up at the end).
    std::vector<std::vector<qint32>> counts(static_cast<std::size_t>(parts));
    std::vector<std::vector<TPair>> scratch(static_cast<std::size_t>(parts),
                                            std::vector<TPair>(static_cast<std::size_t>(widest)));
    for (auto& c : counts)
        AssignLarge(c, static_cast<std::size_t>(n), 0);
    bool selfLoops = false;
    std::vector<char> partSelf(static_cast<std::size_t>(parts), 0);
    const bool counted = RunParallelRows(
        n, parts, kPiece,
        [&](qint64 begin, qint64 end, int part) {
            std::vector<qint32>& c = counts[static_cast<std::size_t>(part)];
            const qint32* target = graph.EntryTarget.data();
            for (qint64 k = begin; k < end; ++k) {
                for (qint64 e = graph.FirstEntry(static_cast<int>(k));
                     e < graph.EndEntry(static_cast<int>(k)); ++e) {
                    if (target[e] == k)
                        partSelf[static_cast<std::size_t>(part)] = 1;
                    else
                        ++c[static_cast<std::size_t>(target[e])];
                }
            }
        },
        progress);
    if (!counted) {
        stopped = true;
        g.Clear();
        return QString();
    }
    for (char s : partSelf)
        selfLoops = selfLoops || s;
    qint64 total = 0;
    AssignLarge(g.ColumnStart, static_cast<std::size_t>(n) + 1, 0);
    for (int j = 0; j < n; ++j) {
        g.ColumnStart[static_cast<std::size_t>(j)] = static_cast<qint32>(total);
        for (auto& c : counts) {
            const qint32 here = c[static_cast<std::size_t>(j)];
            c[static_cast<std::size_t>(j)] = static_cast<qint32>(total); // now the part's cursor
            total += here;
        }
        if (total > 2147483647) {
            g.Clear();
            return QStringLiteral("The chain has more than 2,147,483,647 transitions between markings, more "
                                  "than the analysis can hold.");
        }
    }
    g.ColumnStart[static_cast<std::size_t>(n)] = static_cast<qint32>(total);
    // When every entry's rate reads no marking and has no multiplier, the
    // rates of the labels are the elements' values (unless entries add up):
    // their indexes are made at once, without keeping the values.
    std::vector<quint8> labelIndex;
    if (!dynamic && graph.EntryMultiplier.empty()) {
        for (double rate : rates.Static) {
            std::size_t at = 0;
            while (at < g.Rates.size() && std::memcmp(&g.Rates[at], &rate, sizeof rate) != 0)
                ++at;
            if (at == g.Rates.size()) {
                if (at == 256)
                    break;
                g.Rates.push_back(rate);
            }
            labelIndex.push_back(static_cast<quint8>(at));
        }
        if (labelIndex.size() != rates.Static.size()) {
            labelIndex.clear();
            FreeVector(g.Rates);
        }
    }
    bool indexed = !labelIndex.empty();
    AssignLarge(g.RowIndex, static_cast<std::size_t>(total), 0);
    if (indexed)
        AssignLarge(g.RateIndex, static_cast<std::size_t>(total), quint8(0));
    else
        AssignLarge(g.Value, static_cast<std::size_t>(total), 0.0);
    AssignLarge(g.Diagonal, static_cast<std::size_t>(n), 0.0);
    if (selfLoops)
        AssignLarge(g.SelfRate, static_cast<std::size_t>(n), 0.0);

    // Pass 2: the rates, placed column by column; a part's rows are ascending
    // and come after those of the parts before it.
    const std::vector<std::vector<qint32>> room = counts; // where each part's room in a column begins
    std::vector<char> merged(static_cast<std::size_t>(parts), 0);
    QString failure;
    const auto fill = [&] {
        return RunParallelRows(
            n, parts, kPiece,
            [&](qint64 begin, qint64 end, int part) {
                if (!failure.isEmpty())
                    return;
                // In locals: the rate indexes' single bytes may alias anything.
                qint32* cursor = counts[static_cast<std::size_t>(part)].data();
                TPair* p = scratch[static_cast<std::size_t>(part)].data();
                qint32* rowIndex = g.RowIndex.data();
                quint8* rateIndex = g.RateIndex.data();
                double* value = g.Value.data();
                double* diagonal = g.Diagonal.data();
                double* selfRate = g.SelfRate.data();
                const bool byIndex = indexed;
                for (qint64 k = begin; k < end; ++k) {
                    const int i = static_cast<int>(k);
                    bool put = false;
                    int m = 0;
                    double outflow = 0;
                    for (qint64 e = graph.FirstEntry(i); e < graph.EndEntry(i); ++e) {
                        const auto label =
                            static_cast<std::size_t>(graph.EntryLabel[static_cast<std::size_t>(e)]);
                        double rate;
                        if (rates.Dynamic[label]) {
                            if (!put) {
                                rates.PutMarking(i);
                                put = true;
                            }
                            try {
                                rate = rates.Rate(static_cast<int>(label), i);
                            } catch (const std::exception& ex) {
                                failure = QString::fromUtf8(ex.what());
                                return;
                            }
                        } else {
                            rate = rates.Static[label];
                        }
                        rate *= graph.Multiplier(e);
                        outflow += rate;
                        p[m++] = {graph.EntryTarget[static_cast<std::size_t>(e)],
                                  byIndex ? labelIndex[label] : quint8(0), rate};
                    }
                    const int entries = m;
                    m = mergeRow(p, m);
                    if (m < entries)
                        merged[static_cast<std::size_t>(part)] = 1;
                    for (int a = 0; a < m; ++a) {
                        if (p[a].Target == i) {
                            selfRate[i] = p[a].Rate;
                            continue;
                        }
                        const qint32 at = cursor[p[a].Target]++;
                        rowIndex[at] = i;
                        if (byIndex)
                            rateIndex[at] = p[a].Index;
                        else
                            value[at] = p[a].Rate;
                    }
                    diagonal[i] = -outflow;
                }
            },
            progress);
    };
    bool filled = fill();
    if (filled && failure.isEmpty() && indexed &&
        std::find(merged.begin(), merged.end(), 1) != merged.end()) {
        // Entries added up to values that are no label's rate: placed again, with the values.
        indexed = false;
        FreeVector(g.RateIndex);
        FreeVector(g.Rates);
        AssignLarge(g.Value, static_cast<std::size_t>(total), 0.0);
        counts = room;
        filled = fill();
    }
    if (!failure.isEmpty()) {
        g.Clear();
        return failure;
    }
    if (!filled) {
        stopped = true;
        g.Clear();
        return QString();
    }
    // Entries added up left room unused: close it up.
    bool anyMerged = false;
    for (char m : merged)
        anyMerged = anyMerged || m;
    if (anyMerged) {
        qint32 at = 0;
        for (int j = 0; j < n; ++j) {
            g.ColumnStart[static_cast<std::size_t>(j)] = at;
            for (int part = 0; part < parts; ++part) {
                const qint32 from = room[static_cast<std::size_t>(part)][static_cast<std::size_t>(j)];
                const qint32 to = counts[static_cast<std::size_t>(part)][static_cast<std::size_t>(j)];
                for (qint32 k = from; k < to; ++k, ++at) {
                    g.RowIndex[static_cast<std::size_t>(at)] = g.RowIndex[static_cast<std::size_t>(k)];
                    g.Value[static_cast<std::size_t>(at)] = g.Value[static_cast<std::size_t>(k)];
                }
            }
        }
        g.ColumnStart[static_cast<std::size_t>(n)] = at;
        g.RowIndex.resize(static_cast<std::size_t>(at));
        g.Value.resize(static_cast<std::size_t>(at));
    }
    if (!indexed)
        g.IndexRates();
    return QString();
}
