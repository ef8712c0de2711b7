// Exchange of place/transition nets with other programs in PNML (ISO/IEC 15909-2).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TQRVDesigner;

// Reads a PNML file into an empty container. Places of other programs become
// discrete places named p1, p2, ..., transitions timed transitions named t1,
// t2, ..., in document order; each element's PNML name becomes the text of its
// name label. Nets this program exported come back as they were, except where
// another program changed them since. What cannot be represented is skipped,
// and `warnings` says what. Throws TNetFileError when the file cannot be read.
void ImportPnml(TQRVDesigner& designer, const QString& fileName, QStringList* warnings);
void ImportPnmlText(TQRVDesigner& designer, const QByteArray& text, QStringList* warnings);

// Writes a standard PNML place/transition net; what PNML has no place for
// goes into sections of this program, so that its own export imports back
// without loss. `warnings` says what other programs will read differently.
// ExportPnml writes beside the target and renames the file over it when
// complete; it throws TNetFileError when the file cannot be written.
void ExportPnml(const TQRVDesigner& designer, const QString& fileName, QStringList* warnings = nullptr);
QByteArray ExportPnmlText(const TQRVDesigner& designer, const QString& netName = QString(),
                          QStringList* warnings = nullptr);
