#include "reach/marking_store.h"

#include <cstring>
#include <stdexcept>

#include "model/numbers.h"
#include "reach/marking.h"

// ---- THash ----------------------------------------------------------------------

namespace {

inline quint64 valueBits(double v)
{
    v += 0.0; // -0 becomes 0: they compare equal
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

inline quint64 step(quint64 h, quint64 bits)
{
    h = (h ^ bits) * 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 31);
}

} // namespace

namespace {

// The key, and with WithSum the weighted sum of the values in the same pass;
// CheckWhole tells whether the values still have to be checked to be whole.
template <bool WithSum, bool CheckWhole>
quint64 keyOf(const double* values, int count, const double* weights, double* sumOut, bool* exactOut)
{
    constexpr double big = 4503599627370496.0;
    // Four independent lanes, so that the multiplications overlap.
    quint64 a = 0x9E3779B97F4A7C15ull ^ static_cast<quint64>(count), b = 0xC2B2AE3D27D4EB4Full,
            c = 0x165667B19E3779F9ull, d = 0x27D4EB2F165667C5ull;
    double sum = 0;
    bool whole = true;
    auto add = [&](int i) {
        if constexpr (WithSum) {
            const double x = values[i];
            sum += weights ? weights[i] * x : x;
            if constexpr (CheckWhole)
                whole = whole && x >= 0 && x < big && (x + big) - big == x;
        }
    };
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        a = step(a, valueBits(values[i]));
        b = step(b, valueBits(values[i + 1]));
        c = step(c, valueBits(values[i + 2]));
        d = step(d, valueBits(values[i + 3]));
        add(i);
        add(i + 1);
        add(i + 2);
        add(i + 3);
    }
    for (; i < count; ++i) {
        a = step(a, valueBits(values[i]));
        add(i);
    }
    if constexpr (WithSum) {
        *sumOut = sum;
        *exactOut = whole && sum < big;
    }
    quint64 h = step(step(step(a, b), c), d);
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return h;
}

} // namespace

quint64 THash::Key(const double* values, int count)
{
    return keyOf<false, false>(values, count, nullptr, nullptr, nullptr);
}

quint64 THash::KeyAndSum(const double* values, int count, const double* weights, double& sum, bool& exact,
                         bool wholeValues)
{
    return wholeValues ? keyOf<true, false>(values, count, weights, &sum, &exact)
                       : keyOf<true, true>(values, count, weights, &sum, &exact);
}

quint64 THash::Key(const TMarkList& store, int mark)
{
    return Key(store.Values(mark), store.PlaceCount());
}

void THash::Clear()
{
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_count = 0;
}

void THash::insert(quint64 key, int mark)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = Home(key, mask);
    while (m_slots[i] != 0)
        i = (i + 1) & mask;
    m_slots[i] = (key & 0xFFFFFFFF00000000ull) | (static_cast<quint64>(mark) + 1);
}

void THash::grow(const TMarkList&)
{
    std::vector<quint64> old;
    old.swap(m_slots);
    m_slots.assign(old.empty() ? 1024 : old.size() * 2, 0);
    for (quint64 s : old)
        if (s != 0)
            insert(s & 0xFFFFFFFF00000000ull, static_cast<int>((s & 0xFFFFFFFFull) - 1));
}

void THash::Add(const TMarkList& store, int mark, quint64 key)
{
    // Keep the table at most three quarters full.
    if ((m_count + 1) * 4 > m_slots.size() * 3)
        grow(store);
    insert(key, mark);
    ++m_count;
}

int THash::Find(const TMarkList& store, const double* values) const
{
    return Find(store, values, Key(values, store.PlaceCount()));
}

int THash::Find(const TMarkList& store, const double* values, quint64 key) const
{
    if (m_slots.empty())
        return -1;
    const int width = store.PlaceCount();
    const std::size_t mask = m_slots.size() - 1;
    const quint64 tag = key & 0xFFFFFFFF00000000ull;
    std::size_t i = Home(key, mask);
    for (quint64 s; (s = m_slots[i]) != 0; i = (i + 1) & mask) {
        if ((s & 0xFFFFFFFF00000000ull) != tag)
            continue;
        const int m = static_cast<int>((s & 0xFFFFFFFFull) - 1);
        const double* stored = store.Values(m);
        int k = 0;
        while (k < width && stored[k] == values[k])
            ++k;
        if (k == width)
            return m;
    }
    return -1;
}

