#include "reach/marking_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "model/numbers.h"
#include "model/places.h"
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

// ---- TPackLayout ------------------------------------------------------------------------

void TPackLayout::Assign(const std::vector<int>& bits)
{
    m_bits = bits;
    m_fields.clear();
    m_fields.reserve(bits.size());
    int word = 0, used = 0;
    for (int b : bits) {
        if (b < 1 || b > MaxBits)
            throw std::logic_error("a packed field holds 1 to 32 bits");
        if (used + b > 64) {
            ++word;
            used = 0;
        }
        m_fields.push_back(TField{(quint64(1) << b) - 1, word, used});
        used += b;
    }
    m_words = word + 1; // at least one word, also without places
}

void TPackLayout::Encode(const qint64* values, quint64* code) const
{
    for (int w = 0; w < m_words; ++w)
        code[w] = 0;
    const std::size_t n = m_fields.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TField& f = m_fields[i];
        code[f.Word] |= static_cast<quint64>(values[i]) << f.Shift;
    }
}

void TPackLayout::Decode(const quint64* code, qint64* values) const
{
    const std::size_t n = m_fields.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TField& f = m_fields[i];
        values[i] = static_cast<qint64>((code[f.Word] >> f.Shift) & f.Mask);
    }
}

// ---- TCodeIndex ----------------------------------------------------------------------------

quint64 TCodeIndex::Key(const quint64* code, int words)
{
    quint64 h = 0x9E3779B97F4A7C15ull ^ static_cast<quint64>(words);
    for (int w = 0; w < words; ++w)
        h = step(h, code[w]);
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return h;
}

void TCodeIndex::Clear()
{
    m_slots.reset();
    m_size = 0;
    m_count = 0;
}

void TCodeIndex::insert(const TSlot& slot)
{
    const std::size_t mask = m_size - 1;
    std::size_t i = THash::Home(static_cast<quint64>(slot.Tag) << 32, mask);
    while (m_slots[i].Mark != 0)
        i = (i + 1) & mask;
    m_slots[i] = slot;
}

void TCodeIndex::Add(const TMarkList& store, int mark, quint64 key)
{
    // At most three quarters full; growing needs only the slots.
    if ((m_count + 1) * 4 > m_size * 3) {
        const std::size_t oldSize = m_size;
        TBlock<TSlot> grown = MakeBlock<TSlot>(m_size == 0 ? 1024 : m_size * 2); // zeroed: empty slots
        TBlock<TSlot> old = std::move(m_slots);
        m_slots = std::move(grown);
        m_size = m_size == 0 ? 1024 : m_size * 2;
        for (std::size_t i = 0; i < oldSize; ++i)
            if (old[i].Mark != 0)
                insert(old[i]);
    }
    insert(TSlot{store.Code(mark)[0], static_cast<quint32>(key >> 32), static_cast<quint32>(mark) + 1});
    ++m_count;
}

int TCodeIndex::Find(const TMarkList& store, const quint64* code, quint64 key) const
{
    if (m_size == 0)
        return -1;
    const int words = store.Layout().Words();
    const std::size_t mask = m_size - 1;
    const auto tag = static_cast<quint32>(key >> 32);
    for (std::size_t i = THash::Home(key, mask);; i = (i + 1) & mask) {
        const TSlot& slot = m_slots[i];
        if (slot.Mark == 0)
            return -1;
        if (slot.First != code[0] || slot.Tag != tag)
            continue;
        const int m = static_cast<int>(slot.Mark - 1);
        if (words == 1 || std::memcmp(store.Code(m) + 1, code + 1, sizeof(quint64) * (words - 1)) == 0)
            return m;
    }
}

void TCodeIndex::Rebuild(const TMarkList& store)
{
    Clear();
    const int words = store.Layout().Words();
    for (int m = 0; m < store.Count(); ++m)
        Add(store, m, Key(store.Code(m), words));
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
    m_maxLabelBytes = 0;
    for (const QString& n : names) {
        m_transitionBytes.push_back(n.toStdString());
        m_maxLabelBytes = std::max(m_maxLabelBytes, m_transitionBytes.back().size());
    }
    FireCounts.assign(static_cast<std::size_t>(names.size()), 0);
    m_chains.clear();
    m_chainBytes.clear();
    m_chainIndex.clear();
}

