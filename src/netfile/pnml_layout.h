// A layered drawing of a graph, for nets whose file says nothing about where
// their places and transitions stand.
#pragma once

#include <QList>
#include <QPair>
#include <QPointF>

struct TLayeredLayoutInput
{
    int Count = 0;                // nodes 0 .. Count-1, in document order
    QList<QPair<int, int>> Edges; // directed, from first to second
    QList<bool> PreferredRoots;   // nodes that start a component without sources (marked places)
    double ColumnPitch = 100;     // distance of neighbours in a row
    double RowPitch = 80;         // distance of rows
    int MaxPerRow = 16;           // a longer layer continues on the next row
};

// The centres of the nodes. Each weakly connected component is drawn on its
// own, the components side by side: the nodes without inputs (or else the
// preferred roots, or else the first node) form the top row, every other node
// sits one row below the nearest node it is reached from, and each row is
// ordered by the positions of the nodes above it. Every centre lies on the
// grid of the pitches, the first row and column at (Pitch, Pitch).
QList<QPointF> LayeredLayout(const TLayeredLayoutInput& input);
