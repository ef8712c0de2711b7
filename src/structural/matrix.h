// A matrix of reals with a label for every row and column, as the structural
// analysis builds, reduces and shows it. Incidence matrices and invariants are
// mostly zero: each row keeps only its non-zero cells, so that a net of
// thousands of places and transitions costs memory in proportion to its arcs.
#pragma once

#include <QStringList>

#include <vector>

class T2DMatrix
{
public:
    // A non-zero cell of a row.
    struct Entry
    {
        int Col;
        double Value;
        bool operator==(const Entry& other) const = default;
    };
    // The non-zero cells of a row in increasing column order.
    using SparseRow = std::vector<Entry>;

    // Entry 0 of each list labels the corner cell; row r is labelled by
    // RowLabels[r + 1], column c by ColLabels[c + 1].
    QStringList RowLabels;
    QStringList ColLabels;

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    int ColCount() const { return m_cols; }

    // Keeps the cells that still fit; new cells are 0.
    void SetSize(int rows, int cols);
    // 0 outside the matrix.
    double Get(int r, int c) const;
    // Ignored outside the matrix.
    void Put(int r, int c, double v);
    // Ignored when r is out of range; the labels are left as they are.
    void DeleteRow(int r);
    // Ignored when c is out of range; also deletes the column's label.
    void DeleteColumn(int c);

    // Whether no cell differs from 0 (also true for an empty matrix).
    bool IsZero() const;
    // The matrix with rows and columns (and their labels) exchanged.
    T2DMatrix Transposed() const;
    // Sets the size to n x n with 1 on the diagonal and 0 elsewhere.
    void SetUnit(int n);

    // The non-zero cells of a row.
    const SparseRow& Row(int r) const { return m_rows[static_cast<size_t>(r)]; }
    // Appends a row given by its non-zero cells (in increasing column order,
    // each column below ColCount).
    void AppendRow(SparseRow row);
    // Deletes every row whose flag is set, keeping the others in order
    // (labels untouched, as DeleteRow).
    void DeleteRows(const std::vector<char>& doomed);

private:
    std::vector<SparseRow> m_rows;
    int m_cols = 0;
};
