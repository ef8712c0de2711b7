#include "performance/chain_graph.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <thread>
#include <type_traits>
#include <unistd.h>

#include "model/numbers.h"
#include "model/places.h"
#include "model/progress.h"
#include "performance/large_arrays.h"
#include "performance/parallel_rows.h"
#include "reach/marking_store.h"

namespace {

// Labels by text: an open-addressing table over the label texts.
class TLabelDict
{
public:
    int FindOrAdd(std::string_view text)
    {
        if (m_slots.empty())
            m_slots.assign(64, -1);
        const quint64 h = hash(text);
        std::size_t mask = m_slots.size() - 1;
        for (std::size_t s = h & mask;; s = (s + 1) & mask) {
            const qint32 id = m_slots[s];
            if (id < 0) {
                m_names.emplace_back(text);
                m_hashes.push_back(h);
                m_slots[s] = static_cast<qint32>(m_names.size() - 1);
                if (m_names.size() * 2 > m_slots.size())
                    grow();
                return static_cast<int>(m_names.size() - 1);
            }
            if (m_hashes[static_cast<std::size_t>(id)] == h && m_names[static_cast<std::size_t>(id)] == text)
                return id;
        }
    }
    const std::vector<std::string>& Names() const { return m_names; }
    void Clear()
    {
        m_names.clear();
        m_hashes.clear();
        m_slots.clear();
    }

private:
    static quint64 hash(std::string_view text)
    {
        quint64 h = 1469598103934665603ull;
        for (unsigned char c : text)
            h = (h ^ c) * 1099511628211ull;
        return h ^ (h >> 29);
    }
    void grow()
    {
        std::vector<qint32> slots(m_slots.size() * 2, -1);
        const std::size_t mask = slots.size() - 1;
        for (std::size_t id = 0; id < m_names.size(); ++id) {
            std::size_t s = m_hashes[id] & mask;
            while (slots[s] >= 0)
                s = (s + 1) & mask;
            slots[s] = static_cast<qint32>(id);
        }
        m_slots.swap(slots);
    }

    std::vector<std::string> m_names;
    std::vector<quint64> m_hashes;
    std::vector<qint32> m_slots;
};

// What one thread read from its share of a block of lines.
struct TPartial
{
    std::vector<qint32> Tokens;
    std::vector<qint32> EntryCount; // per marking
    std::vector<qint32> Targets;
    std::vector<qint32> Labels; // local label numbers
    // Per entry (1 where the line has none) once a line had multipliers;
    // empty before.
    std::vector<double> Multipliers;
    bool AnyMultiplier = false;
    TLabelDict Dict;              // local labels, kept from block to block
    std::vector<qint32> ToGlobal; // local label number -> graph label number
    qint64 Lines = 0;
    qint64 ErrorLine = -1; // local line of the error or dead marking
    QString Error;
    bool Dead = false;
    bool Limit = false;
    qint64 Totally = -1;

    void ClearBlock()
    {
        Tokens.clear();
        EntryCount.clear();
        Targets.clear();
        Labels.clear();
        Multipliers.clear();
        AnyMultiplier = false;
        Lines = 0;
        ErrorLine = -1;
        Error.clear();
        Dead = false;
        Limit = false;
        Totally = -1;
    }
};

bool contains(std::string_view line, std::string_view what)
{
    return line.find(what) != std::string_view::npos;
}

QString quoted(std::string_view text)
{
    return QLatin1Char('"') + QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())) +
           QLatin1Char('"');
}

// A whole number of at most nine digits, or -1.
qint64 parseCount(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty() || text.size() > 10)
        return -1;
    qint64 v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// The line shape every marking line has: "M" digits " = [".
bool looksLikeMarking(std::string_view line)
{
    if (line.size() < 6 || line[0] != 'M' || line[1] < '0' || line[1] > '9')
        return false;
    std::size_t i = 2;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i;
    return line.substr(i, 4) == " = [";
}

class TLineReader
{
public:
    TLineReader(int placeCount, bool allowDead, TPartial& out)
        : m_places(placeCount), m_allowDead(allowDead), m_out(out)
    {
    }

    // False ends the reading (an error or a dead marking).
    bool Line(std::string_view line)
    {
        ++m_out.Lines;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == ';')
            return true;
        if (!looksLikeMarking(line)) {
            if (contains(line, "Totally")) {
                const std::size_t eq = line.find('=');
                const qint64 n = eq == std::string_view::npos || eq + 2 > line.size()
                                     ? -1
                                     : parseCount(line.substr(eq + 2));
                if (n < 0)
                    return fail(QStringLiteral("the number of markings is not a whole number: ") +
                                quoted(line));
                m_out.Totally = n;
                return true;
            }
            if (contains(line, "Positions"))
                return fail(QStringLiteral("the place list comes after the first marking"));
            if (line.back() == '[' && !m_allowDead) {
                m_out.Dead = true;
                m_out.ErrorLine = m_out.Lines;
                return false;
            }
            if (!contains(line, "[")) {
                if (contains(line, "!!!"))
                    m_out.Limit = true;
                return true;
            }
        } else if (line.back() == '[' && !m_allowDead) {
            m_out.Dead = true;
            m_out.ErrorLine = m_out.Lines;
            return false;
        }
        return marking(line);
    }

