// The token counts of a chain's markings, row by row, each count in the
// narrowest of 1, 2 or 4 bytes that holds every count held. Most nets count
// few tokens per place (0 to 5 on a Kanban net of millions of markings):
// single bytes take a quarter of the fresh pages the system must provide for
// four-byte counts, and a quarter of the memory every pass over the markings
// reads. Counts are whole numbers from 0 to 2^31 - 1.
//
// A loop over many counts asks for the array once, in its own width:
//   tokens.Visit([&](const auto* t) { for (...) sum += t[i]; });
#pragma once

#include <QtGlobal>

#include <cstddef>

#include "reach/large_memory.h"

class TTokenTable
{
public:
    // The width, in bytes, that holds every count from 0 to `largest`.
    static int BytesFor(quint64 largest) { return largest <= 0xFF ? 1 : largest <= 0xFFFF ? 2 : 4; }
    // The width that holds these counts (each 0 ≤ value).
    static int BytesFor(const qint32* values, std::size_t count);

    int Bytes() const { return m_bytes; }
    std::size_t Size() const;
    qint32 At(std::size_t i) const
    {
        switch (m_bytes) {
        case 1:
            return m_counts1[i];
        case 2:
            return m_counts2[i];
        default:
            return m_counts4[i];
        }
    }
    // Sets count i (0 ≤ value), widening every count first when it does not fit.
    void Set(std::size_t i, qint32 value);
    // Holds every count in `bytes` bytes (1, 2 or 4); the counts must fit.
    void SetBytes(int bytes);
    void Widen(int bytes)
    {
        if (bytes > m_bytes)
            SetBytes(bytes);
    }
    // Room for `count` counts in the width held, reserved without being touched.
    void Reserve(std::size_t count);
    // Holds `count` counts, those added 0.
    void Resize(std::size_t count);
    // Appends counts (each 0 ≤ value), widening first when one does not fit.
    void Append(const qint32* values, std::size_t count);
    // Writes counts over [at, at + count), which the table holds; they must fit.
    void CopyIn(std::size_t at, const qint32* values, std::size_t count);
    void Clear();
    std::size_t MemoryBytes() const;
    // The same counts, whatever the widths.
    bool operator==(const TTokenTable& other) const;

    // Calls `f` once with the counts as an array of their width (quint8,
    // quint16 or qint32) and returns what it returns.
    template <class F> decltype(auto) Visit(F&& f) const
    {
        switch (m_bytes) {
        case 1:
            return f(static_cast<const quint8*>(m_counts1.data()));
        case 2:
            return f(static_cast<const quint16*>(m_counts2.data()));
        default:
            return f(static_cast<const qint32*>(m_counts4.data()));
        }
    }
    template <class F> decltype(auto) Visit(F&& f)
    {
        switch (m_bytes) {
        case 1:
            return f(m_counts1.data());
        case 2:
            return f(m_counts2.data());
        default:
            return f(m_counts4.data());
        }
    }

private:
    // Calls `f` with the array of counts `bytes` wide.
    template <class F> void withArray(int bytes, F&& f)
    {
        if (bytes == 1)
            f(m_counts1);
        else if (bytes == 2)
            f(m_counts2);
        else
            f(m_counts4);
    }
    // Calls `f` with the array of the width held.
    template <class F> void withCounts(F&& f) { withArray(m_bytes, f); }

    int m_bytes = 1;
    // Only the array of the width held holds anything.
    TLargeVector<quint8> m_counts1;
    TLargeVector<quint16> m_counts2;
    TLargeVector<qint32> m_counts4;
};
