// The marking store of one analysis run: every marking found, the arcs of
// the reachability graph between them, and the index that finds a marking
// by its values.
//
// Markings are packed: the store keeps the list of place names once, and
// per marking only its values (and the balances of continuous places when
// the net has any), its parent, its flags and the start of its arcs. Texts
// are produced when asked.
#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "reach/chunked_array.h"
#include "reach/marking.h"

// One arc of the reachability graph. `Label` is the index of the transition
// fired in the store's transition list, or a chain of labels made when
// unsteady markings were bypassed. `Weight` is the value that the arc's
// decimal text (15 significant digits) reads back as.
struct TArc
{
    qint32 Target;
    qint32 Label;
    double Weight;
};
static_assert(sizeof(TArc) == 16, "arcs are packed into 16 bytes");

// How graph lines are written: full (without weights) or reduced (with the
// weights after two backslashes), as after unsteady markings were removed.
enum TRagMode { rmFull, rmReduced };

class TMarkList;

// The index of the stored markings. Every stored marking is found: a key
// leads to all markings with that key, and Find compares the values.
class THash
{
public:
    void Clear();
    void Add(const TMarkList& store, int mark) { Add(store, mark, Key(store, mark)); }
    void Add(const TMarkList& store, int mark, quint64 key);
    // The stored marking with exactly these values, or -1.
    int Find(const TMarkList& store, const double* values) const;
    int Find(const TMarkList& store, const double* values, quint64 key) const;
    void Rebuild(const TMarkList& store);
    std::size_t MemoryBytes() const { return m_slots.capacity() * sizeof(quint64); }
    // Asks the processor to fetch what a lookup of this key reads first.
    void Prefetch(quint64 key) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[Home(key, m_slots.size() - 1)]);
    }

    // The key of a marking's values (equal values give equal keys; 0 and -0 are equal).
    static quint64 Key(const double* values, int count);
    static quint64 Key(const TMarkList& store, int mark);
    // The key together with the values' sum weighted by `weights` (all 1
    // when none), which the unbounded-net control reads: one pass gives
    // both. `exact` tells that every value is a whole number from 0 on and
    // the sum is below 2^52, so that it was computed without rounding (for
    // whole weights). `wholeValues`: the caller knows every value to be a
    // whole number from 0 on.
    static quint64 KeyAndSum(const double* values, int count, const double* weights, double& sum, bool& exact,
                             bool wholeValues = false);

    // The slot where a key's search starts: from the high half of the key,
    // which the slots keep, so that growing the table needs no values.
    static std::size_t Home(quint64 key, std::size_t mask)
    {
        return static_cast<std::size_t>(((key >> 32) * 0x9E3779B97F4A7C15ull) >> 24) & mask;
    }

private:
    void insert(quint64 key, int mark);
    void grow(const TMarkList& store);

    // Per slot: the marking index + 1 in the low half (0 = empty), the high
    // half of the key in the high half, so that most other markings are
    // passed over without reading their values.
    std::vector<quint64> m_slots;
    std::size_t m_count = 0;
};

// Whole token counts packed into bit fields: each place has a field of 1 to
// 32 bits within one 64-bit word of the marking's code (fields never
// straddle two words). Equal markings have equal codes.
class TPackLayout
{
public:
    static constexpr int MaxBits = 32;
    // Fields of these widths (1 to MaxBits), in place order, each in the
    // first word where it fits after the previous one.
    void Assign(const std::vector<int>& bits);
    int Words() const { return m_words; }
    int Places() const { return static_cast<int>(m_fields.size()); }
    int Bits(int place) const { return m_bits[static_cast<std::size_t>(place)]; }
    const std::vector<int>& AllBits() const { return m_bits; }
    // The largest count the place's field holds.
    quint64 Max(int place) const { return m_fields[static_cast<std::size_t>(place)].Mask; }
    int Word(int place) const { return m_fields[static_cast<std::size_t>(place)].Word; }
    int Shift(int place) const { return m_fields[static_cast<std::size_t>(place)].Shift; }
    quint64 Get(const quint64* code, int place) const
    {
        const TField& f = m_fields[static_cast<std::size_t>(place)];
        return (code[f.Word] >> f.Shift) & f.Mask;
    }
    // Values must lie within their fields.
    void Encode(const qint64* values, quint64* code) const;
    void Decode(const quint64* code, qint64* values) const;
    // The number of bits that holds `value` (at least 1).
    static int BitsFor(quint64 value) { return value == 0 ? 1 : 64 - __builtin_clzll(value); }

private:
    struct TField
    {
        quint64 Mask;
        qint32 Word;
        qint32 Shift;
    };
    std::vector<TField> m_fields;
    std::vector<int> m_bits;
    int m_words = 0;
};

