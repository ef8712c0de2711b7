// What the standard part of a PNML file says about an element of a net. The
// export writes these values; the import compares them with the file, so
// that an element another program changed takes the file's values while an
// unchanged one comes back exactly as it was.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

class TQRVLinkBase;
class TQRVObject;
class TclsLink;
class TclsNode;

namespace PnmlView {

inline QString Namespace()
{
    return QStringLiteral("http://www.pnml.org/version-2009/grammar/pnml");
}
inline QString PtNetType()
{
    return QStringLiteral("http://www.pnml.org/version-2009/grammar/ptnet");
}
// The name of this program in the tool-specific sections it writes.
inline QString Tool()
{
    return QStringLiteral("Quorvane");
}
inline QString ToolVersion()
{
    return QStringLiteral("1.0");
}

// The position of a place or transition: the centre of its box.
QPointF Position(const TQRVObject& node);
// The name of a place or transition: its label's text, else its own name.
QString Name(const TQRVObject& node);
// The initial marking of a place: its tokens (or level), a whole number >= 0.
qint64 Marking(const TclsNode& place);
// The inscription of an arc: its weight's value, a whole number >= 1.
qint64 Inscription(const TclsLink& arc);
// The bends of an arc: its fixed inner points.
QList<QPointF> Bends(const TQRVLinkBase& arc);
// Whether an arc is written as a PNML arc: both ends are set.
bool IsPnmlArc(const TQRVObject& object);

// Two coordinates that a file wrote in the shortest form of 15 digits.
bool SameCoordinate(double a, double b);

} // namespace PnmlView