private:
    bool fail(const QString& message)
    {
        m_out.Error = message;
        m_out.ErrorLine = m_out.Lines;
        return false;
    }

    bool marking(std::string_view line)
    {
        if (plainMarking(line))
            return true;
        const std::size_t open = line.find('[');
        const std::size_t close = line.find(']');
        if (close == std::string_view::npos || close < open)
            return fail(QStringLiteral("a marking line without its token list"));
        // Token counts.
        std::string_view tokens = line.substr(open + 1, close - open - 1);
        int count = 0;
        while (true) {
            const std::size_t comma = tokens.find(',');
            const std::string_view v = tokens.substr(0, comma);
            qint64 value = 0;
            bool ok = !v.empty() && v.size() <= 9;
            for (char c : v) {
                if (c < '0' || c > '9') {
                    ok = false;
                    break;
                }
                value = value * 10 + (c - '0');
            }
            if (!ok) {
                if (v == "w")
                    return fail(QStringLiteral("a place holds an unbounded token count (w): the chain has "
                                               "infinitely many states and no steady state"));
                return fail(quoted(v) + QStringLiteral(" is not a whole token count"));
            }
            m_out.Tokens.push_back(static_cast<qint32>(value));
            ++count;
            if (comma == std::string_view::npos)
                break;
            tokens.remove_prefix(comma + 1);
        }
        if (count != m_places) {
            m_out.Tokens.resize(m_out.Tokens.size() - static_cast<std::size_t>(count));
            return fail(
                QStringLiteral("%1 token counts where the place list has %2").arg(count).arg(m_places));
        }
        // Successor entries, then the multipliers after two backslashes.
        std::string_view rest = close + 3 <= line.size() ? line.substr(close + 3) : std::string_view();
        std::string_view rates;
        const std::size_t slashes = rest.find("\\\\");
        const bool hasRates = slashes != std::string_view::npos;
        if (hasRates) {
            rates = rest.substr(slashes + 2);
            rest = rest.substr(0, slashes);
        }
        int entries = 0;
        while (!rest.empty()) {
            const std::size_t semi = rest.find(';');
            const std::string_view entry = rest.substr(0, semi);
            rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
            const std::size_t gt = entry.find('>');
            const qint64 target =
                gt == std::string_view::npos || gt + 2 > entry.size() ? -1 : parseCount(entry.substr(gt + 2));
            if (target < 0 || target > 2147483647 || gt == 0)
                return failEntries(entries, QStringLiteral("the successor entry ") + quoted(entry) +
                                                QStringLiteral(" does not read as NAME>M<number>"));
            m_out.Targets.push_back(static_cast<qint32>(target));
            const int local = label(entry.substr(0, gt));
            m_out.Labels.push_back(local);
            ++entries;
        }
        if (entries == 0 && !m_allowDead) {
            // Without successors the marking is dead, whichever form the line has.
            m_out.Tokens.resize(m_out.Tokens.size() - static_cast<std::size_t>(m_places));
            m_out.Dead = true;
            m_out.ErrorLine = m_out.Lines;
            return false;
        }
        int multipliers = 0;
        if (hasRates) {
            if (!m_out.AnyMultiplier)
                m_out.Multipliers.assign(m_out.Targets.size() - static_cast<std::size_t>(entries), 1.0);
            m_out.AnyMultiplier = true;
            while (!rates.empty()) {
                const std::size_t semi = rates.find(';');
                const std::string_view text = rates.substr(0, semi);
                rates = semi == std::string_view::npos ? std::string_view() : rates.substr(semi + 1);
                double v = 0;
                const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
                if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() ||
                    !std::isfinite(v) || v < 0)
                    return failEntries(entries, quoted(text) + QStringLiteral(" is not a multiplier"));
                if (multipliers < entries)
                    m_out.Multipliers.push_back(v);
                ++multipliers;
            }
            if (multipliers != entries) {
                m_out.Multipliers.resize(m_out.Multipliers.size() -
                                         static_cast<std::size_t>(std::min(multipliers, entries)));
                return failEntries(
                    entries,
                    QStringLiteral("%1 multipliers for %2 successor entries").arg(multipliers).arg(entries));
            }
        } else if (m_out.AnyMultiplier) {
            m_out.Multipliers.insert(m_out.Multipliers.end(), static_cast<std::size_t>(entries), 1.0);
        }
        m_out.EntryCount.push_back(entries);
        return true;
    }

    // The usual line in one pass over its bytes: "M<n> = [" whole counts
    // "] [" one or more NAME>M<n> entries, each but perhaps the last ended by
    // ";", no multipliers. False, having kept nothing, for any other shape,
    // which the general reading above then takes (with its messages).
    bool plainMarking(std::string_view line)
    {
        if (!looksLikeMarking(line))
            return false;
        const char* p = line.data();
        const char* const end = p + line.size();
        // Past "M<n> = [".
        ++p;
        while (*p >= '0' && *p <= '9')
            ++p;
        p += 4;
        const std::size_t tokensBefore = m_out.Tokens.size();
        const std::size_t entriesBefore = m_out.Targets.size();
        const auto undo = [&] {
            m_out.Tokens.resize(tokensBefore);
            m_out.Targets.resize(entriesBefore);
            m_out.Labels.resize(entriesBefore);
            return false;
        };
        for (int i = 0;; ++i) {
            const char* digits = p;
            qint32 value = 0;
            while (p < end && *p >= '0' && *p <= '9' && p - digits < 9)
                value = value * 10 + (*p++ - '0');
            if (p == digits || p == end || i >= m_places)
                return undo();
            m_out.Tokens.push_back(value);
            if (*p == ']') {
                if (i + 1 != m_places)
                    return undo();
                break;
            }
            if (*p++ != ',')
                return undo();
        }
        if (end - p < 3 || p[1] != ' ' || p[2] != '[')
            return undo();
        p += 3;
        int entries = 0;
        while (p < end) {
            const char* name = p;
            while (p < end && *p != '>' && *p != ';' && *p != '\\')
                ++p;
            if (p == name || p + 1 >= end || *p != '>' || p[1] != 'M')
                return undo();
            const std::string_view labelText(name, static_cast<std::size_t>(p - name));
            p += 2;
            const char* digits = p;
            qint32 target = 0;
            while (p < end && *p >= '0' && *p <= '9' && p - digits < 9)
                target = target * 10 + (*p++ - '0');
            if (p == digits || (p < end && *p != ';'))
                return undo();
            if (p < end)
                ++p;
            m_out.Targets.push_back(target);
            m_out.Labels.push_back(label(labelText));
            ++entries;
        }
        if (entries == 0)
            return undo();
        if (m_out.AnyMultiplier)
            m_out.Multipliers.insert(m_out.Multipliers.end(), static_cast<std::size_t>(entries), 1.0);
        m_out.EntryCount.push_back(entries);
        return true;
    }

    bool failEntries(int entries, const QString& message)
    {
        m_out.Targets.resize(m_out.Targets.size() - static_cast<std::size_t>(entries));
        m_out.Labels.resize(m_out.Labels.size() - static_cast<std::size_t>(entries));
        m_out.Tokens.resize(m_out.Tokens.size() - static_cast<std::size_t>(m_places));
        return fail(message);
    }

    // The local number of a label. Short labels (all but long paths) are
    // remembered by their bytes in a small table before the dictionary is asked.
    int label(std::string_view text)
    {
        if (text.size() > 16)
            return m_out.Dict.FindOrAdd(text);
        quint64 word[2] = {0, 0};
        std::memcpy(word, text.data(), text.size());
        const quint64 h = (word[0] * 0x9E3779B97F4A7C15ull) ^ (word[1] * 0xC2B2AE3D27D4EB4Full) ^ text.size();
        TCached& c = m_cache[(h >> 57) & 63];
        if (c.Id >= 0 && c.Word[0] == word[0] && c.Word[1] == word[1] && c.Size == text.size())
            return c.Id;
        c.Id = m_out.Dict.FindOrAdd(text);
        c.Word[0] = word[0];
        c.Word[1] = word[1];
        c.Size = text.size();
        return c.Id;
    }

    struct TCached
    {
        quint64 Word[2] = {0, 0};
        std::size_t Size = 0;
        int Id = -1;
    };
    int m_places;
    bool m_allowDead;
    TPartial& m_out;
    TCached m_cache[64];
};

