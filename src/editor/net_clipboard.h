// Elements of a net on the clipboard: the fragment in the program's own
// format (net_fragment.h) under its MIME type, with an SVG and a bitmap of
// the elements for other programs.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

class QMimeData;
class TQRVDesigner;
class TQRVObject;

// The clipboard data for the elements a copy of `selection` takes; none when
// it takes nothing.
QMimeData* ElementsMimeData(const TQRVDesigner& designer, const QList<TQRVObject*>& selection);
// The fragment the data carries, empty when it carries none.
QString FragmentOf(const QMimeData* data);

// Edit, Copy and Cut: the selection to the clipboard (Cut deletes it as one
// step). False when nothing is selected.
bool CopySelection(TQRVDesigner& designer);
bool CutSelection(TQRVDesigner& designer);
// Whether the clipboard holds elements of a net.
bool ClipboardHasElements();