void THash::Rebuild(const TMarkList& store)
{
    Clear();
    for (int m = 0; m < store.Count(); ++m)
        Add(store, m);
}

// ---- TMarkList: entries and labels ----------------------------------------------

void TMarkList::SetPlaces(const QStringList& names, const std::vector<bool>& continuous)
{
    if (Count() > 0)
        throw std::logic_error("the places of a store are set before its first marking");
    m_placeNames = names;
    m_balanceSlot.assign(static_cast<std::size_t>(names.size()), -1);
    int slots = 0;
    for (int i = 0; i < names.size(); ++i)
        if (static_cast<std::size_t>(i) < continuous.size() && continuous[static_cast<std::size_t>(i)])
            m_balanceSlot[static_cast<std::size_t>(i)] = slots++;
    m_values.setWidth(static_cast<int>(names.size()));
    m_balances.setWidth(slots);
}

void TMarkList::SetTransitions(const QStringList& names)
{
    m_transitionNames = names;
    m_transitionBytes.clear();
    for (const QString& n : names)
        m_transitionBytes.push_back(n.toStdString());
    FireCounts.assign(static_cast<std::size_t>(names.size()), 0);
    m_chains.clear();
    m_chainIndex.clear();
}

int TMarkList::ChainLabel(int first, int second)
{
    const quint64 key =
        (static_cast<quint64>(static_cast<quint32>(first)) << 32) | static_cast<quint32>(second);
    auto it = m_chainIndex.constFind(key);
    if (it != m_chainIndex.constEnd())
        return it.value();
    const int label = TransitionCount() + static_cast<int>(m_chains.size());
    m_chains.emplace_back(first, second);
    m_chainIndex.insert(key, label);
    return label;
}

void TMarkList::AppendLabel(std::string& out, int label) const
{
    // Chains nest to any depth: walk them with an explicit stack.
    std::vector<int> pending{label};
    bool first = true;
    while (!pending.empty()) {
        const int l = pending.back();
        pending.pop_back();
        const int n = TransitionCount();
        if (l >= n && static_cast<std::size_t>(l - n) < m_chains.size()) {
            const auto& chain = m_chains[static_cast<std::size_t>(l - n)];
            pending.push_back(chain.second);
            pending.push_back(chain.first);
            continue;
        }
        if (!first)
            out.push_back(',');
        first = false;
        if (l >= 0 && l < n)
            out += m_transitionBytes[static_cast<std::size_t>(l)];
    }
}

QString TMarkList::LabelText(int label) const
{
    std::string out;
    AppendLabel(out, label);
    return QString::fromStdString(out);
}

int TMarkList::LabelTransition(int label) const
{
    const int n = TransitionCount();
    while (label >= n && static_cast<std::size_t>(label - n) < m_chains.size())
        label = m_chains[static_cast<std::size_t>(label - n)].first;
    return label;
}

// ---- TMarkList: markings ------------------------------------------------------------

TMark TMarkList::Mark(int m) const
{
    TMark mark;
    if (m < 0 || m >= Count())
        return mark;
    for (int i = 0; i < PlaceCount(); ++i)
        mark.AddPlace(m_placeNames[i], Balance(m, i), Value(m, i));
    mark.OpenContinuous = OpenContinuous(m);
    return mark;
}

double TMarkList::Value(int m, int i) const
{
    if (m < 0 || m >= Count() || i < 0 || i >= PlaceCount())
        return 0.0;
    return Values(m)[i];
}

double TMarkList::Balance(int m, int i) const
{
    if (m < 0 || m >= Count() || i < 0 || i >= PlaceCount())
        return 0.0;
    const int slot = m_balanceSlot[static_cast<std::size_t>(i)];
    return slot < 0 ? 0.0 : Balances(m)[slot];
}

int TMarkList::AddNew(int parent)
{
    return AddNew(parent, THash::Key(NewValues(), PlaceCount()));
}