// Reads the lines of [begin, end) (whole lines) into `out`.
void readLines(const char* begin, const char* end, int placeCount, bool allowDead, TPartial& out)
{
    TLineReader reader(placeCount, allowDead, out);
    while (begin < end) {
        const char* nl =
            static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
        const char* stop = nl ? nl : end;
        if (!reader.Line(std::string_view(begin, static_cast<std::size_t>(stop - begin))))
            return;
        begin = nl ? nl + 1 : end;
    }
}

class TGraphAssembler
{
public:
    TGraphAssembler(TChainGraph& graph) : m_graph(graph) {}

    // Appends what a partial read; false (with the status) when it met an
    // error or a dead marking.
    // Appends the two halves of a block, in order; the copying of large
    // halves without multipliers, errors or dead markings runs on two threads.
    bool AppendBoth(TPartial& first, TPartial& second, qint64 firstLine, TGraphReadStatus& status)
    {
        const auto plain = [](const TPartial& p) {
            return !p.Dead && p.Error.isEmpty() && !p.AnyMultiplier && p.Targets.size() > (1u << 16);
        };
        if (m_anyMultiplier || !plain(first) || !plain(second))
            return Append(first, firstLine, status) && Append(second, firstLine + first.Lines, status);
        mapLabels(first);
        mapLabels(second);
        const std::size_t tokens = m_graph.Tokens.Size();
        const std::size_t entries = m_graph.EntryTarget.size();
        const std::size_t markings = m_graph.EntryStart.size();
        m_graph.Tokens.Widen(std::max(TTokenTable::BytesFor(first.Tokens.data(), first.Tokens.size()),
                                      TTokenTable::BytesFor(second.Tokens.data(), second.Tokens.size())));
        m_graph.Tokens.Resize(tokens + first.Tokens.size() + second.Tokens.size());
        ResizeLarge(m_graph.EntryTarget, entries + first.Targets.size() + second.Targets.size(), 0);
        ResizeLarge(m_graph.EntryLabel, entries + first.Targets.size() + second.Targets.size(), 0);
        ResizeLarge(m_graph.EntryStart, markings + first.EntryCount.size() + second.EntryCount.size(), 0);
        std::thread worker([&] {
            copyInto(second, tokens + first.Tokens.size(), entries + first.Targets.size(),
                     markings + first.EntryCount.size());
        });
        copyInto(first, tokens, entries, markings);
        worker.join();
        for (const TPartial* p : {&first, &second}) {
            m_graph.MarkingCount += static_cast<int>(p->EntryCount.size());
            if (p->Totally >= 0)
                Totally = p->Totally;
            if (p->Limit)
                Limit = true;
        }
        return true;
    }

