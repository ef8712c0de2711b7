// Group labels: how the user divides a net into numbered groups for the
// tensorial construction, which elements take part in the build of one
// group, and the records of the transitions that join neighbouring groups.
//
//   "g" + N        the element belongs to group N (groups numbered from 1)
//   "s" + A-B      a transition shared by groups A and B
//   "i" + A-B      an element of the interface between groups A and B (the
//                  construction labels its own temporary objects this way)
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class TQRVDesigner;
class TQRVObject;

enum TGroupLabelKind { glInvalid, glGroup, glShared, glInterface };

struct TGroupLabel
{
    TGroupLabelKind Kind = glInvalid;
    int A = 0; // the group of "g", the first group of "s" and "i"
    int B = 0; // the second group of "s" and "i"
};

// Groups are numbered 1 ... MaxGroupNumber, so that the number selecting the
// interface of two groups (InterfaceGroup) stays a 32-bit integer.
constexpr int MaxGroupNumber = 999;

// Reads a label ("g3", "s1-2", "i1-2"; the letter in either case). Anything
// else, also a group number outside 1 ... MaxGroupNumber or an "s" or "i"
// label naming one group twice, is glInvalid.
TGroupLabel ParseGroupLabel(const QString& text);

// The selected group that stands for the interface between groups A and B.
constexpr int InterfaceGroup(int a, int b)
{
    return a * 1000000 + b * 1000;
}

// Whether an element takes part in a build under the selected group:
// -1 takes every element; a group number takes the group's places and
// transitions, the transitions it shares and the arcs of its places; an
// interface number takes the elements labelled for that interface and the
// transitions the two groups share. Arcs labelled "s" + A-B belong to the
// group of their place.
bool GroupTakesPart(const TQRVObject* object, int selectedGroup);

// The record of one group: the transitions it shares with lower-numbered
// groups (side 0) and with higher-numbered ones (side 1), in net order, and
// per side the first arc (in net order) that joins one of the group's places
// to one of those transitions, with that place.
struct TGroup
{
    QStringList Shared[2];
    QString Arc[2];
    QString Place[2];
    // The second entry of a side's list when it has two or more, else the first.
    QString RecordedTransition(int side) const;
};

// What the label check found: empty when every label is usable, otherwise
// the element and what is wrong with it.
QString CheckGroupLabels(const TQRVDesigner& net);

// The records of groups 1, 2, ... up to the first number that no shared
// transition names (index = group number - 1). Needs labels that passed
// CheckGroupLabels.
std::vector<TGroup> BuildGroupRecords(const TQRVDesigner& net);

// Empty when every labelled element belongs to a group of the records;
// otherwise the message naming the group that cannot take part.
QString CheckGroupChain(const TQRVDesigner& net, int groupCount);
