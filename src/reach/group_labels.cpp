#include "reach/group_labels.h"

#include <algorithm>
#include <map>

#include "model/arcs.h"
#include "model/designer.h"
#include "model/places.h"
#include "model/transitions.h"

namespace {

// A group number: decimal digits only, 1 ... MaxGroupNumber.
bool groupNumber(QStringView digits, int& number)
{
    if (digits.isEmpty() || digits.size() > 9)
        return false;
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return false;
    number = digits.toInt();
    return number >= 1 && number <= MaxGroupNumber;
}

bool isInterfaceSelection(int selected)
{
    return selected > 1000000;
}

bool namesInterface(const TGroupLabel& label, int selected)
{
    return isInterfaceSelection(selected) && selected / 1000000 == label.A &&
           (selected % 1000000) / 1000 == label.B;
}

// The place and the transition an arc joins (either may be missing).
TclsNode* placeOf(const TclsLink* arc)
{
    return arc->SourcePlace() ? arc->SourcePlace() : arc->DestPlace();
}

TclsTrans* transitionOf(const TclsLink* arc)
{
    return arc->SourceTrans() ? arc->SourceTrans() : arc->DestTrans();
}

// Whether a place or transition label belongs to group n (its own, or shared with it).
bool belongsTo(const TGroupLabel& label, int n)
{
    if (label.Kind == glGroup)
        return label.A == n;
    return label.Kind == glShared && (label.A == n || label.B == n);
}

bool takesPartInGroups(const TQRVObject* o)
{
    return qobject_cast<const TclsNode*>(o) || qobject_cast<const TclsTrans*>(o) ||
           qobject_cast<const TclsLink*>(o);
}

const QString kLabelForms = QStringLiteral("a label is g and a group number (g1), or, for a transition "
                                           "shared by two groups, s and the two numbers (s1-2)");

} // namespace

TGroupLabel ParseGroupLabel(const QString& text)
{
    TGroupLabel label;
    if (text.size() < 2)
        return label;
    const QChar letter = text.at(0).toLower();
    const QStringView rest = QStringView(text).mid(1);
    if (letter == u'g') {
        if (groupNumber(rest, label.A))
            label.Kind = glGroup;
        return label;
    }
    if (letter != u's' && letter != u'i')
        return label;
    const qsizetype dash = rest.indexOf(u'-');
    if (dash < 0 || !groupNumber(rest.left(dash), label.A) || !groupNumber(rest.mid(dash + 1), label.B) ||
        label.A == label.B)
        return label;
    label.Kind = letter == u's' ? glShared : glInterface;
    return label;
}

bool GroupTakesPart(const TQRVObject* object, int selected)
{
    if (selected == -1)
        return true;
    if (!object)
        return false;
    const TGroupLabel label = ParseGroupLabel(object->Group());
    switch (label.Kind) {
    case glGroup:
        return label.A == selected;
    case glInterface:
        return namesInterface(label, selected);
    case glShared:
        if (qobject_cast<const TclsTrans*>(object))
            return isInterfaceSelection(selected) ? namesInterface(label, selected)
                                                  : selected == label.A || selected == label.B;
        if (const auto* arc = qobject_cast<const TclsLink*>(object)) {
            // An arc of a shared transition is on the side of its place.
            const TclsNode* place = placeOf(arc);
            if (isInterfaceSelection(selected) || !place)
                return false;
            const TGroupLabel own = ParseGroupLabel(place->Group());
            return own.Kind == glGroup && own.A == selected;
        }
        return false;
    case glInvalid:
        break;
    }
    return false;
}

QString TGroup::RecordedTransition(int side) const
{
    const QStringList& list = Shared[side];
    return list.size() >= 2 ? list.at(1) : list.value(0);
}