    bool Append(TPartial& p, qint64 firstLine, TGraphReadStatus& status)
    {
        mapLabels(p);
        PrefaultTail(m_graph.EntryTarget, p.Targets.size());
        PrefaultTail(m_graph.EntryLabel, p.Labels.size());
        m_graph.Tokens.Append(p.Tokens.data(), p.Tokens.size());
        qint64 at = m_graph.EntryStart.back();
        for (qint32 c : p.EntryCount) {
            at += c;
            m_graph.EntryStart.push_back(at);
        }
        m_graph.EntryTarget.insert(m_graph.EntryTarget.end(), p.Targets.begin(), p.Targets.end());
        for (qint32 l : p.Labels)
            m_graph.EntryLabel.push_back(p.ToGlobal[static_cast<std::size_t>(l)]);
        if (p.AnyMultiplier && !m_anyMultiplier) {
            m_anyMultiplier = true;
            m_graph.EntryMultiplier.assign(m_graph.EntryTarget.size() - p.Targets.size(), 1.0);
        }
        if (m_anyMultiplier && p.AnyMultiplier)
            m_graph.EntryMultiplier.insert(m_graph.EntryMultiplier.end(), p.Multipliers.begin(),
                                           p.Multipliers.end());
        else if (m_anyMultiplier)
            m_graph.EntryMultiplier.insert(m_graph.EntryMultiplier.end(), p.Targets.size(), 1.0);
        m_graph.MarkingCount += static_cast<int>(p.EntryCount.size());
        if (p.Totally >= 0)
            Totally = p.Totally;
        if (p.Limit)
            Limit = true;
        if (p.Dead) {
            status.Result = grDeadMarking;
            status.Message = QString::fromLatin1(GraphTexts::DeadMarkings);
            return false;
        }
        if (!p.Error.isEmpty()) {
            status.Result = grError;
            status.Message = QStringLiteral("line %1: %2").arg(firstLine + p.ErrorLine).arg(p.Error);
            return false;
        }
        return true;
    }

    // Graph labels for the labels the partial met first since it was last appended.
    void mapLabels(TPartial& p)
    {
        for (std::size_t id = p.ToGlobal.size(); id < p.Dict.Names().size(); ++id) {
            const std::string& name = p.Dict.Names()[id];
            p.ToGlobal.push_back(m_labels.FindOrAdd(name));
            if (static_cast<int>(m_labels.Names().size()) > m_graph.Labels.size())
                m_graph.Labels << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        }
    }

    // Copies what a partial read to the given places of the graph's arrays.
    void copyInto(const TPartial& p, std::size_t tokens, std::size_t entries, std::size_t marking)
    {
        m_graph.Tokens.CopyIn(tokens, p.Tokens.data(), p.Tokens.size());
        auto at = static_cast<qint64>(entries);
        for (qint32 c : p.EntryCount) {
            at += c;
            m_graph.EntryStart[marking++] = at;
        }
        std::copy(p.Targets.begin(), p.Targets.end(),
                  m_graph.EntryTarget.begin() + static_cast<std::ptrdiff_t>(entries));
        qint32* label = m_graph.EntryLabel.data() + entries;
        for (qint32 l : p.Labels)
            *label++ = p.ToGlobal[static_cast<std::size_t>(l)];
    }

