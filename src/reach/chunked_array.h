// Arrays that grow in fixed chunks: appending never moves what is stored, so
// a store of millions of markings neither copies itself nor needs twice its
// size while it grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "reach/large_memory.h"

// A chunk of `Size` values of a trivial type, from AllocateBlock.
template <class T> class TBlockDeleter
{
public:
    explicit TBlockDeleter(std::size_t bytes = 0) : m_bytes(bytes) {}
    void operator()(T* block) const noexcept { FreeBlock(block, m_bytes); }

private:
    std::size_t m_bytes;
};
template <class T> using TBlock = std::unique_ptr<T[], TBlockDeleter<T>>;

template <class T> TBlock<T> MakeBlock(std::size_t count)
{
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>,
                  "blocks hold plain values");
    const std::size_t bytes = count * sizeof(T);
    return TBlock<T>(static_cast<T*>(AllocateBlock(bytes)), TBlockDeleter<T>(bytes));
}

template <class T, int ChunkBits = 12> class TChunkedArray
{
public:
    static constexpr std::size_t ChunkSize = std::size_t(1) << ChunkBits;

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](std::size_t i) { return m_chunks[i >> ChunkBits][i & (ChunkSize - 1)]; }
    const T& operator[](std::size_t i) const { return m_chunks[i >> ChunkBits][i & (ChunkSize - 1)]; }

    void push_back(const T& value)
    {
        if ((m_size >> ChunkBits) == m_chunks.size()) {
            m_chunks.reserve(m_chunks.size() + 1);
            m_chunks.push_back(MakeBlock<T>(ChunkSize));
        }
        (*this)[m_size++] = value;
    }
    void pop_back() { --m_size; }
    // Room in the list of chunks for `n` values: until then appending moves
    // no part of the array, so that another thread may read the values
    // stored before.
    void reserve(std::size_t n) { m_chunks.reserve((n + ChunkSize - 1) >> ChunkBits); }
    T& back() { return (*this)[m_size - 1]; }

    // Shrinks to `n` elements (growing is done by push_back) and frees unused chunks.
    void truncate(std::size_t n)
    {
        if (n < m_size)
            m_size = n;
        m_chunks.resize((m_size + ChunkSize - 1) >> ChunkBits);
    }
    void clear()
    {
        m_chunks.clear();
        m_size = 0;
    }
    std::size_t memoryBytes() const
    {
        return m_chunks.size() * ChunkSize * sizeof(T) + m_chunks.capacity() * sizeof(void*);
    }

private:
    std::vector<TBlock<T>> m_chunks;
    std::size_t m_size = 0;
};

// Rows of `width` values, allocated in chunks of whole rows: up to 1024
// rows, fewer when rows are wide, so that a chunk stays near a megabyte.
template <class T> class TRowArenaOf
{
public:
    void setWidth(int width)
    {
        clear();
        m_width = width;
        const std::size_t rowBytes = sizeof(T) * static_cast<std::size_t>(width > 0 ? width : 1);
        m_bits = 10;
        while (m_bits > 0 && (rowBytes << m_bits) > (std::size_t(1) << 20))
            --m_bits;
    }
    int width() const { return m_width; }
    std::size_t rows() const { return m_rows; }

    T* row(std::size_t r)
    {
        return m_width == 0 ? m_empty : m_chunks[r >> m_bits].get() + (r & mask()) * m_width;
    }
    const T* row(std::size_t r) const
    {
        return m_width == 0 ? m_empty : m_chunks[r >> m_bits].get() + (r & mask()) * m_width;
    }
    // The row after the last one, allocated but not counted until commit().
    T* spare()
    {
        if ((m_rows >> m_bits) == m_chunks.size() && m_width > 0) {
            m_chunks.reserve(m_chunks.size() + 1);
            m_chunks.push_back(MakeBlock<T>(chunkValues()));
        }
        return row(m_rows);
    }
    void commit() { ++m_rows; }
    // As TChunkedArray::reserve, for `n` rows.
    void reserve(std::size_t n) { m_chunks.reserve(chunksFor(n)); }
    std::size_t chunksFor(std::size_t n) const { return m_width == 0 ? 0 : (n + mask()) >> m_bits; }
    void truncate(std::size_t n)
    {
        if (n < m_rows)
            m_rows = n;
        m_chunks.resize((m_rows + mask()) >> m_bits);
    }
    void clear()
    {
        m_chunks.clear();
        m_chunks.shrink_to_fit();
        m_rows = 0;
    }
    std::size_t memoryBytes() const
    {
        return m_chunks.size() * chunkValues() * sizeof(T) + m_chunks.capacity() * sizeof(void*);
    }

private:
    std::size_t mask() const { return (std::size_t(1) << m_bits) - 1; }
    std::size_t chunkValues() const { return (std::size_t(1) << m_bits) * static_cast<std::size_t>(m_width); }

    std::vector<TBlock<T>> m_chunks;
    std::size_t m_rows = 0;
    int m_width = 0;
    int m_bits = 10;
    T m_empty[1] = {T()};
};

using TRowArena = TRowArenaOf<double>;