QString CheckGroupLabels(const TQRVDesigner& net)
{
    // Places and transitions first: an arc is checked against its ends.
    for (const TQRVObject* o : net.ObjectList()) {
        if (!takesPartInGroups(o))
            continue;
        const TGroupLabel label = ParseGroupLabel(o->Group());
        if (o->Group().isEmpty())
            return QStringLiteral("%1 has no group label: %2.").arg(o->Name(), kLabelForms);
        if (label.Kind == glInvalid)
            return QStringLiteral("%1 has the group label \"%2\": %3.")
                .arg(o->Name(), o->Group(), kLabelForms);
        if (label.Kind == glInterface)
            return QStringLiteral("%1 has the group label \"%2\", which the construction keeps for its own "
                                  "elements: %3.")
                .arg(o->Name(), o->Group(), kLabelForms);
        if (qobject_cast<const TclsNode*>(o) && label.Kind != glGroup)
            return QStringLiteral("The place %1 has the group label \"%2\": a place belongs to one group "
                                  "(g1).")
                .arg(o->Name(), o->Group());
    }
    for (const TQRVObject* o : net.ObjectList()) {
        const auto* arc = qobject_cast<const TclsLink*>(o);
        if (!arc || !arc->IsConnected())
            continue;
        const TclsNode* place = placeOf(arc);
        const TclsTrans* trans = transitionOf(arc);
        if (!place || !trans)
            continue;
        const int group = ParseGroupLabel(place->Group()).A;
        if (!belongsTo(ParseGroupLabel(arc->Group()), group))
            return QStringLiteral("The arc %1 has the group label \"%2\", but its place %3 belongs to group "
                                  "%4.")
                .arg(arc->Name(), arc->Group(), place->Name())
                .arg(group);
        if (!belongsTo(ParseGroupLabel(trans->Group()), group))
            return QStringLiteral("The arc %1 joins %2 of group %3 to %4 (\"%5\"): a place is joined only to "
                                  "transitions of its own group or shared with it.")
                .arg(arc->Name(), place->Name())
                .arg(group)
                .arg(trans->Name(), trans->Group());
    }
    return QString();
}

std::vector<TGroup> BuildGroupRecords(const TQRVDesigner& net)
{
    std::map<int, TGroup> records;
    for (const TQRVObject* o : net.ObjectList()) {
        if (!qobject_cast<const TclsTrans*>(o))
            continue;
        const TGroupLabel label = ParseGroupLabel(o->Group());
        if (label.Kind != glShared)
            continue;
        records[label.A].Shared[label.B > label.A ? 1 : 0] << o->Name();
        records[label.B].Shared[label.A > label.B ? 1 : 0] << o->Name();
    }
    for (const TQRVObject* o : net.ObjectList()) {
        const auto* arc = qobject_cast<const TclsLink*>(o);
        if (!arc || !arc->IsConnected() || ParseGroupLabel(arc->Group()).Kind == glInterface)
            continue;
        const TclsNode* place = placeOf(arc);
        const TclsTrans* trans = transitionOf(arc);
        if (!place || !trans)
            continue;
        const TGroupLabel shared = ParseGroupLabel(trans->Group());
        const TGroupLabel own = ParseGroupLabel(place->Group());
        if (shared.Kind != glShared || own.Kind != glGroup || !belongsTo(shared, own.A))
            continue;
        auto it = records.find(own.A);
        if (it == records.end())
            continue;
        const int other = shared.A == own.A ? shared.B : shared.A;
        const int side = other > own.A ? 1 : 0;
        if (it->second.Arc[side].isEmpty()) {
            it->second.Arc[side] = arc->Name();
            it->second.Place[side] = place->Name();
        }
    }
    std::vector<TGroup> chain;
    for (int n = 1;; ++n) {
        auto it = records.find(n);
        if (it == records.end())
            break;
        chain.push_back(it->second);
    }
    return chain;
}

QString CheckGroupChain(const TQRVDesigner& net, int groupCount)
{
    for (const TQRVObject* o : net.ObjectList()) {
        if (!takesPartInGroups(o))
            continue;
        const TGroupLabel label = ParseGroupLabel(o->Group());
        const int highest = label.Kind == glShared ? std::max(label.A, label.B) : label.A;
        if (label.Kind != glInvalid && highest > groupCount)
            return QStringLiteral("Group %1 cannot take part: the groups are combined in the order 1, 2, 3, "
                                  "... and each needs a transition it shares with another group (labelled s "
                                  "and the two numbers, as s1-2); there is none for group %2.")
                .arg(highest)
                .arg(groupCount + 1);
    }
    return QString();
}