    void Reserve(qint64 entries, qint64 markings)
    {
        m_graph.EntryTarget.reserve(static_cast<std::size_t>(entries));
        m_graph.EntryLabel.reserve(static_cast<std::size_t>(entries));
        m_graph.EntryStart.reserve(static_cast<std::size_t>(markings) + 1);
        m_graph.Tokens.Reserve(static_cast<std::size_t>(markings) *
                               static_cast<std::size_t>(m_graph.PlaceCount()));
    }

    qint64 Totally = -1;
    bool Limit = false;

private:
    TChainGraph& m_graph;
    TLabelDict m_labels;
    bool m_anyMultiplier = false;
};

// Checks what can only be checked once everything was read.
bool finishGraph(TChainGraph& graph, TGraphReadStatus& status)
{
    const qint32 n = graph.MarkingCount;
    for (std::size_t e = 0; e < graph.EntryTarget.size(); ++e) {
        if (graph.EntryTarget[e] >= n) {
            int k = 0;
            while (graph.EntryStart[static_cast<std::size_t>(k) + 1] <= static_cast<qint64>(e))
                ++k;
            status.Result = grError;
            status.Message = QStringLiteral("marking M%1 leads to M%2, but the graph has %3 markings")
                                 .arg(k)
                                 .arg(graph.EntryTarget[e])
                                 .arg(n);
            return false;
        }
    }
    if (!graph.EntryMultiplier.empty()) {
        bool allOne = true;
        for (double m : graph.EntryMultiplier)
            allOne = allOne && m == 1.0;
        if (allOne)
            FreeVector(graph.EntryMultiplier);
    }
    return true;
}

// The header lines (comments, "Totally", "Positions", "!!!") before the first
// marking line; returns the offset of that line, or -1 after an error.
qint64 readHeader(const char* data, qint64 size, TChainGraph& graph, TGraphAssembler& assembler,
                  qint64& lines, TGraphReadStatus& status, bool& complete)
{
    qint64 pos = 0;
    complete = false;
    while (pos < size) {
        const char* begin = data + pos;
        const char* nl =
            static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(size - pos)));
        if (!nl)
            return pos; // an unfinished line: the caller reads more
        std::string_view line(begin, static_cast<std::size_t>(nl - begin));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line.front() != ';' && !looksLikeMarking(line)) {
            if (contains(line, "Totally")) {
                const std::size_t eq = line.find('=');
                const qint64 n = eq == std::string_view::npos || eq + 2 > line.size()
                                     ? -1
                                     : parseCount(line.substr(eq + 2));
                if (n < 0) {
                    status.Result = grError;
                    status.Message = QStringLiteral("line %1: the number of markings is not a whole number")
                                         .arg(lines + 1);
                    return -1;
                }
                assembler.Totally = n;
            } else if (contains(line, "Positions")) {
                const std::size_t colon = line.find(':');
                std::string_view names = colon == std::string_view::npos || colon + 2 > line.size()
                                             ? std::string_view()
                                             : line.substr(colon + 2);
                graph.PlaceNames.clear();
                while (!names.empty()) {
                    const std::size_t semi = names.find(';');
                    graph.PlaceNames << QString::fromUtf8(
                        names.data(), static_cast<qsizetype>(std::min(semi, names.size())));
                    names = semi == std::string_view::npos ? std::string_view() : names.substr(semi + 1);
                }
            } else if (contains(line, "[")) {
                complete = true;
                return pos;
            } else if (contains(line, "!!!")) {
                assembler.Limit = true;
            }
        } else if (!line.empty() && line.front() != ';') {
            complete = true;
            return pos;
        }
        ++lines;
        pos = nl + 1 - data;
    }
    return pos;
}

// Splits [begin, end) near its middle at a line end.
const char* middleLine(const char* begin, const char* end)
{
    const char* mid = begin + (end - begin) / 2;
    const char* nl = static_cast<const char*>(std::memchr(mid, '\n', static_cast<std::size_t>(end - mid)));
    return nl ? nl + 1 : end;
}

// Reads everything from `next` (which hands out the text block by block).
// Hands out a text in memory piece by piece, each piece whole lines of
// about `block` bytes ending with a line end (one is added to an unfinished
// last line). `done(bytes)` is told of the text handed out so far.
class TLinePieces
{
public:
    TLinePieces(const char* data, qint64 size, qint64 block) : m_data(data), m_size(size), m_block(block) {}

    bool Next(std::string_view& piece)
    {
        if (m_pos >= m_size)
            return false;
        const char* begin = m_data + m_pos;
        const qint64 rest = m_size - m_pos;
        qint64 length = std::min(rest, m_block);
        // Back to the last line end of the block, or on to the first one after it.
        const char* cut = static_cast<const char*>(memrchr(begin, '\n', static_cast<std::size_t>(length)));
        if (!cut && length < rest)
            cut = static_cast<const char*>(
                std::memchr(begin + length, '\n', static_cast<std::size_t>(rest - length)));
        if (cut) {
            length = cut + 1 - begin;
            piece = std::string_view(begin, static_cast<std::size_t>(length));
        } else {
            m_tail.assign(begin, static_cast<std::size_t>(rest));
            m_tail.push_back('\n');
            length = rest;
            piece = m_tail;
        }
        m_pos += length;
        return true;
    }
    qint64 Position() const { return m_pos; }

private:
    const char* m_data;
    qint64 m_size;
    qint64 m_block;
    qint64 m_pos = 0;
    std::string m_tail;
};

