// Exchange of place/transition nets with other tools in PNML (ISO/IEC 15909-2).
#pragma once

#include <QString>
#include <QStringList>

class TQRVDesigner;

// Reads a PNML file into an empty container. Places are named p1, p2, … and
// transitions t1, t2, … in document order; each element's PNML name becomes
// the text of its name label. What cannot be represented is skipped with a
// warning. Throws TNetFileError when the file cannot be read.
void ImportPnml(TQRVDesigner& designer, const QString& fileName, QStringList* warnings);
void ImportPnmlText(TQRVDesigner& designer, const QByteArray& text, QStringList* warnings);

// Writes standard PNML; what PNML has no place for goes into a tool-specific
// section, so that the program's own export imports back without loss.
// Throws TNetFileError when the file cannot be written.
void ExportPnml(const TQRVDesigner& designer, const QString& fileName);
QByteArray ExportPnmlText(const TQRVDesigner& designer);
