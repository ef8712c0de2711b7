// Conflict sets: transitions that compete, directly or through others, for
// a common input place joined to them by normal arcs. The firing
// probabilities of enabled immediate transitions are shared within a set.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct TConflict
{
    // Transition names, sorted without regard to case, without duplicates.
    QStringList Names;
    // Parallel to Names: the transition's position in the store's transition
    // list, or -1 when it does not take part in the build.
    QList<int> Transitions;
    // Names of the input places of these transitions joined by normal arcs, sorted.
    QStringList Places;
};

// What the conflict sets are computed from: one entry per transition of the
// net, in net object order.
struct TConflictInput
{
    QString Name;
    int Transition = -1; // position in the store's transition list, or -1
    QStringList NormalInputPlaces;
};

// The conflict sets with at least two transitions.
QList<TConflict> BuildConflicts(const QList<TConflictInput>& transitions);