// Reads the graph from a text in memory. `released(bytes)` is told how much
// of the text was read and is no longer needed.
template <class Released>
TGraphReadStatus readGraph(TChainGraph& graph, const char* text, qint64 totalSize, Released released,
                           IQRVProgress* progress, bool allowDead)
{
    graph.Clear();
    graph.EntryStart.push_back(0);
    TGraphReadStatus status;
    TGraphAssembler assembler(graph);
    qint64 lines = 0;
    bool inBody = false;
    TPartial first, second;
    bool reserved = false;
    TLinePieces pieces(text, totalSize, 16 << 20);
    std::string_view piece;
    while (pieces.Next(piece)) {
        const char* data = piece.data();
        const qint64 size = static_cast<qint64>(piece.size());
        qint64 start = 0;
        if (!inBody) {
            bool complete = false;
            start = readHeader(data, size, graph, assembler, lines, status, complete);
            if (start < 0)
                return status;
            inBody = complete;
        }
        const char* begin = data + start;
        const char* end = data + size;
        if (inBody && end > begin) {
            const char* mid = middleLine(begin, end);
            first.ClearBlock();
            second.ClearBlock();
            const int places = graph.PlaceCount();
            if (end - begin > (1 << 20)) {
                std::thread worker([&] { readLines(mid, end, places, allowDead, second); });
                readLines(begin, mid, places, allowDead, first);
                worker.join();
            } else {
                readLines(begin, mid, places, allowDead, first);
                readLines(mid, end, places, allowDead, second);
            }
            // The first half stopped early only on an error, which ends the reading there.
            if (!assembler.AppendBoth(first, second, lines, status))
                return status;
            lines += first.Lines + second.Lines;
            if (!reserved && totalSize > 0 && graph.MarkingCount > 0) {
                // Room for the whole graph at the density of the first block.
                const double perByte = 1.0 / static_cast<double>(pieces.Position());
                assembler.Reserve(static_cast<qint64>(static_cast<double>(graph.EntryCount()) * perByte *
                                                      static_cast<double>(totalSize) * 1.02) +
                                      16,
                                  static_cast<qint64>(graph.MarkingCount * perByte *
                                                      static_cast<double>(totalSize) * 1.02) +
                                      16);
                reserved = true;
            }
        }
        released(pieces.Position());
        if (progress) {
            if (totalSize > 0)
                progress->Progress(static_cast<int>(pieces.Position() * 100 / totalSize));
            progress->Pump();
            if (progress->StopRequested()) {
                status.Result = grError;
                status.Message.clear();
                return status;
            }
        }
    }
    if (graph.PlaceCount() == 0 && graph.MarkingCount == 0 && assembler.Totally < 0) {
        status.Result = grError;
        status.Message = QStringLiteral("it is not a reachability graph file");
        return status;
    }
    if (!finishGraph(graph, status))
        return status;
    if (assembler.Limit) {
        status.Result = grLimitExceeded;
        status.Message = QString::fromLatin1(GraphTexts::LimitExceeded);
        return status;
    }
    if (assembler.Totally >= 0 && assembler.Totally != graph.MarkingCount) {
        status.Result = grError;
        status.Message = QStringLiteral("the file announces %1 markings but holds %2")
                             .arg(assembler.Totally)
                             .arg(graph.MarkingCount);
        return status;
    }
    if (graph.MarkingCount == 0) {
        status.Result = grError;
        status.Message = QStringLiteral("the graph holds no marking");
    }
    return status;
}

} // namespace

QString TChainGraph::LinksText(int k) const
{
    QString out;
    for (qint64 e = FirstEntry(k); e < EndEntry(k); ++e)
        out += Labels[EntryLabel[static_cast<std::size_t>(e)]] + QStringLiteral(">M") +
               QString::number(EntryTarget[static_cast<std::size_t>(e)]) + QLatin1Char(';');
    return out;
}

QString TChainGraph::RatesText(int k) const
{
    if (EntryMultiplier.empty())
        return QString();
    QString out;
    for (qint64 e = FirstEntry(k); e < EndEntry(k); ++e)
        out += FormatGeneral(EntryMultiplier[static_cast<std::size_t>(e)]) + QLatin1Char(';');
    return out;
}

void TChainGraph::Clear()
{
    PlaceNames.clear();
    MarkingCount = 0;
    Tokens.Clear();
    FreeVector(EntryStart);
    FreeVector(EntryTarget);
    FreeVector(EntryLabel);
    FreeVector(EntryMultiplier);
    Labels.clear();
}

