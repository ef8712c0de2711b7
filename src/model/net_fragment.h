// Net fragments: elements taken out of one net to go into another (the
// clipboard, Duplicate). A fragment is the text of a net file holding the
// elements, the arcs and connectors between them and the name labels of
// their places and transitions, so any reader of net files can read it.
#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class TQRVDesigner;
class TQRVObject;

// The clipboard format of fragments.
inline const QString NetFragmentMimeType = QStringLiteral("application/x-quorvane-net");

// What a copy of `selection` takes, in list order: the selected objects, the
// name labels of selected places and transitions, and the arcs and
// connectors whose two ends are among them (an arc without both is left out).
QList<TQRVObject*> FragmentObjects(const TQRVDesigner& designer, const QList<TQRVObject*>& selection);
// The objects as the text of a net file.
QString FragmentText(const QList<TQRVObject*>& objects);

// Reads a fragment into `scratch` (an empty container) exactly as it was
// written; the message when it cannot be read, empty on success.
QString ReadFragment(TQRVDesigner& scratch, const QString& text);
// The area the objects of a container cover, in model units.
QRectF FragmentBounds(const TQRVDesigner& scratch);
// Moves every object of a container by (dx, dy), labels once.
void MoveFragment(TQRVDesigner& scratch, double dx, double dy);

struct TPastePlace
{
    // Where the top-left corner of the pasted elements lands (model units,
    // snapped to the grid); otherwise they keep their place moved by Offset.
    bool AtPoint = false;
    QPointF Point;
    double Offset = 20;
};

// Pastes a fragment into `designer` as one step of its edit history named
// `caption`. Names that the net has already get the next free name of their
// kind (p3 becomes p7), name labels follow their places and transitions and
// arcs their ends; the pasted elements become the selection. Returns the
// message when the text cannot be read (the net stays as it was), empty on
// success.
QString PasteFragment(TQRVDesigner& designer, const QString& text, const TPastePlace& place,
                      const QString& caption);