int TMarkList::ChainLabel(int first, int second)
{
    const quint64 key =
        (static_cast<quint64>(static_cast<quint32>(first)) << 32) | static_cast<quint32>(second);
    if (const auto it = m_chainIndex.find(key); it != m_chainIndex.end())
        return it->second;
    const int label = TransitionCount() + static_cast<int>(m_chains.size());
    const std::size_t bytes = labelBytes(first) + 1 + labelBytes(second);
    m_chains.emplace_back(first, second);
    m_chainBytes.push_back(static_cast<qint32>(std::min<std::size_t>(bytes, 0x7FFFFFFF)));
    m_maxLabelBytes = std::max(m_maxLabelBytes, bytes);
    m_chainIndex.emplace(key, label);
    return label;
}

std::size_t TMarkList::labelBytes(int label) const
{
    const int n = TransitionCount();
    if (label >= 0 && label < n)
        return m_transitionBytes[static_cast<std::size_t>(label)].size();
    if (label >= n && static_cast<std::size_t>(label - n) < m_chainBytes.size())
        return static_cast<std::size_t>(m_chainBytes[static_cast<std::size_t>(label - n)]);
    return 0;
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
    if (m_packed)
        return static_cast<double>(m_layout.Get(Code(m), i));
    return m_values.row(static_cast<std::size_t>(m))[i];
}

void TMarkList::CopyValues(int m, double* out) const
{
    const int n = PlaceCount();
    if (!m_packed) {
        if (n > 0)
            std::memcpy(out, m_values.row(static_cast<std::size_t>(m)),
                        sizeof(double) * static_cast<std::size_t>(n));
        return;
    }
    const quint64* code = Code(m);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<double>(m_layout.Get(code, i));
}

double TMarkList::MaxValue() const
{
    double result = 0;
    const int n = PlaceCount();
    for (int m = 0; m < Count(); ++m) {
        if (m_packed) {
            const quint64* code = Code(m);
            for (int i = 0; i < n; ++i)
                result = std::max(result, static_cast<double>(m_layout.Get(code, i)));
        } else {
            const double* v = m_values.row(static_cast<std::size_t>(m));
            for (int i = 0; i < n; ++i)
                result = std::max(result, v[i]);
        }
    }
    return result;
}

int TMarkList::Find(const double* values) const
{
    if (!m_packed)
        return Hash.Find(*this, values);
    // Values that no field holds are not stored.
    const int n = PlaceCount();
    std::vector<qint64> counts(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double v = values[i];
        if (!(v >= 0) || v != std::floor(v) || v > static_cast<double>(m_layout.Max(i)))
            return -1;
        counts[static_cast<std::size_t>(i)] = static_cast<qint64>(v);
    }
    std::vector<quint64> code(static_cast<std::size_t>(m_layout.Words()));
    m_layout.Encode(counts.data(), code.data());
    return FindCode(code.data(), TCodeIndex::Key(code.data(), m_layout.Words()));
}

// ---- TMarkList: packed markings -----------------------------------------------------------

void TMarkList::SetPacked(const std::vector<int>& bits)
{
    if (Count() > 0 || ContinuousCount() > 0 || static_cast<int>(bits.size()) != PlaceCount())
        throw std::logic_error("a store is packed before its first marking, without continuous places");
    m_layout.Assign(bits);
    m_codes.setWidth(m_layout.Words());
    m_codeIndex.Clear();
    Hash.Clear();
    m_packed = true;
}

void TMarkList::Repack(const std::vector<int>& bits)
{
    if (!m_packed || static_cast<int>(bits.size()) != PlaceCount())
        throw std::logic_error("only a packed store is repacked");
    for (int i = 0; i < PlaceCount(); ++i)
        if (bits[static_cast<std::size_t>(i)] < m_layout.Bits(i))
            throw std::logic_error("packed fields only grow");
    TPackLayout layout;
    layout.Assign(bits);
    TRowArenaOf<quint64> codes;
    codes.setWidth(layout.Words());
    codes.reserve(m_reservedMarkings);
    std::vector<qint64> counts(static_cast<std::size_t>(PlaceCount()));
    for (int m = 0; m < Count(); ++m) {
        m_layout.Decode(Code(m), counts.data());
        layout.Encode(counts.data(), codes.spare());
        codes.commit();
    }
    m_layout = std::move(layout);
    m_codes = std::move(codes);
    m_codeIndex.Rebuild(*this);
}