std::size_t TChainGraph::MemoryBytes() const
{
    return Tokens.MemoryBytes() + EntryStart.capacity() * 8 + EntryTarget.capacity() * 4 +
           EntryLabel.capacity() * 4 + EntryMultiplier.capacity() * 8;
}

TGraphReadStatus ReadChainGraph(const QString& fileName, TChainGraph& graph, IQRVProgress* progress,
                                bool allowDead)
{
    QFile file(fileName);
    const auto cannot = [&](const QString& why) {
        graph.Clear();
        TGraphReadStatus status;
        status.Result = grError;
        status.Message = QStringLiteral("Cannot read %1: %2").arg(fileName, why);
        return status;
    };
    if (!file.open(QIODevice::ReadOnly))
        return cannot(file.errorString());
    // The file is read where it is mapped; what was read is given back at
    // once, so that memory grows with the graph, not with its text.
    const qint64 size = file.size();
    uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    QByteArray whole;
    const char* text = reinterpret_cast<const char*>(mapped);
    if (!mapped && size > 0) {
        whole = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return cannot(file.errorString());
        text = whole.constData();
    }
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    qint64 given = 0;
    TGraphReadStatus status = readGraph(
        graph, text, mapped ? size : whole.size(),
        [&](qint64 read) {
            if (!mapped)
                return;
            const auto upTo = static_cast<qint64>(static_cast<std::size_t>(read) / page * page);
            if (upTo > given) {
                madvise(mapped + given, static_cast<std::size_t>(upTo - given), MADV_DONTNEED);
                given = upTo;
            }
        },
        progress, allowDead);
    if (mapped)
        file.unmap(mapped);
    if (status.Result == grError && !status.Message.isEmpty() &&
        !status.Message.startsWith(QLatin1String("Cannot")))
        status.Message = QStringLiteral("Cannot read %1: %2").arg(fileName, status.Message);
    return status;
}

TGraphReadStatus ReadChainGraphText(const QByteArray& text, TChainGraph& graph, bool allowDead)
{
    return readGraph(
        graph, text.constData(), text.size(), [](qint64) {}, nullptr, allowDead);
}