// The index of a packed store: a slot holds a marking's first code word and
// part of its key, so that most lookups read one slot and nothing else.
class TCodeIndex
{
public:
    void Clear();
    void Add(const TMarkList& store, int mark, quint64 key);
    // The stored marking with this code, or -1.
    int Find(const TMarkList& store, const quint64* code, quint64 key) const;
    void Rebuild(const TMarkList& store);
    void Prefetch(quint64 key) const
    {
        if (m_size != 0)
            __builtin_prefetch(&m_slots[THash::Home(key, m_size - 1)]);
    }
    std::size_t MemoryBytes() const { return m_size * sizeof(TSlot); }
    static quint64 Key(const quint64* code, int words);

private:
    struct TSlot
    {
        quint64 First; // the first code word
        quint32 Tag;   // the high half of the key
        quint32 Mark;  // the marking's index + 1; 0 = empty
    };
    void insert(const TSlot& slot);

    TBlock<TSlot> m_slots; // m_size slots, a power of 2
    std::size_t m_size = 0;
    std::size_t m_count = 0;
};

class TMarkList
{
public:
    TMarkList() = default;
    TMarkList(const TMarkList&) = delete;
    TMarkList& operator=(const TMarkList&) = delete;

    // ---- entries: the places of every marking, in place order -------------
    // Sets the entries; only before the first marking is added.
    void SetPlaces(const QStringList& names, const std::vector<bool>& continuous);
    int PlaceCount() const { return static_cast<int>(m_placeNames.size()); }
    const QStringList& PlaceNames() const { return m_placeNames; }
    QString PlaceName(int i) const { return m_placeNames.value(i); }
    bool IsContinuousPlace(int i) const { return i >= 0 && i < PlaceCount() && m_balanceSlot[i] >= 0; }
    int ContinuousCount() const { return m_balances.width(); }

    // ---- transitions and arc labels ------------------------------------------
    void SetTransitions(const QStringList& names);
    int TransitionCount() const { return static_cast<int>(m_transitionNames.size()); }
    QString TransitionName(int t) const { return m_transitionNames.value(t); }
    const QStringList& TransitionNames() const { return m_transitionNames; }
    // Firing counters of the build, per transition.
    std::vector<qint64> FireCounts;
    // The label that reads as the text of `first` + "," + the text of `second`.
    int ChainLabel(int first, int second);
    QString LabelText(int label) const;
    void AppendLabel(std::string& out, int label) const;
    // The transition of a label: itself, or for a chain its first transition.
    int LabelTransition(int label) const;

    // ---- run data --------------------------------------------------------------
    // The markings' limit of the build (none for a store made otherwise),
    // and how many markings the build has expanded.
    qint64 Limit = std::numeric_limits<qint64>::max();
    int Expanded = 0;

    // ---- markings ----------------------------------------------------------------
    int Count() const { return static_cast<int>(m_parent.size()); }
    // Marking m on its own (an empty marking outside the store).
    TMark Mark(int m) const;
    // The values of marking m, one per entry. A packed store is unpacked by
    // the first call (see Packed).
    const double* Values(int m) const
    {
        if (m_packed)
            const_cast<TMarkList*>(this)->Unpack();
        return m_values.row(static_cast<std::size_t>(m));
    }
    // Copies the values of marking m into `out` (one per entry), packed or not.
    void CopyValues(int m, double* out) const;
    // 0 outside the store or the entries.
    double Value(int m, int i) const;
    // The balance of entry i (0 for a discrete place).
    double Balance(int m, int i) const;
    const double* Balances(int m) const { return m_balances.row(static_cast<std::size_t>(m)); }

    // The rows that the next marking is read into; AddNew stores them.
    double* NewValues()
    {
        Unpack();
        return m_values.spare();
    }
    double* NewBalances()
    {
        Unpack();
        return m_balances.spare();
    }
    int AddNew(int parent);
    // The same with the key of the values known.
    int AddNew(int parent, quint64 key);
    // Stores a copy of the values (balances: one per continuous place, or none).
    int Add(const double* values, const double* balances = nullptr, int parent = -1);
    // The stored marking with exactly these values, or -1.
    int Find(const double* values) const;

