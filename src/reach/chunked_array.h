// Arrays that grow in fixed chunks: appending never moves what is stored, so
// a store of millions of markings neither copies itself nor needs twice its
// size while it grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

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
        if ((m_size >> ChunkBits) == m_chunks.size())
            m_chunks.emplace_back(new T[ChunkSize]);
        (*this)[m_size++] = value;
    }
    void pop_back() { --m_size; }
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
    std::vector<std::unique_ptr<T[]>> m_chunks;
    std::size_t m_size = 0;
};

// Rows of `width` doubles, allocated in chunks of whole rows.
class TRowArena
{
public:
    static constexpr int RowsBits = 10;
    static constexpr std::size_t RowsPerChunk = std::size_t(1) << RowsBits;

    void setWidth(int width)
    {
        clear();
        m_width = width;
    }
    int width() const { return m_width; }
    std::size_t rows() const { return m_rows; }

    double* row(std::size_t r)
    {
        return m_width == 0 ? m_empty : m_chunks[r >> RowsBits].get() + (r & (RowsPerChunk - 1)) * m_width;
    }
    const double* row(std::size_t r) const
    {
        return m_width == 0 ? m_empty : m_chunks[r >> RowsBits].get() + (r & (RowsPerChunk - 1)) * m_width;
    }
    // The row after the last one, allocated but not counted until commit().
    double* spare()
    {
        if ((m_rows >> RowsBits) == m_chunks.size() && m_width > 0)
            m_chunks.emplace_back(new double[RowsPerChunk * static_cast<std::size_t>(m_width)]);
        return row(m_rows);
    }
    void commit() { ++m_rows; }
    void truncate(std::size_t n)
    {
        if (n < m_rows)
            m_rows = n;
        m_chunks.resize((m_rows + RowsPerChunk - 1) >> RowsBits);
    }
    void clear()
    {
        m_chunks.clear();
        m_rows = 0;
    }
    std::size_t memoryBytes() const
    {
        return m_chunks.size() * RowsPerChunk * static_cast<std::size_t>(m_width) * sizeof(double);
    }

private:
    std::vector<std::unique_ptr<double[]>> m_chunks;
    std::size_t m_rows = 0;
    int m_width = 0;
    double m_empty[1] = {0.0};
};