TGraphReadStatus ChainGraphFromStore(const TMarkList& store, bool reduced, TChainGraph& graph, bool allowDead)
{
    TGraphReadStatus status;
    QString error;
    const auto failed = [&] {
        status.Result = grError;
        status.Message = error;
        return status;
    };
    graph.Clear();
    graph.PlaceNames = store.PlaceNames();
    const int n = store.Count();
    const int places = store.PlaceCount();
    for (int i = 0; i < places; ++i) {
        if (store.IsContinuousPlace(i)) {
            error = QStringLiteral("The graph holds the continuous place %1: the performance analyses "
                                   "work on nets of discrete places only.")
                        .arg(store.PlaceName(i));
            return failed();
        }
    }
    // Counts as wide as the store's fields; a store of unpacked values may
    // hold any count, and its counts are narrowed once copied when they fit.
    int tokenBytes = store.Packed() ? 1 : 4;
    if (store.Packed())
        for (int i = 0; i < places; ++i)
            tokenBytes = std::max(tokenBytes, TTokenTable::BytesFor(store.Layout().Max(i)));
    graph.Tokens.SetBytes(tokenBytes);
    graph.Tokens.Resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(places));
    ResizeLarge(graph.EntryStart, static_cast<std::size_t>(n) + 1, 0);
    graph.EntryStart[0] = 0;
    for (int m = 0; m < n; ++m)
        graph.EntryStart[static_cast<std::size_t>(m) + 1] =
            graph.EntryStart[static_cast<std::size_t>(m)] +
            static_cast<qint64>(store.EndArc(m) - store.FirstArc(m));
    const qint64 arcs = graph.EntryStart[static_cast<std::size_t>(n)];
    ResizeLarge(graph.EntryTarget, static_cast<std::size_t>(arcs), 0);
    ResizeLarge(graph.EntryLabel, static_cast<std::size_t>(arcs), 0);
    if (reduced)
        ResizeLarge(graph.EntryMultiplier, static_cast<std::size_t>(arcs), 0);

    // Each core copies a range of markings, entries with the store's labels,
    // and notes where each label is first used and its first refusal.
    struct TPart
    {
        std::vector<qint64> FirstUse; // per store label, -1 when unused
        int Failed = -1;              // the first refused marking
        QString Error;                // empty for a dead marking
        quint32 CountBits = 0;        // the bits of every count copied
    };
    const int parts = WorkerCount(arcs);
    std::vector<TPart> partOf(static_cast<std::size_t>(parts));
    RunParallelRows(
        n, parts, n,
        [&](qint64 begin, qint64 end, int part) {
            TPart& out = partOf[static_cast<std::size_t>(part)];
            std::vector<double> values(static_cast<std::size_t>(places));
            const double* v = values.data();
            // Kept in locals: the counts' single bytes may alias anything.
            const int width = places;
            quint32 countBits = 0;
            qint32* targets = graph.EntryTarget.data();
            qint32* labels = graph.EntryLabel.data();
            graph.Tokens.Visit([&](auto* tokens) {
                using TCount = std::remove_reference_t<decltype(*tokens)>;
                for (int m = static_cast<int>(begin); m < end; ++m) {
                    store.CopyValues(m, values.data());
                    TCount* row = tokens + static_cast<std::size_t>(m) * static_cast<std::size_t>(width);
                    for (int i = 0; i < width; ++i) {
                        const double x = v[i];
                        if (!(x >= 0 && x < 2147483648.0 &&
                              x == static_cast<double>(static_cast<qint32>(x))) ||
                            x == OmegaValue) {
                            out.Failed = m;
                            if (x == OmegaValue)
                                out.Error = QStringLiteral("A place holds an unbounded token count (w): the "
                                                           "chain has infinitely many states and no steady "
                                                           "state.");
                            else if (x >= 2147483648.0 && x == std::floor(x))
                                out.Error =
                                    QStringLiteral("Marking M%1 holds %2 tokens in %3: the performance "
                                                   "analyses count at most 2147483647.")
                                        .arg(m)
                                        .arg(FormatGeneral(x), store.PlaceName(i));
                            else
                                out.Error =
                                    QStringLiteral("Marking M%1 holds %2 tokens in %3, which is not a "
                                                   "whole number.")
                                        .arg(m)
                                        .arg(FormatGeneral(x), store.PlaceName(i));
                            return;
                        }
                        // Within the width: the store's field holds it.
                        row[i] = static_cast<TCount>(x);
                        countBits |= static_cast<quint32>(x);
                    }
                    const std::size_t last = store.EndArc(m);
                    if (last == store.FirstArc(m) && !allowDead) {
                        out.Failed = m;
                        return;
                    }
                    qint64 at = graph.EntryStart[static_cast<std::size_t>(m)];
                    for (std::size_t a = store.FirstArc(m); a < last; ++a, ++at) {
                        const TArc arc = store.ArcAt(a);
                        const auto label = static_cast<std::size_t>(arc.Label);
                        if (label >= out.FirstUse.size())
                            out.FirstUse.resize(label + 1, -1);
                        if (out.FirstUse[label] < 0)
                            out.FirstUse[label] = at;
                        targets[at] = arc.Target;
                        labels[at] = arc.Label;
                        if (reduced)
                            graph.EntryMultiplier[static_cast<std::size_t>(at)] = arc.Weight;
                    }
                }
            });
            out.CountBits = countBits;
        },
        nullptr);
    for (const TPart& part : partOf) {
        if (part.Failed < 0)
            continue;
        graph.Clear();
        if (part.Error.isEmpty()) {
            status.Result = grDeadMarking;
            status.Message = QString::fromLatin1(GraphTexts::DeadMarkings);
            return status;
        }
        error = part.Error;
        return failed();
    }
    quint32 countBits = 0;
    for (const TPart& part : partOf)
        countBits |= part.CountBits;
    graph.Tokens.SetBytes(TTokenTable::BytesFor(countBits));
    // Store labels become graph labels in the order of their first use.
    std::vector<qint64> firstUse;
    for (const TPart& part : partOf) {
        if (part.FirstUse.size() > firstUse.size())
            firstUse.resize(part.FirstUse.size(), -1);
        for (std::size_t label = 0; label < part.FirstUse.size(); ++label)
            if (part.FirstUse[label] >= 0 && (firstUse[label] < 0 || part.FirstUse[label] < firstUse[label]))
                firstUse[label] = part.FirstUse[label];
    }
    std::vector<std::pair<qint64, std::size_t>> uses;
    for (std::size_t label = 0; label < firstUse.size(); ++label)
        if (firstUse[label] >= 0)
            uses.emplace_back(firstUse[label], label);
    std::sort(uses.begin(), uses.end());
    std::vector<qint32> labelOf;
    TLabelDict dict;
    std::string text;
    for (const auto& use : uses) {
        text.clear();
        store.AppendLabel(text, static_cast<int>(use.second));
        const int id = dict.FindOrAdd(text);
        if (id == graph.Labels.size())
            graph.Labels << QString::fromStdString(text);
        if (use.second >= labelOf.size())
            labelOf.resize(use.second + 1, -1);
        labelOf[use.second] = id;
    }
    RunParallelRows(
        arcs, parts, arcs,
        [&](qint64 begin, qint64 end, int) {
            for (qint64 e = begin; e < end; ++e) {
                qint32& label = graph.EntryLabel[static_cast<std::size_t>(e)];
                label = labelOf[static_cast<std::size_t>(label)];
            }
        },
        nullptr);
    graph.MarkingCount = n;
    finishGraph(graph, status);
    return status;
}