void TMarkList::Unpack()
{
    if (!m_packed)
        return;
    const int n = PlaceCount();
    TRowArena values;
    values.setWidth(n);
    TRowArena balances;
    balances.setWidth(0);
    std::vector<qint64> counts(static_cast<std::size_t>(n));
    for (int m = 0; m < Count(); ++m) {
        m_layout.Decode(Code(m), counts.data());
        double* row = values.spare();
        for (int i = 0; i < n; ++i)
            row[i] = static_cast<double>(counts[static_cast<std::size_t>(i)]);
        values.commit();
        balances.spare();
        balances.commit();
    }
    m_values = std::move(values);
    m_balances = std::move(balances);
    m_codes.clear();
    m_codeIndex.Clear();
    m_packed = false;
    Hash.Rebuild(*this);
}

int TMarkList::AddNewCode(int parent, quint64 key)
{
    const int m = Count();
    m_codes.spare();
    m_codes.commit();
    m_flags.push_back(0);
    m_arcBegin.push_back(0);
    m_codeIndex.Add(*this, m, key);
    m_parent.push_back(parent);
    return m;
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
    Unpack();
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
    const auto it = m_openIndex.find(text);
    qint32 id;
    if (it != m_openIndex.end()) {
        id = it->second;
    } else {
        id = static_cast<qint32>(m_openTexts.size());
        m_openTexts.append(text);
        m_openIndex.emplace(text, id);
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

void TMarkList::addEdge(int source, int target, int label, double weight)
{
    if (source < m_lastSource || source >= Count())
        throw std::logic_error("arcs are added marking by marking");
    while (m_lastSource < source) {
        ++m_lastSource;
        m_arcBegin[static_cast<std::size_t>(m_lastSource)] = static_cast<qint64>(m_links.size());
    }
    appendArc(m_links, m_weights, TArc{target, label, StoredWeight(weight)});
}

void TMarkList::appendArc(TLinks& links, TWeights& weights, const TArc& arc)
{
    if (!weights.empty()) {
        weights.push_back(arc.Weight);
    } else if (arc.Weight != 1.0) {
        // The first weight other than 1: from now on every arc keeps its own.
        for (std::size_t a = 0; a < links.size(); ++a)
            weights.push_back(1.0);
        weights.push_back(arc.Weight);
    }
    links.push_back(TLink{arc.Target, arc.Label});
}

// ---- TMarkList: texts -----------------------------------------------------------------------

namespace {

const char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                           "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                           "8081828384858687888990919293949596979899";

// Writes n in decimal at p; returns the end.
inline char* writeWhole(char* p, quint64 n)
{
    if (n < 10) {
        *p = static_cast<char>('0' + n);
        return p + 1;
    }
    char buf[20];
    char* const end = buf + sizeof buf;
    char* b = end;
    while (n >= 100) {
        const auto r = static_cast<std::size_t>(n % 100);
        n /= 100;
        b -= 2;
        std::memcpy(b, kDigitPairs + 2 * r, 2);
    }
    if (n >= 10) {
        b -= 2;
        std::memcpy(b, kDigitPairs + 2 * n, 2);
    } else {
        *--b = static_cast<char>('0' + n);
    }
    std::memcpy(p, b, static_cast<std::size_t>(end - b));
    return p + (end - b);
}

inline char* writeInt(char* p, qint64 n)
{
    if (n >= 0)
        return writeWhole(p, static_cast<quint64>(n));
    *p++ = '-';
    return writeWhole(p, static_cast<quint64>(-(n + 1)) + 1);
}

inline char* writeBytes(char* p, const std::string& bytes)
{
    std::memcpy(p, bytes.data(), bytes.size());
    return p + bytes.size();
}

// The longest text of a value or weight in general form, and of a whole
// 32-bit count.
constexpr std::size_t kRealBytes = 25;
constexpr std::size_t kCountBytes = 10;

// A weight: whole numbers directly, others in general form.
inline char* writeReal(char* p, double v)
{
    if (v >= 0 && v < 1e15 && v == static_cast<double>(static_cast<long long>(v)))
        return writeWhole(p, static_cast<quint64>(v));
    std::string text;
    AppendGeneral(text, v);
    return writeBytes(p, text);
}

// A marking's value: ω as "w".
inline char* writeValue(char* p, double v)
{
    if (v == OmegaValue) {
        *p = 'w';
        return p + 1;
    }
    return writeReal(p, v);
}

void appendInt(std::string& out, qint64 n)
{
    char buf[24];
    out.append(buf, static_cast<std::size_t>(writeInt(buf, n) - buf));
}

void appendReal(std::string& out, double v)
{
    char buf[32];
    if (v >= 0 && v < 1e15 && v == static_cast<double>(static_cast<long long>(v)))
        out.append(buf, static_cast<std::size_t>(writeWhole(buf, static_cast<quint64>(v)) - buf));
    else
        AppendGeneral(out, v);
}

} // namespace

void TMarkList::AppendValuesText(std::string& out, int m) const
{
    if (!m_packed) {
        ::AppendValuesText(out, m_values.row(static_cast<std::size_t>(m)), PlaceCount());
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(PlaceCount()) * (kCountBytes + 1));
    char* p = out.data() + at;
    const quint64* code = Code(m);
    for (int i = 0; i < PlaceCount(); ++i) {
        if (i > 0)
            *p++ = ',';
        const quint64 v = m_layout.Get(code, i);
        if (v == static_cast<quint64>(OmegaValue))
            *p++ = 'w';
        else
            p = writeWhole(p, v);
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

void TMarkList::AppendLinksText(std::string& out, int m) const
{
    const std::size_t end = arcEnd(m);
    for (std::size_t a = arcBegin(m); a < end; ++a) {
        const TLink& arc = m_links[a];
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
        appendReal(out, weightAt(a));
        out.push_back(';');
    }
}

std::size_t TMarkList::lineBound(std::size_t arcs, TRagMode mode) const
{
    std::size_t bytes = 1 + 11 + 4 +
                        static_cast<std::size_t>(PlaceCount()) * ((m_packed ? kCountBytes : kRealBytes) + 1) +
                        3 + arcs * (m_maxLabelBytes + 2 + 11 + 1) + 2;
    if (mode == rmReduced)
        bytes += 2 + arcs * (kRealBytes + 1);
    return bytes;
}

char* TMarkList::writeLine(char* p, int m, TRagMode mode, std::size_t begin, std::size_t end) const
{
    *p++ = 'M';
    p = writeInt(p, m);
    std::memcpy(p, " = [", 4);
    p += 4;
    const int n = PlaceCount();
    if (m_packed) {
        const quint64* code = Code(m);
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                *p++ = ',';
            const quint64 v = m_layout.Get(code, i);
            if (v == static_cast<quint64>(OmegaValue))
                *p++ = 'w';
            else
                p = writeWhole(p, v);
        }
    } else {
        const double* v = m_values.row(static_cast<std::size_t>(m));
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                *p++ = ',';
            p = writeValue(p, v[i]);
        }
    }
    std::memcpy(p, "] [", 3);
    p += 3;
    const int transitions = TransitionCount();
    for (std::size_t a = begin; a < end; ++a) {
        const TLink& arc = m_links[a];
        if (arc.Label >= 0 && arc.Label < transitions) {
            p = writeBytes(p, m_transitionBytes[static_cast<std::size_t>(arc.Label)]);
        } else {
            std::string chain;
            AppendLabel(chain, arc.Label);
            p = writeBytes(p, chain);
        }
        *p++ = '>';
        *p++ = 'M';
        p = writeInt(p, arc.Target);
        *p++ = ';';
    }
    if (mode == rmReduced) {
        *p++ = '\\';
        *p++ = '\\';
        for (std::size_t a = begin; a < end; ++a) {
            p = writeReal(p, weightAt(a));
            *p++ = ';';
        }
    }
    return p;
}

void TMarkList::AppendLine(std::string& out, int m, TRagMode mode) const
{
    const std::size_t at = out.size();
    const std::size_t begin = arcBegin(m), end = arcEnd(m);
    out.resize(at + lineBound(end - begin, mode));
    out.resize(static_cast<std::size_t>(writeLine(out.data() + at, m, mode, begin, end) - out.data()));
}

void TMarkList::AppendLines(std::string& out, int first, int end, TRagMode mode) const
{
    out.resize(WriteLines(out, out.size(), first, end, mode));
}

template <class Arcs>
std::size_t TMarkList::writeLines(std::string& out, std::size_t at, int first, int end, TRagMode mode,
                                  Arcs arcs) const
{
    // The text grows in large steps.
    std::size_t used = at;
    for (int m = first; m < end; ++m) {
        const auto [begin, stop] = arcs(m);
        const std::size_t bound = lineBound(stop - begin, mode);
        if (used + bound > out.size())
            out.resize(std::max(out.size() * 2, used + bound + 65536));
        char* p = writeLine(out.data() + used, m, mode, begin, stop);
        *p++ = '\r';
        *p++ = '\n';
        used = static_cast<std::size_t>(p - out.data());
    }
    return used;
}

std::size_t TMarkList::WriteLines(std::string& out, std::size_t at, int first, int end, TRagMode mode) const
{
    return writeLines(out, at, first, end, mode,
                      [this](int m) { return std::pair<std::size_t, std::size_t>(arcBegin(m), arcEnd(m)); });
}

std::size_t TMarkList::WriteFinishedLines(std::string& out, std::size_t at, int first, int end,
                                          TRagMode mode) const
{
    // The arcs of a finished marking end where the next marking's begin,
    // which is set once that marking has arcs or a later one has.
    return writeLines(out, at, first, end, mode, [this](int m) {
        const auto i = static_cast<std::size_t>(m);
        return std::pair<std::size_t, std::size_t>(static_cast<std::size_t>(m_arcBegin[i]),
                                                   static_cast<std::size_t>(m_arcBegin[i + 1]));
    });
}

void TMarkList::Reserve(std::size_t markings, std::size_t arcs)
{
    m_reservedMarkings = markings;
    m_reservedArcs = arcs;
    m_codes.reserve(markings);
    m_parent.reserve(markings);
    m_flags.reserve(markings);
    m_arcBegin.reserve(markings);
    m_links.reserve(arcs);
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

    TLinks links;
    TWeights weights;
    TChunkedArray<qint64, 16> arcBegin;
    std::vector<TArc> list;
    const int width = PlaceCount();
    const int balances = ContinuousCount();
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const int old = kept[i];
        list.clear();
        arcsOf(old, list);
        arcBegin.push_back(static_cast<qint64>(links.size()));
        for (TArc a : list) {
            a.Target = renumber[static_cast<std::size_t>(a.Target)];
            appendArc(links, weights, a);
        }
        // Rows move towards the front only, so each can be copied in place.
        const std::size_t to = i;
        const std::size_t from = static_cast<std::size_t>(old);
        if (to != from) {
            if (m_packed)
                std::memmove(m_codes.row(to), m_codes.row(from),
                             sizeof(quint64) * static_cast<std::size_t>(m_layout.Words()));
            else if (width > 0)
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
    if (m_packed)
        m_codes.truncate(n);
    else
        m_values.truncate(n);
    m_balances.truncate(n);
    m_parent.truncate(n);
    m_flags.truncate(n);
    if (m_openContinuous.size() > n)
        m_openContinuous.resize(n);
    m_links = std::move(links);
    m_weights = std::move(weights);
    m_arcBegin = std::move(arcBegin);
    m_lastSource = static_cast<int>(n) - 1;
    if (m_packed)
        m_codeIndex.Rebuild(*this);
    else
        Hash.Rebuild(*this);
}

void TMarkList::KeepInitialOnly()
{
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(Count()), 1);
    m_values.truncate(n);
    m_balances.truncate(n);
    m_codes.truncate(n);
    m_parent.truncate(n);
    m_flags.truncate(n);
    m_arcBegin.truncate(n);
    m_links.clear();
    m_weights.clear();
    m_lastSource = -1;
    if (m_openContinuous.size() > n)
        m_openContinuous.resize(n);
    Hash.Clear();
    m_codeIndex.Clear();
}

std::size_t TMarkList::MemoryBytes() const
{
    return m_values.memoryBytes() + m_balances.memoryBytes() + m_codes.memoryBytes() +
           m_codeIndex.MemoryBytes() + m_parent.memoryBytes() + m_flags.memoryBytes() +
           m_arcBegin.memoryBytes() + m_links.memoryBytes() + m_weights.memoryBytes() + Hash.MemoryBytes() +
           m_openContinuous.capacity() * sizeof(qint32) + m_chains.capacity() * sizeof(m_chains[0]);
}
