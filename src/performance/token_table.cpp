#include "performance/token_table.h"

#include <algorithm>
#include <type_traits>

#include "performance/large_arrays.h"

namespace {

// The counts of `from` into `to` (emptied first), in room for as many counts
// as `from` had room for.
template <class From, class To> void convert(From& from, To& to)
{
    using T = typename To::value_type;
    to.clear();
    to.reserve(std::max(from.capacity(), from.size()));
    PrefaultTail(to, from.size());
    to.resize(from.size());
    std::transform(from.begin(), from.end(), to.begin(), [](auto v) { return static_cast<T>(v); });
    FreeVector(from);
}

} // namespace

int TTokenTable::BytesFor(const qint32* values, std::size_t count)
{
    // The widths end at powers of two: the bits of all counts together
    // need the width of the largest.
    quint32 any = 0;
    for (std::size_t i = 0; i < count; ++i)
        any |= static_cast<quint32>(values[i]);
    return BytesFor(any);
}

std::size_t TTokenTable::Size() const
{
    return m_bytes == 1 ? m_counts1.size() : m_bytes == 2 ? m_counts2.size() : m_counts4.size();
}

void TTokenTable::Set(std::size_t i, qint32 value)
{
    Widen(BytesFor(static_cast<quint64>(value)));
    Visit([&](auto* t) { t[i] = static_cast<std::remove_reference_t<decltype(*t)>>(value); });
}

void TTokenTable::SetBytes(int bytes)
{
    if (bytes == m_bytes)
        return;
    withArray(bytes, [&](auto& to) { withCounts([&](auto& from) { convert(from, to); }); });
    m_bytes = bytes;
}

void TTokenTable::Reserve(std::size_t count)
{
    withCounts([&](auto& v) { v.reserve(count); });
}

void TTokenTable::Resize(std::size_t count)
{
    withCounts([&](auto& v) { ResizeLarge(v, count, 0); });
}

void TTokenTable::Append(const qint32* values, std::size_t count)
{
    Widen(BytesFor(values, count));
    withCounts([&](auto& to) {
        using T = typename std::remove_reference_t<decltype(to)>::value_type;
        PrefaultTail(to, count);
        const std::size_t at = to.size();
        to.resize(at + count);
        std::transform(values, values + count, to.begin() + static_cast<std::ptrdiff_t>(at),
                       [](qint32 v) { return static_cast<T>(v); });
    });
}

void TTokenTable::CopyIn(std::size_t at, const qint32* values, std::size_t count)
{
    Visit([&](auto* t) {
        using T = std::remove_reference_t<decltype(*t)>;
        std::transform(values, values + count, t + at, [](qint32 v) { return static_cast<T>(v); });
    });
}

void TTokenTable::Clear()
{
    FreeVector(m_counts1);
    FreeVector(m_counts2);
    FreeVector(m_counts4);
    m_bytes = 1;
}

std::size_t TTokenTable::MemoryBytes() const
{
    return m_counts1.capacity() + m_counts2.capacity() * 2 + m_counts4.capacity() * 4;
}

bool TTokenTable::operator==(const TTokenTable& other) const
{
    if (Size() != other.Size())
        return false;
    for (std::size_t i = 0; i < Size(); ++i)
        if (At(i) != other.At(i))
            return false;
    return true;
}
