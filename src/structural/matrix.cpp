#include "structural/matrix.h"

#include <algorithm>

void T2DMatrix::SetSize(int rows, int cols)
{
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    m_cells.resize(static_cast<size_t>(rows));
    for (std::vector<double>& row : m_cells)
        row.resize(static_cast<size_t>(cols), 0.0);
    m_cols = cols;
}

double T2DMatrix::Get(int r, int c) const
{
    if (r < 0 || r >= RowCount() || c < 0 || c >= m_cols)
        return 0.0;
    return m_cells[static_cast<size_t>(r)][static_cast<size_t>(c)];
}

void T2DMatrix::Put(int r, int c, double v)
{
    if (r < 0 || r >= RowCount() || c < 0 || c >= m_cols)
        return;
    m_cells[static_cast<size_t>(r)][static_cast<size_t>(c)] = v;
}

void T2DMatrix::DeleteRow(int r)
{
    if (r < 0 || r >= RowCount())
        return;
    m_cells.erase(m_cells.begin() + r);
}

void T2DMatrix::DeleteColumn(int c)
{
    if (c < 0 || c >= m_cols)
        return;
    for (std::vector<double>& row : m_cells)
        row.erase(row.begin() + c);
    --m_cols;
    if (c + 1 < ColLabels.size())
        ColLabels.removeAt(c + 1);
}

bool T2DMatrix::IsZero() const
{
    for (const std::vector<double>& row : m_cells)
        for (double v : row)
            if (v != 0.0)
                return false;
    return true;
}

T2DMatrix T2DMatrix::Transposed() const
{
    T2DMatrix t;
    t.SetSize(m_cols, RowCount());
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < m_cols; ++c)
            t.m_cells[static_cast<size_t>(c)][static_cast<size_t>(r)] =
                m_cells[static_cast<size_t>(r)][static_cast<size_t>(c)];
    t.RowLabels = ColLabels;
    t.ColLabels = RowLabels;
    return t;
}

void T2DMatrix::SetUnit(int n)
{
    m_cells.clear();
    SetSize(n, n);
    for (int i = 0; i < n; ++i)
        m_cells[static_cast<size_t>(i)][static_cast<size_t>(i)] = 1.0;
}

void T2DMatrix::AppendRow(std::vector<double> row)
{
    row.resize(static_cast<size_t>(m_cols), 0.0);
    m_cells.push_back(std::move(row));
}

void T2DMatrix::DeleteRows(const std::vector<char>& doomed)
{
    size_t kept = 0;
    for (size_t r = 0; r < m_cells.size(); ++r) {
        if (r < doomed.size() && doomed[r])
            continue;
        if (kept != r)
            m_cells[kept] = std::move(m_cells[r]);
        ++kept;
    }
    m_cells.resize(kept);
}
