// The reachability graph as the performance analyses read it: the tangible
// markings, their token counts and their successor entries, packed.
//
// A graph file line "M3 = [1,0] [t1>M4;t2,t5>M0;\\1;0.25;" becomes the token
// counts 1 and 0, and two entries: label "t1" to marking 4 with multiplier 1,
// and label "t2,t5" (a path through unsteady markings) to marking 0 with
// multiplier 0.25. Labels are kept once; entries refer to them by number.
// Memory grows with the markings and entries, never with the file's text.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "performance/token_table.h"
#include "reach/large_memory.h"

class IQRVProgress;
class TMarkList;

struct TChainGraph
{
    QStringList PlaceNames;
    int MarkingCount = 0;            // markings read (the "Totally" line only announces them)
    TTokenTable Tokens;              // MarkingCount × PlaceCount, marking by marking
    TLargeVector<qint64> EntryStart; // MarkingCount + 1
    TLargeVector<qint32> EntryTarget;
    TLargeVector<qint32> EntryLabel;
    // One per entry, or empty when every multiplier is 1 (a full graph).
    TLargeVector<double> EntryMultiplier;
    QStringList Labels;

    int PlaceCount() const { return static_cast<int>(PlaceNames.size()); }
    qint64 EntryCount() const { return static_cast<qint64>(EntryTarget.size()); }
    // The count of place p in marking k.
    qint32 Token(int k, int p) const
    {
        return Tokens.At(static_cast<std::size_t>(k) * static_cast<std::size_t>(PlaceCount()) +
                         static_cast<std::size_t>(p));
    }
    qint64 FirstEntry(int k) const { return EntryStart[static_cast<std::size_t>(k)]; }
    qint64 EndEntry(int k) const { return EntryStart[static_cast<std::size_t>(k) + 1]; }
    double Multiplier(qint64 e) const
    {
        return EntryMultiplier.empty() ? 1.0 : EntryMultiplier[static_cast<std::size_t>(e)];
    }
    // The successor list as the graph file writes it ("t1>M4;t2,t5>M0;").
    QString LinksText(int k) const;
    // The multiplier list ("1;0.25;"), empty for a full graph.
    QString RatesText(int k) const;
    void Clear();
    std::size_t MemoryBytes() const;
};

enum TGraphReadResult {
    grOk,
    grLimitExceeded, // the file says the markings' limit was reached
    grDeadMarking,   // a marking without successor
    grError          // the file cannot be used; Message says why
};

struct TGraphReadStatus
{
    TGraphReadResult Result = grOk;
    QString Message;
};

// Reads a graph file. Lines beginning with ";" are comments; "Totally",
// "Positions", marking lines, the "!!!" warning and dead markings are read as
// the reachability window writes them. A dead marking ends the reading, unless
// `allowDead` (the transient analysis, where a marking without successor is an
// absorbing state); an exceeded limit is reported once the whole file was read.
// `progress` (may be null) sees the share read and can stop the reading
// (grError, empty message).
TGraphReadStatus ReadChainGraph(const QString& fileName, TChainGraph& graph, IQRVProgress* progress = nullptr,
                                bool allowDead = false);
// The same for a graph file's text in memory.
TGraphReadStatus ReadChainGraphText(const QByteArray& text, TChainGraph& graph, bool allowDead = false);

// The memory to have provided ahead while a graph is built for the chain
// copied from it, in times the store's large blocks: the chain's token
// counts and entries took about as much on the nets measured (0.83 and 0.97
// times on the Kanban nets of 4 and 5 cards).
constexpr double ChainPagesAhead = 1.0;

// The graph of a marking store, as its graph file would read back (the
// multipliers only when `reduced`). An error when a marking holds a value
// that is not a whole token count or a continuous place, a dead marking
// when one has no successor (unless `allowDead`).
TGraphReadStatus ChainGraphFromStore(const TMarkList& store, bool reduced, TChainGraph& graph,
                                     bool allowDead = false);

namespace GraphTexts {
inline const char* const DeadMarkings = "Petry Net contains dead markings. Calculation aborted!";
inline const char* const LimitExceeded = "Markings limit Exceeded. Calculation aborted!";
} // namespace GraphTexts
