// Reading and writing whole nets.
#pragma once

#include <QString>
#include <QStringList>

class TQRVDesigner;
class TqibXMLTree;

// Reads a net file into `designer`: PNML for the extension .pnml, the
// program's own format otherwise. Only a whole net is read: its top level
// holds object elements and ends with its one list of charts (the simulate
// element); any other file "is not a net file", and the message says why and
// at which line. The file is read into a fresh net first;
// the net in `designer` is replaced only when the whole file was read, so a
// file that cannot be read leaves it exactly as it was. Returns an empty text
// on success, otherwise the message that says what is wrong and where.
// Warnings (what an imported file held that a net cannot) go to `warnings`.
QString LoadNetFile(TQRVDesigner& designer, const QString& fileName, QStringList* warnings = nullptr);

// Writes the net of `designer` to a file, by its extension (.pnml: PNML, any
// other: the program's own format). The file is written beside the target and
// renamed over it when complete, so a failed write leaves any previous file
// untouched. Returns an empty text on success, otherwise the message.
// Warnings (what other programs will read differently in a PNML file) go to
// `warnings`.
QString SaveNetFile(const TQRVDesigner& designer, const QString& fileName, QStringList* warnings = nullptr);

// The program's own format as text, and back (the file operations use these).
QString NetToText(const TQRVDesigner& designer);
// Replaces the net of `designer` by the text's (a whole net, as in a file); on
// failure returns the message and leaves the net as it was.
QString NetFromText(TQRVDesigner& designer, const QString& text, QStringList* warnings = nullptr);

// Builds the tree of a net, and reads a net from a tree into `designer`
// (which must be empty, fresh, and is left holding what was read so far when
// this throws TNetFileError). LoadNet takes every object element of the tree
// and does not ask whether the tree is a whole net file.
void SaveNet(const TQRVDesigner& designer, TqibXMLTree& tree);
void LoadNet(TQRVDesigner& designer, const TqibXMLTree& tree, QStringList* warnings);
// The same, emptying each object element of the tree once its object is
// built, so that a big net does not hold all of its tree and all of its
// objects at once.
void LoadNet(TQRVDesigner& designer, TqibXMLTree&& tree, QStringList* warnings);

// Whether a file name asks for PNML.
bool IsPnmlFileName(const QString& fileName);
