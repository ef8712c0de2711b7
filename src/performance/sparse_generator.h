// The generator matrix of the chain whose states are the markings of a
// graph. Only the non-zero elements are kept, column by column: for each
// marking j the markings i with a rate from i to j (ascending i) and that
// rate, summed over every entry from i to j. The diagonal is kept apart.
#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "reach/large_memory.h"

class IQRVProgress;
struct TChainGraph;

struct TSparseGenerator
{
    int Size = 0;
    TLargeVector<qint32> ColumnStart; // Size + 1
    TLargeVector<qint32> RowIndex;
    TLargeVector<double> Value;
    // G[i][i]: minus the rate of every entry of marking i, including entries
    // that lead back to marking i itself.
    TLargeVector<double> Diagonal;
    // Per marking, the rate of its entries back to itself; empty when no
    // marking has such an entry. Such a firing leaves the state as it is, so
    // the balance of the chain leaves it out (BalanceDiagonal).
    TLargeVector<double> SelfRate;
    // When the elements take at most 256 distinct values (rates that read no
    // marking take few), each element's value is also kept as its index in
    // `Rates`: an iteration then streams 5 bytes per element instead of 12.
    // Both empty otherwise. When every element is the rate of one entry that
    // reads no marking, the indexes are made at once and `Value` stays empty.
    std::vector<double> Rates;
    TLargeVector<quint8> RateIndex;

    qint64 NonZeros() const { return static_cast<qint64>(RowIndex.size()); }
    // The value of element k, however it is kept.
    double ValueAt(qint64 k) const
    {
        const auto at = static_cast<std::size_t>(k);
        return Value.empty() ? Rates[RateIndex[at]] : Value[at];
    }
    // G[i][j] (0 outside the matrix).
    double Element(int i, int j) const;
    // The diagonal of the chain's balance: minus the rate leaving marking i.
    double BalanceDiagonal(int i) const
    {
        const auto k = static_cast<std::size_t>(i);
        return SelfRate.empty() ? Diagonal[k] : Diagonal[k] + SelfRate[k];
    }
    void Clear();
    std::size_t MemoryBytes() const;
    // Fills Rates and RateIndex when the values are few (see above).
    void IndexRates();
};

// Where the rates of the entries come from. Labels whose rate reads no
// marking have it in `Static`; for the others `Rate(label, mark)` is asked
// after `PutMarking(mark)` (both called on the calling thread only).
struct TLabelRates
{
    std::vector<double> Static; // per label
    std::vector<char> Dynamic;  // per label: the rate depends on the marking
    std::function<void(int mark)> PutMarking;
    std::function<double(int label, int mark)> Rate; // may throw; the message reaches the caller
};

// Builds the generator of `graph`. Empty on success; otherwise the message
// (an empty message with `stopped` set when progress asked to stop).
QString BuildSparseGenerator(const TChainGraph& graph, const TLabelRates& rates, TSparseGenerator& g,
                             IQRVProgress* progress, bool& stopped);