int TMarkList::AddNew(int parent, quint64 key)
{
    const int m = Count();
    m_values.spare();
    m_balances.spare();
    m_values.commit();
    m_balances.commit();
    m_parent.push_back(parent);
    m_flags.push_back(0);
    m_arcBegin.push_back(0);
    Hash.Add(*this, m, key);
    return m;
}

int TMarkList::Add(const double* values, const double* balances, int parent)
{
    double* v = NewValues();
    if (PlaceCount() > 0)
        std::memcpy(v, values, sizeof(double) * static_cast<std::size_t>(PlaceCount()));
    double* b = NewBalances();
    for (int i = 0; i < ContinuousCount(); ++i)
        b[i] = balances ? balances[i] : 0.0;
    return AddNew(parent);
}

QString TMarkList::OpenContinuous(int m) const
{
    if (m < 0 || static_cast<std::size_t>(m) >= m_openContinuous.size())
        return QString();
    return m_openTexts.value(m_openContinuous[static_cast<std::size_t>(m)]);
}

void TMarkList::SetOpenContinuous(int m, const QString& text)
{
    if (m < 0 || m >= Count())
        return;
    if (m_openContinuous.size() < static_cast<std::size_t>(Count()))
        m_openContinuous.resize(static_cast<std::size_t>(Count()), -1);
    auto it = m_openIndex.constFind(text);
    qint32 id;
    if (it != m_openIndex.constEnd()) {
        id = it.value();
    } else {
        id = static_cast<qint32>(m_openTexts.size());
        m_openTexts.append(text);
        m_openIndex.insert(text, id);
    }
    m_openContinuous[static_cast<std::size_t>(m)] = id;
}

// ---- TMarkList: arcs ----------------------------------------------------------------------

double TMarkList::StoredWeight(double weight)
{
    // Whole numbers read back as themselves; other weights go through their
    // text, with a small cache since the same probabilities recur.
    if (weight >= 0 && weight < 1e15 && weight == static_cast<double>(static_cast<long long>(weight)))
        return weight;
    quint64 bits;
    std::memcpy(&bits, &weight, sizeof bits);
    TWeightCache& c = m_weightCache[(bits ^ (bits >> 29) ^ (bits >> 47)) & 63];
    if (c.Bits != bits) {
        c.Bits = bits;
        c.Stored = RoundTrip15(weight);
    }
    return c.Stored;
}

void TMarkList::AddEdge(int source, int target, int label, double weight)
{
    if (source < m_lastSource || source >= Count())
        throw std::logic_error("arcs are added marking by marking");
    while (m_lastSource < source) {
        ++m_lastSource;
        m_arcBegin[static_cast<std::size_t>(m_lastSource)] = static_cast<qint64>(m_arcs.size());
    }
    m_arcs.push_back(TArc{target, label, StoredWeight(weight)});
}

// ---- TMarkList: texts -----------------------------------------------------------------------