    // ---- packed markings --------------------------------------------------------------
    // A store of whole token counts (no continuous places) can keep each
    // marking as a packed code of a few words instead of one double per
    // entry; the reachability build does so. Values, NewValues and Add turn a
    // packed store back into doubles; everything else reads either form.
    bool Packed() const { return m_packed; }
    const TPackLayout& Layout() const { return m_layout; }
    // Packs the store with fields of these widths; only before the first marking.
    void SetPacked(const std::vector<int>& bits);
    // Widens fields (no field may become narrower) and packs every marking anew.
    void Repack(const std::vector<int>& bits);
    // Stores every marking as doubles from now on.
    void Unpack();
    const quint64* Code(int m) const { return m_codes.row(static_cast<std::size_t>(m)); }
    // The row that the next marking's code is written into; AddNewCode stores it.
    quint64* NewCode() { return m_codes.spare(); }
    int AddNewCode(int parent, quint64 key);
    int FindCode(const quint64* code, quint64 key) const { return m_codeIndex.Find(*this, code, key); }
    void PrefetchCode(quint64 key) const { m_codeIndex.Prefetch(key); }
    // The largest value of any entry of any marking (0 for an empty store).
    double MaxValue() const;

    // The marking from which this one was first reached (-1 for the first one).
    int Parent(int m) const { return m_parent[static_cast<std::size_t>(m)]; }
    bool Tangible(int m) const { return (m_flags[static_cast<std::size_t>(m)] & fTangible) != 0; }
    void SetTangible(int m, bool on) { setFlag(m, fTangible, on); }
    bool HomeState(int m) const { return (m_flags[static_cast<std::size_t>(m)] & fHomeState) != 0; }
    void SetHomeState(int m, bool on) { setFlag(m, fHomeState, on); }
    // Continuous transitions enabled in a marking, recorded when balances are calculated.
    QString OpenContinuous(int m) const;
    void SetOpenContinuous(int m, const QString& text);

    // ---- arcs ----------------------------------------------------------------------
    // Appends an arc to the arcs of `source`. Arcs are added marking by
    // marking: `source` may not be smaller than that of the previous arc.
    void AddEdge(int source, int target, int label, double weight)
    {
        // Most arcs: one more of the same marking, in a graph whose weights are all 1.
        if (source == m_lastSource && weight == 1.0 && m_weights.empty())
            m_links.push_back(TLink{target, label});
        else
            addEdge(source, target, label, weight);
    }
    qint64 ArcCount() const { return static_cast<qint64>(m_links.size()); }
    int ArcCount(int m) const { return static_cast<int>(arcEnd(m) - arcBegin(m)); }
    TArc Arc(int m, int k) const { return ArcAt(arcBegin(m) + static_cast<std::size_t>(k)); }
    // The arcs of marking m as positions in the list of all arcs, for walks over the graph.
    std::size_t FirstArc(int m) const { return arcBegin(m); }
    std::size_t EndArc(int m) const { return arcEnd(m); }
    TArc ArcAt(std::size_t position) const
    {
        const TLink& link = m_links[position];
        return TArc{link.Target, link.Label, weightAt(position)};
    }
    int ArcTarget(std::size_t position) const { return m_links[position].Target; }
    QString EdgeName(int m, int k) const { return LabelText(Arc(m, k).Label); }
    // The value that the decimal text of a weight (15 significant digits)
    // reads back as: what arcs store.
    double StoredWeight(double weight);

    // ---- texts -----------------------------------------------------------------------
    QString GetValuesText(int m) const;
    QString GetPositionsText() const;
    QString GetLinksText(int m) const;
    QString GetRatesText(int m) const;
    QString GetLine(int m, TRagMode mode) const;
    void AppendValuesText(std::string& out, int m) const;
    void AppendLinksText(std::string& out, int m) const;
    void AppendRatesText(std::string& out, int m) const;
    void AppendLine(std::string& out, int m, TRagMode mode) const;
    // The graph file lines of markings first … end − 1, each ended by CR LF.
    void AppendLines(std::string& out, int first, int end, TRagMode mode) const;
    // The same lines written into `out` from position `at` on, growing it when
    // needed but never shrinking it, so that a buffer used again is not filled
    // anew; returns the position after the last line.
    std::size_t WriteLines(std::string& out, std::size_t at, int first, int end, TRagMode mode) const;

