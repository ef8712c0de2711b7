#include "structural/matrix.h"

#include <algorithm>

namespace {

// The position of column c in a row, or of the first cell after it.
T2DMatrix::SparseRow::const_iterator find(const T2DMatrix::SparseRow& row, int c)
{
    return std::lower_bound(row.begin(), row.end(), c,
                            [](const T2DMatrix::Entry& e, int col) { return e.Col < col; });
}

} // namespace

void T2DMatrix::SetSize(int rows, int cols)
{
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    m_rows.resize(static_cast<size_t>(rows));
    if (cols < m_cols)
        for (SparseRow& row : m_rows)
            row.erase(find(row, cols), row.end());
    m_cols = cols;
}

double T2DMatrix::Get(int r, int c) const
{
    if (r < 0 || r >= RowCount() || c < 0 || c >= m_cols)
        return 0.0;
    const SparseRow& row = m_rows[static_cast<size_t>(r)];
    const auto it = find(row, c);
    return it != row.end() && it->Col == c ? it->Value : 0.0;
}

void T2DMatrix::Put(int r, int c, double v)
{
    if (r < 0 || r >= RowCount() || c < 0 || c >= m_cols)
        return;
    SparseRow& row = m_rows[static_cast<size_t>(r)];
    const auto at = row.begin() + (find(row, c) - row.cbegin());
    const bool present = at != row.end() && at->Col == c;
    if (v == 0.0) {
        if (present)
            row.erase(at);
    } else if (present) {
        at->Value = v;
    } else {
        row.insert(at, Entry{c, v});
    }
}

void T2DMatrix::DeleteRow(int r)
{
    if (r < 0 || r >= RowCount())
        return;
    m_rows.erase(m_rows.begin() + r);
}

void T2DMatrix::DeleteColumn(int c)
{
    if (c < 0 || c >= m_cols)
        return;
    for (SparseRow& row : m_rows) {
        auto at = row.begin() + (find(row, c) - row.cbegin());
        if (at != row.end() && at->Col == c)
            at = row.erase(at);
        for (; at != row.end(); ++at)
            --at->Col;
    }
    --m_cols;
    if (c + 1 < ColLabels.size())
        ColLabels.removeAt(c + 1);
}

bool T2DMatrix::IsZero() const
{
    for (const SparseRow& row : m_rows)
        if (!row.empty())
            return false;
    return true;
}

T2DMatrix T2DMatrix::Transposed() const
{
    T2DMatrix t;
    t.SetSize(m_cols, RowCount());
    std::vector<size_t> counts(static_cast<size_t>(m_cols), 0);
    for (const SparseRow& row : m_rows)
        for (const Entry& e : row)
            ++counts[static_cast<size_t>(e.Col)];
    for (int c = 0; c < m_cols; ++c)
        t.m_rows[static_cast<size_t>(c)].reserve(counts[static_cast<size_t>(c)]);
    // Rows are visited in order, so every row of the transpose comes out sorted.
    for (int r = 0; r < RowCount(); ++r)
        for (const Entry& e : m_rows[static_cast<size_t>(r)])
            t.m_rows[static_cast<size_t>(e.Col)].push_back(Entry{r, e.Value});
    t.RowLabels = ColLabels;
    t.ColLabels = RowLabels;
    return t;
}

void T2DMatrix::SetUnit(int n)
{
    m_rows.clear();
    SetSize(n, n);
    for (int i = 0; i < n; ++i)
        m_rows[static_cast<size_t>(i)].push_back(Entry{i, 1.0});
}

void T2DMatrix::AppendRow(SparseRow row)
{
    m_rows.push_back(std::move(row));
}

void T2DMatrix::DeleteRows(const std::vector<char>& doomed)
{
    size_t kept = 0;
    for (size_t r = 0; r < m_rows.size(); ++r) {
        if (r < doomed.size() && doomed[r])
            continue;
        if (kept != r)
            m_rows[kept] = std::move(m_rows[r]);
        ++kept;
    }
    m_rows.resize(kept);
}
