// Reading and writing whole nets.
#pragma once

#include <QString>
#include <QStringList>

class TQRVDesigner;

// Reads a net file into `designer`. The file is read into a fresh net first;
// the net in `designer` is replaced only when the whole file was read, so a
// file that cannot be read leaves it exactly as it was. Returns an empty
// text on success, otherwise the message that says what is wrong and where.
// Warnings (for example what an imported file held that a net cannot) are
// appended to `warnings`.
QString LoadNetFile(TQRVDesigner& designer, const QString& fileName, QStringList* warnings = nullptr);

// Writes the net of `designer` to a file, by its extension (.pnml: PNML, any
// other: the program's own format). A failed write leaves any previous file
// untouched. Returns an empty text on success, otherwise the message.
QString SaveNetFile(const TQRVDesigner& designer, const QString& fileName);