    // ---- lines read while the build goes on ---------------------------------------
    // Room in the store's lists for this many markings and arcs: until they
    // are exceeded, adding markings and arcs moves nothing stored before, so
    // another thread can write the lines of finished markings (Repack still
    // moves every code, and Unpack every value).
    void Reserve(std::size_t markings, std::size_t arcs);
    // Whether that many more markings and arcs still fit the room reserved.
    bool HasRoom(std::size_t markings, std::size_t arcs) const
    {
        return static_cast<std::size_t>(Count()) + markings <= m_reservedMarkings &&
               m_links.size() + arcs <= m_reservedArcs;
    }
    // The markings before this one have all their arcs: no arc is added to them.
    int FinishedMarkings() const { return std::max(m_lastSource, 0); }
    // WriteLines for finished markings (end at most a FinishedMarkings() told
    // before): reads only what adding markings and arcs within the reserved
    // room leaves alone, so the build may go on meanwhile.
    std::size_t WriteFinishedLines(std::string& out, std::size_t at, int first, int end, TRagMode mode) const;

    // ---- whole graph -------------------------------------------------------------------
    // Keeps the markings listed in `kept` (old indices, ascending), renumbered
    // in that order; `arcsOf` gives the new arcs of each kept marking (targets
    // in the old numbering, all of them kept).
    void ReplaceGraph(const std::vector<int>& kept,
                      const std::function<void(int mark, std::vector<TArc>& arcs)>& arcsOf);
    std::size_t MemoryBytes() const;
    // Drops every marking but the first and every arc, and frees their
    // memory (after a build that ran out of it).
    void KeepInitialOnly();

    THash Hash;

private:
    enum : quint8 { fTangible = 1, fHomeState = 2 };
    void setFlag(int m, quint8 flag, bool on)
    {
        quint8& f = m_flags[static_cast<std::size_t>(m)];
        f = on ? static_cast<quint8>(f | flag) : static_cast<quint8>(f & ~flag);
    }
    std::size_t arcBegin(int m) const
    {
        return m <= m_lastSource ? static_cast<std::size_t>(m_arcBegin[static_cast<std::size_t>(m)])
                                 : m_links.size();
    }
    std::size_t arcEnd(int m) const
    {
        return m < m_lastSource ? static_cast<std::size_t>(m_arcBegin[static_cast<std::size_t>(m) + 1])
                                : m_links.size();
    }
    // Arcs are kept as target and label, their weights apart, and only once
    // some arc weighs other than 1 (most graphs have no other weights).
    struct TLink
    {
        qint32 Target;
        qint32 Label;
    };
    using TLinks = TChunkedArray<TLink, 18>;
    using TWeights = TChunkedArray<double, 18>;
    static void appendArc(TLinks& links, TWeights& weights, const TArc& arc);
    void addEdge(int source, int target, int label, double weight);
    double weightAt(std::size_t position) const { return m_weights.empty() ? 1.0 : m_weights[position]; }

    QStringList m_placeNames;
    std::vector<int> m_balanceSlot; // per entry: index among the balances, or -1
    QStringList m_transitionNames;
    std::vector<std::string> m_transitionBytes;
    std::vector<std::pair<qint32, qint32>> m_chains;
    std::vector<qint32> m_chainBytes; // the length of each chain's text
    std::size_t m_maxLabelBytes = 0;
    std::size_t labelBytes(int label) const;
    // Writes the graph file line of marking m (without CR LF), whose arcs are
    // those from `begin` to `end`, at `p`, which has room for
    // lineBound(end - begin) bytes; returns the end.
    char* writeLine(char* p, int m, TRagMode mode, std::size_t begin, std::size_t end) const;
    std::size_t lineBound(std::size_t arcs, TRagMode mode) const;
    template <class Arcs>
    std::size_t writeLines(std::string& out, std::size_t at, int first, int end, TRagMode mode,
                           Arcs arcs) const;
    std::size_t m_reservedMarkings = 0;
    std::size_t m_reservedArcs = 0;
    std::unordered_map<quint64, qint32> m_chainIndex;

    TRowArena m_values;
    TRowArena m_balances;
    bool m_packed = false;
    TPackLayout m_layout;
    TRowArenaOf<quint64> m_codes;
    TCodeIndex m_codeIndex;
    TChunkedArray<qint32, 16> m_parent;
    TChunkedArray<quint8, 16> m_flags;
    TChunkedArray<qint64, 16> m_arcBegin;
    TLinks m_links;
    TWeights m_weights; // empty while every weight is 1
    int m_lastSource = -1;
    std::vector<qint32> m_openContinuous; // per marking, when recorded
    QStringList m_openTexts;
    std::unordered_map<QString, qint32> m_openIndex;

    struct TWeightCache
    {
        quint64 Bits = ~quint64(0);
        double Stored = 0;
    };
    TWeightCache m_weightCache[64];
};