namespace {

void appendInt(std::string& out, qint64 n)
{
    char buf[24];
    int len = 0;
    const bool negative = n < 0;
    quint64 u = negative ? static_cast<quint64>(-(n + 1)) + 1 : static_cast<quint64>(n);
    do {
        buf[len++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (negative)
        out.push_back('-');
    while (len > 0)
        out.push_back(buf[--len]);
}

void appendReal(std::string& out, double v)
{
    if (v >= 0 && v < 1e15 && v == static_cast<double>(static_cast<long long>(v)))
        appendInt(out, static_cast<qint64>(v));
    else
        AppendGeneral(out, v);
}

} // namespace

void TMarkList::AppendValuesText(std::string& out, int m) const
{
    ::AppendValuesText(out, Values(m), PlaceCount());
}

void TMarkList::AppendLinksText(std::string& out, int m) const
{
    const std::size_t end = arcEnd(m);
    for (std::size_t a = arcBegin(m); a < end; ++a) {
        const TArc& arc = m_arcs[a];
        AppendLabel(out, arc.Label);
        out += ">M";
        appendInt(out, arc.Target);
        out.push_back(';');
    }
}

void TMarkList::AppendRatesText(std::string& out, int m) const
{
    const std::size_t end = arcEnd(m);
    for (std::size_t a = arcBegin(m); a < end; ++a) {
        appendReal(out, m_arcs[a].Weight);
        out.push_back(';');
    }
}

void TMarkList::AppendLine(std::string& out, int m, TRagMode mode) const
{
    out.push_back('M');
    appendInt(out, m);
    out += " = [";
    AppendValuesText(out, m);
    out += "] [";
    AppendLinksText(out, m);
    if (mode == rmReduced) {
        out += "\\\\";
        AppendRatesText(out, m);
    }
}

QString TMarkList::GetValuesText(int m) const
{
    std::string out;
    AppendValuesText(out, m);
    return QString::fromStdString(out);
}

QString TMarkList::GetPositionsText() const
{
    return QLatin1Char('[') + m_placeNames.join(QLatin1Char(',')) + QLatin1Char(']');
}

QString TMarkList::GetLinksText(int m) const
{
    std::string out;
    AppendLinksText(out, m);
    return QString::fromStdString(out);
}

QString TMarkList::GetRatesText(int m) const
{
    std::string out;
    AppendRatesText(out, m);
    return QString::fromStdString(out);
}

QString TMarkList::GetLine(int m, TRagMode mode) const
{
    std::string out;
    AppendLine(out, m, mode);
    return QString::fromStdString(out);
}

// ---- TMarkList: whole graph -------------------------------------------------------------------

void TMarkList::ReplaceGraph(const std::vector<int>& kept,
                             const std::function<void(int mark, std::vector<TArc>& arcs)>& arcsOf)
{
    std::vector<qint32> renumber(static_cast<std::size_t>(Count()), -1);
    for (std::size_t i = 0; i < kept.size(); ++i)
        renumber[static_cast<std::size_t>(kept[i])] = static_cast<qint32>(i);

    TChunkedArray<TArc> arcs;
    TChunkedArray<qint64> arcBegin;
    std::vector<TArc> list;
    const int width = PlaceCount();
    const int balances = ContinuousCount();
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const int old = kept[i];
        list.clear();
        arcsOf(old, list);
        arcBegin.push_back(static_cast<qint64>(arcs.size()));
        for (TArc a : list) {
            a.Target = renumber[static_cast<std::size_t>(a.Target)];
            arcs.push_back(a);
        }
        // Rows move towards the front only, so each can be copied in place.
        const std::size_t to = i;
        const std::size_t from = static_cast<std::size_t>(old);
        if (to != from) {
            if (width > 0)
                std::memmove(m_values.row(to), m_values.row(from),
                             sizeof(double) * static_cast<std::size_t>(width));
            if (balances > 0)
                std::memmove(m_balances.row(to), m_balances.row(from),
                             sizeof(double) * static_cast<std::size_t>(balances));
            const qint32 parent = m_parent[from];
            m_parent[to] = parent >= 0 ? renumber[static_cast<std::size_t>(parent)] : -1;
            m_flags[to] = m_flags[from];
            if (from < m_openContinuous.size())
                m_openContinuous[to] = m_openContinuous[from];
        } else {
            const qint32 parent = m_parent[from];
            m_parent[to] = parent >= 0 ? renumber[static_cast<std::size_t>(parent)] : -1;
        }
    }
    const std::size_t n = kept.size();
    m_values.truncate(n);
    m_balances.truncate(n);
    m_parent.truncate(n);
    m_flags.truncate(n);
    if (m_openContinuous.size() > n)
        m_openContinuous.resize(n);
    m_arcs = std::move(arcs);
    m_arcBegin = std::move(arcBegin);
    m_lastSource = static_cast<int>(n) - 1;
    Hash.Rebuild(*this);
}

std::size_t TMarkList::MemoryBytes() const
{
    return m_values.memoryBytes() + m_balances.memoryBytes() + m_parent.memoryBytes() +
           m_flags.memoryBytes() + m_arcBegin.memoryBytes() + m_arcs.memoryBytes() + Hash.MemoryBytes() +
           m_openContinuous.capacity() * sizeof(qint32) + m_chains.capacity() * sizeof(m_chains[0]);
}
