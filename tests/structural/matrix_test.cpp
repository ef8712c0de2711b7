// The labelled matrix: sizes, bounds, deletions.
#include <gtest/gtest.h>

#include "structural/matrix.h"

TEST(Matrix, KeepsCellsOnResizeAndIgnoresAccessOutside)
{
    T2DMatrix m;
    m.SetSize(2, 2);
    m.Put(0, 0, 1);
    m.Put(1, 1, 4);
    m.Put(2, 0, 9);  // outside: ignored
    m.Put(0, -1, 9); // outside: ignored
    m.SetSize(3, 1);
    EXPECT_EQ(m.RowCount(), 3);
    EXPECT_EQ(m.ColCount(), 1);
    EXPECT_EQ(m.Get(0, 0), 1);
    EXPECT_EQ(m.Get(1, 0), 0);
    EXPECT_EQ(m.Get(1, 1), 0); // cut off, and outside now
    EXPECT_EQ(m.Get(2, 0), 0); // new cell
    EXPECT_EQ(m.Get(-1, 0), 0);
}

TEST(Matrix, DeletesRowsAndColumnsWithTheirLabelsAsDocumented)
{
    T2DMatrix m;
    m.SetSize(3, 3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m.Put(r, c, r * 10 + c);
    m.RowLabels = QStringList{"", "a", "b", "c"};
    m.ColLabels = QStringList{"", "x", "y", "z"};

    m.DeleteRow(1);
    m.DeleteRow(7); // ignored
    EXPECT_EQ(m.RowCount(), 2);
    EXPECT_EQ(m.Get(1, 2), 22);
    EXPECT_EQ(m.RowLabels.size(), 4); // a row's label stays

    m.DeleteColumn(0);
    m.DeleteColumn(5); // ignored
    EXPECT_EQ(m.ColCount(), 2);
    EXPECT_EQ(m.Get(0, 0), 1);
    EXPECT_EQ(m.ColLabels, (QStringList{"", "y", "z"}));

    EXPECT_FALSE(m.IsZero());
    const T2DMatrix t = m.Transposed();
    EXPECT_EQ(t.RowCount(), 2);
    EXPECT_EQ(t.Get(1, 1), m.Get(1, 1));
    EXPECT_EQ(t.Get(0, 1), m.Get(1, 0));
    EXPECT_EQ(t.RowLabels, m.ColLabels);

    T2DMatrix empty;
    EXPECT_TRUE(empty.IsZero());
}
